// Test helper: tracks made on the spot, as a user would bring them: a dance
// groove of kicks, hats and a bell (the levels and bands chosen by the
// caller), written as WAV, FLAC, Ogg Vorbis or Opus with tags through
// libsndfile, or as MP3 through LAME.
#pragma once

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "music/mp3_file.h"

struct Groove {
  double seconds = 40.0;
  int rate = 44100;
  double kick = 0.8;     // peak of the kick, 0 for none
  double kickHz = 55;    // where the kick's sweep settles
  double kickDecay = 9;  // how fast the kick dies away, per second
  double bassline = 0;   // peak of a bass note on the off-beats (98 Hz), 0 for none
  double pad = 0;        // level of a sustained chord (220, 277 and 330 Hz), 0 for none
  double hats = 0.15;    // peak of the off-beat hats
  double bell = 0.2;     // peak of the bell at band 17 (740 Hz), every other bar
  double gain = 1.0;     // everything scaled by this
  double lowCutHz = 0;   // nothing below this (a steep high-pass), 0 for none
  // Seconds a beat: 122 beats a minute, off the whole seconds that slow
  // captures sample at.
  double beat = 0.49;
};

// The groove, mono, -1..1: a kick on every beat, hats between, the bell on
// every other bar of four beats. Each hit's level wanders a
// little, as a drummer's does, so no two beats read exactly alike.
inline std::vector<float> GrooveSamples(const Groove& g) {
  const double pi = std::acos(-1.0);
  const size_t frames = static_cast<size_t>(g.seconds * g.rate);
  std::vector<float> out(frames);
  uint32_t state = 12345;
  const auto random = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 16777216.0;  // 0..1
  };
  double kickLevel = 1.0;
  double hatLevel = 1.0;
  double phase = 0.0;
  for (size_t n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / g.rate;
    const double beat = std::fmod(t, g.beat);  // seconds into the beat
    if (n > 0 && beat < 1.0 / g.rate) {
      kickLevel = 0.85 + 0.15 * random();
      hatLevel = 0.7 + 0.3 * random();
    }
    // A kick sweeps from three times its pitch down to it.
    const double hz = g.kickHz * (1.0 + 2.0 * std::exp(-beat * 40.0));
    phase += 2.0 * pi * hz / g.rate;
    if (beat < 1.0 / g.rate) phase = 0.0;
    double sample = g.kick * kickLevel * std::sin(phase) * std::exp(-beat * g.kickDecay);
    const double offBeat = std::fmod(t + g.beat / 2.0, g.beat);
    sample += g.bassline * std::sin(2.0 * pi * 98.0 * t) * std::exp(-offBeat * 4.0);
    for (double hz : {220.0, 277.2, 329.6}) sample += g.pad * std::sin(2.0 * pi * hz * t);
    sample += g.hats * hatLevel * (2.0 * random() - 1.0) * std::exp(-offBeat * 60.0);
    const bool bellBar = static_cast<int>(t / (4.0 * g.beat)) % 2 == 1;
    if (bellBar)
      sample += g.bell * std::sin(2.0 * pi * 740.0 * t) * std::exp(-std::fmod(t, 2.0 * g.beat) * 3.0);
    out[n] = static_cast<float>(sample * g.gain);
  }
  if (g.lowCutHz > 0.0) {
    // Four two-pole high-passes in a row: 48 dB an octave below the cut.
    const double w = std::tan(pi * g.lowCutHz / g.rate);
    const double norm = 1.0 / (1.0 + std::sqrt(2.0) * w + w * w);
    for (int stage = 0; stage < 4; ++stage) {
      double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
      for (float& s : out) {
        const double x = s;
        const double y = norm * (x - 2.0 * x1 + x2) -
                         norm * (2.0 * (w * w - 1.0) * y1 + (1.0 - std::sqrt(2.0) * w + w * w) * y2);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        s = static_cast<float>(y);
      }
    }
  }
  return out;
}

// Writes mono samples with libsndfile in format (SF_FORMAT_...) on as many
// channels as gains has, channel c scaled by gains[c] (-1: in opposite
// phase), with the tags when not empty. False on failure.
inline bool WriteChannels(const std::string& name, const std::vector<float>& mono, int rate,
                          const std::vector<float>& gains, int format, const std::string& artist = "",
                          const std::string& title = "") {
  const int channels = static_cast<int>(gains.size());
  SF_INFO info = {};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(name.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  if (!artist.empty()) sf_set_string(file, SF_STR_ARTIST, artist.c_str());
  if (!title.empty()) sf_set_string(file, SF_STR_TITLE, title.c_str());
  std::vector<float> frames(mono.size() * channels);
  for (size_t n = 0; n < mono.size(); ++n) {
    // Clipped as a master's limiter would: libsndfile's FLAC writer fails
    // on samples beyond full scale.
    const float sample = std::max(-1.0f, std::min(1.0f, mono[n]));
    for (int c = 0; c < channels; ++c) frames[n * channels + c] = sample * gains[static_cast<size_t>(c)];
  }
  const sf_count_t written = sf_writef_float(file, frames.data(), static_cast<sf_count_t>(mono.size()));
  return sf_close(file) == 0 && written == static_cast<sf_count_t>(mono.size());
}

// The same signal on each of channels channels, the second of a stereo pair
// slightly quieter.
inline bool WriteTrack(const std::string& name, const std::vector<float>& mono, int rate, int channels,
                       int format, const std::string& artist = "", const std::string& title = "") {
  std::vector<float> gains(static_cast<size_t>(channels), 1.0f);
  if (channels > 1) gains[1] = 0.9f;
  return WriteChannels(name, mono, rate, gains, format, artist, title);
}

constexpr int FLAC_16 = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
constexpr int WAV_16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
constexpr int VORBIS = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
constexpr int OPUS = SF_FORMAT_OGG | SF_FORMAT_OPUS;
