// Evaluation runs every frame: curves, the timeline and the Bezier path must
// not allocate while evaluating.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "anim/animcurve.h"
#include "anim/beziercurve.h"
#include "anim/timeline.h"
#include "counting_new/counting_new.h"
#include "support/scratch_dir.h"

namespace {

AnimCurve CurveFrom(const std::string& text) {
  WriteFile("curve.txt", text);
  std::ifstream f("curve.txt");
  return AnimCurve(f);
}

const char* const KEYS = " -1 0 0 0 1 0  2 10 3 10 4 10  5 -4 6 -4 7 -4  8 2 9 2 10 2";

}  // namespace

TEST(AnimEvalAllocations, CurvesTimelineAndPathAllocateNothing) {
  ScratchDir dir;
  const AnimCurve curves[] = {
      CurveFrom(std::string("locx 4 constant constant") + KEYS),
      CurveFrom(std::string("locx 4 linear cyclic") + KEYS),
      CurveFrom(std::string("locx 4 bezier constant") + KEYS),
      CurveFrom(std::string("locx 4 bezier cyclic") + KEYS),
  };
  WriteFile("t.timeline", "4  -1 0 0 0 1 0  2 10 3 10 4 10  5 -4 6 -4 7 -4  8 2 9 2 10 2");
  std::ifstream in("t.timeline");
  Timeline timeline;
  timeline.Load(in);
  BezierCurve path;
  ControlPoint p;
  for (float param : {0.0f, 1.0f, 2.5f}) {
    p.param = param;
    p.position = Vector3(param, -param, 2 * param);
    path.AddPoint(p);
  }

  double sum = 0.0;
  Vector3 out;
  const long long before = AllocationCount();
  for (int i = -200; i <= 1200; ++i) {
    const float t = i * 0.01f;
    for (const AnimCurve& c : curves) sum += c.Eval(t);
    sum += timeline.Eval(t / 10.0f);
    if (path.Eval(t / 4.0f, out)) sum += out.x;
  }
  EXPECT_EQ(AllocationCount() - before, 0);
  EXPECT_NE(sum, 0.0);  // keeps the loop

  // The counter does see allocations.
  const std::string probe(100, 'x');
  EXPECT_GT(AllocationCount() - before, 0);
}
