// The index goes first where a browser plays the video as it downloads.
#include "video_format.h"

std::vector<std::string> SoundArgs(VideoFormat format) {
  switch (format) {
    case VideoFormat::MP4:
      return {"-c:a", "aac", "-b:a", "192k", "-ar", "44100"};
    case VideoFormat::WEBM:
      return {"-c:a", "libopus", "-b:a", "160k", "-ar", "48000"};
    case VideoFormat::MOV:
      return {"-c:a", "pcm_s16le", "-ar", "44100"};
    case VideoFormat::MKV:
      return {"-c:a", "flac", "-ar", "44100"};
  }
  return {};
}

std::vector<std::string> MuxerArgs(VideoFormat format) {
  switch (format) {
    case VideoFormat::MP4:
      return {"-movflags", "+faststart", "-f", "mp4"};
    case VideoFormat::WEBM:
      return {"-cues_to_front", "1", "-f", "webm"};
    case VideoFormat::MOV:
      return {"-f", "mov"};
    case VideoFormat::MKV:
      return {"-f", "matroska"};
  }
  return {};
}
