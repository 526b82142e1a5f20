// The trailing sprite: its four draws and what it takes from its parent;
// as drawn: nothing without a parent, the parent's
// opacity until its own last second, size from scale, position on the path,
// and one rotation angle for every sprite at a given moment.
#include "fx/circle2frag.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "assets/texture.h"
#include "foundation/generator.h"
#include "fx/circle1frag.h"
#include "fx/showclock.h"
#include "fx_support.h"
#include "support/generator_draws.h"
#include "support/offscreen_gl.h"
#include "support/scratch_dir.h"

namespace {

class Circle2Render : public OffscreenGL {
 protected:
  void SetUp() override {
    OffscreenGL::SetUp();
    WriteFile("flat.timeline", FLAT_PATH);
    std::ifstream path("flat.timeline");
    Circle1Frag::moveTL.Load(path);
    Circle2Frag::tex = new Texture(4, 4, 4, GL_TEXTURE_2D, 0);
    Circle2Frag::tex3 = new Texture(4, 4, 4, GL_TEXTURE_2D, 0);
    startDemoTime = 0.0f;
    window.SetTime(0.0);
    parent.pos1 = Vector2(-1.0f, 0.5f);
    parent.pos2 = Vector2(3.0f, -2.0f);  // the second circle plays no part
    parent.speed1 = 2.0f;
    parent.speed2 = -1.7f;
    parent.life = 4.0f;
    parent.time = 1.0f;
    parent.col = RGBA(1.0f, 0.5f, 0.25f, 0.3f);
  }
  void TearDown() override {
    delete Circle2Frag::tex;
    delete Circle2Frag::tex3;
    Circle2Frag::tex = nullptr;
    Circle2Frag::tex3 = nullptr;
    OffscreenGL::TearDown();
  }

  // The sprite one frame draws: its four corners in drawing order.
  std::vector<FeedbackVertex> Sprite(Circle2Frag& fx, float dt) {
    const auto quads = Quads(Emit([&] { fx.Render(dt); }).polygons);
    EXPECT_EQ(quads.size(), 1u);
    return quads.empty() ? std::vector<FeedbackVertex>() : quads[0];
  }

  ScratchDir dir;
  Circle1Frag parent;
};

// Window position of the middle of a quad.
void Centre(const std::vector<FeedbackVertex>& q, double& x, double& y) {
  x = (q[0].x + q[1].x + q[2].x + q[3].x) / 4.0;
  y = (q[0].y + q[1].y + q[2].y + q[3].y) / 4.0;
}

// Angle in degrees, counter-clockwise, of the quad's first edge.
double EdgeAngle(const std::vector<FeedbackVertex>& q) {
  return std::atan2(q[1].y - q[0].y, q[1].x - q[0].x) * 180.0 / M_PI;
}

}  // namespace

TEST_F(Circle2Render, InitFromTakesFourDrawsAndCopiesItsParent) {
  // The draws after a run's first ornament are 25089, 21183, 25137 and
  // 25566: scale 0.4 + 25089 / 32767, and the even last draw picks tex3.
  const uint32_t s = StateAfter(1, 16);
  SetRandomState(s);
  Circle2Frag child;
  child.InitFrom(parent);
  EXPECT_EQ(RandomState(), StateAfter(s, 4));
  EXPECT_TRUE(child.alive);
  EXPECT_NEAR(child.scale, 1.1656789f, 1e-6f);
  EXPECT_EQ(child.texture, Circle2Frag::tex3);
  EXPECT_EQ(child.col.r, 1.0f);
  EXPECT_EQ(child.col.g, 0.5f);
  EXPECT_EQ(child.col.b, 0.25f);
  EXPECT_EQ(child.col.a, 0.3f) << "a parent already fading passes its opacity on";
  EXPECT_EQ(child.time, 1.0f);
  EXPECT_EQ(child.pos.x, -1.0f);
  EXPECT_EQ(child.pos.y, 0.5f);
  EXPECT_EQ(child.speed, 2.0f);
  EXPECT_EQ(child.life, 6.0f);

  bool picked[2] = {false, false};
  for (uint32_t state = 3; state < 400; state += 11) {
    SetRandomState(state);
    Circle2Frag other;
    other.InitFrom(parent);
    picked[other.texture == Circle2Frag::tex] = true;
  }
  EXPECT_TRUE(picked[0] && picked[1]) << "both images come up";
}

TEST_F(Circle2Render, WithoutAParentNothingIsDrawnAndTheAgeStays) {
  const uint32_t before = RandomState();
  Circle2Frag orphan;
  EXPECT_EQ(RandomState(), before) << "construction draws nothing";
  EXPECT_EQ(orphan.type, 2);
  EXPECT_EQ(orphan.texture, nullptr);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(Emit([&] { orphan.Render(0.5f); }).empty());
  }
  EXPECT_EQ(orphan.time, 0.0f);
  EXPECT_FALSE(orphan.alive);
}

TEST_F(Circle2Render, SitsOnTheParentsPathSizedByScale) {
  Circle2Frag fx;
  fx.InitFrom(parent);
  fx.scale = 0.9f;
  const std::vector<FeedbackVertex> q = Sprite(fx, 0.5f);
  ASSERT_EQ(q.size(), 4u);
  double x = 0.0, y = 0.0;
  Centre(q, x, y);
  EXPECT_NEAR(x, WindowX(-1.0f + 0.5f * 2.0f), 0.02);
  EXPECT_NEAR(y, WindowY(0.5f), 0.02);
  // At timer 0 there is no turn: the side is 2 x scale view units.
  EXPECT_NEAR(q[1].x - q[0].x, 2.0 * 0.9 * 100.0, 0.02);
  EXPECT_NEAR(q[3].y - q[0].y, 2.0 * 0.9 * 100.0, 0.02);
  const float st[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(q[k].tex[0], st[k][0]);
    EXPECT_EQ(q[k].tex[1], st[k][1]);
  }
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FLOAT_EQ(fx.time, 1.5f);
}

TEST_F(Circle2Render, KeepsTheParentsFadedAlphaUntilItsOwnLastSecond) {
  Circle2Frag fx;
  fx.InitFrom(parent);
  ASSERT_EQ(fx.life, 6.0f);
  std::vector<FeedbackVertex> q = Sprite(fx, 3.0f);  // age 4
  ASSERT_EQ(q.size(), 4u);
  EXPECT_FLOAT_EQ(q[0].colour[0], 1.0f);
  EXPECT_FLOAT_EQ(q[0].colour[1], 0.5f);
  EXPECT_FLOAT_EQ(q[0].colour[2], 0.25f);
  EXPECT_FLOAT_EQ(q[0].colour[3], 0.3f);
  q = Sprite(fx, 1.0f);  // age 5: the last second starts again from 0.4
  ASSERT_EQ(q.size(), 4u);
  EXPECT_FLOAT_EQ(q[0].colour[3], 0.4f);
  q = Sprite(fx, 0.5f);
  ASSERT_EQ(q.size(), 4u);
  EXPECT_FLOAT_EQ(q[0].colour[3], 0.2f);
  q = Sprite(fx, 0.5f);  // exactly at the end of its life: still drawn
  ASSERT_EQ(q.size(), 4u);
  EXPECT_FLOAT_EQ(q[0].colour[3], 0.0f);
  EXPECT_TRUE(Emit([&] { fx.Render(0.01f); }).empty());
  EXPECT_FALSE(fx.alive);
}

TEST_F(Circle2Render, EverySpriteTurnsByTheRawTimer) {
  Circle2Frag a;
  a.InitFrom(parent);
  parent.pos1 = Vector2(1.0f, -1.0f);
  parent.time = 0.2f;
  Circle2Frag b;
  b.InitFrom(parent);
  a.scale = 0.6f;
  b.scale = 0.6f;
  // The show clock plays no part: only the platform timer counts.
  startDemoTime = 3.0f;
  window.SetTime(4.5);
  const std::vector<FeedbackVertex> qa = Sprite(a, 0.1f);
  const std::vector<FeedbackVertex> qb = Sprite(b, 0.7f);
  ASSERT_EQ(qa.size(), 4u);
  ASSERT_EQ(qb.size(), 4u);
  EXPECT_NEAR(EdgeAngle(qa), 45.0, 0.01);
  EXPECT_NEAR(EdgeAngle(qb), 45.0, 0.01);
  window.SetTime(13.0);
  EXPECT_NEAR(EdgeAngle(Sprite(a, 0.1f)), 130.0, 0.01);
}

TEST_F(Circle2Render, NoImageDrawsThePlainSquare) {
  delete Circle2Frag::tex;
  delete Circle2Frag::tex3;
  Circle2Frag::tex = nullptr;
  Circle2Frag::tex3 = nullptr;
  Circle2Frag fx;
  fx.InitFrom(parent);
  EXPECT_EQ(fx.texture, nullptr);
  EXPECT_EQ(Sprite(fx, 0.1f).size(), 4u);
}
