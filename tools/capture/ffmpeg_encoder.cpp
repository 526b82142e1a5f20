// ffmpeg runs as a child with the frames on its stdin and its stderr kept
// by the runner, so that its own message can be shown when it fails and
// nothing of it interleaves with the progress bar while it works.
#include "ffmpeg_encoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "foundation/paths.h"
#include "platform/interrupt.h"
#include "platform/platform.h"

namespace {

// A bigger pipe lets ffmpeg take a whole frame while the next is drawn.
constexpr int PIPE_BYTES = 1 << 20;
// Frames handed over but not yet in the pipe: enough to ride out an uneven
// frame, few enough to keep memory small.
constexpr size_t MAX_QUEUED = 2;
// How often a wait on the writer thread looks in on ffmpeg.
constexpr auto LOOK_EVERY = std::chrono::milliseconds(100);
// ffmpeg reads every raw frame into a newly allocated packet. glibc gives
// blocks that big fresh mappings and returns them on free, so each frame's
// read faulted in every page anew (about half of ffmpeg's time in a
// profile). Raising the thresholds (32 MiB is glibc's highest) lets freed
// frames' memory be reused.
const char* const FFMPEG_MALLOC_TUNING[] = {"MALLOC_MMAP_THRESHOLD_=33554432",
                                            "MALLOC_TRIM_THRESHOLD_=268435456"};

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", value);
  return text;
}

// Writes all of data to a file; false on an error other than an interruption.
bool WriteAll(int fd, const unsigned char* data, size_t left) {
  while (left > 0) {
    ssize_t n = write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// ffmpeg's video filters: the flip of bottom-up rows, then the scaling
// (none for frames drawn at the picture's size) and the padding.
std::string VideoFilters(const FfmpegEncoder::Settings& s) {
  std::string filters = s.bottomUp ? "vflip" : "";
  if (s.videoWidth <= 0 || s.videoHeight <= 0) return filters;
  int w = s.videoWidth;
  int h = s.videoHeight;
  if (s.pad) {
    // In even pixels, as yuv420p needs.
    const platform::Area picture = platform::LargestShowArea(w, h, 2);
    w = picture.width;
    h = picture.height;
  }
  if (w != s.width || h != s.height) {
    filters += (filters.empty() ? "" : ",") + std::string("scale=") + std::to_string(w) + ":" +
               std::to_string(h) + ":flags=lanczos";
  }
  if (s.pad) {
    filters += (filters.empty() ? "" : ",") + std::string("pad=") + std::to_string(s.videoWidth) + ":" +
               std::to_string(s.videoHeight) + ":(ow-iw)/2:(oh-ih)/2:" + (s.alpha ? "black@0" : "black");
  }
  return filters;
}

// FFMPEG_MALLOC_TUNING where the user has not set those names.
std::vector<std::string> FfmpegEnvironment() {
  std::vector<std::string> env;
  for (const char* setting : FFMPEG_MALLOC_TUNING) {
    const std::string name(setting, std::strchr(setting, '=') - setting);
    if (std::getenv(name.c_str()) == nullptr) env.push_back(setting);
  }
  return env;
}

// The encoder with files on disk: a fatal error in the show ends the process
// through exit, and this one's files must not outlive it.
FfmpegEncoder* pending = nullptr;

void CleanUpAtExit() {
  if (pending != nullptr) pending->Abandon();
}

}  // namespace

FfmpegEncoder::~FfmpegEncoder() {
  if (ffmpeg.Running() || !partial.empty()) Abandon();
}

std::vector<std::string> FfmpegEncoder::Command(const Settings& s, const std::string& file) {
  std::vector<std::string> args = {"ffmpeg",
                                   "-hide_banner",
                                   "-loglevel",
                                   "error",
                                   "-nostats",
                                   "-y",
                                   "-f",
                                   "rawvideo",
                                   "-pixel_format",
                                   "rgba",
                                   "-video_size",
                                   std::to_string(s.width) + "x" + std::to_string(s.height),
                                   "-framerate",
                                   std::to_string(s.fps),
                                   "-i",
                                   "pipe:0"};
  if (s.h264.codec == "h264_vaapi") args.insert(args.begin() + 6, {"-vaapi_device", s.h264.device});
  const bool audio = !s.audio.empty();
  if (audio) {
    args.insert(args.end(), {"-ss", Number(s.audioStart), "-t", Number(s.duration), "-i", s.audio});
  }
  args.insert(args.end(), {"-map", "0:v"});
  if (audio) args.insert(args.end(), {"-map", "1:a"});
  std::string filters = VideoFilters(s);
  // VA-API encodes frames uploaded to the card.
  if (s.h264.codec == "h264_vaapi")
    filters += (filters.empty() ? "" : ",") + std::string("format=nv12,hwupload");
  if (!filters.empty()) args.insert(args.end(), {"-vf", filters});
  const VideoFormatRow& format = RowOf(s.format);
  VideoEncoding encoding;
  encoding.alpha = s.alpha;
  encoding.crf = s.crf;
  encoding.preset = s.preset;
  encoding.h264 = s.h264;
  const std::vector<std::string> codec = format.codec(encoding);
  args.insert(args.end(), codec.begin(), codec.end());
  // Any track's rate and channels become the show's own (Opus takes 48 kHz only).
  if (audio) {
    args.insert(args.end(), format.sound.begin(), format.sound.end());
    args.insert(args.end(), {"-ac", "2"});
  }
  args.insert(args.end(), format.muxer.begin(), format.muxer.end());
  args.push_back(file);
  return args;
}

bool FfmpegEncoder::Reserve(const Settings& s, std::string* error) {
  settings = s;
  struct stat info = {};
  if (stat(s.output.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    *error = "cannot write " + s.output + ": it is a folder";
    return false;
  }
  std::string reason;
  partial = MakeTempFile(FolderOf(s.output) + "/." + BaseName(s.output) + ".part-XXXXXX", &reason);
  if (partial.empty()) {
    *error = "cannot write " + s.output + ": " + reason;
    return false;
  }
  static bool registered = false;
  if (!registered) registered = std::atexit(CleanUpAtExit) == 0;
  pending = this;
  return true;
}

bool FfmpegEncoder::Start(std::string* error) {
  Child::Command command;
  command.name = "ffmpeg";
  command.argv = Command(settings, partial);
  command.environment = FfmpegEnvironment();
  command.input = true;
  command.inputPipeBytes = PIPE_BYTES;
  command.stallSeconds = BoundSeconds(FFMPEG_STALL_SECONDS);
  command.graceSeconds = BoundSeconds(FFMPEG_GRACE_SECONDS);
  if (!ffmpeg.Start(command, error)) {
    RemoveFiles();
    return false;
  }
  if (!settings.rawCopy.empty()) {
    rawCopy = open(settings.rawCopy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (rawCopy < 0) {
      *error = "cannot write " + settings.rawCopy + ": " + std::strerror(errno);
      Abandon();
      return false;
    }
  }
  closing = broken = fed = false;
  writer = std::thread(&FfmpegEncoder::FeedFfmpeg, this);
  return true;
}

bool FfmpegEncoder::Write(std::vector<unsigned char>* pixels) {
  std::unique_lock<std::mutex> held(lock);
  // While ffmpeg holds the frames back it is looked in on, so that a stuck
  // one or an interruption ends the wait.
  while (
      !changed.wait_for(held, LOOK_EVERY, [this] { return queued.size() < MAX_QUEUED || broken || fed; })) {
    held.unlock();
    const bool alive = ffmpeg.Check() && !platform::Interrupted();
    held.lock();
    if (!alive) return false;
  }
  if (broken || fed) return false;
  std::vector<unsigned char> frame;
  frame.swap(*pixels);
  if (!spare.empty()) {
    pixels->swap(spare.back());
    spare.pop_back();
  }
  queued.push_back(std::move(frame));
  changed.notify_all();
  return true;
}

void FfmpegEncoder::FeedFfmpeg() {
  std::unique_lock<std::mutex> held(lock);
  for (;;) {
    changed.wait(held, [this] { return !queued.empty() || closing; });
    if (queued.empty() || broken) break;
    std::vector<unsigned char> frame = std::move(queued.front());
    queued.pop_front();
    held.unlock();
    bool ok = ffmpeg.Feed(frame.data(), frame.size());
    if (ok && rawCopy >= 0) ok = WriteAll(rawCopy, frame.data(), frame.size());
    held.lock();
    broken = broken || !ok;
    spare.push_back(std::move(frame));
    changed.notify_all();
  }
  fed = true;
  changed.notify_all();
}

void FfmpegEncoder::Wait(bool dropQueued) {
  std::unique_lock<std::mutex> held(lock);
  closing = true;
  if (dropQueued) queued.clear();
  changed.notify_all();
  while (writer.joinable() && !changed.wait_for(held, LOOK_EVERY, [this] { return fed; })) {
    held.unlock();
    const bool alive = ffmpeg.Check() && !platform::Interrupted();
    held.lock();
    if (!alive) {
      ffmpeg.StopFeeding();
      ffmpeg.Stop();
    }
  }
  held.unlock();
  if (writer.joinable()) writer.join();
  held.lock();
  queued.clear();
  held.unlock();
  ffmpeg.CloseInput();
  ffmpeg.Wait();
}

bool FfmpegEncoder::Finish(std::string* error) {
  Wait(false);
  if (!ffmpeg.Succeeded()) {
    *error = ffmpeg.Failure();
    RemoveFiles();
    return false;
  }
  if (std::rename(partial.c_str(), settings.output.c_str()) != 0) {
    *error = "cannot put the video at " + settings.output + ": " + std::strerror(errno);
    RemoveFiles();
    return false;
  }
  partial.clear();
  RemoveFiles();
  return true;
}

void FfmpegEncoder::GiveUp(std::string* error) {
  // What is queued would only wait on an ffmpeg that takes no more.
  Wait(true);
  if (!ffmpeg.Succeeded()) *error = ffmpeg.Failure();
  RemoveFiles();
}

void FfmpegEncoder::Abandon() {
  ffmpeg.StopFeeding();
  ffmpeg.Stop();
  Wait(true);
  RemoveFiles();
}

void FfmpegEncoder::RemoveFiles() {
  if (pending == this) pending = nullptr;
  if (rawCopy >= 0) close(rawCopy);
  rawCopy = -1;
  if (!partial.empty()) std::remove(partial.c_str());
  partial.clear();
}
