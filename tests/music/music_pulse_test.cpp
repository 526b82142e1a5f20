// The music module against a private PulseAudio daemon, and again against
// a private PipeWire's PulseAudio service. Playing through
// SDL's pulseaudio driver: the stream the server sees, the analysed frame
// against the frame the sink plays, and the server going away mid-show.
// Listening to the sink's monitor: the analysed window against the sound the
// sink plays, the server going and coming back, the default output changing
// a record stream the server refuses, and a stalled show's lost sound counted.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <pulse/stream.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numeric>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/debug.h"
#include "foundation/monotonic.h"
#include "music/mp3_file.h"
#include "music/music.h"
#include "music/trackstream.h"
#include "support/pipewire_daemon.h"
#include "support/pulse_daemon.h"
#include "support/scratch_dir.h"
#include "support/track_file.h"

// Answered here ahead of libpulse, so that a test can make the server
// refuse record streams; everything else reaches the real call.
int refusedRecordStreams = 0;
extern "C" int pa_stream_connect_record(pa_stream* s, const char* dev, const pa_buffer_attr* attr,
                                        pa_stream_flags_t flags) {
  if (refusedRecordStreams > 0) {
    --refusedRecordStreams;
    return -PA_ERR_NOENTITY;
  }
  static auto real =
      reinterpret_cast<int (*)(pa_stream*, const char*, const pa_buffer_attr*, pa_stream_flags_t)>(
          dlsym(RTLD_NEXT, "pa_stream_connect_record"));
  return real(s, dev, attr, flags);
}

namespace {

// A server the tests run against: its name in what they print, how to
// start one, and the seconds of sound it holds for a recording that stalls.
struct Server {
  const char* name;
  std::unique_ptr<PulseServer> (*start)();
  double held;
  // Runs of the sync checks: pipewire-pulse's graph cycle moves the sound by
  // several milliseconds from one run to the next (two runs in a row have
  // drawn 14 and 11 ms), so there later runs may stand in for one that drew
  // a bad phase.
  int syncRuns;
};
void PrintTo(const Server& server, std::ostream* out) { *out << server.name; }
template <class Daemon>
std::unique_ptr<PulseServer> Start() {
  return std::make_unique<Daemon>();
}
// The 4 s the listener asks for.
const Server PULSEAUDIO = {"PulseAudio", Start<PulseDaemon>, 4.0, 1};
// pipewire-pulse grants the 4 s asked for but holds well under a second.
const Server PIPEWIRE = {"PipeWire", Start<PipewireDaemon>, 0.0, 4};

// A server, SDL pointed at it, and a scratch directory with the log open.
class MusicOnPulse : public ::testing::TestWithParam<Server> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(daemon->Ready()) << ReadFile(daemon->dir + "/daemon.log");
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    Log::Start("zarv.log", false);
  }
  void TearDown() override {
    MusicDone();
    MusicSetClock(nullptr);
    Log::End();
    unsetenv("SDL_AUDIODRIVER");
  }
  int LinesWith(const std::string& text) {
    std::vector<std::string> lines = ReadLines("zarv.log");
    return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                          [&](auto& l) { return l.find(text) != std::string::npos; }));
  }

  ScratchDir dir;
  std::unique_ptr<PulseServer> daemon = GetParam().start();
};

// Frames of the decoded file where a click (a burst above 0.2, clicks at
// least a quarter of a second apart) begins.
std::vector<int64_t> ClickFrames(const char* name) {
  TrackStream stream;
  std::string reason;
  std::vector<int64_t> clicks;
  if (!stream.Open(name, &reason)) return clicks;
  std::vector<float> block(2 * 1024);
  int64_t frame = 0;
  while (int got = stream.Read(block.data(), 1024)) {
    for (int i = 0; i < got; ++i, ++frame) {
      if (std::fabs(block[2 * i]) > 0.2f && (clicks.empty() || frame - clicks.back() > TEST_RATE / 4))
        clicks.push_back(frame);
    }
  }
  return clicks;
}

// Frames the monitor recording hands over at a time.
constexpr int CHUNK = 128;

// The null sink's latency in seconds, as the server reports it.
double SinkLatency(const PulseServer& daemon) {
  std::string sinks = daemon.Pactl("list sinks");
  size_t at = sinks.find("\tLatency: ");
  return at == std::string::npos ? 0.0 : std::atof(sinks.c_str() + at + 11) * 1e-6;
}

double fakeNow = 0.0;
double FakeClock() { return fakeNow; }

// When the sink plays each click (a burst above 0.2, clicks at least a
// quarter of a second apart), from a recording of its monitor on a thread of
// its own, up to a number of clicks. The monitor hands over a sample when the
// sink renders it, which is the sink's latency before the sink plays it; the
// recording's own latency says when it was rendered.
class PlayedClicks {
 public:
  PlayedClicks(PulseServer& daemon, size_t most) : daemon(daemon), most(most) {}
  ~PlayedClicks() { Stop(); }

  // False, with the reason, when the recording cannot start.
  bool Start(std::string* error) {
    pa_sample_spec format = {PA_SAMPLE_FLOAT32LE, TEST_RATE, 1};
    const uint32_t any = static_cast<uint32_t>(-1);
    pa_buffer_attr attr = {any, any, any, any, CHUNK * sizeof(float)};
    int code = 0;
    const std::string monitor = std::string(PulseServer::SINK) + ".monitor";
    recorder = pa_simple_new(nullptr, "zarv-test", PA_STREAM_RECORD, monitor.c_str(), "monitor", &format,
                             nullptr, &attr, &code);
    if (recorder == nullptr) {
      *error = pa_strerror(code);
      return false;
    }
    thread = std::thread([this] { Record(); });
    return true;
  }
  // Clicks heard so far.
  size_t Count() const { return count; }
  // Ends the recording; at holds every click heard.
  void Stop() {
    recording = false;
    // A read returns only once a chunk has come: a server that stopped
    // sending is ended, which fails the read, rather than waited for.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (thread.joinable() && !finished && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (thread.joinable() && !finished) {
      ADD_FAILURE() << "the test's recording did not end within 5 s: the server is ended";
      daemon.Kill();
    }
    if (thread.joinable()) thread.join();
    if (recorder != nullptr) pa_simple_free(recorder);
    recorder = nullptr;
  }

  std::vector<double> at;  // when each click played, on MonotonicSeconds()

 private:
  void Record() {
    float chunk[CHUNK];
    int64_t frame = 0, lastClick = -TEST_RATE;
    while (recording && count < most && pa_simple_read(recorder, chunk, sizeof chunk, nullptr) == 0) {
      const double now = MonotonicSeconds();
      const double latency = pa_simple_get_latency(recorder, nullptr) * 1e-6;
      for (int i = 0; i < CHUNK; ++i, ++frame) {
        if (std::fabs(chunk[i]) <= 0.2f || frame - lastClick < TEST_RATE / 4) continue;
        lastClick = frame;
        at.push_back(now - latency - (CHUNK - i) / double(TEST_RATE) + SinkLatency(daemon));
        ++count;
      }
    }
    finished = true;
  }

  PulseServer& daemon;
  const size_t most;
  pa_simple* recorder = nullptr;
  std::thread thread;
  std::atomic<bool> recording{true};
  std::atomic<size_t> count{0};
  std::atomic<bool> finished{false};
};

}  // namespace

TEST_P(MusicOnPulse, TheServerPlaysTheStreamInItsOwnFormat) {
  WriteMp3("tone.mp3", Sine(BandHz(40), 0.5, 3.0), Sine(BandHz(40), 0.5, 3.0));
  ASSERT_TRUE(MusicInit("tone.mp3"));
  // The one sink input of this process, as the server describes it.
  std::string input;
  const std::string mine = "application.process.id = \"" + std::to_string(getpid()) + "\"";
  for (int i = 0; i < 100 && input.find(mine) == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    input = daemon->Pactl("list sink-inputs");
  }
  ASSERT_NE(input.find(mine), std::string::npos) << input;
  EXPECT_NE(input.find(": float32le 2ch 44100Hz"), std::string::npos) << input;
}

// How far the analysed frame may be from the played one, on average.
constexpr double MEAN_OFFSET_BOUND = 0.010;
// Clicks the mean is taken over: enough that one late hand-over cannot move it far.
constexpr int CLICKS = 8;

TEST_P(MusicOnPulse, TheAnalysedFrameIsTheFrameTheSinkPlays) {
  // Clicks every half second once playback has settled.
  std::vector<float> clickTrack = Sine(0.0, 0.0, 3.0);
  for (int click = 0; click < CLICKS; ++click)
    clickTrack = Then(Then(clickTrack, Sine(1000.0, 0.8, 0.03)), Sine(0.0, 0.0, 0.47));
  ASSERT_TRUE(WriteMp3("clicks.mp3", clickTrack, clickTrack));
  std::vector<int64_t> clicks = ClickFrames("clicks.mp3");
  ASSERT_EQ(clicks.size(), static_cast<size_t>(CLICKS));

  // A single click carries the measurement's own jitter (the monitor hands
  // samples over in 3 ms chunks, the sink's latency wanders by as much), so
  // the 10 ms bound holds for the mean and a looser one for each click.
  std::vector<double> offsets;
  double mean = 0.0;
  for (int run = 0; run < GetParam().syncRuns && (run == 0 || std::fabs(mean) >= MEAN_OFFSET_BOUND); ++run) {
    PlayedClicks played(*daemon, clicks.size());
    std::string error;
    ASSERT_TRUE(played.Start(&error)) << error;
    // The position whose window the spectrum analyses, sampled every half millisecond.
    ASSERT_TRUE(MusicInit("clicks.mp3"));
    std::vector<std::pair<double, double>> positions;  // (time, position)
    for (double end = MonotonicSeconds() + 12; MonotonicSeconds() < end && played.Count() < clicks.size();) {
      positions.emplace_back(MonotonicSeconds(), MusicPosition());
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    for (double end = MonotonicSeconds() + 0.2; MonotonicSeconds() < end;)
      positions.emplace_back(MonotonicSeconds(), MusicPosition());
    MusicDone();
    played.Stop();
    ASSERT_EQ(played.at.size(), clicks.size());
    offsets.clear();
    for (size_t c = 0; c < clicks.size(); ++c) {
      const double click = double(clicks[c]) / TEST_RATE;
      auto reached =
          std::find_if(positions.begin(), positions.end(), [&](auto& p) { return p.second >= click; });
      ASSERT_TRUE(reached != positions.begin() && reached != positions.end());
      auto before = reached - 1;
      const double analysedAt = before->first + (click - before->second) /
                                                    (reached->second - before->second) *
                                                    (reached->first - before->first);
      offsets.push_back(analysedAt - played.at[c]);
    }
    mean = std::accumulate(offsets.begin(), offsets.end(), 0.0) / offsets.size();
    std::printf("%s: analysed minus played: %.1f ms on average\n", GetParam().name, mean * 1000);
  }
  for (size_t c = 0; c < offsets.size(); ++c) {
    EXPECT_LT(std::fabs(offsets[c]), 2 * MEAN_OFFSET_BOUND)
        << "click " << c << ": analysed " << offsets[c] * 1000 << " ms after it played";
  }
  EXPECT_LT(std::fabs(mean), MEAN_OFFSET_BOUND);
}

TEST_P(MusicOnPulse, LosingTheServerGoesOnSilentlyFromWherePlaybackHadReached) {
  WriteMp3("tone.mp3", Sine(BandHz(40), 0.5, 4.0), Sine(BandHz(40), 0.5, 4.0));
  MusicSetClock(FakeClock);
  ASSERT_TRUE(MusicInit("tone.mp3"));
  for (double end = MonotonicSeconds() + 10; MusicPosition() < 1.0 && MonotonicSeconds() < end;)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_GE(MusicPosition(), 1.0) << "playback did not reach 1 s within 10 s";
  const double before = MusicPosition();
  const double killedAt = MonotonicSeconds();
  daemon->Kill();
  for (double end = MonotonicSeconds() + 10;
       LinesWith("audio output was lost") == 0 && MonotonicSeconds() < end;) {
    MusicGetSpectrum();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(LinesWith("audio output was lost"), 1);
  // From where playback had reached, then on the silent clock alone.
  const double lost = MusicPosition();
  EXPECT_GE(lost, before);
  EXPECT_LE(lost, before + (MonotonicSeconds() - killedAt) + 0.05);
  fakeNow += 1.0;
  EXPECT_NEAR(MusicPosition(), lost + 1.0, 0.001);
  const float* bands = MusicGetSpectrum();
  ASSERT_NE(bands, nullptr);
  EXPECT_EQ(std::max_element(bands, bands + 512) - bands, 40);
  EXPECT_EQ(LinesWith("audio output was lost"), 1);
}

// Listening to the null sink's monitor while the test plays into the sink.
class Listening : public MusicOnPulse {
 protected:
  void TearDown() override {
    if (player != nullptr) pclose(player);
    MusicOnPulse::TearDown();
  }
  // Plays mono samples into the sink in the background, as any program would.
  void Play(const std::vector<float>& samples) {
    ASSERT_TRUE(WriteTrack("played.wav", samples, TEST_RATE, 1, WAV_16));
    const int seconds = static_cast<int>(samples.size() / TEST_RATE) + 30;
    player = popen(PulseServer::PlayCommand("played.wav", seconds).c_str(), "r");
    ASSERT_NE(player, nullptr);
  }
  // Polls the spectrum until the log has a line with text, for at most seconds.
  bool AwaitLine(const std::string& text, double seconds) {
    for (double end = MonotonicSeconds() + seconds; MonotonicSeconds() < end;) {
      MusicGetSpectrum();
      if (LinesWith(text) > 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  FILE* player = nullptr;
};

// The spectrum band a click's tone is centred on.
constexpr int CLICK_BAND = 24;

// The mean offset of the clicks analysed against the sink's playing them,
// with every click's offset in *clicks; none when a click was missed or
// lies beyond twice the bound.
std::optional<double> ListenedOffset(const std::vector<double>& playedAt,
                                     const std::vector<double>& analysedAt, std::string* clicks) {
  if (playedAt.size() != static_cast<size_t>(CLICKS) || analysedAt.size() != static_cast<size_t>(CLICKS))
    return std::nullopt;
  double sum = 0.0, worst = 0.0;
  for (int c = 0; c < CLICKS; ++c) {
    const double offset = analysedAt[c] - playedAt[c];
    sum += offset;
    worst = std::max(worst, std::fabs(offset));
    *clicks += " " + std::to_string(static_cast<int>(std::lround(offset * 1000)));
  }
  if (worst >= 2 * MEAN_OFFSET_BOUND) return std::nullopt;
  return sum / CLICKS;
}

TEST_P(Listening, TheAnalysedWindowReachesEachClickWhenTheSinkPlaysIt) {
  // The recording's latency estimate settles over the lead-in.
  std::vector<float> clickTrack = Sine(0.0, 0.0, 2.0);
  for (int click = 0; click < CLICKS; ++click)
    clickTrack = Then(Then(clickTrack, Sine(BandHz(CLICK_BAND), 0.8, 0.15)), Sine(0.0, 0.0, 0.35));
  std::optional<double> mean;
  std::string clicks;
  for (int run = 0; run < GetParam().syncRuns && !(mean && std::fabs(*mean) < MEAN_OFFSET_BOUND); ++run) {
    PlayedClicks played(*daemon, CLICKS);
    std::string error;
    ASSERT_TRUE(played.Start(&error)) << error;
    MusicListen("", {});
    ASSERT_TRUE(AwaitLine(std::string("Listening to ") + PulseServer::SINK + ".monitor", 5.0));
    Play(clickTrack);
    // The click's band, sampled every half millisecond. A window of 1024
    // frames that ends m frames into a click reads the share of the Hann
    // window's weight in its last m frames: half at m = 512.
    std::vector<std::pair<double, float>> levels;
    for (double end = MonotonicSeconds() + 9.0; MonotonicSeconds() < end;) {
      const float* bands = MusicGetSpectrum();
      levels.emplace_back(MonotonicSeconds(), bands[CLICK_BAND]);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    played.Stop();
    const double sinkLatency = SinkLatency(*daemon);
    MusicDone();
    if (player != nullptr) pclose(player);
    player = nullptr;
    std::vector<double> analysedAt;
    for (size_t i = 1; i < levels.size(); ++i) {
      const auto& [before, level] = levels[i - 1];
      const auto& [after, next] = levels[i];
      if (next < 0.4f || level >= 0.4f || (!analysedAt.empty() && after - analysedAt.back() < 0.25)) continue;
      // Between the two samples, should the test have been kept waiting.
      const double crossed = before + (0.4 - level) / (next - level) * (after - before);
      analysedAt.push_back(crossed - 512.0 / TEST_RATE);
    }
    clicks = "";
    mean = ListenedOffset(played.at, analysedAt, &clicks);
    std::printf(
        "%s: listening: analysed minus played %.1f ms on average (clicks, ms:%s), sink latency %.1f ms\n",
        GetParam().name, mean.value_or(NAN) * 1000, clicks.c_str(), sinkLatency * 1000);
  }
  ASSERT_TRUE(mean.has_value()) << "a click was missed or lies beyond twice the bound:" << clicks;
  EXPECT_LT(std::fabs(*mean), MEAN_OFFSET_BOUND) << clicks;
}

TEST_P(Listening, GoesOnInSilenceWithoutTheServerAndResumesWithIt) {
  MusicListen("", {});
  ASSERT_TRUE(AwaitLine("Listening to", 5.0));
  daemon->Kill();
  ASSERT_TRUE(AwaitLine("stopped", 5.0));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const float* bands = MusicGetSpectrum();
  ASSERT_NE(bands, nullptr);
  EXPECT_EQ(*std::max_element(bands, bands + 512), 0.0f);
  // Three seconds of tries against no server say nothing more.
  for (double end = MonotonicSeconds() + 3.0; MonotonicSeconds() < end;) {
    MusicGetSpectrum();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(LinesWith("stopped"), 1);
  std::unique_ptr<PulseServer> again = GetParam().start();
  ASSERT_TRUE(again->Ready()) << ReadFile(again->dir + "/daemon.log");
  ASSERT_TRUE(AwaitLine("Listening again to", 5.0));
  EXPECT_EQ(LinesWith("stopped"), 1);
}

TEST_P(Listening, ARecordStreamTheServerRefusesIsTriedAgain) {
  refusedRecordStreams = 1;
  MusicListen("", {});
  ASSERT_TRUE(AwaitLine("stopped: cannot record from zarv_test.monitor", 5.0));
  ASSERT_TRUE(AwaitLine("Listening again to zarv_test.monitor", 5.0));
}

TEST_P(Listening, FollowsTheDefaultOutputAndCountsWhatItCouldNotKeepUpWith) {
  MusicListen("", {});
  ASSERT_TRUE(AwaitLine("Listening to zarv_test.monitor", 5.0));
  daemon->Pactl("load-module module-null-sink sink_name=other");
  daemon->Pactl("set-default-sink other");
  ASSERT_TRUE(AwaitLine("Listening to other.monitor", 5.0));
  // A show that stalls for longer than the server holds sound for it (up to
  // the 4 s asked for, and up to a few more on their way) loses sound; it is
  // counted.
  std::this_thread::sleep_for(std::chrono::seconds(9));
  AwaitLine("no such line", 0.5);
  MusicDone();
  const std::string log = ReadFile("zarv.log");
  const size_t at = log.find("Listening: 1 overrun of the record stream, ");
  ASSERT_NE(at, std::string::npos) << log;
  const double lost = std::atof(log.c_str() + at + 43);
  EXPECT_GT(lost, 1.0) << log;
  EXPECT_LE(lost, 9.0 - GetParam().held) << log;
}

INSTANTIATE_TEST_SUITE_P(PulseAudio, MusicOnPulse, ::testing::Values(PULSEAUDIO));
INSTANTIATE_TEST_SUITE_P(PipeWire, MusicOnPulse, ::testing::Values(PIPEWIRE));
INSTANTIATE_TEST_SUITE_P(PulseAudio, Listening, ::testing::Values(PULSEAUDIO));
INSTANTIATE_TEST_SUITE_P(PipeWire, Listening, ::testing::Values(PIPEWIRE));
