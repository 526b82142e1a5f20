// When each part of the show happens, in seconds of the show clock: the
// built-in soundtrack's timetable, the same proportions fitted to the
// length of a user's track, or an endless one for listening. Each time is compared strictly: at exactly
// effectsFrom no effect runs, at exactly showEnd the show goes on.
#pragma once

struct Timetable {
  // The length of the soundtrack the built-in timetable was made for.
  static constexpr double BUILT_IN_SECONDS = 150.0;
  // Shorter tracks leave too little of the show between its start and its fade.
  static constexpr double SHORTEST_TRACK_SECONDS = 30.0;

  float effectsFrom = 5.0f;     // the scheduler runs after this
  float floraFrom = 70.0f;      // the mid band spawns mesh scenes after this
  float fadeFrom = 146.0f;      // the black fade and the credit from here
  float effectsUntil = 148.0f;  // the scheduler runs before this; the fade is full here
  float showEnd = 151.0f;       // running is cleared in the first frame past this

  // The built-in timetable's proportions for a track of the given length:
  // effects from the same start, flora from the same share of the track, the
  // fade, the last effects and the end as far from the track's end.
  static Timetable FittedTo(double trackSeconds);
  // For a live source: effects and flora from the built-in times, and never
  // a fade or an end.
  static Timetable Endless();

  // How much of the fade's opacity a second adds: none at fadeFrom, full at effectsUntil.
  float FadeSlope() const { return 1.0f / (effectsUntil - fadeFrom); }
};

// The show's timetable; the built-in one unless a frontend fitted another
// before start-up.
extern Timetable timetable;
