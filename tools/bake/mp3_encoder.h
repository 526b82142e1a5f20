// Encodes 44.1 kHz stereo audio to an MP3 file with libmp3lame.
#pragma once

#include <string>

#include "dsp.h"

// Writes audio (samples clipped to +-1) as a 192 kbit/s constant-rate MP3;
// false with a message on failure.
bool WriteMp3(const std::string& path, const Stereo& audio);
