// Every frame from 0 on is run, since the show's state at a frame depends on
// all before it; only the frames asked for are drawn, read back and written.
#include "capture.h"

#include <GL/gl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "demo/showmusic.h"
#include "demo/timetable.h"
#include "ffmpeg_encoder.h"
#include "foundation/debug.h"
#include "foundation/paths.h"
#include "h264_encoder.h"
#include "offline_show.h"
#include "part_record.h"
#include "platform/blending.h"
#include "png/png_writer.h"
#include "progress_bar.h"
#include "schedule_tally.h"
#include "straight_alpha.h"

namespace {

// Show times within this of a frame's time count as that frame's.
constexpr double TIME_SLACK = 1e-6;

void Complain(const std::string& message) { std::fprintf(stderr, "zarv-capture: %s\n", message.c_str()); }

// One frame as a PNG: RGB, what the screen shows, the framebuffer's alpha
// left out; or with alpha RGBA, straight. A low compression level is fast,
// and the mostly black frames lose little size by it.
bool WriteFramePng(const std::string& path, int width, int height, const std::vector<unsigned char>& pixels,
                   bool alpha, std::string* error) {
  PngImage image = PngImage8(width, height, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, pixels);
  image.dropAlpha = !alpha;
  image.compression = 3;
  return WritePng(path, image, error);
}

// RGBA rows of a picture centred in a frame of transparent black, as ffmpeg
// pads a video.
std::vector<unsigned char> Framed(const std::vector<unsigned char>& picture, int pictureWidth,
                                  int pictureHeight, int frameWidth, int frameHeight) {
  std::vector<unsigned char> frame(static_cast<size_t>(frameWidth) * frameHeight * 4, 0);
  const size_t row = static_cast<size_t>(pictureWidth) * 4;
  const int left = (frameWidth - pictureWidth) / 2;
  const int top = (frameHeight - pictureHeight) / 2;
  for (int y = 0; y < pictureHeight; ++y) {
    std::copy_n(picture.data() + y * row, row,
                frame.data() + (static_cast<size_t>(top + y) * frameWidth + left) * 4);
  }
  return frame;
}

// Makes the folder and its missing parents.
bool MakeFolders(const std::string& path, std::string* error) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string part = path.substr(0, slash);
    struct stat info = {};
    if (!part.empty() && stat(part.c_str(), &info) != 0 && mkdir(part.c_str(), 0777) != 0 &&
        errno != EEXIST) {
      *error = "cannot make " + part + ": " + std::strerror(errno);
      return false;
    }
    if (slash == std::string::npos) break;
  }
  struct stat info = {};
  if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    *error = path + " is not a folder";
    return false;
  }
  return true;
}

// Whether files can be made in the folder: one is made and removed.
bool FolderWritable(const std::string& folder, std::string* error) {
  std::string reason;
  const std::string name = MakeTempFile(folder + "/.zarv-capture-XXXXXX", &reason);
  if (name.empty()) {
    *error = "cannot write in " + folder + ": " + reason;
    return false;
  }
  unlink(name.c_str());
  return true;
}

// A single still asked for by its file name rather than a folder.
bool NamesOneFile(const CaptureOptions& o) {
  return o.mode == CaptureOptions::Mode::STILLS && ExtensionOf(o.output) == "png";
}

// Where each wanted frame goes, by frame number (two stills may fall on one frame).
std::map<long, std::vector<std::string>> PngTargets(const CaptureOptions& o, long first, long end) {
  std::map<long, std::vector<std::string>> targets;
  char name[64];
  if (o.mode == CaptureOptions::Mode::STILLS) {
    for (double t : o.stills) {
      std::snprintf(name, sizeof name, "/still-%07.3f.png", t);
      // The frame a range starting at t would begin with.
      targets[FirstFrameAt(t, o.fps)].push_back(NamesOneFile(o) ? o.output : o.output + name);
    }
    return targets;
  }
  for (long n = first; n < end; ++n) {
    std::snprintf(name, sizeof name, "/frame-%06ld.png", n);
    targets[n].push_back(o.output + name);
  }
  return targets;
}

// Checks and prepares a folder or file for PNG images before any frame is drawn.
bool PrepareImageOutput(const CaptureOptions& o, std::string* error) {
  if (!NamesOneFile(o)) return MakeFolders(o.output, error) && FolderWritable(o.output, error);
  struct stat info = {};
  if (stat(o.output.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    *error = "cannot write " + o.output + ": it is a folder";
    return false;
  }
  return FolderWritable(FolderOf(o.output), error);
}

// One run, in the order RunCapture takes its steps: which frames, where they
// go, drawing them, and what is said at the end.
class CaptureRun {
 public:
  CaptureRun(const CaptureOptions& options, const std::string& soundtrack)
      : o(options), soundtrack(soundtrack), video(options.mode == CaptureOptions::Mode::VIDEO) {
    PictureSize(o, &frameWidth, &frameHeight);
    if (o.pad) {
      frameWidth = o.videoWidth;
      frameHeight = o.videoHeight;
    }
  }

  // The frames to draw and those to write. EXIT_USAGE when none is wanted.
  int Plan() {
    CaptureFrames(o, &first, &end);
    if (!video) {
      targets = PngTargets(o, first, end);
      if (!targets.empty()) {
        first = targets.begin()->first;
        end = targets.rbegin()->first + 1;
      }
    }
    if (first >= end) return Fail(EXIT_USAGE, "no frame lies in the range asked for");
    if (o.parts > 0) {
      wholeFirst = first;
      wholeEnd = end;
      PartFrames(wholeFirst, wholeEnd, o.part, o.parts, &first, &end);
      if (first >= end) {
        return Fail(EXIT_USAGE, "part " + std::to_string(o.part) + " of " + std::to_string(o.parts) +
                                    " has no frames: the range holds " +
                                    std::to_string(wholeEnd - wholeFirst));
      }
      if (!video) targets = PngTargets(o, first, end);
      const int identified = Identify();
      if (identified != EXIT_DONE) return identified;
    }
    GlFound gl;
    const int status = CheckGl(o, &gl);
    if (status != EXIT_DONE || !video || !RowOf(o.format).h264) return status;
    // Lossless stays x264's, whatever draws.
    const std::string encoder = o.encoder == "auto" && o.crf == 0 ? "x264" : o.encoder;
    return ChooseH264Encoder(encoder, o.renderer == "hardware", gl.vendor, gl.renderNode, &h264, &error)
               ? EXIT_DONE
               : Fail(EXIT_USAGE, error);
  }

  // Starts ffmpeg on a reserved file, or makes the images' folder.
  int PrepareOutput() {
    if (!video) return PrepareImageOutput(o, &error) ? EXIT_DONE : Fail(EXIT_USAGE, error);
    FfmpegEncoder::Settings settings = VideoSettings(o, soundtrack, first, end);
    settings.h264 = h264;
    // The join adds the sound once, over the whole.
    if (o.parts > 0) settings.audio.clear();
    if (!encoder.Reserve(settings, &error)) return Fail(EXIT_USAGE, error);
    if (!encoder.Start(&error)) return Fail(EXIT_FAILED, error);
    return EXIT_DONE;
  }

  // Runs every frame from 0 and draws and writes the wanted ones, until the range
  // ends, the show ends itself, writing fails or the run is interrupted.
  void RenderLoop() {
    started = std::chrono::steady_clock::now();
    OfflineShow show(o.fps);
    ShapeWindow(o, &show.window);
    ProgressBar progress(end);
    platform::SetCoverageAlpha(o.alpha);
    show.Start();
    renderer = show.window.RendererLine();
    if (video && RowOf(o.format).h264) renderer += "\nEncoder: ffmpeg's " + h264.codec;
    Log::Msg("%s", renderer.c_str());
    VideoFeed feed(&show.window, &encoder);
    feed.straightAlpha = o.alpha;
    std::vector<unsigned char> pixels;
    for (long n = 0; n < end && show.Running() && !failed && !platform::Interrupted(); ++n) {
      const bool wanted = video ? n >= first : targets.count(n) != 0;
      tally.Before();
      if (wanted) {
        show.Frame(n, [&] {
          if (video) feed.Queue();
          if (!video) pixels = FramePixels(show);
        });
      } else {
        show.RunUndrawn(n);
      }
      tally.After(show.TimeOf(n));
      progress.Update(n + 1);
      if (wanted && !video) Write(n, &pixels);
      if (video) failed = !feed.Pass();
    }
    if (video) {
      failed = !feed.Drain();
      written = feed.written;
      error = feed.error;
    }
    progress.Finish();
    show.Finish();
  }

  // Completes or abandons the output and prints the summary; the exit status.
  int Finish() {
    if (platform::Interrupted()) {
      encoder.Abandon();
      Complain("interrupted; " + std::string(video ? "no video written" : "frames written so far are kept"));
      return EXIT_INTERRUPTED;
    }
    if (video && failed) {
      encoder.GiveUp(&error);
    } else if (video && !encoder.Finish(&error)) {
      failed = true;
    }
    if (failed) return Fail(EXIT_FAILED, error);
    if (o.parts > 0 && !WriteRecord()) return Fail(EXIT_FAILED, error);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    tally.Print(stdout, o.fps);
    std::printf("%s\n", renderer.c_str());
    if (o.mode == CaptureOptions::Mode::STILLS) {
      std::printf("Wrote %zu still%s to %s in %.1f s\n", o.stills.size(), o.stills.size() == 1 ? "" : "s",
                  o.output.c_str(), seconds);
    } else {
      std::printf("Wrote %ld frames (show time %.3f s to %.3f s) to %s in %.1f s\n", written,
                  static_cast<double>(first) / o.fps, static_cast<double>(first + written - 1) / o.fps,
                  o.output.c_str(), seconds);
    }
    return EXIT_DONE;
  }

 private:
  int Fail(int status, const std::string& message) {
    Complain(message);
    return status;
  }

  // What this part is a part of, filled in before anything is drawn: the
  // show's data, the track and this program are hashed first, so that one
  // that cannot be read is refused at no cost. Parts may run at once in one
  // show folder: each appends to the log, its lines under its name.
  int Identify() {
    std::string reason;
    if (!HashFolder(Absolute("data"), &record.showData, &reason)) return Fail(EXIT_USAGE, reason);
    record.trackHash = HashFile(soundtrack);
    if (record.trackHash.empty()) {
      return Fail(EXIT_USAGE, "cannot read the track " + soundtrack + ": " + std::strerror(errno));
    }
    record.build = HashFile("/proc/self/exe");
    if (record.build.empty()) {
      return Fail(EXIT_FAILED,
                  std::string("cannot read this program to tell its build: ") + std::strerror(errno));
    }
    const FfmpegEncoder::Settings whole = VideoSettings(o, soundtrack, wholeFirst, wholeEnd);
    record.version = ZARV_VERSION;
    record.trackSeconds = showMusic.seconds;
    record.credit = HashText(showMusic.credit);
    record.rangeFirst = wholeFirst;
    record.rangeEnd = wholeEnd;
    record.fps = o.fps;
    record.videoWidth = o.videoWidth;
    record.videoHeight = o.videoHeight;
    record.pad = o.pad;
    record.scaleOnly = o.scaleOnly;
    record.msaa = o.msaa;
    record.alpha = o.alpha;
    record.format = video ? ExtensionOf(o.output) : "png";
    record.preset = o.preset;
    record.crf = o.crf;
    record.soundStart = whole.audioStart;
    record.soundLength = whole.duration;
    record.part = o.part;
    record.parts = o.parts;
    record.first = first;
    record.end = end;
    record.track = soundtrack;
    Log::ShareFile("part " + std::to_string(o.part) + "/" + std::to_string(o.parts) + ": ");
    return EXIT_DONE;
  }

  // What this part is a part of, beside it; false with error set when it
  // cannot be written, and then the part is removed too.
  bool WriteRecord() {
    record.renderer = renderer;
    struct stat info = {};
    if (video && stat(o.output.c_str(), &info) == 0) record.bytes = info.st_size;
    const std::string path = PartRecordPath(o.output, !video, o.part, o.parts);
    if (WritePartRecord(path, record, &error)) return true;
    if (video) std::remove(o.output.c_str());
    return false;
  }

  // The frame as the PNG images show it: the picture, padded when asked.
  std::vector<unsigned char> FramePixels(const OfflineShow& show) const {
    std::vector<unsigned char> picture = show.TopDownPixels();
    if (o.alpha) Unpremultiply(&picture);
    if (!o.pad) return picture;
    return Framed(picture, show.window.PixelWidth(), show.window.PixelHeight(), frameWidth, frameHeight);
  }

  // The frame as PNG images, one for each target.
  void Write(long n, std::vector<unsigned char>* pixels) {
    for (size_t i = 0; !failed && i < targets[n].size(); ++i) {
      const std::string& target = targets[n][i];
      failed = !WriteFramePng(target, frameWidth, frameHeight, *pixels, o.alpha, &error);
      if (failed) {
        std::remove(target.c_str());
        error = "cannot write " + target + ": " + error;
      }
    }
    written += failed ? 0 : 1;
  }

  const CaptureOptions& o;
  const std::string soundtrack;
  const bool video;
  int frameWidth = 0;  // the images' pixels
  int frameHeight = 0;
  long first = 0;       // the first frame written
  long end = 0;         // one past the last frame drawn
  long wholeFirst = 0;  // with --part: the whole capture's frames
  long wholeEnd = 0;
  std::string renderer;  // the renderer's line, and the encoder's for an .mp4
  PartRecord record;     // with --part: what it is a part of, filled in before drawing
  H264Encoder h264;
  std::map<long, std::vector<std::string>> targets;  // PNG files by frame number
  FfmpegEncoder encoder;
  ScheduleTally tally;
  std::chrono::steady_clock::time_point started;
  long written = 0;
  bool failed = false;
  std::string error;
};

}  // namespace

bool VideoFeed::Pass() {
  if (!failed && window->ReadsQueued() == platform::OffscreenWindow::READS_IN_FLIGHT) TakeOldest();
  return !failed;
}

bool VideoFeed::Drain() {
  while (!failed && !platform::Interrupted() && window->ReadsQueued() > 0) TakeOldest();
  return !failed;
}

void VideoFeed::TakeOldest() {
  if (!window->FinishRead(&pixels)) {
    failed = true;
    error = "cannot read a frame back from the GL";
    return;
  }
  if (straightAlpha) Unpremultiply(&pixels);
  if (!encoder->Write(&pixels)) {
    failed = true;
    error = "ffmpeg stopped taking frames";
  }
  written += failed ? 0 : 1;
}

int CheckGl(const CaptureOptions& o, GlFound* found) {
  platform::OffscreenWindow probe;
  ShapeWindow(o, &probe);
  probe.drawnWidth = probe.drawnHeight = 0;
  probe.samples = 0;
  if (!probe.Open(1, 1, 16, 0, false)) {
    Complain((probe.NoHardware() ? "--renderer hardware: " : "") + std::string(probe.Error()));
    return probe.NoHardware() ? EXIT_USAGE : EXIT_FAILED;
  }
  const int most = probe.MaxSamples();
  const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  if (found != nullptr) {
    found->vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    found->renderNode = probe.RenderNode();
  }
  probe.Close();
  if (o.msaa <= most) return EXIT_DONE;
  Complain("--msaa " + std::to_string(o.msaa) + ": this OpenGL (" + renderer + ") gives at most " +
           std::to_string(most) + " samples a pixel");
  return EXIT_USAGE;
}

FfmpegEncoder::Settings VideoSettings(const CaptureOptions& o, const std::string& soundtrack, long first,
                                      long end) {
  FfmpegEncoder::Settings settings;
  settings.output = o.output;
  settings.format = o.format;
  settings.alpha = o.alpha;
  PictureSize(o, &settings.width, &settings.height);
  settings.fps = o.fps;
  settings.audio = soundtrack;
  settings.audioStart = static_cast<double>(first) / o.fps;
  settings.duration = static_cast<double>(end - first) / o.fps;
  // The sound is the track as the show decodes it, however much more ffmpeg
  // would find in a damaged file.
  if (showMusic.seconds > 0.0) {
    settings.duration = std::max(0.0, std::min(settings.duration, showMusic.seconds - settings.audioStart));
  }
  settings.bottomUp = true;
  settings.preset = o.preset;
  settings.crf = o.crf;
  settings.videoWidth = o.videoWidth;
  settings.videoHeight = o.videoHeight;
  settings.pad = o.pad;
  return settings;
}

void ShapeWindow(const CaptureOptions& o, platform::OffscreenWindow* window) {
  window->samples = o.msaa;
  window->renderer = o.renderer == "hardware"   ? platform::Renderer::HARDWARE
                     : o.renderer == "software" ? platform::Renderer::SOFTWARE
                                                : platform::Renderer::AUTO;
  PictureSize(o, &window->drawnWidth, &window->drawnHeight);
}

long FirstFrameAt(double seconds, int fps) {
  // Held to a frame count far beyond any show (a year at the highest rate),
  // so that any time given converts.
  constexpr double MOST_FRAMES = 366.0 * 86400.0 * 240.0;
  return static_cast<long>(std::clamp(std::ceil(seconds * fps - TIME_SLACK), -MOST_FRAMES, MOST_FRAMES));
}

void CaptureFrames(const CaptureOptions& o, long* first, long* end) {
  const long showEnd = LastShowFrame(o.fps) + 1;
  *first = FirstFrameAt(o.from, o.fps);
  *end = o.to >= 0.0 ? std::min(FirstFrameAt(o.to, o.fps), showEnd) : showEnd;
}

long LastShowFrame(int fps) {
  long n = static_cast<long>(std::floor(static_cast<double>(timetable.showEnd) * fps));
  while (!(static_cast<float>(static_cast<double>(n) / fps) > timetable.showEnd)) ++n;
  return n;
}

int RunCapture(const CaptureOptions& options, const std::string& soundtrack) {
  CaptureRun run(options, soundtrack);
  int status = run.Plan();
  if (status == EXIT_DONE) status = run.PrepareOutput();
  if (status != EXIT_DONE) return status;
  run.RenderLoop();
  return run.Finish();
}
