// libsndfile reads the header and picks the codec itself; what it reports
// is checked by OpenDecoder before anything is decoded.
#include "music/sndfiledecoder.h"

#include <unistd.h>

#include <limits>

SndfileDecoder::~SndfileDecoder() {
  if (file != nullptr) sf_close(file);
  if (fd >= 0) close(fd);
}

bool SndfileDecoder::Open(int descriptor, std::string* reason) {
  fd = descriptor;
  SF_INFO info = {};
  // The descriptor stays ours: libsndfile would close it on success only.
  file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
  if (file == nullptr) {
    *reason = sf_strerror(nullptr);
    return false;
  }
  rate = info.samplerate;
  channels = info.channels;
  const char* text = sf_get_string(file, SF_STR_ARTIST);
  artist = text != nullptr ? text : "";
  text = sf_get_string(file, SF_STR_TITLE);
  title = text != nullptr ? text : "";
  return true;
}

int SndfileDecoder::Read(float* out, int frames) {
  const sf_count_t got = sf_readf_float(file, out, frames);
  return got > 0 ? static_cast<int>(got) : 0;
}

bool SndfileDecoder::Seek(int64_t frame) {
  // libsndfile 1.2.0 skips through an Ogg Opus file of unknown length by an
  // int's worth of frames: a target 2^31 frames or more ahead (12 h at
  // 48 kHz, 3 h at 192 kHz) would never be reached.
  if (frame > std::numeric_limits<int>::max()) return false;
  return sf_seek(file, frame, SEEK_SET) >= 0;
}
