// Each entry writes its input to an in-memory file, loads it and exercises
// the result. Values computed only to be read go to a volatile sink, so the
// compiler keeps every read that a sanitizer should see.
#include "fuzz/entries.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "anim/animator.h"
#include "anim/beziercurve.h"
#include "anim/timeline.h"
#include "assets/font.h"
#include "assets/mesh.h"
#include "assets/texture.h"
#include "demo/scheduler.h"
#include "demo/showmusic.h"
#include "demo/timetable.h"
#include "fuzz/input_file.h"
#include "music/levelfit.h"
#include "music/music.h"
#include "music/trackscan.h"
#include "music/trackstream.h"

namespace {

volatile float sink = 0.0f;

constexpr float NOT_A_NUMBER = std::numeric_limits<float>::quiet_NaN();
constexpr float INFINITE = std::numeric_limits<float>::infinity();

// How much of a track input is scanned: a few compressed kilobytes can
// claim hours. Decoding costs by the sample (a frame of each channel), so
// the limit is a number of samples: a minute of stereo at 48 kHz, which
// scans in about 2 s under ASan, or 3.9 s of 8 channels at 192 kHz (a whole
// minute of those took 10 s).
constexpr double TRACK_SECONDS = 60.0;
constexpr double TRACK_SAMPLES = TRACK_SECONDS * 48000 * 2;

// Times at and around the range [first, last], and the ones no caller should
// pass but some might: NaN, the infinities, the extremes of float.
std::vector<float> Probes(float first, float last) {
  return {first,
          last,
          first + (last - first) * 0.5f,
          first + (last - first) * 0.25f,
          std::nextafter(first, INFINITE),
          std::nextafter(last, -INFINITE),
          first - 1.0f,
          last + 1.0f,
          0.0f,
          -0.0f,
          NOT_A_NUMBER,
          INFINITE,
          -INFINITE,
          std::numeric_limits<float>::max(),
          std::numeric_limits<float>::lowest(),
          std::numeric_limits<float>::denorm_min()};
}

// A fitted gain is a number between the fit's bounds.
bool GainInBounds(float gain, double threshold) {
  return std::isfinite(gain) && gain >= LevelFit::MIN_GAIN &&
         gain <= static_cast<float>(threshold) / LevelFit::NOISE_FLOOR;
}

bool IsShare(double share) { return share >= 0.0 && share <= 1.0; }

}  // namespace

Outcome FuzzMesh(const uint8_t* data, size_t size) {
  static InputFile file("mesh");
  file.Set(data, size);
  return RunToEnd([data, size] {
    const Mesh mesh(file.Path());
    for (const MeshGroup& group : mesh.groups) {
      for (const MeshGroup::Triangle& triangle : group.triangles) {
        if (!group.Drawable(triangle)) continue;
        // What Render hands to GL for each corner.
        for (int k : triangle.index) sink = group.normals.at(k).x + group.vertices.at(k).z;
      }
      sink = group.colour.a;
      Require(group.colour.a == 1.0f, "a group's colour is opaque");
    }
    // The splitter on its own, with the delimiters a file could bring.
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* delimiter : {" ", "  ", "/", ""})
      sink = static_cast<float>(split(text, delimiter).size());
    return Outcome::LOADED;
  });
}

Outcome FuzzAnim(const uint8_t* data, size_t size) {
  static InputFile file("anim");
  file.Set(data, size);
  return RunToEnd([] {
    Animator animator(file.Path());
    for (const AnimCurve* curve : animator.curves) {
      Require(curve != nullptr && !curve->keys.empty(), "a loaded curve has keys");
      for (float t : Probes(curve->startFrame, curve->endFrame)) sink = curve->Eval(t);
    }
    // Without a GL context the matrix calls go nowhere; the curves still run.
    for (float frame : Probes(animator.startFrame, animator.endFrame)) animator.Animate(frame);
    return Outcome::LOADED;
  });
}

Outcome FuzzTimeline(const uint8_t* data, size_t size) {
  static InputFile file("timeline");
  file.Set(data, size);
  return RunToEnd([] {
    std::ifstream in(file.Path());
    Timeline timeline;
    timeline.Load(in);
    Require(timeline.points.empty() ? timeline.coefs.empty()
                                    : timeline.coefs.size() + 1 == timeline.points.size(),
            "one segment fewer than keys");
    std::vector<float> times = Probes(0.0f, 1.0f);
    for (const Timeline::BezPoint& point : timeline.points) times.push_back(point.x);
    for (float t : times) sink = timeline.Eval(t);
    for (size_t i = 0; i < timeline.coefs.size(); ++i) {
      sink = timeline.EvalHermit(static_cast<int>(i), timeline.coefs[i].start);
    }
    return Outcome::LOADED;
  });
}

Outcome FuzzBezier(const uint8_t* data, size_t size) {
  static InputFile file("path");
  file.Set(data, size);
  return RunToEnd([] {
    BezierCurve curve;
    Require(curve.Load(file.Path()), "Load returns true");
    for (size_t i = 1; i < curve.points.size(); ++i) {
      Require(!(curve.points[i].param < curve.points[i - 1].param), "points in param order");
    }
    if (!curve.points.empty()) {
      // A point in the middle of the path, where AddPoint has to sort it in.
      ControlPoint middle = curve.points.front();
      middle.param =
          curve.points.front().param + (curve.points.back().param - curve.points.front().param) * 0.5f;
      curve.AddPoint(middle);
    }
    std::vector<float> params = curve.points.empty()
                                    ? Probes(0.0f, 1.0f)
                                    : Probes(curve.points.front().param, curve.points.back().param);
    for (const ControlPoint& point : curve.points) params.push_back(point.param);
    Vector3 position;
    for (float u : params) {
      const Vector3 before = position;
      if (!curve.Eval(u, position)) {
        Require(before.x == position.x || (std::isnan(before.x) && std::isnan(position.x)),
                "a failed Eval leaves out alone");
      }
    }
    // The ribbon's rotation about the path's own directions, a zero axis
    // among them.
    const Vector3 zero;
    for (const ControlPoint& point : curve.points) {
      const Vector3 axis(point.handleOut.x - point.position.x, point.handleOut.y - point.position.y,
                         point.handleOut.z - point.position.z);
      for (float angle : {1.570795f, -1.570795f, point.param}) {
        sink = RotateAround(point.position, axis, angle).x;
        sink = RotateAround(point.handleIn, zero, angle).y;
      }
    }
    return Outcome::LOADED;
  });
}

Outcome FuzzPng(const uint8_t* data, size_t size) {
  static InputFile file("png");
  file.Set(data, size);
  return RunToEnd([] {
    int width = -1;
    int height = -1;
    int bpp = -1;
    unsigned char* pixels = Texture::load_png(file.Path().c_str(), width, height, bpp);
    if (pixels == nullptr) {
      Require(width == -1 && height == -1 && bpp == -1, "a refused image leaves the outputs alone");
      return Outcome::REFUSED;
    }
    Require(width > 0 && height > 0 && bpp >= 1 && bpp <= 4, "a decoded image has a size");
    // Every byte the result promises is read once.
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(bpp);
    unsigned sum = 0;
    for (size_t i = 0; i < bytes; ++i) sum += pixels[i];
    sink = static_cast<float>(sum);
    delete[] pixels;
    return Outcome::LOADED;
  });
}

Outcome FuzzFont(const uint8_t* data, size_t size) {
  static InputFile file("fontmetrics");
  file.Set(data, size);
  return RunToEnd([] {
    std::ifstream in(file.Path());
    int widths[256];
    const int read = Font::ReadWidths(in, widths);
    Require(read >= 0 && read <= 256, "at most 256 widths are read");
    // Print's layout: each glyph advances by its width in cells.
    float pen = 0.0f;
    for (int width : widths) pen += static_cast<float>(width) * 0.03125f;
    sink = pen;
    return read == 256 ? Outcome::LOADED : Outcome::REFUSED;
  });
}

Outcome FuzzMp3(const uint8_t* data, size_t size) {
  static InputFile file("mp3");
  static const bool offline = [] {
    MusicSetOffline(true);
    return true;
  }();
  Require(offline, "the music module reads offline");
  file.Set(data, size);
  return RunToEnd([] {
    if (!MusicInit(file.Path().c_str())) {
      Require(MusicGetSpectrum() == nullptr, "no spectrum without music");
      MusicDone();
      return Outcome::REFUSED;
    }
    // Forward, back (a restart of the decoding), beyond the end, and the
    // positions no caller should ask for.
    for (double seconds : {0.0, 0.01, 0.3, 1.0, 0.05, 4.0, -1.0, static_cast<double>(NOT_A_NUMBER), 1e12}) {
      const float* bands = MusicGetSpectrumAt(seconds);
      Require(bands != nullptr, "playing music has a spectrum");
      for (int band = 0; band < 512; ++band) {
        Require(std::isfinite(bands[band]) && bands[band] >= 0.0f,
                "spectrum bands are finite and not negative");
      }
      Require(MusicPosition() >= 0.0, "the position is not negative");
    }
    MusicDone();
    return Outcome::LOADED;
  });
}

Outcome FuzzTrack(const uint8_t* data, size_t size) {
  static InputFile file("track");
  file.Set(data, size);
  return RunToEnd([] {
    TrackStream stream;
    std::string why;
    const bool opened = stream.Open(file.Path().c_str(), &why);
    Require(opened || !why.empty(), "a file that does not open has a reason");
    const double seconds =
        opened
            ? std::min(TRACK_SECONDS,
                       TRACK_SAMPLES / (static_cast<double>(stream.Source().rate) * stream.Source().channels))
            : TRACK_SECONDS;
    TrackScan scan;
    std::string reason;
    if (!ScanTrack(file.Path(), {BASS_BAND, MID_BAND}, &scan, &reason, seconds)) {
      Require(!reason.empty(), "a refused track has a reason");
      return Outcome::REFUSED;
    }
    Require(opened, "a track that scans opens as a stream");
    Require(scan.sourceRate == stream.Source().rate && scan.sourceChannels == stream.Source().channels,
            "the scan and the stream see the same rate and channels");
    Require(scan.sourceRate >= Decoder::MIN_RATE && scan.sourceRate <= Decoder::MAX_RATE,
            "a scanned track's rate is in range");
    Require(scan.sourceChannels >= 1 && scan.sourceChannels <= Decoder::MAX_CHANNELS,
            "a scanned track's channels are in range");
    Require(scan.frames > 0 && scan.frames <= seconds * TrackStream::RATE,
            "a scanned track has frames, no more than the limit");
    Require(scan.levels.size() == 2, "one row of levels per band asked for");
    const size_t analyses = scan.loudest.size();
    const double expected = static_cast<double>(scan.frames) * TrackScan::PER_SECOND / TrackStream::RATE;
    Require(std::abs(static_cast<double>(analyses) - expected) <= 1.0,
            "analyses at 60 a second of the length");
    for (const std::vector<float>& levels : scan.levels) {
      Require(levels.size() == analyses, "every band has a level per analysis");
      for (size_t n = 0; n < analyses; ++n) {
        Require(std::isfinite(levels[n]) && levels[n] >= 0.0f, "levels are finite and not negative");
        Require(levels[n] <= scan.loudest[n], "no band is louder than the loudest");
      }
    }

    const TrackFit fit = FitTrack(scan);
    Require(GainInBounds(fit.bassGain, BASS_LEVEL) && GainInBounds(fit.midGain, MID_LEVEL),
            "fitted gains are within the fit's bounds");
    Require(IsShare(fit.bassShare) && IsShare(fit.midShare) && IsShare(fit.fittedBassShare) &&
                IsShare(fit.fittedMidShare),
            "shares are between 0 and 1");
    if (scan.Length() >= Timetable::SHORTEST_TRACK_SECONDS) {
      const Timetable& t = fit.timetable;
      Require(t.effectsFrom < t.floraFrom && t.floraFrom < t.fadeFrom && t.fadeFrom < t.effectsUntil &&
                  t.effectsUntil < t.showEnd,
              "a playable track's timetable is in order");
    }

    // The stream as the show reads it: from the start, the middle, past the
    // end, a step back, and frames no caller should ask for.
    constexpr int ASKED = 700;
    float out[ASKED * TrackStream::CHANNELS];
    const int64_t middle = scan.frames / 2;
    for (int64_t frame : {int64_t{0}, middle, scan.frames + 10000, middle - 100, int64_t{-5},
                          std::numeric_limits<int64_t>::max() / 2, int64_t{1}}) {
      stream.Seek(frame);
      Require(stream.Tell() == std::max<int64_t>(frame, 0), "Seek moves to the frame asked for");
      for (int read = 0; read < 2; ++read) {
        const int64_t before = stream.Tell();
        const int got = stream.Read(out, ASKED);
        Require(got >= 0 && got <= ASKED, "Read gives at most the frames asked for");
        Require(stream.Tell() == before + got, "Tell moves by the frames read");
        float sum = 0.0f;
        for (int i = 0; i < got * TrackStream::CHANNELS; ++i) sum += out[i];
        sink = sum;
      }
    }
    return Outcome::LOADED;
  });
}
