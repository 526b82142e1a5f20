// The level fit as the music module applies it to every spectrum, in one of
// three values: not fitted (the built-in soundtrack, analysed as the mono mix
// its levels were made for), fitted once from a track's scan, or fitted as a
// live source is heard. A fitted spectrum counts every channel.
#pragma once

#include <memory>
#include <vector>

#include "music/levelfit.h"
#include "music/livelevelfit.h"
#include "music/spectrum.h"

class LevelGains {
 public:
  LevelGains() = default;  // not fitted
  // gains: one per band, SpectrumAnalyser::BANDS of them.
  static LevelGains Scanned(const float* gains);
  // Starts at 1 and refits from every analysis Heard is given.
  static LevelGains Live(const std::vector<BandFit>& fits);

  bool Fitted() const { return fitted; }
  // One analysis of the sound heard, before any gain; only a live fit takes it.
  void Heard(const float* bands);
  // Multiplies each of the BANDS bands by its gain; nothing when not fitted.
  void Apply(float* bands) const;
  const float* Gains() const;

 private:
  bool fitted = false;
  float scanned[SpectrumAnalyser::BANDS] = {};
  std::unique_ptr<LiveLevelFit> live;
};
