// The last steps before encoding: the closing fade, loudness normalisation
// to a target in LUFS (ITU-R BS.1770 K-weighting with gating) and a
// look-ahead peak limiter, so nothing clips.
#pragma once

#include "dsp.h"

// Integrated loudness in LUFS of a 44.1 kHz stereo signal; -70 or below for silence.
double IntegratedLoudness(const Stereo& audio);

// Fades out between fadeStart and fadeEnd seconds (silence after), scales to
// targetLufs and limits every sample to ceiling (linear, below 1).
void Master(Stereo& audio, double fadeStart, double fadeEnd, double targetLufs, double ceiling);
