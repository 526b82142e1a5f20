// A track read once from end to end before it is played, with the show's
// own analysis at the rate a capture draws frames: how long it really
// decodes, its tags, and the levels of the bands asked for at each moment.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

struct TrackScan {
  static constexpr int PER_SECOND = 60;  // analyses a second: analysis n is at n / PER_SECOND s

  int64_t frames = 0;  // the length that decodes, at TrackStream::RATE frames a second
  // levels[i][n]: band bands[i] in analysis n, every channel counted, as
  // MusicGetSpectrum analyses a fitted track before its gains.
  std::vector<std::vector<float>> levels;
  std::vector<float> loudest;  // the loudest band in analysis n
  std::string artist;          // the file's tags, empty when absent
  std::string title;
  int sourceRate = 0;  // the file's own frames a second and channels
  int sourceChannels = 0;
  double seconds = 0.0;  // wall time the scan took

  double Length() const;  // seconds
};

// Scans the file, or its first maxSeconds when it is longer (frames then
// counts what was read). False with a reason fit to follow the file's name
// when it cannot be opened or read, or holds no audio frame.
bool ScanTrack(const std::string& name, const std::vector<int>& bands, TrackScan* scan, std::string* reason,
               double maxSeconds = std::numeric_limits<double>::infinity());
