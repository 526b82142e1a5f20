// The figures come from the show's own scan and fit, so they are exactly what
// the scheduler reads at 60 frames a second.
#include "band_report.h"

#include <algorithm>
#include <cstdio>

#include "demo/scheduler.h"
#include "music/trackscan.h"

bool ReportBands(const std::string& path, double stretch, BandReport* report, std::string* reason) {
  TrackScan scan;
  if (!ScanTrack(path, {BASS_BAND, MID_BAND}, &scan, reason)) return false;
  *report = BandReport();
  report->seconds = scan.Length();
  report->fit = FitTrack(scan);
  const size_t perStretch = std::max<size_t>(1, static_cast<size_t>(stretch * TrackScan::PER_SECOND + 0.5));
  for (size_t first = 0; first < scan.loudest.size(); first += perStretch) {
    const size_t end = std::min(scan.loudest.size(), first + perStretch);
    BandShare s;
    s.start = static_cast<double>(first) / TrackScan::PER_SECOND;
    s.end = static_cast<double>(end) / TrackScan::PER_SECOND;
    const float* bass = scan.levels[0].data() + first;
    const float* mid = scan.levels[1].data() + first;
    const size_t count = end - first;
    s.bass = ShareAbove(bass, count, 1.0f, BASS_LEVEL);
    s.mid = ShareAbove(mid, count, 1.0f, MID_LEVEL);
    s.fittedBass = ShareAbove(bass, count, report->fit.bassGain, BASS_LEVEL);
    s.fittedMid = ShareAbove(mid, count, report->fit.midGain, MID_LEVEL);
    s.bassPeak = *std::max_element(bass, bass + count);
    s.midPeak = *std::max_element(mid, mid + count);
    report->stretches.push_back(s);
  }
  return true;
}

std::string FormatBandReport(const BandReport& report) {
  char line[160];
  std::snprintf(line, sizeof line,
                "   seconds   band %d > %.1f (peak)  fitted   band %d > %.1f (peak)  fitted\n", BASS_BAND,
                BASS_LEVEL, MID_BAND, MID_LEVEL);
  std::string text = line;
  for (const BandShare& s : report.stretches) {
    std::snprintf(line, sizeof line, "%5.0f-%4.0f  %6.1f%%  (%.3f)  %6.1f%%  %6.1f%%  (%.3f)  %6.1f%%\n",
                  s.start, s.end, 100.0 * s.bass, s.bassPeak, 100.0 * s.fittedBass, 100.0 * s.mid, s.midPeak,
                  100.0 * s.fittedMid);
    text += line;
  }
  const TrackFit& f = report.fit;
  const Timetable& t = f.timetable;
  // One line for each rule: its band, while it is in force.
  const auto rule = [&](int band, float from, double share, double fitted, float gain, double builtIn) {
    std::snprintf(
        line, sizeof line,
        "band %d, %.0f-%.0f s: %.1f%% above, %.1f%% after gain %.3g (the built-in soundtrack: %.1f%%)\n",
        band, from, t.effectsUntil, 100.0 * share, 100.0 * fitted, gain, 100.0 * builtIn);
    text += line;
  };
  rule(BASS_BAND, t.effectsFrom, f.bassShare, f.fittedBassShare, f.bassGain, BUILT_IN_BASS_SHARE);
  rule(MID_BAND, t.floraFrom, f.midShare, f.fittedMidShare, f.midGain, BUILT_IN_MID_SHARE);
  return text;
}
