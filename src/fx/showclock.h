// The show clock: seconds since start-up finished, read afresh from the
// platform timer at every call, so tests and the capture tool can set it.
// While the scheduler's spawn rules run for a tick, it reads that tick's time.
#pragma once

// Timer value (seconds) at which the show clock starts, set last in start-up.
extern float startDemoTime;

// Seconds since startDemoTime, or the pinned time while one is pinned.
float DemoTime();
// Seconds since startDemoTime in double precision, always from the timer:
// what the spawn rules count their ticks from.
double ShowSeconds();
// From now on DemoTime reads seconds (a spawn tick's show time), until
// UnpinDemoTime.
void PinDemoTime(double seconds);
void UnpinDemoTime();
