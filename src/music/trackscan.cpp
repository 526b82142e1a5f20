// The offline reader's own path: the same stream window and analyser, at
// positions that only move forward, so the file is decoded exactly once and
// what is kept is a few floats per analysis, never the audio.
#include "music/trackscan.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "music/spectrum.h"
#include "music/streamwindow.h"
#include "music/trackstream.h"

namespace {

constexpr int64_t FRAMES_PER_ANALYSIS = TrackStream::RATE / TrackScan::PER_SECOND;
static_assert(FRAMES_PER_ANALYSIS * TrackScan::PER_SECOND == TrackStream::RATE,
              "analyses fall on whole frames");

}  // namespace

double TrackScan::Length() const { return static_cast<double>(frames) / TrackStream::RATE; }

bool ScanTrack(const std::string& name, const std::vector<int>& bands, TrackScan* scan, std::string* reason,
               double maxSeconds) {
  const auto started = std::chrono::steady_clock::now();
  *scan = TrackScan();
  TrackStream stream;
  if (!stream.Open(name.c_str(), reason)) return false;
  scan->artist = stream.Source().artist;
  scan->title = stream.Source().title;
  scan->sourceRate = stream.Source().rate;
  scan->sourceChannels = stream.Source().channels;
  scan->levels.resize(bands.size());

  // Kept off the stack: the window holds 8192 frames of its own.
  auto window = std::make_unique<StreamWindow>();
  SpectrumAnalyser analyser;
  float left[SpectrumAnalyser::SIZE];
  float right[SpectrumAnalyser::SIZE];
  float spectrum[SpectrumAnalyser::BANDS];
  const double lastEnd = std::max(0.0, maxSeconds) * TrackStream::RATE;
  int64_t end = 0;
  for (; end <= lastEnd; end += FRAMES_PER_ANALYSIS) {
    window->ReadChannels(stream, end, SpectrumAnalyser::SIZE, left, right);
    const int64_t length = window->End(stream);
    if (length >= 0 && end > length) break;
    analyser.AnalyseChannels(left, right, spectrum);
    for (size_t i = 0; i < bands.size(); ++i) scan->levels[i].push_back(spectrum[bands[i]]);
    scan->loudest.push_back(*std::max_element(spectrum, spectrum + SpectrumAnalyser::BANDS));
  }
  const int64_t length = window->End(stream);
  scan->frames = length >= 0 ? length : std::min<int64_t>(end, static_cast<int64_t>(lastEnd));
  scan->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (scan->frames <= 0) {
    *reason = "no audio frame decodes in the file";
    return false;
  }
  return true;
}
