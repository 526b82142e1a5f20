// The command line of zarv-capture: what to render (a video, a folder of
// frames, single stills or the benchmark), the range, the frame rate and
// where the show's files are.
#pragma once

#include <string>
#include <vector>

#include "fx/showclock.h"

struct CaptureOptions {
  enum class Mode { VIDEO, FRAMES, STILLS, BENCH };

  Mode mode = Mode::VIDEO;
  // A ".mp4" file (VIDEO), a folder (FRAMES, STILLS) or a ".png" file (one still).
  std::string output = "zarv.mp4";
  double from = 0.0;  // show seconds, first frame at or after it
  double to = -1.0;   // show seconds, frames before it; negative: to the show's end
  int fps = 60;
  std::vector<double> stills;  // show seconds, in the order given
  // Where data/ and murel.mp3 are; empty: the folder of the executable.
  std::string showDir;
  bool help = false;
};

constexpr int MAX_FPS = 240;

// Reads argv into *options. False with a one-line reason in *error when an
// option is unknown, lacks its value, or the values do not fit together.
bool ParseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error);

// The --help text.
std::string CaptureUsage();
