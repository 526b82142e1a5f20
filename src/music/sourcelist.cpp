// Three questions in turn over one connection: the server's default output,
// that output's monitor, and every source. Each wait is bounded, so a server
// that hangs cannot hold up the command line.
#include "music/sourcelist.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

#include <algorithm>
#include <chrono>

#include "music/pulseconnection.h"

namespace {

constexpr auto CONNECT_TIMEOUT = std::chrono::seconds(5);
constexpr int POLL_MICROS = 50000;

struct Query {
  PulseConnection server;
  std::chrono::steady_clock::time_point deadline;
  std::string defaultSink;
  SourceList* list = nullptr;

  // Runs the loop until done says so; false at the deadline or when the
  // connection fails.
  template <typename Done>
  bool RunUntil(Done done) {
    while (!done()) {
      const pa_context_state_t state = pa_context_get_state(server.context);
      if (!PA_CONTEXT_IS_GOOD(state) || std::chrono::steady_clock::now() > deadline) return false;
      // A bounded wait, so the deadline is seen even when nothing comes.
      if (pa_mainloop_prepare(server.loop, POLL_MICROS) < 0 || pa_mainloop_poll(server.loop) < 0 ||
          pa_mainloop_dispatch(server.loop) < 0)
        return false;
    }
    return true;
  }
  // Waits for an operation; false when it could not even be sent.
  bool Wait(pa_operation* operation) {
    if (operation == nullptr) return false;
    const bool done = RunUntil([&] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
    pa_operation_unref(operation);
    return done;
  }
};

void OnServer(pa_context*, const pa_server_info* info, void* self) {
  if (info != nullptr && info->default_sink_name != nullptr)
    static_cast<Query*>(self)->defaultSink = info->default_sink_name;
}

void OnSink(pa_context*, const pa_sink_info* info, int last, void* self) {
  if (last == 0 && info != nullptr && info->monitor_source_name != nullptr)
    static_cast<Query*>(self)->list->defaultMonitor = info->monitor_source_name;
}

void OnSource(pa_context*, const pa_source_info* info, int last, void* self) {
  if (last != 0 || info == nullptr) return;
  static_cast<Query*>(self)->list->sources.push_back(
      {info->name != nullptr ? info->name : "", info->description != nullptr ? info->description : ""});
}

}  // namespace

bool SourceList::Has(const std::string& name) const {
  return std::any_of(sources.begin(), sources.end(), [&](const AudioSource& s) { return s.name == name; });
}

std::string SourceList::Format() const {
  size_t width = 0;
  for (const AudioSource& s : sources) width = std::max(width, s.name.size());
  std::string text;
  for (const AudioSource& s : sources) {
    text += s.name == defaultMonitor ? "* " : "  ";
    text += s.name + std::string(width - s.name.size() + 2, ' ') + s.description + "\n";
  }
  return text;
}

bool ListSources(SourceList* list, std::string* reason) {
  *list = SourceList();
  Query query;
  query.list = list;
  query.deadline = std::chrono::steady_clock::now() + CONNECT_TIMEOUT;
  pa_context*& context = query.server.context;
  const bool connected = query.server.Open() &&
                         query.RunUntil([&] { return pa_context_get_state(context) == PA_CONTEXT_READY; });
  if (!connected) {
    const int error = context != nullptr ? pa_context_errno(context) : PA_ERR_CONNECTIONREFUSED;
    *reason = std::string("cannot reach the audio server (") + pa_strerror(error) +
              "); `pactl info` tells whether PulseAudio or PipeWire's PulseAudio service is running";
    return false;
  }
  bool answered = query.Wait(pa_context_get_server_info(context, OnServer, &query));
  if (answered && !query.defaultSink.empty())
    answered =
        query.Wait(pa_context_get_sink_info_by_name(context, query.defaultSink.c_str(), OnSink, &query));
  if (answered) answered = query.Wait(pa_context_get_source_info_list(context, OnSource, &query));
  if (!answered) {
    *reason = std::string("the audio server did not answer (") + pa_strerror(pa_context_errno(context)) + ")";
    return false;
  }
  return true;
}
