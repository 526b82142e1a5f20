// Each refit takes the window's percentiles afresh: at 60 analyses a second
// that is 1,800 values a band, a fraction of a millisecond once a second.
#include "music/livelevelfit.h"

#include <algorithm>

LiveLevelFit::LiveLevelFit(std::vector<BandFit> fitsIn)
    : fits(std::move(fitsIn)),
      levels(fits.size(), std::vector<float>(WINDOW)),
      loudest(WINDOW),
      fitted(fits.size(), 1.0f) {
  std::fill(gains, gains + SpectrumAnalyser::BANDS, 1.0f);
}

void LiveLevelFit::Add(const float* bands) {
  // Silence and faint noise stay out of the window: a pause between songs
  // would otherwise pull the percentiles down and the gains up.
  const float loudestBand = *std::max_element(bands, bands + SpectrumAnalyser::BANDS);
  if (!(loudestBand >= LevelFit::NOISE_FLOOR)) return;
  const size_t at = added % WINDOW;
  for (size_t i = 0; i < fits.size(); ++i) levels[i][at] = bands[fits[i].band];
  loudest[at] = loudestBand;
  ++added;
  if (added % PER_SECOND == 0) Refit();
}

void LiveLevelFit::Refit() {
  if (fits.empty()) return;
  const size_t count = std::min<size_t>(added, WINDOW);
  std::vector<int> bands;
  for (size_t i = 0; i < fits.size(); ++i) {
    bool content = false;
    const float gain = fits[i].fit.Gain(levels[i].data(), loudest.data(), count, &content);
    if (content) fitted[i] = gain;
    bands.push_back(fits[i].band);
  }
  SpreadGains(bands.data(), fitted.data(), static_cast<int>(fits.size()), gains, SpectrumAnalyser::BANDS);
}
