// The stream decoded on the calling thread as far as a given position, keeping
// both channels of the latest frames so the block ending there can be read;
// for the outputs where nothing plays in real time (silent, offline).
#pragma once

#include <cstdint>

#include "music/trackstream.h"

class StreamWindow {
 public:
  static constexpr int64_t KEPT = 8192;  // frames kept, a power of two

  // Copies the mono mix of stream frames [end - count, end) to out, 0 for
  // frames before the stream's start or after its end. Decodes forward as far
  // as end; a block that starts before what is kept restarts decoding there.
  // count at most KEPT / 2.
  void Read(TrackStream& stream, int64_t end, int count, float* out);
  // The same with both channels, left and right count values each.
  void ReadChannels(TrackStream& stream, int64_t end, int count, float* left, float* right);
  // Drops what is kept and goes on decoding from frame (a seek).
  void Restart(TrackStream& stream, int64_t frame);
  // frame, or the stream's length when decoding as far as frame finds the
  // end before it.
  int64_t HeldToEnd(TrackStream& stream, int64_t frame);
  // Where the stream has ended (its length in frames), or -1 while decoding
  // has not reached its end.
  int64_t End(const TrackStream& stream) const { return stream.Ended() ? decoded : -1; }
  // Forgets everything, for a stream opened afresh.
  void Reset();

 private:
  static constexpr int64_t MASK = KEPT - 1;
  static constexpr int CHUNK = 1024;  // frames decoded per call of the decoder

  void DecodeTo(TrackStream& stream, int64_t end);
  // Decodes as Read does, then calls put(i, left, right) for each frame.
  template <typename Sink>
  void Copy(TrackStream& stream, int64_t end, int count, Sink put);

  int64_t start = 0;    // first frame decoded since the last restart
  int64_t decoded = 0;  // the next frame to decode
  float left[KEPT] = {};
  float right[KEPT] = {};
  float chunk[CHUNK * TrackStream::CHANNELS] = {};
};
