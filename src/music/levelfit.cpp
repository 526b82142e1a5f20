// The aimed share's percentile of a band's levels is where the threshold
// must land: gain = threshold / percentile. The same percentile of the
// loudest band tells a quiet band from one that is merely leakage.
#include "music/levelfit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The level that a share of the values exceed (nearest rank); 0 without values.
float LevelAbove(const float* values, size_t count, double share) {
  std::vector<float> kept;
  kept.reserve(count);
  for (size_t i = 0; i < count; ++i) kept.push_back(std::isnan(values[i]) ? 0.0f : values[i]);
  if (kept.empty()) return 0.0f;
  const double rank = std::clamp(1.0 - share, 0.0, 1.0) * static_cast<double>(kept.size() - 1);
  const auto at = kept.begin() + static_cast<std::ptrdiff_t>(std::lround(rank));
  std::nth_element(kept.begin(), at, kept.end());
  return *at;
}

}  // namespace

float LevelFit::Gain(const float* levels, const float* loudest, size_t count, bool* content) const {
  const float level = LevelAbove(levels, count, share);
  const float reference = LevelAbove(loudest, count, share);
  const bool heard = level >= NOISE_FLOOR && level >= LEAK_FLOOR * reference;
  if (content != nullptr) *content = heard;
  if (!heard) return 1.0f;
  float gain = threshold / level;
  // The percentile itself stays at the threshold, not above it: the
  // scheduler's test is strict, and rounding must not lift the share.
  if (level * gain > threshold) gain = std::nextafter(gain, 0.0f);
  return std::clamp(gain, MIN_GAIN, threshold / NOISE_FLOOR);
}

void SpreadGains(const int* fittedBands, const float* fittedGains, int fittedCount, float* gains, int bands) {
  for (int k = 0; k < bands; ++k) {
    int i = 0;
    while (i + 1 < fittedCount && fittedBands[i + 1] <= k) ++i;
    if (k <= fittedBands[0] || i + 1 >= fittedCount) {
      gains[k] = fittedGains[k <= fittedBands[0] ? 0 : i];
      continue;
    }
    const double t = static_cast<double>(k - fittedBands[i]) / (fittedBands[i + 1] - fittedBands[i]);
    gains[k] = static_cast<float>(std::pow(fittedGains[i], 1.0 - t) * std::pow(fittedGains[i + 1], t));
  }
}
