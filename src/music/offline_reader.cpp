// Reading forward decodes sequentially; a step back costs a seek (see
// StreamWindow), so a capture's ticks, which only move forward, decode once.
#include "music/offline_reader.h"

#include <algorithm>
#include <cmath>

int64_t OfflineReader::FrameAt(double seconds) {
  constexpr double DAY = 86400.0;
  if (std::isnan(seconds)) seconds = 0.0;
  return std::llround(std::clamp(seconds, -DAY, DAY) * TrackStream::RATE);
}

void OfflineReader::Heard(double asked, float* left, float* right) {
  window->ReadChannels(*stream, FrameAt(asked), WINDOW, left, right);
}

double OfflineReader::Position(double asked) {
  const int64_t frame = window->HeldToEnd(*stream, std::max<int64_t>(0, FrameAt(asked)));
  return static_cast<double>(frame) / TrackStream::RATE;
}
