// Reading forward only ever decodes sequentially, so the samples at a
// position are the same whichever way it was reached; only a step back costs
// a seek.
#include "music/streamwindow.h"

#include <algorithm>
#include <cassert>

void StreamWindow::Read(TrackStream& stream, int64_t end, int count, float* out) {
  assert(count >= 0 && count <= KEPT / 2 && "StreamWindow::Read asked for more than it keeps");
  const int64_t first = std::max<int64_t>(0, end - count);
  if (first < start || first < decoded - KEPT) Restart(stream, first);
  DecodeTo(stream, end);
  for (int i = 0; i < count; ++i) {
    const int64_t frame = end - count + i;
    out[i] = frame < start || frame >= decoded ? 0.0f : mono[frame & MASK];
  }
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
    for (int i = 0; i < frames; ++i) mono[(decoded + i) & MASK] = 0.5f * (chunk[2 * i] + chunk[2 * i + 1]);
    decoded += frames;
  }
}
