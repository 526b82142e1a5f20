// A frame that ends within a small slack of its period counts as on time:
// a swap that waits for a refresh slightly faster than the one reported
// must not be held into the refresh after.
#include "platform/frame_pacer.h"

#include <algorithm>

namespace {

constexpr double MOST_SLACK = 0.001;  // seconds

}  // namespace

void FramePacer::SetRate(double framesPerSecond) {
  period = framesPerSecond > 0.0 ? 1.0 / framesPerSecond : 0.0;
  started = false;
}

double FramePacer::AfterSwap(double now) {
  if (period <= 0.0) return 0.0;
  const double deadline = frameStart + period;
  const double slack = std::min(MOST_SLACK, period / 4.0);
  // The first frame, and a timer set back, start the count afresh.
  if (!started || now < frameStart || now >= deadline - slack) {
    started = true;
    frameStart = now;
    return 0.0;
  }
  // The next period starts at the deadline, not at the wake-up, so a sleep
  // that overshoots does not slow the rate.
  frameStart = deadline;
  return deadline - now;
}
