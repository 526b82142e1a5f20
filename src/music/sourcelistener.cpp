// The server's answers only leave notes; Poll acts on them once the main
// loop has returned, so nothing is torn down while the loop runs.
#include "music/sourcelistener.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/stream.h>
#include <pulse/subscribe.h>

#include <algorithm>

#include "foundation/debug.h"

namespace {

constexpr int64_t SECOND_NS = 1000000000;
constexpr int64_t RETRY_EVERY_NS = SECOND_NS;
constexpr int64_t ASK_LATENCY_EVERY_NS = SECOND_NS / 5;
// Main loop iterations per poll: enough to take in the replies and a
// backlog of seconds after the show stalled, bounded so that a chatty
// server cannot hold up a frame.
constexpr int MOST_ITERATIONS = 256;
// Sound arriving this much later than its frames' count says means the
// stream skipped (a reconnect, a dropped backlog): time is taken afresh.
constexpr int64_t SKIP_NS = SECOND_NS / 4;
// How far the frame heard may run ahead of the frames received before the
// missing ones count as silence rather than as a run still on its way.
constexpr int64_t LATE_FRAMES = SourceListener::RATE / 10;

}  // namespace

// What an answer leaves for Poll.
struct ListenerReplies {
  static void OnServer(pa_context*, const pa_server_info* info, void* self) {
    SourceListener& l = *static_cast<SourceListener*>(self);
    if (info == nullptr) return;
    const std::string sink = info->default_sink_name != nullptr ? info->default_sink_name : "";
    if (sink.empty()) {
      l.missing = true;
    } else if (sink != l.defaultSink || l.stream == nullptr) {
      l.defaultSink = sink;
      l.Ask(pa_context_get_sink_info_by_name(l.server.context, sink.c_str(), OnSink, self));
    }
  }
  static void OnSink(pa_context*, const pa_sink_info* info, int last, void* self) {
    SourceListener& l = *static_cast<SourceListener*>(self);
    if (last != 0 || info == nullptr || info->monitor_source_name == nullptr) return;
    l.next = info->monitor_source_name;
    l.nextMonitorOf = info->index;
  }
  static void OnSource(pa_context*, const pa_source_info* info, int last, void* self) {
    SourceListener& l = *static_cast<SourceListener*>(self);
    if (last < 0) l.missing = true;
    if (last != 0 || info == nullptr) return;
    l.next = info->name;
    l.nextMonitorOf = info->monitor_of_sink;
  }
  static void OnLatency(pa_context*, const pa_sink_info* info, int last, void* self) {
    if (last == 0 && info != nullptr)
      static_cast<SourceListener*>(self)->outputLatency.Add(static_cast<int64_t>(info->latency));
  }
  static void OnEvent(pa_context*, pa_subscription_event_type_t type, uint32_t, void* self) {
    if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SERVER)
      static_cast<SourceListener*>(self)->defaultChanged = true;
  }
};

void SourceListener::Start(const std::string& source) {
  Stop();
  wanted = source;
  received = 0;
  overruns = 0;
  lostFrames = 0;
  lost = false;
  anchored = false;
  skippedSinceNs = -1;
  std::fill(kept.begin(), kept.end(), 0.0f);
  retryAtNs = 0;
}

void SourceListener::Stop() {
  Disconnect();
  defaultSink.clear();
}

void SourceListener::Connect(int64_t nowNs) {
  if (!server.Open()) Lose("cannot reach the audio server", nowNs);
}

void SourceListener::Disconnect() {
  for (pa_operation* operation : asking) {
    pa_operation_cancel(operation);
    pa_operation_unref(operation);
  }
  asking.clear();
  CloseStream();
  server.Close();
  resolving = false;
  missing = false;
  defaultChanged = false;
  next.clear();
}

void SourceListener::Lose(const std::string& reason, int64_t nowNs) {
  if (!lost) {
    Log::Msg("Listening to %s stopped: %s; the show goes on in silence and tries again every second",
             wanted.empty() ? "the default output" : wanted.c_str(), reason.c_str());
    lost = true;
  }
  Disconnect();
  retryAtNs = nowNs + RETRY_EVERY_NS;
}

void SourceListener::Ask(pa_operation* operation) {
  if (operation != nullptr) asking.push_back(operation);
}

bool SourceListener::Listen(const std::string& name, uint32_t sinkIndex) {
  CloseStream();
  // Stereo: the server's mono mix would cancel sound in opposite phase.
  const pa_sample_spec format = {PA_SAMPLE_FLOAT32NE, RATE, CHANNELS};
  stream = pa_stream_new(server.context, "zarv listening", &format, nullptr);
  if (stream == nullptr) return false;
  const uint32_t any = static_cast<uint32_t>(-1);
  constexpr uint32_t FRAME_BYTES = CHANNELS * sizeof(float);
  const pa_buffer_attr attr = {BACKLOG_FRAMES * FRAME_BYTES, any, any, any, FRAGMENT_FRAMES * FRAME_BYTES};
  if (pa_stream_connect_record(stream, name.c_str(), &attr, PA_STREAM_ADJUST_LATENCY) < 0) {
    CloseStream();
    return false;
  }
  listeningTo = name;
  monitorOf = sinkIndex;
  outputLatency.Clear();
  nextLatencyAskNs = 0;
  heard = false;
  return true;
}

void SourceListener::CloseStream() {
  if (stream == nullptr) return;
  pa_stream_disconnect(stream);
  pa_stream_unref(stream);
  stream = nullptr;
}

void SourceListener::Poll(int64_t nowNs) {
  if (server.context == nullptr) {
    if (nowNs < retryAtNs) return;
    Connect(nowNs);
    if (server.context == nullptr) return;
  }
  const int64_t drained = Pump();
  asking.erase(std::remove_if(asking.begin(), asking.end(),
                              [](pa_operation* operation) {
                                if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) return false;
                                pa_operation_unref(operation);
                                return true;
                              }),
               asking.end());

  const pa_context_state_t state = pa_context_get_state(server.context);
  if (!PA_CONTEXT_IS_GOOD(state)) {
    Lose(std::string("the audio server went away (") + pa_strerror(pa_context_errno(server.context)) + ")",
         nowNs);
    return;
  }
  if (state != PA_CONTEXT_READY) return;

  if (missing) {
    Lose(wanted.empty() ? "the server has no output" : "the server has no source called " + wanted, nowNs);
    return;
  }
  if (!next.empty()) {
    const std::string source = next;
    next.clear();
    if (!Listen(source, nextMonitorOf)) {
      Lose("cannot record from " + source + " (" + pa_strerror(pa_context_errno(server.context)) + ")",
           nowNs);
      return;
    }
  }
  if (!resolving) {
    resolving = true;
    if (wanted.empty()) {
      pa_context_set_subscribe_callback(server.context, ListenerReplies::OnEvent, this);
      Ask(pa_context_subscribe(server.context, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr));
      Ask(pa_context_get_server_info(server.context, ListenerReplies::OnServer, this));
    } else {
      Ask(pa_context_get_source_info_by_name(server.context, wanted.c_str(), ListenerReplies::OnSource,
                                             this));
    }
  }
  if (defaultChanged) {
    defaultChanged = false;
    Ask(pa_context_get_server_info(server.context, ListenerReplies::OnServer, this));
  }
  if (stream == nullptr) return;

  const pa_stream_state_t streamState = pa_stream_get_state(stream);
  if (!PA_STREAM_IS_GOOD(streamState)) {
    Lose("the source " + listeningTo + " went away", nowNs);
    return;
  }
  if (streamState != PA_STREAM_READY) return;
  if (monitorOf != PA_INVALID_INDEX && nowNs >= nextLatencyAskNs) {
    Ask(pa_context_get_sink_info_by_index(server.context, monitorOf, ListenerReplies::OnLatency, this));
    nextLatencyAskNs = nowNs + ASK_LATENCY_EVERY_NS;
  }
  if (drained == 0) return;
  const bool opened = !heard;
  if (opened) {
    heard = true;
    Log::Msg("%s %s", lost ? "Listening again to" : "Listening to", listeningTo.c_str());
    lost = false;
  }
  Timed(nowNs, opened);
}

int64_t SourceListener::Pump() {
  int64_t drained = 0;
  server.Pump(MOST_ITERATIONS, [&] {
    if (stream != nullptr && pa_stream_get_state(stream) == PA_STREAM_READY) drained += Drain();
  });
  return drained;
}

int64_t SourceListener::Drain() {
  int64_t drained = 0;
  while (pa_stream_readable_size(stream) > 0) {
    const void* data = nullptr;
    size_t bytes = 0;
    if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) break;
    const int64_t frames = static_cast<int64_t>(bytes / (CHANNELS * sizeof(float)));
    // No data: a hole in the stream, taken as silence.
    Append(static_cast<const float*>(data), frames);
    pa_stream_drop(stream);
    drained += frames;
  }
  return drained;
}

void SourceListener::Append(const float* frames, int64_t count) {
  for (int64_t i = 0; i < count; ++i) {
    float* at = &kept[static_cast<size_t>((received + i) & (KEPT - 1)) * CHANNELS];
    for (int c = 0; c < CHANNELS; ++c) at[c] = frames != nullptr ? frames[i * CHANNELS + c] : 0.0f;
  }
  received += count;
}

void SourceListener::Timed(int64_t nowNs, bool opened) {
  // When frame 0 was made, were the newest frame made just now. In double:
  // frames times nanoseconds would overflow 64 bits after 58 hours.
  const int64_t arrivalNs = nowNs - static_cast<int64_t>(static_cast<double>(received) * SECOND_NS / RATE);
  if (anchored && arrivalNs - originNs <= SKIP_NS) {
    earliestNs = std::min(earliestNs, arrivalNs);
    if (nowNs >= secondEndsNs) {
      earlierNs = earliestNs;
      earliestNs = arrivalNs;
      secondEndsNs = nowNs + SECOND_NS;
    }
    originNs = std::min(earlierNs, earliestNs);
    skippedSinceNs = -1;
    return;
  }
  if (anchored && !opened) {
    // After a stall the backlog can take a few polls to come in; only a
    // skip that stays is sound the server dropped.
    if (skippedSinceNs < 0) skippedSinceNs = nowNs;
    if (nowNs - skippedSinceNs < SKIP_NS) return;
    if (pa_stream_is_suspended(stream) == 0) {
      ++overruns;
      lostFrames += (arrivalNs - originNs) * RATE / SECOND_NS;
    }
  }
  anchored = true;
  skippedSinceNs = -1;
  originNs = earliestNs = earlierNs = arrivalNs;
  secondEndsNs = nowNs + SECOND_NS;
}

int64_t SourceListener::HeardFrame(int64_t nowNs) const {
  if (!anchored) return received;
  const int64_t latency = monitorOf != PA_INVALID_INDEX ? std::max<int64_t>(outputLatency.Median(), 0) : 0;
  const int64_t heardFrame = static_cast<int64_t>(static_cast<double>(nowNs - originNs) * RATE / SECOND_NS) -
                             latency * RATE / 1000000;
  // A run on its way is waited for; sound that stopped coming is silence.
  if (heardFrame > received && heardFrame <= received + LATE_FRAMES) return received;
  return std::max(heardFrame, received - KEPT + FRAGMENT_FRAMES);
}

void SourceListener::Read(int64_t end, int count, float* left, float* right) const {
  for (int i = 0; i < count; ++i) {
    const int64_t frame = end - count + i;
    const bool have = frame >= 0 && frame < received && frame >= received - KEPT;
    const float* at = &kept[static_cast<size_t>(frame & (KEPT - 1)) * CHANNELS];
    left[i] = have ? at[0] : 0.0f;
    right[i] = have ? at[1] : 0.0f;
  }
}
