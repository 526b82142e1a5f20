// The timeline spline: normalising key times, rewriting handles, building
// Hermite segments, evaluating inside and outside [0, 1], and degenerate or
// hostile files.
#include "anim/timeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>

#include "support/scratch_dir.h"

namespace {

Timeline Loaded(const std::string& text) {
  WriteFile("t.timeline", text);
  std::ifstream in("t.timeline");
  Timeline t;
  t.Load(in);
  return t;
}

// The cubic Hermite segment through (x1, y1) with slope m1 and (x2, y2) with slope m2.
double Hermite(double x1, double y1, double m1, double x2, double y2, double m2, double t) {
  const double h = x2 - x1, u = (t - x1) / h;
  return (2 * u * u * u - 3 * u * u + 1) * y1 + (u * u * u - 2 * u * u + u) * h * m1 +
         (-2 * u * u * u + 3 * u * u) * y2 + (u * u * u - u * u) * h * m2;
}

}  // namespace

TEST(TimelineLoad, UnitRangeStaysAndHandlesBecomeThirdLengthMirrors) {
  ScratchDir dir;
  Timeline t = Loaded("2\n -0.25 -1  0 0  0.25 1\n 0.75 3  1 2  1.25 1\n");
  ASSERT_EQ(t.points.size(), 2u);
  ASSERT_EQ(t.coefs.size(), 1u);
  const Timeline::BezPoint& p = t.points[0];
  EXPECT_EQ(p.x, 0.0f);
  EXPECT_EQ(p.y, 0.0f);
  // Mirrored through the key and cut to a third: slope 4 becomes the right handle's.
  EXPECT_FLOAT_EQ(p.leftX, 0.25f / 3.0f);
  EXPECT_FLOAT_EQ(p.leftY, 1.0f / 3.0f);
  EXPECT_FLOAT_EQ(p.rightX, -0.25f / 3.0f);
  EXPECT_FLOAT_EQ(p.rightY, -1.0f / 3.0f);
  EXPECT_EQ(t.points[1].x, 1.0f);
  EXPECT_EQ(t.coefs[0].start, 0.0f);
  EXPECT_EQ(t.coefs[0].c0, 0.0f);
  EXPECT_FLOAT_EQ(t.coefs[0].c1, 4.0f);
}

TEST(TimelineLoad, PositiveStartIsShiftedAndScaled) {
  ScratchDir dir;
  Timeline t = Loaded("3  1 0 2 10 3 20   3 5 4 30 5 40   5 0 6 50 7 60");
  ASSERT_EQ(t.points.size(), 3u);
  EXPECT_EQ(t.points[0].x, 0.0f);
  EXPECT_EQ(t.points[1].x, 0.5f);
  EXPECT_EQ(t.points[2].x, 1.0f);
  // Handle times moved with their keys (to -0.25 and 0.25 around 0) before
  // being mirrored and cut to a third; values are never rescaled.
  EXPECT_FLOAT_EQ(t.points[0].leftX, 0.25f / 3.0f);
  EXPECT_FLOAT_EQ(t.points[0].rightX, -0.25f / 3.0f);
  EXPECT_FLOAT_EQ(t.points[1].leftX, 0.5f + 0.25f / 3.0f);
  EXPECT_EQ(t.points[1].y, 30.0f);
  EXPECT_FLOAT_EQ(t.points[2].rightY, 50.0f + (50.0f - 60.0f) / 3.0f);
}

TEST(TimelineLoad, StartAtOrBeforeZeroIsOnlyScaled) {
  ScratchDir dir;
  Timeline t = Loaded("3  -2 0 -1 1 0 2   -1 0 0 3 1 4   2 0 3 5 4 6");
  EXPECT_FLOAT_EQ(t.points[0].x, -1.0f / 3.0f);
  EXPECT_EQ(t.points[1].x, 0.0f);
  EXPECT_EQ(t.points[2].x, 1.0f);
  EXPECT_EQ(t.coefs.size(), t.points.size() - 1);
}

TEST(TimelineLoad, VerticalHandleGivesTheSteepSlope) {
  ScratchDir dir;
  // First key's right handle and second key's left handle straight above them.
  Timeline t = Loaded("2  -1 0 0 0 0 5   1 5 1 1 1 2");
  EXPECT_EQ(t.coefs[0].c1, 5729578.0f);
  // Worked by hand: the cubic from 0 to 1 over a unit step with that slope
  // at both ends is 11459154 x^3 - 17188731 x^2 + 5729578 x.
  EXPECT_FLOAT_EQ(t.coefs[0].c3, 11459154.0f);
  EXPECT_FLOAT_EQ(t.coefs[0].c2, -17188731.0f);
}

TEST(TimelineEval, FollowsTheHermiteSegmentsAndClampsOutsideTheRange) {
  ScratchDir dir;
  // Keys at 0, 0.4, 1 with file slopes 1, -2 and 0.5; the load mirrors each
  // handle through its key, so the right handle of the file decides the
  // outgoing slope only through its mirror image (the same slope).
  Timeline t = Loaded("3  -0.1 -0.1 0 0 0.1 0.1   0.3 1.2 0.4 1 0.5 0.8   0.9 1.95 1 2 1.1 2.05");
  ASSERT_EQ(t.coefs.size(), 2u);
  for (double x : {0.1, 0.25, 0.39})
    EXPECT_NEAR(t.Eval(static_cast<float>(x)), Hermite(0, 0, 1, 0.4, 1, -2, x), 1e-5);
  for (double x : {0.41, 0.7, 0.99})
    EXPECT_NEAR(t.Eval(static_cast<float>(x)), Hermite(0.4, 1, -2, 1, 2, 0.5, x), 1e-5);
  // At a key's own time: that key's value (through the segment ending there).
  EXPECT_NEAR(t.Eval(0.0f), 0.0f, 1e-6);
  EXPECT_NEAR(t.Eval(0.4f), 1.0f, 1e-5);
  EXPECT_NEAR(t.Eval(1.0f), 2.0f, 1e-5);
  // Outside [0, 1] the end values, even where the cubic would overshoot.
  EXPECT_EQ(t.Eval(-0.5f), 0.0f);
  EXPECT_EQ(t.Eval(1.5f), 2.0f);
  EXPECT_EQ(t.Eval(std::numeric_limits<float>::quiet_NaN()), 0.0f);
  EXPECT_FLOAT_EQ(t.EvalHermit(1, 0.7f), t.Eval(0.7f));
}

TEST(TimelineDegenerate, NoKeysOneKeyAndAStreamThatNeverOpened) {
  ScratchDir dir;
  Timeline empty = Loaded("0");
  EXPECT_TRUE(empty.points.empty());
  EXPECT_TRUE(empty.coefs.empty());
  EXPECT_EQ(empty.Eval(0.5f), 0.0f);
  EXPECT_EQ(empty.Eval(-1.0f), 0.0f);

  Timeline negative = Loaded("-7 1 2 3 4 5 6");
  EXPECT_TRUE(negative.points.empty());

  for (const char* text : {"1  4 6 5 7 6 8", "1  -1 6 0 7 1 8"}) {
    Timeline one = Loaded(text);
    ASSERT_EQ(one.points.size(), 1u);
    EXPECT_TRUE(one.coefs.empty());
    for (float x : {-1.0f, 0.0f, 0.5f, 1.0f, 2.0f}) EXPECT_EQ(one.Eval(x), 7.0f) << text << " " << x;
  }

  std::ifstream closed("no-such.timeline");
  Timeline never;
  never.Load(closed);
  EXPECT_TRUE(never.points.empty());
  EXPECT_EQ(never.Eval(0.5f), 0.0f);
}

TEST(TimelineDegenerate, HugeCountReadsOnlyWhatTheFileCouldHold) {
  ScratchDir dir;
  Timeline t = Loaded("2000000000  0 1 0 1 0 1  1 2 1 2 1 2");
  EXPECT_EQ(t.points.size(), 2u);
  EXPECT_EQ(t.coefs.size(), 1u);
  // A short file within that room still reads as many records as it says.
  Timeline shortFile = Loaded("3  0 1 0 1 0 1  1 2 1 2 1 2 100000000000");
  EXPECT_EQ(shortFile.points.size(), 3u);
}

TEST(TimelineDegenerate, TwoKeysAtOneTimeGiveNonFiniteCoefficientsButNoCrash) {
  ScratchDir dir;
  Timeline t = Loaded("4  -1 0 0 0 1 0  -1 1 0 1 1 1  0 2 0.5 2 1 2  0 3 1 3 2 3");
  ASSERT_EQ(t.coefs.size(), 3u);
  EXPECT_FALSE(std::isfinite(t.coefs[0].c3));
  EXPECT_FALSE(std::isfinite(t.coefs[0].c2));
  for (float x : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}) t.Eval(x);
  EXPECT_TRUE(std::isfinite(t.Eval(0.75f)));

  Timeline allAtOnce = Loaded("2  1 0 2 5 3 0  1 0 2 6 3 0");
  ASSERT_EQ(allAtOnce.coefs.size(), 1u);
  for (float x : {0.0f, 0.5f, 1.0f}) allAtOnce.Eval(x);
  EXPECT_EQ(allAtOnce.Eval(-1.0f), 5.0f);
  EXPECT_EQ(allAtOnce.Eval(2.0f), 6.0f);
}

TEST(TimelineLoad, ReloadingReplacesEverything) {
  ScratchDir dir;
  Timeline t = Loaded("3  0 0 0 0 0 0  0 0 0.5 1 0 0  0 0 1 0 0 0");
  WriteFile("u.timeline", "2  0 0 0 4 0 0  0 0 1 5 0 0");
  std::ifstream in("u.timeline");
  t.Load(in);
  EXPECT_EQ(t.points.size(), 2u);
  EXPECT_EQ(t.coefs.size(), 1u);
  EXPECT_EQ(t.Eval(2.0f), 5.0f);
}
