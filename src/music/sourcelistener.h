// Listening to one of the audio server's sources: a record stream over a
// connection of our own, polled without ever waiting from the thread that
// reads it. It keeps the last seconds of sound as stereo frames at the
// show's rate (a source of more channels as the server mixes it down to two)
// and knows which of them is being heard now: a monitor's sound is
// heard when its output plays it, its latency later. With no source named
// it listens to the default output's monitor and follows the default when it
// changes. When the server or the source goes away it says so once, goes on
// with silence and tries again every second.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "music/pulseconnection.h"
#include "music/serverlatency.h"

struct pa_operation;
struct pa_stream;

class SourceListener {
 public:
  static constexpr int RATE = 44100;
  static constexpr int CHANNELS = 2;
  // Frames kept: far more than a spectrum's window behind the latest, so a
  // Bluetooth output's latency is still inside.
  static constexpr int64_t KEPT = 1 << 18;
  // What the server is asked to hold for us while the show is busy (its
  // first frames can take a second or two). Sound it has to drop past what
  // it holds is counted as an overrun.
  static constexpr int BACKLOG_FRAMES = 4 * RATE;
  // The stream hands sound over in runs of this many frames (10 ms): a
  // server that holds back a run before it sends it (pipewire-pulse does)
  // delays the picture by that much.
  static constexpr int FRAGMENT_FRAMES = 441;

  SourceListener() = default;
  ~SourceListener() { Stop(); }
  SourceListener(const SourceListener&) = delete;
  SourceListener& operator=(const SourceListener&) = delete;

  // Starts listening to source; empty: the default output's monitor.
  void Start(const std::string& source);
  // Takes in what has come, reconnects when due. nowNs: the monotonic clock.
  void Poll(int64_t nowNs);
  // The frame being heard at nowNs, counted in frames received since Start.
  int64_t HeardFrame(int64_t nowNs) const;
  // Fills left[0..count) and right[0..count) with the count frames that
  // end at frame end; silence where nothing was received.
  void Read(int64_t end, int count, float* left, float* right) const;
  // Closes everything; Start may come again.
  void Stop();

  int64_t received = 0;  // frames received since Start, holes filled with silence
  int overruns = 0;      // times the server had to drop sound because the show fell behind
  int64_t lostFrames = 0;

 private:
  // The server's answers, which come in during Poll.
  friend struct ListenerReplies;

  void Connect(int64_t nowNs);
  void Disconnect();
  void Lose(const std::string& reason, int64_t nowNs);
  void Ask(pa_operation* operation);
  // Opens the record stream; false when the server would not (Lose tries again).
  bool Listen(const std::string& name, uint32_t monitorOf);
  void CloseStream();
  // Runs the main loop until it has nothing more, taking in the sound as it
  // comes; the frames taken.
  int64_t Pump();
  int64_t Drain();
  void Append(const float* frames, int64_t count);
  void Timed(int64_t nowNs, bool opened);

  std::string wanted;           // the source asked for; empty: the default output's monitor
  std::string listeningTo;      // the source the stream is on
  uint32_t monitorOf = 0;       // the output whose monitor that is, or PA_INVALID_INDEX
  std::string defaultSink;      // the default output the stream follows
  bool missing = false;         // the source asked for (or any output) is not on the server
  bool defaultChanged = false;  // the server's defaults changed: the output may be another
  std::string next;             // the source to listen to next, once found
  uint32_t nextMonitorOf = 0;
  bool heard = false;  // the stream delivered since it was opened
  bool lost = false;   // listening stopped and was said to have
  int64_t retryAtNs = 0;

  PulseConnection server;
  pa_stream* stream = nullptr;
  std::vector<pa_operation*> asking;
  bool resolving = false;  // the source has been asked for on this connection

  // The output's latency, asked a few times a second.
  LatestMedian outputLatency;
  int64_t nextLatencyAskNs = 0;

  std::vector<float> kept = std::vector<float>(KEPT * CHANNELS);  // interleaved

  // When frame n was made: originNs + n / RATE seconds. The earliest arrival
  // seen over the last two seconds, so the time a frame waited for the next
  // poll does not count.
  bool anchored = false;
  int64_t originNs = 0;
  int64_t earliestNs = 0;  // this second's earliest
  int64_t earlierNs = 0;   // the second before's
  int64_t secondEndsNs = 0;
  int64_t skippedSinceNs = -1;  // when the sound began to come later than its count says, or -1
};
