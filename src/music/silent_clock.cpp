// Decoding resumes a window before the frame taken over, so the first
// spectrum after a takeover already analyses music.
#include "music/silent_clock.h"

#include <algorithm>

#include "foundation/monotonic.h"
#include "music/offline_reader.h"

SilentClock::SilentClock(std::unique_ptr<TrackStream> stream, int64_t startFrame, double (*clock)())
    : stream(std::move(stream)), clock(clock), startFrame(startFrame), startTime(Now()) {
  // A stream a device has played from is taken over where it is heard.
  if (startFrame != 0 || this->stream->Tell() != 0) window->Restart(*this->stream, startFrame - WINDOW);
}

double SilentClock::Now() const {
  if (clock != nullptr) return clock();
  return MonotonicSeconds();
}

int64_t SilentClock::Frame() const {
  return startFrame + OfflineReader::FrameAt(std::max(0.0, Now() - startTime));
}

void SilentClock::Heard(double, float* left, float* right) {
  window->ReadChannels(*stream, Frame(), WINDOW, left, right);
}

double SilentClock::Position(double) {
  const int64_t frame = window->HeldToEnd(*stream, std::max<int64_t>(0, Frame()));
  return static_cast<double>(frame) / TrackStream::RATE;
}
