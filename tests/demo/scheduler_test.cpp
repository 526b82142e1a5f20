// The scheduler with an injected spectrum, a set clock and a known generator
// state: the cap of 15 and the forced 16th, the 70-second gate of the mid
// rule, the retire pass, slot taking and giving back, chance without a parent.
// Then with the spectrum of what a private audio server's sink plays.
#include "demo/scheduler.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "anim/animator.h"
#include "assets/mesh.h"
#include "assets/texture.h"
#include "demo/showmusic.h"
#include "foundation/debug.h"
#include "foundation/generator.h"
#include "fx/circle1frag.h"
#include "fx/circle2frag.h"
#include "fx/demofx.h"
#include "fx/flora0frag.h"
#include "fx/showclock.h"
#include "music/music.h"
#include "support/generator_draws.h"
#include "support/offscreen_gl.h"
#include "support/pulse_daemon.h"
#include "support/scratch_dir.h"
#include "support/show_reset.h"
#include "support/track_file.h"

namespace {

// A live effect of no drawn kind (not a Circle1Frag, so never a parent).
class Placeholder : public DemoFX {
 public:
  explicit Placeholder(bool isAlive = true) { alive = isAlive; }
  ~Placeholder() override { ++destroyed; }
  void Render(float) override {
    if (onRender) onRender();
  }
  void Done() override { ++doneCalls; }
  std::function<void()> onRender;
  static int destroyed;
  static int doneCalls;
};
int Placeholder::destroyed = 0;
int Placeholder::doneCalls = 0;

bool ChanceStaysQuiet(uint32_t s) { return DrawsAfter(s, 1)[0] % 10 != 1; }

class Scheduler : public OffscreenGL {
 protected:
  void SetUp() override {
    ResetShow();
    before = scheduleCounts();
    OffscreenGL::SetUp();
    // Every slot: one scene from frame 1 to frame 36 around a single triangle.
    WriteFile("slot.anim", "1 locz 2 linear constant  0 0 1 0 2 0  35 1 36 1 37 1\n");
    WriteFile("slot.mesh", "g leaf\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nf 0 1 2\n");
    WriteFile("path.timeline", "2  0 0 0 0 0 0  1 1 1 1 1 1\n");
    for (int i = 0; i < 4; ++i) {
      Flora0Frag::anim[i] = new Animator("slot.anim");
      Flora0Frag::mesh[i] = new Mesh("slot.mesh");
      Flora0Frag::used[i] = false;
    }
    std::ifstream path("path.timeline");
    Circle1Frag::moveTL.Load(path);
    Circle1Frag::tex = new Texture(4, 4, 4, GL_TEXTURE_2D, 0);
    Circle2Frag::tex = new Texture(4, 4, 4, GL_TEXTURE_2D, 0);
    Circle2Frag::tex3 = new Texture(4, 4, 4, GL_TEXTURE_2D, 0);
    startDemoTime = 0.0f;
    window.SetTime(30.0);
    MusicSetTestSpectrum(bands.data());
  }
  void TearDown() override {
    for (DemoFX* fx : frags) delete fx;
    frags.clear();
    ReleaseShowAssets();
    ResetShow();
    OffscreenGL::TearDown();
  }

  // The spectrum the scheduler sees from now on: silent but for bands 1 and 17.
  void Bands(float band1, float band17) {
    bands[1] = band1;
    bands[17] = band17;
    MusicSetTestSpectrum(bands.data());
  }

  void Fill(int n) {
    for (int i = 0; i < n; ++i) frags.push_back(new Placeholder);
  }
  int CountType(int type) {
    int n = 0;
    for (DemoFX* fx : frags) n += fx->type == type;
    return n;
  }

  // One frame at the clock's time that runs exactly one tick of the spawn
  // rules: the tick due then.
  void Frame(float dt) {
    scheduleClock().Restart(ShowSeconds());
    processFX(dt);
  }

  // Effects a spawn rule created since the test started.
  long Spawned(long ScheduleCounts::*rule) const { return scheduleCounts().*rule - before.*rule; }

  std::array<float, 512> bands{};  // silent until a test raises a band
  ScheduleCounts before;
  ScratchDir dir;
};

}  // namespace

TEST_F(Scheduler, SilenceWithAnEmptyListDrawsOneChancePickAndCreatesNothing) {
  uint32_t s = FindState(ChanceStaysQuiet);
  SetRandomState(s);
  Frame(0.016f);
  EXPECT_TRUE(frags.empty());
  EXPECT_EQ(RandomState(), NextState(s)) << "exactly one draw: the chance rule's first pick";
  EXPECT_EQ(Spawned(&ScheduleCounts::bass), 0);
}

TEST_F(Scheduler, ChanceAppendsACircleOnOneInTenTwice) {
  uint32_t s = FindState([](uint32_t st) {
    std::vector<int> d = DrawsAfter(st, 2);
    return d[0] % 10 == 1 && d[1] % 10 == 1;
  });
  SetRandomState(s);
  Frame(0.016f);
  ASSERT_EQ(frags.size(), 1u);
  EXPECT_EQ(frags.back()->type, 1);
  EXPECT_EQ(Spawned(&ScheduleCounts::chanceCircle1), 1);
}

TEST_F(Scheduler, BassAndMidTogetherAtFourteenMakeSixteenWithSlotOneInFront) {
  Fill(14);
  Bands(0.5f, 0.5f);
  window.SetTime(75.0);
  Frame(0.016f);
  ASSERT_EQ(frags.size(), 16u);
  auto* flora = dynamic_cast<Flora0Frag*>(frags.front());
  ASSERT_NE(flora, nullptr);
  EXPECT_TRUE(flora->alive);
  EXPECT_EQ(flora->slot, 1);
  EXPECT_EQ(flora->time, Flora0Frag::anim[1]->startFrame);
  EXPECT_TRUE(Flora0Frag::used[1]);
  EXPECT_EQ(frags.back()->type, 1) << "the bass rule appended the 15th";
  EXPECT_EQ(Spawned(&ScheduleCounts::bass), 1);
  EXPECT_EQ(Spawned(&ScheduleCounts::midForced), 1);
}

TEST_F(Scheduler, ForcedSlotOneIsTakenEvenWhenAlreadyUsed) {
  Fill(15);
  Flora0Frag::used[1] = true;
  Bands(0.0f, 0.5f);
  window.SetTime(75.0);
  Frame(0.016f);
  ASSERT_EQ(frags.size(), 16u);
  EXPECT_EQ(static_cast<Flora0Frag*>(frags.front())->slot, 1);
}

TEST_F(Scheduler, SixteenEffectsCreateNothing) {
  Fill(16);
  Bands(0.9f, 0.9f);
  window.SetTime(100.0);
  std::list<DemoFX*> before = frags;
  for (uint32_t s : {FindState(ChanceStaysQuiet), FindState([](uint32_t st) {
                       std::vector<int> d = DrawsAfter(st, 2);
                       return d[0] % 10 == 1 && d[1] % 10 == 1;
                     })}) {
    SetRandomState(s);
    Frame(0.016f);
    EXPECT_EQ(frags, before);
  }
}

TEST_F(Scheduler, NoFloraBeforeSeventySecondsWhateverTheSpectrum) {
  Bands(0.0f, 1.0f);
  for (double t : {10.0, 69.99, 70.0}) {
    window.SetTime(t);
    Frame(0.016f);
    EXPECT_EQ(CountType(3), 0) << "t = " << t;
  }
  window.SetTime(70.02);  // the tick at 70 + 1/60 s
  Frame(0.016f);
  EXPECT_EQ(CountType(3), 1);
  EXPECT_EQ(frags.front()->type, 3) << "scenes go in front, drawn beneath the circles";
}

TEST_F(Scheduler, ThresholdsAreStrict) {
  Bands(0.3f, 0.1f);
  window.SetTime(100.0);
  SetRandomState(FindState(ChanceStaysQuiet));
  Frame(0.016f);
  // 0.3f and 0.1f widen to doubles just above 0.3 and 0.1.
  EXPECT_EQ(frags.size(), 2u);
  Bands(0.29999998f, 0.099999994f);
  for (DemoFX* fx : frags) delete fx;
  frags.clear();
  SetRandomState(FindState(ChanceStaysQuiet));
  Frame(0.016f);
  EXPECT_TRUE(frags.empty());
}

TEST_F(Scheduler, FinishedNeighboursAndTheFinishedLastAreRetiredInOnePass) {
  for (bool alive : {true, false, false, true, false}) frags.push_back(new Placeholder(alive));
  Placeholder::destroyed = Placeholder::doneCalls = 0;
  SetRandomState(FindState(ChanceStaysQuiet));
  Frame(0.016f);
  EXPECT_EQ(frags.size(), 2u);
  for (DemoFX* fx : frags) EXPECT_TRUE(fx->alive);
  EXPECT_EQ(Placeholder::doneCalls, 3);
  EXPECT_EQ(Placeholder::destroyed, 3);
}

TEST_F(Scheduler, FloraWhoseTenCandidatesAreAllTakenChangesNoSlot) {
  bool taken[4] = {true, true, false, true};
  for (int i = 0; i < 4; ++i) Flora0Frag::used[i] = taken[i];
  uint32_t s = FindState([](uint32_t st) {
    for (int d : DrawsAfter(st, 10))
      if (d % 4 == 2) return false;
    return DrawsAfter(st, 11)[10] % 10 != 1;
  });
  Bands(0.0f, 0.5f);
  window.SetTime(80.0);
  SetRandomState(s);
  Frame(0.016f);
  ASSERT_EQ(frags.size(), 1u);
  auto* flora = static_cast<Flora0Frag*>(frags.front());
  EXPECT_FALSE(flora->alive);
  EXPECT_EQ(flora->slot, -1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Flora0Frag::used[i], taken[i]);

  Bands(0.0f, 0.0f);
  SetRandomState(FindState(ChanceStaysQuiet));
  Frame(0.016f);
  EXPECT_TRUE(frags.empty()) << "retired in the next call";
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Flora0Frag::used[i], taken[i]) << "its Done gives back nothing";
}

TEST_F(Scheduler, FloraTakesTheFirstFreeCandidate) {
  Flora0Frag::used[0] = Flora0Frag::used[1] = true;
  uint32_t s = FindState([](uint32_t st) {
    std::vector<int> d = DrawsAfter(st, 3);
    return d[0] % 4 < 2 && d[1] % 4 == 3 && d[2] % 4 == 2;
  });
  Bands(0.0f, 0.5f);
  window.SetTime(80.0);
  SetRandomState(s);
  Frame(0.016f);
  auto* flora = static_cast<Flora0Frag*>(frags.front());
  EXPECT_EQ(flora->slot, 3);
  EXPECT_TRUE(Flora0Frag::used[3]);
  EXPECT_FALSE(Flora0Frag::used[2]);
}

TEST_F(Scheduler, DoneGivesTheSlotBackInTheFrameTheSceneEnds) {
  auto* flora = new Flora0Frag;
  flora->alive = true;
  flora->slot = 2;
  flora->time = 35.0f;
  Flora0Frag::used[2] = true;
  frags.push_back(flora);
  SetRandomState(FindState(ChanceStaysQuiet));
  Frame(0.05f);
  EXPECT_TRUE(frags.empty());
  EXPECT_FALSE(Flora0Frag::used[2]);
}

TEST_F(Scheduler, SpinningSpriteWithoutAParentIsRetiredInTheNextCall) {
  uint32_t s = FindState([](uint32_t st) {
    std::vector<int> d = DrawsAfter(st, 2);
    return d[0] % 10 == 1 && d[1] % 10 == 4;
  });
  SetRandomState(s);
  Frame(0.016f);
  ASSERT_EQ(frags.size(), 1u);
  EXPECT_EQ(frags.back()->type, 2);
  EXPECT_FALSE(frags.back()->alive);
  EXPECT_EQ(RandomState(), StateAfter(s, 2)) << "no parent: no initialisation draws";
  SetRandomState(FindState(ChanceStaysQuiet));
  Frame(0.016f);
  EXPECT_TRUE(frags.empty());
}

TEST_F(Scheduler, SpinningSpriteFollowsTheFirstLiveCircle) {
  frags.push_back(new Placeholder);
  frags.push_back(new Circle1Frag);
  frags.push_back(new Circle1Frag);
  auto* parent = static_cast<Circle1Frag*>(*std::next(frags.begin()));
  uint32_t s = FindState([](uint32_t st) {
    std::vector<int> d = DrawsAfter(st, 2);
    return d[0] % 10 == 1 && d[1] % 10 == 3;
  });
  SetRandomState(s);
  Frame(0.016f);
  auto* sprite = dynamic_cast<Circle2Frag*>(frags.back());
  ASSERT_NE(sprite, nullptr);
  EXPECT_TRUE(sprite->alive);
  EXPECT_EQ(sprite->pos.x, parent->pos1.x);
  EXPECT_EQ(sprite->time, parent->time);
}

TEST_F(Scheduler, WithoutASpectrumBothBandsAreSilentAndChanceGoesOn) {
  MusicSetTestSpectrum(nullptr);
  window.SetTime(100.0);
  SetRandomState(FindState([](uint32_t st) {
    std::vector<int> d = DrawsAfter(st, 2);
    return d[0] % 10 == 1 && d[1] % 10 == 1;
  }));
  Frame(0.016f);
  EXPECT_EQ(FFT, nullptr);
  ASSERT_EQ(frags.size(), 1u);
  EXPECT_EQ(Spawned(&ScheduleCounts::chanceCircle1), 1);
  EXPECT_EQ(Spawned(&ScheduleCounts::bass), 0);
}

TEST_F(Scheduler, EachEffectStartsFromTheFramesBaseState) {
  auto* messy = new Placeholder;
  messy->onRender = [] {
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glColor4f(0.2f, 0.3f, 0.4f, 0.5f);
  };
  bool blendSeen = false, depthSeen = true;
  auto* probe = new Placeholder;
  probe->onRender = [&] {
    blendSeen = glIsEnabled(GL_BLEND);
    depthSeen = glIsEnabled(GL_DEPTH_TEST) || glIsEnabled(GL_LIGHTING);
  };
  frags.push_back(messy);
  frags.push_back(probe);
  glEnable(GL_BLEND);
  SetRandomState(FindState(ChanceStaysQuiet));
  Frame(0.016f);
  EXPECT_TRUE(blendSeen);
  EXPECT_FALSE(depthSeen);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  GLint depth = -1;
  glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 0);
}

// A 20 fps frame runs three ticks, each at its own show time: a circle
// ornament made at 20 s sharp draws no sprites, one after it does; and
// ticks at or before the effects' start spawn nothing.
TEST_F(Scheduler, EachTickSpawnsAtItsOwnShowTime) {
  Bands(0.5f, 0.0f);
  const struct {
    double restart;  // the clock's next tick is the one due here
    double frame;    // the frame's show time
    std::vector<bool> sprites;
  } cases[] = {
      {19.99, 20.0 + 1.0 / 60.0, {false, false, true}},  // ticks at 19.983, 20 and 20.017 s
      {4.99, 5.0 + 1.0 / 60.0, {false}},                 // 4.983 and 5 s spawn nothing
  };
  for (const auto& c : cases) {
    for (DemoFX* fx : frags) delete fx;
    frags.clear();
    window.SetTime(c.restart);
    scheduleClock().Restart(ShowSeconds());
    window.SetTime(c.frame);
    SetRandomState(FindState(ChanceStaysQuiet));
    processFX(0.05f);
    std::vector<bool> sprites;
    for (DemoFX* fx : frags) {
      if (fx->type == 1) sprites.push_back(static_cast<Circle1Frag*>(fx)->drawSprites);
    }
    EXPECT_EQ(sprites, c.sprites) << "frame at " << c.frame;
  }
}

// Kicks in stereo, then the same kicks with one channel in opposite phase,
// which the server's mono mix would cancel: each listened to afresh.
TEST_F(Scheduler, ListeningSpawnsOrnamentsFromKicksTheDesktopPlaysAndNoneFromSilence) {
  PulseDaemon daemon;
  ASSERT_TRUE(daemon.Ready());
  Groove kicks;
  kicks.seconds = 10.0;  // enough kicks that their count varies by less than a tenth
  Log::Start("zarv.log", false);
  MusicSetTestSpectrum(nullptr);
  // Frames every 10 ms, the show clock following the real one, so that a
  // loaded machine runs fewer frames but as many ticks; each frame's effects
  // are retired in the next, so the cap never holds a spawn back.
  const auto frames = [&](double seconds) {
    const auto start = std::chrono::steady_clock::now();
    const double from = window.Time();
    for (double elapsed = 0.0; elapsed < seconds;
         elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()) {
      window.SetTime(from + elapsed);
      processFX(0.01f);
      for (DemoFX* fx : frags) fx->alive = false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  };
  std::vector<long> spawned;
  for (const float right : {1.0f, -1.0f}) {
    ASSERT_TRUE(WriteChannels("kicks.wav", GrooveSamples(kicks), 44100, {1.0f, right}, WAV_16));
    MusicListen("", SpawnBandFits());
    const long before = Spawned(&ScheduleCounts::bass);
    frames(1.5);
    EXPECT_EQ(Spawned(&ScheduleCounts::bass), before) << "silence";
    FILE* player =
        popen(PulseDaemon::PlayCommand("kicks.wav", static_cast<int>(kicks.seconds) + 30).c_str(), "r");
    ASSERT_NE(player, nullptr);
    // The null sink plays about a second after it takes the sound.
    frames(kicks.seconds + 1.5);
    pclose(player);
    MusicDone();
    spawned.push_back(Spawned(&ScheduleCounts::bass) - before);
  }
  Log::End();
  EXPECT_GT(spawned[0], 30);
  EXPECT_NEAR(spawned[1], spawned[0], 0.1 * spawned[0]) << "in opposite phase";
}
