// The live level fit fed a groove as listening would take it in: a loud and
// a 20 dB quieter copy come to the same share above the threshold, and
// silence neither undoes the gains nor lifts noise over the threshold.
#include "music/livelevelfit.h"

#include <gtest/gtest.h>

#include "support/track_file.h"

namespace {

constexpr float BASS_THRESHOLD = 0.3f;
constexpr double BASS_SHARE = 0.177;
const std::vector<BandFit> FITS = {{1, {BASS_THRESHOLD, BASS_SHARE}}, {17, {0.1f, 0.099}}};
constexpr int HOP = 44100 / LiveLevelFit::PER_SECOND;

// Feeds the fit every analysis of samples; returns, for each analysis, band
// 1 after the gain in force at that moment, and that gain in *gains if asked.
std::vector<float> Listen(LiveLevelFit& fit, const std::vector<float>& samples,
                          std::vector<float>* gains = nullptr) {
  SpectrumAnalyser analyser;
  float bands[SpectrumAnalyser::BANDS];
  std::vector<float> heard;
  for (size_t end = SpectrumAnalyser::SIZE; end <= samples.size(); end += HOP) {
    analyser.Analyse(samples.data() + end - SpectrumAnalyser::SIZE, bands);
    heard.push_back(bands[1] * fit.Gains()[1]);
    if (gains != nullptr) gains->push_back(fit.Gains()[1]);
    fit.Add(bands);
  }
  return heard;
}

double ShareAbove(const std::vector<float>& levels, size_t from) {
  size_t above = 0;
  for (size_t i = from; i < levels.size(); ++i) above += levels[i] > BASS_THRESHOLD;
  return static_cast<double>(above) / static_cast<double>(levels.size() - from);
}

}  // namespace

TEST(LiveLevelFit, LoudAndQuietSettleOnTheSameShareAndSilenceHoldsThem) {
  Groove loud;
  loud.seconds = 75.0;
  Groove quiet = loud;
  quiet.gain = 0.1;
  LiveLevelFit loudFit(FITS);
  LiveLevelFit quietFit(FITS);
  EXPECT_EQ(quietFit.Gains()[1], 1.0f) << "gains start at 1";
  const std::vector<float> loudHeard = Listen(loudFit, GrooveSamples(loud));
  std::vector<float> quietGains;
  const std::vector<float> quietHeard = Listen(quietFit, GrooveSamples(quiet), &quietGains);
  // Past the first half minute the window holds only the groove.
  const size_t settled = 45 * LiveLevelFit::PER_SECOND;
  const double loudShare = ShareAbove(loudHeard, settled);
  const double quietShare = ShareAbove(quietHeard, settled);
  EXPECT_NEAR(loudShare, BASS_SHARE, 0.03);
  EXPECT_NEAR(quietShare, loudShare, 0.03);
  EXPECT_NEAR(quietFit.Fitted(0), 10.0f * loudFit.Fitted(0), 0.5f * loudFit.Fitted(0));

  // How long the quiet groove's gain takes to come within 10% of where it
  // settles and stay there.
  size_t settledAfter = 0;
  for (size_t i = 0; i < quietHeard.size(); ++i) {
    const float gain = quietGains[i];
    if (std::fabs(gain - quietFit.Fitted(0)) > 0.1f * quietFit.Fitted(0)) settledAfter = i + 1;
  }
  // It is refitted every second from the first: a few refits find it.
  EXPECT_LE(settledAfter, 5u * LiveLevelFit::PER_SECOND)
      << "settled after " << static_cast<double>(settledAfter) / LiveLevelFit::PER_SECOND << " s";

  // Two minutes of silence: the gains hold, and nothing reads above the threshold.
  const float held = quietFit.Fitted(0);
  const std::vector<float> silence = Listen(quietFit, std::vector<float>(120 * 44100, 0.0f));
  EXPECT_EQ(quietFit.Fitted(0), held);
  EXPECT_EQ(ShareAbove(silence, 0), 0.0);

  // Room noise at -66 dBFS, however long, stays under the threshold.
  LiveLevelFit noiseFit(FITS);
  std::vector<float> noise(60 * 44100);
  uint32_t state = 1;
  for (float& s : noise) {
    state = state * 1664525u + 1013904223u;
    s = 8.7e-4f * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
  }
  EXPECT_EQ(ShareAbove(Listen(noiseFit, noise), 0), 0.0);
}
