// MP3 (and the other MPEG audio layers) through mpg123, on a file descriptor
// of our own, at the file's own rate and channels.
#pragma once

#include <sys/types.h>

#include "music/decoder.h"

struct mpg123_handle_struct;

class Mp3Decoder : public Decoder {
 public:
  ~Mp3Decoder() override;

  // Takes fd (open for reading, at its start; fileBytes long) and closes it
  // with itself. False with the reason when no MPEG audio frame decodes.
  bool Open(int fd, off_t fileBytes, std::string* reason);
  int Read(float* out, int frames) override;
  bool Seek(int64_t frame) override;

 private:
  mpg123_handle_struct* handle = nullptr;
  int fd = -1;
  bool ended = false;
};
