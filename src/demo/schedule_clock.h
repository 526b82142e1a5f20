// The spawn rules' clock: ticks of 1/60 s of show time, counted in whole
// numbers from the show's start, so that what the rules spawn does not
// depend on how many frames are drawn. Drawing, animation and retiring stay
// per frame; only the rules wait for ticks. Plain arithmetic on the show
// time: it reads no timer and touches no GL.
#pragma once

class ScheduleClock {
 public:
  static constexpr int TICKS_PER_SECOND = 60;
  // The most ticks one live frame runs: a frame later than this (a window
  // drag, a slow disk) drops the older ticks it missed rather than spawning
  // all of them at once. A tenth of a second, so the live show runs every
  // tick down to 10 frames a second.
  static constexpr long LIVE_CATCH_UP = 6;
  // For catchUp: no bound, every tick runs (the capture).
  static constexpr long EVERY_TICK = 0;

  // The last tick due at a show time (seconds): tick k is due from k / 60 s.
  // A time within a millionth of a tick below k / 60 counts as k's, so that a
  // frame time n / fps that is a multiple of 1/60 gets its tick whatever the
  // rounding of the division.
  static long TickAt(double showSeconds);
  // Show time of tick k, in seconds.
  static double TimeOf(long tick) { return static_cast<double>(tick) / TICKS_PER_SECOND; }

  // The ticks a frame runs: [first, end), oldest first.
  struct Ticks {
    long first = 0;
    long end = 0;
  };
  // The ticks due by showSeconds that have not run, at most catchUp of the
  // latest; from then on they count as run. None when the clock went back.
  Ticks Due(double showSeconds);
  // Counts afresh: the next tick to run is the one due at showSeconds.
  void Restart(double showSeconds) { next = TickAt(showSeconds); }

  long catchUp = LIVE_CATCH_UP;  // or EVERY_TICK

 private:
  long next = 0;  // the first tick not run yet
};
