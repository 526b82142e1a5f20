// Options are checked here, before anything is rendered, so that a mistake
// costs no minutes of simulation.
#include "capture_options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "paths.h"
#include "platform/platform.h"

namespace {

// "151 s": the show's end as the messages give it.
std::string ShowEndText() { return std::to_string(static_cast<int>(SHOW_END)) + " s"; }

bool ParseSeconds(const std::string& option, const char* text, double* value, std::string* error) {
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(v) || v < 0.0) {
    *error = option + " needs a number of seconds, 0 or more, not \"" + text + "\"";
    return false;
  }
  *value = v;
  return true;
}

bool ParseFps(const char* text, int* value, std::string* error) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < 1 || v > MAX_FPS) {
    *error = "--fps needs a whole number of frames a second from 1 to " + std::to_string(MAX_FPS) +
             ", not \"" + text + "\"";
    return false;
  }
  *value = static_cast<int>(v);
  return true;
}

// x264's presets, fastest first.
const char* const PRESETS[] = {"ultrafast", "superfast", "veryfast", "faster",   "fast",
                               "medium",    "slow",      "slower",   "veryslow", "placebo"};

// --quality's names for an x264 preset and rate factor.
struct Quality {
  const char* name;
  const char* preset;
  int crf;
};
const Quality QUALITIES[] = {
    {"draft", "ultrafast", 20}, {"normal", DEFAULT_PRESET, DEFAULT_CRF}, {"best", "slow", 16}};

bool ParsePreset(const std::string& text, std::string* value, std::string* error) {
  std::string names;
  for (const char* preset : PRESETS) {
    if (text == preset) {
      *value = text;
      return true;
    }
    names += std::string(names.empty() ? "" : ", ") + preset;
  }
  *error = "--preset needs one of x264's presets (" + names + "), not \"" + text + "\"";
  return false;
}

bool ParseCrf(const std::string& text, int* value, std::string* error) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 0 || v > MAX_CRF) {
    *error = "--crf needs a whole number from 0 to " + std::to_string(MAX_CRF) + ", not \"" + text + "\"";
    return false;
  }
  *value = static_cast<int>(v);
  return true;
}

bool ParseQuality(const std::string& text, CaptureOptions* o, std::string* error) {
  for (const Quality& q : QUALITIES) {
    if (text == q.name) {
      o->preset = q.preset;
      o->crf = q.crf;
      return true;
    }
  }
  *error = "--quality needs draft, normal or best, not \"" + text + "\"";
  return false;
}

// WIDTHxHEIGHT, both even and from 2 to MAX_VIDEO_SIDE.
bool ParseSize(const std::string& text, CaptureOptions* o, std::string* error) {
  const size_t x = text.find('x');
  long side[2] = {0, 0};
  bool ok = x != std::string::npos;
  for (int i = 0; ok && i < 2; ++i) {
    const std::string part = i == 0 ? text.substr(0, x) : text.substr(x + 1);
    char* end = nullptr;
    side[i] = std::strtol(part.c_str(), &end, 10);
    ok = !part.empty() && std::isdigit(static_cast<unsigned char>(part[0])) && *end == '\0' && side[i] > 0 &&
         side[i] <= MAX_VIDEO_SIDE && side[i] % 2 == 0;
  }
  if (!ok) {
    *error = "--size needs WIDTHxHEIGHT in even pixels from 2 to " + std::to_string(MAX_VIDEO_SIDE) +
             ", not \"" + text + "\"";
    return false;
  }
  o->videoWidth = static_cast<int>(side[0]);
  o->videoHeight = static_cast<int>(side[1]);
  return true;
}

bool ParseMsaa(const std::string& text, int* value, std::string* error) {
  if (text != "2" && text != "4" && text != "8") {
    *error = "--msaa needs 2, 4 or 8 samples a pixel, not \"" + text + "\"";
    return false;
  }
  *value = std::atoi(text.c_str());
  return true;
}

// The video's size and shape fit together, and only a video is given them.
bool SettleVideoShape(const CaptureOptions& o, bool encodingGiven, std::string* error) {
  if (encodingGiven && o.mode != CaptureOptions::Mode::VIDEO && o.mode != CaptureOptions::Mode::BENCH) {
    *error = "--preset, --crf, --quality, --size and --pad shape the video: --output must end in .mp4";
    return false;
  }
  if (o.pad && o.videoWidth == 0) {
    *error = "--pad needs --size, the frame to put the picture in";
    return false;
  }
  const long w = o.videoWidth;
  const long h = o.videoHeight;
  if (w != 0 && !o.pad && w * platform::SHOW_HEIGHT != h * platform::SHOW_WIDTH) {
    *error = "--size " + std::to_string(w) + "x" + std::to_string(h) +
             " is not 4:3: add --pad to put the picture on black bars in it";
    return false;
  }
  return true;
}

// Chooses the mode from what was given and checks that it fits together.
bool Settle(CaptureOptions* o, bool outputGiven, bool rangeGiven, std::string* error) {
  const std::string ext = ExtensionOf(o->output);
  if (o->mode == CaptureOptions::Mode::BENCH) {
    if (outputGiven || !o->stills.empty()) {
      *error = "--bench writes no files: leave out --output and --still";
      return false;
    }
  } else if (!o->stills.empty()) {
    o->mode = CaptureOptions::Mode::STILLS;
    if (rangeGiven) {
      *error = "--still renders single frames: leave out --from and --to";
      return false;
    }
    if (!outputGiven) o->output = ".";
    if (ext == "png" && o->stills.size() != 1) {
      *error = "--output " + o->output + " names one image, but " + std::to_string(o->stills.size()) +
               " stills were asked for: give a folder instead";
      return false;
    }
    if (outputGiven && ext != "png" && !ext.empty()) {
      *error = "stills are PNG images: --output must be a folder or a .png file, not " + o->output;
      return false;
    }
    for (double t : o->stills) {
      if (t > SHOW_END) {
        *error = "--still " + std::to_string(t) + " is after the show's end at " + ShowEndText();
        return false;
      }
    }
  } else if (ext == "mp4") {
    o->mode = CaptureOptions::Mode::VIDEO;
  } else if (ext.empty()) {
    o->mode = CaptureOptions::Mode::FRAMES;
  } else {
    *error = "--output " + o->output +
             ": a video must end in .mp4, a folder of PNG frames has no extension (or ends in /)";
    return false;
  }
  if (o->from >= SHOW_END) {
    *error = "--from must be before the show's end at " + ShowEndText();
    return false;
  }
  if (o->to >= 0.0 && o->to <= o->from) {
    *error = "--to must be after --from";
    return false;
  }
  return true;
}

}  // namespace

bool ParseCaptureOptions(int argc, const char* const* argv, CaptureOptions* o, std::string* error) {
  bool outputGiven = false;
  bool rangeGiven = false;
  bool encodingGiven = false;
  // --preset and --crf win over --quality, in whatever order they come.
  std::string preset;
  std::string crf;
  bool presetGiven = false;
  bool crfGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool hasValue = false;
    size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      hasValue = true;
    }
    if (arg == "--help" || arg == "-h" || arg == "--bench" || arg == "--pad") {
      if (hasValue) {
        *error = arg + " takes no value";
        return false;
      }
      if (arg == "--bench") {
        o->mode = CaptureOptions::Mode::BENCH;
      } else if (arg == "--pad") {
        o->pad = encodingGiven = true;
      } else {
        o->help = true;
      }
      continue;
    }
    const bool known = arg == "--output" || arg == "-o" || arg == "--from" || arg == "--to" ||
                       arg == "--fps" || arg == "--still" || arg == "--show-dir" || arg == "--preset" ||
                       arg == "--crf" || arg == "--quality" || arg == "--size" || arg == "--msaa";
    if (!known) {
      *error = arg.rfind("-", 0) == 0 ? "unknown option " + arg : "unexpected argument \"" + arg + "\"";
      return false;
    }
    if (!hasValue) {
      if (i + 1 >= argc) {
        *error = arg + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (arg == "--output" || arg == "-o") {
      if (value.empty()) {
        *error = "--output needs a file or folder name";
        return false;
      }
      o->output = value;
      outputGiven = true;
    } else if (arg == "--from") {
      if (!ParseSeconds(arg, value.c_str(), &o->from, error)) return false;
      rangeGiven = true;
    } else if (arg == "--to") {
      if (!ParseSeconds(arg, value.c_str(), &o->to, error)) return false;
      rangeGiven = true;
    } else if (arg == "--fps") {
      if (!ParseFps(value.c_str(), &o->fps, error)) return false;
    } else if (arg == "--preset") {
      preset = value;
      presetGiven = encodingGiven = true;
    } else if (arg == "--crf") {
      crf = value;
      crfGiven = encodingGiven = true;
    } else if (arg == "--quality") {
      if (!ParseQuality(value, o, error)) return false;
      encodingGiven = true;
    } else if (arg == "--size") {
      if (!ParseSize(value, o, error)) return false;
      encodingGiven = true;
    } else if (arg == "--msaa") {
      if (!ParseMsaa(value, &o->msaa, error)) return false;
    } else if (arg == "--still") {
      double t = 0.0;
      if (!ParseSeconds(arg, value.c_str(), &t, error)) return false;
      o->stills.push_back(t);
    } else {
      if (value.empty()) {
        *error = "--show-dir needs a folder";
        return false;
      }
      o->showDir = value;
    }
  }
  o->rangeGiven = rangeGiven;
  if (o->help) return true;
  if (presetGiven && !ParsePreset(preset, &o->preset, error)) return false;
  if (crfGiven && !ParseCrf(crf, &o->crf, error)) return false;
  return Settle(o, outputGiven, rangeGiven, error) && SettleVideoShape(*o, encodingGiven, error);
}

std::string CaptureUsage() {
  std::string usage = R"(Usage: zarv-capture [options]

Renders the show offline, with no window and no display: frame n shows the
show at n / fps seconds, every frame advances it by 1 / fps, and the music's
spectrum is taken at exactly that position, so two runs give the same frames.

  -o, --output PATH  where the frames go (default zarv.mp4):
                       NAME.mp4  an H.264 video with the soundtrack (needs ffmpeg)
                       FOLDER    numbered PNG frames, frame-NNNNNN.png with N the
                                 frame number (show time N / fps); made if missing
                       NAME.png  the one still asked for with --still
      --from SECONDS first frame at or after this show time (default 0)
      --to SECONDS   stop before this show time (default: the show's end, @END@)
      --fps N        frames a second, 1 to 240 (default 60)
      --still SECONDS  write only the frame at this show time, as
                     still-SSS.sss.png in the --output folder (default: here);
                     may be given several times
      --show-dir DIR where the show's data/ and murel.mp3 are (default: the
                     folder zarv-capture is in); zarv.log is written there
      --quality NAME shorthand for x264's preset and rate factor:
@QUALITIES@
      --preset NAME  x264's preset, ultrafast (fastest, biggest) to placebo;
                     wins over --quality
      --crf N        x264's constant rate factor, 0 (lossless) to 51: lower is
                     better and bigger; wins over --quality
      --size WxH     scale the video to W x H pixels with lanczos, each even and
                     at most 4096; 4:3 (e.g. 1440x1080) unless --pad is given
      --pad          fit the 4:3 picture into --size on black bars, e.g.
                     --size 1920x1080 --pad for a 16:9 video
      --msaa N       anti-alias with N samples a pixel: 2, 4 or 8 (default off,
                     so that each frame is exactly what the live show draws)
      --bench        render as fast as possible and print frame times: a floor
                     frame that only clears and reads back, the timetable, a
                     stress case of 16 live effects, and the capture: frames a
                     second drawn and encoded to MP4 at the video settings
                     given, against ffmpeg alone encoding the same frames.
                     The timetable covers the whole show and the capture 20 s
                     to 30 s unless --from/--to say otherwise; with them, the
                     others run as many frames as the range holds, at most
                     their usual 600 and 1200
  -h, --help         this text

Frames before --from are simulated too (the show's state depends on them) but
not written. At the end a summary of the schedule the show ran is printed:
effects of each kind created and retired per 10 s, the peak of live effects
and how often each spawn rule fired. A progress bar is drawn on stderr when
it is a terminal.

Exit status: 0 done, 1 rendering or encoding failed (ffmpeg's message is
shown; no file is left under the output name), 2 bad options or an output
that cannot be written.

Example: zarv-capture --output zarv.mp4
         zarv-capture --still 75 --still 120 --output stills/
)";
  std::string qualities;
  for (const Quality& q : QUALITIES) {
    qualities +=
        std::string("                       ") + q.name + std::string(8 - std::strlen(q.name), ' ') +
        "--preset " + q.preset + " --crf " + std::to_string(q.crf) +
        (q.crf == DEFAULT_CRF && std::strcmp(q.preset, DEFAULT_PRESET) == 0 ? " (the default)" : "") + "\n";
  }
  qualities.pop_back();
  usage.replace(usage.find("@QUALITIES@"), 11, qualities);
  return usage.replace(usage.find("@END@"), 5, ShowEndText());
}
