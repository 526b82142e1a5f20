// Writes MP3 files with libmp3lame: the baked soundtrack, the fuzzers' seed
// files and the tests' tracks. The same samples and settings always give
// the same bytes.
#pragma once

#include <string>
#include <vector>

struct Mp3Settings {
  // What becomes of the info frame LAME starts the file with.
  enum class InfoFrame {
    BLANK,   // left as written, a first frame of silence (the baked soundtrack has one)
    FILLED,  // filled in, so decoders know the length and drop the encoder's delay and padding
    NONE,    // not written
  };

  int rate = 44100;         // frames a second, in and out
  int kbps = 192;           // a constant bit rate; 0 for a variable one
  int quality = 3;          // LAME's choice of algorithms, 0 (best) to 9 (fastest)
  bool jointStereo = true;  // two channels coded jointly rather than apart
  InfoFrame infoFrame = InfoFrame::BLANK;
};

// Encodes one channel (right empty) or two of the same length, samples
// clipped to -1..1. False, with the reason in *error when given, if LAME
// refuses the settings or the file cannot be written.
bool WriteMp3(const std::string& path, const std::vector<float>& left, const std::vector<float>& right,
              const Mp3Settings& settings, std::string* error = nullptr);
