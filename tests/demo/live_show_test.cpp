// The real zarv binary live in a 320 x 240 window on a private Xvfb screen, with the
// default pacing and with --fps-limit off: a silent track, where only chance
// spawns, keeps as many effects alive as its own 60 fps capture does; the
// default holds the frame rate to 60 Hz, where Xvfb's swaps do not wait; and
// listening, kicks keep more effects alive than silence. Timed by the real
// clock, so kept out of the sanitizer suite.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "support/command.h"
#include "support/pulse_daemon.h"
#include "support/scratch_dir.h"
#include "support/show_files.h"
#include "support/track_file.h"
#include "support/xvfb.h"

namespace {

const std::string ZARV = ZARV_SHOW_DIR "/zarv";
const std::string CAPTURE = ZARV_SHOW_DIR "/zarv-capture";

using Clock = std::chrono::steady_clock;

// What the title said over a span of show time: its means.
struct Titles {
  double effects = 0.0;  // live effects
  double fps = 0.0;      // frames a second
  int samples = 0;
};

class LiveShow : public ::testing::TestWithParam<std::vector<std::string>> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Running());
    LinkShowFiles();
  }

  // Starts zarv with options and the pacing under test; true once its title
  // shows the frame rate, which it first does a second into the show clock.
  bool Launch(std::vector<std::string> options) {
    // A small window: the counts and the pacing do not depend on the drawn
    // size, and drawing it leaves the other core to whatever runs beside.
    options.insert(options.begin(), {ZARV, "--window", "320x240"});
    options.insert(options.end(), GetParam().begin(), GetParam().end());
    zarv = std::make_unique<ChildProcess>(options, dir.path, server.display);
    window = WaitForWindow(server.display, "frags=", 30);
    shown = Clock::now() - std::chrono::seconds(1);
    return !window.empty();
  }
  double ShowSeconds() const { return std::chrono::duration<double>(Clock::now() - shown).count(); }
  void SleepUntil(double showSeconds) const {
    std::this_thread::sleep_until(shown + std::chrono::duration<double>(showSeconds));
  }

  // The title sampled every quarter second from show time from to to.
  Titles Sample(double from, double to) {
    SleepUntil(from);
    Titles titles;
    const std::regex pattern("([0-9]+) \\(frags=([0-9]+)\\)");
    while (ShowSeconds() < to) {
      std::smatch match;
      const std::string title = RunOn(server.display, "xdotool getwindowname " + window);
      if (std::regex_match(title, match, pattern)) {
        titles.fps += std::stoi(match[1]);
        titles.effects += std::stoi(match[2]);
        ++titles.samples;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    if (titles.samples > 0) {
      titles.fps /= titles.samples;
      titles.effects /= titles.samples;
    }
    return titles;
  }

  // Ctrl-C ends the show; its exit status.
  int Interrupt() {
    kill(zarv->pid, SIGINT);
    return zarv->Wait(20);
  }

  XvfbServer server{"800x600x24"};
  ScratchDir dir;
  std::unique_ptr<ChildProcess> zarv;
  std::string window;
  Clock::time_point shown;  // when the show clock read 0, to a few tenths of a second
};

// The capture's mean of live effects over 10 s spans from..to (multiples of 10).
double CapturedMean(const std::string& track, int from, int to) {
  // From a show folder of its own, so that its log is not the live show's.
  const CommandRun run = RunCommand("mkdir -p capture && cd capture && ln -sfn ../data data && '" + CAPTURE +
                                    "' --show-dir . --music ../" + track + " --still " + std::to_string(to) +
                                    " --output still.png");
  EXPECT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    const std::string heading = "Live effects on average, per 10 s as above:";
    if (line.rfind(heading, 0) != 0) continue;
    std::istringstream values(line.substr(heading.size()));
    std::vector<double> means;
    for (double mean = 0.0; values >> mean;) means.push_back(mean);
    double sum = 0.0;
    for (int span = from / 10; span < to / 10 && span < static_cast<int>(means.size()); ++span) {
      sum += means[static_cast<size_t>(span)];
    }
    return sum / ((to - from) / 10);
  }
  ADD_FAILURE() << "no mean of live effects in\n" << run.out;
  return -1.0;
}

}  // namespace

TEST_P(LiveShow, SilentTrackKeepsAsManyEffectsAsItsCaptureAtItsPacedRate) {
  ASSERT_TRUE(
      WriteTrack("silence.wav", std::vector<float>(static_cast<size_t>(60 * 44100), 0.0f), 44100, 2, WAV_16));
  ASSERT_TRUE(Launch({"--music", "silence.wav"})) << ReadFile("stderr.txt");
  // Captured while the live show plays its first ten seconds, before they count.
  const double captured = CapturedMean("silence.wav", 10, 30);
  const Titles live = Sample(10.0, 30.0);
  EXPECT_EQ(Interrupt(), 130) << ReadFile("stderr.txt");
  ASSERT_GT(live.samples, 40);
  EXPECT_NEAR(live.effects, captured, 1.5) << "at " << live.fps << " fps";
  const std::string log = ReadFile("zarv.log");
  if (GetParam().empty()) {
    EXPECT_GE(live.fps, 50.0);
    EXPECT_LE(live.fps, 65.0);
    EXPECT_NE(log.find("Pacing: to the display, 60 Hz (the monitor reports no refresh rate)"),
              std::string::npos)
        << log;
  } else {
    // Unpaced, the software renderer draws this small window at hundreds of frames a second.
    EXPECT_GE(live.fps, 1.3 * 60.0);
    EXPECT_NE(log.find("Pacing: none (--fps-limit off)"), std::string::npos) << log;
  }
}

TEST_P(LiveShow, ListeningKicksKeepMoreEffectsAliveThanSilence) {
  PulseDaemon daemon;
  ASSERT_TRUE(daemon.Ready());
  Groove kicks;
  kicks.seconds = 12.0;
  ASSERT_TRUE(WriteTrack("kicks.wav", GrooveSamples(kicks), 44100, 2, WAV_16));
  ASSERT_TRUE(Launch({"--listen"})) << ReadFile("stderr.txt");
  const Titles silence = Sample(6.0, 12.0);
  FILE* player =
      popen(PulseDaemon::PlayCommand("kicks.wav", static_cast<int>(kicks.seconds) + 30).c_str(), "r");
  ASSERT_NE(player, nullptr);
  // The null sink plays about a second after it takes the sound.
  const Titles playing = Sample(ShowSeconds() + 3.0, ShowSeconds() + 11.0);
  pclose(player);
  EXPECT_EQ(Interrupt(), 130) << ReadFile("stderr.txt");
  EXPECT_GE(playing.effects, silence.effects + 3.0) << "silence " << silence.effects;
}

INSTANTIATE_TEST_SUITE_P(Pacing, LiveShow,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"--fps-limit", "off"}),
                         [](const ::testing::TestParamInfo<std::vector<std::string>>& info) {
                           return info.param.empty() ? std::string("Default") : std::string("Off");
                         });
