// Every fitted time is derived from the built-in timetable itself, so the two
// cannot drift apart: a track of BUILT_IN_SECONDS gets the built-in times.
#include "demo/timetable.h"

#include <limits>

Timetable timetable;

Timetable Timetable::FittedTo(double trackSeconds) {
  const Timetable builtIn;
  // Seconds after the track's end (negative: before it) of a built-in time.
  const auto fromEnd = [&](float time) {
    return static_cast<float>(trackSeconds + (time - BUILT_IN_SECONDS));
  };
  Timetable fitted;
  fitted.effectsFrom = builtIn.effectsFrom;
  fitted.floraFrom = static_cast<float>(trackSeconds * builtIn.floraFrom / BUILT_IN_SECONDS);
  fitted.fadeFrom = fromEnd(builtIn.fadeFrom);
  fitted.effectsUntil = fromEnd(builtIn.effectsUntil);
  fitted.showEnd = fromEnd(builtIn.showEnd);
  return fitted;
}

Timetable Timetable::Endless() {
  constexpr float NEVER = std::numeric_limits<float>::infinity();
  Timetable endless;
  endless.fadeFrom = NEVER;
  endless.effectsUntil = NEVER;
  endless.showEnd = NEVER;
  return endless;
}
