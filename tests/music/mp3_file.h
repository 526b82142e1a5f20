// Test helper: mp3 files made on the spot (44100 Hz stereo), and
// the signals that go into them.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "mp3/mp3_writer.h"

constexpr int TEST_RATE = 44100;

// amplitude * sin(2 pi hz t), seconds long.
inline std::vector<float> Sine(double hz, double amplitude, double seconds) {
  const double pi = std::acos(-1.0);
  std::vector<float> out(static_cast<size_t>(seconds * TEST_RATE));
  for (size_t n = 0; n < out.size(); ++n)
    out[n] = static_cast<float>(amplitude * std::sin(2.0 * pi * hz * n / TEST_RATE));
  return out;
}

// The centre frequency of band k.
inline double BandHz(int k) { return k * 44100.0 / 1024.0; }

// Appends b to a.
inline std::vector<float> Then(std::vector<float> a, const std::vector<float>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Encodes left/right (-1..1, equal lengths) as a CBR mp3, with LAME's info
// frame filled in (so that decoders drop the encoder's delay and padding)
// unless told to leave it out. False on failure.
inline bool WriteMp3(const std::string& name, const std::vector<float>& left, const std::vector<float>& right,
                     int kbps = 320, bool infoTag = true) {
  Mp3Settings settings;
  settings.rate = TEST_RATE;
  settings.kbps = kbps;
  settings.quality = 2;
  settings.jointStereo = false;
  settings.infoFrame = infoTag ? Mp3Settings::InfoFrame::FILLED : Mp3Settings::InfoFrame::NONE;
  return WriteMp3(name, left, right, settings);
}

// The same signal on both channels.
inline bool WriteMp3(const std::string& name, const std::vector<float>& both, int kbps = 320) {
  return WriteMp3(name, both, both, kbps);
}
