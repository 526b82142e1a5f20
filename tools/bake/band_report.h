// Reads a baked soundtrack through the music module's own offline spectrum,
// as the show sees it, and tells for each stretch of the show how often the
// two spawning bands cross their thresholds.
#pragma once

#include <string>
#include <vector>

struct BandShare {
  double start = 0.0;     // seconds
  double end = 0.0;       // seconds
  double bass = 0.0;      // share of frames, 0..1, with band 1 above 0.3
  double mid = 0.0;       // share of frames, 0..1, with band 17 above 0.1
  double bassPeak = 0.0;  // largest band 1 value in the stretch
  double midPeak = 0.0;   // largest band 17 value in the stretch
};

// Analyses the first `seconds` of the mp3 at `fps` frames a second in stretches
// of `stretch` seconds. Empty when the music module cannot open the file.
std::vector<BandShare> AnalyseBands(const std::string& mp3, double seconds, double fps, double stretch);

// The report as a table, one stretch a line.
std::string FormatBandReport(const std::vector<BandShare>& shares);
