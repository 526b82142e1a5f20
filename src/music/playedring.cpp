// The data itself is relaxed atomics so the reader's overlapping copy is not a
// data race; the fences order the announcement against the data.
#include "music/playedring.h"

#include <algorithm>
#include <cassert>

void PlayedRing::Begin(int frames) {
  claimed.store(written.load(std::memory_order_relaxed) + frames, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
}

void PlayedRing::Put(int64_t frame, float leftSample, float rightSample, int64_t position) {
  left[frame & MASK].store(leftSample, std::memory_order_relaxed);
  right[frame & MASK].store(rightSample, std::memory_order_relaxed);
  positions[frame & MASK].store(position, std::memory_order_relaxed);
}

void PlayedRing::Commit(int frames) {
  written.store(written.load(std::memory_order_relaxed) + frames, std::memory_order_release);
}

template <typename Sink>
bool PlayedRing::Copy(int64_t end, int count, int64_t* position, Sink put) const {
  assert(count >= 0 && count <= SIZE && "PlayedRing::Read asked for more than it keeps");
  const int64_t first = end - count;
  for (int i = 0; i < count; ++i) {
    const int64_t frame = first + i;
    if (frame < 0) {
      put(i, 0.0f, 0.0f);
    } else {
      put(i, left[frame & MASK].load(std::memory_order_relaxed),
          right[frame & MASK].load(std::memory_order_relaxed));
    }
  }
  *position = end <= 0 ? 0 : positions[(end - 1) & MASK].load(std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_acquire);
  // Frames below claimed - SIZE may have been overwritten by now.
  const int64_t oldest = claimed.load(std::memory_order_relaxed) - SIZE;
  if (end <= 0) return true;
  const int64_t lowest = std::max<int64_t>(0, std::min(first, end - 1));
  return lowest >= oldest;
}

bool PlayedRing::Read(int64_t end, int count, float* out, int64_t* position) const {
  return Copy(end, count, position, [out](int i, float l, float r) { out[i] = 0.5f * (l + r); });
}

bool PlayedRing::ReadChannels(int64_t end, int count, float* leftOut, float* rightOut,
                              int64_t* position) const {
  return Copy(end, count, position, [leftOut, rightOut](int i, float l, float r) {
    leftOut[i] = l;
    rightOut[i] = r;
  });
}

void PlayedRing::Reset() {
  claimed.store(0, std::memory_order_relaxed);
  written.store(0, std::memory_order_relaxed);
  for (int64_t i = 0; i < SIZE; ++i) {
    left[i].store(0.0f, std::memory_order_relaxed);
    right[i].store(0.0f, std::memory_order_relaxed);
    positions[i].store(0, std::memory_order_relaxed);
  }
}

int64_t PlayedRing::HeardFrame(int64_t written, int64_t sinceBlockNs, int64_t latencyFrames,
                               int64_t blockFrames, int rate) {
  // Held to a second (longer than any block) before it is scaled, so that
  // no time since the block can overflow.
  constexpr int64_t SECOND_NS = 1000000000;
  const int64_t played = std::clamp<int64_t>(sinceBlockNs, 0, SECOND_NS) * rate / SECOND_NS;
  return written - blockFrames - latencyFrames + std::min(played, blockFrames);
}
