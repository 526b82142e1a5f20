// zarv-capture --bench: how long the show's frames take offscreen, each drawn
// and read back as a capture does. Four cases in one run: the floor (a frame
// that only clears and reads back), the timetable, a stress case of 16 live
// effects including four flora scenes, and the capture pipeline (frames drawn
// and encoded to MP4, against ffmpeg alone encoding the same frames).
#pragma once

#include <string>
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

// Runs the four cases from the show folder and prints a table on stdout.
// soundtrack: the music file's absolute path, for the capture's video.
int RunFrameBench(const CaptureOptions& options, const std::string& soundtrack);
