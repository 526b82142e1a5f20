// Every frame from 0 on is drawn, since the show's state at a frame depends
// on all before it; only the frames asked for are read back and written.
#include "capture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "ffmpeg_encoder.h"
#include "offline_show.h"
#include "png/png_writer.h"
#include "progress_bar.h"
#include "schedule_tally.h"

volatile std::sig_atomic_t captureInterrupted = 0;

namespace {

// Show times within this of a frame's time count as that frame's.
constexpr double TIME_SLACK = 1e-6;

void Complain(const std::string& message) { std::fprintf(stderr, "zarv-capture: %s\n", message.c_str()); }

// One frame as an RGB PNG: what the screen shows, the framebuffer's alpha left
// out. A low compression level is fast, and the mostly black frames lose
// little size by it.
bool WriteFramePng(const std::string& path, const std::vector<unsigned char>& pixels, std::string* error) {
  PngImage image = PngImage8(platform::SHOW_WIDTH, platform::SHOW_HEIGHT, PNG_COLOR_TYPE_RGB, pixels);
  image.dropAlpha = true;
  image.compression = 3;
  return WritePng(path, image, error);
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

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether files can be made in the folder: one is made and removed.
bool FolderWritable(const std::string& folder, std::string* error) {
  std::string pattern = folder + "/.zarv-capture-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) {
    *error = "cannot write in " + folder + ": " + std::strerror(errno);
    return false;
  }
  close(fd);
  unlink(name.data());
  return true;
}

// A single still asked for by its file name rather than a folder.
bool NamesOneFile(const CaptureOptions& o) {
  if (o.mode != CaptureOptions::Mode::STILLS || o.output.size() < 4) return false;
  std::string ext = o.output.substr(o.output.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".png";
}

// Where each wanted frame goes, by frame number (two stills may fall on one frame).
std::map<long, std::vector<std::string>> PngTargets(const CaptureOptions& o, long first, long end) {
  std::map<long, std::vector<std::string>> targets;
  char name[64];
  if (o.mode == CaptureOptions::Mode::STILLS) {
    for (double t : o.stills) {
      std::snprintf(name, sizeof name, "/still-%07.3f.png", t);
      targets[std::lround(t * o.fps)].push_back(NamesOneFile(o) ? o.output : o.output + name);
    }
    return targets;
  }
  for (long n = first; n < end; ++n) {
    std::snprintf(name, sizeof name, "/frame-%06ld.png", n);
    targets[n].push_back(o.output + name);
  }
  return targets;
}

// Checks and prepares the output before any frame is drawn.
bool PrepareOutput(const CaptureOptions& o, std::string* error) {
  if (!NamesOneFile(o)) return MakeFolders(o.output, error) && FolderWritable(o.output, error);
  struct stat info = {};
  if (stat(o.output.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    *error = "cannot write " + o.output + ": it is a folder";
    return false;
  }
  return FolderWritable(FolderOf(o.output), error);
}

}  // namespace

long FirstFrameAt(double seconds, int fps) {
  return static_cast<long>(std::ceil(seconds * fps - TIME_SLACK));
}

long LastShowFrame(int fps) {
  long n = static_cast<long>(std::floor(SHOW_END * fps));
  while (!(static_cast<float>(static_cast<double>(n) / fps) > static_cast<float>(SHOW_END))) ++n;
  return n;
}

int RunCapture(const CaptureOptions& o, const std::string& soundtrack) {
  const bool video = o.mode == CaptureOptions::Mode::VIDEO;
  const long showEnd = LastShowFrame(o.fps) + 1;
  long first = FirstFrameAt(o.from, o.fps);
  long end = o.to >= 0.0 ? std::min(FirstFrameAt(o.to, o.fps), showEnd) : showEnd;
  std::map<long, std::vector<std::string>> targets;
  if (!video) {
    targets = PngTargets(o, first, end);
    if (!targets.empty()) {
      first = targets.begin()->first;
      end = targets.rbegin()->first + 1;
    }
  }
  if (first >= end) {
    Complain("no frame lies in the range asked for");
    return EXIT_USAGE;
  }

  std::string error;
  FfmpegEncoder encoder;
  if (video) {
    FfmpegEncoder::Settings settings;
    settings.output = o.output;
    settings.width = platform::SHOW_WIDTH;
    settings.height = platform::SHOW_HEIGHT;
    settings.fps = o.fps;
    settings.audio = soundtrack;
    settings.audioStart = static_cast<double>(first) / o.fps;
    settings.duration = static_cast<double>(end - first) / o.fps;
    if (!encoder.Reserve(settings, &error)) {
      Complain(error);
      return EXIT_USAGE;
    }
    if (!encoder.Start(&error)) {
      Complain(error);
      return EXIT_FAILED;
    }
  } else if (!PrepareOutput(o, &error)) {
    Complain(error);
    return EXIT_USAGE;
  }

  const auto started = std::chrono::steady_clock::now();
  OfflineShow show(o.fps);
  ScheduleTally tally;
  ProgressBar progress(end);
  show.Start();
  std::vector<unsigned char> pixels;
  long written = 0;
  bool failed = false;
  for (long n = 0; n < end && show.Running() && !failed; ++n) {
    if (captureInterrupted) break;
    const bool wanted = video ? n >= first : targets.count(n) != 0;
    tally.Before();
    show.Frame(n, [&] {
      if (wanted) pixels = show.TopDownPixels();
    });
    tally.After(show.TimeOf(n));
    progress.Update(n + 1);
    if (!wanted) continue;
    if (video) {
      failed = !encoder.Write(pixels);
      if (failed) error = "ffmpeg stopped taking frames";
    } else {
      for (const std::string& target : targets[n]) {
        if (failed) break;
        failed = !WriteFramePng(target, pixels, &error);
        if (failed) {
          std::remove(target.c_str());
          error = "cannot write " + target + ": " + error;
        }
      }
    }
    written += failed ? 0 : 1;
  }
  progress.Finish();
  show.Finish();

  if (captureInterrupted) {
    encoder.Abandon();
    Complain("interrupted; " + std::string(video ? "no video written" : "frames written so far are kept"));
    return EXIT_INTERRUPTED;
  }
  if (video && failed) {
    encoder.GiveUp(&error);
  } else if (video && !encoder.Finish(&error)) {
    failed = true;
  }
  if (failed) {
    Complain(error);
    return EXIT_FAILED;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  tally.Print(stdout, o.fps);
  if (o.mode == CaptureOptions::Mode::STILLS) {
    std::printf("Wrote %zu still%s to %s in %.1f s\n", o.stills.size(), o.stills.size() == 1 ? "" : "s",
                o.output.c_str(), seconds);
  } else {
    std::printf("Wrote %ld frames (show time %.3f s to %.3f s) to %s in %.1f s\n", written,
                show.TimeOf(first), show.TimeOf(first + written - 1), o.output.c_str(), seconds);
  }
  return EXIT_DONE;
}
