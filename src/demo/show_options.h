// The command line of zarv, and the rows for choosing the music that the
// capture tool shares with it.
#pragma once

#include <string>
#include <vector>

#include "foundation/options.h"

struct ShowOptions {
  std::string music;       // a track to play instead of the built-in soundtrack; empty: the soundtrack
  std::string credit;      // the closing credit, UTF-8; empty: the track's own
  std::string listen;      // the source --listen names; empty: the default output's monitor
  std::string resolution;  // "show", "screen", or empty: the renderer decides
  // Frames a second the live show holds to: platform::PACE_TO_DISPLAY, a
  // rate, or platform::NO_FRAME_LIMIT.
  int fpsLimit = 0;
  // The window's size; 0 x 0: full screen.
  int windowWidth = 0;
  int windowHeight = 0;
  std::string monitor;  // --monitor's number or name; empty: the primary monitor
  bool listSources = false;
  bool listMonitors = false;
  bool help = false;
  bool version = false;
};

// --music and --credit, bound to where their values go.
std::vector<Option> MusicOptionRows(std::string* music, std::string* credit);

// zarv's table, bound to options.
OptionTable ShowOptionTable(ShowOptions* options);
