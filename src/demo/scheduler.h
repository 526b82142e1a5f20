// The effect scheduler: once per frame it draws every live effect and
// retires the finished ones; once per tick of its clock (1/60 s of show
// time) it fetches the spectrum and creates new effects from its bass
// (band 1) and mid (band 17), the show clock and chance.
#pragma once

#include "demo/schedule_clock.h"

// The spawn rules' bands and the levels they fire above.
constexpr int BASS_BAND = 1;  // a Circle1Frag when this band is above BASS_LEVEL
constexpr double BASS_LEVEL = 0.3;
constexpr int MID_BAND = 17;  // a Flora0Frag when this band is above MID_LEVEL
constexpr double MID_LEVEL = 0.1;

class Circle1Frag;
class Flora0Frag;

// The spectrum of the last tick: 512 bands, or null without music.
extern float* FFT;

// Gives a mesh scene its slot as the mid rule does: alive, at the slot's
// first animation frame, the slot marked used.
void TakeSlot(Flora0Frag* flora, int slot);
// The first circle ornament in the live list, which a new sprite follows;
// null when there is none.
Circle1Frag* FirstCircle();

// One frame of the scheduler; dt is the frame's delta time in seconds. After
// drawing and retiring, the spawn rules run once for each tick due by the
// show clock, each at its own show time: DemoTime reads the tick's time and
// the spectrum is the one at it. Ticks outside the timetable's effects span
// (effectsFrom, effectsUntil) spawn nothing.
void processFX(float dt);
// The clock whose ticks processFX runs; start-up restarts it at show time 0.
ScheduleClock& scheduleClock();

// How often each spawn rule created an effect since the program started.
struct ScheduleCounts {
  long bass = 0;           // Circle1Frag from band 1
  long mid = 0;            // Flora0Frag from band 17 with fewer than 15 effects
  long midForced = 0;      // Flora0Frag forced into slot 1 at exactly 15 effects
  long chanceCircle1 = 0;  // Circle1Frag by chance
  long chanceCircle2 = 0;  // Circle2Frag by chance
};
const ScheduleCounts& scheduleCounts();
