// The index goes first where a browser plays the video as it downloads.
// The frames' 8 bits a channel go into ProRes's 10, whose alpha ffmpeg
// keeps at 16.
#include "video_format.h"

namespace {

// libvpx's speed for VP9: 0 slowest and best, 5 the fastest of its good deadline.
const char* const VP9_SPEED = "4";

std::vector<std::string> H264(const VideoEncoding& e) {
  // A card's encoder takes the rate factor as its constant quality.
  if (e.h264.codec == "h264_nvenc") {
    return {"-c:v", "h264_nvenc",          "-preset", "p5", "-tune",    "hq",     "-rc", "vbr",
            "-cq",  std::to_string(e.crf), "-b:v",    "0",  "-pix_fmt", "yuv420p"};
  }
  if (e.h264.codec == "h264_vaapi")
    return {"-c:v", "h264_vaapi", "-rc_mode", "CQP", "-qp", std::to_string(e.crf)};
  return {"-c:v", "libx264", "-preset", e.preset, "-crf", std::to_string(e.crf), "-pix_fmt", "yuv420p"};
}

std::vector<std::string> Vp9(const VideoEncoding& e) {
  std::vector<std::string> vp9 = {"-c:v",      "libvpx-vp9", "-pix_fmt",  e.alpha ? "yuva420p" : "yuv420p",
                                  "-deadline", "good",       "-cpu-used", VP9_SPEED,
                                  "-row-mt",   "1"};
  if (e.crf == 0) {
    vp9.insert(vp9.end(), {"-lossless", "1"});
  } else {
    vp9.insert(vp9.end(), {"-crf", std::to_string(e.crf), "-b:v", "0"});
  }
  return vp9;
}

std::vector<std::string> ProRes(const VideoEncoding& e) {
  return {"-c:v",       "prores_ks",
          "-profile:v", e.alpha ? "4444" : "hq",
          "-pix_fmt",   e.alpha ? "yuva444p10le" : "yuv422p10le",
          "-vendor",    "apl0"};
}

std::vector<std::string> Ffv1(const VideoEncoding& e) {
  return {"-c:v", "ffv1", "-level", "3", "-pix_fmt", e.alpha ? "bgra" : "bgr0"};
}

const VideoFormatRow FORMATS[] = {
    {VideoFormat::MP4,
     "mp4",
     "H.264 with AAC sound; no alpha",
     false,
     true,
     true,
     H264,
     {"-c:a", "aac", "-b:a", "192k", "-ar", "44100"},
     {"-movflags", "+faststart", "-f", "mp4"}},
    {VideoFormat::WEBM,
     "webm",
     "VP9 with Opus sound; with --alpha, VP9 with alpha",
     true,
     true,
     false,
     Vp9,
     {"-c:a", "libopus", "-b:a", "160k", "-ar", "48000"},
     {"-cues_to_front", "1", "-f", "webm"}},
    {VideoFormat::MOV,
     "mov",
     "ProRes 422 HQ with PCM sound; with --alpha, ProRes 4444 with alpha",
     true,
     false,
     false,
     ProRes,
     {"-c:a", "pcm_s16le", "-ar", "44100"},
     {"-f", "mov"}},
    {VideoFormat::MKV,
     "mkv",
     "FFV1 (lossless) with FLAC sound; with --alpha, FFV1 with alpha",
     true,
     false,
     false,
     Ffv1,
     {"-c:a", "flac", "-ar", "44100"},
     {"-f", "matroska"}},
};

}  // namespace

const VideoFormatRow& RowOf(VideoFormat format) {
  for (const VideoFormatRow& row : FORMATS) {
    if (row.format == format) return row;
  }
  return FORMATS[0];
}

bool VideoFormatFor(const std::string& extension, VideoFormat* format) {
  for (const VideoFormatRow& row : FORMATS) {
    if (extension == row.extension) {
      *format = row.format;
      return true;
    }
  }
  return false;
}

std::string VideoFormatsHelp() {
  std::string help;
  for (const VideoFormatRow& row : FORMATS) {
    std::string name = std::string("NAME.") + row.extension;
    name.resize(11, ' ');
    help += "  " + name + row.help + "\n";
  }
  return help + "  FOLDER     PNG frames (no extension, or ending in /); with --alpha, RGBA\n";
}
