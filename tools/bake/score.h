// The soundtrack "murel": about 150 s at 120 beats per minute in A minor,
// composed for the show's two spectrum bands. Kicks carry band 1 (around
// 43 Hz) through the groove and stop for the breakdown; a bell on F#5
// (740 Hz, band 17) sounds only in the chosen passages after 70 s.
#pragma once

#include "dsp.h"

// Length of the rendered piece in seconds; it is silent from 147.5 s on.
constexpr double MUSIC_SECONDS = 150.0;

// Renders and mixes every part; levels are not yet normalised.
Stereo RenderMusic();
