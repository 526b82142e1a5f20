// The level fit: a gain for a band the show reads, chosen so that the share
// of moments in which the band crosses its spawn threshold is the share the
// built-in soundtrack has. Bounded, so that noise and silence stay below the
// thresholds. The same rule serves a track scanned ahead and a live source
// fitted as it plays.
#pragma once

#include <cstddef>

struct LevelFit {
  // A band quieter than this (magnitude, -70 dB below a full-scale sine) at
  // the share's percentile holds nothing but noise.
  static constexpr float NOISE_FLOOR = 3e-4f;
  // A band this much quieter than the loudest band (-40 dB) holds only what
  // leaks into it from further bands. A sound within a band or two still
  // reads within -10 dB of its own level, so real content stays well above.
  static constexpr float LEAK_FLOOR = 0.01f;
  // No band is turned down by more than this.
  static constexpr float MIN_GAIN = 1.0f / 16.0f;

  float threshold = 0.0f;  // the level the show spawns above
  double share = 0.0;      // the share of moments above it to aim for, 0..1

  // The gain for levels[0..count) of the band, given the loudest band's
  // levels at the same moments. 1 when the band holds nothing but noise or
  // leakage; otherwise the gain that puts the aimed share above threshold,
  // at most threshold / NOISE_FLOOR. Not a number is taken as silence.
  // *content, when asked for, tells whether the band held anything but
  // noise or leakage.
  float Gain(const float* levels, const float* loudest, size_t count, bool* content = nullptr) const;
};

// A band the show spawns from, and the fit of its level.
struct BandFit {
  int band = 0;
  LevelFit fit;
};

// The gain of every band from the fitted bands' own: bands at or below the
// first fitted one take its gain, those at or above the last take theirs,
// and those between go geometrically from one to the next. fitted holds
// (band, gain) pairs in rising band order.
void SpreadGains(const int* fittedBands, const float* fittedGains, int fittedCount, float* gains, int bands);
