// Each timed frame is what a capture does for one frame: set the clock and
// the music position, the show's display, and the read-back. The capture
// case rides on the timetable's frames: in its range a frame is queued for
// reading and the one before it read back and handed to ffmpeg, as a video
// capture does; elsewhere the read-back waits for the software rasteriser to
// finish the frame, as a PNG frame's does. The wait for ffmpeg to finish is
// timed apart from the frames.
#include "frame_bench.h"

#include <GL/gl.h>
#include <sys/resource.h>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "capture.h"
#include "demo/scheduler.h"
#include "foundation/paths.h"
#include "fx/circle1frag.h"
#include "fx/circle2frag.h"
#include "fx/demofx.h"
#include "fx/flora0frag.h"
#include "offline_show.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr long FLOOR_FRAMES = 600;
// The capture case's default range, show seconds: many effects at once.
constexpr double CAPTURE_FROM = 20.0;
constexpr double CAPTURE_TO = 30.0;
constexpr long STRESS_FRAMES = 1200;
constexpr size_t STRESS_EFFECTS = 16;
constexpr int STRESS_FLORA = 4;
// Stress frames start here: the scheduler runs and mesh scenes may spawn.
constexpr double STRESS_START = 80.0;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

long PeakKb() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Times frames until step returns false; step draws one frame and reads it
// back. The case's time is that of its frames: between runs after each
// frame untimed (the capture case's wait for ffmpeg).
template <typename Step, typename Between>
FrameTimes TimeFrames(long frames, Step step, Between between) {
  FrameTimes times;
  times.ms.reserve(static_cast<size_t>(frames));
  for (long n = 0; n < frames && !platform::Interrupted(); ++n) {
    const Clock::time_point before = Clock::now();
    if (!step(n)) break;
    times.ms.push_back(Ms(Clock::now() - before));
    times.seconds += times.ms.back() / 1000.0;
    between(n);
  }
  times.peakKb = PeakKb();
  return times;
}

template <typename Step>
FrameTimes TimeFrames(long frames, Step step) {
  return TimeFrames(frames, step, [](long) {});
}

// A fresh name in the temporary folder, ending in suffix; empty when none can be made.
std::string TempFile(const std::string& suffix) {
  std::string reason;
  const std::string name = MakeTempFile(TempFolder() + "/zarv-bench-XXXXXX", &reason);
  if (name.empty()) return "";
  unlink(name.c_str());
  return name + suffix;
}

// The capture's pipeline over frames [first, end): each frame drawn and
// handed to ffmpeg through the capture's own VideoFeed, a raw copy kept,
// then ffmpeg alone fed the same frames from the copy. Videos and copy are
// temporary files, removed at the end.
class CaptureCase {
 public:
  CaptureCase(const CaptureOptions& o, const std::string& soundtrack, long first, long end,
              platform::OffscreenWindow* window)
      : first(first), end(end), settings(VideoSettings(o, soundtrack, first, end)), feed(window, &encoder) {
    settings.output = TempFile(".mp4");
    settings.rawCopy = TempFile(".raw");
  }
  ~CaptureCase() {
    if (!settings.output.empty()) std::remove(settings.output.c_str());
    if (!settings.rawCopy.empty()) std::remove(settings.rawCopy.c_str());
  }

  bool Wants(long n) const { return n >= first && n < end; }

  // Starts ffmpeg ahead of the frames; its start-up counts to the capture's
  // time, but not to the frame during which it would happen.
  void Open() {
    const Clock::time_point start = Clock::now();
    failed = !encoder.Reserve(settings, &error) || !encoder.Start(&error);
    startUpSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  }

  // Draws frame n and feeds it on as the capture does. False when the case
  // has failed.
  bool Frame(long n, OfflineShow* show) {
    if (n == first) started = Clock::now();
    show->Frame(n, [this] { feed.Queue(); });
    if (!failed && !feed.Pass()) FeedFailed();
    return !failed;
  }

  // After the last frame: feeds the frames still queued and waits for the
  // capture's video, then times ffmpeg alone on the raw copy.
  void End() {
    if (!failed && !feed.Drain()) FeedFailed();
    failed = failed || !encoder.Finish(&error);
    captureSeconds = startUpSeconds + std::chrono::duration<double>(Clock::now() - started).count();
    if (failed) return;
    FfmpegEncoder::Settings alone = settings;
    alone.rawCopy.clear();
    const std::string copy = settings.rawCopy;
    std::FILE* in = std::fopen(copy.c_str(), "rb");
    FfmpegEncoder again;
    const Clock::time_point start = Clock::now();
    failed = in == nullptr || !again.Reserve(alone, &error) || !again.Start(&error);
    for (long n = first; n < end && !failed; ++n) {
      pixels.resize(static_cast<size_t>(settings.width) * settings.height * 4);
      failed = std::fread(pixels.data(), 1, pixels.size(), in) != pixels.size() || !again.Write(&pixels);
    }
    failed = failed || !again.Finish(&error);
    aloneSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (in != nullptr) std::fclose(in);
    if (failed && error.empty()) error = "cannot read back " + copy;
    done = true;
  }

  void Print() const {
    const long frames = end - first;
    if (!failed && !done) {
      std::printf("%-10s %7ld frames: not reached, the show ended first\n", "capture", frames);
      return;
    }
    if (failed) {
      std::printf("%-10s %7ld failed: %s\n", "capture", frames, error.c_str());
      return;
    }
    std::printf(
        "%-10s %7ld frames (%.3f s to %.3f s, x264 %s crf %d): drawn and encoded %.1f fps in %.1f s; "
        "ffmpeg alone %.1f fps in %.1f s; ratio %.2f\n",
        "capture", frames, static_cast<double>(first) / settings.fps,
        static_cast<double>(end - 1) / settings.fps, settings.preset.c_str(), settings.crf,
        frames / captureSeconds, captureSeconds, frames / aloneSeconds, aloneSeconds,
        captureSeconds / aloneSeconds);
  }

 private:
  void FeedFailed() {
    failed = true;
    error = feed.error;
  }

  const long first;
  const long end;
  FfmpegEncoder::Settings settings;
  FfmpegEncoder encoder;
  VideoFeed feed;
  std::vector<unsigned char> pixels;  // ffmpeg alone's frames
  Clock::time_point started;
  double startUpSeconds = 0.0;
  double captureSeconds = 0.0;
  double aloneSeconds = 0.0;
  bool failed = false;
  bool done = false;
  std::string error;
};

// Brings the live list back to 16 effects, four of them mesh scenes (as
// many as there are free slots), the rest circles and their sprites. A scene
// takes its slot as the scheduler's mid rule does.
void TopUp() {
  int flora =
      static_cast<int>(std::count_if(frags.begin(), frags.end(), [](DemoFX* fx) { return fx->type == 3; }));
  for (int slot = 0; slot < Flora0Frag::SLOTS && flora < STRESS_FLORA && frags.size() < STRESS_EFFECTS;
       ++slot) {
    if (Flora0Frag::used[slot]) continue;
    Flora0Frag* scene = new Flora0Frag;
    TakeSlot(scene, slot);
    frags.push_front(scene);
    ++flora;
  }
  while (frags.size() < STRESS_EFFECTS) {
    const Circle1Frag* parent = FirstCircle();
    if (parent != nullptr && frags.size() % 2 == 0) {
      Circle2Frag* sprite = new Circle2Frag;
      sprite->InitFrom(*parent);
      frags.push_back(sprite);
    } else {
      frags.push_back(new Circle1Frag);
    }
  }
}

void PrintRow(const char* name, const FrameTimes& t, const FrameTimes& floor) {
  const double median = t.Percentile(50);
  const double floorMedian = floor.Percentile(50);
  const double floorP99 = floor.Percentile(99);
  std::printf("%-10s %7zu %8.2f %8.2f %8.2f %8.2f %8.1f %8.1f %9.2f %8.2f\n", name, t.ms.size(), median,
              t.Percentile(95), t.Percentile(99),
              t.ms.empty() ? 0.0 : *std::max_element(t.ms.begin(), t.ms.end()), t.Fps(), t.peakKb / 1024.0,
              floorMedian > 0 ? median / floorMedian : 0.0, floorP99 > 0 ? t.Percentile(99) / floorP99 : 0.0);
}

}  // namespace

double FrameTimes::Percentile(double p) const {
  if (ms.empty()) return 0.0;
  std::vector<double> sorted = ms;
  std::sort(sorted.begin(), sorted.end());
  const double rank = std::ceil(p / 100.0 * sorted.size());
  const size_t index = static_cast<size_t>(std::clamp(rank, 1.0, static_cast<double>(sorted.size()))) - 1;
  return sorted[index];
}

int RunFrameBench(const CaptureOptions& options, const std::string& soundtrack) {
  const int fps = options.fps;
  // The timetable's frames; with a range given, every case runs as many.
  const long first = FirstFrameAt(options.from, fps);
  const long showEnd = LastShowFrame(fps) + 1;
  const long end = options.to >= 0.0 ? std::min(FirstFrameAt(options.to, fps), showEnd) : showEnd;
  // With a range given, the floor and stress cases run as many frames as it
  // holds, up to their usual counts.
  const long rangeFrames = std::max(end - first, 1L);

  const int gl = CheckGl(options);
  if (gl != EXIT_DONE) return gl;
  OfflineShow show(fps);
  ShapeWindow(options, &show.window);
  CaptureCase capture(options, soundtrack, options.rangeGiven ? first : FirstFrameAt(CAPTURE_FROM, fps),
                      options.rangeGiven ? end : FirstFrameAt(CAPTURE_TO, fps), &show.window);
  show.Start();
  std::vector<unsigned char> pixels;
  const auto readBack = [&] { pixels = show.TopDownPixels(); };

  const FrameTimes floor =
      TimeFrames(options.rangeGiven ? std::min(rangeFrames, FLOOR_FRAMES) : FLOOR_FRAMES, [&](long) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        platform::SwapBuffers();
        readBack();
        return true;
      });

  for (long n = 0; n < first && show.Running() && !platform::Interrupted(); ++n) show.RunUndrawn(n);
  capture.Open();
  bool captured = true;
  const FrameTimes timetable = TimeFrames(
      end - first,
      [&](long i) {
        const long n = first + i;
        if (!show.Running()) return false;
        if (!capture.Wants(n)) {
          show.Frame(n, readBack);
          return true;
        }
        captured = capture.Frame(n, &show);
        return captured;
      },
      [&](long i) {
        if (captured && capture.Wants(first + i) && !capture.Wants(first + i + 1)) capture.End();
      });

  // The stress starts with what the timetable left retired by the
  // scheduler itself, in a frame run undrawn just before it, and with the
  // scheduler's clock started there: it spawns as at that time in the show,
  // whichever range ran before.
  const long stressStart = FirstFrameAt(STRESS_START, fps);
  for (DemoFX* fx : frags) fx->alive = false;
  scheduleClock().Restart(show.TimeOf(stressStart - 1));
  show.RunUndrawn(stressStart - 1);
  TopUp();
  size_t live = 0;
  int liveFlora = 0;
  const FrameTimes stress =
      TimeFrames(options.rangeGiven ? std::min(rangeFrames, STRESS_FRAMES) : STRESS_FRAMES, [&](long n) {
        show.Frame(stressStart + n, readBack);
        TopUp();
        return true;
      });
  for (DemoFX* fx : frags) liveFlora += fx->type == 3 ? 1 : 0;
  live = frags.size();
  const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  show.Finish();

  if (platform::Interrupted()) return EXIT_INTERRUPTED;
  std::printf("zarv frame benchmark: %d x %d offscreen, %s, %d fps; each frame drawn and read back\n",
              show.window.PixelWidth(), show.window.PixelHeight(), renderer.c_str(), fps);
  std::printf("%-10s %7s %8s %8s %8s %8s %8s %8s %9s %8s\n", "case", "frames", "median", "p95", "p99",
              "worst", "fps", "peak MB", "median/", "p99/");
  std::printf("%-10s %7s %8s %8s %8s %8s %8s %8s %9s %8s\n", "", "", "ms", "ms", "ms", "ms", "", "", "floor",
              "floor");
  PrintRow("floor", floor, floor);
  PrintRow("timetable", timetable, floor);
  PrintRow("stress", stress, floor);
  capture.Print();
  std::printf(
      "floor: clear and read back only. timetable: frames %.3f s to %.3f s (those in the capture's range "
      "also handed to ffmpeg). stress: from %.0f s, topped up to %zu live effects with %d mesh scenes "
      "before every frame (%zu and %d at the end). capture: the frames drawn and encoded to MP4, from the "
      "first frame until ffmpeg is done, against ffmpeg alone encoding the same raw frames.\n",
      static_cast<double>(first) / fps, static_cast<double>(end - 1) / fps, STRESS_START, STRESS_EFFECTS,
      STRESS_FLORA, live, liveFlora);
  return captured ? EXIT_DONE : EXIT_FAILED;
}
