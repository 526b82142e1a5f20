// What the music module holds one of: a way of producing the sound the show
// follows (a track on the output device, the silent clock, the offline
// reader, the listener). Each says what is heard; the module analyses it and
// applies the level fit. Words as in music.h.
#pragma once

#include <memory>

#include "music/spectrum.h"

class LevelGains;

class SoundProducer {
 public:
  static constexpr int WINDOW = SpectrumAnalyser::SIZE;  // frames analysed

  virtual ~SoundProducer() = default;
  // Both channels of the WINDOW frames heard last. asked is the position
  // (seconds) the show asks about, which only the offline reader goes by; a
  // live producer answers with what is being heard.
  virtual void Heard(double asked, float* left, float* right) = 0;
  // The position being heard, in seconds; it stops at the end of the stream.
  virtual double Position(double asked) = 0;
  // Keeps up with the output or the source, taking in what came and fitting
  // gains to it where the producer hears live. A producer to go on with in
  // its place when this one gave out (the device lost), else null.
  virtual std::unique_ptr<SoundProducer> Follow(LevelGains* gains) = 0;
};
