// The real zarv binary on a private Xvfb server: its title, Escape, closing
// the window, and the clear refusal without any display.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>

#include "support/scratch_dir.h"
#include "support/show_files.h"
#include "support/xvfb.h"

#include <X11/Xlib.h>  // after gtest: Xlib defines macros such as None and Bool

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

// The real binary on its own 800 x 600 Xvfb screen, run in a scratch
// directory that holds the baked show files.
class ShowWindow : public ::testing::Test {
 protected:
  // Starts zarv and waits for its window; the window's id.
  std::string Launch() {
    if (!server.Running()) return {};
    LinkShowFiles();
    zarv = std::make_unique<ChildProcess>(std::vector<std::string>{zarvBinary}, dir.path, server.display);
    return WaitForWindow(server.display, "frags=", 30);
  }

  XvfbServer server{"800x600x24"};
  ScratchDir dir;
  std::unique_ptr<ChildProcess> zarv;
};

}  // namespace

TEST_F(ShowWindow, TitleShowsFrameRateAndEscapeEndsTheShow) {
  std::string id = Launch();
  ASSERT_FALSE(id.empty()) << ReadFile("stderr.txt");
  std::string title = RunOn(server.display, "xdotool getwindowname " + id);
  EXPECT_TRUE(std::regex_match(title, std::regex("[1-9][0-9]* \\(frags=0\\)"))) << title;
  RunOn(server.display, "xdotool key Escape");
  EXPECT_EQ(zarv->Wait(20), 0) << ReadFile("stderr.txt");
  EXPECT_TRUE(std::ifstream("zarv.log").good());
}

TEST_F(ShowWindow, ClosingTheWindowEndsTheShow) {
  std::string id = Launch();
  ASSERT_FALSE(id.empty()) << ReadFile("stderr.txt");
  SendCloseRequest(server.display, std::stoul(id));
  EXPECT_EQ(zarv->Wait(20), 0) << ReadFile("stderr.txt");
}

TEST_F(ShowWindow, RunsTheWholeShowToItsOwnEnd) {
  std::string id = Launch();
  ASSERT_FALSE(id.empty()) << ReadFile("stderr.txt");
  // Watch the title until the show ends by itself (151 s after start-up).
  int mostEffects = 0;
  int status = -1;
  std::regex title("[0-9]+ \\(frags=([0-9]+)\\)");
  for (int second = 0; second < 400 && status < 0; ++second) {
    std::smatch match;
    std::string name = RunOn(server.display, "xdotool getwindowname " + id);
    if (std::regex_match(name, match, title)) mostEffects = std::max(mostEffects, std::stoi(match[1]));
    status = zarv->Wait(0.5);
  }
  EXPECT_EQ(status, 0) << ReadFile("stderr.txt");
  EXPECT_GT(mostEffects, 0) << "the title never showed a live effect";
  for (const std::string& line : ReadLines("zarv.log")) {
    EXPECT_EQ(line.find("ZARV"), std::string::npos) << line;
    EXPECT_EQ(line.find("Cannot play"), std::string::npos) << line;
  }
  std::string err = ReadFile("stderr.txt");
  EXPECT_EQ(err.find("PNG"), std::string::npos) << err;
  EXPECT_EQ(err.find("not supported"), std::string::npos) << err;
}

TEST(ShowWithoutDisplay, SaysSoAndExitsWithOne) {
  ScratchDir dir;
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
