// WAV, FLAC, Ogg Vorbis, Opus and the other formats libsndfile recognises by
// their content, at the file's own rate and channels.
#pragma once

#include <sndfile.h>

#include "music/decoder.h"

class SndfileDecoder : public Decoder {
 public:
  ~SndfileDecoder() override;

  // Takes fd (open for reading, at its start) and closes it with itself.
  // False with libsndfile's reason when it does not recognise the content.
  bool Open(int file, std::string* reason);
  int Read(float* out, int frames) override;
  bool Seek(int64_t frame) override;

 private:
  SNDFILE* file = nullptr;
  int fd = -1;
};
