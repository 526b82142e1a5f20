// How long the live show waits after a buffer swap, so that it draws no
// more frames than it is asked to. It goes by the frames' own times, not by
// what the driver says: where swaps wait for the display's refresh a frame
// already lasts its period and nothing is added; where they do not (a
// virtual X server ignores the swap interval), the frame sleeps out the
// rest of its period. A late frame is not made up for by rushing the next.
#pragma once

class FramePacer {
 public:
  // Frames a second to hold to; 0 or less: no pacing.
  void SetRate(double framesPerSecond);
  // Given the timer (seconds) right after a swap, the seconds to sleep
  // before the next frame starts, from 0 up to one period.
  double AfterSwap(double now);

 private:
  double period = 0.0;  // seconds; 0: no pacing
  bool started = false;
  double frameStart = 0.0;  // seconds: when the frame being drawn began
};
