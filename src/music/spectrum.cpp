// KissFFT does the transform; the plan, the window and the buffers are made
// once so that each analysis only computes.
#include "music/spectrum.h"

#include <kiss_fftr.h>

#include <cmath>

struct SpectrumAnalyser::Work {
  kiss_fftr_cfg plan = nullptr;
  float window[SIZE] = {};
  float windowed[SIZE] = {};
  kiss_fft_cpx bins[SIZE / 2 + 1] = {};
  float power[BANDS] = {};  // the first channel's, while the second is transformed
};

SpectrumAnalyser::SpectrumAnalyser() : work(new Work) {
  work->plan = kiss_fftr_alloc(SIZE, 0, nullptr, nullptr);
  // The periodic Hann window sums to SIZE / 2, so a sine of amplitude a centred
  // on a bin gives a magnitude of a * SIZE / 4 there.
  const double pi = std::acos(-1.0);
  for (int n = 0; n < SIZE; ++n)
    work->window[n] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * pi * n / SIZE));
}

SpectrumAnalyser::~SpectrumAnalyser() {
  kiss_fftr_free(work->plan);
  delete work;
}

namespace {

constexpr float SCALE = 4.0f / SpectrumAnalyser::SIZE;

float Power(const kiss_fft_cpx& bin) { return bin.r * bin.r + bin.i * bin.i; }

}  // namespace

void SpectrumAnalyser::Transform(const float* samples) {
  for (int n = 0; n < SIZE; ++n) work->windowed[n] = samples[n] * work->window[n];
  kiss_fftr(work->plan, work->windowed, work->bins);
}

void SpectrumAnalyser::Analyse(const float* samples, float* bands) {
  Transform(samples);
  for (int k = 0; k < BANDS; ++k) bands[k] = SCALE * std::sqrt(Power(work->bins[k]));
}

void SpectrumAnalyser::AnalyseChannels(const float* left, const float* right, float* bands) {
  Transform(left);
  for (int k = 0; k < BANDS; ++k) work->power[k] = Power(work->bins[k]);
  Transform(right);
  for (int k = 0; k < BANDS; ++k)
    bands[k] = SCALE * std::sqrt(0.5f * (work->power[k] + Power(work->bins[k])));
}
