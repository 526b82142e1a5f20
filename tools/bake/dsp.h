// Small sound-making blocks for the music synthesis: oscillators, filters,
// a repeatable noise source and a stereo reverb. Sample rate 44100 Hz.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr double SAMPLE_RATE = 44100.0;
constexpr double TAU = 6.28318530717958647692;

// Two channels of samples, full scale +-1.
struct Stereo {
  std::vector<float> left;
  std::vector<float> right;
  explicit Stereo(size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
  size_t Frames() const { return left.size(); }
};

// Frequency in Hz of a MIDI note number (69 = A4 = 440 Hz).
double NoteHz(double note);

// White noise in [-1, 1) from a fixed seed: the same sequence on every bake.
class Noise {
 public:
  explicit Noise(uint32_t seed) : state(seed ? seed : 1u) {}
  double Next();

 private:
  uint32_t state;
};

// A sawtooth with band-limited steps (polyBLEP), so high notes do not alias.
class Saw {
 public:
  // One sample at freq Hz, -1..1.
  double Next(double freq);
  double phase = 0.0;  // 0..1
};

// Chamberlin-style state-variable filter (trapezoidal form, stable at all settings).
class Svf {
 public:
  // Filters x with cutoff Hz and resonance q (0.5 soft .. 10 sharp); results in low, band, high.
  void Process(double x, double cutoff, double q);
  double low = 0.0;
  double band = 0.0;
  double high = 0.0;

 private:
  double ic1 = 0.0;
  double ic2 = 0.0;
};

// One-pole low-pass smoothing: y += a (x - y).
class OnePole {
 public:
  double Process(double x, double cutoff);
  double y = 0.0;
};

// A plate-like stereo reverb: parallel damped combs into series allpasses per channel.
class Reverb {
 public:
  Reverb();
  // Adds the reverberation of the mono input to the samples at left and right.
  void Process(double in, float* left, float* right);

 private:
  struct Comb {
    std::vector<float> line;
    size_t pos = 0;
    double store = 0.0;
  };
  struct Allpass {
    std::vector<float> line;
    size_t pos = 0;
  };
  std::vector<Comb> combs[2];
  std::vector<Allpass> allpasses[2];
};
