// The kinds of video a capture writes, each chosen by the output's
// extension: its codec and its sound's, and whether it can carry alpha.
#pragma once

#include <string>
#include <vector>

enum class VideoFormat {
  MP4,   // H.264 and AAC, for players and the web
  WEBM,  // VP9 and Opus, for the web; with alpha
  MOV,   // ProRes 422 HQ (4444 with alpha) and PCM, for editors
  MKV,   // FFV1 and FLAC, lossless; with alpha
};

// The format an extension (without its dot) names; false when none does.
inline bool VideoFormatFor(const std::string& extension, VideoFormat* format) {
  const struct {
    const char* extension;
    VideoFormat format;
  } known[] = {{"mp4", VideoFormat::MP4},
               {"webm", VideoFormat::WEBM},
               {"mov", VideoFormat::MOV},
               {"mkv", VideoFormat::MKV}};
  for (const auto& k : known) {
    if (extension == k.extension) {
      *format = k.format;
      return true;
    }
  }
  return false;
}

// The formats, a line each, as the help and the refusal of an unknown
// extension list them.
inline const char* const VIDEO_FORMATS =
    "  NAME.mp4   H.264 with AAC sound; no alpha\n"
    "  NAME.webm  VP9 with Opus sound; with --alpha, VP9 with alpha\n"
    "  NAME.mov   ProRes 422 HQ with PCM sound; with --alpha, ProRes 4444 with alpha\n"
    "  NAME.mkv   FFV1 (lossless) with FLAC sound; with --alpha, FFV1 with alpha\n"
    "  FOLDER     PNG frames (no extension, or ending in /); with --alpha, RGBA\n";

// ffmpeg's arguments for the format's sound codec (rate included, channels
// not) and for its muxer, the output's name to follow.
std::vector<std::string> SoundArgs(VideoFormat format);
std::vector<std::string> MuxerArgs(VideoFormat format);
