// What the show plays and names at its end: the built-in soundtrack and
// credit, or a user's track with the timetable, the level gains and the
// credit fitted to it. The frontends set it before start-up.
#pragma once

#include <string>
#include <vector>

#include "demo/timetable.h"
#include "music/levelfit.h"

struct TrackScan;

// The built-in soundtrack's share of frames above each spawn threshold while
// its rule is in force: band 1 from effectsFrom to effectsUntil, band 17 from
// floraFrom to effectsUntil, as zarv-band-report measures them on murel.mp3.
// A fitted track aims at the same shares.
constexpr double BUILT_IN_BASS_SHARE = 0.177;
constexpr double BUILT_IN_MID_SHARE = 0.099;

// A scanned track as the show plays it: the timetable fitted to its length,
// the gains fitted to its spawning bands, and the shares of analyses above
// the spawn thresholds while each rule is in force, before and after the gains.
struct TrackFit {
  Timetable timetable;
  float bassGain = 1.0f;
  float midGain = 1.0f;
  double bassShare = 0.0;
  double midShare = 0.0;
  double fittedBassShare = 0.0;
  double fittedMidShare = 0.0;
};

// The share of levels[0..count) above threshold once multiplied by gain, as
// the scheduler compares them; 0 for no levels.
double ShareAbove(const float* levels, size_t count, float gain, double threshold);
// The fit of a scan made with the bands {BASS_BAND, MID_BAND}.
TrackFit FitTrack(const TrackScan& scan);
// How the spawning bands are fitted, a track's or a live source's: band 1
// and band 17 to the built-in soundtrack's shares above their thresholds.
std::vector<BandFit> SpawnBandFits();

// What the show plays, set before start-up.
struct ShowMusic {
  std::string path = "murel.mp3";  // the file start-up plays, relative to the working directory unless
                                   // absolute; empty when listening
  std::string credit;        // the closing credit as font codes; empty: the built-in one
  std::string fitReport;     // the track's scan and fit, logged by start-up; empty for the built-in music
  double seconds = 0.0;      // a track's length as it decodes; 0 for the built-in soundtrack, not scanned
  TrackFit fit;              // a track's fit; the built-in soundtrack is not fitted
  std::vector<float> gains;  // the gain a track's fit gives each band; empty for the built-in soundtrack
  bool listen = false;       // the show listens to an audio server source instead of playing a file
  std::string source;        // the source listened to; empty: the default output's monitor
};

extern ShowMusic showMusic;

// Starts what showMusic says: the file with its gains, or listening with the
// spawning bands fitted live.
void StartShowMusic();

// Chooses the show's music from the command line. With an empty path the
// built-in soundtrack plays, unfitted, with creditUtf8 as its credit when
// given. Otherwise the track at path is scanned, the timetable and the level
// gains are fitted to it, and the credit is creditUtf8 when given, else the
// track's "Artist - Title" tags, else its file name without the extension.
// False, with "PATH: reason" in *error, for a file that cannot be played or
// is shorter than the shortest track the timetable takes.
bool UseMusic(const std::string& path, const std::string& creditUtf8, std::string* error);
// Chooses listening to an audio server source (empty: the default output's
// monitor) with the endless timetable and no credit. False, with a line for
// the user in *error, when no server answers or it has no such source (the
// line then lists the sources it has).
bool ListenTo(const std::string& source, std::string* error);
// The heading over the list of sources.
extern const char* const SOURCES_HEADING;
