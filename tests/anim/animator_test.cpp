// Animators: loading .anim files, the frame range, and the transform Animate
// multiplies onto the model-view matrix, checked against matrices built here.
#include "anim/animator.h"

#include <GL/gl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "support/fatal_report.h"
#include "support/offscreen_gl.h"
#include "support/scratch_dir.h"

namespace {

using Matrix = std::array<double, 16>;  // column-major, as GL stores it

Matrix Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int col = 0; col < 4; ++col)
    for (int row = 0; row < 4; ++row)
      for (int k = 0; k < 4; ++k) m[col * 4 + row] += a[k * 4 + row] * b[col * 4 + k];
  return m;
}

Matrix Translation(double x, double y, double z) {
  Matrix m = Identity();
  m[12] = x;
  m[13] = y;
  m[14] = z;
  return m;
}

// Right-handed rotation by `degrees` about coordinate axis 0 (x), 1 (y) or 2 (z).
Matrix Rotation(int axis, double degrees) {
  const double r = degrees * M_PI / 180.0;
  const double c = std::cos(r), s = std::sin(r);
  const int i = (axis + 1) % 3, j = (axis + 2) % 3;
  Matrix m = Identity();
  m[i * 4 + i] = c;
  m[j * 4 + j] = c;
  m[i * 4 + j] = s;   // column i, row j
  m[j * 4 + i] = -s;  // column j, row i
  return m;
}

Matrix Expected(const Matrix& base, double tx, double ty, double tz, double ax, double ay, double az) {
  Matrix m = Multiply(base, Translation(tx, ty, tz));
  m = Multiply(m, Rotation(0, ax));
  m = Multiply(m, Rotation(1, ay));
  return Multiply(m, Rotation(2, az));
}

Matrix ModelView() {
  GLfloat f[16] = {};
  glGetFloatv(GL_MODELVIEW_MATRIX, f);
  Matrix m{};
  for (int i = 0; i < 16; ++i) m[i] = f[i];
  return m;
}

void ExpectMatrixNear(const Matrix& actual, const Matrix& expected) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 2e-5) << "element " << i;
}

// Curves spanning frames 1..36 and 5..20 and fixed x and y turns.
const char* const RANGE_FILE =
    "4\n"
    "rotz 2 linear constant\n  0 0 1 0 2 0\n  35 9 36 9 37 9\n"
    "locx 2 linear constant\n  4 2 5 2 6 2\n  19 4 20 4 21 4\n"
    "rotx 1 constant constant\n  0 3 1 3 2 3\n"
    "roty 1 constant constant\n  19 -4.5 20 -4.5 21 -4.5\n";

class AnimatorGL : public OffscreenGL {
 protected:
  void SetUp() override {
    OffscreenGL::SetUp();
    glMatrixMode(GL_MODELVIEW);
    // A camera-like matrix already in place: Animate must multiply onto it.
    const GLfloat f[16] = {2, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 3, -4, -10, 1};
    glLoadMatrixf(f);
    for (int i = 0; i < 16; ++i) base[i] = f[i];
  }
  Matrix base{};
  ScratchDir dir;
};

}  // namespace

TEST(AnimatorLoad, RangeCoversAllCurves) {
  ScratchDir dir;
  WriteFile("a.anim", RANGE_FILE);
  Animator a("a.anim");
  ASSERT_EQ(a.curves.size(), 4u);
  EXPECT_EQ(a.curves[1]->channel, AnimCurve::LOCX);
  EXPECT_EQ(a.startFrame, 1.0f);
  EXPECT_EQ(a.endFrame, 36.0f);
}

TEST(AnimatorLoad, NoCurvesMeansAnEmptyRange) {
  ScratchDir dir;
  WriteFile("a.anim", "0\n");
  Animator a("a.anim");
  EXPECT_TRUE(a.curves.empty());
  EXPECT_EQ(a.startFrame, 1e8f);
  EXPECT_EQ(a.endFrame, -1e8f);
  // Outside the range nothing, GL included, is touched: no context needed.
  a.Animate(0.0f);
  a.Animate(1e8f);
}

TEST_F(AnimatorGL, AppliesTranslateThenRotationsInsideTheRange) {
  WriteFile("a.anim", RANGE_FILE);
  Animator a("a.anim");
  struct Case {
    float frame;
    double tx, az;
  } cases[] = {
      {1.0f, 2.0, 0.0},
      {10.0f, 2.0 + 2.0 * (10 - 5) / 15.0, 90.0 * (10 - 1) / 35.0},
      {36.0f, 4.0, 90.0},
  };
  for (const Case& c : cases) {
    glLoadMatrixf(std::array<GLfloat, 16>{2, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 3, -4, -10, 1}.data());
    a.Animate(c.frame);
    SCOPED_TRACE(c.frame);
    ExpectMatrixNear(ModelView(), Expected(base, c.tx, 0, 0, 30.0, -45.0, c.az));
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  GLint mode = 0, depth = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_EQ(depth, 1);
}

TEST_F(AnimatorGL, LeavesTheMatrixAloneOutsideTheRange) {
  WriteFile("a.anim", RANGE_FILE);
  Animator a("a.anim");
  for (float frame : {0.5f, 36.5f, -1e9f}) {
    a.Animate(frame);
    EXPECT_EQ(ModelView(), base) << frame;
  }
}

TEST_F(AnimatorGL, OnlyRotxTurnsAboutXAndTranslatesByNothing) {
  WriteFile("a.anim", "1 rotx 1 constant constant 0 9 0 9 0 9");
  Animator a("a.anim");
  a.Animate(0.0f);
  ExpectMatrixNear(ModelView(), Expected(base, 0, 0, 0, 90.0, 0, 0));
}

TEST_F(AnimatorGL, ALaterCurveOfTheSameChannelWins) {
  WriteFile("a.anim",
            "3 locx 1 constant constant 0 1 0 1 0 1  locz 1 constant constant 0 -2 0 -2 0 -2"
            "  locx 1 constant constant 0 5 0 5 0 5");
  Animator a("a.anim");
  a.Animate(0.0f);
  ExpectMatrixNear(ModelView(), Expected(base, 5, 0, -2, 0, 0, 0));
}

TEST(AnimatorFatal, MissingFile) {
  ScratchDir dir;
  EXPECT_FATAL(Animator a("data/none.anim"));
  EXPECT_THAT(ReadLines("zarv.log"),
              ::testing::ElementsAre("animator file \"data/none.anim\" not found",
                                     ErrorReport("animator.cpp", "Animator::Animator(const std::string&)")));
}

TEST(AnimatorFatal, SizeCurveLoadsButEndsTheShowWhenAnimated) {
  ScratchDir dir;
  WriteFile("a.anim",
            "2 locx 1 constant constant 0 1 10 1 0 1  sizey 2 linear constant 0 0 0 0 0 0 9 9 20 9 9 9");
  Animator a("a.anim");
  EXPECT_EQ(a.curves[1]->channel, AnimCurve::SIZEY);
  a.Animate(21.0f);  // outside the range: not evaluated
  EXPECT_FATAL(a.Animate(15.0f));
  EXPECT_THAT(ReadLines("zarv.log"),
              ::testing::ElementsAre("", ErrorReport("animator.cpp", "void Animator::Animate(float)")));
}

TEST(AnimatorFatal, CurveCounts) {
  ScratchDir dir;
  const std::string ctor = "Animator::Animator(const std::string&)";
  WriteFile("neg.anim", "-2 locx 1 constant constant 0 0 0 0 0 0");
  EXPECT_FATAL(Animator a("neg.anim"));
  EXPECT_THAT(ReadLines("zarv.log"),
              ::testing::ElementsAre("animator file \"neg.anim\" has a negative curve count -2",
                                     ErrorReport("animator.cpp", ctor)));

  WriteFile("big.anim", "2147483647 locx 1 constant constant 0 0 0 0 0 0");
  EXPECT_FATAL(Animator a("big.anim"));
  EXPECT_THAT(
      ReadLines("zarv.log"),
      ::testing::ElementsAre("animator file \"big.anim\" claims 2147483647 curves, more than the file holds",
                             ErrorReport("animator.cpp", ctor)));
}

TEST(AnimatorFatal, BadCurveRecordsNameTheFile) {
  ScratchDir dir;
  const char* curveFunc = "AnimCurve::AnimCurve(std::ifstream&)";
  WriteFile("nokeys.anim", "2 locx 1 constant constant 0 0 0 0 0 0  roty 0 linear cyclic");
  EXPECT_FATAL(Animator a("nokeys.anim"));
  EXPECT_THAT(ReadLines("zarv.log"),
              ::testing::ElementsAre("anim curve \"roty\" in \"nokeys.anim\" has no keys (key count 0)",
                                     ErrorReport("animcurve.cpp", curveFunc)));

  WriteFile("many.anim", "1 locz 99999999 bezier constant 0 0 0 0 0 0");
  EXPECT_FATAL(Animator a("many.anim"));
  EXPECT_THAT(
      ReadLines("zarv.log"),
      ::testing::ElementsAre(
          "anim curve \"locz\" in \"many.anim\" claims 99999999 keys, more than the rest of the file holds",
          ErrorReport("animcurve.cpp", curveFunc)));

  // Fewer records than the count: the next header reads empty.
  WriteFile("short.anim", "2 locx 1 constant constant 0 0 0 0 0 0                          ");
  EXPECT_FATAL(Animator a("short.anim"));
  EXPECT_THAT(ReadLines("zarv.log"), ::testing::ElementsAre("unknown anim curve type \"\"",
                                                            ErrorReport("animcurve.cpp", curveFunc)));
}

TEST(AnimatorFatal, UnwindingFatalReportFreesTheCurvesReadSoFar) {
  ScratchDir dir;
  // Two good curves, then a bad keyword: the leak check of the sanitizer
  // build sees whether the first two are freed.
  WriteFile("a.anim",
            "3 locx 1 constant constant 0 0 0 0 0 0  locy 1 constant constant 0 0 0 0 0 0"
            "  locq 1 constant constant 0 0 0 0 0 0");
  SetFatalExit(ThrowInsteadOfExiting);
  Log::Start("zarv.log", false);
  int status = 0;
  try {
    Animator a("a.anim");
  } catch (const FatalEnded& ended) {
    status = ended.status;
  }
  SetFatalExit(nullptr);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(ReadLines("zarv.log").front(), "unknown anim curve type \"locq\"");
}
