// The effect scheduler: once per frame it fetches the spectrum, draws every
// live effect, retires the finished ones and creates new ones from the
// spectrum's bass (band 1) and mid (band 17), the clock and chance.
#pragma once

// The spectrum of the current frame: 512 bands, or null without music.
extern float* FFT;

// One scheduler step; dt is the frame's delta time in seconds.
void processFX(float dt);

// How often each spawn rule created an effect since the program started.
struct ScheduleCounts {
  long bass = 0;           // Circle1Frag from band 1
  long mid = 0;            // Flora0Frag from band 17 with fewer than 15 effects
  long midForced = 0;      // Flora0Frag forced into slot 1 at exactly 15 effects
  long chanceCircle1 = 0;  // Circle1Frag by chance
  long chanceCircle2 = 0;  // Circle2Frag by chance
};
const ScheduleCounts& scheduleCounts();
