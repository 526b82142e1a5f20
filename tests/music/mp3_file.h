// Test helper: mp3 files made on the spot with LAME (44100 Hz stereo), and
// the signals that go into them.
#pragma once

#include <lame/lame.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

constexpr int TEST_RATE = 44100;

// amplitude * sin(2 pi hz t), seconds long.
inline std::vector<float> Sine(double hz, double amplitude, double seconds) {
  const double pi = std::acos(-1.0);
  std::vector<float> out(static_cast<size_t>(seconds * TEST_RATE));
  for (size_t n = 0; n < out.size(); ++n)
    out[n] = static_cast<float>(amplitude * std::sin(2.0 * pi * hz * n / TEST_RATE));
  return out;
}

// The centre frequency of band k.
inline double BandHz(int k) { return k * 44100.0 / 1024.0; }

// Appends b to a.
inline std::vector<float> Then(std::vector<float> a, const std::vector<float>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Encodes left/right (-1..1, equal lengths) as a CBR mp3, with a LAME info
// tag (so that decoders drop the encoder's delay and padding) unless told
// otherwise. False on failure.
inline bool WriteMp3(const std::string& name, const std::vector<float>& left, const std::vector<float>& right,
                     int kbps = 320, bool infoTag = true) {
  lame_global_flags* lame = lame_init();
  if (lame == nullptr) return false;
  lame_set_in_samplerate(lame, TEST_RATE);
  lame_set_out_samplerate(lame, TEST_RATE);
  lame_set_num_channels(lame, 2);
  lame_set_mode(lame, STEREO);
  lame_set_brate(lame, kbps);
  lame_set_quality(lame, 2);
  lame_set_bWriteVbrTag(lame, infoTag ? 1 : 0);
  bool ok = lame_init_params(lame) >= 0;
  FILE* file = ok ? std::fopen(name.c_str(), "w+b") : nullptr;
  ok = file != nullptr;
  std::vector<unsigned char> buffer(left.size() * 5 / 4 + 7200);
  if (ok) {
    int bytes = lame_encode_buffer_ieee_float(lame, left.data(), right.data(), static_cast<int>(left.size()),
                                              buffer.data(), static_cast<int>(buffer.size()));
    ok = bytes >= 0 && std::fwrite(buffer.data(), 1, bytes, file) == static_cast<size_t>(bytes);
  }
  if (ok) {
    int bytes = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
    ok = bytes >= 0 && std::fwrite(buffer.data(), 1, bytes, file) == static_cast<size_t>(bytes);
  }
  if (ok && infoTag) lame_mp3_tags_fid(lame, file);
  if (file != nullptr) ok = std::fclose(file) == 0 && ok;
  lame_close(lame);
  return ok;
}

// The same signal on both channels.
inline bool WriteMp3(const std::string& name, const std::vector<float>& both, int kbps = 320) {
  return WriteMp3(name, both, both, kbps);
}
