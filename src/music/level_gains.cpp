// The gains are read where they are kept: a scanned fit's copy, or the live
// fit's own, which change with every analysis it takes.
#include "music/level_gains.h"

#include <cstring>

LevelGains LevelGains::Scanned(const float* gains) {
  LevelGains fit;
  fit.fitted = true;
  std::memcpy(fit.scanned, gains, sizeof fit.scanned);
  return fit;
}

LevelGains LevelGains::Live(const std::vector<BandFit>& fits) {
  LevelGains fit;
  fit.fitted = true;
  fit.live = std::make_unique<LiveLevelFit>(fits);
  return fit;
}

void LevelGains::Heard(const float* bands) {
  if (live != nullptr) live->Add(bands);
}

void LevelGains::Apply(float* bands) const {
  if (!fitted) return;
  const float* gains = Gains();
  for (int k = 0; k < SpectrumAnalyser::BANDS; ++k) bands[k] *= gains[k];
}

const float* LevelGains::Gains() const { return live != nullptr ? live->Gains() : scanned; }
