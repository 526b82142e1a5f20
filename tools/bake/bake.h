// Bakes every file the show reads into its run directory: data/*.png,
// data/fontmetrics.data, data/*.mesh, data/*.anim, data/circlemove.timeline
// and murel.mp3, and beside them the desktop icon, icon.png.
#pragma once

#include <string>

struct BakeOptions {
  std::string fontPath;  // TrueType file of the bitmap font
  bool music = true;     // false: everything but murel.mp3, in well under a second
  bool verbose = false;  // tell on stdout what was written and how long it took
};

// showDir must exist; data/ is created in it. False (with a message on
// stderr) if any file could not be made.
bool BakeShow(const std::string& showDir, const BakeOptions& options);
