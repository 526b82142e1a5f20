// What the audio thread has handed to the device, kept for a moment so the
// main thread can analyse what is being heard: both channels of each frame
// and the stream position after it. One writer, one reader, neither ever waits.
#pragma once

#include <atomic>
#include <cstdint>

// Frames are counted from the first one handed to the device (index 0).
// The writer announces the frames it is about to overwrite before touching
// them; a reader that finds, after copying, that frames it read were
// announced meanwhile throws the copy away (a sequence lock over a ring).
class PlayedRing {
 public:
  static constexpr int64_t SIZE = 16384;  // frames kept (0.37 s), a power of two

  // Writer: frames [Written(), Written() + frames) are put between Begin and
  // Commit, in any order.
  void Begin(int frames);
  void Put(int64_t frame, float left, float right, int64_t position);
  void Commit(int frames);

  // Frames committed so far.
  int64_t Written() const { return written.load(std::memory_order_acquire); }

  // Copies the mono mix of frames [end - count, end) to out (0 for frames
  // before frame 0) and the stream position after frame end - 1 to position
  // (0 when end <= 0). end must not exceed Written(); count at most SIZE.
  // False when the writer may have overwritten some of them meanwhile: then
  // out holds nothing usable.
  bool Read(int64_t end, int count, float* out, int64_t* position) const;
  // The same with both channels, left and right count values each.
  bool ReadChannels(int64_t end, int count, float* left, float* right, int64_t* position) const;

  // Forgets everything; only while no writer runs.
  void Reset();

  // The frame being heard, when the device asks for a block of blockFrames
  // once the output has taken the one before, and plays it latencyFrames
  // later: written frames in all, the last block handed over sinceBlockNs
  // ago (any value: before the first block, that is the whole uptime).
  static int64_t HeardFrame(int64_t written, int64_t sinceBlockNs, int64_t latencyFrames, int64_t blockFrames,
                            int rate);

 private:
  static constexpr int64_t MASK = SIZE - 1;

  std::atomic<int64_t> claimed{0};  // frames the writer may be overwriting up to
  std::atomic<int64_t> written{0};
  // Copies frames [end - count, end) through put(i, left, right), then as Read.
  template <typename Sink>
  bool Copy(int64_t end, int count, int64_t* position, Sink put) const;

  std::atomic<float> left[SIZE] = {};
  std::atomic<float> right[SIZE] = {};
  std::atomic<int64_t> positions[SIZE] = {};
};
