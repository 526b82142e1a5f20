// The command line of zarv-capture: what to render (a video, a folder of
// frames, single stills or the benchmark), the range, the frame rate, the
// music and where the show's files are.
#pragma once

#include <string>
#include <vector>

#include "demo/timetable.h"
#include "foundation/options.h"
#include "video_format.h"

// The fastest x264 setting whose video stays within SSIM 0.985 of the
// lossless frames over a busy stretch of the show.
inline const char* const DEFAULT_PRESET = "ultrafast";
constexpr int DEFAULT_CRF = 18;
// VP9's rate factors for --quality's names, measured to match x264's
// closeness to the lossless frames.
constexpr int VP9_DRAFT_CRF = 45;
constexpr int VP9_NORMAL_CRF = 43;
constexpr int VP9_BEST_CRF = 40;
constexpr int MAX_CRF = 51;
constexpr int MAX_VIDEO_SIDE = 4096;  // pixels
constexpr int MAX_FPS = 240;
constexpr int MAX_PARTS = 1000;
constexpr int MAX_JOBS = 64;

struct CaptureOptions {
  enum class Mode { VIDEO, FRAMES, STILLS, BENCH, JOIN };

  Mode mode = Mode::VIDEO;
  // A video file (VIDEO, its format by its extension), a folder (FRAMES,
  // STILLS) or a ".png" file (one still).
  std::string output = "zarv.mp4";
  VideoFormat format = VideoFormat::MP4;
  // The show over transparency: alpha is how much the show covers each
  // pixel, written straight (not premultiplied).
  bool alpha = false;
  double from = 0.0;        // show seconds, first frame at or after it
  double to = -1.0;         // show seconds, frames before it; negative: to the show's end
  bool rangeGiven = false;  // --from or --to was given
  int fps = 60;
  std::vector<double> stills;  // show seconds, in the order given
  // The video's encoding (VIDEO and the benchmark): the preset (x264's)
  // and rate factor (x264's or VP9's) of --quality's name unless given
  // themselves.
  std::string quality = "normal";
  std::string preset = DEFAULT_PRESET;
  int crf = DEFAULT_CRF;  // 0 (lossless) to MAX_CRF
  // The frames' size in pixels; 0: the show's own. The picture is drawn at
  // that size (see PictureSize) unless scaleOnly.
  int videoWidth = 0;
  int videoHeight = 0;
  bool pad = false;               // the picture keeps 4:3 on black bars in a frame of another shape
  bool scaleOnly = false;         // the show's own pixels drawn and scaled up by ffmpeg, which is faster
  std::string encoder = "auto";   // "auto", "x264", "nvenc" or "vaapi": see H264Encoder
  std::string renderer = "auto";  // "auto", "hardware" or "software": see platform::Renderer
  int msaa = 0;                   // samples a pixel in the offscreen framebuffer; 0: one, no anti-aliasing
  std::string music;              // a track instead of the built-in soundtrack; empty: the soundtrack
  std::string credit;             // the closing credit, UTF-8; empty: the track's own
  // One of several consecutive slices of the frames: part of parts (1 to
  // parts); parts 0: the whole capture.
  int part = 0;
  int parts = 0;
  // Processes rendering a part each, joined at the end; 1: this one alone.
  int jobs = 1;
  std::vector<std::string> joinParts;  // JOIN: the parts to join into output, in any order
  // Where data/ and murel.mp3 are; empty: the folder of the executable.
  std::string showDir;
  bool help = false;
  bool version = false;
};

// Reads argv into *options. False with a one-line reason in *error when an
// option is unknown, lacks its value, or the values do not fit together.
bool ParseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error);
// Checks the range and the stills against the show's timetable, once the
// music (and so the show's end) is known.
bool CheckAgainstTimetable(const CaptureOptions& options, const Timetable& timetable, std::string* error);

// The pixels the show is drawn with: the frame's size, or with --pad the
// largest 4:3 picture in even pixels that fits it; the show's own size
// without --size or with --scale-only.
void PictureSize(const CaptureOptions& options, int* width, int* height);

// The --help text, and the one-line usage for a mistaken command line.
std::string CaptureHelp();
std::string CaptureUsage();
