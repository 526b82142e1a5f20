// A track is fitted on its scan before anything opens: its real length sets
// the timetable, and each spawning band's levels while its rule is in force
// set that band's gain.
#include "demo/showmusic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "demo/credit.h"
#include "demo/scheduler.h"
#include "demo/timetable.h"
#include "foundation/paths.h"
#include "music/levelfit.h"
#include "music/music.h"
#include "music/sourcelist.h"
#include "music/spectrum.h"
#include "music/trackscan.h"

ShowMusic showMusic;

const char* const SOURCES_HEADING =
    "Audio sources (* marks the default output's monitor, which --listen takes when no SOURCE is given):\n";

namespace {

// The analyses of the scan strictly inside (from, until) seconds.
struct Span {
  size_t first = 0;
  size_t count = 0;
};

Span Between(const TrackScan& scan, float from, float until) {
  const size_t analyses = scan.loudest.size();
  const auto index = [&](float seconds) {
    const double n = static_cast<double>(seconds) * TrackScan::PER_SECOND;
    return std::min(analyses, static_cast<size_t>(n < 0.0 ? 0.0 : n) + 1);
  };
  Span span;
  span.first = index(from);
  const double last = std::ceil(static_cast<double>(until) * TrackScan::PER_SECOND);
  const size_t end = std::max(span.first, std::min(analyses, static_cast<size_t>(std::max(last, 0.0))));
  span.count = end - span.first;
  return span;
}

}  // namespace

double ShareAbove(const float* levels, size_t count, float gain, double threshold) {
  size_t above = 0;
  for (size_t i = 0; i < count; ++i) above += static_cast<double>(levels[i] * gain) > threshold;
  return count > 0 ? static_cast<double>(above) / static_cast<double>(count) : 0.0;
}

TrackFit FitTrack(const TrackScan& scan) {
  TrackFit fit;
  fit.timetable = Timetable::FittedTo(scan.Length());
  const Span bass = Between(scan, fit.timetable.effectsFrom, fit.timetable.effectsUntil);
  const Span mid = Between(scan, fit.timetable.floraFrom, fit.timetable.effectsUntil);
  const float* bassLevels = scan.levels[0].data() + bass.first;
  const float* midLevels = scan.levels[1].data() + mid.first;
  const std::vector<BandFit> fits = SpawnBandFits();
  const LevelFit& bassFit = fits[0].fit;
  const LevelFit& midFit = fits[1].fit;
  fit.bassGain = bassFit.Gain(bassLevels, scan.loudest.data() + bass.first, bass.count);
  fit.midGain = midFit.Gain(midLevels, scan.loudest.data() + mid.first, mid.count);
  fit.bassShare = ShareAbove(bassLevels, bass.count, 1.0f, BASS_LEVEL);
  fit.midShare = ShareAbove(midLevels, mid.count, 1.0f, MID_LEVEL);
  fit.fittedBassShare = ShareAbove(bassLevels, bass.count, fit.bassGain, BASS_LEVEL);
  fit.fittedMidShare = ShareAbove(midLevels, mid.count, fit.midGain, MID_LEVEL);
  return fit;
}

std::vector<BandFit> SpawnBandFits() {
  return {{BASS_BAND, {static_cast<float>(BASS_LEVEL), BUILT_IN_BASS_SHARE}},
          {MID_BAND, {static_cast<float>(MID_LEVEL), BUILT_IN_MID_SHARE}}};
}

void StartShowMusic() {
  if (showMusic.listen) {
    MusicListen(showMusic.source, SpawnBandFits());
  } else {
    MusicInit(showMusic.path.c_str(),
              showMusic.gains.empty() ? LevelGains() : LevelGains::Scanned(showMusic.gains.data()));
  }
}

bool ListenTo(const std::string& source, std::string* error) {
  SourceList list;
  if (!ListSources(&list, error)) return false;
  if (source.empty() && list.defaultMonitor.empty()) {
    *error = "the audio server has no output to listen to; name a source:\n" + std::string(SOURCES_HEADING) +
             list.Format();
    return false;
  }
  if (!source.empty() && !list.Has(source)) {
    *error = "the audio server has no source called " + source + "\n" + SOURCES_HEADING + list.Format();
    return false;
  }
  timetable = Timetable::Endless();
  showMusic.listen = true;
  showMusic.path.clear();
  showMusic.source = source;
  showMusic.credit.clear();
  return true;
}

bool UseMusic(const std::string& path, const std::string& creditUtf8, std::string* error) {
  if (path.empty()) {
    showMusic.credit = FontText(creditUtf8);
    return true;
  }
  TrackScan scan;
  std::string reason;
  if (!ScanTrack(path, {BASS_BAND, MID_BAND}, &scan, &reason)) {
    *error = path + ": " + reason;
    return false;
  }
  char text[256];
  if (scan.Length() < Timetable::SHORTEST_TRACK_SECONDS) {
    std::snprintf(text, sizeof text, "the track lasts %.1f s, and the show needs at least %.0f s",
                  scan.Length(), Timetable::SHORTEST_TRACK_SECONDS);
    *error = path + ": " + text;
    return false;
  }
  const TrackFit fit = FitTrack(scan);
  timetable = fit.timetable;
  const int bands[2] = {BASS_BAND, MID_BAND};
  const float fitted[2] = {fit.bassGain, fit.midGain};
  showMusic.gains.assign(SpectrumAnalyser::BANDS, 1.0f);
  SpreadGains(bands, fitted, 2, showMusic.gains.data(), SpectrumAnalyser::BANDS);

  showMusic.path = path;
  showMusic.seconds = scan.Length();
  showMusic.fit = fit;
  const std::string tags = !scan.artist.empty() && !scan.title.empty() ? scan.artist + " - " + scan.title
                                                                       : scan.artist + scan.title;
  showMusic.credit = FontText(!creditUtf8.empty() ? creditUtf8 : !tags.empty() ? tags : StemOf(path));
  std::snprintf(text, sizeof text,
                "%.1f s at %d Hz, %d channel%s; band %d gain %.3g, band %d gain %.3g; scanned in %.2f s",
                scan.Length(), scan.sourceRate, scan.sourceChannels, scan.sourceChannels == 1 ? "" : "s",
                BASS_BAND, fit.bassGain, MID_BAND, fit.midGain, scan.seconds);
  showMusic.fitReport = path + ": " + text;
  return true;
}
