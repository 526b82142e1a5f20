// zarv-capture --bench: how long the show's frames take offscreen, each drawn
// and read back as a capture does. Three cases in one run: the floor (a frame
// that only clears and reads back), the whole timetable, and a stress case
// of 16 live effects including four flora scenes.
#pragma once

#include <vector>

#include "capture_options.h"

// Frame times of one case and what is printed about them.
struct FrameTimes {
  std::vector<double> ms;  // per frame, milliseconds
  double seconds = 0.0;    // wall time of the whole case
  long peakKb = 0;         // peak resident memory of the process after the case

  // The p-th percentile (0..100) by nearest rank; 0 with no frames.
  double Percentile(double p) const;
  double Fps() const { return seconds > 0.0 ? ms.size() / seconds : 0.0; }
};

// Runs the three cases from the show folder and prints a table on stdout.
int RunFrameBench(const CaptureOptions& options);
