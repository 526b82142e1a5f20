// The live pacing from frame times alone: swaps that do not wait sleep out
// the period, swaps that wait for the refresh get nothing added, a late
// frame is not made up for, and a timer set back starts afresh.
#include "platform/frame_pacer.h"

#include <gtest/gtest.h>

namespace {

constexpr double PERIOD = 1.0 / 60.0;

}  // namespace

TEST(FramePacer, SwapsThatDoNotWaitAreHeldToTheRate) {
  FramePacer pacer;
  pacer.SetRate(60.0);
  double now = 1.0;
  EXPECT_EQ(pacer.AfterSwap(now), 0.0) << "the first frame only starts the count";
  for (int frame = 0; frame < 600; ++frame) {
    now += 0.005;  // drawn in 5 ms
    const double wait = pacer.AfterSwap(now);
    EXPECT_NEAR(wait, PERIOD - 0.005, 0.0003) << frame;
    now += wait + 0.0002;  // the sleep overshoots a little
  }
  // The overshoot is taken out of the next period, so the rate holds.
  EXPECT_NEAR(now, 1.0 + 600 * PERIOD, 0.001);
}

TEST(FramePacer, SwapsThatWaitForTheRefreshGetNothingAdded) {
  FramePacer pacer;
  pacer.SetRate(60.0);
  // A refresh a little faster than the one reported, as monitors have.
  for (int frame = 0; frame <= 600; ++frame) EXPECT_EQ(pacer.AfterSwap(frame / 60.05), 0.0) << frame;
}

TEST(FramePacer, ALateFrameIsNotMadeUpForAndAResetClockStartsAfresh) {
  FramePacer pacer;
  pacer.SetRate(60.0);
  pacer.AfterSwap(0.0);
  EXPECT_EQ(pacer.AfterSwap(0.040), 0.0) << "late";
  EXPECT_NEAR(pacer.AfterSwap(0.045), PERIOD - 0.005, 1e-9) << "the next frame gets a whole period";
  EXPECT_EQ(pacer.AfterSwap(0.001), 0.0) << "the timer was set back";
  EXPECT_NEAR(pacer.AfterSwap(0.002), PERIOD - 0.001, 1e-9);
  pacer.SetRate(0.0);
  EXPECT_EQ(pacer.AfterSwap(0.003), 0.0) << "no pacing";
}
