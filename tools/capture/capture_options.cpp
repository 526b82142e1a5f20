// Options are checked here, before anything is rendered, so that a mistake
// costs no minutes of simulation. The table gives each option's limits;
// what depends on several options together is settled after it.
#include "capture_options.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <utility>

#include "demo/show_options.h"
#include "foundation/paths.h"
#include "platform/platform.h"

namespace {

constexpr double FOREVER = std::numeric_limits<double>::infinity();

// x264's presets, fastest first.
const std::vector<std::string> PRESETS = {"ultrafast", "superfast", "veryfast", "faster",   "fast",
                                          "medium",    "slow",      "slower",   "veryslow", "placebo"};

// --quality's names for an x264 preset and rate factor, and for the VP9
// rate factor whose video comes as close to the lossless frames.
struct Quality {
  const char* name;
  const char* preset;
  int crf;
  int vp9Crf;
};
const Quality QUALITIES[] = {{"draft", "ultrafast", 20, VP9_DRAFT_CRF},
                             {"normal", DEFAULT_PRESET, DEFAULT_CRF, VP9_NORMAL_CRF},
                             {"best", "slow", 16, VP9_BEST_CRF}};

// "151 s": a time of the show as the messages give it.
std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", seconds);
  return text;
}

// WIDTHxHEIGHT, both even and from 2 to MAX_VIDEO_SIDE.
bool ParseSize(const std::string& text, CaptureOptions* o, std::string* error) {
  int width = 0, height = 0;
  if (!ReadSize(text, 2, MAX_VIDEO_SIDE, &width, &height) || width % 2 != 0 || height % 2 != 0) {
    *error = "--size needs WIDTHxHEIGHT in even pixels from 2 to " + std::to_string(MAX_VIDEO_SIDE) +
             ", not \"" + text + "\"";
    return false;
  }
  o->videoWidth = width;
  o->videoHeight = height;
  return true;
}

// K/N with 1 <= K <= N <= MAX_PARTS.
bool ParsePart(const std::string& text, CaptureOptions* o, std::string* error) {
  const size_t slash = text.find('/');
  const auto number = [](const std::string& part) {
    const bool digits =
        !part.empty() && part.size() <= 4 && part.find_first_not_of("0123456789") == std::string::npos;
    return digits ? std::stoi(part) : 0;
  };
  const int k = slash != std::string::npos ? number(text.substr(0, slash)) : 0;
  const int n = slash != std::string::npos ? number(text.substr(slash + 1)) : 0;
  if (k < 1 || n < 1 || k > n || n > MAX_PARTS) {
    *error = "--part needs K/N with 1 <= K <= N <= " + std::to_string(MAX_PARTS) + ", not \"" + text + "\"";
    return false;
  }
  o->part = k;
  o->parts = n;
  return true;
}

// A row whose value is checked as kind says and taken by apply: for what no
// builder holds, a list of times, a number chosen from a few or a flag that
// sets the mode.
Option Taken(Option::Kind kind, const std::string& name, const std::string& value, const std::string& help,
             std::function<bool(const std::string& value, std::string* error)> apply) {
  Option row = Custom(name, value, help, std::move(apply));
  row.kind = kind;
  return row;
}

OptionTable Table(CaptureOptions* o) {
  OptionTable table;
  table.program = "zarv-capture";
  table.about =
      "Renders the show offline, with no window and no display: frame n shows the show at n / fps seconds, "
      "every frame advances it by 1 / fps, and the spawn rules run 60 times a second of show time, each "
      "time with the music's spectrum at exactly that position, so two runs give the same frames and any "
      "frame rate spawns as 60 fps does.";
  Option output = Text("--output", "PATH", &o->output,
                       "where the frames go: a video with the music, its format by its name (.mp4, .webm, "
                       ".mov or .mkv, see below; needs ffmpeg); FOLDER numbered PNG frames, frame-NNNNNN.png "
                       "with N the frame number (show time N / fps), made if missing; NAME.png the one still "
                       "asked for with --still");
  output.alias = "-o";
  table.rows.push_back(output);
  for (const Option& row : MusicOptionRows(&o->music, &o->credit)) table.rows.push_back(row);
  table.rows.push_back(
      Number("--from", "SECONDS", &o->from, 0.0, FOREVER, "first frame at or after this show time"));
  Option to = Number("--to", "SECONDS", &o->to, 0.0, FOREVER, "stop before this show time");
  to.defaultText = "the show's end";
  table.rows.push_back(to);
  table.rows.push_back(Integer("--fps", "N", &o->fps, 1, MAX_FPS, "frames a second"));
  Option still = Taken(Option::Kind::NUMBER, "--still", "SECONDS",
                       "write only the frame at this show time (the first at or after it, as a range from it "
                       "begins), as still-SSS.sss.png in the --output folder (default: here); may be given "
                       "several times",
                       [o](const std::string& value, std::string*) {
                         o->stills.push_back(std::strtod(value.c_str(), nullptr));
                         return true;
                       });
  still.max = FOREVER;
  table.rows.push_back(still);
  Option showDir = Text("--show-dir", "DIR", &o->showDir,
                        "where the show's data/ and murel.mp3 are; zarv.log is written there");
  showDir.defaultText = "the folder zarv-capture is in";
  table.rows.push_back(showDir);
  std::string qualities;
  for (const Quality& q : QUALITIES) {
    qualities += std::string(qualities.empty() ? "" : ", ") + q.name + " is --preset " + q.preset +
                 " --crf " + std::to_string(q.crf);
  }
  table.rows.push_back(Flag("--alpha", &o->alpha,
                            "the show over transparency, to lay over other footage: each pixel's alpha is "
                            "how much the show covers it, the pad bars are transparent; for .webm, .mov, "
                            ".mkv, PNG frames and stills"));
  table.rows.push_back(Choice("--quality", "NAME", &o->quality, {"draft", "normal", "best"},
                              "shorthand for x264's preset and rate factor: " + qualities +
                                  "; for .webm, VP9's rate factor as close to the lossless frames"));
  table.rows.push_back(Choice("--preset", "NAME", &o->preset, PRESETS,
                              "x264's preset, fastest (biggest) first; wins over --quality"));
  table.rows.push_back(
      Integer("--crf", "N", &o->crf, 0, MAX_CRF,
              "the constant rate factor of x264 (.mp4) or VP9 (.webm), 0 lossless: lower is better "
              "and bigger; wins over --quality"));
  table.rows.push_back(
      Custom("--size", "WxH",
             "draw the frames at W x H pixels, each even and at most " + std::to_string(MAX_VIDEO_SIDE) +
                 ": lines and sprites stay sharp; 4:3 (e.g. 1440x1080) unless --pad is given",
             [o](const std::string& value, std::string* error) { return ParseSize(value, o, error); }));
  table.rows.push_back(Flag("--pad", &o->pad,
                            "fit the 4:3 picture into --size on black bars, e.g. --size "
                            "1920x1080 --pad for a 16:9 video or 1080x1920 for a phone"));
  table.rows.push_back(Flag("--scale-only", &o->scaleOnly,
                            "draw the show's own 800 x 600 pixels and let ffmpeg scale the video up to "
                            "--size with lanczos: faster, softer"));
  table.rows.push_back(
      Choice("--encoder", "WHICH", &o->encoder, {"auto", "x264", "nvenc", "vaapi"},
             "the .mp4's H.264 encoder: x264 on the processor, or a graphics card's, "
             "NVIDIA's NVENC or VA-API (Intel, AMD), tried on one frame before the capture "
             "starts; auto is x264, or the card's own with --renderer hardware when it works; "
             "--crf 0 (lossless) is x264's"));
  table.rows.push_back(Choice("--renderer", "WHICH", &o->renderer, {"auto", "hardware", "software"},
                              "what draws the frames: auto a graphics card's EGL device when there is one, "
                              "else Mesa's software device; hardware the card or nothing (exit 2); "
                              "software llvmpipe through Mesa's surfaceless platform, the reference frames. "
                              "The summary and zarv.log name the renderer taken"));
  Option msaa = Taken(Option::Kind::CHOICE, "--msaa", "N",
                      "anti-alias with N samples a pixel; off by default, so that each frame is exactly "
                      "what the live show draws",
                      [o](const std::string& value, std::string*) {
                        o->msaa = std::atoi(value.c_str());
                        return true;
                      });
  msaa.choices = {"2", "4", "8"};
  table.rows.push_back(msaa);
  table.rows.push_back(Taken(Option::Kind::FLAG, "--bench", "",
                             "render as fast as possible and print frame times: a floor frame that only "
                             "clears and reads back, the timetable, a stress case of 16 live effects, and "
                             "the capture: frames a second drawn and encoded to MP4 at the video settings "
                             "given, against ffmpeg alone encoding the same frames; then where their time "
                             "goes: the same frames drawn again and counted (fragments a pixel, draw calls "
                             "and vertices by what drew them), drawn at 16x12 for the time that is not "
                             "fill, and the cost of a fragment of each sprite image. The timetable covers "
                             "the whole show and the capture 20 s to 30 s unless --from/--to say "
                             "otherwise; with them, the others run as many frames as the range holds, at "
                             "most their usual 600 and 1200",
                             [o](const std::string&, std::string*) {
                               o->mode = CaptureOptions::Mode::BENCH;
                               return true;
                             }));
  table.rows.push_back(Custom(
      "--part", "K/N",
      "render only the K-th of N consecutive slices of the frames, to be joined with --join: a video without "
      "sound, or PNG frames with their own numbers, and beside it a record (OUTPUT.zarv-part, or "
      "part-K-of-N.zarv-part in the folder) of what it is a part of",
      [o](const std::string& value, std::string* error) { return ParsePart(value, o, error); }));
  table.rows.push_back(Integer("--jobs", "N", &o->jobs, 1, MAX_JOBS,
                               "render in N processes at once, a part each, then join them; the parts "
                               "stay in a temporary folder beside the output"));
  table.rows.push_back(Taken(Option::Kind::TEXT, "--join", "OUTPUT",
                             "as the first option, zarv-capture --join OUTPUT PART...: join the video parts "
                             "in order, without encoding again, and add the track's sound",
                             [](const std::string&, std::string* error) {
                               *error = "--join comes first: zarv-capture --join OUTPUT PART...";
                               return false;
                             }));
  for (const Option& row : HelpAndVersion(&o->help, &o->version)) table.rows.push_back(row);
  table.after =
      std::string("Video formats, by the output's name:\n") + VideoFormatsHelp() +
      "Only .mp4 takes --preset (x264's); ProRes and FFV1 take no --quality or --crf.\n"
      "\n"
      "Frames before --from are run too (the show's state depends on them) but not drawn. At the end "
      "a summary of the schedule the show ran is printed: effects of each kind created and retired per 10 s, "
      "the peak of live effects and how often each spawn rule fired. A progress bar is drawn on stderr when "
      "it "
      "is a terminal.\n"
      "\n"
      "Exit status:\n"
      "  0    done\n"
      "  1    rendering or encoding failed (ffmpeg's message is shown; no file is left\n"
      "       under the output name)\n"
      "  2    bad options, a track that cannot be played or an output that cannot be\n"
      "       written\n"
      "  130  interrupted (Ctrl-C; no video is left)\n"
      "\n"
      "Examples:\n"
      "  $ zarv-capture --output zarv.mp4\n"
      "  $ zarv-capture --still 75 --still 120 --output stills/\n"
      "  $ zarv-capture --music song.flac --size 1920x1080 --pad -o song.mp4\n"
      "  $ zarv-capture --music song.flac --alpha -o song.mov\n";
  return table;
}

// What was given of the video's encoding.
struct EncodingGiven {
  bool encoder = false;
  bool preset = false;
  bool rate = false;  // --crf or --quality
  bool scaleOnly = false;
};

// The frames' size and shape fit together, and a video is given only the
// encoding its format takes.
bool SettleVideoShape(const CaptureOptions& o, const EncodingGiven& given, std::string* error) {
  const bool video = o.mode == CaptureOptions::Mode::VIDEO || o.mode == CaptureOptions::Mode::BENCH;
  if ((given.preset || given.rate || given.scaleOnly) && !video) {
    *error = "--preset, --crf, --quality and --scale-only shape a video: --output must name one";
    return false;
  }
  const VideoFormatRow& format = RowOf(o.format);
  if (given.encoder && (!video || !format.h264)) {
    *error = "--encoder chooses the H.264 encoder of an .mp4 video: --output must end in .mp4";
    return false;
  }
  if (given.preset && (o.encoder == "nvenc" || o.encoder == "vaapi")) {
    *error = "--preset is x264's: leave it out with --encoder " + o.encoder;
    return false;
  }
  // A card's constant quality 0 is not lossless (NVENC reads it as "choose").
  if (o.crf == 0 && (o.encoder == "nvenc" || o.encoder == "vaapi")) {
    *error = "--crf 0 (lossless) is x264's: leave out --encoder " + o.encoder;
    return false;
  }
  if (given.preset && !format.h264) {
    *error = "--preset is x264's: it shapes an .mp4 video only";
    return false;
  }
  if (given.rate && !format.rate) {
    *error =
        "--crf and --quality set the rate of .mp4 and .webm videos: ProRes (.mov) and FFV1 (.mkv) take "
        "neither";
    return false;
  }
  if (o.alpha && o.mode == CaptureOptions::Mode::BENCH) {
    *error = "--bench times the .mp4 video: leave out --alpha";
    return false;
  }
  if (o.alpha && o.mode == CaptureOptions::Mode::VIDEO && !format.alpha) {
    *error = "--alpha: H.264 (.mp4) carries no alpha; write a .mov (ProRes 4444) or a .webm (VP9) instead";
    return false;
  }
  if (o.alpha && o.scaleOnly) {
    *error =
        "--scale-only lets ffmpeg scale the picture, which does not keep the show's alpha: leave it out "
        "with --alpha";
    return false;
  }
  if ((o.pad || o.scaleOnly) && o.videoWidth == 0) {
    *error = std::string(o.pad ? "--pad" : "--scale-only") + " needs --size, the frame to put the picture in";
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
bool Settle(CaptureOptions* o, bool outputGiven, std::string* error) {
  const std::string ext = ExtensionOf(o->output);
  if (o->mode == CaptureOptions::Mode::BENCH) {
    if (outputGiven || !o->stills.empty()) {
      *error = "--bench writes no files: leave out --output and --still";
      return false;
    }
  } else if (!o->stills.empty()) {
    o->mode = CaptureOptions::Mode::STILLS;
    if (o->rangeGiven) {
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
  } else if (VideoFormatFor(ext, &o->format)) {
    o->mode = CaptureOptions::Mode::VIDEO;
  } else if (ext.empty()) {
    o->mode = CaptureOptions::Mode::FRAMES;
  } else {
    *error = "--output " + o->output + ": zarv-capture writes\n" + VideoFormatsHelp();
    error->pop_back();
    return false;
  }
  const bool still = o->mode == CaptureOptions::Mode::STILLS, bench = o->mode == CaptureOptions::Mode::BENCH;
  if ((o->parts > 0 || o->jobs > 1) && (still || bench)) {
    *error = std::string(o->parts > 0 ? "--part" : "--jobs") + " splits a range of frames: leave out " +
             (still ? "--still" : "--bench");
    return false;
  }
  if (o->parts > 0 && o->jobs > 1) {
    *error = "--jobs makes its own parts: leave out --part";
    return false;
  }
  if (o->to >= 0.0 && o->to <= o->from) {
    *error = "--to must be after --from";
    return false;
  }
  return true;
}

// The table as the help and the usage line show it: bound to options at
// their defaults, which the help gives.
const OptionParser& Described() {
  static CaptureOptions defaults;
  static const OptionParser described(Table(&defaults));
  return described;
}

}  // namespace

bool ParseCaptureOptions(int argc, const char* const* argv, CaptureOptions* o, std::string* error) {
  if (argc > 1 && std::string(argv[1]) == "--join") {
    o->mode = CaptureOptions::Mode::JOIN;
    if (argc < 4) {
      *error = "--join needs an output and at least one part: zarv-capture --join OUTPUT PART...";
      return false;
    }
    o->output = argv[2];
    o->joinParts.assign(argv + 3, argv + argc);
    return true;
  }
  OptionParser parser(Table(o));
  if (!parser.Parse(argc, argv, error)) return false;
  if (o->help || o->version) return true;
  o->rangeGiven = parser.Given("--from") || parser.Given("--to");
  EncodingGiven given;
  given.encoder = parser.Given("--encoder");
  given.preset = parser.Given("--preset");
  given.rate = parser.Given("--crf") || parser.Given("--quality");
  given.scaleOnly = parser.Given("--scale-only");
  if (!Settle(o, parser.Given("--output"), error) || !SettleVideoShape(*o, given, error)) return false;
  // --preset and --crf win over --quality, in whatever order they come.
  for (const Quality& q : QUALITIES) {
    if (o->quality != q.name) continue;
    if (!given.preset) o->preset = q.preset;
    if (!parser.Given("--crf")) o->crf = o->format == VideoFormat::WEBM ? q.vp9Crf : q.crf;
  }
  return true;
}

bool CheckAgainstTimetable(const CaptureOptions& o, const Timetable& timetable, std::string* error) {
  const std::string end = "the show's end at " + SecondsText(timetable.showEnd);
  for (double t : o.stills) {
    if (t > timetable.showEnd) {
      *error = "--still " + SecondsText(t) + " is after " + end;
      return false;
    }
  }
  if (o.from >= timetable.showEnd) {
    *error = "--from must be before " + end;
    return false;
  }
  return true;
}

void PictureSize(const CaptureOptions& o, int* width, int* height) {
  *width = platform::SHOW_WIDTH;
  *height = platform::SHOW_HEIGHT;
  if (o.videoWidth == 0 || o.scaleOnly) return;
  *width = o.videoWidth;
  *height = o.videoHeight;
  if (!o.pad) return;
  // Even sides, as yuv420p needs.
  const platform::Area picture = platform::LargestShowArea(o.videoWidth, o.videoHeight, 2);
  *width = picture.width;
  *height = picture.height;
}

std::string CaptureHelp() { return Described().Help(); }

std::string CaptureUsage() { return Described().Usage(); }
