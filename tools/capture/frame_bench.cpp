// Each timed frame is what a capture does for one frame: set the clock and
// the music position, the show's display, and the read-back (with the flip),
// which also waits for the software rasteriser to finish the frame.
#include "frame_bench.h"

#include <GL/gl.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "capture.h"
#include "fx/circle1frag.h"
#include "fx/circle2frag.h"
#include "fx/demofx.h"
#include "fx/flora0frag.h"
#include "offline_show.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr long FLOOR_FRAMES = 600;
constexpr long STRESS_FRAMES = 1200;
constexpr size_t STRESS_EFFECTS = 16;
constexpr int STRESS_FLORA = 4;
// Stress frames start here: the scheduler runs and mesh scenes may spawn.
constexpr double STRESS_START = 80.0;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

long PeakKb() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Times frames until step returns false; step draws one frame and reads it back.
template <typename Step>
FrameTimes TimeFrames(long frames, Step step) {
  FrameTimes times;
  times.ms.reserve(static_cast<size_t>(frames));
  const Clock::time_point start = Clock::now();
  for (long n = 0; n < frames && !captureInterrupted; ++n) {
    const Clock::time_point before = Clock::now();
    if (!step(n)) break;
    times.ms.push_back(Ms(Clock::now() - before));
  }
  times.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  times.peakKb = PeakKb();
  return times;
}

void RetireAll() {
  for (DemoFX* fx : frags) {
    fx->Done();
    delete fx;
  }
  frags.clear();
}

// Brings the live list back to 16 effects, four of them mesh scenes (as
// many as there are free slots), the rest circles and their sprites. A scene
// takes its slot as the scheduler's mid rule does.
void TopUp() {
  int flora =
      static_cast<int>(std::count_if(frags.begin(), frags.end(), [](DemoFX* fx) { return fx->type == 3; }));
  for (int slot = 0; slot < Flora0Frag::SLOTS && flora < STRESS_FLORA && frags.size() < STRESS_EFFECTS;
       ++slot) {
    if (Flora0Frag::used[slot]) continue;
    Flora0Frag* scene = new Flora0Frag;
    scene->alive = true;
    scene->slot = slot;
    scene->time = Flora0Frag::anim[slot]->startFrame;
    Flora0Frag::used[slot] = true;
    frags.push_front(scene);
    ++flora;
  }
  while (frags.size() < STRESS_EFFECTS) {
    const Circle1Frag* parent = nullptr;
    for (DemoFX* fx : frags) {
      if (fx->type == 1) {
        parent = static_cast<Circle1Frag*>(fx);
        break;
      }
    }
    if (parent != nullptr && frags.size() % 2 == 0) {
      Circle2Frag* sprite = new Circle2Frag;
      sprite->InitFrom(*parent);
      frags.push_back(sprite);
    } else {
      frags.push_back(new Circle1Frag);
    }
  }
}

void PrintRow(const char* name, const FrameTimes& t, const FrameTimes& floor) {
  const double median = t.Percentile(50);
  const double floorMedian = floor.Percentile(50);
  const double floorP99 = floor.Percentile(99);
  std::printf("%-10s %7zu %8.2f %8.2f %8.2f %8.2f %8.1f %8.1f %9.2f %8.2f\n", name, t.ms.size(), median,
              t.Percentile(95), t.Percentile(99),
              t.ms.empty() ? 0.0 : *std::max_element(t.ms.begin(), t.ms.end()), t.Fps(), t.peakKb / 1024.0,
              floorMedian > 0 ? median / floorMedian : 0.0, floorP99 > 0 ? t.Percentile(99) / floorP99 : 0.0);
}

}  // namespace

double FrameTimes::Percentile(double p) const {
  if (ms.empty()) return 0.0;
  std::vector<double> sorted = ms;
  std::sort(sorted.begin(), sorted.end());
  const double rank = std::ceil(p / 100.0 * sorted.size());
  const size_t index = static_cast<size_t>(std::clamp(rank, 1.0, static_cast<double>(sorted.size()))) - 1;
  return sorted[index];
}

int RunFrameBench(const CaptureOptions& options) {
  OfflineShow show(options.fps);
  show.Start();
  std::vector<unsigned char> pixels;
  const auto readBack = [&] { pixels = show.TopDownPixels(); };

  const FrameTimes floor = TimeFrames(FLOOR_FRAMES, [&](long) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    platform::SwapBuffers();
    readBack();
    return true;
  });

  const FrameTimes timetable = TimeFrames(LastShowFrame(options.fps) + 1, [&](long n) {
    if (!show.Running()) return false;
    show.Frame(n, readBack);
    return true;
  });

  RetireAll();
  TopUp();
  const long stressStart = FirstFrameAt(STRESS_START, options.fps);
  size_t live = 0;
  int liveFlora = 0;
  const FrameTimes stress = TimeFrames(STRESS_FRAMES, [&](long n) {
    show.Frame(stressStart + n, readBack);
    TopUp();
    return true;
  });
  for (DemoFX* fx : frags) liveFlora += fx->type == 3 ? 1 : 0;
  live = frags.size();
  const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  show.Finish();

  if (captureInterrupted) return EXIT_INTERRUPTED;
  std::printf("zarv frame benchmark: %d x %d offscreen, %s, %d fps; each frame drawn and read back\n",
              platform::SHOW_WIDTH, platform::SHOW_HEIGHT, renderer.c_str(), options.fps);
  std::printf("%-10s %7s %8s %8s %8s %8s %8s %8s %9s %8s\n", "case", "frames", "median", "p95", "p99",
              "worst", "fps", "peak MB", "median/", "p99/");
  std::printf("%-10s %7s %8s %8s %8s %8s %8s %8s %9s %8s\n", "", "", "ms", "ms", "ms", "ms", "", "", "floor",
              "floor");
  PrintRow("floor", floor, floor);
  PrintRow("timetable", timetable, floor);
  PrintRow("stress", stress, floor);
  std::printf(
      "floor: clear and read back only. timetable: frames 0 to the show's end. stress: from %.0f s, "
      "topped up to %zu live effects with %d mesh scenes before every frame (%zu and %d at the end).\n",
      STRESS_START, STRESS_EFFECTS, STRESS_FLORA, live, liveFlora);
  return EXIT_DONE;
}
