// The fit takes hops at the rate a track's scan takes its analyses, so a
// live source is fitted by the same rule as a track.
#include "music/listened_source.h"

#include <algorithm>

#include "foundation/debug.h"
#include "foundation/monotonic.h"
#include "music/level_gains.h"
#include "music/livelevelfit.h"

namespace {

constexpr int RATE = SourceListener::RATE;

}  // namespace

ListenedSource::ListenedSource(const std::string& source) {
  listener.Start(source);
  listener.Poll(MonotonicNs());
}

ListenedSource::~ListenedSource() {
  Log::Msg("Listening: %d overrun%s of the record stream, %.1f s of sound lost", listener.overruns,
           listener.overruns == 1 ? "" : "s", static_cast<double>(listener.lostFrames) / RATE);
  listener.Stop();
}

void ListenedSource::Poll(int64_t nowNs, LevelGains* gains) {
  listener.Poll(nowNs);
  if (gains == nullptr) return;
  constexpr int HOP = RATE / LiveLevelFit::PER_SECOND;
  nextFitFrame = std::max(nextFitFrame, listener.received - SourceListener::KEPT + WINDOW);
  for (; nextFitFrame <= listener.received; nextFitFrame += HOP) {
    listener.Read(nextFitFrame, WINDOW, fitLeft, fitRight);
    fitAnalyser.AnalyseChannels(fitLeft, fitRight, fitBands);
    gains->Heard(fitBands);
  }
}

void ListenedSource::Heard(double, float* left, float* right) {
  const int64_t now = MonotonicNs();
  Poll(now, nullptr);
  listener.Read(listener.HeardFrame(now), WINDOW, left, right);
}

double ListenedSource::Position(double) {
  const int64_t now = MonotonicNs();
  Poll(now, nullptr);
  return static_cast<double>(listener.HeardFrame(now)) / RATE;
}

std::unique_ptr<SoundProducer> ListenedSource::Follow(LevelGains* gains) {
  Poll(MonotonicNs(), gains);
  return nullptr;
}
