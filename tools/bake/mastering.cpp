// Fade, loudness normalisation and a look-ahead limiter.
#include "mastering.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

namespace {

struct Biquad {
  double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
  double z1 = 0.0, z2 = 0.0;
  double Process(double x) {
    const double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
  }
};

// The two K-weighting stages (high shelf, then high pass) for 44.1 kHz.
void KWeighting(Biquad* shelf, Biquad* highPass) {
  const double pi = 3.14159265358979323846;
  {
    const double f0 = 1681.974450955533;
    const double gain = 3.999843853973347;
    const double q = 0.7071752369554196;
    const double k = std::tan(pi * f0 / SAMPLE_RATE);
    const double vh = std::pow(10.0, gain / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    shelf->b0 = (vh + vb * k / q + k * k) / a0;
    shelf->b1 = 2.0 * (k * k - vh) / a0;
    shelf->b2 = (vh - vb * k / q + k * k) / a0;
    shelf->a1 = 2.0 * (k * k - 1.0) / a0;
    shelf->a2 = (1.0 - k / q + k * k) / a0;
  }
  {
    const double f0 = 38.13547087602444;
    const double q = 0.5003270373238773;
    const double k = std::tan(pi * f0 / SAMPLE_RATE);
    const double a0 = 1.0 + k / q + k * k;
    highPass->b0 = 1.0;
    highPass->b1 = -2.0;
    highPass->b2 = 1.0;
    highPass->a1 = 2.0 * (k * k - 1.0) / a0;
    highPass->a2 = (1.0 - k / q + k * k) / a0;
  }
}

}  // namespace

double IntegratedLoudness(const Stereo& audio) {
  const size_t frames = audio.Frames();
  const size_t hop = static_cast<size_t>(SAMPLE_RATE * 0.1);
  std::vector<double> power(frames / hop + 1, 0.0);  // weighted energy per 100 ms
  for (int ch = 0; ch < 2; ++ch) {
    const std::vector<float>& x = ch == 0 ? audio.left : audio.right;
    Biquad shelf;
    Biquad highPass;
    KWeighting(&shelf, &highPass);
    for (size_t n = 0; n < frames; ++n) {
      const double y = highPass.Process(shelf.Process(x[n]));
      power[n / hop] += y * y;
    }
  }
  // 400 ms blocks overlapping by 75 %.
  std::vector<double> blocks;
  for (size_t b = 0; b + 4 <= frames / hop; ++b) {
    const double energy = (power[b] + power[b + 1] + power[b + 2] + power[b + 3]) / (4.0 * hop);
    blocks.push_back(energy);
  }
  auto loudness = [](double energy) { return -0.691 + 10.0 * std::log10(std::max(energy, 1e-20)); };
  auto gatedMean = [&](double gate) {
    double sum = 0.0;
    size_t count = 0;
    for (double e : blocks) {
      if (loudness(e) > gate) {
        sum += e;
        ++count;
      }
    }
    return count ? sum / count : 0.0;
  };
  const double absolute = gatedMean(-70.0);
  if (absolute <= 0.0) return -70.0;
  return loudness(gatedMean(loudness(absolute) - 10.0));
}

namespace {

void Limit(Stereo& audio, double ceiling) {
  const size_t frames = audio.Frames();
  const size_t look = static_cast<size_t>(0.004 * SAMPLE_RATE);
  std::vector<double> need(frames);
  for (size_t n = 0; n < frames; ++n) {
    const double peak = std::max(std::fabs(audio.left[n]), std::fabs(audio.right[n]));
    need[n] = peak > ceiling ? ceiling / peak : 1.0;
  }
  // Smallest need over the next 2 * look samples (monotonic deque), then its mean
  // over the last look samples: smooth, and never above what any sample needs.
  std::vector<double> window(frames);
  std::deque<size_t> minima;
  for (size_t n = frames; n-- > 0;) {
    while (!minima.empty() && need[minima.back()] >= need[n]) minima.pop_back();
    minima.push_back(n);
    while (minima.front() > n + 2 * look) minima.pop_front();
    window[n] = need[minima.front()];
  }
  const double release = std::exp(-1.0 / (0.08 * SAMPLE_RATE));
  double sum = 0.0;
  double gain = 1.0;
  for (size_t n = 0; n < frames; ++n) {
    sum += window[n];
    if (n >= look) sum -= window[n - look];
    const double smooth = sum / static_cast<double>(std::min(n + 1, look));
    gain = std::min(smooth, 1.0 - (1.0 - gain) * release);
    audio.left[n] = static_cast<float>(audio.left[n] * gain);
    audio.right[n] = static_cast<float>(audio.right[n] * gain);
  }
}

void Scale(Stereo& audio, double gain) {
  for (float& s : audio.left) s = static_cast<float>(s * gain);
  for (float& s : audio.right) s = static_cast<float>(s * gain);
}

}  // namespace

void Master(Stereo& audio, double fadeStart, double fadeEnd, double targetLufs, double ceiling) {
  for (size_t n = 0; n < audio.Frames(); ++n) {
    const double t = n / SAMPLE_RATE;
    if (t <= fadeStart) continue;
    const double x = std::min(1.0, (t - fadeStart) / (fadeEnd - fadeStart));
    const double gain = 0.5 + 0.5 * std::cos(x * 3.14159265358979323846);
    audio.left[n] = static_cast<float>(audio.left[n] * gain);
    audio.right[n] = static_cast<float>(audio.right[n] * gain);
  }
  // Limiting lowers the loudness a little, so normalise, limit, and correct once more.
  for (int pass = 0; pass < 2; ++pass) {
    Scale(audio, std::pow(10.0, (targetLufs - IntegratedLoudness(audio)) / 20.0));
    Limit(audio, ceiling);
  }
}
