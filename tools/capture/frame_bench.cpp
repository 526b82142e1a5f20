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
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "assets/font.h"
#include "capture.h"
#include "demo/demo.h"
#include "demo/overlay.h"
#include "demo/scheduler.h"
#include "foundation/generator.h"
#include "foundation/paths.h"
#include "frame_tally.h"
#include "fx/circle1frag.h"
#include "fx/circle2frag.h"
#include "fx/demofx.h"
#include "fx/flora0frag.h"
#include "offline_show.h"
#include "platform/blending.h"
#include "platform/platform.h"
#include "sprite_fill.h"

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

// The frames the cases draw, by frame number.
struct Span {
  long first = 0;  // the timetable's frames [first, end)
  long end = 0;
  long captureFirst = 0;  // the capture case's, within the timetable's
  long captureEnd = 0;
  long stressStart = 0;  // the stress case's first frame
  long stressFrames = 0;
};

// Runs the frames before first undrawn, as a capture from first does.
void LeadIn(OfflineShow* show, long first) {
  for (long n = 0; n < first && show->Running() && !platform::Interrupted(); ++n) show->RunUndrawn(n);
}

// The stress starts with what the timetable left retired by the
// scheduler itself, in a frame run undrawn just before it, and with the
// scheduler's clock started there: it spawns as at that time in the show,
// whichever range ran before.
void StartStress(OfflineShow* show, long stressStart) {
  for (DemoFX* fx : frags) fx->alive = false;
  scheduleClock().Restart(show->TimeOf(stressStart - 1));
  show->RunUndrawn(stressStart - 1);
  TopUp();
}

// The stress frames whose colour the timed run and the counted one compare:
// one a second and the last.
bool Compared(long i, const Span& span, int fps) { return i % fps == 0 || i == span.stressFrames - 1; }

// FNV-1a of the red, green and blue bytes of RGBA pixels: the counted frames
// draw with coverage alpha, which changes alpha alone.
uint64_t ColourHash(const std::vector<unsigned char>& pixels) {
  uint64_t hash = 14695981039346656037ull;
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (i % 4 != 3) hash = (hash ^ pixels[i]) * 1099511628211ull;
  }
  return hash;
}

// Lets go of the images, meshes and motions the effects' statics point to,
// which the show's shutdown leaves to the end of the program, so that the
// show can start again in this process; before the shutdown, while the GL
// context is there.
void ReleaseShowAssets() {
  for (int slot = 0; slot < Flora0Frag::SLOTS; ++slot) {
    delete Flora0Frag::anim[slot];
    Flora0Frag::anim[slot] = nullptr;
    delete Flora0Frag::mesh[slot];
    Flora0Frag::mesh[slot] = nullptr;
  }
  delete Circle1Frag::tex;
  Circle1Frag::tex = nullptr;
  delete Circle2Frag::tex3;
  Circle2Frag::tex3 = nullptr;
}

// One frame drawn again: its time with its read-back, and what it drew.
struct Replayed {
  double ms = 0.0;
  DrawnCounts counts;
};

// The timetable's and the stress case's frames drawn again in a fresh show
// from the state the timed run started with, so that they are the same
// frames. Counting fragments, the frames are drawn at their own size with
// coverage alpha, so that the mesh scenes' coverage pass is counted too;
// otherwise at TINY_WIDTH x TINY_HEIGHT, timed.
struct Replay {
  std::vector<Replayed> timetable;        // frame span.first + i
  std::vector<Replayed> stress;           // frame span.stressStart + i
  std::vector<uint64_t> colours;          // ColourHash of the compared stress frames, counting fragments
  DrawnCounts overlay;                    // the overlay drawn over the last stress frame, counting fragments
  std::vector<SpriteFillRow> spriteFill;  // measured after the frames, counting fragments
  int width = 0;                          // the frames' pixels
  int height = 0;
};

// The drawn size of the frames whose time is all but fill.
constexpr int TINY_WIDTH = 16;
constexpr int TINY_HEIGHT = 12;

// The show's sprite images as its quads map them, and a flat colour.
std::vector<SpriteImage> ShowSprites() {
  // The cell of one of the credit's glyphs; cells are 1/16 of the font's image.
  const float cell = 0.0625f;
  const float s = static_cast<float>('w' % 16) * cell, t = static_cast<float>('w' / 16) * cell;
  return {{"ornament (c2.png)", Circle1Frag::tex},
          {"spinning (circle3.png)", Circle2Frag::tex},
          {"spinning (3.png)", Circle2Frag::tex3},
          {"font cell (font.png)", font != nullptr ? font->tex : nullptr, s, t, s + cell, t + cell},
          {"flat colour", nullptr}};
}

Replay RunReplay(const CaptureOptions& options, const Span& span, uint32_t startState, bool fragments) {
  Replay replay;
  running = 1;
  SetRandomState(startState);
  OfflineShow show(options.fps);
  ShapeWindow(options, &show.window);
  if (!fragments) {
    show.window.drawnWidth = TINY_WIDTH;
    show.window.drawnHeight = TINY_HEIGHT;
  }
  platform::SetCoverageAlpha(fragments);
  show.Start();
  replay.width = show.window.PixelWidth();
  replay.height = show.window.PixelHeight();
  {
    FrameTally tally(fragments);
    std::vector<unsigned char> pixels;
    const std::function<void()> readBack = [&] { pixels = show.TopDownPixels(); };
    const auto draw = [&](long n, bool read) {
      platform::SetDrawTally(&tally);
      const Clock::time_point before = Clock::now();
      show.Frame(n, read ? readBack : nullptr);
      Replayed frame;
      frame.ms = Ms(Clock::now() - before);
      platform::SetDrawTally(nullptr);
      frame.counts = tally.TakeFrame();
      return frame;
    };
    LeadIn(&show, span.first);
    for (long n = span.first; n < span.end && show.Running() && !platform::Interrupted(); ++n) {
      replay.timetable.push_back(draw(n, !fragments));
    }
    StartStress(&show, span.stressStart);
    for (long i = 0; i < span.stressFrames && !platform::Interrupted(); ++i) {
      const bool compared = fragments && Compared(i, span, options.fps);
      replay.stress.push_back(draw(span.stressStart + i, !fragments || compared));
      if (compared) replay.colours.push_back(ColourHash(pixels));
      TopUp();
    }
    if (fragments && !platform::Interrupted()) {
      platform::SetDrawTally(&tally);
      MusicDrawFFT();
      platform::SetDrawTally(nullptr);
      replay.overlay = tally.TakeFrame();
      replay.spriteFill = MeasureSpriteFill(ShowSprites(), replay.width, replay.height);
    }
  }
  ReleaseShowAssets();
  show.Finish();
  platform::SetCoverageAlpha(false);
  return replay;
}

// The replayed frames of a case: the timetable's from index begin to end.
using Frames = std::vector<const Replayed*>;
Frames Pick(const std::vector<Replayed>& frames, size_t begin, size_t end) {
  Frames picked;
  for (size_t i = begin; i < std::min(end, frames.size()); ++i) picked.push_back(&frames[i]);
  return picked;
}

DrawnCounts Mean(const Frames& frames) {
  DrawnCounts sum;
  for (const Replayed* frame : frames) sum.Add(frame->counts);
  if (!frames.empty()) sum.Divide(static_cast<double>(frames.size()));
  return sum;
}

bool ArrayDrawer(int d) {
  return d == static_cast<int>(platform::Drawer::MESH) ||
         d == static_cast<int>(platform::Drawer::FOG_COVERAGE);
}

// A frame's terms of the fit: a constant, draw calls, glVertex vertices, array vertices.
constexpr int TERMS = 4;
std::array<double, TERMS> Terms(const DrawnCounts& counts) {
  std::array<double, TERMS> terms = {1.0, 0.0, 0.0, 0.0};
  for (int d = 0; d < platform::DRAWERS; ++d) {
    terms[1] += counts.draws[d];
    terms[ArrayDrawer(d) ? 3 : 2] += counts.vertices[d];
  }
  return terms;
}

// The time of a frame that is not fill, split by least squares into a part
// a frame, a draw call, a glVertex vertex and an array vertex; a term no
// frame has is left out (NaN).
struct NonFillFit {
  std::array<double, TERMS> ms = {};  // per unit of each term
  size_t kept = 0;                    // frames the second fit took
  bool ok = false;                    // the frames could tell the terms apart
};

// Least squares over the frames' terms by the normal equations, with the
// terms that are never there left out and each of the others scaled to its
// root mean square, so that a term that is another's multiple shows as a
// pivot near nothing; false when the terms cannot be told apart.
bool LeastSquares(const Frames& frames, std::array<double, TERMS>* ms) {
  std::array<double, TERMS> scale = {};
  for (const Replayed* frame : frames) {
    const std::array<double, TERMS> x = Terms(frame->counts);
    for (int i = 0; i < TERMS; ++i) scale[i] += x[i] * x[i];
  }
  std::vector<int> columns;
  for (int i = 0; i < TERMS; ++i) {
    scale[i] = std::sqrt(scale[i] / std::max<size_t>(frames.size(), 1));
    if (scale[i] > 0.0) columns.push_back(i);
  }
  const size_t k = columns.size();
  if (k == 0) return false;
  std::vector<std::vector<double>> a(k, std::vector<double>(k + 1, 0.0));
  for (const Replayed* frame : frames) {
    const std::array<double, TERMS> x = Terms(frame->counts);
    for (size_t r = 0; r < k; ++r) {
      const double xr = x[columns[r]] / scale[columns[r]];
      for (size_t c = 0; c < k; ++c) a[r][c] += xr * x[columns[c]] / scale[columns[c]];
      a[r][k] += xr * frame->ms;
    }
  }
  for (size_t p = 0; p < k; ++p) {
    size_t best = p;
    for (size_t r = p + 1; r < k; ++r) {
      if (std::fabs(a[r][p]) > std::fabs(a[best][p])) best = r;
    }
    std::swap(a[p], a[best]);
    if (std::fabs(a[p][p]) < 1e-9 * static_cast<double>(frames.size())) return false;
    for (size_t r = 0; r < k; ++r) {
      if (r == p) continue;
      const double f = a[r][p] / a[p][p];
      for (size_t c = p; c <= k; ++c) a[r][c] -= f * a[p][c];
    }
  }
  ms->fill(std::nan(""));
  for (size_t r = 0; r < k; ++r) (*ms)[columns[r]] = a[r][k] / a[r][r] / scale[columns[r]];
  return true;
}

// Fits, then fits again without the frames more than four times the median
// distance away: a frame held up by the rest of the machine would pull the
// fit far more than its share.
NonFillFit FitNonFill(const Frames& frames) {
  NonFillFit fit;
  if (frames.empty() || !LeastSquares(frames, &fit.ms)) return fit;
  std::vector<double> residuals;
  for (const Replayed* frame : frames) {
    const std::array<double, TERMS> x = Terms(frame->counts);
    double predicted = 0.0;
    for (int i = 0; i < TERMS; ++i) predicted += std::isnan(fit.ms[i]) ? 0.0 : fit.ms[i] * x[i];
    residuals.push_back(std::fabs(frame->ms - predicted));
  }
  std::vector<double> sorted = residuals;
  std::sort(sorted.begin(), sorted.end());
  const double bound = 4.0 * sorted[sorted.size() / 2];
  Frames kept;
  for (size_t i = 0; i < frames.size(); ++i) {
    if (residuals[i] <= bound) kept.push_back(frames[i]);
  }
  fit.kept = kept.size();
  fit.ok = LeastSquares(kept, &fit.ms);
  return fit;
}

double MedianMs(const Frames& frames) {
  FrameTimes times;
  for (const Replayed* frame : frames) times.ms.push_back(frame->ms);
  return times.Percentile(50);
}

const char* const DRAWER_NAMES[platform::DRAWERS] = {
    "circle lines", "circle sprites", "spinning sprite", "mesh scenes",
    "fog coverage", "fade veil",      "credit",          "overlay",
};

// A case's frames from both replays and its times from the timed run.
struct CostCase {
  const char* name;
  Frames counted;
  Frames tiny;
  double medianMs;
};

void PrintFragments(const std::vector<CostCase>& cases, const Replay& counted) {
  const double pixels = static_cast<double>(counted.width) * counted.height;
  std::printf(
      "\nwhere the time goes: the same frames drawn again from the same start, counted, then at %d x %d\n"
      "fragments a frame by what drew them, against the %d x %d pixels, with the draw calls and vertices "
      "a frame; fog coverage is the mesh scenes' pass with --alpha, which these frames draw; \"all\" is "
      "without it\n",
      TINY_WIDTH, TINY_HEIGHT, counted.width, counted.height);
  std::printf("%-16s", "");
  for (const CostCase& c : cases) std::printf(" | %-10s %7zu frames", c.name, c.counted.size());
  std::printf("\n%-16s", "drawer");
  for (size_t i = 0; i < cases.size(); ++i) std::printf(" | %7s %6s %8s", "frag/px", "draws", "vertices");
  std::printf("\n");
  std::vector<DrawnCounts> means;
  for (const CostCase& c : cases) means.push_back(Mean(c.counted));
  const int overlay = static_cast<int>(platform::Drawer::OVERLAY);
  const int coverage = static_cast<int>(platform::Drawer::FOG_COVERAGE);
  for (int d = 0; d < overlay; ++d) {
    std::printf("%-16s", DRAWER_NAMES[d]);
    for (const DrawnCounts& m : means)
      std::printf(" | %7.3f %6.1f %8.0f", m.fragments[d] / pixels, m.draws[d], m.vertices[d]);
    std::printf("\n");
  }
  std::printf("%-16s", "all");
  for (const DrawnCounts& m : means) {
    double vertices = 0.0;
    for (int d = 0; d < overlay; ++d) vertices += d != coverage ? m.vertices[d] : 0.0;
    std::printf(" | %7.3f %6.1f %8.0f", (m.Fragments() - m.fragments[coverage]) / pixels,
                m.Draws() - m.draws[coverage], vertices);
  }
  std::printf(
      "\noverlay (F1, live only), drawn over the last stress frame: %.3f fragments a pixel, %.0f draws, "
      "%.0f vertices\n",
      counted.overlay.fragments[overlay] / pixels, counted.overlay.draws[overlay],
      counted.overlay.vertices[overlay]);
}

void PrintNonFill(const std::vector<CostCase>& cases, const Frames& all) {
  std::printf("\ntime that is not fill: the frames drawn at %d x %d, read back, against the timed run\n",
              TINY_WIDTH, TINY_HEIGHT);
  std::printf("%-10s %7s %9s %9s %7s %7s %9s %9s\n", "case", "frames", "median", "tiny", "tiny/", "draws",
              "glVertex", "array");
  std::printf("%-10s %7s %9s %9s %7s %7s %9s %9s\n", "", "", "ms", "ms", "median", "", "vertices",
              "vertices");
  for (const CostCase& c : cases) {
    const std::array<double, TERMS> terms = Terms(Mean(c.tiny));
    const double tiny = MedianMs(c.tiny);
    std::printf("%-10s %7zu %9.2f %9.2f %6.0f%% %7.0f %9.0f %9.0f\n", c.name, c.tiny.size(), c.medianMs, tiny,
                c.medianMs > 0.0 ? 100.0 * tiny / c.medianMs : 0.0, terms[1], terms[2], terms[3]);
  }
  const NonFillFit fit = FitNonFill(all);
  if (!fit.ok) {
    std::printf("a draw call and a vertex: not told apart by these %zu frames\n", all.size());
    return;
  }
  const auto term = [](double ms, double unit) {
    char text[32];
    if (std::isnan(ms)) return std::string("-");
    std::snprintf(text, sizeof text, "%.2f", ms * unit);
    return std::string(text);
  };
  std::printf(
      "fitted to %zu of the %zu tiny frames (least squares): %s ms a frame, %s us a draw call, %s ns a "
      "glVertex vertex, %s ns an array vertex\n",
      fit.kept, all.size(), term(fit.ms[0], 1.0).c_str(), term(fit.ms[1], 1e3).c_str(),
      term(fit.ms[2], 1e6).c_str(), term(fit.ms[3], 1e6).c_str());
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
  Span span;
  // The timetable's frames; with a range given, every case runs as many.
  span.first = FirstFrameAt(options.from, fps);
  const long showEnd = LastShowFrame(fps) + 1;
  span.end = options.to >= 0.0 ? std::min(FirstFrameAt(options.to, fps), showEnd) : showEnd;
  // With a range given, the floor and stress cases run as many frames as it
  // holds, up to their usual counts.
  const long rangeFrames = std::max(span.end - span.first, 1L);
  span.captureFirst = options.rangeGiven ? span.first : FirstFrameAt(CAPTURE_FROM, fps);
  span.captureEnd = options.rangeGiven ? span.end : FirstFrameAt(CAPTURE_TO, fps);
  span.stressStart = FirstFrameAt(STRESS_START, fps);
  span.stressFrames = options.rangeGiven ? std::min(rangeFrames, STRESS_FRAMES) : STRESS_FRAMES;

  const int gl = CheckGl(options);
  if (gl != EXIT_DONE) return gl;
  // The counted runs start the show again from here.
  const uint32_t startState = RandomState();
  OfflineShow show(fps);
  ShapeWindow(options, &show.window);
  CaptureCase capture(options, soundtrack, span.captureFirst, span.captureEnd, &show.window);
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

  LeadIn(&show, span.first);
  capture.Open();
  bool captured = true;
  const FrameTimes timetable = TimeFrames(
      span.end - span.first,
      [&](long i) {
        const long n = span.first + i;
        if (!show.Running()) return false;
        if (!capture.Wants(n)) {
          show.Frame(n, readBack);
          return true;
        }
        captured = capture.Frame(n, &show);
        return captured;
      },
      [&](long i) {
        if (captured && capture.Wants(span.first + i) && !capture.Wants(span.first + i + 1)) capture.End();
      });

  StartStress(&show, span.stressStart);
  size_t live = 0;
  int liveFlora = 0;
  std::vector<uint64_t> timedColours;
  const FrameTimes stress = TimeFrames(
      span.stressFrames,
      [&](long n) {
        show.Frame(span.stressStart + n, readBack);
        TopUp();
        return true;
      },
      [&](long n) {
        if (Compared(n, span, fps)) timedColours.push_back(ColourHash(pixels));
      });
  for (DemoFX* fx : frags) liveFlora += fx->type == 3 ? 1 : 0;
  live = frags.size();
  const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  ReleaseShowAssets();
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
      static_cast<double>(span.first) / fps, static_cast<double>(span.end - 1) / fps, STRESS_START,
      STRESS_EFFECTS, STRESS_FLORA, live, liveFlora);
  std::fflush(stdout);

  const Replay tiny = RunReplay(options, span, startState, false);
  const Replay counted = RunReplay(options, span, startState, true);
  if (platform::Interrupted()) return EXIT_INTERRUPTED;
  // The capture's frames are the timetable's from its first on.
  const size_t captureBegin = static_cast<size_t>(std::max(0L, span.captureFirst - span.first));
  const size_t captureEnd = static_cast<size_t>(std::max(0L, span.captureEnd - span.first));
  FrameTimes captureTimes;
  for (size_t i = captureBegin; i < std::min(captureEnd, timetable.ms.size()); ++i)
    captureTimes.ms.push_back(timetable.ms[i]);
  const std::vector<CostCase> cases = {
      {"timetable", Pick(counted.timetable, 0, counted.timetable.size()),
       Pick(tiny.timetable, 0, tiny.timetable.size()), timetable.Percentile(50)},
      {"stress", Pick(counted.stress, 0, counted.stress.size()), Pick(tiny.stress, 0, tiny.stress.size()),
       stress.Percentile(50)},
      {"capture", Pick(counted.timetable, captureBegin, captureEnd),
       Pick(tiny.timetable, captureBegin, captureEnd), captureTimes.Percentile(50)},
  };
  PrintFragments(cases, counted);
  size_t same = 0;
  for (size_t i = 0; i < std::min(timedColours.size(), counted.colours.size()); ++i)
    same += timedColours[i] == counted.colours[i] ? 1 : 0;
  std::printf("counted frames against the timed run: %zu of %zu compared stress frames %s in colour\n", same,
              timedColours.size(),
              same == timedColours.size() && same == counted.colours.size() ? "identical" : "DIFFER");
  Frames all = cases[0].tiny;
  all.insert(all.end(), cases[1].tiny.begin(), cases[1].tiny.end());
  PrintNonFill(cases, all);
  PrintSpriteFill(counted.spriteFill);
  return captured ? EXIT_DONE : EXIT_FAILED;
}
