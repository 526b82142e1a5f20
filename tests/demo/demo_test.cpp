// The assembled show on the offscreen backend with the baked assets and the
// clock set by the test: start-up and what a missing file does, the frame
// delta, show clock and title, the timetable of the effects, the fade, the
// credit and the end, the live loop's keys, and shutdown.
#include "demo/demo.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "assets/font.h"
#include "assets/mesh.h"
#include "foundation/debug.h"
#include "fx/circle1frag.h"
#include "fx/circle2frag.h"
#include "fx/demofx.h"
#include "fx/flora0frag.h"
#include "music/music.h"
#include "platform/offscreen_window.h"
#include "platform/platform.h"
#include "support/fatal_report.h"
#include "support/fresh_process.h"
#include "support/generator_draws.h"
#include "support/scratch_dir.h"
#include "support/show_files.h"
#include "support/show_reset.h"

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
  int renders = 0;
};

class Demo : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetShow();
    MusicSetOffline(true);
    platform::UseBackend(&window);
  }
  void TearDown() override {
    ReleaseShowAssets();
    Circle2Frag::tex = nullptr;  // done deletes it too
    if (started) done();
    ResetShow();
    window.Close();
    platform::UseBackend(nullptr);
    Log::End();
  }

  // Links the show's files and runs init with the clock at zero, so the
  // show clock equals the timer.
  void Start(const std::set<std::string>& leaveOut = {}) {
    LinkShowFiles(leaveOut);
    window.SetTime(0.0);
    init();
    started = true;
  }

  // Runs one frame at show time t.
  void FrameAt(double t) {
    window.SetTime(t);
    display(0.01f);
  }

  // Pixels whose red is above level in the rectangle [x0, x1) x [y0, y1)
  // from the lower left.
  int PixelsAbove(int level, int x0, int y0, int x1, int y1) {
    std::vector<unsigned char> p = window.ReadPixels();
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += p[(y * 800 + x) * 4] > level;
    return n;
  }
  int BrightPixels(int x0, int y0, int x1, int y1) { return PixelsAbove(128, x0, y0, x1, y1); }

  int CentreGrey() { return window.ReadPixels()[(300 * 800 + 400) * 4]; }

  ScratchDir dir;
  platform::OffscreenWindow window;
  std::array<float, 512> silence{};
  bool started = false;
};

}  // namespace

TEST_F(Demo, StartUpLeavesNoLoaderStateBehindAndLoadsEverySlotInItsPairing) {
  Start();
  for (GLenum off : {GL_DEPTH_TEST, GL_LIGHTING, GL_TEXTURE_2D, GL_CULL_FACE}) EXPECT_FALSE(glIsEnabled(off));

  // File n plays in slot n - 1, but files 1 and 2 swap slots.
  auto vertices = [](const Mesh& mesh) {
    size_t n = 0;
    for (const MeshGroup& g : mesh.groups) n += g.vertices.size();
    return n;
  };
  const int fileOfSlot[4] = {2, 1, 3, 4};
  for (int slot = 0; slot < 4; ++slot) {
    ASSERT_NE(Flora0Frag::mesh[slot], nullptr);
    ASSERT_NE(Flora0Frag::anim[slot], nullptr);
    EXPECT_FALSE(Flora0Frag::used[slot]);
    const Mesh file("data/" + std::to_string(fileOfSlot[slot]) + ".mesh");
    EXPECT_EQ(vertices(*Flora0Frag::mesh[slot]), vertices(file)) << "slot " << slot;
  }
  ASSERT_NE(vertices(Mesh("data/1.mesh")), vertices(Mesh("data/2.mesh"))) << "the swap shows";
  ASSERT_NE(font, nullptr);
  EXPECT_GT(Circle1Frag::tex->width, 0);
  EXPECT_GE(Circle1Frag::moveTL.points.size(), 2u);
  EXPECT_TRUE(frags.empty());
  EXPECT_NE(MusicGetSpectrum(), nullptr);
  EXPECT_TRUE(Log::logging);
  EXPECT_EQ(ReadFile("zarv.log"), "");
}

TEST_F(Demo, MissingMeshOrAnimationEndsStartUpWithStatusOne) {
  LinkShowFiles({"data/3.mesh"});
  EXPECT_EXIT(init(), ::testing::ExitedWithCode(1), "");
  EXPECT_THAT(ReadLines("zarv.log").back(), FailedReport("f", "mesh.cpp", "Mesh::Mesh(const std::string&)"));

  ASSERT_EQ(unlink("data/2.anim"), 0);
  ASSERT_EQ(symlink(ZARV_SHOW_DIR "/data/3.mesh", "data/3.mesh"), 0);
  EXPECT_EXIT(init(), ::testing::ExitedWithCode(1), "");
  std::vector<std::string> log = ReadLines("zarv.log");
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "animator file \"data/2.anim\" not found");
  EXPECT_EQ(log.back().rfind("ZARV ERROR: file: ", 0), 0u) << log.back();
}

TEST_F(Demo, MissingImageIsReportedAndItsEffectsStillDraw) {
  ::testing::internal::CaptureStderr();
  Start({"data/c2.png"});
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("error open PNG file \"data/c2.png\""), std::string::npos) << err;
  EXPECT_EQ(Circle1Frag::tex->width, 0);
  // Loud bass: a circle ornament (with sprites, past 20 s) every frame.
  std::array<float, 512> bass{};
  bass[1] = 0.9f;
  MusicSetTestSpectrum(bass.data());
  for (double t = 30.0; t < 30.5; t += 0.05) FrameAt(t);
  int circles = 0;
  for (DemoFX* fx : frags) circles += fx->type == 1;
  EXPECT_GT(circles, 5);
  EXPECT_GT(PixelsAbove(20, 0, 0, 800, 600), 1000);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Demo, MissingMusicKeepsTheTimetable) {
  Start({"murel.mp3"});
  EXPECT_EQ(MusicGetSpectrum(), nullptr);
  auto* quad = new WhiteQuad;
  frags.push_back(quad);
  FrameAt(5.0);
  EXPECT_EQ(quad->renders, 0);
  FrameAt(6.0);
  EXPECT_EQ(quad->renders, 1);
  EXPECT_EQ(FFT, nullptr);
}

// The two tests of function statics run without the fixture, whose scratch
// directory the re-started process would leave behind.
TEST(DemoStatics, FirstDeltaCoversEverythingSinceTheTimerStarted) {
  platform::OffscreenWindow window;
  platform::UseBackend(&window);
  EXPECT_IN_FRESH_PROCESS({
    window.SetTime(2.5);
    EXPECT_EQ(GetDT(), 2.5f);
    window.SetTime(2.75);
    EXPECT_EQ(GetDT(), 0.25f);
  });
  platform::UseBackend(nullptr);
}

TEST_F(Demo, PreviousTimeAdvancesByTheFloatDelta) {
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

TEST_F(Demo, ShowClockCountsFromStartDemoTime) {
  startDemoTime = 10.5f;
  window.SetTime(150.25);
  EXPECT_EQ(DemoTime(), 139.75f);
  window.SetTime(10.5);
  EXPECT_EQ(DemoTime(), 0.0f);
}

TEST(DemoStatics, TitleShowsFramesAndEffectsAboutOnceASecond) {
  platform::OffscreenWindow window;
  platform::UseBackend(&window);
  EXPECT_IN_FRESH_PROCESS({
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
  });
  platform::UseBackend(nullptr);
}

TEST_F(Demo, EffectPassRunsStrictlyBetweenFiveAnd148Seconds) {
  Start();
  auto* quad = new WhiteQuad;
  frags.push_back(quad);
  const struct {
    double t;
    bool drawn;
  } cases[] = {{0.0, false},  {4.99, false},  {5.0, false},   {5.001, true},
               {100.0, true}, {147.99, true}, {148.0, false}, {150.0, false}};
  for (const auto& c : cases) {
    const int before = quad->renders;
    FrameAt(c.t);
    EXPECT_EQ(quad->renders - before, c.drawn ? 1 : 0) << "t = " << c.t;
  }
}

TEST_F(Demo, BlackRectangleFadesInFrom146To148Seconds) {
  Start();
  frags.push_back(new WhiteQuad);
  const struct {
    double t;
    int grey;
  } cases[] = {{146.0, 255}, {147.0, 128}, {147.9, 13}, {148.0, 0}, {150.5, 0}};
  for (const auto& c : cases) {
    FrameAt(c.t);
    EXPECT_NEAR(CentreGrey(), c.grey, 1) << "t = " << c.t;
  }
}

TEST_F(Demo, CreditIsDrawnAtFullStrengthFrom146Seconds) {
  Start();
  MusicSetTestSpectrum(silence.data());
  // "rT & wn" at 24-pixel cells from (364, 24); nothing else is drawn there
  // while the list is empty and the chance rule stays quiet (two frames).
  SetRandomState(FindState([](uint32_t s) {
    const std::vector<int> d = DrawsAfter(s, 2);
    return d[0] % 10 != 1 && d[1] % 10 != 1;
  }));
  FrameAt(146.0);
  EXPECT_EQ(BrightPixels(364, 24, 500, 48), 0) << "not at exactly 146 s";
  FrameAt(146.01);
  int atStart = BrightPixels(364, 24, 500, 48);
  EXPECT_GT(atStart, 40);
  FrameAt(150.0);
  EXPECT_EQ(BrightPixels(364, 24, 500, 48), atStart) << "the same strength under the full fade";
  EXPECT_EQ(BrightPixels(0, 100, 800, 600), 0) << "everything else is black";
}

TEST_F(Demo, ShowEndsAfter151SecondsWithThatFrameFinished) {
  Start();
  FrameAt(151.0);
  EXPECT_EQ(running, 1) << "at exactly 151 s the show goes on";
  int swaps = window.swaps;
  FrameAt(151.001);
  EXPECT_EQ(running, 0);
  EXPECT_EQ(window.swaps, swaps + 1) << "the last frame is still swapped";
}

TEST_F(Demo, EscapeEndsTheLoopAfterOneMoreFrameAndShutsDown) {
  LinkShowFiles();
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

TEST_F(Demo, ClosingTheWindowEndsTheLoopAfterOneMoreFrame) {
  LinkShowFiles();
  window.onSwap = [this] {
    window.SetTime(window.Time() + 0.02);
    if (window.swaps == 5) window.RequestClose();
  };
  window.SetTime(0.0);
  EXPECT_EQ(runShow(), 0);
  EXPECT_EQ(window.swaps, 6);
}

TEST_F(Demo, F1TogglesTheSpectrumOverlayOncePerPress) {
  // Before 5 s the frame is black but for the overlay. F1 goes down after
  // frames 2 and 8 and is held for two frames each time.
  LinkShowFiles();
  std::vector<bool> lit;
  window.onSwap = [&] {
    const std::vector<unsigned char> p = window.ReadPixels();
    bool any = false;
    for (size_t i = 0; i < p.size(); ++i) any = any || (i % 4 != 3 && p[i] != 0);
    lit.push_back(any);
    window.SetTime(window.Time() + 0.02);
    const int n = window.swaps;
    if (n == 2 || n == 8) window.PressKey(platform::KEY_F1);
    if (n == 4 || n == 10) window.ReleaseKey(platform::KEY_F1);
    if (n == 12) window.PressKey(platform::KEY_ESC);
  };
  window.SetTime(0.0);
  EXPECT_EQ(runShow(), 0);
  const std::vector<bool> expected = {false, false, true,  true,  true,  true, true,
                                      true,  false, false, false, false, false};
  EXPECT_EQ(lit, expected);
}

TEST_F(Demo, TheWholeTimetableRunsToItsOwnEnd) {
  // One frame every half second of show time: the loop stops on the first
  // frame past 151 s.
  LinkShowFiles();
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

TEST_F(Demo, ShutdownRetiresTheEffectsStillLive) {
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
  started = false;
  EXPECT_TRUE(frags.empty());
  EXPECT_EQ(doneCalls, 2);
  EXPECT_EQ(deleted, 2);
}
