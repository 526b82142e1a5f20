// One mp3 file decoded while it is read, always as 44100 Hz interleaved
// stereo float frames whatever rate and channels the file holds. Leaves
// playing and analysing to others.
#pragma once

#include <cstdint>
#include <string>

struct mpg123_handle_struct;

// Glossary: a sample is one float of one channel, -1..1 at full scale; a
// frame is the RATE-th of a second: one sample per channel.
class Mp3Stream {
 public:
  static constexpr int RATE = 44100;  // frames per second
  static constexpr int CHANNELS = 2;  // left, right

  Mp3Stream() = default;
  ~Mp3Stream();
  Mp3Stream(const Mp3Stream&) = delete;
  Mp3Stream& operator=(const Mp3Stream&) = delete;

  // Opens the file and decodes the first frame header. On failure fills
  // reason with why, holds nothing open and returns false.
  bool Open(const char* name, std::string* reason);
  void Close();
  bool IsOpen() const { return handle != nullptr; }

  // Decodes up to frames frames into out (room for frames * CHANNELS
  // samples) and returns how many it wrote. Fewer only when the stream has
  // ended: at the end of the file, or at a part that cannot be decoded.
  int Read(float* out, int frames);
  // Moves so the next Read starts at frame (clamped to 0). A position past
  // the end, or a file that cannot seek, ends the stream.
  void Seek(int64_t frame);
  // The frame the next Read starts at.
  int64_t Tell() const { return next; }
  bool Ended() const { return ended; }

 private:
  mpg123_handle_struct* handle = nullptr;
  int fd = -1;
  int64_t next = 0;
  bool ended = false;
};
