// Ticks are taken from the show time itself, never by adding up frame
// deltas, so a long show cannot drift off the clock; a time beyond any show
// (or not a number) is held to the clock's range.
#include "demo/schedule_clock.h"

#include <algorithm>
#include <cmath>

namespace {

// Half a year of ticks each way: far beyond any show, far inside a long.
constexpr double MOST_SECONDS = 366.0 * 86400.0 / 2.0;
constexpr double TICK_SLACK = 1e-6;  // ticks

}  // namespace

long ScheduleClock::TickAt(double showSeconds) {
  if (std::isnan(showSeconds)) return 0;
  const double seconds = std::clamp(showSeconds, -MOST_SECONDS, MOST_SECONDS);
  return static_cast<long>(std::floor(seconds * TICKS_PER_SECOND + TICK_SLACK));
}

ScheduleClock::Ticks ScheduleClock::Due(double showSeconds) {
  Ticks due;
  due.end = std::max(next, TickAt(showSeconds) + 1);
  due.first = catchUp == EVERY_TICK ? next : std::max(next, due.end - catchUp);
  next = due.end;
  return due;
}
