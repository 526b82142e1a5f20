// Reads a track with the show's own analysis, as the show would play it, and
// tells for each stretch how often the two spawning bands cross their
// thresholds, before and after the level fit, with the shares over the
// stretches where each rule is in force.
#pragma once

#include <string>
#include <vector>

#include "demo/showmusic.h"

struct BandShare {
  double start = 0.0;       // seconds
  double end = 0.0;         // seconds
  double bass = 0.0;        // share of analyses, 0..1, with band 1 above its threshold
  double mid = 0.0;         // share of analyses, 0..1, with band 17 above its threshold
  double fittedBass = 0.0;  // the same with the fitted gains
  double fittedMid = 0.0;
  double bassPeak = 0.0;  // largest band 1 level in the stretch, unfitted
  double midPeak = 0.0;   // largest band 17 level in the stretch, unfitted
};

struct BandReport {
  std::vector<BandShare> stretches;
  TrackFit fit;
  double seconds = 0.0;  // the track's length
};

// Scans the track and reports it in stretches of `stretch` seconds. False
// with the reason when the track cannot be read.
bool ReportBands(const std::string& path, double stretch, BandReport* report, std::string* reason);

// The report as a table, one stretch a line, then the fit.
std::string FormatBandReport(const BandReport& report);
