// The show's frame on the offscreen backend with the clock set by the test:
// frame time, show clock, title, the timetable of the fade and the end, and
// the loop's ending on Escape, a closed window and the show's own end.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "demo/demo.h"
#include "foundation/debug.h"
#include "fx/demofx.h"
#include "music/music.h"
#include "platform/offscreen_window.h"
#include "platform/platform.h"
#include "support/scratch_dir.h"
#include "support/show_files.h"

namespace {

// Stands where the effect pass draws: a white quad over the whole view.
class WhiteQuad : public DemoFX {
 public:
  WhiteQuad() { alive = true; }
  void Render(float) override {
    ++renders;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-4, 4, -3, 3, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glRectf(-4.0f, -3.0f, 4.0f, 3.0f);
  }
  static int renders;
};
int WhiteQuad::renders = 0;

class Driver : public ::testing::Test {
 protected:
  void SetUp() override {
    LinkShowFiles();
    MusicSetOffline(true);
    platform::UseBackend(&window);
  }
  void TearDown() override {
    for (DemoFX* fx : frags) delete fx;
    frags.clear();
    window.Close();
    platform::UseBackend(nullptr);
    Log::End();
  }

  // Runs init with the clock at zero, so the show clock equals the timer.
  void Start() {
    window.SetTime(0.0);
    init();
    ASSERT_EQ(startDemoTime, 0.0f);
  }

  int CentreGrey() {
    std::vector<unsigned char> p = window.ReadPixels();
    return p[(300 * 800 + 400) * 4];
  }

  ScratchDir dir;
  platform::OffscreenWindow window;
};

}  // namespace

TEST_F(Driver, FirstDeltaCoversEverythingSinceTheTimerStarted) {
  window.SetTime(2.5);
  EXPECT_EQ(GetDT(), 2.5f);
  window.SetTime(2.75);
  EXPECT_EQ(GetDT(), 0.25f);
}

TEST_F(Driver, PreviousTimeAdvancesByTheFloatDelta) {
  // At 1e5 s a float resolves 1/128 s: the previous time rounds to
  // 100000.3125 although the timer read 100000.31, and the next delta is
  // measured from there (0.0075 s), not from the timer reading (0.01 s).
  window.SetTime(100000.3);
  GetDT();
  window.SetTime(100000.31);
  GetDT();
  window.SetTime(100000.32);
  EXPECT_NEAR(GetDT(), 0.0075f, 1e-4f);
}

TEST_F(Driver, ShowClockCountsFromStartDemoTime) {
  startDemoTime = 10.5f;
  window.SetTime(150.25);
  EXPECT_EQ(DemoTime(), 139.75f);
  window.SetTime(10.5);
  EXPECT_EQ(DemoTime(), 0.0f);
}

TEST_F(Driver, TitleShowsFramesAndEffectsAboutOnceASecond) {
  window.SetTime(0.5);
  printFPS();
  window.SetTime(1.0);
  printFPS();
  EXPECT_EQ(window.title, "") << "no update until more than a second has passed";
  window.SetTime(1.01);
  printFPS();
  EXPECT_EQ(window.title, "3 (frags=0)");
  frags.push_back(new WhiteQuad);
  frags.push_back(new WhiteQuad);
  window.SetTime(2.0);
  printFPS();
  EXPECT_EQ(window.title, "3 (frags=0)");
  window.SetTime(2.02);
  printFPS();
  EXPECT_EQ(window.title, "2 (frags=2)") << "the frame that writes the title is counted";
}

TEST_F(Driver, InitSetsTheFixedGlStateOnly) {
  Start();
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  GLint src = 0, dst = 0;
  glGetIntegerv(GL_BLEND_SRC, &src);
  glGetIntegerv(GL_BLEND_DST, &dst);
  EXPECT_EQ(src, GL_SRC_ALPHA);
  EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
  for (GLenum hint :
       {GL_FOG_HINT, GL_LINE_SMOOTH_HINT, GL_PERSPECTIVE_CORRECTION_HINT, GL_POINT_SMOOTH_HINT}) {
    GLint value = 0;
    glGetIntegerv(hint, &value);
    EXPECT_EQ(value, GL_NICEST) << "hint " << hint;
  }
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
  EXPECT_TRUE(Log::logging);
  EXPECT_EQ(ReadFile("zarv.log"), "");
}

TEST_F(Driver, EffectPassRunsStrictlyBetweenFiveAnd148Seconds) {
  Start();
  frags.push_back(new WhiteQuad);
  for (double t : {4.0, 5.0, 148.0, 149.0}) {
    window.SetTime(t);
    display(0.01f);
    EXPECT_EQ(CentreGrey(), 0) << "t = " << t;
  }
  EXPECT_EQ(WhiteQuad::renders, 0);
  for (double t : {5.01, 100.0, 146.0}) {
    window.SetTime(t);
    display(0.01f);
    EXPECT_EQ(CentreGrey(), 255) << "t = " << t;
  }
  EXPECT_EQ(WhiteQuad::renders, 3);
}

TEST_F(Driver, BlackRectangleFadesInFrom146To148Seconds) {
  Start();
  frags.push_back(new WhiteQuad);
  window.SetTime(146.0);
  display(0.01f);
  EXPECT_EQ(CentreGrey(), 255) << "no fade at exactly 146 s";
  window.SetTime(147.0);
  display(0.01f);
  EXPECT_NEAR(CentreGrey(), 128, 1) << "half way: the rectangle at alpha 0.5";
  window.SetTime(147.9);
  display(0.01f);
  EXPECT_NEAR(CentreGrey(), 13, 1);
  window.SetTime(148.0);
  display(0.01f);
  EXPECT_EQ(CentreGrey(), 0);
  window.SetTime(150.5);
  display(0.01f);
  EXPECT_EQ(CentreGrey(), 0);
}

TEST_F(Driver, ShowEndsAfter151SecondsWithThatFrameFinished) {
  Start();
  window.SetTime(151.0);
  display(0.01f);
  EXPECT_EQ(running, 1) << "at exactly 151 s the show goes on";
  int swaps = window.swaps;
  window.SetTime(151.001);
  display(0.01f);
  EXPECT_EQ(running, 0);
  EXPECT_EQ(window.swaps, swaps + 1) << "the last frame is still swapped";
  window.SetTime(152.5);
  printFPS();
  EXPECT_EQ(window.title, "2 (frags=0)") << "and counted";
}

TEST_F(Driver, EscapeEndsTheLoopAfterOneMoreFrameAndShutsDown) {
  window.onSwap = [this] {
    window.SetTime(window.Time() + 0.02);
    if (window.swaps == 3) window.PressKey(platform::KEY_ESC);
  };
  window.SetTime(0.0);
  EXPECT_EQ(runShow(), 0);
  EXPECT_EQ(window.swaps, 4);
  EXPECT_FALSE(Log::logging) << "done closed the log";
  EXPECT_FALSE(window.IsOpen()) << "done closed the window";
}

TEST_F(Driver, ClosingTheWindowEndsTheLoopAfterOneMoreFrame) {
  window.onSwap = [this] {
    window.SetTime(window.Time() + 0.02);
    if (window.swaps == 5) window.RequestClose();
  };
  window.SetTime(0.0);
  EXPECT_EQ(runShow(), 0);
  EXPECT_EQ(window.swaps, 6);
}

TEST_F(Driver, TheWholeTimetableRunsToItsOwnEnd) {
  // One frame every half second of show time: the loop stops on the first
  // frame past 151 s.
  double lastFrameTime = 0.0;
  window.onSwap = [this, &lastFrameTime] {
    lastFrameTime = window.Time();
    window.SetTime(window.Time() + 0.5);
  };
  window.SetTime(0.0);
  EXPECT_EQ(runShow(), 0);
  EXPECT_EQ(lastFrameTime, 151.5);
  EXPECT_EQ(window.swaps, 304);
}

TEST_F(Driver, ShutdownRetiresTheEffectsStillLive) {
  Start();
  frags.push_back(new WhiteQuad);
  frags.push_back(new WhiteQuad);
  done();
  EXPECT_TRUE(frags.empty());
}
