// The music module through its interface on mp3 files made here: outputs
// against a spectrum computed from the decoded samples, failure
// paths, the silent output's clock, the device path on SDL's dummy driver.
#include "music/music.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "foundation/debug.h"
#include "music/mp3_file.h"
#include "support/scratch_dir.h"

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime; this compiler ships no header declaring it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                         void (*free_hook)(const volatile void*));
#endif

namespace {

constexpr int BANDS = 512;
constexpr int WINDOW = 1024;

double fakeTime = 0.0;
double FakeClock() { return fakeTime; }

// The whole file decoded independently of the module, mono mixed.
std::vector<float> DecodeMono(const std::string& name) {
  std::vector<float> mono;
  mpg123_handle* handle = mpg123_new(nullptr, nullptr);
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  mpg123_format_none(handle);
  mpg123_format(handle, TEST_RATE, MPG123_STEREO, MPG123_ENC_FLOAT_32);
  if (mpg123_open(handle, name.c_str()) == MPG123_OK) {
    std::vector<float> block(2 * 4096);
    for (;;) {
      size_t bytes = 0;
      int error = mpg123_read(handle, reinterpret_cast<unsigned char*>(block.data()),
                              block.size() * sizeof(float), &bytes);
      for (size_t i = 0; i < bytes / (2 * sizeof(float)); ++i)
        mono.push_back(0.5f * (block[2 * i] + block[2 * i + 1]));
      if (error != MPG123_OK && error != MPG123_NEW_FORMAT) break;
    }
  }
  mpg123_close(handle);
  mpg123_delete(handle);
  return mono;
}

// The spectrum of frames [end - 1024, end) by a plain DFT: Hann window,
// magnitudes scaled by 4 / 1024, frames outside the stream silent.
std::vector<float> DirectSpectrum(const std::vector<float>& mono, int64_t end) {
  const double pi = std::acos(-1.0);
  std::vector<double> x(WINDOW);
  for (int n = 0; n < WINDOW; ++n) {
    const int64_t frame = end - WINDOW + n;
    const double sample = frame >= 0 && frame < static_cast<int64_t>(mono.size()) ? mono[frame] : 0.0;
    x[n] = sample * (0.5 - 0.5 * std::cos(2.0 * pi * n / WINDOW));
  }
  std::vector<float> bands(BANDS);
  for (int k = 0; k < BANDS; ++k) {
    std::complex<double> sum = 0.0;
    for (int n = 0; n < WINDOW; ++n) sum += x[n] * std::polar(1.0, -2.0 * pi * k * n / WINDOW);
    bands[k] = static_cast<float>(std::abs(sum) * 4.0 / WINDOW);
  }
  return bands;
}

void ExpectSpectrumNear(const float* got, const std::vector<float>& want, float tolerance,
                        const std::string& where) {
  ASSERT_NE(got, nullptr) << where;
  float worst = 0.0f;
  int worstBand = 0;
  for (int k = 0; k < BANDS; ++k) {
    if (std::fabs(got[k] - want[k]) > worst) {
      worst = std::fabs(got[k] - want[k]);
      worstBand = k;
    }
  }
  EXPECT_LE(worst, tolerance) << where << ": band " << worstBand << " reads " << got[worstBand]
                              << ", directly " << want[worstBand];
}

float Loudest(const float* bands) { return *std::max_element(bands, bands + BANDS); }

// A mixture that lights many bands: three tones and a deterministic noise.
std::vector<float> Mixture(double seconds) {
  std::vector<float> a = Sine(BandHz(5) + 7.0, 0.3, seconds);
  std::vector<float> b = Sine(BandHz(17), 0.2, seconds);
  std::vector<float> c = Sine(3100.0, 0.15, seconds);
  uint32_t state = 12345;
  for (size_t n = 0; n < a.size(); ++n) {
    state = state * 1664525u + 1013904223u;
    a[n] += b[n] + c[n] + 0.1f * (static_cast<float>(state >> 8) / 16777216.0f - 0.5f);
  }
  return a;
}

// An ID3v2 tag header claiming size bytes, followed by that many bytes of
// padding when real is set.
std::string Id3Tag(uint32_t size, bool real) {
  std::string tag = "ID3";
  tag += '\x04';
  tag += '\x00';
  tag += '\x00';
  for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>((size >> shift) & 0x7f);
  if (real) tag += std::string(size, '\0');
  return tag;
}

#if defined(__SANITIZE_ADDRESS__)
// The largest single allocation and the number of them, where the
// sanitizer can watch them.
std::atomic<size_t> largestAllocation{0};
std::atomic<int> allocations{0};
void NoteAllocation(const volatile void*, size_t size) {
  allocations.fetch_add(1);
  size_t seen = largestAllocation.load();
  while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
  }
}
void NoteFree(const volatile void*) {}
#endif

class Music : public ::testing::Test {
 protected:
  void SetUp() override {
    Log::Start("zarv.log", false);
    // No sound card, whatever this machine has: the silent output.
    setenv("SDL_AUDIODRIVER", "zarv-no-such-driver", 1);
    fakeTime = 100.0;
    MusicSetClock(FakeClock);
    // The module's settings outlive a test: start each from the defaults.
    MusicSetOffline(false);
    MusicSetTestSpectrum(nullptr);
  }
  void TearDown() override {
    MusicDone();
    Log::End();
  }
  std::vector<std::string> LogLines() { return ReadLines("zarv.log"); }

  ScratchDir dir;
};

}  // namespace

TEST_F(Music, OfflineSpectrumIsTheDirectSpectrumOfTheDecodedSamples) {
  ASSERT_TRUE(WriteMp3("mix.mp3", Mixture(3.0)));
  const std::vector<float> mono = DecodeMono("mix.mp3");
  ASSERT_EQ(mono.size(), static_cast<size_t>(3 * TEST_RATE));
  MusicSetOffline(true);
  ASSERT_TRUE(MusicInit("mix.mp3"));
  // Forward in small and large steps, the first block partly before the start.
  for (int64_t frame : {0, 300, 1024, 1025, 20000, 54321, 54322, 100000, 131000}) {
    ExpectSpectrumNear(MusicGetSpectrumAt(static_cast<double>(frame) / TEST_RATE),
                       DirectSpectrum(mono, frame), 1e-4f, "frame " + std::to_string(frame));
  }
  // Past the end the stream is silent, partly and wholly.
  for (int64_t frame : {132000, 140000}) {
    ExpectSpectrumNear(MusicGetSpectrumAt(static_cast<double>(frame) / TEST_RATE),
                       DirectSpectrum(mono, frame), 1e-4f, "frame " + std::to_string(frame));
  }
  EXPECT_DOUBLE_EQ(MusicPosition(), 3.0);
  // Back again: a seek in the decoder, whose warm-up gives the same samples.
  for (int64_t frame : {50000, 2000}) {
    ExpectSpectrumNear(MusicGetSpectrumAt(static_cast<double>(frame) / TEST_RATE),
                       DirectSpectrum(mono, frame), 1e-3f, "back to " + std::to_string(frame));
  }
}

TEST_F(Music, SilentOutputGivesTheSameSpectrumForTheSamePosition) {
  ASSERT_TRUE(WriteMp3("mix.mp3", Mixture(2.0)));
  const std::vector<float> mono = DecodeMono("mix.mp3");
  ASSERT_TRUE(MusicInit("mix.mp3"));
  const double start = fakeTime;
  for (double t : {0.0, 0.25, 0.9, 1.5}) {
    fakeTime = start + t;
    EXPECT_DOUBLE_EQ(MusicPosition(), std::llround(t * TEST_RATE) / double(TEST_RATE));
    ExpectSpectrumNear(MusicGetSpectrum(), DirectSpectrum(mono, std::llround(t * TEST_RATE)), 1e-4f,
                       "t " + std::to_string(t));
  }
}

TEST_F(Music, WithoutADeviceTheSdlErrorIsLoggedOnceAndTheMusicKeepsTime) {
  // First second bass, second second band 17.
  ASSERT_TRUE(WriteMp3("two.mp3", Then(Sine(BandHz(1), 0.8, 1.0), Sine(BandHz(17), 0.8, 1.0))));
  ASSERT_TRUE(MusicInit("two.mp3"));
  const double start = fakeTime;
  EXPECT_EQ(MusicPosition(), 0.0);
  const float* bands = MusicGetSpectrum();
  ASSERT_NE(bands, nullptr);
  EXPECT_EQ(Loudest(bands), 0.0f) << "nothing has been heard yet";

  fakeTime = start + 0.5;
  EXPECT_DOUBLE_EQ(MusicPosition(), 0.5);
  bands = MusicGetSpectrum();
  EXPECT_GT(bands[1], 0.7f);
  EXPECT_LT(bands[17], 0.05f);

  fakeTime = start + 1.5;
  EXPECT_DOUBLE_EQ(MusicPosition(), 1.5);
  bands = MusicGetSpectrum();
  EXPECT_LT(bands[1], 0.05f);
  EXPECT_GT(bands[17], 0.7f);

  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("zarv-no-such-driver"), std::string::npos) << lines[0];
}

TEST_F(Music, PlaysOnceAndStopsAtTheEnd) {
  ASSERT_TRUE(WriteMp3("tone.mp3", Sine(BandHz(17), 1.0, 1.0)));
  ASSERT_TRUE(MusicInit("tone.mp3"));
  const double start = fakeTime;
  fakeTime = start + 0.99;
  EXPECT_GT(MusicGetSpectrum()[17], 0.9f);
  for (double after : {1.0, 1.01, 30.0, 300.0}) {
    fakeTime = start + after;
    EXPECT_DOUBLE_EQ(MusicPosition(), 1.0) << after;
  }
  const float* bands = MusicGetSpectrum();
  ASSERT_NE(bands, nullptr);
  EXPECT_EQ(Loudest(bands), 0.0f) << "the stream does not start over";
}

TEST_F(Music, MissingFileIsLoggedAndClosesOnlyWhatWasOpened) {
  // A device that opens: a file that cannot be played leaves it closed.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_FALSE(MusicInit("missing.mp3"));
  EXPECT_EQ(LogLines(),
            std::vector<std::string>{"Cannot play music file missing.mp3: No such file or directory"});
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
  EXPECT_EQ(MusicGetSpectrum(), nullptr);
  EXPECT_EQ(MusicPosition(), 0.0);
  MusicDone();
  EXPECT_EQ(LogLines().size(), 1u);
}

TEST_F(Music, FilesThatAreNotMp3AreLoggedWithTheReason) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "this is a text file, not music\n";
  WriteFile("text.mp3", text);
  WriteFile("empty.mp3", "");
  EXPECT_FALSE(MusicInit("text.mp3"));
  MusicDone();
  EXPECT_FALSE(MusicInit("empty.mp3"));
  MusicDone();
  EXPECT_FALSE(MusicInit("."));
  EXPECT_EQ(MusicGetSpectrum(), nullptr);
  const std::vector<std::string> lines = LogLines();
  // Each start logs the missing device, then the file.
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1].rfind("Cannot play music file text.mp3: ", 0), 0u) << lines[1];
  EXPECT_GT(lines[1].size(), std::string("Cannot play music file text.mp3: ").size());
  EXPECT_EQ(lines[3], "Cannot play music file empty.mp3: the file is empty");
  EXPECT_EQ(lines[5], "Cannot play music file .: Is a directory");
}

TEST_F(Music, Id3TagsAreSkippedWithoutBelievingTheirSize) {
  ASSERT_TRUE(WriteMp3("tone.mp3", Sine(BandHz(17), 1.0, 1.0)));
  const std::string mp3 = ReadFile("tone.mp3");
  WriteFile("tagged.mp3", Id3Tag(3000, true) + mp3);
  // A tag that claims 256 MB in a file of a few kilobytes.
  WriteFile("liar.mp3", Id3Tag(0x0fffffff, false) + mp3);
#if defined(__SANITIZE_ADDRESS__)
  __sanitizer_install_malloc_and_free_hooks(NoteAllocation, NoteFree);
  largestAllocation = 0;
#endif
  ASSERT_TRUE(MusicInit("tagged.mp3"));
  fakeTime += 0.5;
  EXPECT_GT(MusicGetSpectrum()[17], 0.9f);
  MusicDone();
  EXPECT_FALSE(MusicInit("liar.mp3"));
  EXPECT_EQ(LogLines().back(), "Cannot play music file liar.mp3: no MPEG audio frame decodes in the file");
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(largestAllocation.load(), size_t{16} << 20);
#endif
}

#if defined(__SANITIZE_ADDRESS__)
TEST_F(Music, SpectrumAllocatesNothingPerCall) {
  ASSERT_TRUE(WriteMp3("mix.mp3", Mixture(3.0)));
  ASSERT_TRUE(MusicInit("mix.mp3"));
  fakeTime += 0.1;
  ASSERT_NE(MusicGetSpectrum(), nullptr);
  __sanitizer_install_malloc_and_free_hooks(NoteAllocation, NoteFree);
  const int before = allocations.load();
  for (int frame = 0; frame < 120; ++frame) {
    fakeTime += 1.0 / 60.0;
    MusicGetSpectrum();
    MusicPosition();
  }
  EXPECT_EQ(allocations.load() - before, 0);
}
#endif

TEST_F(Music, TruncatedMp3PlaysWhatItHasThenStops) {
  ASSERT_TRUE(WriteMp3("tone.mp3", Sine(BandHz(17), 1.0, 2.0)));
  const std::string whole = ReadFile("tone.mp3");
  // Cut in the middle of a frame.
  WriteFile("cut.mp3", whole.substr(0, whole.size() * 2 / 5 + 123));
  ASSERT_TRUE(MusicInit("cut.mp3"));
  const double start = fakeTime;
  fakeTime = start + 0.5;
  EXPECT_NEAR(MusicGetSpectrum()[17], 1.0f, 0.05f);
  fakeTime = start + 5.0;
  const double end = MusicPosition();
  EXPECT_GT(end, 0.6);
  EXPECT_LT(end, 1.0);
  EXPECT_EQ(Loudest(MusicGetSpectrum()), 0.0f);
  MusicDone();

  // Only the first few hundred bytes: the info frame and perhaps a sliver.
  for (size_t bytes : {size_t{3}, size_t{200}, size_t{700}, size_t{1500}}) {
    WriteFile("sliver.mp3", whole.substr(0, bytes));
    if (MusicInit("sliver.mp3")) {
      fakeTime += 1.0;
      EXPECT_LT(MusicPosition(), 0.1) << bytes;
      EXPECT_NE(MusicGetSpectrum(), nullptr) << bytes;
    } else {
      EXPECT_EQ(MusicGetSpectrum(), nullptr) << bytes;
    }
    MusicDone();
  }
}

TEST_F(Music, DoneWithoutAStartTouchesNothing) {
  MusicDone();
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
  EXPECT_EQ(MusicGetSpectrum(), nullptr);
  EXPECT_FALSE(MusicInit("missing.mp3"));
  MusicDone();
  MusicDone();
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
  EXPECT_EQ(LogLines().size(), 2u) << "the device, then the file; closing logs nothing";
}

TEST_F(Music, StartsAgainAfterDone) {
  ASSERT_TRUE(WriteMp3("tone.mp3", Sine(BandHz(17), 1.0, 1.0)));
  ASSERT_TRUE(MusicInit("tone.mp3"));
  fakeTime += 0.5;
  EXPECT_DOUBLE_EQ(MusicPosition(), 0.5);
  MusicDone();
  EXPECT_EQ(MusicGetSpectrum(), nullptr);
  EXPECT_EQ(MusicPosition(), 0.0);
  ASSERT_TRUE(MusicInit("tone.mp3"));
  EXPECT_EQ(MusicPosition(), 0.0);
  fakeTime += 0.5;
  EXPECT_GT(MusicGetSpectrum()[17], 0.9f);
}

TEST_F(Music, TestSpectrumIsACopyReturnedWhateverTheMusicDoes) {
  float injected[BANDS];
  for (int k = 0; k < BANDS; ++k) injected[k] = 0.001f * k;
  MusicSetTestSpectrum(injected);
  injected[1] = 99.0f;
  const float* bands = MusicGetSpectrum();
  ASSERT_NE(bands, nullptr);
  EXPECT_NE(bands, injected);
  EXPECT_FLOAT_EQ(bands[1], 0.001f);
  EXPECT_FLOAT_EQ(bands[511], 0.511f);
  ASSERT_TRUE(WriteMp3("tone.mp3", Sine(BandHz(17), 1.0, 1.0)));
  ASSERT_TRUE(MusicInit("tone.mp3"));
  fakeTime += 0.5;
  EXPECT_FLOAT_EQ(MusicGetSpectrum()[17], 0.017f);
  MusicSetTestSpectrum(nullptr);
  EXPECT_GT(MusicGetSpectrum()[17], 0.9f);
  MusicDone();
  EXPECT_EQ(MusicGetSpectrum(), nullptr);
}

TEST_F(Music, DeviceOutputPlaysAndStopsOnSdlsDummyDriver) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  MusicSetClock(nullptr);
  ASSERT_TRUE(WriteMp3("tone.mp3", Sine(BandHz(17), 1.0, 1.5)));
  ASSERT_TRUE(MusicInit("tone.mp3"));
  EXPECT_TRUE(LogLines().empty());
  // The dummy driver consumes in real time on its own thread: wait for it,
  // with a deadline far beyond what it needs.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  auto waitFor = [&](auto done) {
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
  };
  ASSERT_TRUE(waitFor([] { return MusicPosition() > 0.2; }));
  EXPECT_NEAR(MusicGetSpectrum()[17], 1.0f, 0.05f);
  ASSERT_TRUE(waitFor([] { return MusicPosition() == 1.5; })) << MusicPosition();
  ASSERT_TRUE(waitFor([] { return Loudest(MusicGetSpectrum()) == 0.0f; }));
  EXPECT_EQ(MusicPosition(), 1.5);
}
