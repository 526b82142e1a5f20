// The real zarv binary on a private Xvfb server: its title, Escape, closing
// the window, and the clear refusal without any display.
#include <gtest/gtest.h>

#include <regex>

#include "support/scratch_dir.h"
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

}  // namespace

TEST(ShowWindow, TitleShowsFrameRateAndEscapeEndsTheShow) {
  XvfbServer server("800x600x24");
  ASSERT_TRUE(server.Running());
  ScratchDir dir;
  ChildProcess zarv({zarvBinary}, dir.path, server.display);
  std::string id = WaitForWindow(server.display, "frags=", 30);
  ASSERT_FALSE(id.empty()) << ReadFile("stderr.txt");
  std::string title = RunOn(server.display, "xdotool getwindowname " + id);
  EXPECT_TRUE(std::regex_match(title, std::regex("[1-9][0-9]* \\(frags=0\\)"))) << title;
  RunOn(server.display, "xdotool key Escape");
  EXPECT_EQ(zarv.Wait(20), 0) << ReadFile("stderr.txt");
  EXPECT_TRUE(std::ifstream("zarv.log").good());
}

TEST(ShowWindow, ClosingTheWindowEndsTheShow) {
  XvfbServer server("800x600x24");
  ASSERT_TRUE(server.Running());
  ScratchDir dir;
  ChildProcess zarv({zarvBinary}, dir.path, server.display);
  std::string id = WaitForWindow(server.display, "frags=", 30);
  ASSERT_FALSE(id.empty()) << ReadFile("stderr.txt");
  SendCloseRequest(server.display, std::stoul(id));
  EXPECT_EQ(zarv.Wait(20), 0) << ReadFile("stderr.txt");
}

TEST(ShowWindow, WithoutADisplayItSaysSoAndExitsWithOne) {
  ScratchDir dir;
  ChildProcess zarv({zarvBinary}, dir.path, "");
  EXPECT_EQ(zarv.Wait(20), 1);
  std::string err = ReadFile("stderr.txt");
  EXPECT_NE(err.find("cannot open the show window: "), std::string::npos) << err;
  EXPECT_NE(err.find("DISPLAY"), std::string::npos) << err;
  EXPECT_NE(err.find("zarv-capture"), std::string::npos) << err;
  std::vector<std::string> log = ReadLines("zarv.log");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0] + "\n", err);
}
