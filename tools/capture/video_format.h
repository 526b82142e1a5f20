// The kinds of video a capture writes, each chosen by the output's
// extension: everything zarv-capture knows of a format, in one table: its
// codec and its sound's, its muxer, whether it carries alpha and which
// encoding options it takes.
#pragma once

#include <string>
#include <vector>

#include "h264_encoder.h"

enum class VideoFormat {
  MP4,   // H.264 and AAC, for players and the web
  WEBM,  // VP9 and Opus, for the web; with alpha
  MOV,   // ProRes 422 HQ (4444 with alpha) and PCM, for editors
  MKV,   // FFV1 and FLAC, lossless; with alpha
};

// How the frames are to be encoded, as far as the codec's arguments go.
struct VideoEncoding {
  bool alpha = false;  // the frames' alpha goes into the video
  int crf = 0;         // the rate factor, for a format that takes one
  std::string preset;  // x264's preset (MP4)
  H264Encoder h264;    // MP4's encoder
};

struct VideoFormatRow {
  VideoFormat format;
  const char* extension;  // without the dot
  const char* help;       // the help's line for it, after NAME.extension
  bool alpha;             // carries --alpha
  bool rate;              // takes --crf and --quality
  bool h264;              // H.264: takes --preset and --encoder
  // ffmpeg's arguments for the video codec.
  std::vector<std::string> (*codec)(const VideoEncoding& encoding);
  // ffmpeg's arguments for the sound codec (rate included, channels not)
  // and for the muxer, the output's name to follow.
  std::vector<std::string> sound;
  std::vector<std::string> muxer;
};

// The row of a format.
const VideoFormatRow& RowOf(VideoFormat format);
// The format an extension (without its dot) names; false when none does.
bool VideoFormatFor(const std::string& extension, VideoFormat* format);
// The formats, a line each ending in a newline, as the help and the
// refusal of an unknown extension list them, PNG frames last.
std::string VideoFormatsHelp();
