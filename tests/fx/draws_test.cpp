// The random parameters of the circle effects: for many generator states the
// values equal those computed here from the same sequence of draws, and each
// construction takes exactly its number of draws.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "assets/texture.h"
#include "foundation/generator.h"
#include "fx/circle1frag.h"
#include "fx/circle2frag.h"
#include "fx/flora0frag.h"
#include "fx/showclock.h"
#include "fx_support.h"
#include "support/offscreen_gl.h"

namespace {

// The palette as 0..255 integers.
constexpr int PALETTE[12][3] = {
    {249, 246, 255}, {238, 235, 236}, {231, 227, 208}, {219, 222, 206}, {206, 213, 210}, {197, 181, 146},
    {94, 116, 117},  {138, 126, 77},  {173, 144, 73},  {165, 114, 64},  {139, 69, 63},   {76, 71, 64},
};

class Draws : public OffscreenGL {
 protected:
  void SetUp() override {
    OffscreenGL::SetUp();
    Circle2Frag::tex = new Texture(1, 1, 4, GL_TEXTURE_2D, 0);
    Circle2Frag::tex3 = new Texture(1, 1, 4, GL_TEXTURE_2D, 0);
    startDemoTime = 0.0f;
    window.SetTime(1.0);
  }
  void TearDown() override {
    delete Circle2Frag::tex;
    delete Circle2Frag::tex3;
    Circle2Frag::tex = nullptr;
    Circle2Frag::tex3 = nullptr;
    OffscreenGL::TearDown();
  }
};

void ExpectCircle1FromDraws(const Circle1Frag& c, const std::vector<int>& d) {
  EXPECT_EQ(c.type, 1);
  EXPECT_TRUE(c.alive);
  EXPECT_EQ(c.time, 0.0f);
  EXPECT_EQ(c.pos1.x, 4.0f * Unit(d[0]) - 2.0f);
  EXPECT_EQ(c.pos1.y, 5.0f * Unit(d[1]) - 2.5f);
  EXPECT_EQ(c.pos2.x, 4.0f * Unit(d[2]) - 2.0f);
  EXPECT_EQ(c.pos2.y, 5.0f * Unit(d[3]) - 2.5f);
  const float s1 = 1.0f + 0.7f * Unit(d[4]);
  const float s2 = 1.0f + 0.7f * Unit(d[5]);
  EXPECT_EQ(c.speed1, d[6] % 2 == 1 ? -s1 : s1);
  EXPECT_EQ(c.speed2, d[7] % 2 == 1 ? -s2 : s2);
  EXPECT_EQ(c.life, 2.0f + 3.0f * Unit(d[8]));
  const int* rgb = PALETTE[d[9] % 12];
  EXPECT_EQ(c.col.r, rgb[0] / 255.0f);
  EXPECT_EQ(c.col.g, rgb[1] / 255.0f);
  EXPECT_EQ(c.col.b, rgb[2] / 255.0f);
  EXPECT_EQ(c.col.a, 0.4f);
  const float r1 = 0.4f + Unit(d[10]);
  const float r2 = 0.4f + Unit(d[11]);
  EXPECT_EQ(c.radius1, r1);
  EXPECT_EQ(c.radius2, r2);
  const float phi1 = 6.28318f * Unit(d[12]);
  const float phi2 = 6.28318f * Unit(d[13]);
  EXPECT_EQ(c.rim1.x, r1 * std::sin(phi1));
  EXPECT_EQ(c.rim1.y, r1 * std::cos(phi1));
  EXPECT_EQ(c.rim2.x, r2 * std::sin(phi2));
  EXPECT_EQ(c.rim2.y, r2 * std::cos(phi2));
  EXPECT_EQ(c.ctrl.x, 7.0f * Unit(d[14]) - 3.5f);
  EXPECT_EQ(c.ctrl.y, 6.0f * Unit(d[15]) - 3.0f);
}

}  // namespace

TEST_F(Draws, Circle1FragTakesSixteenDrawsInOrder) {
  int negated1 = 0;
  int negated2 = 0;
  for (uint32_t s = 1; s < 400; s += 7) {
    SCOPED_TRACE(s);
    SetRandomState(s);
    Circle1Frag c;
    EXPECT_EQ(RandomState(), StateAfter(s, 16));
    const std::vector<int> d = DrawsAfter(s, 16);
    ExpectCircle1FromDraws(c, d);
    negated1 += c.speed1 < 0.0f;
    negated2 += c.speed2 < 0.0f;
  }
  // Both signs of both speeds came up, so the coins were checked both ways.
  EXPECT_GT(negated1, 0);
  EXPECT_LT(negated1, 57);
  EXPECT_GT(negated2, 0);
  EXPECT_LT(negated2, 57);
}

TEST_F(Draws, TheGeneratorAtProgramStartGivesTheFirstOrnamentEveryRun) {
  // Never seeded: the first effect of every run has the same parameters.
  SetRandomState(1);
  Circle1Frag first;
  ExpectCircle1FromDraws(first, DrawsAfter(1, 16));
  EXPECT_GE(first.life, 2.0f);
  EXPECT_LE(first.life, 5.0f);
  EXPECT_GE(first.radius1, 0.4f);
  EXPECT_LE(first.radius1, 1.4f);
}

TEST_F(Draws, SpritesOnlyForOrnamentsBornAfterTwentySeconds) {
  startDemoTime = 100.0f;
  window.SetTime(120.0);
  EXPECT_FALSE(Circle1Frag().drawSprites) << "exactly 20 s is not past 20 s";
  window.SetTime(120.01);
  EXPECT_TRUE(Circle1Frag().drawSprites);
  window.SetTime(50.0);
  EXPECT_FALSE(Circle1Frag().drawSprites) << "before the show clock started";
}

TEST_F(Draws, Circle2FragTakesFourDrawsAndItsParentsState) {
  int heads = 0;
  for (uint32_t s = 3; s < 400; s += 11) {
    SCOPED_TRACE(s);
    SetRandomState(s);
    Circle1Frag parent;
    parent.time = 1.25f;
    parent.col.a = 0.1f;  // already fading
    const uint32_t before = RandomState();
    Circle2Frag child;
    EXPECT_EQ(RandomState(), before) << "construction draws nothing";
    child.InitFrom(parent);
    EXPECT_EQ(RandomState(), StateAfter(before, 4));
    const std::vector<int> d = DrawsAfter(before, 4);
    EXPECT_TRUE(child.alive);
    EXPECT_EQ(child.type, 2);
    EXPECT_EQ(child.scale, 0.4f + Unit(d[0]));
    EXPECT_EQ(child.texture, d[3] % 2 == 1 ? Circle2Frag::tex : Circle2Frag::tex3);
    heads += d[3] % 2;
    EXPECT_EQ(child.col.r, parent.col.r);
    EXPECT_EQ(child.col.g, parent.col.g);
    EXPECT_EQ(child.col.b, parent.col.b);
    EXPECT_EQ(child.col.a, 0.1f);
    EXPECT_EQ(child.time, 1.25f);
    EXPECT_EQ(child.pos.x, parent.pos1.x);
    EXPECT_EQ(child.pos.y, parent.pos1.y);
    EXPECT_EQ(child.speed, parent.speed1);
    EXPECT_EQ(child.life, 1.5f * parent.life);
  }
  EXPECT_GT(heads, 0);
  EXPECT_LT(heads, 37);
}

TEST_F(Draws, NewEffectsWithoutParametersStartFinished) {
  const uint32_t before = RandomState();
  Circle2Frag circle;
  EXPECT_EQ(circle.type, 2);
  EXPECT_FALSE(circle.alive);
  EXPECT_EQ(circle.time, 0.0f);
  EXPECT_EQ(circle.col.r, 1.0f);
  EXPECT_EQ(circle.col.g, 1.0f);
  EXPECT_EQ(circle.col.b, 1.0f);
  EXPECT_EQ(circle.col.a, 1.0f);
  EXPECT_EQ(circle.pos.x, 0.0f);
  EXPECT_EQ(circle.pos.y, 0.0f);
  EXPECT_EQ(circle.texture, nullptr);
  Flora0Frag flora;
  EXPECT_EQ(flora.type, 3);
  EXPECT_FALSE(flora.alive);
  EXPECT_EQ(flora.slot, -1);
  EXPECT_EQ(RandomState(), before);
}
