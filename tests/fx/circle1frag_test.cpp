// The circle ornament: its sixteen random parameters, then as drawn: its
// loops, link and sprites where its parameters put them (feedback
// vertices), the fade of its last second, and the frame at the end of its life.
#include "fx/circle1frag.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "assets/texture.h"
#include "foundation/generator.h"
#include "fx/showclock.h"
#include "fx_support.h"
#include "support/generator_draws.h"
#include "support/offscreen_gl.h"
#include "support/scratch_dir.h"

namespace {

class Circle1Render : public OffscreenGL {
 protected:
  void SetUp() override {
    OffscreenGL::SetUp();
    WriteFile("flat.timeline", FLAT_PATH);
    std::ifstream path("flat.timeline");
    Circle1Frag::moveTL.Load(path);
    ASSERT_FLOAT_EQ(Circle1Frag::moveTL.Eval(0.3f), 0.5f);
    Circle1Frag::tex = new Texture(4, 4, 4, GL_TEXTURE_2D, 0);
    startDemoTime = 0.0f;
    window.SetTime(1.0);
    fx.drawSprites = false;
    Place(fx);
  }
  void TearDown() override {
    delete Circle1Frag::tex;
    Circle1Frag::tex = nullptr;
    OffscreenGL::TearDown();
  }

  // Known parameters, everything well inside the view; sprites as born.
  static void Place(Circle1Frag& fx) {
    fx.pos1 = Vector2(-1.5f, 0.0f);
    fx.pos2 = Vector2(1.0f, 0.5f);
    fx.speed1 = 1.0f;   // first centre at (-1, 0) for the path's 0.5
    fx.speed2 = -1.0f;  // second centre at (0.5, 0.5)
    fx.radius1 = 0.8f;
    fx.radius2 = 0.5f;
    fx.rim1 = Vector2(0.8f, 0.0f);
    fx.rim2 = Vector2(0.0f, -0.5f);
    fx.ctrl = Vector2(0.0f, 2.0f);
    fx.life = 3.0f;
    fx.col = RGBA(0.2f, 0.6f, 1.0f, 0.4f);
  }

  // One frame reaching age `age`.
  Emitted RenderAt(float age) {
    fx.time = 0.0f;
    return Emit([&] { fx.Render(age); });
  }

  ScratchDir dir;
  Circle1Frag fx;
};

void ExpectAt(const FeedbackVertex& v, double x, double y) {
  EXPECT_NEAR(v.x, (x + 4.0) * 100.0, 0.02);
  EXPECT_NEAR(v.y, (y + 3.0) * 100.0, 0.02);
}

void ExpectLoop(const std::vector<FeedbackVertex>& loop, double cx, double cy, double r) {
  ASSERT_EQ(loop.size(), 66u) << "65 points and the closing return to the first";
  for (size_t i = 0; i < 65; ++i) {
    SCOPED_TRACE(i);
    const double theta = i * (2.0 * M_PI / 64.0);
    ExpectAt(loop[i], cx + r * std::sin(theta), cy + r * std::cos(theta));
  }
  EXPECT_EQ(loop[65].x, loop[0].x);
  EXPECT_EQ(loop[65].y, loop[0].y);
}

// The link from the first rim (-0.2, 0) past the control point (0, 2) to
// the second rim (0.5, 0), at t = 0, 1/8, ..., 1: worked out by hand from
// the quadratic Bezier weights (1 - t)^2, 2 t (1 - t) and t^2.
constexpr double LINK_AT_EIGHTHS[9][2] = {{-0.2, 0.0},          {-0.1453125, 0.4375}, {-0.08125, 0.75},
                                          {-0.0078125, 0.9375}, {0.075, 1.0},         {0.1671875, 0.9375},
                                          {0.26875, 0.75},      {0.3796875, 0.4375},  {0.5, 0.0}};

}  // namespace

TEST_F(Circle1Render, TheFirstOrnamentOfEveryRunHasFixedParameters) {
  // Worked out from the reference generator's first sixteen draws (16838,
  // 5758, 10113, 17515, 31051, 5627, 23010, 7419, 16212, 4086, 2749, 12767,
  // 9084, 12060, 32225, 17543).
  SetRandomState(1);
  Circle1Frag c;
  EXPECT_EQ(RandomState(), StateAfter(1, 16));
  EXPECT_EQ(c.type, 1);
  EXPECT_TRUE(c.alive);
  EXPECT_EQ(c.time, 0.0f);
  const float got[] = {c.pos1.x,  c.pos1.y, c.pos2.x, c.pos2.y, c.speed1, c.speed2, c.life,  c.radius1,
                       c.radius2, c.rim1.x, c.rim1.y, c.rim2.x, c.rim2.y, c.ctrl.x, c.ctrl.y};
  const float want[] = {0.0554827f,  -1.6213721f, -0.7654653f, 0.1726585f, 1.6633412f,
                        -1.1202094f, 3.4842982f,  0.4838954f,  0.7896298f, 0.4768302f,
                        -0.0823873f, 0.5821840f,  -0.5334576f, 3.3842128f, 0.2123173f};
  for (size_t i = 0; i < sizeof want / sizeof want[0]; ++i) EXPECT_NEAR(got[i], want[i], 2e-5f) << i;
  // The seventh palette colour, 94 116 117, at 40 %.
  EXPECT_FLOAT_EQ(c.col.r, 94 / 255.0f);
  EXPECT_FLOAT_EQ(c.col.g, 116 / 255.0f);
  EXPECT_FLOAT_EQ(c.col.b, 117 / 255.0f);
  EXPECT_EQ(c.col.a, 0.4f);
}

TEST_F(Circle1Render, EveryOrnamentTakesSixteenDrawsAndStaysInItsRanges) {
  int negative1 = 0, negative2 = 0, states = 0;
  bool colourSeen[12] = {};
  for (uint32_t s = 2; s < 4000; s += 37, ++states) {
    SCOPED_TRACE(s);
    SetRandomState(s);
    Circle1Frag c;
    EXPECT_EQ(RandomState(), StateAfter(s, 16));
    for (const Vector2& p : {c.pos1, c.pos2}) {
      EXPECT_LE(std::fabs(p.x), 2.0f);
      EXPECT_LE(std::fabs(p.y), 2.5f);
    }
    for (float speed : {c.speed1, c.speed2}) {
      EXPECT_GE(std::fabs(speed), 1.0f);
      EXPECT_LE(std::fabs(speed), 1.7f);
    }
    negative1 += c.speed1 < 0.0f;
    negative2 += c.speed2 < 0.0f;
    EXPECT_GE(c.life, 2.0f);
    EXPECT_LE(c.life, 5.0f);
    for (float radius : {c.radius1, c.radius2}) {
      EXPECT_GE(radius, 0.4f);
      EXPECT_LE(radius, 1.4f);
    }
    // The curve starts and ends on the circles' rims.
    EXPECT_NEAR(std::hypot(c.rim1.x, c.rim1.y), c.radius1, 1e-5f);
    EXPECT_NEAR(std::hypot(c.rim2.x, c.rim2.y), c.radius2, 1e-5f);
    EXPECT_LE(std::fabs(c.ctrl.x), 3.5f);
    EXPECT_LE(std::fabs(c.ctrl.y), 3.0f);
    int match = -1;
    for (int k = 0; k < 12; ++k)
      if (c.col.r == gcol[k][0] && c.col.g == gcol[k][1] && c.col.b == gcol[k][2]) match = k;
    ASSERT_GE(match, 0) << "a palette colour";
    colourSeen[match] = true;
    EXPECT_EQ(c.col.a, 0.4f);
  }
  // Both directions of both circles and every palette colour came up.
  EXPECT_GT(negative1, 0);
  EXPECT_LT(negative1, states);
  EXPECT_GT(negative2, 0);
  EXPECT_LT(negative2, states);
  for (bool seen : colourSeen) EXPECT_TRUE(seen);
}

TEST_F(Circle1Render, LoopsAndLinkLieWhereTheParametersSay) {
  const Emitted e = RenderAt(1.0f);
  ASSERT_EQ(e.lines.size(), 3u);
  EXPECT_TRUE(e.polygons.empty()) << "no sprites without drawSprites";
  ExpectLoop(e.lines[0], -1.0, 0.0, 0.8);
  ExpectLoop(e.lines[1], 0.5, 0.5, 0.5);
  const std::vector<FeedbackVertex>& link = e.lines[2];
  ASSERT_EQ(link.size(), 21u);
  // Steps of 0.05: every fifth point is at a quarter; the last is the second rim.
  for (int i = 0; i <= 20; i += 5) {
    SCOPED_TRACE(i);
    ExpectAt(link[i], LINK_AT_EIGHTHS[i / 5 * 2][0], LINK_AT_EIGHTHS[i / 5 * 2][1]);
  }
  for (const auto& run : e.lines) {
    for (const FeedbackVertex& v : run) {
      EXPECT_FLOAT_EQ(v.colour[0], 0.2f);
      EXPECT_FLOAT_EQ(v.colour[1], 0.6f);
      EXPECT_FLOAT_EQ(v.colour[2], 1.0f);
      EXPECT_FLOAT_EQ(v.colour[3], 0.4f);
    }
  }
  float width = 0.0f;
  glGetFloatv(GL_LINE_WIDTH, &width);
  EXPECT_EQ(width, 4.0f);
}

// Drawn with more pixels, the lines keep their share of the picture: 4 of
// 600 rows, so 7 of 1080 (7.2 rounded by the rasteriser).
TEST_F(Circle1Render, LinesAreFourOfTheShowsPixelsWideAtAnyDrawnSize) {
  for (const auto& [rows, lineRows] : {std::pair{600, 4}, std::pair{1080, 7}}) {
    SCOPED_TRACE(rows);
    window.Close();
    window.drawnWidth = rows * 4 / 3;
    window.drawnHeight = rows;
    ASSERT_TRUE(window.Open(800, 600, 16, 0, true)) << window.Error();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    fx.time = 0.0f;
    fx.Render(1.0f);
    // Up the column through the top of the first loop, at (-1, 0.8) in the view.
    const float scale = rows / 600.0f;
    const int column = static_cast<int>(300 * scale);
    const std::vector<unsigned char> pixels = window.ReadPixels();
    int lit = 0;
    for (int y = static_cast<int>(360 * scale); y < static_cast<int>(400 * scale); ++y) {
      lit += pixels[(static_cast<size_t>(y) * window.PixelWidth() + column) * 4 + 2] > 0 ? 1 : 0;
    }
    EXPECT_EQ(lit, lineRows);
  }
}

TEST_F(Circle1Render, CentresFollowThePathBySpeedAndDirection) {
  // A path at 0 leaves the circles on their base centres.
  WriteFile("zero.timeline", "2  -0.1 0 0 0 0.1 0  0.9 0 1 0 1.1 0\n");
  std::ifstream zero("zero.timeline");
  Circle1Frag::moveTL.Load(zero);
  Emitted e = RenderAt(1.0f);
  ASSERT_EQ(e.lines.size(), 3u);
  ExpectAt(e.lines[0][0], -1.5, 0.8);
  ExpectAt(e.lines[1][0], 1.0, 1.0);

  std::ifstream flat("flat.timeline");
  Circle1Frag::moveTL.Load(flat);
  fx.speed1 = -1.0f;
  e = RenderAt(1.0f);
  ASSERT_EQ(e.lines.size(), 3u);
  ExpectAt(e.lines[0][0], -2.0, 0.8);  // a negative speed goes left
}

TEST_F(Circle1Render, AlphaHoldsUntilTheLastSecondThenFades) {
  const struct {
    float age;
    float alpha;
  } cases[] = {{0.5f, 0.4f},   {1.95f, 0.4f}, {2.0f, 0.4f},
               {2.05f, 0.38f}, {2.5f, 0.2f},  {2.9f, 0.4f * (3.0f - 2.9f)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.age);
    fx.col.a = 0.4f;
    const Emitted e = RenderAt(c.age);
    ASSERT_EQ(e.lines.size(), 3u);
    EXPECT_NEAR(e.lines[2][0].colour[3], c.alpha, 1e-6);
    EXPECT_NEAR(fx.col.a, c.alpha, 1e-6) << "the fade is kept in col";
  }
}

TEST_F(Circle1Render, AgeEqualToLifeStillDrawsTheNextFrameEnds) {
  fx.time = 2.0f;
  Emitted e = Emit([&] { fx.Render(1.0f); });
  ASSERT_EQ(fx.time, fx.life);
  EXPECT_TRUE(fx.alive);
  ASSERT_EQ(e.lines.size(), 3u);
  EXPECT_EQ(e.lines[0][0].colour[3], 0.0f);

  e = Emit([&] { fx.Render(0.001f); });
  EXPECT_FALSE(fx.alive);
  EXPECT_TRUE(e.empty());
}

TEST_F(Circle1Render, NineShrinkingSpritesAlongTheLinkOnlyWithDrawSprites) {
  fx.drawSprites = true;
  const Emitted e = RenderAt(1.5f);
  ASSERT_EQ(e.lines.size(), 3u);
  const auto quads = Quads(e.polygons);
  ASSERT_EQ(quads.size(), 9u);
  const double half = 0.7 * (1.0 - 1.5 / 3.0) * 100.0;  // pixels
  for (size_t i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    const double x = LINK_AT_EIGHTHS[i][0], y = LINK_AT_EIGHTHS[i][1];
    const auto& q = quads[i];
    // Corners in drawing order with their image coordinates.
    const int corner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const float st[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (int k = 0; k < 4; ++k) {
      EXPECT_NEAR(q[k].x, (x + 4.0) * 100.0 + corner[k][0] * half, 0.02);
      EXPECT_NEAR(q[k].y, (y + 3.0) * 100.0 + corner[k][1] * half, 0.02);
      EXPECT_EQ(q[k].tex[0], st[k][0]);
      EXPECT_EQ(q[k].tex[1], st[k][1]);
      EXPECT_FLOAT_EQ(q[k].colour[3], 0.4f);
    }
  }
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "the sprite image is switched off again";
}

TEST_F(Circle1Render, BornAtTwentySecondsNeverShowsSprites) {
  startDemoTime = 10.0f;
  window.SetTime(30.0);
  Circle1Frag born;
  Place(born);
  window.SetTime(31.0);  // past 20 s now, but not at its birth
  const Emitted e = Emit([&] { born.Render(0.5f); });
  EXPECT_EQ(e.lines.size(), 3u);
  EXPECT_TRUE(e.polygons.empty());

  window.SetTime(30.5);
  Circle1Frag later;
  Place(later);
  EXPECT_EQ(Quads(Emit([&] { later.Render(0.5f); }).polygons).size(), 9u);
}

TEST_F(Circle1Render, SpritesWithoutAnImageAreStillDrawn) {
  delete Circle1Frag::tex;
  Circle1Frag::tex = nullptr;
  fx.drawSprites = true;
  EXPECT_EQ(Quads(RenderAt(1.0f).polygons).size(), 9u);
}
