// Small sound-making blocks for the music synthesis.
#include "dsp.h"

#include <cmath>

double NoteHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

double Noise::Next() {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return (state >> 8) / 8388608.0 - 1.0;
}

namespace {

// The polyBLEP residual near a step at phase 0 for a phase increment dt.
double Blep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

}  // namespace

double Saw::Next(double freq) {
  const double dt = freq / SAMPLE_RATE;
  const double value = 2.0 * phase - 1.0 - Blep(phase, dt);
  phase += dt;
  phase -= std::floor(phase);
  return value;
}

void Svf::Process(double x, double cutoff, double q) {
  const double g = std::tan(3.14159265358979323846 * std::fmin(cutoff, SAMPLE_RATE * 0.45) / SAMPLE_RATE);
  const double k = 1.0 / q;
  const double a1 = 1.0 / (1.0 + g * (g + k));
  const double a2 = g * a1;
  const double a3 = g * a2;
  const double v3 = x - ic2;
  const double v1 = a1 * ic1 + a2 * v3;
  const double v2 = ic2 + a2 * ic1 + a3 * v3;
  ic1 = 2.0 * v1 - ic1;
  ic2 = 2.0 * v2 - ic2;
  low = v2;
  band = v1;
  high = x - k * v1 - v2;
}

double OnePole::Process(double x, double cutoff) {
  const double a = 1.0 - std::exp(-TAU * cutoff / SAMPLE_RATE);
  y += a * (x - y);
  return y;
}

Reverb::Reverb() {
  // Mutually prime delays (samples at 44.1 kHz), the right channel slightly longer for width.
  const int combLengths[] = {1557, 1617, 1491, 1422, 1277, 1356, 1188, 1116};
  const int allpassLengths[] = {556, 441, 341, 225};
  for (int ch = 0; ch < 2; ++ch) {
    for (int n : combLengths) {
      Comb c;
      c.line.assign(n + ch * 23, 0.0f);
      combs[ch].push_back(c);
    }
    for (int n : allpassLengths) {
      Allpass a;
      a.line.assign(n + ch * 23, 0.0f);
      allpasses[ch].push_back(a);
    }
  }
}

void Reverb::Process(double in, float* left, float* right) {
  const double feedback = 0.84;
  const double damp = 0.3;
  float* outs[2] = {left, right};
  for (int ch = 0; ch < 2; ++ch) {
    double sum = 0.0;
    for (Comb& c : combs[ch]) {
      const double y = c.line[c.pos];
      c.store = y * (1.0 - damp) + c.store * damp;
      c.line[c.pos] = static_cast<float>(in * 0.02 + c.store * feedback);
      c.pos = (c.pos + 1) % c.line.size();
      sum += y;
    }
    for (Allpass& a : allpasses[ch]) {
      const double delayed = a.line[a.pos];
      a.line[a.pos] = static_cast<float>(sum + delayed * 0.5);
      a.pos = (a.pos + 1) % a.line.size();
      sum = delayed - sum;
    }
    *outs[ch] += static_cast<float>(sum);
  }
}
