// A one-line progress bar on stderr: frames done, frames a second and time
// left. Silent when stderr is not a terminal, so logs and pipes stay clean.
#pragma once

#include <chrono>

class ProgressBar {
 public:
  // total: frames to be done.
  explicit ProgressBar(long total);
  // done frames so far; redraws at most a few times a second.
  void Update(long done);
  // Clears the line.
  void Finish();

  const bool shown;

 private:
  using Clock = std::chrono::steady_clock;
  const long total;
  const Clock::time_point start;
  Clock::time_point lastDrawn;
  bool drawn = false;
};
