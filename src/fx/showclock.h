// The show clock: seconds since start-up finished, read afresh from the
// platform timer at every call, so tests and the capture tool can set it.
#pragma once

// Timer value (seconds) at which the show clock starts, set last in start-up.
extern float startDemoTime;

// Seconds since startDemoTime.
float DemoTime();

// The show's timetable on that clock, in seconds. Each is compared strictly:
// at exactly EFFECTS_FROM no effect runs, at exactly SHOW_END the show goes on.
constexpr float EFFECTS_FROM = 5.0f;     // the scheduler runs after this
constexpr float FLORA_FROM = 70.0f;      // the mid band spawns mesh scenes after this
constexpr float FADE_FROM = 146.0f;      // the black fade and the credit from here
constexpr float EFFECTS_UNTIL = 148.0f;  // the scheduler runs before this; the fade is full here
constexpr float SHOW_END = 151.0f;       // running is cleared in the first frame past this
