// A first handle reads the tags and judges the Info header; the decoding
// handle then keeps the first frame's format for the whole file, so a file
// that changes rate or channels midway still reads as one stream.
#include "music/mp3decoder.h"

#include <mpg123.h>
#include <unistd.h>

#include <string>

namespace {

// The shortest MPEG audio frame: layer III of MPEG 2 at 8 kbit/s and 24 kHz.
constexpr off_t MIN_MPEG_FRAME_BYTES = 24;
constexpr int ID3_HEADER_BYTES = 10;

// Whether the file opens with an ID3v2 tag no larger than the file. mpg123
// allocates whatever size a tag header claims (up to 256 MB) before finding
// the file short, so only a tag that fits is handed to it.
bool LeadingTagFits(int fd, off_t fileBytes) {
  unsigned char header[ID3_HEADER_BYTES] = {};
  const bool read = pread(fd, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
  if (!read || header[0] != 'I' || header[1] != 'D' || header[2] != '3') return false;
  off_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (header[i] & 0x80) return false;
    size = size * 128 + header[i];
  }
  const bool footer = header[5] & 0x10;
  return ID3_HEADER_BYTES * (footer ? 2 : 1) + size <= fileBytes;
}

std::string Latin1ToUtf8(const char* text, size_t size) {
  std::string out;
  for (size_t i = 0; i < size && text[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string Text(const mpg123_string* s) {
  return s != nullptr && s->p != nullptr && s->fill > 0 ? std::string(s->p, s->fill - 1) : "";
}

// What the first frames tell, asked of a handle at the file's own format.
struct Probe {
  bool infoBelievable = true;
  std::string artist;
  std::string title;
};

// Resampling, mpg123 walks every frame an Xing or Info header claims before
// it decodes the first: up to 2^32 of them, or without end when the header's
// encoder delay and padding add up to more than the frames it claims. A
// header is believed only when its frames could fit in the file and its
// gapless length is not negative.
void ProbeFile(int fd, off_t fileBytes, Probe* probe) {
  int error = MPG123_OK;
  mpg123_handle* handle = mpg123_new(nullptr, &error);
  if (handle == nullptr) return;
  long flags = MPG123_QUIET;
  if (!LeadingTagFits(fd, fileBytes)) flags |= MPG123_SKIP_ID3V2;
  mpg123_param(handle, MPG123_ADD_FLAGS, flags, 0.0);
  if (mpg123_open_fd(handle, fd) == MPG123_OK) {
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    // Parses the leading tag and the first frames, the Info header among
    // them; a short file may end here and still have told its claims.
    mpg123_getformat(handle, &rate, &channels, &encoding);
    const off_t frames = mpg123_framelength(handle);
    probe->infoBelievable = frames <= fileBytes / MIN_MPEG_FRAME_BYTES + 1 && mpg123_length(handle) >= 0;
    mpg123_id3v1* v1 = nullptr;
    mpg123_id3v2* v2 = nullptr;
    if ((mpg123_meta_check(handle) & MPG123_ID3) && mpg123_id3(handle, &v1, &v2) == MPG123_OK) {
      if (v2 != nullptr) {
        probe->artist = Text(v2->artist);
        probe->title = Text(v2->title);
      }
      if (v1 != nullptr && probe->artist.empty()) probe->artist = Latin1ToUtf8(v1->artist, sizeof v1->artist);
      if (v1 != nullptr && probe->title.empty()) probe->title = Latin1ToUtf8(v1->title, sizeof v1->title);
    }
  }
  mpg123_close(handle);
  mpg123_delete(handle);
  lseek(fd, 0, SEEK_SET);
}

}  // namespace

Mp3Decoder::~Mp3Decoder() {
  if (handle != nullptr) {
    mpg123_close(handle);
    mpg123_delete(handle);
  }
  if (fd >= 0) close(fd);
}

bool Mp3Decoder::Open(int file, off_t fileBytes, std::string* reason) {
  fd = file;
  Probe probe;
  ProbeFile(fd, fileBytes, &probe);
  int error = MPG123_OK;
  handle = mpg123_new(nullptr, &error);
  if (handle == nullptr) {
    *reason = mpg123_plain_strerror(error);
    return false;
  }
  // The decoder must not print on its own: failures reach the log through us.
  // Tags were read by the probe; skipping them here keeps a tag in the
  // middle of the file from being allocated at its claimed size.
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_SKIP_ID3V2, 0.0);
  if (!probe.infoBelievable) mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_IGNORE_INFOFRAME, 0.0);
  mpg123_format_none(handle);
  const long* rates = nullptr;
  size_t count = 0;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i)
    mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
  if (mpg123_open_fd(handle, fd) != MPG123_OK) {
    *reason = mpg123_strerror(handle);
    return false;
  }
  long rateRead = 0;
  int channelsRead = 0;
  int encoding = 0;
  error = mpg123_getformat(handle, &rateRead, &channelsRead, &encoding);
  if (error != MPG123_OK) {
    *reason = error == MPG123_DONE ? "no MPEG audio frame decodes in the file" : mpg123_strerror(handle);
    return false;
  }
  rate = static_cast<int>(rateRead);
  channels = channelsRead;
  // A later frame of another rate or channel count is converted to the first's.
  mpg123_format_none(handle);
  mpg123_format(handle, rateRead, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_FLOAT_32);
  artist = probe.artist;
  title = probe.title;
  return true;
}

int Mp3Decoder::Read(float* out, int frames) {
  const size_t frameBytes = static_cast<size_t>(channels) * sizeof(float);
  int done = 0;
  while (done < frames && !ended) {
    size_t bytes = 0;
    const int error = mpg123_read(handle, reinterpret_cast<unsigned char*>(out + done * channels),
                                  (frames - done) * frameBytes, &bytes);
    done += static_cast<int>(bytes / frameBytes);
    if (error == MPG123_NEW_FORMAT) continue;
    // The end of the file, a read error or a stretch mpg123 cannot resync
    // over: the stream stops here, the frames before it stay valid.
    if (error != MPG123_OK || bytes == 0) ended = true;
  }
  return done;
}

bool Mp3Decoder::Seek(int64_t frame) {
  const off_t reached = mpg123_seek(handle, static_cast<off_t>(frame), SEEK_SET);
  ended = reached < 0;
  return !ended;
}
