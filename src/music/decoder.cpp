// The first bytes decide: an ID3 tag or an MPEG frame header goes to mpg123,
// anything else to libsndfile, which knows the other formats by their
// headers. A file's name is never looked at.
#include "music/decoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "music/mp3decoder.h"
#include "music/sndfiledecoder.h"

namespace {

// An ID3v2 tag, or the 11 sync bits of an MPEG audio frame header with a
// valid version, layer and bit rate.
bool LooksLikeMpeg(const unsigned char* head, ssize_t size) {
  if (size >= 3 && std::memcmp(head, "ID3", 3) == 0) return true;
  if (size < 3 || head[0] != 0xFF || (head[1] & 0xE0) != 0xE0) return false;
  const int version = (head[1] >> 3) & 3;
  const int layer = (head[1] >> 1) & 3;
  const int bitrate = head[2] >> 4;
  return version != 1 && layer != 0 && bitrate != 15;
}

const char* const NOT_AUDIO = "not a sound file zarv can read (MP3, WAV, FLAC, Ogg Vorbis or Opus)";

}  // namespace

std::unique_ptr<Decoder> OpenDecoder(const char* name, std::string* reason) {
  const int fd = open(name, O_RDONLY | O_CLOEXEC);
  struct stat info = {};
  if (fd < 0 || fstat(fd, &info) != 0) {
    *reason = std::strerror(errno);
    if (fd >= 0) close(fd);
    return nullptr;
  }
  if (S_ISDIR(info.st_mode)) {
    *reason = std::strerror(EISDIR);
    close(fd);
    return nullptr;
  }
  unsigned char head[4] = {};
  const ssize_t headBytes = pread(fd, head, sizeof head, 0);
  if (headBytes < 0) {
    *reason = std::strerror(errno);
    close(fd);
    return nullptr;
  }
  if (headBytes == 0) {
    *reason = "the file is empty";
    close(fd);
    return nullptr;
  }
  std::unique_ptr<Decoder> decoder;
  std::string why;
  if (LooksLikeMpeg(head, headBytes)) {
    auto mp3 = std::make_unique<Mp3Decoder>();
    if (mp3->Open(fd, info.st_size, &why)) decoder = std::move(mp3);
  } else {
    auto other = std::make_unique<SndfileDecoder>();
    if (other->Open(fd, &why)) {
      decoder = std::move(other);
    } else if (sf_error(nullptr) == SF_ERR_UNRECOGNISED_FORMAT) {
      why = NOT_AUDIO;
    } else {
      while (!why.empty() && (why.back() == '.' || why.back() == ' ')) why.pop_back();
      why = "cannot read it as sound (libsndfile: " + why + ")";
    }
  }
  if (decoder == nullptr) {
    *reason = why;
    return nullptr;
  }
  if (decoder->rate < Decoder::MIN_RATE || decoder->rate > Decoder::MAX_RATE) {
    *reason =
        "its sample rate of " + std::to_string(decoder->rate) + " Hz is outside the 8 to 192 kHz zarv plays";
    return nullptr;
  }
  if (decoder->channels < 1 || decoder->channels > Decoder::MAX_CHANNELS) {
    *reason = "it claims " + std::to_string(decoder->channels) + " channels, where zarv takes 1 to " +
              std::to_string(Decoder::MAX_CHANNELS);
    return nullptr;
  }
  return decoder;
}
