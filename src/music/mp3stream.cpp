// mpg123 on a file descriptor of our own, so a file that cannot be opened is
// reported with the system's reason rather than a generic decoder error.
#include "music/mp3stream.h"

#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr size_t FRAME_BYTES = Mp3Stream::CHANNELS * sizeof(float);
// The shortest MPEG audio frame: layer III of MPEG 2 at 8 kbit/s and 24 kHz.
constexpr off_t MIN_MPEG_FRAME_BYTES = 24;

// Whether the file's Xing or Info header can be believed, asked of a decoder
// left at the file's own rate, which answers at once. Resampling to our rate,
// mpg123 walks every frame such a header claims before it decodes the first:
// up to 2^32 of them, or without end when the header's encoder delay and
// padding add up to more than the frames it claims. A header is believed
// only when its frames could fit in the file and its gapless length is not
// negative.
bool InfoFrameBelievable(int fd, off_t fileBytes) {
  int error = MPG123_OK;
  mpg123_handle* probe = mpg123_new(nullptr, &error);
  if (probe == nullptr) return false;
  mpg123_param(probe, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_SKIP_ID3V2, 0.0);
  bool believable = true;
  long rate = 0;
  int channels = 0;
  int encoding = 0;
  if (mpg123_open_fd(probe, fd) == MPG123_OK) {
    // Parses the first frames, the header among them; a short file may end
    // here and still have told its claims.
    mpg123_getformat(probe, &rate, &channels, &encoding);
    const off_t frames = mpg123_framelength(probe);
    believable = frames <= fileBytes / MIN_MPEG_FRAME_BYTES + 1 && mpg123_length(probe) >= 0;
  }
  mpg123_close(probe);
  mpg123_delete(probe);
  lseek(fd, 0, SEEK_SET);
  return believable;
}

}  // namespace

Mp3Stream::~Mp3Stream() { Close(); }

bool Mp3Stream::Open(const char* name, std::string* reason) {
  Close();
  fd = open(name, O_RDONLY | O_CLOEXEC);
  struct stat info = {};
  if (fd < 0 || fstat(fd, &info) != 0) {
    *reason = std::strerror(errno);
    Close();
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    *reason = std::strerror(EISDIR);
    Close();
    return false;
  }
  int error = MPG123_OK;
  handle = mpg123_new(nullptr, &error);
  if (handle == nullptr) {
    *reason = mpg123_plain_strerror(error);
    Close();
    return false;
  }
  // The decoder must not print on its own: failures reach the log through us.
  // ID3v2 tags are skipped unread: mpg123 would otherwise allocate whatever
  // size a tag header claims (up to 256 MB) before finding the file short.
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_SKIP_ID3V2, 0.0);
  if (!InfoFrameBelievable(fd, info.st_size))
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_IGNORE_INFOFRAME, 0.0);
  mpg123_format_none(handle);
  mpg123_format(handle, RATE, MPG123_STEREO, MPG123_ENC_FLOAT_32);
  if (mpg123_open_fd(handle, fd) != MPG123_OK) {
    *reason = mpg123_strerror(handle);
    Close();
    return false;
  }
  long rate = 0;
  int channels = 0;
  int encoding = 0;
  error = mpg123_getformat(handle, &rate, &channels, &encoding);
  if (error != MPG123_OK) {
    *reason = error == MPG123_DONE ? "no MPEG audio frames in the file" : mpg123_strerror(handle);
    Close();
    return false;
  }
  next = 0;
  ended = false;
  return true;
}

void Mp3Stream::Close() {
  if (handle != nullptr) {
    mpg123_close(handle);
    mpg123_delete(handle);
    handle = nullptr;
  }
  if (fd >= 0) {
    close(fd);
    fd = -1;
  }
  next = 0;
  ended = true;
}

int Mp3Stream::Read(float* out, int frames) {
  int done = 0;
  while (done < frames && !ended) {
    size_t bytes = 0;
    int error = mpg123_read(handle, reinterpret_cast<unsigned char*>(out + done * CHANNELS),
                            (frames - done) * FRAME_BYTES, &bytes);
    done += static_cast<int>(bytes / FRAME_BYTES);
    if (error == MPG123_NEW_FORMAT) continue;
    // The end of the file, a read error or a stretch mpg123 cannot resync
    // over: the stream stops here, the frames before it stay valid.
    if (error != MPG123_OK || bytes == 0) ended = true;
  }
  next += done;
  return done;
}

void Mp3Stream::Seek(int64_t frame) {
  if (handle == nullptr) return;
  if (frame < 0) frame = 0;
  off_t reached = mpg123_seek(handle, static_cast<off_t>(frame), SEEK_SET);
  if (reached < 0) {
    ended = true;
    return;
  }
  next = reached;
  ended = false;
}
