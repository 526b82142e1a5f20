// The Bezier path without GL: loading, ordering, evaluation, the cubic and
// the rotation the ribbon is built with.
#include "anim/beziercurve.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "support/control_points.h"
#include "support/fatal_report.h"
#include "support/scratch_dir.h"

namespace {

const char* const LOAD_FUNC = "bool BezierCurve::Load(const std::string&)";

// A path from p0 to p3 with handles p1 (out of p0) and p2 (into p3), params 0 and 1.
BezierCurve UnitPath(Vector3 p0, Vector3 p1, Vector3 p2, Vector3 p3) {
  BezierCurve c;
  c.AddPoint(Point(0.0f, p0, Vector3(), p1));
  c.AddPoint(Point(1.0f, p3, p2, Vector3()));
  return c;
}

}  // namespace

TEST(ControlPointRead, TenNumbersInFileOrder) {
  std::istringstream in("1 2 3  4 5 6  7 8 9  0.5 tail");
  ControlPoint p;
  EXPECT_TRUE(static_cast<bool>(in >> p));
  EXPECT_EQ(p.handleIn.x, 1.0f);
  EXPECT_EQ(p.handleIn.z, 3.0f);
  EXPECT_EQ(p.position.y, 5.0f);
  EXPECT_EQ(p.handleOut.x, 7.0f);
  EXPECT_EQ(p.handleOut.z, 9.0f);
  EXPECT_EQ(p.param, 0.5f);
  std::string rest;
  in >> rest;
  EXPECT_EQ(rest, "tail");
  EXPECT_TRUE(CtrlPointComparator()(Point(1, {}, {}, {}), Point(2, {}, {}, {})));
  EXPECT_FALSE(CtrlPointComparator()(Point(2, {}, {}, {}), Point(2, {}, {}, {})));
}

TEST(BezierCurveOrder, AddPointAndLoadSortByParam) {
  BezierCurve c;
  for (float param : {2.0f, 0.0f, 1.0f}) c.AddPoint(Point(param, Vector3(param, 0, 0), {}, {}));
  ASSERT_EQ(c.points.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(c.points[i].position.x, static_cast<float>(i));

  ScratchDir dir;
  WriteFile("p.path", "3\n 0 0 0  5 0 0  0 0 0  3\n 0 0 0  9 0 0  0 0 0  -1\n 0 0 0  7 0 0  0 0 0  2\n");
  EXPECT_TRUE(c.Load("p.path"));
  ASSERT_EQ(c.points.size(), 3u);
  EXPECT_EQ(c.points[0].position.x, 9.0f);
  EXPECT_EQ(c.points[1].position.x, 7.0f);
  EXPECT_EQ(c.points[2].position.x, 5.0f);
  EXPECT_EQ(c.points[2].param, 3.0f);
}

TEST(BezierCurveOrder, NanParamsDoNotBreakTheSort) {
  BezierCurve c;
  for (int i = 0; i < 300; ++i)
    c.AddPoint(
        Point(i % 3 == 0 ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>((i * 37) % 101), {},
              {}, {}));
  EXPECT_EQ(c.points.size(), 300u);
  Vector3 out;
  for (float u : {-1.0f, 0.0f, 50.0f, 100.0f}) c.Eval(u, out);
}

TEST(BezierCurveEval, EndsMidpointAndOutside) {
  const Vector3 p0(0, 0, 0), p1(1, 2, 0), p2(3, 2, 1), p3(4, 0, 2);
  BezierCurve c = UnitPath(p0, p1, p2, p3);
  Vector3 out;
  ASSERT_TRUE(c.Eval(0.0f, out));
  ExpectVectorNear(out, p0, 0.0f);
  ASSERT_TRUE(c.Eval(1.0f, out));
  ExpectVectorNear(out, p3, 0.0f);
  ASSERT_TRUE(c.Eval(0.5f, out));
  ExpectVectorNear(out, Vector3(0.125f * p0.x + 0.375f * p1.x + 0.375f * p2.x + 0.125f * p3.x,
                                0.125f * p0.y + 0.375f * p1.y + 0.375f * p2.y + 0.125f * p3.y,
                                0.125f * p0.z + 0.375f * p1.z + 0.375f * p2.z + 0.125f * p3.z));
  out = Vector3(7, 7, 7);
  EXPECT_FALSE(c.Eval(-0.01f, out));
  EXPECT_FALSE(c.Eval(1.01f, out));
  EXPECT_FALSE(c.Eval(std::numeric_limits<float>::quiet_NaN(), out));
  ExpectVectorNear(out, Vector3(7, 7, 7), 0.0f);
}

TEST(BezierCurveEval, FewerThanTwoPointsGiveNothing) {
  BezierCurve c;
  Vector3 out(1, 2, 3);
  EXPECT_FALSE(c.Eval(0.0f, out));
  c.AddPoint(Point(0.0f, Vector3(5, 5, 5), {}, {}));
  EXPECT_FALSE(c.Eval(0.0f, out));
  ExpectVectorNear(out, Vector3(1, 2, 3), 0.0f);
}

TEST(BezierCurveEval, PicksTheSegmentAndScalesItsParameter) {
  BezierCurve c;
  // Straight segments with handles at thirds: the path moves evenly in x.
  c.AddPoint(Point(0.0f, Vector3(0, 0, 0), Vector3(), Vector3(1, 0, 0)));
  c.AddPoint(Point(2.0f, Vector3(3, 0, 0), Vector3(2, 0, 0), Vector3(5, 0, 0)));
  c.AddPoint(Point(3.0f, Vector3(9, 0, 0), Vector3(7, 0, 0), Vector3()));
  Vector3 out;
  ASSERT_TRUE(c.Eval(1.0f, out));
  EXPECT_NEAR(out.x, 1.5f, 1e-5f);
  ASSERT_TRUE(c.Eval(2.0f, out));  // a point's own param ends the segment before
  EXPECT_NEAR(out.x, 3.0f, 1e-5f);
  ASSERT_TRUE(c.Eval(2.5f, out));
  EXPECT_NEAR(out.x, 6.0f, 1e-5f);
}

TEST(BezierCurveEval, ZeroLengthSegmentGivesItsFirstPoint) {
  BezierCurve c;
  // Two points at the start's param: the path is at the first one there.
  c.AddPoint(Point(0.0f, Vector3(1, 2, 3), Vector3(), Vector3(9, 9, 9)));
  c.AddPoint(Point(0.0f, Vector3(7, 7, 7), Vector3(8, 8, 8), Vector3(7, 7, 7)));
  c.AddPoint(Point(1.0f, Vector3(4, 5, 6), Vector3(4, 5, 6), Vector3()));
  Vector3 out;
  ASSERT_TRUE(c.Eval(0.0f, out));
  ExpectVectorNear(out, Vector3(1, 2, 3), 0.0f);
}

TEST(BezierCurveCubic, HitsTheEndsAndWorkedPointsBetween) {
  // Worked by hand from the Bernstein weights, e.g. at 0.5 (p0 + 3 p1 + 3 p2 + p3) / 8.
  const Vector3 p0(1, -2, 3), p1(4, 0, -1), p2(-3, 5, 2), p3(2, 2, 2);
  const struct {
    float s;
    Vector3 at;
  } cases[] = {{0.0f, p0},
               {0.2f, {1.776f, -0.528f, 1.36f}},
               {0.5f, {0.75f, 1.875f, 1.0f}},
               {0.9f, {0.838f, 2.671f, 1.92f}},
               {1.0f, p3}};
  for (const auto& c : cases) ExpectVectorNear(BezierCurve::Cubic(p0, p1, p2, p3, c.s), c.at);
}

TEST(RotateAround, RightHandedQuarterTurnsAndInvariants) {
  ExpectVectorNear(RotateAround(Vector3(1, 0, 0), Vector3(0, 0, 1), 3.14159265f / 2), Vector3(0, 1, 0));
  ExpectVectorNear(RotateAround(Vector3(0, 1, 0), Vector3(2, 0, 0), 3.14159265f / 2), Vector3(0, 0, 1));
  // On the axis, or about no axis at all: unchanged.
  ExpectVectorNear(RotateAround(Vector3(1, 2, 3), Vector3(2, 4, 6), 1.234f), Vector3(1, 2, 3), 0.0f);
  ExpectVectorNear(RotateAround(Vector3(1, 2, 3), Vector3(0, 0, 0), 1.234f), Vector3(1, 2, 3), 0.0f);
  // About a slanted axis: the part along the axis stays, the length stays,
  // and turning back undoes the turn.
  const Vector3 v(3, -1, 2), axis(1, 1, 1);
  const Vector3 r = RotateAround(v, axis, 0.7f);
  EXPECT_NEAR(r.x + r.y + r.z, v.x + v.y + v.z, 1e-5f);
  EXPECT_NEAR(r.x * r.x + r.y * r.y + r.z * r.z, v.x * v.x + v.y * v.y + v.z * v.z, 1e-4f);
  ExpectVectorNear(RotateAround(r, axis, -0.7f), v);
}

TEST(BezierCurveLoad, EmptyAndNegativeCountsLogAndLeaveNoPoints) {
  ScratchDir dir;
  Log::Start("zarv.log", false);
  WriteFile("empty.path", "0\n");
  WriteFile("negative.path", "-5 1 2 3 4 5 6 7 8 9 10");
  BezierCurve c;
  c.AddPoint(Point(0, {}, {}, {}));
  EXPECT_TRUE(c.Load("empty.path"));
  EXPECT_TRUE(c.points.empty());
  EXPECT_TRUE(c.Load("negative.path"));
  EXPECT_TRUE(c.points.empty());
  Log::End();
  EXPECT_THAT(ReadLines("zarv.log"),
              ::testing::ElementsAre("curve=empty.path numpts=0", "curve=negative.path numpts=-5"));
}

TEST(BezierCurveFatal, MissingFile) {
  ScratchDir dir;
  EXPECT_FATAL({
    BezierCurve c;
    c.Load("data/none.path");
  });
  EXPECT_THAT(ReadLines("zarv.log"), ::testing::ElementsAre(FailedReport("f", "beziercurve.cpp", LOAD_FUNC)));
}

TEST(BezierCurveFatal, CountBeyondTheFileIsRefusedBeforeAllocating) {
  ScratchDir dir;
  WriteFile("big.path", "1000000000  0 0 0  1 1 1  2 2 2  0");
  EXPECT_FATAL({
    BezierCurve c;
    c.Load("big.path");
  });
  EXPECT_THAT(ReadLines("zarv.log"),
              ::testing::ElementsAre("curve=big.path numpts=1000000000",
                                     "curve \"big.path\" claims 1000000000 points, more than the file holds",
                                     ErrorReport("beziercurve.cpp", LOAD_FUNC)));
}
