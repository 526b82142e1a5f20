// Asks PulseAudio for this process's playback latency over a main loop that
// is only ever iterated without blocking, from the thread that reads it.
#include "music/serverlatency.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/proplist.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Main loop iterations per Poll: enough to take in a reply and send the next
// question, bounded so that a chatty server cannot hold up a frame.
constexpr int ITERATIONS = 8;

}  // namespace

bool ServerLatency::Start() {
  Stop();
  return server.Open();
}

void ServerLatency::Poll(int64_t nowNs) {
  if (server.loop == nullptr) return;
  server.Pump(ITERATIONS);
  if (asking != nullptr && pa_operation_get_state(asking) != PA_OPERATION_RUNNING) {
    pa_operation_unref(asking);
    asking = nullptr;
  }
  if (asking != nullptr || nowNs < nextAskNs || pa_context_get_state(server.context) != PA_CONTEXT_READY)
    return;
  asking = pa_context_get_sink_input_info_list(server.context, OnSinkInput, this);
  nextAskNs = nowNs + ASK_EVERY_NS;
}

void ServerLatency::OnSinkInput(pa_context*, const pa_sink_input_info* input, int last, void* self) {
  if (last != 0 || input == nullptr) return;
  const char* pid = pa_proplist_gets(input->proplist, PA_PROP_APPLICATION_PROCESS_ID);
  if (pid == nullptr || std::atol(pid) != getpid()) return;
  // Every output takes time to play what it was given: a latency of none is
  // a server that does not measure it (pipewire-pulse 0.3 reports 0 for
  // both), and the caller's guess is better than that.
  const pa_usec_t micros = input->buffer_usec + input->sink_usec;
  if (micros > 0) static_cast<ServerLatency*>(self)->replies.Add(static_cast<int64_t>(micros));
}

int64_t ServerLatency::Micros() const { return replies.Median(); }

void LatestMedian::Add(int64_t value) {
  values[count % KEPT] = value;
  ++count;
}

int64_t LatestMedian::Median() const {
  if (count == 0) return -1;
  const int kept = std::min(count, KEPT);
  int64_t sorted[KEPT];
  std::copy(values, values + kept, sorted);
  std::nth_element(sorted, sorted + kept / 2, sorted + kept);
  return sorted[kept / 2];
}

void ServerLatency::Stop() {
  if (asking != nullptr) {
    pa_operation_cancel(asking);
    pa_operation_unref(asking);
    asking = nullptr;
  }
  server.Close();
  nextAskNs = 0;
  replies.Clear();
}
