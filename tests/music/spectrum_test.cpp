// The analyser on exact signals: the scale, the Hann window's spread, the
// band a frequency lands in.
#include "music/spectrum.h"

#include <gtest/gtest.h>

#include <vector>

#include "music/mp3_file.h"

namespace {

std::vector<float> Bands(const std::vector<float>& samples) {
  SpectrumAnalyser analyser;
  std::vector<float> bands(SpectrumAnalyser::BANDS, -1.0f);
  analyser.Analyse(samples.data(), bands.data());
  return bands;
}

}  // namespace

TEST(SpectrumAnalyser, FullScaleSineCentredOnABandReadsOneThere) {
  for (int band : {2, 17, 200, 510}) {
    std::vector<float> bands = Bands(Sine(BandHz(band), 1.0, 1024.0 / TEST_RATE));
    EXPECT_NEAR(bands[band], 1.0f, 1e-3f) << "band " << band;
    // The Hann window spreads a centred sine over its two neighbours, at half height.
    EXPECT_NEAR(bands[band - 1], 0.5f, 1e-3f) << "band " << band;
    EXPECT_NEAR(bands[band + 1], 0.5f, 1e-3f) << "band " << band;
    for (int k = 0; k < SpectrumAnalyser::BANDS; ++k) {
      if (k < band - 1 || k > band + 1) {
        EXPECT_LT(bands[k], 1e-3f) << "band " << band << " leaks into " << k;
      }
    }
  }
}

TEST(SpectrumAnalyser, SilenceReadsZeroEverywhere) {
  std::vector<float> bands = Bands(std::vector<float>(SpectrumAnalyser::SIZE, 0.0f));
  for (float b : bands) EXPECT_EQ(b, 0.0f);
}

TEST(SpectrumAnalyser, ScaleFollowsAmplitudeAndBassLandsInBandOne) {
  std::vector<float> half = Bands(Sine(BandHz(17), 0.5, 1024.0 / TEST_RATE));
  EXPECT_NEAR(half[17], 0.5f, 1e-3f);
  // 60 Hz lies between bands 1 (43 Hz) and 2 (86 Hz), nearer band 1.
  std::vector<float> bass = Bands(Sine(60.0, 0.5, 1024.0 / TEST_RATE));
  EXPECT_GT(bass[1], 0.3f);
  EXPECT_GT(bass[1], bass[2]);
  EXPECT_LT(bass[17], 0.01f);
}

TEST(SpectrumAnalyser, AnalysisLeavesItsInputAlone) {
  std::vector<float> samples = Sine(BandHz(30), 0.7, 1024.0 / TEST_RATE);
  const std::vector<float> before = samples;
  SpectrumAnalyser analyser;
  std::vector<float> first(SpectrumAnalyser::BANDS), second(SpectrumAnalyser::BANDS);
  analyser.Analyse(samples.data(), first.data());
  analyser.Analyse(samples.data(), second.data());
  EXPECT_EQ(samples, before);
  EXPECT_EQ(first, second);
}
