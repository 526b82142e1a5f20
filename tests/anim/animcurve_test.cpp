// Animation curves: reading a record, the three interpolations, both
// extrapolations, the Bezier root finder and its helpers, and every way a
// record ends the program.
#include "anim/animcurve.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>

#include "support/fatal_report.h"
#include "support/scratch_dir.h"

namespace {

const char* const CURVE_FUNC = "AnimCurve::AnimCurve(std::ifstream&)";

// Reads one curve record from `text` (written to a file in the working directory).
AnimCurve CurveFrom(const std::string& text) {
  WriteFile("curve.txt", text);
  std::ifstream f("curve.txt");
  return AnimCurve(f);
}

// A record whose keys (x, y) have handles one frame to either side.
std::string Record(const std::string& header, std::initializer_list<std::pair<float, float>> keys) {
  std::string text = header;
  for (const auto& k : keys) {
    text += "\n " + std::to_string(k.first - 1) + " " + std::to_string(k.second) + " " +
            std::to_string(k.first) + " " + std::to_string(k.second) + " " + std::to_string(k.first + 1) +
            " " + std::to_string(k.second);
  }
  return text + "\n";
}

// Keys (0, 0) and (3, 10) with handles one frame out, flat in value.
const char* const BEZIER_KEYS = "-1 0 0 0 1 0\n2 10 3 10 4 10\n";

}  // namespace

TEST(AnimCurveRead, DecodesHeaderAndKeysAndStopsAfterTheRecord) {
  ScratchDir dir;
  WriteFile("curve.txt", "roty 2\tbezier\n  cyclic 1 2 3 4 5 6\n7 8 9 10 11 12 locz");
  std::ifstream f("curve.txt");
  AnimCurve c(f);
  EXPECT_EQ(c.channel, AnimCurve::ROTY);
  EXPECT_EQ(c.interpolation, AnimCurve::INTERPOLATE_BEZIER);
  EXPECT_EQ(c.extrapolation, AnimCurve::EXTRAPOLATE_CYCLIC);
  ASSERT_EQ(c.keys.size(), 2u);
  const AnimCurve::BezTriple& k = c.keys[1];
  EXPECT_EQ(k.leftX, 7.0f);
  EXPECT_EQ(k.leftY, 8.0f);
  EXPECT_EQ(k.x, 9.0f);
  EXPECT_EQ(k.y, 10.0f);
  EXPECT_EQ(k.rightX, 11.0f);
  EXPECT_EQ(k.rightY, 12.0f);
  EXPECT_EQ(c.startFrame, 3.0f);
  EXPECT_EQ(c.endFrame, 9.0f);
  std::string next;
  f >> next;
  EXPECT_EQ(next, "locz");
}

TEST(AnimCurveRead, EveryChannelWordHasItsCode) {
  ScratchDir dir;
  const char* words[] = {"locx", "locy", "locz", "rotx", "roty", "rotz", "sizex", "sizey", "sizez"};
  for (int code = 0; code < 9; ++code) {
    AnimCurve c = CurveFrom(std::string(words[code]) + " 1 constant constant 0 0 0 0 0 0");
    EXPECT_EQ(c.channel, code) << words[code];
  }
}

TEST(AnimCurveRead, ShortKeyListIsNotDetected) {
  ScratchDir dir;
  // Room for two keys by length, but the second has only one number: the
  // other five keep the previous key's numbers.
  AnimCurve c = CurveFrom("locx 2 linear constant 100 200 300 400 500 600 7");
  ASSERT_EQ(c.keys.size(), 2u);
  EXPECT_EQ(c.keys[1].leftX, 7.0f);
  EXPECT_EQ(c.keys[1].leftY, 200.0f);
  EXPECT_EQ(c.keys[1].x, 300.0f);
  EXPECT_EQ(c.keys[1].rightY, 600.0f);
  EXPECT_EQ(c.endFrame, 300.0f);
}

TEST(AnimCurveEval, OneKeyHoldsItsValueEverywhere) {
  ScratchDir dir;
  for (const char* interp : {"constant", "linear", "bezier"}) {
    for (const char* extrap : {"constant", "cyclic"}) {
      AnimCurve c = CurveFrom(Record(std::string("locx 1 ") + interp + " " + extrap, {{5, 7}}));
      for (float t : {-100.0f, 4.0f, 5.0f, 6.0f, 1e6f}) EXPECT_EQ(c.Eval(t), 7.0f) << interp << extrap << t;
    }
  }
}

TEST(AnimCurveEval, ConstantAndLinearTables) {
  ScratchDir dir;
  const float times[] = {-1, 0, 1, 2, 3, 4, 5};
  const float held[] = {10, 10, 10, 20, 20, 30, 30};
  const float linear[] = {10, 10, 15, 20, 25, 30, 30};
  AnimCurve c = CurveFrom(Record("locx 3 constant constant", {{0, 10}, {2, 20}, {4, 30}}));
  AnimCurve l = CurveFrom(Record("locx 3 linear constant", {{0, 10}, {2, 20}, {4, 30}}));
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(c.Eval(times[i]), held[i]) << times[i];
    EXPECT_EQ(l.Eval(times[i]), linear[i]) << times[i];
  }
}

TEST(AnimCurveEval, CyclicLinearWrapsTheEndOntoTheStart) {
  ScratchDir dir;
  AnimCurve c = CurveFrom(Record("locx 3 linear cyclic", {{0, 10}, {2, 20}, {4, 30}}));
  EXPECT_EQ(c.Eval(4.0f), 10.0f);
  EXPECT_EQ(c.Eval(5.0f), 15.0f);
  EXPECT_EQ(c.Eval(-1.0f), 25.0f);
  EXPECT_EQ(c.Eval(-3.0f), 15.0f);
  EXPECT_EQ(c.Eval(4001.0f), 15.0f);
}

TEST(AnimCurveEval, TwoKeysAtOneTime) {
  ScratchDir dir;
  for (const char* interp : {"constant", "linear"}) {
    AnimCurve c = CurveFrom(
        Record(std::string("locx 4 ") + interp + " constant", {{0, 10}, {2, 20}, {2, 25}, {4, 30}}));
    EXPECT_EQ(c.Eval(2.0f), 25.0f) << interp;
  }
  // Handles level with their keys in time: the first segment reaches t = 2 at s = 1.
  AnimCurve b =
      CurveFrom("locx 4 bezier constant  0 10 0 10 0 10  2 20 2 20 2 20  2 25 2 25 2 25  4 30 4 30 4 30");
  EXPECT_NEAR(b.Eval(2.0f), 20.0f, 1e-4f);
}

TEST(AnimCurveEval, BezierSegmentValues) {
  ScratchDir dir;
  AnimCurve c = CurveFrom(std::string("locx 2 bezier constant ") + BEZIER_KEYS);
  EXPECT_EQ(c.Eval(1.0f), 2.5925927f);  // 70/27
  EXPECT_EQ(c.Eval(1.5f), 5.0f);
  EXPECT_EQ(c.Eval(2.0f), 7.4074078f);  // 200/27
  EXPECT_EQ(c.Eval(0.0f), 0.0f);
  EXPECT_EQ(c.Eval(3.0f), 10.0f);
}

TEST(AnimCurveEval, OverlongHandlesAreShrunkBeforeEvaluating) {
  ScratchDir dir;
  AnimCurve c = CurveFrom("locx 2 bezier constant -1 0 0 0 4 0\n-1 10 3 10 4 10\n");
  EXPECT_EQ(c.Eval(1.5f), 5.0f);
  EXPECT_NEAR(c.Eval(1.0f), 2.036541f, 5e-7f);
}

TEST(AnimCurveEval, CyclicBezierRepeatsThePeriod) {
  ScratchDir dir;
  AnimCurve c = CurveFrom(std::string("locx 2 bezier cyclic ") + BEZIER_KEYS);
  EXPECT_EQ(c.Eval(-1.5f), 5.0f);
  EXPECT_EQ(c.Eval(4.5f), 5.0f);
  EXPECT_EQ(c.Eval(6.0f), 0.0f);
}

TEST(AnimCurveEval, BezierTimeJustAfterAKeyFindsNoSegment) {
  ScratchDir dir;
  AnimCurve c = CurveFrom("locx 3 bezier constant -1 5 0 5 1 5  2 7 3 7 4 7  5 9 6 9 7 9");
  // The root in the second segment lies below 1e-7 and is refused.
  EXPECT_EQ(c.Eval(std::nextafter(3.0f, 4.0f)), 0.0f);
  EXPECT_NEAR(c.Eval(3.0f), 7.0f, 1e-5f);
}

TEST(AnimCurveEval, NonFiniteTimesGiveNoSegment) {
  ScratchDir dir;
  AnimCurve c = CurveFrom(Record("locx 2 linear cyclic", {{0, 10}, {2, 20}}));
  EXPECT_EQ(c.Eval(std::numeric_limits<float>::quiet_NaN()), 0.0f);
  EXPECT_EQ(c.Eval(std::numeric_limits<float>::infinity()), 0.0f);
}

TEST(AnimCurveBezpart, HandlesWithinTheSpanStayAndOverlongOnesFitExactly) {
  float p1[2] = {0, 0}, p2[2] = {1, 2}, p3[2] = {2, 8}, p4[2] = {3, 10};
  AnimCurve::CorrectBezpart(p1, p2, p3, p4);
  EXPECT_EQ(p2[0], 1.0f);
  EXPECT_EQ(p2[1], 2.0f);
  EXPECT_EQ(p3[0], 2.0f);
  EXPECT_EQ(p3[1], 8.0f);

  float q1[2] = {0, 0}, q2[2] = {4, 4}, q3[2] = {-1, 6}, q4[2] = {3, 10};
  AnimCurve::CorrectBezpart(q1, q2, q3, q4);
  EXPECT_EQ(q2[0], 1.5f);
  EXPECT_EQ(q2[1], 1.5f);  // same factor 3/8 on the value
  EXPECT_EQ(q3[0], 1.5f);
  EXPECT_EQ(q3[1], 8.5f);
  EXPECT_EQ(std::fabs(q2[0] - q1[0]) + std::fabs(q4[0] - q3[0]), q4[0] - q1[0]);

  float z1[2] = {0, 0}, z2[2] = {0, 5}, z3[2] = {0, 6}, z4[2] = {0, 1};
  AnimCurve::CorrectBezpart(z1, z2, z3, z4);
  EXPECT_EQ(z2[1], 5.0f);
  EXPECT_EQ(z3[1], 6.0f);
}

TEST(AnimCurveFindzero, RootCases) {
  float o[3] = {-1, -1, -1};
  EXPECT_EQ(AnimCurve::Findzero(0.5f, 0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f, o), 1);
  EXPECT_FLOAT_EQ(o[0], 0.5f);

  EXPECT_EQ(AnimCurve::Findzero(2.0f, 2.0f, 2.0f, 2.0f, 2.0f, o), 1);
  EXPECT_EQ(o[0], 0.0f);
  o[0] = -1;
  EXPECT_EQ(AnimCurve::Findzero(1.0f, 2.0f, 2.0f, 2.0f, 2.0f, o), 0);
  EXPECT_EQ(o[0], -1.0f);
  // The triple root at 0 lies below the acceptance bound.
  EXPECT_EQ(AnimCurve::Findzero(0.0f, 0.0f, 0.0f, 0.0f, 1.0f, o), 0);
  // A root a hair above 1 still counts; one clearly above does not.
  EXPECT_EQ(AnimCurve::Findzero(3.000002f, 0.0f, 1.0f, 2.0f, 3.0f, o), 1);
  EXPECT_GT(o[0], 1.0f);
  EXPECT_EQ(AnimCurve::Findzero(3.1f, 0.0f, 1.0f, 2.0f, 3.0f, o), 0);
}

TEST(AnimCurveFindzero, QuadraticAndThreeRealRoots) {
  float o[3] = {0, 0, 0};
  // Handles level with their keys: s^2 (3 - 2s) = 0.5 has one root in (0, 1).
  EXPECT_EQ(AnimCurve::Findzero(0.5f, 0.0f, 0.0f, 1.0f, 1.0f, o), 1);
  EXPECT_FLOAT_EQ(o[0], 0.5f);
  // A time curve that doubles back and reaches 0.3 three times.
  const int n = AnimCurve::Findzero(0.3f, 0.0f, 2.0f, -1.0f, 1.0f, o);
  ASSERT_EQ(n, 3);
  for (int i = 0; i < n; ++i) {
    const double s = o[i];
    const double x = 3 * (1 - s) * (1 - s) * s * 2.0 + 3 * (1 - s) * s * s * -1.0 + s * s * s;
    EXPECT_NEAR(x, 0.3, 1e-6) << i;
  }
  // c3 = 0: a quadratic, both roots inside, the one from -sqrt(D) first.
  EXPECT_EQ(AnimCurve::Findzero(0.5f, 0.0f, 1.0f, 1.0f, 0.0f, o), 2);
  EXPECT_NEAR(o[0], (3.0 + std::sqrt(3.0)) / 6.0, 1e-6);
  EXPECT_NEAR(o[1], (3.0 - std::sqrt(3.0)) / 6.0, 1e-6);
  // D < 0: no candidate, o untouched.
  o[0] = -1;
  EXPECT_EQ(AnimCurve::Findzero(2.0f, 0.0f, 1.0f, 1.0f, 0.0f, o), 0);
  EXPECT_EQ(o[0], -1.0f);
}

TEST(AnimCurveSupport, CubeRootAndCubicValue) {
  EXPECT_DOUBLE_EQ(AnimCurve::Sqrt3d(-27.0), -3.0);
  EXPECT_DOUBLE_EQ(AnimCurve::Sqrt3d(8.0), 2.0);
  EXPECT_EQ(AnimCurve::Sqrt3d(0.0), 0.0);

  float o[3] = {0.0f, 0.5f, 1.0f};
  AnimCurve::Berekeny(0.0f, 0.0f, 10.0f, 10.0f, o, 2);
  EXPECT_EQ(o[0], 0.0f);
  EXPECT_EQ(o[1], 5.0f);
  EXPECT_EQ(o[2], 1.0f);  // beyond b: untouched
  AnimCurve::Berekeny(1.0f, 2.0f, 3.0f, 4.0f, o, 0);
  EXPECT_EQ(o[1], 5.0f);
}

TEST(AnimCurveFatal, StreamAlreadyFailed) {
  ScratchDir dir;
  EXPECT_FATAL({
    std::ifstream f("missing.anim");
    AnimCurve c(f);
  });
  EXPECT_THAT(ReadLines("zarv.log"), ::testing::ElementsAre(FailedReport("f", "animcurve.cpp", CURVE_FUNC)));
}

TEST(AnimCurveFatal, UnknownKeywordsInEachPosition) {
  ScratchDir dir;
  struct Case {
    const char* record;
    const char* line;
  } cases[] = {
      {"LOCX 1 linear constant 0 0 0 0 0 0", "unknown anim curve type \"LOCX\""},
      {"locx 1 cubic constant 0 0 0 0 0 0", "unknown anim curve interpolation type \"cubic\""},
      {"locx 1 linear linear 0 0 0 0 0 0", "unknown anim curve extrapolation type \"linear\""},
      // Keywords are decoded only after all four header tokens are read.
      {"posx 1 cubic linear", "unknown anim curve type \"posx\""},
      {"", "unknown anim curve type \"\""},
  };
  for (const Case& c : cases) {
    EXPECT_FATAL(CurveFrom(c.record));
    EXPECT_THAT(ReadLines("zarv.log"),
                ::testing::ElementsAre(c.line, ErrorReport("animcurve.cpp", CURVE_FUNC)))
        << c.record;
  }
}

TEST(AnimCurveFatal, KeyCountWithoutKeys) {
  ScratchDir dir;
  EXPECT_FATAL(CurveFrom("locx 0 linear constant 0 0 0 0 0 0"));
  EXPECT_THAT(ReadLines("zarv.log"), ::testing::ElementsAre("anim curve \"locx\" has no keys (key count 0)",
                                                            ErrorReport("animcurve.cpp", CURVE_FUNC)));
  EXPECT_FATAL(CurveFrom("rotz -4 linear constant"));
  EXPECT_THAT(ReadLines("zarv.log").front(), "anim curve \"rotz\" has no keys (key count -4)");
  // An unreadable count fails the stream, so the next keyword reads empty.
  EXPECT_FATAL(CurveFrom("rotz many linear constant"));
  EXPECT_THAT(ReadLines("zarv.log").front(), "unknown anim curve interpolation type \"\"");
}

TEST(AnimCurveFatal, KeyCountBeyondTheFileIsRefusedBeforeAllocating) {
  ScratchDir dir;
  EXPECT_FATAL(CurveFrom("locy 2000000000 linear constant 0 0 0 0 0 0"));
  EXPECT_THAT(ReadLines("zarv.log"),
              ::testing::ElementsAre(
                  "anim curve \"locy\" claims 2000000000 keys, more than the rest of the file holds",
                  ErrorReport("animcurve.cpp", CURVE_FUNC)));
  // One key more than the numbers could possibly make up.
  EXPECT_FATAL(CurveFrom("locy 2 linear constant 0 0 0 0 0 0"));
}
