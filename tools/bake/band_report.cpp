// The band report, computed with the music module's offline reader so that
// the figures are exactly what the show's scheduler would read.
#include "band_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "music/music.h"

std::vector<BandShare> AnalyseBands(const std::string& mp3, double seconds, double fps, double stretch) {
  std::vector<BandShare> shares;
  MusicSetOffline(true);
  if (!MusicInit(mp3.c_str())) {
    MusicDone();
    return shares;
  }
  const int frames = static_cast<int>(std::lround(seconds * fps));
  const int perStretch = std::max(1, static_cast<int>(std::lround(stretch * fps)));
  for (int f = 0; f < frames; ++f) {
    if (f % perStretch == 0) {
      BandShare s;
      s.start = f / fps;
      shares.push_back(s);
    }
    MusicSetOfflinePosition(f / fps);
    const float* bands = MusicGetSpectrum();
    if (!bands) break;
    BandShare& s = shares.back();
    s.end = (f + 1) / fps;
    s.bass += bands[1] > 0.3 ? 1.0 : 0.0;
    s.mid += bands[17] > 0.1 ? 1.0 : 0.0;
    s.bassPeak = std::max(s.bassPeak, static_cast<double>(bands[1]));
    s.midPeak = std::max(s.midPeak, static_cast<double>(bands[17]));
  }
  MusicDone();
  for (BandShare& s : shares) {
    const double count = std::max(1.0, std::round((s.end - s.start) * fps));
    s.bass /= count;
    s.mid /= count;
  }
  return shares;
}

std::string FormatBandReport(const std::vector<BandShare>& shares) {
  std::string text = "   seconds  band1>0.3 (peak)  band17>0.1 (peak)\n";
  for (const BandShare& s : shares) {
    char line[128];
    std::snprintf(line, sizeof line, "%4.0f-%4.0f  %6.1f%%  (%.2f)   %6.1f%%  (%.3f)\n", s.start, s.end,
                  100.0 * s.bass, s.bassPeak, 100.0 * s.mid, s.midPeak);
    text += line;
  }
  return text;
}
