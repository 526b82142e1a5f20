// Any sound file the show can play, as one stream of 44100 Hz interleaved
// stereo float frames: decoded by what its content calls for, mixed to two
// channels, and resampled with libsoxr when its own rate differs. Leaves
// playing and analysing to others.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "music/decoder.h"

struct soxr;

// Glossary: a sample is one float of one channel, -1..1 at full scale; a
// frame is the RATE-th of a second: one sample per channel.
class TrackStream {
 public:
  static constexpr int RATE = 44100;  // frames per second
  static constexpr int CHANNELS = 2;  // left, right

  TrackStream() = default;
  ~TrackStream();
  TrackStream(const TrackStream&) = delete;
  TrackStream& operator=(const TrackStream&) = delete;

  // Opens the file and reads its header. On failure fills reason with why
  // (fit to follow the file's name), holds nothing open and returns false.
  bool Open(const char* name, std::string* reason);
  void Close();
  bool IsOpen() const { return decoder != nullptr; }

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

  // The open file's decoder: its own rate, channels and tags.
  const Decoder& Source() const { return *decoder; }

 private:
  static constexpr int CHUNK = 1024;          // frames asked of the decoder at a time
  static constexpr float MAX_SAMPLE = 16.0f;  // 24 dB above full scale

  // Decodes up to frames (at most CHUNK) frames of the file into stereo, at
  // the file's rate; fewer only at its end.
  int DecodeStereo(float* out, int frames);
  int ReadResampled(float* out, int frames);

  std::unique_ptr<Decoder> decoder;
  soxr* resampler = nullptr;   // null when the file is at RATE already
  std::vector<float> decoded;  // one chunk as the file has it
  std::vector<float> pending;  // stereo frames at the file's rate for the resampler
  size_t pendingFrom = 0;      // first frame of pending not yet taken
  size_t pendingFrames = 0;    // frames of pending not yet taken
  bool sourceEnded = false;    // the decoder has given its last frame
  int64_t next = 0;
  bool ended = true;
};
