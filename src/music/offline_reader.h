// The producer for rendering frames at exact times: nothing plays, and what
// is heard is the stream at whatever position the show asks about, so the
// spectrum is the same function of the position as in playback.
#pragma once

#include <memory>

#include "music/producer.h"
#include "music/streamwindow.h"
#include "music/trackstream.h"

class OfflineReader : public SoundProducer {
 public:
  explicit OfflineReader(std::unique_ptr<TrackStream> stream) : stream(std::move(stream)) {}

  void Heard(double asked, float* left, float* right) override;
  double Position(double asked) override;
  std::unique_ptr<SoundProducer> Follow(LevelGains*) override { return nullptr; }

  // Seconds to frames; anything beyond a day (or not a number) is taken as
  // the nearest sane value.
  static int64_t FrameAt(double seconds);

 private:
  std::unique_ptr<TrackStream> stream;
  // Kept off the stack and out of the module's state: it holds 8192 frames.
  std::unique_ptr<StreamWindow> window = std::make_unique<StreamWindow>();
};
