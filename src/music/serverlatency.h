// The latency PulseAudio reports for this process's playback stream: how long
// a frame the server has taken waits in the stream's buffer and in the sink
// before it is heard. SDL does not pass it on, so it is asked for over a
// connection of our own, a few times a second, without ever waiting.
#pragma once

#include <cstdint>

#include "music/pulseconnection.h"

struct pa_context;
struct pa_mainloop;
struct pa_operation;
struct pa_sink_input_info;

// The median of the latest few replies to a latency question: one late
// answer does not move it.
class LatestMedian {
 public:
  void Add(int64_t value);
  int64_t Median() const;  // -1 before the first value
  void Clear() { count = 0; }

 private:
  static constexpr int KEPT = 5;
  int64_t values[KEPT] = {};
  int count = 0;
};

class ServerLatency {
 public:
  ServerLatency() = default;
  ~ServerLatency() { Stop(); }
  ServerLatency(const ServerLatency&) = delete;
  ServerLatency& operator=(const ServerLatency&) = delete;

  // Starts connecting to the server the environment names, as SDL's
  // pulseaudio driver does; false when that cannot even begin.
  bool Start();
  // Takes in the replies that have come and asks again when due.
  void Poll(int64_t nowNs);
  // The median of the latest replies in microseconds, or -1 before the first
  // (replies of no latency at all are not taken).
  int64_t Micros() const;
  // Closes the connection and forgets the replies.
  void Stop();

 private:
  static constexpr int64_t ASK_EVERY_NS = 200000000;

  static void OnSinkInput(pa_context* context, const pa_sink_input_info* input, int last, void* self);

  PulseConnection server;
  pa_operation* asking = nullptr;
  int64_t nextAskNs = 0;
  LatestMedian replies;
};
