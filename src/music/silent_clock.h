// The producer without an output device: the track goes on in silence,
// keeping the time a device would, from the frame it starts at. It stands in
// when no device opens, and takes over where playback had reached when the
// device is lost.
#pragma once

#include <memory>

#include "music/producer.h"
#include "music/streamwindow.h"
#include "music/trackstream.h"

class SilentClock : public SoundProducer {
 public:
  // clock: seconds from any origin (null: the monotonic clock).
  SilentClock(std::unique_ptr<TrackStream> stream, int64_t startFrame, double (*clock)());

  void Heard(double asked, float* left, float* right) override;
  double Position(double asked) override;
  std::unique_ptr<SoundProducer> Follow(LevelGains*) override { return nullptr; }

 private:
  double Now() const;
  // The stream frame being heard now.
  int64_t Frame() const;

  std::unique_ptr<TrackStream> stream;
  std::unique_ptr<StreamWindow> window = std::make_unique<StreamWindow>();
  double (*clock)();
  const int64_t startFrame;
  const double startTime;
};
