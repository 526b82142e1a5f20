// The live GLFW backend on a private Xvfb server whose screen has no 800 x 600
// mode: frames go through the scaling framebuffer, centred with black bars,
// while the show still sees 800 x 600.
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GLFW/glfw3.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "foundation/debug.h"
#include "platform/glfw_window.h"
#include "platform/platform.h"
#include "support/scratch_dir.h"
#include "support/xvfb.h"

#include "support/x_screen.h"  // after gtest: Xlib defines macros such as None and Bool

// Answered here ahead of the GL library, so that a test can make every
// framebuffer incomplete and count how often completion is checked.
bool framebuffersFail = false;
int framebufferChecks = 0;
extern "C" GLenum glCheckFramebufferStatus(GLenum target) {
  ++framebufferChecks;
  if (framebuffersFail) return GL_FRAMEBUFFER_UNSUPPORTED;
  static auto real = reinterpret_cast<GLenum (*)(GLenum)>(dlsym(RTLD_NEXT, "glCheckFramebufferStatus"));
  return real(target);
}

// Answered here ahead of GLFW, so that a test can stand in for the rate of
// the monitor under the window changing (Xvfb has one screen, whose mode
// reports none): while above 0, every mode read reports this rate.
int reportedRate = 0;
int videoModeReads = 0;
extern "C" const GLFWvidmode* glfwGetVideoMode(GLFWmonitor* monitor) {
  static auto real =
      reinterpret_cast<const GLFWvidmode* (*)(GLFWmonitor*)>(dlsym(RTLD_NEXT, "glfwGetVideoMode"));
  static GLFWvidmode reported;
  ++videoModeReads;
  const GLFWvidmode* mode = real(monitor);
  if (mode == nullptr || reportedRate <= 0) return mode;
  reported = *mode;
  reported.refreshRate = reportedRate;
  return &reported;
}

namespace {

void DrawWhiteFrame() {
  glViewport(0, 0, 800, 600);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 800, 0, 600, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor3f(1.0f, 1.0f, 1.0f);
  glRectf(0.0f, 0.0f, 800.0f, 600.0f);
}

// Opens the show's full-screen window through the platform layer on a
// private Xvfb screen of the given size.
class GlfwWindowOn : public ::testing::Test {
 protected:
  void Open(const std::string& screen) {
    server = std::make_unique<XvfbServer>(screen);
    ASSERT_TRUE(server->Running());
    setenv("DISPLAY", server->display.c_str(), 1);
    platform::UseBackend(&window);
    ASSERT_EQ(platform::Init(), 1);
    platform::OpenWindow(800, 600, 0, 0, 0, 0, 16, 0, platform::FULLSCREEN);
  }
  void TearDown() override {
    platform::Terminate();
    platform::UseBackend(nullptr);
    // A test that stopped early must not leave the next one's framebuffers failing.
    framebuffersFail = false;
    reportedRate = 0;
  }

  std::unique_ptr<XvfbServer> server;
  platform::GlfwWindow window;
};

}  // namespace

TEST_F(GlfwWindowOn, AWiderScreenShowsTheFrameScaledWithBlackBars) {
  Open("1280x720x24");
  // The window reaches the screen's size once its configure events arrive.
  for (int i = 0; i < 50 && !window.Letterboxed(); ++i) {
    DrawWhiteFrame();
    platform::SwapBuffers();
  }
  ASSERT_TRUE(window.Letterboxed());
  int w = 0, h = 0;
  platform::GetWindowSize(&w, &h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  GLint depthBits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  EXPECT_EQ(depthBits, 16);

  DrawWhiteFrame();
  platform::SwapBuffers();
  glFinish();
  Display* x = XOpenDisplay(server->display.c_str());
  ASSERT_NE(x, nullptr);
  // 720 rows of 4:3 are 960 columns, centred: bars of 160 columns each side.
  EXPECT_EQ(RootPixel(x, 640, 360), 0xFFFFFFu);
  EXPECT_EQ(RootPixel(x, 170, 10), 0xFFFFFFu);
  EXPECT_EQ(RootPixel(x, 1110, 710), 0xFFFFFFu);
  EXPECT_EQ(RootPixel(x, 150, 360), 0u);
  EXPECT_EQ(RootPixel(x, 1130, 360), 0u);

  // The cursor maps into the show's pixels of the shown rectangle.
  XWarpPointer(x, 0, DefaultRootWindow(x), 0, 0, 0, 0, 640, 360);
  XSync(x, False);
  platform::SwapBuffers();
  int mx = -1, my = -1;
  platform::GetMousePos(&mx, &my);
  EXPECT_NEAR(mx, 400, 1);
  EXPECT_NEAR(my, 300, 1);
  XWarpPointer(x, 0, DefaultRootWindow(x), 0, 0, 0, 0, 160, 0);
  XSync(x, False);
  platform::SwapBuffers();
  platform::GetMousePos(&mx, &my);
  EXPECT_NEAR(mx, 0, 1);
  EXPECT_NEAR(my, 0, 1);

  // Presenting leaves the show's clear colour and scissor as they were.
  glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
  glEnable(GL_SCISSOR_TEST);
  platform::SwapBuffers();
  GLfloat clear[4] = {};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[0], 0.25f);
  EXPECT_EQ(clear[2], 0.75f);
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
  glDisable(GL_SCISSOR_TEST);

  // A window that becomes the show's size is drawn straight.
  XResizeWindow(x, std::stoul(RunOn(server->display, "xdotool search --name '^zarv$'")), 800, 600);
  XSync(x, False);
  for (int i = 0; i < 50 && window.Letterboxed(); ++i) platform::SwapBuffers();
  EXPECT_FALSE(window.Letterboxed());
  GLint drawFramebuffer = -1;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer);
  EXPECT_EQ(drawFramebuffer, 0);
  XCloseDisplay(x);
}

TEST_F(GlfwWindowOn, AScreenOfTheShowsOwnSizeIsFilledDirectly) {
  Open("800x600x24");
  for (int i = 0; i < 10; ++i) {
    DrawWhiteFrame();
    platform::SwapBuffers();
  }
  EXPECT_FALSE(window.Letterboxed());
  EXPECT_NE(platform::GetWindowParam(platform::OPENED), 0);
  platform::Terminate();
  EXPECT_EQ(platform::GetWindowParam(platform::OPENED), 0);
}

TEST_F(GlfwWindowOn, AnIncompleteLetterboxIsGivenUpForTheWindowWithOneLogLine) {
  ScratchDir dir;
  Log::Start("zarv.log", false);
  framebuffersFail = true;
  framebufferChecks = 0;
  Open("1280x720x24");
  for (int i = 0; i < 20; ++i) {
    DrawWhiteFrame();
    platform::SwapBuffers();
  }
  EXPECT_EQ(framebufferChecks, 1);
  EXPECT_FALSE(window.Letterboxed());
  GLint drawFramebuffer = -1;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer);
  EXPECT_EQ(drawFramebuffer, 0);
  // The cursor maps onto the show drawn unscaled at the lower left: its top
  // row is the screen's row 120.
  Display* x = XOpenDisplay(server->display.c_str());
  ASSERT_NE(x, nullptr);
  XWarpPointer(x, 0, DefaultRootWindow(x), 0, 0, 0, 0, 100, 220);
  XSync(x, False);
  XCloseDisplay(x);
  platform::SwapBuffers();
  int mx = -1, my = -1;
  platform::GetMousePos(&mx, &my);
  EXPECT_EQ(mx, 100);
  EXPECT_EQ(my, 100);
  Log::End();
  const std::string log = ReadFile("zarv.log");
  EXPECT_NE(log.find("the letterbox framebuffer is incomplete (status 0x8cdd)"), std::string::npos) << log;
  EXPECT_EQ(log.find("incomplete"), log.rfind("incomplete")) << log;
}

// Columns of one drawn pixel, white on even ones: on the screen they
// alternate where the picture is drawn with the screen's pixels and come in
// (filtered) pairs where the show's 800 x 600 is scaled up twice.
TEST_F(GlfwWindowOn, ScreenResolutionDrawsWithTheScreensPixelsAndShowWithTheShows) {
  ScratchDir dir;
  Log::Start("zarv.log", false);
  const struct {
    platform::Resolution resolution;
    int drawnWidth;
    const char* logLine;
  } cases[] = {
      {platform::Resolution::SCREEN, 1600,
       "Resolution: screen, drawn at 1600 x 1200, the screen's largest 4:3 area"},
      {platform::Resolution::SHOW, 800, "Resolution: show, drawn at 800 x 600 and scaled to the screen"},
      {platform::Resolution::AUTO, 800,
       "Resolution: show, drawn at 800 x 600 and scaled to the screen (the "
       "software renderer llvmpipe"},
  };
  for (const auto& c : cases) {
    window.resolution = c.resolution;
    Open("1600x1200x24");
    int w = 0, h = 0;
    platform::GetDrawnSize(&w, &h);
    EXPECT_EQ(w, c.drawnWidth);
    EXPECT_EQ(h, c.drawnWidth * 3 / 4);
    EXPECT_FLOAT_EQ(platform::PixelScale(), c.drawnWidth / 800.0f);
    platform::GetWindowSize(&w, &h);
    EXPECT_EQ(w, 800);
    for (int frame = 0; frame < 3; ++frame) {
      glViewport(0, 0, c.drawnWidth, c.drawnWidth * 3 / 4);
      glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
      glMatrixMode(GL_PROJECTION);
      glLoadIdentity();
      glOrtho(0, c.drawnWidth, 0, 1, -1, 1);
      glMatrixMode(GL_MODELVIEW);
      glLoadIdentity();
      glColor3f(1.0f, 1.0f, 1.0f);
      for (int x = 0; x < c.drawnWidth; x += 2) glRectf(x, 0.0f, x + 1.0f, 1.0f);
      platform::SwapBuffers();
    }
    glFinish();
    Display* x = XOpenDisplay(server->display.c_str());
    ASSERT_NE(x, nullptr);
    const unsigned long columns[3] = {RootPixel(x, 800, 600), RootPixel(x, 801, 600), RootPixel(x, 802, 600)};
    if (c.drawnWidth == 1600) {
      EXPECT_EQ(columns[0], 0xFFFFFFul);
      EXPECT_EQ(columns[1], 0ul);
      EXPECT_EQ(columns[2], 0xFFFFFFul);
    } else {
      EXPECT_EQ(columns[0], columns[1]);
      EXPECT_NE(columns[1], columns[2]);
    }
    XCloseDisplay(x);
    platform::Terminate();
    Log::End();
    const std::string log = ReadFile("zarv.log");
    EXPECT_NE(log.find(c.logLine), std::string::npos) << log;
    Log::Start("zarv.log", false);
  }
  Log::End();
}

// In a window drawn with its own pixels, each new size is answered at once:
// the drawn size, the viewport and the letterbox follow it.
TEST_F(GlfwWindowOn, AResizedWindowIsDrawnAtItsNewSize) {
  window.resolution = platform::Resolution::SCREEN;
  window.windowWidth = 640;
  window.windowHeight = 480;
  Open("1600x1200x24");
  int w = 0, h = 0;
  platform::GetDrawnSize(&w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_FALSE(window.Letterboxed());
  Display* x = XOpenDisplay(server->display.c_str());
  ASSERT_NE(x, nullptr);
  const unsigned long id = std::stoul(RunOn(server->display, "xdotool search --name '^zarv$'"));
  const struct {
    int width, height, drawnWidth, drawnHeight;
  } sizes[] = {{1000, 500, 666, 500}, {500, 1000, 500, 375}, {800, 600, 800, 600}};
  for (const auto& s : sizes) {
    XResizeWindow(x, id, s.width, s.height);
    XSync(x, False);
    for (int i = 0; i < 50 && (w != s.drawnWidth || h != s.drawnHeight); ++i) {
      platform::SwapBuffers();
      platform::GetDrawnSize(&w, &h);
    }
    EXPECT_EQ(w, s.drawnWidth) << s.width << "x" << s.height;
    EXPECT_EQ(h, s.drawnHeight) << s.width << "x" << s.height;
    EXPECT_FLOAT_EQ(platform::PixelScale(), s.drawnHeight / 600.0f);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], s.drawnWidth);
    EXPECT_EQ(viewport[3], s.drawnHeight);
    EXPECT_EQ(window.Letterboxed(), s.width != s.drawnWidth || s.height != s.drawnHeight);
    GLint readWidth = 0;
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &readWidth);
    if (window.Letterboxed()) {
      EXPECT_EQ(readWidth, s.drawnWidth) << "the letterbox has the drawn size";
    }
  }
  XCloseDisplay(x);
}

// Moved (as a drag moves it), the window is paced to the monitor under it,
// its rate read afresh, with a log line only where the pacing changes: a
// reported 60 Hz paces as none reported. Which monitor is under the window
// is MonitorUnder's (monitors_test).
TEST_F(GlfwWindowOn, AMovedWindowFollowsTheRateOfTheMonitorUnderIt) {
  ScratchDir dir;
  Log::Start("zarv.log", false);
  window.windowWidth = 640;
  window.windowHeight = 480;
  Open("1280x720x24");
  platform::SwapInterval(1);
  const unsigned long id = std::stoul(RunOn(server->display, "xdotool search --name '^zarv$'"));
  Display* x = XOpenDisplay(server->display.c_str());
  ASSERT_NE(x, nullptr);
  const int rates[] = {75, 75, 60, 0};
  for (int move = 0; move < 4; ++move) {
    reportedRate = rates[move];
    XMoveWindow(x, id, 100 + 10 * move, 100);
    XSync(x, False);
    // The rate is read once the move has come in.
    const int reads = videoModeReads;
    for (int i = 0; i < 50 && videoModeReads == reads; ++i) platform::SwapBuffers();
    EXPECT_NE(videoModeReads, reads) << move;
  }
  XCloseDisplay(x);
  Log::End();
  std::istringstream log(ReadFile("zarv.log"));
  std::string pacing;
  for (std::string line; std::getline(log, line);)
    if (line.find("Pacing: ") != std::string::npos) pacing += line.substr(line.find("Pacing: ")) + "\n";
  EXPECT_EQ(
      pacing,
      "Pacing: to the display, 60 Hz (the monitor reports no refresh rate): swaps wait for its refresh, "
      "and frames that come sooner wait out the rest of its period\n"
      "Pacing: to the display, now monitor 0 (screen), 75 Hz\n"
      "Pacing: to the display, now monitor 0 (screen), 60 Hz\n");
}
