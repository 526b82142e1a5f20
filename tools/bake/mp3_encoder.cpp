// Encodes 44.1 kHz stereo audio to an MP3 file with libmp3lame, in blocks.
#include "mp3_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Encoder {
  lame_global_flags* flags = lame_init();
  ~Encoder() {
    if (flags) lame_close(flags);
  }
};

}  // namespace

bool WriteMp3(const std::string& path, const Stereo& audio) {
  Encoder enc;
  if (!enc.flags) {
    std::fprintf(stderr, "zarv-bake: libmp3lame cannot start\n");
    return false;
  }
  lame_set_in_samplerate(enc.flags, 44100);
  lame_set_out_samplerate(enc.flags, 44100);
  lame_set_num_channels(enc.flags, 2);
  lame_set_mode(enc.flags, JOINT_STEREO);
  lame_set_brate(enc.flags, 192);
  lame_set_VBR(enc.flags, vbr_off);
  lame_set_quality(enc.flags, 3);
  if (lame_init_params(enc.flags) < 0) {
    std::fprintf(stderr, "zarv-bake: libmp3lame rejects its settings\n");
    return false;
  }
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) {
    std::fprintf(stderr, "zarv-bake: cannot write \"%s\"\n", path.c_str());
    return false;
  }
  constexpr int BLOCK = 8192;
  std::vector<unsigned char> buffer(static_cast<size_t>(1.25 * BLOCK + 7200));
  std::vector<float> left(BLOCK);
  std::vector<float> right(BLOCK);
  bool ok = true;
  for (size_t first = 0; ok && first < audio.Frames(); first += BLOCK) {
    const int count = static_cast<int>(std::min<size_t>(BLOCK, audio.Frames() - first));
    for (int i = 0; i < count; ++i) {
      // The float interface expects full scale at +-1.
      left[i] = std::clamp(audio.left[first + i], -1.0f, 1.0f);
      right[i] = std::clamp(audio.right[first + i], -1.0f, 1.0f);
    }
    const int bytes = lame_encode_buffer_ieee_float(enc.flags, left.data(), right.data(), count,
                                                    buffer.data(), static_cast<int>(buffer.size()));
    ok = bytes >= 0 && std::fwrite(buffer.data(), 1, bytes, out) == static_cast<size_t>(bytes);
  }
  if (ok) {
    const int bytes = lame_encode_flush(enc.flags, buffer.data(), static_cast<int>(buffer.size()));
    ok = bytes >= 0 && std::fwrite(buffer.data(), 1, bytes, out) == static_cast<size_t>(bytes);
  }
  ok = (std::fclose(out) == 0) && ok;
  if (!ok) std::fprintf(stderr, "zarv-bake: encoding \"%s\" failed\n", path.c_str());
  return ok;
}
