// The level fit of a live source: the rule a scanned track is fitted by,
// applied to the last half minute of sound and refitted every second of it.
// Moments of silence or faint noise are left out, so a pause between songs
// leaves the gains as they were. The gains start at 1.
#pragma once

#include <vector>

#include "music/levelfit.h"
#include "music/spectrum.h"

class LiveLevelFit {
 public:
  static constexpr int PER_SECOND = 60;  // analyses a second, as a track's scan takes them
  static constexpr int WINDOW_SECONDS = 30;
  static constexpr int WINDOW = PER_SECOND * WINDOW_SECONDS;

  explicit LiveLevelFit(std::vector<BandFit> fits = {});

  // Takes one analysis: SpectrumAnalyser::BANDS levels before any gain.
  // One whose loudest band is below LevelFit::NOISE_FLOOR is not kept.
  void Add(const float* bands);
  // The gain of every band, spread from the fitted ones as a track's are.
  const float* Gains() const { return gains; }
  // The gain of fits[i].band.
  float Fitted(size_t i) const { return fitted[i]; }

  const std::vector<BandFit> fits;

 private:
  void Refit();

  std::vector<std::vector<float>> levels;  // levels[i]: fits[i].band over the window, a ring
  std::vector<float> loudest;              // the loudest band over the window, the same ring
  size_t added = 0;
  std::vector<float> fitted;
  float gains[SpectrumAnalyser::BANDS];
};
