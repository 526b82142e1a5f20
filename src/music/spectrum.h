// The spectrum of a block of samples: 512 magnitudes of a Hann-windowed
// 1024-point real FFT, silence 0, a full-scale sine centred on a band 1 there;
// of a mono block, or of a stereo one with both channels counted.
// Where the samples come from is left to the music module.
#pragma once

// Glossary: a band is one FFT bin; band k is centred on k * 44100 / 1024 Hz
// (about 43 Hz apart), band 0 the lowest.
class SpectrumAnalyser {
 public:
  static constexpr int SIZE = 1024;  // samples analysed
  static constexpr int BANDS = 512;  // bands produced

  SpectrumAnalyser();
  ~SpectrumAnalyser();
  SpectrumAnalyser(const SpectrumAnalyser&) = delete;
  SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

  // samples: SIZE values, oldest first; bands: room for BANDS values. Does
  // not allocate.
  void Analyse(const float* samples, float* bands);
  // Every channel counted: per band, the root mean square of the two
  // channels' magnitudes, so sound in opposite phase counts as a listener
  // hears it rather than cancelling as in the mono mix. left, right: SIZE
  // values each.
  void AnalyseChannels(const float* left, const float* right, float* bands);

 private:
  // Windows and transforms SIZE samples into work->bins.
  void Transform(const float* samples);

  struct Work;  // the FFT plan and its buffers
  Work* work;
};
