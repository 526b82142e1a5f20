// The instruments of the soundtrack, each a few oscillators, filters and
// envelopes rendered note by note. Noise seeds derive from the note's start
// sample, so every bake renders the same sound.
#include "instruments.h"

#include <algorithm>
#include <cmath>

namespace {

// First sample and sample count of a note, clipped to the bus.
bool Span(const Stereo& bus, double start, double seconds, size_t* first, size_t* count) {
  const double begin = std::floor(start * SAMPLE_RATE);
  if (begin < 0.0 || begin >= static_cast<double>(bus.Frames())) return false;
  *first = static_cast<size_t>(begin);
  *count = std::min(static_cast<size_t>(seconds * SAMPLE_RATE), bus.Frames() - *first);
  return true;
}

// Equal-power gains for a pan position -1..1.
void PanGains(double pan, double* left, double* right) {
  const double angle = (std::clamp(pan, -1.0, 1.0) + 1.0) * 0.25 * 3.14159265358979323846;
  *left = std::cos(angle) * std::sqrt(2.0);
  *right = std::sin(angle) * std::sqrt(2.0);
}

// Attack-sustain-release shape: linear attack, hold, exponential-like release.
double Gate(double t, double length, double attack, double release) {
  if (t < attack) return t / attack;
  if (t < length) return 1.0;
  const double r = (t - length) / release;
  return r >= 1.0 ? 0.0 : (1.0 - r) * (1.0 - r);
}

void Put(Stereo& bus, size_t i, double value, double left, double right) {
  bus.left[i] += static_cast<float>(value * left);
  bus.right[i] += static_cast<float>(value * right);
}

uint32_t Seed(double start, uint32_t salt) {
  return static_cast<uint32_t>(start * SAMPLE_RATE) * 2654435761u + salt;
}

}  // namespace

void Kick(Stereo& bus, double start, double velocity) {
  size_t first = 0;
  size_t count = 0;
  if (!Span(bus, start, 0.5, &first, &count)) return;
  Noise noise(Seed(start, 1));
  double phase = 0.0;
  for (size_t n = 0; n < count; ++n) {
    const double t = n / SAMPLE_RATE;
    const double freq = 34.0 + 120.0 * std::exp(-t / 0.03);
    phase += freq / SAMPLE_RATE;
    const double body = std::sin(TAU * phase) * std::exp(-t / 0.18) * std::min(1.0, t / 0.001);
    const double fade = t > 0.42 ? (0.5 - t) / 0.08 : 1.0;
    const double click = noise.Next() * std::exp(-t / 0.002) * 0.25;
    Put(bus, first + n, velocity * (body * fade + click), 1.0, 1.0);
  }
}

void Clap(Stereo& bus, double start, double velocity, double pan) {
  size_t first = 0;
  size_t count = 0;
  if (!Span(bus, start, 0.35, &first, &count)) return;
  double gl = 0.0;
  double gr = 0.0;
  PanGains(pan, &gl, &gr);
  Noise noise(Seed(start, 2));
  Svf band;
  Svf low;
  for (size_t n = 0; n < count; ++n) {
    const double t = n / SAMPLE_RATE;
    // Three quick slaps, then the room tail.
    double env = std::exp(-t / 0.09) * 0.5;
    for (double slap : {0.0, 0.011, 0.023}) {
      if (t >= slap) env += std::exp(-(t - slap) / 0.005);
    }
    band.Process(noise.Next(), 1700.0, 1.4);
    low.Process(band.band, 6000.0, 0.7);
    const double body = std::sin(TAU * 185.0 * t) * std::exp(-t / 0.05) * 0.35;
    const double fade = t > 0.3 ? (0.35 - t) / 0.05 : 1.0;
    Put(bus, first + n, velocity * (low.low * env * 0.8 + body) * fade, gl, gr);
  }
}

void Hat(Stereo& bus, double start, double velocity, bool open, double pan) {
  const double decay = open ? 0.16 : 0.028;
  size_t first = 0;
  size_t count = 0;
  if (!Span(bus, start, decay * 6.0, &first, &count)) return;
  double gl = 0.0;
  double gr = 0.0;
  PanGains(pan, &gl, &gr);
  Noise noise(Seed(start, open ? 3 : 4));
  Svf high;
  Svf high2;
  for (size_t n = 0; n < count; ++n) {
    const double t = n / SAMPLE_RATE;
    high.Process(noise.Next(), 7500.0, 0.8);
    high2.Process(high.high, 7500.0, 0.8);
    const double env =
        std::exp(-t / decay) * std::min(1.0, t / 0.0005) * (1.0 - static_cast<double>(n) / count);
    Put(bus, first + n, velocity * high2.high * env, gl, gr);
  }
}

void Bass(Stereo& bus, double start, double length, double note, double velocity) {
  const double release = 0.04;
  size_t first = 0;
  size_t count = 0;
  if (!Span(bus, start, length + release, &first, &count)) return;
  const double freq = NoteHz(note);
  Saw a;
  Saw b;
  b.phase = 0.37;
  Svf filter;
  double sub = 0.0;
  for (size_t n = 0; n < count; ++n) {
    const double t = n / SAMPLE_RATE;
    const double raw = a.Next(freq) * 0.6 + b.Next(freq * 1.004) * 0.4;
    const double cutoff = 180.0 + 1300.0 * velocity * std::exp(-t / 0.09);
    filter.Process(raw, cutoff, 1.6);
    sub += freq / SAMPLE_RATE;
    const double tone = filter.low + 0.45 * std::sin(TAU * sub);
    Put(bus, first + n, velocity * tone * Gate(t, length, 0.004, release), 1.0, 1.0);
  }
}

void Pad(Stereo& bus, double start, double length, double note, double velocity) {
  const double release = 1.4;
  size_t first = 0;
  size_t count = 0;
  if (!Span(bus, start, length + release, &first, &count)) return;
  const double freq = NoteHz(note);
  Saw left;
  Saw right;
  right.phase = 0.5;
  Svf fl;
  Svf fr;
  for (size_t n = 0; n < count; ++n) {
    const double t = n / SAMPLE_RATE;
    const double env = Gate(t, length, 0.7, release) * velocity;
    const double sweep = 900.0 + 500.0 * std::sin(TAU * 0.11 * (start + t));
    fl.Process(left.Next(freq * 0.9965), sweep, 0.8);
    fr.Process(right.Next(freq * 1.0035), sweep, 0.8);
    bus.left[first + n] += static_cast<float>(fl.low * env);
    bus.right[first + n] += static_cast<float>(fr.low * env);
  }
}

void Pluck(Stereo& bus, double start, double note, double velocity, double pan, double brightness) {
  size_t first = 0;
  size_t count = 0;
  if (!Span(bus, start, 0.6, &first, &count)) return;
  double gl = 0.0;
  double gr = 0.0;
  PanGains(pan, &gl, &gr);
  const double freq = NoteHz(note);
  Saw osc;
  Svf filter;
  for (size_t n = 0; n < count; ++n) {
    const double t = n / SAMPLE_RATE;
    filter.Process(osc.Next(freq), 250.0 + brightness * 2800.0 * std::exp(-t / 0.06), 1.2);
    const double env = std::exp(-t / 0.18) * std::min(1.0, t / 0.002) * (1.0 - t / 0.6);
    Put(bus, first + n, velocity * filter.low * env, gl, gr);
  }
}

void Lead(Stereo& bus, double start, double length, double note, double velocity) {
  const double release = 0.12;
  size_t first = 0;
  size_t count = 0;
  if (!Span(bus, start, length + release, &first, &count)) return;
  const double freq = NoteHz(note);
  Saw a;
  Saw b;
  b.phase = 0.5;
  Svf filter;
  for (size_t n = 0; n < count; ++n) {
    const double t = n / SAMPLE_RATE;
    const double depth = std::clamp((t - 0.18) / 0.3, 0.0, 1.0) * 0.006;
    const double f = freq * (1.0 + depth * std::sin(TAU * 5.2 * t));
    const double raw = a.Next(f) * 0.55 + b.Next(f * 1.003) * 0.45;
    filter.Process(raw, 1400.0 + 1200.0 * std::exp(-t / 0.15), 0.9);
    Put(bus, first + n, velocity * filter.low * Gate(t, length, 0.012, release), 1.0, 1.0);
  }
}

void Bell(Stereo& bus, double start, double note, double velocity, double pan) {
  size_t first = 0;
  size_t count = 0;
  if (!Span(bus, start, 3.0, &first, &count)) return;
  double gl = 0.0;
  double gr = 0.0;
  PanGains(pan, &gl, &gr);
  const double freq = NoteHz(note);
  const double ratio[] = {1.0, 2.0, 2.76, 4.07, 5.43};
  const double level[] = {1.0, 0.22, 0.3, 0.1, 0.06};
  const double decay[] = {0.75, 0.5, 0.35, 0.22, 0.14};
  for (size_t n = 0; n < count; ++n) {
    const double t = n / SAMPLE_RATE;
    double v = 0.0;
    for (int p = 0; p < 5; ++p) v += level[p] * std::sin(TAU * freq * ratio[p] * t) * std::exp(-t / decay[p]);
    const double env = std::min(1.0, t / 0.002) * (t > 2.7 ? (3.0 - t) / 0.3 : 1.0);
    Put(bus, first + n, velocity * v * env, gl, gr);
  }
}

void Riser(Stereo& bus, double start, double length, double velocity) {
  size_t first = 0;
  size_t count = 0;
  if (!Span(bus, start, length, &first, &count)) return;
  Noise noise(Seed(start, 5));
  Svf filter;
  for (size_t n = 0; n < count; ++n) {
    const double t = n / SAMPLE_RATE;
    const double x = t / length;
    filter.Process(noise.Next(), 1500.0 * std::pow(6.0, x), 2.0);
    const double env = x * x * (x > 0.95 ? (1.0 - x) / 0.05 : 1.0);
    bus.left[first + n] += static_cast<float>(velocity * filter.band * env);
    bus.right[first + n] += static_cast<float>(velocity * filter.band * env * 0.9);
  }
}
