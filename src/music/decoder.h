// A sound file decoded at its own sample rate and channel count, chosen by
// what the file holds rather than by its name: MP3 through mpg123, WAV, FLAC,
// Ogg Vorbis, Opus and the other formats libsndfile knows through libsndfile.
// Converting to the show's rate and channels is left to TrackStream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class Decoder {
 public:
  static constexpr int MIN_RATE = 8000;    // frames per second
  static constexpr int MAX_RATE = 192000;  // frames per second
  static constexpr int MAX_CHANNELS = 256;

  virtual ~Decoder() = default;

  // Decodes up to frames frames into out (room for frames * channels
  // samples, interleaved) and returns how many it wrote. Fewer only at the
  // end of the file or at a part that cannot be decoded.
  virtual int Read(float* out, int frames) = 0;
  // Moves so the next Read starts at frame (0 or more, in the file's own
  // rate); false when the file cannot seek there.
  virtual bool Seek(int64_t frame) = 0;

  int rate = 0;      // frames per second, MIN_RATE..MAX_RATE
  int channels = 0;  // 1..MAX_CHANNELS
  // The file's own tags as UTF-8 (or as the file holds them), empty when absent.
  std::string artist;
  std::string title;
};

// Opens the file with the decoder its first bytes call for. Null with a
// reason fit to follow the file's name in a message when the file cannot be
// opened, is not a sound file this can read, or its rate or channel count is
// out of range.
std::unique_ptr<Decoder> OpenDecoder(const char* name, std::string* reason);
