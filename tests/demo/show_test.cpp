// The assembled show on the offscreen backend with the baked assets: the
// timetable of the scheduler and the credit, what a missing file does, and
// the spectrum overlay's bounds and matrix stacks.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>

#include "assets/font.h"
#include "demo/demo.h"
#include "demo/overlay.h"
#include "demo/scheduler.h"
#include "foundation/debug.h"
#include "foundation/generator.h"
#include "fx/circle1frag.h"
#include "fx/demofx.h"
#include "fx/flora0frag.h"
#include "music/music.h"
#include "platform/offscreen_window.h"
#include "platform/platform.h"
#include "support/scratch_dir.h"
#include "support/show_files.h"

using ::testing::ExitedWithCode;

namespace {

class Show : public ::testing::Test {
 protected:
  void SetUp() override {
    MusicSetOffline(true);
    platform::UseBackend(&window);
  }
  void TearDown() override {
    MusicSetTestSpectrum(nullptr);
    for (DemoFX* fx : frags) delete fx;
    frags.clear();
    if (running) done();
    platform::UseBackend(nullptr);
  }

  void Start(const std::set<std::string>& leaveOut = {}) {
    LinkShowFiles(leaveOut);
    window.SetTime(0.0);
    init();
  }

  // Whether processFX ran in a frame at show time t: the scheduler's chance
  // rule draws from the generator in every call, and nothing else does here.
  bool SchedulerRanAt(double t) {
    window.SetTime(t);
    uint32_t before = RandomState();
    display(0.016f);
    return RandomState() != before;
  }

  // Bright pixels in the rectangle [x0, x1) x [y0, y1) from the lower left.
  int BrightPixels(int x0, int y0, int x1, int y1) {
    std::vector<unsigned char> p = window.ReadPixels();
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += p[(y * 800 + x) * 4] > 128;
    return n;
  }

  ScratchDir dir;
  platform::OffscreenWindow window;
  std::array<float, 512> silence{};
};

}  // namespace

TEST_F(Show, SchedulerRunsStrictlyBetweenFiveAnd148Seconds) {
  Start();
  MusicSetTestSpectrum(silence.data());
  EXPECT_FALSE(SchedulerRanAt(0.0));
  EXPECT_FALSE(SchedulerRanAt(4.99));
  EXPECT_FALSE(SchedulerRanAt(5.0));
  EXPECT_TRUE(SchedulerRanAt(5.001));
  EXPECT_TRUE(SchedulerRanAt(100.0));
  EXPECT_TRUE(SchedulerRanAt(147.99));
  EXPECT_FALSE(SchedulerRanAt(148.0));
  EXPECT_FALSE(SchedulerRanAt(150.0));
}

TEST_F(Show, CreditIsDrawnAtFullStrengthFrom146Seconds) {
  Start();
  MusicSetTestSpectrum(silence.data());
  // "rT & wn" at 24-pixel cells from (364, 24); nothing else is drawn there
  // while the list is empty and the chance rule stays quiet.
  window.SetTime(146.0);
  display(0.016f);
  for (DemoFX* fx : frags) delete fx;
  frags.clear();
  window.SetTime(146.0);
  display(0.016f);
  EXPECT_EQ(BrightPixels(364, 24, 500, 48), 0) << "not at exactly 146 s";
  window.SetTime(146.01);
  display(0.016f);
  int atStart = BrightPixels(364, 24, 500, 48);
  EXPECT_GT(atStart, 40);
  window.SetTime(150.0);
  display(0.016f);
  EXPECT_EQ(BrightPixels(364, 24, 500, 48), atStart) << "the same strength under the full fade";
  EXPECT_EQ(BrightPixels(0, 100, 800, 600), 0) << "everything else is black";
}

TEST_F(Show, ShutdownRetiresTheEffectsStillLive) {
  struct Probe : DemoFX {
    Probe(int* doneCalls, int* deleted) : doneCalls(doneCalls), deleted(deleted) {}
    ~Probe() override { ++*deleted; }
    void Done() override { ++*doneCalls; }
    int* doneCalls;
    int* deleted;
  };
  Start();
  int doneCalls = 0;
  int deleted = 0;
  frags.push_back(new Probe(&doneCalls, &deleted));
  frags.push_back(new Probe(&doneCalls, &deleted));
  done();
  running = 0;
  EXPECT_TRUE(frags.empty());
  EXPECT_EQ(doneCalls, 2);
  EXPECT_EQ(deleted, 2);
}

TEST_F(Show, StartUpLoadsEverySlotInItsPairing) {
  Start();
  for (int slot = 0; slot < 4; ++slot) {
    ASSERT_NE(Flora0Frag::mesh[slot], nullptr);
    ASSERT_NE(Flora0Frag::anim[slot], nullptr);
    EXPECT_FALSE(Flora0Frag::used[slot]);
    EXPECT_FALSE(Flora0Frag::mesh[slot]->groups.empty());
  }
  ASSERT_NE(font, nullptr);
  EXPECT_GT(Circle1Frag::tex->width, 0);
  EXPECT_GE(Circle1Frag::moveTL.points.size(), 2u);
  EXPECT_TRUE(frags.empty());
  EXPECT_EQ(startDemoTime, 0.0f);
  EXPECT_NE(MusicGetSpectrum(), nullptr);
  std::vector<std::string> log = ReadLines("zarv.log");
  EXPECT_TRUE(log.empty()) << log.front();
}

TEST_F(Show, MissingMeshEndsStartUpWithTheLoadersLineAndStatusOne) {
  LinkShowFiles({"data/3.mesh"});
  EXPECT_EXIT(
      {
        window.SetTime(0.0);
        init();
      },
      ExitedWithCode(1), "");
  std::vector<std::string> log = ReadLines("zarv.log");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().rfind("ZARV_FAILED: expression: f file: ", 0), 0u) << log.back();
  EXPECT_NE(log.back().find("func: Mesh::Mesh(const std::string&)"), std::string::npos) << log.back();
}

TEST_F(Show, MissingAnimationEndsStartUpWithStatusOne) {
  LinkShowFiles({"data/2.anim"});
  EXPECT_EXIT(
      {
        window.SetTime(0.0);
        init();
      },
      ExitedWithCode(1), "");
  std::vector<std::string> log = ReadLines("zarv.log");
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "animator file \"data/2.anim\" not found");
  EXPECT_EQ(log.back().rfind("ZARV ERROR: file: ", 0), 0u) << log.back();
}

TEST_F(Show, MissingTextureIsReportedAndTheShowGoesOn) {
  ::testing::internal::CaptureStderr();
  Start({"data/c2.png"});
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("error open PNG file \"data/c2.png\""), std::string::npos) << err;
  EXPECT_EQ(Circle1Frag::tex->width, 0);
  MusicSetTestSpectrum(silence.data());
  for (double t = 25.0; t < 35.0; t += 0.05) SchedulerRanAt(t);
  EXPECT_EQ(running, 1);
}

TEST_F(Show, MissingMusicKeepsTheTimetable) {
  Start({"murel.mp3"});
  EXPECT_EQ(MusicGetSpectrum(), nullptr);
  EXPECT_FALSE(SchedulerRanAt(5.0));
  EXPECT_TRUE(SchedulerRanAt(6.0));
  EXPECT_EQ(FFT, nullptr);
}

TEST_F(Show, OverlayLeavesBothMatrixStacksAsFound) {
  Start();
  MusicSetTestSpectrum(silence.data());
  SchedulerRanAt(10.0);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glTranslatef(1.0f, 2.0f, 3.0f);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRotatef(30.0f, 0.0f, 0.0f, 1.0f);
  GLfloat projection[16], modelview[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  MusicDrawFFT();
  GLfloat after[16];
  GLint mode = 0, depth = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], modelview[i]);
  glGetFloatv(GL_PROJECTION_MATRIX, after);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], projection[i]);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
}

TEST_F(Show, OverlayReadsTheBandUnderTheCursorClampedToTheSpectrum) {
  Start();
  std::array<float, 512> bands{};
  bands[0] = 0.05f;
  bands[127] = 0.25f;
  bands[511] = 0.45f;
  MusicSetTestSpectrum(bands.data());
  SchedulerRanAt(10.0);
  // The horizontal cross-hair line lies at the level of the band under the
  // cursor: in the 600-pixel view that spans levels 0 to 0.5, row level * 1200.
  auto horizontalLineRow = [&](int mouseX) {
    window.SetMousePos(mouseX, 300);
    glClear(GL_COLOR_BUFFER_BIT);
    MusicDrawFFT();
    std::vector<unsigned char> p = window.ReadPixels();
    // The cross-hair is the only green-dominant colour; look at the far right column.
    for (int y = 0; y < 600; ++y) {
      const unsigned char* px = &p[(y * 800 + 798) * 4];
      if (px[1] > 100 && px[0] < px[1] - 60) return y;
    }
    return -1;
  };
  EXPECT_NEAR(horizontalLineRow(400), 300, 2) << "band 127";
  EXPECT_NEAR(horizontalLineRow(-100), 60, 2) << "left of the window: band 0";
  EXPECT_NEAR(horizontalLineRow(5000), 540, 2) << "far right: clamped to band 511";

  MusicSetTestSpectrum(nullptr);
  FFT = nullptr;
  EXPECT_EQ(horizontalLineRow(400), -1) << "no spectrum: no graph and no level line";
}
