// Any track as the show's stream: each format, rate and channel count comes
// out at 44100 frames a second with its pitch, level, length and tags kept,
// whatever the file is named. And the level fit's gains: the aimed share
// above the threshold, the floors that leave noise and leakage alone, and
// the bounds. A resampler that fails ends the stream.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <soxr.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "music/levelfit.h"
#include "music/spectrum.h"
#include "music/trackstream.h"
#include "support/scratch_dir.h"
#include "support/track_file.h"

// Answered here ahead of libsoxr, so that a test can make the resampler
// fail: refusals calls fail before the real one is reached again.
int soxrRefusals = 0;
int soxrCalls = 0;
extern "C" soxr_error_t soxr_process(soxr_t resampler, soxr_in_t in, size_t inLength, size_t* used,
                                     soxr_out_t out, size_t outLength, size_t* made) {
  ++soxrCalls;
  if (soxrRefusals > 0) {
    --soxrRefusals;
    *used = *made = 0;
    return "refused by the test";
  }
  static auto real =
      reinterpret_cast<soxr_error_t (*)(soxr_t, soxr_in_t, size_t, size_t*, soxr_out_t, size_t, size_t*)>(
          dlsym(RTLD_NEXT, "soxr_process"));
  return real(resampler, in, inLength, used, out, outLength, made);
}

namespace {

// amplitude * sin at the centre of band k (of the show's 44100 Hz
// analysis), seconds long at rate frames a second.
std::vector<float> BandTone(int band, double amplitude, double seconds, int rate) {
  const double pi = std::acos(-1.0);
  std::vector<float> out(static_cast<size_t>(seconds * rate));
  for (size_t n = 0; n < out.size(); ++n)
    out[n] = static_cast<float>(amplitude * std::sin(2.0 * pi * BandHz(band) * n / rate));
  return out;
}

TEST(TrackStream, EveryFormatComesOutAtTheShowsRateWithItsPitchLevelLengthAndTags) {
  ScratchDir dir;
  const struct {
    int format;  // 0: MP3 through LAME (44100 Hz stereo)
    int rate;
    int channels;
  } cases[] = {
      {WAV_16, 8000, 1},   {WAV_16, 22050, 1}, {WAV_16, 44100, 3}, {WAV_16, 192000, 2},
      {FLAC_16, 48000, 2}, {VORBIS, 44100, 2}, {OPUS, 48000, 2},   {0, 44100, 2},
  };
  int n = 0;
  for (const auto& c : cases) {
    // Every file is named as if it were a WAV: the content decides.
    const std::string name = "track" + std::to_string(n++) + ".wav";
    SCOPED_TRACE(name + " at " + std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels");
    const std::vector<float> tone = BandTone(17, 0.5, 2.0, c.rate);
    if (c.format == 0) {
      ASSERT_TRUE(WriteMp3(name, tone));
    } else {
      ASSERT_TRUE(WriteTrack(name, tone, c.rate, c.channels, c.format, "Artist", "Title"));
    }
    TrackStream stream;
    std::string reason;
    ASSERT_TRUE(stream.Open(name.c_str(), &reason)) << reason;
    EXPECT_EQ(stream.Source().rate, c.rate);
    EXPECT_EQ(stream.Source().channels, c.channels);
    if (c.format != 0) {
      EXPECT_EQ(stream.Source().artist, "Artist");
      EXPECT_EQ(stream.Source().title, "Title");
    }
    std::vector<float> all;
    std::vector<float> block(1000 * TrackStream::CHANNELS);
    for (int got; (got = stream.Read(block.data(), 1000)) > 0;) {
      EXPECT_LE(got, 1000);
      all.insert(all.end(), block.begin(), block.begin() + got * TrackStream::CHANNELS);
    }
    EXPECT_TRUE(stream.Ended());
    const size_t frames = all.size() / TrackStream::CHANNELS;
    EXPECT_EQ(stream.Tell(), static_cast<int64_t>(frames));
    EXPECT_NEAR(frames / 44100.0, 2.0, 0.02);
    // The mono mix of a block from the middle reads the tone in its band, at
    // its level as the file's channels carry it (the second at 0.9).
    ASSERT_GT(frames, 44100u + SpectrumAnalyser::SIZE);
    float mono[SpectrumAnalyser::SIZE];
    for (int i = 0; i < SpectrumAnalyser::SIZE; ++i)
      mono[i] = 0.5f * (all[2 * (44100 + i)] + all[2 * (44100 + i) + 1]);
    float bands[SpectrumAnalyser::BANDS];
    SpectrumAnalyser().Analyse(mono, bands);
    // Three channels: the first and third on the left, the second on the right.
    const float level = c.channels == 1 || c.format == 0 ? 0.5f : 0.475f;
    EXPECT_NEAR(bands[17], level, 0.03f);
    EXPECT_LT(bands[14], 0.02f);
    EXPECT_LT(bands[20], 0.02f);
  }
}

TEST(LevelFit, AimsAtTheShareAndLeavesNoiseAndLeakageAlone) {
  const LevelFit fit{0.3f, 0.2};
  // The share above the threshold once the levels carry the gain.
  const auto shareAbove = [&](const std::vector<float>& levels, float gain) {
    int above = 0;
    for (float level : levels) above += static_cast<double>(level * gain) > fit.threshold;
    return static_cast<double>(above) / levels.size();
  };
  std::vector<float> ramp(1000);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = 0.001f * static_cast<float>(i + 1);
  const std::vector<float> loud(1000, 1.0f);
  const float rampGain = fit.Gain(ramp.data(), ramp.data(), ramp.size());
  EXPECT_NEAR(shareAbove(ramp, rampGain), 0.2, 0.001);

  // Ten times quieter: ten times the gain, the same share.
  std::vector<float> quiet = ramp;
  for (float& level : quiet) level *= 0.1f;
  EXPECT_NEAR(fit.Gain(quiet.data(), quiet.data(), quiet.size()), 10.0f * rampGain, 1e-3f * rampGain);

  // Equal levels cannot be split: at the threshold is not above it.
  const std::vector<float> flat(100, 0.5f);
  EXPECT_EQ(shareAbove(flat, fit.Gain(flat.data(), flat.data(), flat.size())), 0.0);

  const float noNumber = std::numeric_limits<float>::quiet_NaN();
  const struct {
    std::vector<float> levels;
    std::vector<float> loudest;
    float gain;
  } bounded[] = {
      {std::vector<float>(100, 1e-5f), std::vector<float>(100, 1e-5f), 1.0f},          // noise
      {std::vector<float>(100, 1e-3f), loud, 1.0f},                                    // leakage, -60 dB
      {std::vector<float>(100, 1e-3f), std::vector<float>(100, 0.05f), 0.3f / 1e-3f},  // quiet, -34 dB
      {std::vector<float>(100, 3.1e-4f), std::vector<float>(100, 3.1e-4f), 0.3f / 3.1e-4f},
      {std::vector<float>(100, 100.0f), std::vector<float>(100, 100.0f), LevelFit::MIN_GAIN},
      {std::vector<float>(100, noNumber), loud, 1.0f},  // taken as silence
      {{}, {}, 1.0f},
  };
  for (const auto& b : bounded) {
    const float gain = fit.Gain(b.levels.data(), b.loudest.data(), b.levels.size());
    EXPECT_NEAR(gain, b.gain, 1e-3f * b.gain) << (b.levels.empty() ? 0.0f : b.levels[0]);
    EXPECT_LE(gain, fit.threshold / LevelFit::NOISE_FLOOR);
  }
}

TEST(LevelFit, GainsSpreadFlatOutsideAndGeometricallyBetweenTheFittedBands) {
  const int bands[] = {1, 17};
  const float fitted[] = {4.0f, 0.25f};
  float gains[512];
  SpreadGains(bands, fitted, 2, gains, 512);
  EXPECT_EQ(gains[0], 4.0f);
  EXPECT_EQ(gains[1], 4.0f);
  EXPECT_NEAR(gains[9], 1.0f, 1e-5f);  // halfway: the geometric mean
  EXPECT_NEAR(gains[5], 2.0f, 1e-5f);
  EXPECT_EQ(gains[17], 0.25f);
  EXPECT_EQ(gains[511], 0.25f);
}

}  // namespace

TEST(TrackStream, AFailingResamplerEndsTheStreamRatherThanSpinning) {
  ScratchDir dir;
  ASSERT_TRUE(WriteTrack("tone.wav", BandTone(17, 0.5, 1.0, 48000), 48000, 1, WAV_16));
  TrackStream stream;
  std::string reason;
  ASSERT_TRUE(stream.Open("tone.wav", &reason)) << reason;
  soxrCalls = 0;
  soxrRefusals = 1000;
  std::vector<float> frames(2 * 4096);
  EXPECT_EQ(stream.Read(frames.data(), 4096), 0);
  EXPECT_EQ(soxrCalls, 1) << "the stream went on asking a failed resampler";
  soxrRefusals = 0;
  EXPECT_EQ(stream.Read(frames.data(), 4096), 0) << "it stays ended";
}
