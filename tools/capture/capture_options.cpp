// Options are checked here, before anything is rendered, so that a mistake
// costs no minutes of simulation.
#include "capture_options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "paths.h"

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
    if (arg == "--help" || arg == "-h" || arg == "--bench") {
      if (hasValue) {
        *error = arg + " takes no value";
        return false;
      }
      if (arg == "--bench") {
        o->mode = CaptureOptions::Mode::BENCH;
      } else {
        o->help = true;
      }
      continue;
    }
    const bool known = arg == "--output" || arg == "-o" || arg == "--from" || arg == "--to" ||
                       arg == "--fps" || arg == "--still" || arg == "--show-dir";
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
  if (o->help) return true;
  return Settle(o, outputGiven, rangeGiven, error);
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
      --bench        render as fast as possible and print frame times: the whole
                     timetable, a stress case of 16 live effects, and a floor
                     frame that only clears and reads back
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
  return usage.replace(usage.find("@END@"), 5, ShowEndText());
}
