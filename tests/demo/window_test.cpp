// The real zarv binary on a private Xvfb server: its title, Escape, closing
// the window, a track's show to its end, a desktop larger than the show
// (mode, pointer, first frame, Ctrl-C, a fatal report), its command line
// and the clear refusal without any display.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <regex>
#include <thread>

#include "support/pulse_daemon.h"
#include "support/scratch_dir.h"
#include "support/show_files.h"
#include "support/track_file.h"
#include "support/xvfb.h"

#include "support/x_screen.h"  // after gtest: Xlib defines macros such as None and Bool

namespace {

const std::string zarvBinary = ZARV_SHOW_DIR "/zarv";

// Asks the window to close the way a window manager does.
void SendCloseRequest(const std::string& display, unsigned long window) {
  Display* x = XOpenDisplay(display.c_str());
  ASSERT_NE(x, nullptr);
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(x, window, False, NoEventMask, &event);
  XFlush(x);
  XCloseDisplay(x);
}

// The real binary on its own Xvfb screen, run in a scratch directory that
// holds the baked show files.
class ShowOnScreen : public ::testing::Test {
 protected:
  explicit ShowOnScreen(const std::string& screen) : server(screen) {}
  // Starts zarv with the options and waits for its window; the window's id.
  std::string Launch(const std::vector<std::string>& options = {}) {
    if (!server.Running()) return {};
    LinkShowFiles();
    std::vector<std::string> argv = {zarvBinary};
    argv.insert(argv.end(), options.begin(), options.end());
    zarv = std::make_unique<ChildProcess>(argv, dir.path, server.display);
    return WaitForWindow(server.display, "frags=", 30);
  }

  XvfbServer server;
  ScratchDir dir;
  std::unique_ptr<ChildProcess> zarv;
};

class ShowWindow : public ShowOnScreen {
 protected:
  ShowWindow() : ShowOnScreen("800x600x24") {}
};

class ShowInAWindow : public ShowOnScreen {
 protected:
  ShowInAWindow() : ShowOnScreen("1600x1200x24") {}
};

// Waits up to 10 s for the window to be at place; where it is then.
WindowPlace WaitForPlace(Display* x, unsigned long window, const WindowPlace& place) {
  WindowPlace now = PlaceOf(x, window);
  for (int i = 0; i < 100 && !(now == place); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    now = PlaceOf(x, window);
  }
  return now;
}

// Waits up to 2 s for the pointer to be hidden or shown; whether it is then.
bool WaitForPointerHidden(Display* x, bool hidden) {
  for (int i = 0; i < 20 && PointerHidden(x) != hidden; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return PointerHidden(x);
}

std::string Describe(const WindowPlace& p) {
  return std::to_string(p.width) + "x" + std::to_string(p.height) + " at " + std::to_string(p.x) + "," +
         std::to_string(p.y);
}

// The real binary on a 1280 x 720 desktop with the GLFW spy preloaded; the
// spy's record is "glfw_calls.txt" in the scratch directory.
class ShowOnDesktop : public ::testing::Test {
 protected:
  void Start(const std::vector<std::string>& options = {}) {
    ASSERT_TRUE(server.Running());
    // Added to what the environment preloads already (the sanitizer suite's
    // GL driver); a sanitized binary would refuse a library loaded ahead of
    // its runtime without verify_asan_link_order=0.
    const std::string preload = Env("LD_PRELOAD"), asan = Env("ASAN_OPTIONS");
    setenv("LD_PRELOAD", (ZARV_GLFW_SPY ":" + preload).c_str(), 1);
    setenv("ASAN_OPTIONS", (asan + ":verify_asan_link_order=0").c_str(), 1);
    std::vector<std::string> argv = {zarvBinary};
    argv.insert(argv.end(), options.begin(), options.end());
    zarv = std::make_unique<ChildProcess>(argv, dir.path, server.display);
    Restore("LD_PRELOAD", preload);
    Restore("ASAN_OPTIONS", asan);
  }
  static std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
  }
  static void Restore(const char* name, const std::string& value) {
    if (value.empty())
      unsetenv(name);
    else
      setenv(name, value.c_str(), 1);
  }
  bool Called(const std::string& line) {
    std::vector<std::string> calls = ReadLines("glfw_calls.txt");
    return std::find(calls.begin(), calls.end(), line) != calls.end();
  }

  XvfbServer server{"1280x720x24"};
  ScratchDir dir;
  std::unique_ptr<ChildProcess> zarv;
};

}  // namespace

TEST_F(ShowOnDesktop, OpensAtTheCurrentModeBlackWithNoPointerAndCtrlCEndsIt) {
  // Start-up halts at its first data file, a pipe, until the test feeds it.
  LinkShowFiles({"data/circlemove.timeline"});
  ASSERT_EQ(mkfifo("data/circlemove.timeline", 0644), 0);
  Start();
  int pipe = -1;
  for (int i = 0; i < 300 && pipe < 0 && zarv->Wait(0.1) < 0; ++i)
    pipe = open("data/circlemove.timeline", O_WRONLY | O_NONBLOCK);
  ASSERT_GE(pipe, 0) << ReadFile("stderr.txt");
  EXPECT_TRUE(Called("swap"));

  Display* x = XOpenDisplay(server.display.c_str());
  ASSERT_NE(x, nullptr);
  XWarpPointer(x, 0, DefaultRootWindow(x), 0, 0, 0, 0, 640, 360);
  XSync(x, False);
  EXPECT_TRUE(PointerHidden(x));
  for (auto [px, py] : {std::pair{0, 0}, {640, 360}, {1279, 719}, {100, 600}})
    EXPECT_EQ(RootPixel(x, px, py), 0u) << px << "," << py;
  XCloseDisplay(x);
  std::string timeline = ReadFile(ZARV_SHOW_DIR "/data/circlemove.timeline");
  ASSERT_EQ(write(pipe, timeline.data(), timeline.size()), static_cast<ssize_t>(timeline.size()));
  close(pipe);

  ASSERT_FALSE(WaitForWindow(server.display, "frags=", 30).empty()) << ReadFile("stderr.txt");
  kill(zarv->pid, SIGINT);
  EXPECT_EQ(zarv->Wait(20), 130) << ReadFile("stderr.txt");
  for (const std::string& line : ReadLines("zarv.log"))
    EXPECT_EQ(line.find("ZARV"), std::string::npos) << line;
  // llvmpipe draws the show's own pixels, scaled up.
  EXPECT_NE(ReadFile("zarv.log")
                .find("Resolution: show, drawn at 800 x 600 and scaled to the screen (the "
                      "software renderer llvmpipe"),
            std::string::npos)
      << ReadFile("zarv.log");
  // The window takes the mode the monitor is in, refresh rate included.
  std::string mode;
  for (const std::string& call : ReadLines("glfw_calls.txt"))
    if (call.rfind("mode ", 0) == 0) mode = call;
  ASSERT_EQ(mode.rfind("mode 1280 720 ", 0), 0u) << mode;
  EXPECT_TRUE(Called("refresh " + mode.substr(std::string("mode 1280 720 ").size())));
  EXPECT_TRUE(Called("window 1280 720 fullscreen"));
  EXPECT_TRUE(Called("terminate"));
}

TEST_F(ShowOnDesktop, AMissingMeshEndsWithItsReportLastAndTheWindowClosed) {
  LinkShowFiles({"data/3.mesh"});
  Start();
  EXPECT_EQ(zarv->Wait(30), 1) << ReadFile("stderr.txt");
  std::vector<std::string> log = ReadLines("zarv.log");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().rfind("ZARV_FAILED: ", 0), 0u) << log.back();
  EXPECT_NE(log.back().find("mesh.cpp"), std::string::npos) << log.back();
  EXPECT_TRUE(Called("terminate"));
}

TEST_F(ShowWindow, TitleShowsFrameRateAndEscapeEndsTheShow) {
  std::string id = Launch({"--resolution", "screen"});
  ASSERT_FALSE(id.empty()) << ReadFile("stderr.txt");
  std::string title = RunOn(server.display, "xdotool getwindowname " + id);
  EXPECT_TRUE(std::regex_match(title, std::regex("[1-9][0-9]* \\(frags=0\\)"))) << title;
  RunOn(server.display, "xdotool key Escape");
  EXPECT_EQ(zarv->Wait(20), 0) << ReadFile("stderr.txt");
  EXPECT_NE(ReadFile("zarv.log")
                .find("Resolution: screen, drawn at 800 x 600, the screen's largest 4:3 area "
                      "(asked for with --resolution)"),
            std::string::npos)
      << ReadFile("zarv.log");
}

TEST_F(ShowWindow, ClosingTheWindowEndsTheShow) {
  std::string id = Launch();
  ASSERT_FALSE(id.empty()) << ReadFile("stderr.txt");
  SendCloseRequest(server.display, std::stoul(id));
  EXPECT_EQ(zarv->Wait(20), 0) << ReadFile("stderr.txt");
}

// A track's show, with the timetable fitted to its 30 s: it ends by itself
// a second after the track, having drawn effects on the way.
TEST_F(ShowWindow, RunsATracksShowToItsOwnEnd) {
  Groove groove;
  groove.seconds = 30.0;
  ASSERT_TRUE(WriteTrack("track.flac", GrooveSamples(groove), groove.rate, 2, FLAC_16, "Band", "Song"));
  const auto started = std::chrono::steady_clock::now();
  // A small window: a track's whole show is half a minute of drawing.
  std::string id = Launch({"--music", "track.flac", "--window", "320x240"});
  ASSERT_FALSE(id.empty()) << ReadFile("stderr.txt");
  int mostEffects = 0;
  int status = -1;
  std::regex title("[0-9]+ \\(frags=([0-9]+)\\)");
  for (int second = 0; second < 120 && status < 0; ++second) {
    std::smatch match;
    std::string name = RunOn(server.display, "xdotool getwindowname " + id);
    if (std::regex_match(name, match, title)) mostEffects = std::max(mostEffects, std::stoi(match[1]));
    status = zarv->Wait(0.5);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(status, 0) << ReadFile("stderr.txt");
  EXPECT_GT(seconds, 31.0);
  EXPECT_GT(mostEffects, 0) << "the title never showed a live effect";
  const std::vector<std::string> log = ReadLines("zarv.log");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].rfind("track.flac: 30.0 s at 44100 Hz, 2 channels; band 1 gain ", 0), 0u) << log[0];
  for (const std::string& line : log) {
    EXPECT_EQ(line.find("ZARV"), std::string::npos) << line;
    EXPECT_EQ(line.find("Cannot play"), std::string::npos) << line;
  }
  std::string err = ReadFile("stderr.txt");
  EXPECT_EQ(err.find("PNG"), std::string::npos) << err;
  EXPECT_EQ(err.find("not supported"), std::string::npos) << err;
}

// The command line is read before any window opens: no display is needed.
TEST(ShowCommandLine, HelpVersionAndMistakes) {
  ScratchDir dir;
  const struct {
    std::vector<std::string> options;
    int status;
    std::string out;  // the start of stdout
    std::string err;  // the start of stderr
  } cases[] = {
      {{"--help"}, 0, "Usage: zarv [OPTION]...\n\nPlays the show", ""},
      {{"-h"}, 0, "Usage: zarv ", ""},
      {{"--version"}, 0, "zarv " ZARV_VERSION "\n", ""},
      {{"--frobnicate"}, 2, "", "zarv: unknown option --frobnicate\nUsage: zarv [--music FILE]"},
      {{"--music"}, 2, "", "zarv: --music needs a value (FILE)\nUsage: zarv "},
      {{"--resolution", "4k"}, 2, "", "zarv: --resolution needs show or screen, not \"4k\""},
      {{"stray"}, 2, "", "zarv: unexpected argument \"stray\"\nUsage: zarv "},
      {{"--window", "640"},
       2,
       "",
       "zarv: --window needs WIDTHxHEIGHT, each 100 to 16384, such as 1024x768, not \"640\""},
      {{"--window", "99x480"}, 2, "", "zarv: --window needs WIDTHxHEIGHT"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {zarvBinary};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    ChildProcess zarv(argv, dir.path, "");
    EXPECT_EQ(zarv.Wait(20), c.status) << c.options[0];
    EXPECT_EQ(ReadFile("stdout.txt").rfind(c.out, 0), 0u) << c.options[0] << ": " << ReadFile("stdout.txt");
    EXPECT_EQ(ReadFile("stderr.txt").rfind(c.err, 0), 0u) << c.options[0] << ": " << ReadFile("stderr.txt");
    if (c.out.empty()) {
      EXPECT_EQ(ReadFile("stdout.txt"), "");
    }
  }
  // Nothing was started: no log.
  struct stat info = {};
  EXPECT_NE(stat("zarv.log", &info), 0);
}

// Listening checks the audio server and the source before any window opens.
TEST(ShowCommandLine, ListeningAsksTheServerFirst) {
  ScratchDir dir;
  PulseDaemon daemon;
  ASSERT_TRUE(daemon.Ready());
  const auto run = [&](const std::vector<std::string>& options) {
    std::vector<std::string> argv = {zarvBinary};
    argv.insert(argv.end(), options.begin(), options.end());
    return ChildProcess(argv, dir.path, "").Wait(20);
  };
  EXPECT_EQ(run({"--list-sources"}), 0);
  EXPECT_NE(ReadFile("stdout.txt").find("\n* zarv_test.monitor "), std::string::npos)
      << ReadFile("stdout.txt");
  EXPECT_EQ(run({"--listen", "nosuch"}), 2);
  std::string err = ReadFile("stderr.txt");
  EXPECT_EQ(err.rfind("zarv: the audio server has no source called nosuch\n", 0), 0u) << err;
  EXPECT_NE(err.find("* zarv_test.monitor "), std::string::npos) << err;
  EXPECT_EQ(run({"--listen", "--music", "track.flac"}), 2);
  EXPECT_EQ(ReadFile("stderr.txt").rfind("zarv: --listen shows a live source", 0), 0u)
      << ReadFile("stderr.txt");
  daemon.Kill();
  EXPECT_EQ(run({"--listen"}), 2);
  err = ReadFile("stderr.txt");
  EXPECT_EQ(err.rfind("zarv: cannot reach the audio server", 0), 0u) << err;
  EXPECT_NE(err.find("`pactl info`"), std::string::npos) << err;
  struct stat info = {};
  EXPECT_NE(stat("zarv.log", &info), 0);
}

// Listening to the desktop's output has no end of its own: Escape ends it.
TEST_F(ShowWindow, ListensUntilEscape) {
  PulseDaemon daemon;
  ASSERT_TRUE(daemon.Ready());
  std::string id = Launch({"--listen"});
  ASSERT_FALSE(id.empty()) << ReadFile("stderr.txt");
  EXPECT_LT(zarv->Wait(3.0), 0) << "ended by itself";
  RunOn(server.display, "xdotool key Escape");
  EXPECT_EQ(zarv->Wait(20), 0) << ReadFile("stderr.txt");
  const std::string log = ReadFile("zarv.log");
  EXPECT_NE(log.find("Listening to zarv_test.monitor\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Listening: 0 overruns of the record stream"), std::string::npos) << log;
}

TEST(ShowWithoutDisplay, SaysSoAndExitsWithOne) {
  ScratchDir dir;
  LinkShowFiles();
  ChildProcess zarv({zarvBinary}, dir.path, "");
  EXPECT_EQ(zarv.Wait(20), 1);
  std::string err = ReadFile("stderr.txt");
  EXPECT_NE(err.find("cannot open the show window: "), std::string::npos) << err;
  EXPECT_NE(err.find("DISPLAY"), std::string::npos) << err;
  EXPECT_NE(err.find("zarv-capture"), std::string::npos) << err;
  // The reason, then the fatal report that ended the process.
  std::vector<std::string> log = ReadLines("zarv.log");
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].rfind("ZARV ERROR: ", 0), 0u) << log[1];
  EXPECT_EQ(log[0] + "\n" + log[1] + "\n", err);
}

// A window of its own: placed and sized as asked, full screen and back at a
// key, and drawn 4:3 between black bars at whatever size it is given.
TEST_F(ShowInAWindow, OpensCentredSwitchesToFullScreenAndBackAndLetterboxesAResize) {
  // Drawn at the window's own size, which then follows each new size.
  std::string id = Launch({"--window", "640x480", "--resolution", "screen"});
  ASSERT_FALSE(id.empty()) << ReadFile("stderr.txt");
  const unsigned long window = std::stoul(id);
  Display* x = XOpenDisplay(server.display.c_str());
  ASSERT_NE(x, nullptr);
  const WindowPlace placed{480, 360, 640, 480};
  EXPECT_EQ(Describe(PlaceOf(x, window)), Describe(placed));
  // Keys go to the window under the pointer: there is no window manager.
  XWarpPointer(x, 0, DefaultRootWindow(x), 0, 0, 0, 0, 800, 600);
  XSync(x, False);
  EXPECT_FALSE(PointerHidden(x));
  const WindowPlace screen{0, 0, 1600, 1200};
  for (const char* key : {"F11", "alt+Return"}) {
    RunOn(server.display, std::string("xdotool key ") + key);
    EXPECT_EQ(Describe(WaitForPlace(x, window, screen)), Describe(screen)) << key;
    EXPECT_TRUE(WaitForPointerHidden(x, true)) << key;
    RunOn(server.display, std::string("xdotool key ") + key);
    EXPECT_EQ(Describe(WaitForPlace(x, window, placed)), Describe(placed)) << key;
    EXPECT_FALSE(WaitForPointerHidden(x, false)) << key;
  }

  // The overlay's level grid spans the picture: 666 x 500 in the middle.
  RunOn(server.display, "xdotool windowsize " + id + " 1000 500 key F1");
  const WindowPlace resized{480, 360, 1000, 500};
  ASSERT_EQ(Describe(WaitForPlace(x, window, resized)), Describe(resized));
  std::pair<int, int> lit{-1, -1};
  for (int i = 0; i < 100 && (lit.first < 0 || lit.first > 170); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    lit = LitColumns(x, resized);
  }
  EXPECT_GE(lit.first, 167);
  EXPECT_LE(lit.first, 170);
  EXPECT_LE(lit.second, 833);
  EXPECT_GE(lit.second, 829);
  XCloseDisplay(x);
  RunOn(server.display, "xdotool key Escape");
  EXPECT_EQ(zarv->Wait(20), 0) << ReadFile("stderr.txt");
  const std::string log = ReadFile("zarv.log");
  EXPECT_NE(log.find("Window: 640 x 480 on monitor 0 (screen); F11 or Alt+Enter for full screen\n"),
            std::string::npos)
      << log;
}

// The monitors are asked for before anything else starts.
TEST_F(ShowInAWindow, ListsTheMonitorsAndRefusesOneThatIsNot) {
  LinkShowFiles();
  ChildProcess list({zarvBinary, "--list-monitors"}, dir.path, server.display);
  EXPECT_EQ(list.Wait(20), 0);
  EXPECT_EQ(ReadFile("stdout.txt"), "0  screen  1600 x 1200  rate not reported  (primary)\n");
  ChildProcess missing({zarvBinary, "--monitor", "5", "--window"}, dir.path, server.display);
  EXPECT_EQ(missing.Wait(20), 2);
  EXPECT_EQ(ReadFile("stderr.txt"),
            "zarv: there is no monitor 5; the monitors are:\n"
            "0  screen  1600 x 1200  rate not reported  (primary)\n");
  struct stat info = {};
  EXPECT_NE(stat("zarv.log", &info), 0) << "no show was started";
}

// In a window as in full screen, every way out closes the window and GLFW.
TEST_F(ShowOnDesktop, EveryExitFromAWindowReleasesIt) {
  LinkShowFiles();
  const struct {
    const char* how;
    int status;
  } exits[] = {{"Escape", 0}, {"close", 0}, {"SIGINT", 130}};
  for (const auto& exit : exits) {
    unlink("glfw_calls.txt");
    Start({"--window", "--monitor", "0"});
    const std::string id = WaitForWindow(server.display, "frags=", 30);
    ASSERT_FALSE(id.empty()) << exit.how << ": " << ReadFile("stderr.txt");
    if (exit.status == 130) {
      kill(zarv->pid, SIGINT);
    } else if (std::string(exit.how) == "close") {
      SendCloseRequest(server.display, std::stoul(id));
    } else {
      RunOn(server.display, "xdotool mousemove --window " + id + " 10 10 key Escape");
    }
    EXPECT_EQ(zarv->Wait(20), exit.status) << exit.how << ": " << ReadFile("stderr.txt");
    EXPECT_TRUE(Called("window 1024 768 windowed")) << exit.how;
    EXPECT_TRUE(Called("terminate")) << exit.how;
  }
}

// The monitor under the full-screen show goes away: the show goes on in a
// window of the default size on the primary monitor.
TEST_F(ShowOnDesktop, AMonitorUnpluggedUnderTheShowLeavesItInAWindow) {
  LinkShowFiles();
  Start();
  const std::string id = WaitForWindow(server.display, "frags=", 30);
  ASSERT_FALSE(id.empty()) << ReadFile("stderr.txt");
  WriteFile("unplug_primary", "");
  Display* x = XOpenDisplay(server.display.c_str());
  ASSERT_NE(x, nullptr);
  const WindowPlace windowed{128, 0, 1024, 768};
  EXPECT_EQ(Describe(WaitForPlace(x, std::stoul(id), windowed)), Describe(windowed));
  XCloseDisplay(x);
  kill(zarv->pid, SIGINT);
  EXPECT_EQ(zarv->Wait(20), 130) << ReadFile("stderr.txt");
  std::vector<std::string> log = ReadLines("zarv.log");
  EXPECT_EQ(std::count(log.begin(), log.end(),
                       "Monitor screen was unplugged: the show goes on in a window on the primary monitor"),
            1)
      << ReadFile("zarv.log");
}
