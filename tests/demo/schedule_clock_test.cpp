// The spawn rules' clock without a window: how many ticks frames at any
// rate run over a whole show, a stall live and offline, and two hours
// without drift. Frame times are n / fps, as the capture and a steady
// display give them.
#include "demo/schedule_clock.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct TickRun {
  long ticks = 0;         // ticks run in all
  long mostInAFrame = 0;  // the most one frame ran
  bool late = false;      // some tick ran ahead of its time
  long lastTick = -1;
};

// Frames at n / fps from 0 until seconds, every tick run.
TickRun Frames(double fps, double seconds) {
  ScheduleClock clock;
  clock.catchUp = ScheduleClock::EVERY_TICK;
  clock.Restart(0.0);
  TickRun run;
  for (long n = 0; n / fps <= seconds; ++n) {
    const double t = n / fps;
    const ScheduleClock::Ticks due = clock.Due(t);
    run.ticks += due.end - due.first;
    run.mostInAFrame = std::max(run.mostInAFrame, due.end - due.first);
    if (due.end > due.first) {
      run.late = run.late || ScheduleClock::TimeOf(due.end - 1) > t + 1e-9;
      EXPECT_EQ(due.first, run.lastTick + 1) << "a tick skipped or run twice at frame " << n;
      run.lastTick = due.end - 1;
    }
  }
  return run;
}

}  // namespace

TEST(ScheduleClock, AnyFrameRateRunsSixtyTicksASecond) {
  // Ticks 0 to 9000 fall within a 150 s show; at 29.97 fps the last frame,
  // 4495, is at 149.98332 s, short of tick 8999's 149.98333 s.
  const struct {
    double fps;
    long ticks;
    long mostInAFrame;
  } cases[] = {{1.0, 9001, 60}, {29.97, 8999, 3}, {60.0, 9001, 1}, {144.0, 9001, 1}, {10000.0, 9001, 1}};
  for (const auto& c : cases) {
    const TickRun run = Frames(c.fps, 150.0);
    EXPECT_EQ(run.ticks, c.ticks) << c.fps << " fps";
    EXPECT_EQ(run.mostInAFrame, c.mostInAFrame) << c.fps << " fps";
    EXPECT_FALSE(run.late) << c.fps << " fps";
  }
}

TEST(ScheduleClock, AStallRunsAtMostSixTicksLiveAndEveryTickOffline) {
  for (const long catchUp : {ScheduleClock::LIVE_CATCH_UP, ScheduleClock::EVERY_TICK}) {
    ScheduleClock clock;
    clock.catchUp = catchUp;
    clock.Restart(0.0);
    for (long n = 0; n <= 600; ++n) clock.Due(n / 60.0);  // up to 10 s
    // Two seconds pass before the next frame.
    const ScheduleClock::Ticks stalled = clock.Due(12.0);
    EXPECT_EQ(stalled.end, 721);
    EXPECT_EQ(stalled.first, catchUp == ScheduleClock::EVERY_TICK ? 601 : 715) << "the latest six";
    // The frame after runs its own tick only: nothing is made up for.
    const ScheduleClock::Ticks next = clock.Due(12.0 + 1.0 / 60.0);
    EXPECT_EQ(next.first, 721);
    EXPECT_EQ(next.end, 722);
  }
}

TEST(ScheduleClock, TheClockGoingBackRunsNothingAndRestartCountsAfresh) {
  ScheduleClock clock;
  clock.Restart(0.0);
  clock.Due(30.0);
  ScheduleClock::Ticks due = clock.Due(20.0);
  EXPECT_EQ(due.first, due.end);
  clock.Restart(20.0);
  due = clock.Due(20.0);
  EXPECT_EQ(due.first, 1200);
  EXPECT_EQ(due.end, 1201);
}

TEST(ScheduleClock, TwoHoursAt144FramesASecondDoNotDrift) {
  // 2 h = 432,000 ticks after tick 0; adding up float frame deltas instead
  // would be seconds off by then.
  const TickRun run = Frames(144.0, 7200.0);
  EXPECT_EQ(run.ticks, 432001);
  EXPECT_EQ(run.lastTick, 432000);
  EXPECT_FALSE(run.late);
}
