// The show clock: seconds since start-up finished, read afresh from the
// platform timer at every call, so tests and the capture tool can set it.
#pragma once

// Timer value (seconds) at which the show clock starts, set last in start-up.
extern float startDemoTime;

// Seconds since startDemoTime.
float DemoTime();
