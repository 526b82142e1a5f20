// The show's own init, display and done driven at a fixed frame rate on the
// offscreen backend: frame n sets the virtual clock to n / fps and draws with
// dt = 1 / fps; each scheduler tick reads the music at its own time. Nothing
// of the show is drawn here.
#pragma once

#include <functional>
#include <vector>

#include "platform/offscreen_window.h"

class OfflineShow {
 public:
  explicit OfflineShow(int fps);
  ~OfflineShow();
  OfflineShow(const OfflineShow&) = delete;
  OfflineShow& operator=(const OfflineShow&) = delete;

  // Makes the offscreen window the platform backend, switches the music to
  // offline reading and runs the show's start-up with the clock at 0. The
  // working directory must hold the show's files.
  void Start();
  // Draws frame n. When wanted is set, it is called during the frame's swap
  // with the frame still bound, so it can read the pixels.
  void Frame(long n, const std::function<void()>& wanted = nullptr);
  // Runs frame n as Frame does, with everything it draws discarded before
  // rasterisation: the show's state moves on exactly as when drawn (no
  // effect reads pixels back), at the cost of its own code and the vertices.
  void RunUndrawn(long n);
  // False once the show has ended itself (its clock passed the timetable's showEnd).
  bool Running() const;
  // The show's shutdown (the window closes with it), then the effects still
  // live are released.
  void Finish();

  double TimeOf(long n) const { return static_cast<double>(n) / fps; }
  // The current frame's pixels as RGBA rows, top row first.
  std::vector<unsigned char> TopDownPixels() const;

  platform::OffscreenWindow window;
  const int fps;

 private:
  bool started = false;
  std::function<void()> onFrame;
};
