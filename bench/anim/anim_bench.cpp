// Cost of the per-frame evaluations of the animation toolkit, with the
// allocations each makes (the allocs_per_eval counter; it should stay 0).
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "anim/animcurve.h"
#include "anim/beziercurve.h"
#include "anim/timeline.h"
#include "counting_new/counting_new.h"
#include "support/scratch_dir.h"

namespace {

constexpr int KEY_COUNT = 64;

// Keys every 3 frames over a wavy value, handles a frame to either side.
std::string Keys() {
  std::string text;
  for (int i = 0; i < KEY_COUNT; ++i) {
    const float x = 3.0f * i, y = (i % 5) * 2.0f - 4.0f;
    text += " " + std::to_string(x - 1) + " " + std::to_string(y) + " " + std::to_string(x) + " " +
            std::to_string(y) + " " + std::to_string(x + 1) + " " + std::to_string(y);
  }
  return text;
}

AnimCurve Curve(const char* interpolation, const char* extrapolation) {
  ScratchDir dir;
  WriteFile("curve.txt",
            "rotz " + std::to_string(KEY_COUNT) + " " + interpolation + " " + extrapolation + Keys());
  std::ifstream f("curve.txt");
  return AnimCurve(f);
}

// Times sweep past both ends so extrapolation is measured too.
float TimeAt(long long n) { return static_cast<float>(n % 1000) * (3.6f * KEY_COUNT / 1000.0f) - 10.0f; }

void ReportAllocations(benchmark::State& state, long long before) {
  state.counters["allocs_per_eval"] =
      benchmark::Counter(static_cast<double>(AllocationCount() - before), benchmark::Counter::kAvgIterations);
}

void CurveEval(benchmark::State& state, const char* interpolation, const char* extrapolation) {
  const AnimCurve c = Curve(interpolation, extrapolation);
  long long n = 0;
  const long long before = AllocationCount();
  for (auto _ : state) benchmark::DoNotOptimize(c.Eval(TimeAt(n++)));
  ReportAllocations(state, before);
}

void BM_CurveConstant(benchmark::State& state) { CurveEval(state, "constant", "constant"); }
void BM_CurveLinearCyclic(benchmark::State& state) { CurveEval(state, "linear", "cyclic"); }
void BM_CurveBezier(benchmark::State& state) { CurveEval(state, "bezier", "constant"); }
void BM_CurveBezierCyclic(benchmark::State& state) { CurveEval(state, "bezier", "cyclic"); }

void BM_TimelineEval(benchmark::State& state) {
  Timeline t;
  {
    ScratchDir dir;
    WriteFile("t.timeline", std::to_string(KEY_COUNT) + Keys());
    std::ifstream in("t.timeline");
    t.Load(in);
  }
  long long n = 0;
  const long long before = AllocationCount();
  for (auto _ : state) benchmark::DoNotOptimize(t.Eval(static_cast<float>(n++ % 1200) / 1000.0f - 0.1f));
  ReportAllocations(state, before);
}

void BM_PathEval(benchmark::State& state) {
  BezierCurve path;
  ControlPoint p;
  for (int i = 0; i < KEY_COUNT; ++i) {
    p.param = static_cast<float>(i);
    p.position = Vector3(static_cast<float>(i), static_cast<float>(i % 3), 0.0f);
    p.handleIn = p.position;
    p.handleOut = p.position;
    path.AddPoint(p);
  }
  Vector3 out;
  long long n = 0;
  const long long before = AllocationCount();
  for (auto _ : state) benchmark::DoNotOptimize(path.Eval(TimeAt(n++), out));
  ReportAllocations(state, before);
}

}  // namespace

BENCHMARK(BM_CurveConstant);
BENCHMARK(BM_CurveLinearCyclic);
BENCHMARK(BM_CurveBezier);
BENCHMARK(BM_CurveBezierCyclic);
BENCHMARK(BM_TimelineEval);
BENCHMARK(BM_PathEval);
