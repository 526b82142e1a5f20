// zarv-capture --bench: how long the show's frames take offscreen, drawn by
// the show's own display and scheduler on the capture's offline show. Four
// cases in one run: the floor (a frame that only clears and reads back), the
// timetable (each frame read back as a PNG frame is, except those the capture
// case takes), a stress case (the scheduler from 80 s, its list topped up to
// 16 live effects including four flora scenes before every frame), and the
// capture (frames fed to ffmpeg through the capture's own read queue,
// VideoFeed, against ffmpeg alone encoding the same frames). Then where
// their time goes: the same frames drawn again, counted by drawer (draw
// calls, vertices, fragments), and drawn at a tiny size for the time that is
// not fill; and the cost of a fragment of each sprite image, as drawn and
// drawn the ways that might cost less.
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

// Runs the four cases from the show folder and prints their tables on stdout.
// soundtrack: the music file's absolute path, for the capture's video.
int RunFrameBench(const CaptureOptions& options, const std::string& soundtrack);
