// Encodes in blocks through LAME's float interface, which takes full scale
// at +-1.
#include "mp3/mp3_writer.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int BLOCK = 8192;

struct Encoder {
  lame_global_flags* flags = lame_init();
  FILE* file = nullptr;
  ~Encoder() {
    if (flags != nullptr) lame_close(flags);
    if (file != nullptr) std::fclose(file);
  }
};

bool Fail(const std::string& reason, std::string* error) {
  if (error != nullptr) *error = reason;
  return false;
}

}  // namespace

bool WriteMp3(const std::string& path, const std::vector<float>& left, const std::vector<float>& right,
              const Mp3Settings& settings, std::string* error) {
  const bool stereo = !right.empty();
  if (stereo && right.size() != left.size()) return Fail("the channels differ in length", error);
  Encoder enc;
  if (enc.flags == nullptr) return Fail("libmp3lame cannot start", error);
  lame_set_in_samplerate(enc.flags, settings.rate);
  lame_set_out_samplerate(enc.flags, settings.rate);
  lame_set_num_channels(enc.flags, stereo ? 2 : 1);
  lame_set_mode(enc.flags, !stereo ? MONO : settings.jointStereo ? JOINT_STEREO : STEREO);
  if (settings.kbps > 0) {
    lame_set_VBR(enc.flags, vbr_off);
    lame_set_brate(enc.flags, settings.kbps);
  } else {
    lame_set_VBR(enc.flags, vbr_default);
  }
  lame_set_quality(enc.flags, settings.quality);
  if (settings.infoFrame == Mp3Settings::InfoFrame::NONE) lame_set_bWriteVbrTag(enc.flags, 0);
  if (lame_init_params(enc.flags) < 0) return Fail("libmp3lame refuses the settings", error);
  // Read back to fill in the info frame at the end.
  enc.file = std::fopen(path.c_str(), "w+b");
  if (enc.file == nullptr) return Fail("cannot write " + path, error);

  std::vector<unsigned char> buffer(static_cast<size_t>(1.25 * BLOCK + 7200));
  std::vector<float> blockLeft(BLOCK);
  std::vector<float> blockRight(BLOCK);
  const auto put = [&](int bytes) {
    return bytes >= 0 && std::fwrite(buffer.data(), 1, bytes, enc.file) == static_cast<size_t>(bytes);
  };
  for (size_t first = 0; first < left.size(); first += BLOCK) {
    const int count = static_cast<int>(std::min<size_t>(BLOCK, left.size() - first));
    for (int i = 0; i < count; ++i) {
      blockLeft[i] = std::clamp(left[first + i], -1.0f, 1.0f);
      blockRight[i] = stereo ? std::clamp(right[first + i], -1.0f, 1.0f) : blockLeft[i];
    }
    if (!put(lame_encode_buffer_ieee_float(enc.flags, blockLeft.data(), blockRight.data(), count,
                                           buffer.data(), static_cast<int>(buffer.size()))))
      return Fail("encoding " + path + " failed", error);
  }
  if (!put(lame_encode_flush(enc.flags, buffer.data(), static_cast<int>(buffer.size()))))
    return Fail("encoding " + path + " failed", error);
  if (settings.infoFrame == Mp3Settings::InfoFrame::FILLED) lame_mp3_tags_fid(enc.flags, enc.file);
  FILE* file = enc.file;
  enc.file = nullptr;
  if (std::fclose(file) != 0) return Fail("cannot write " + path, error);
  return true;
}
