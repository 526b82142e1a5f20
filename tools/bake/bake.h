// Bakes every file the show reads into its run directory: data/*.png,
// data/fontmetrics.data, data/*.mesh, data/*.anim, data/circlemove.timeline
// and murel.mp3.
#pragma once

#include <string>

// showDir must exist; data/ is created in it. fontPath is the TrueType file of
// the bitmap font. Prints what it wrote on stdout when verbose; false (with a
// message on stderr) if any file could not be made.
bool BakeShow(const std::string& showDir, const std::string& fontPath, bool verbose);
