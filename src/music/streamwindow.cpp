// Reading forward only ever decodes sequentially, so the samples at a
// position are the same whichever way it was reached; only a step back costs
// a seek.
#include "music/streamwindow.h"

#include <algorithm>
#include <cassert>

template <typename Sink>
void StreamWindow::Copy(TrackStream& stream, int64_t end, int count, Sink put) {
  assert(count >= 0 && count <= KEPT / 2 && "StreamWindow::Read asked for more than it keeps");
  const int64_t first = std::max<int64_t>(0, end - count);
  if (first < start || first < decoded - KEPT) Restart(stream, first);
  DecodeTo(stream, end);
  for (int i = 0; i < count; ++i) {
    const int64_t frame = end - count + i;
    if (frame < start || frame >= decoded) {
      put(i, 0.0f, 0.0f);
    } else {
      put(i, left[frame & MASK], right[frame & MASK]);
    }
  }
}

void StreamWindow::Read(TrackStream& stream, int64_t end, int count, float* out) {
  Copy(stream, end, count, [out](int i, float l, float r) { out[i] = 0.5f * (l + r); });
}

void StreamWindow::ReadChannels(TrackStream& stream, int64_t end, int count, float* leftOut,
                                float* rightOut) {
  Copy(stream, end, count, [leftOut, rightOut](int i, float l, float r) {
    leftOut[i] = l;
    rightOut[i] = r;
  });
}

int64_t StreamWindow::HeldToEnd(TrackStream& stream, int64_t frame) {
  Read(stream, frame, 0, nullptr);
  const int64_t end = End(stream);
  return end >= 0 ? std::min(frame, end) : frame;
}

void StreamWindow::Restart(TrackStream& stream, int64_t frame) {
  stream.Seek(frame);
  start = decoded = stream.Tell();
}

void StreamWindow::Reset() {
  start = 0;
  decoded = 0;
}

void StreamWindow::DecodeTo(TrackStream& stream, int64_t end) {
  while (decoded < end && !stream.Ended()) {
    const int frames = stream.Read(chunk, static_cast<int>(std::min<int64_t>(CHUNK, end - decoded)));
    for (int i = 0; i < frames; ++i) {
      left[(decoded + i) & MASK] = chunk[2 * i];
      right[(decoded + i) & MASK] = chunk[2 * i + 1];
    }
    decoded += frames;
  }
}
