// A one-line progress bar on stderr: frames done, frames a second and time
// left. Silent when stderr is not a terminal, so logs and pipes stay clean.
// A part run by --jobs reports "DONE TOTAL" lines on the file descriptor
// its parent names instead, for the parent's one bar.
#pragma once

#include <chrono>

class ProgressBar {
 public:
  static constexpr const char* REPORT_FD_VARIABLE = "ZARV_CAPTURE_PROGRESS_FD";

  // total: frames to be done.
  explicit ProgressBar(long total);
  // done frames so far; redraws at most a few times a second.
  void Update(long done);
  // Clears the line.
  void Finish();

  const bool shown;

 private:
  const int reportFd;  // -1: none
  using Clock = std::chrono::steady_clock;
  const long total;
  const Clock::time_point start;
  Clock::time_point lastDrawn;
  bool drawn = false;
};
