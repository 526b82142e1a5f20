// The keyframed motions of the four mesh scenes. Every Bezier handle lies a
// third of the way to the neighbouring key, so a segment's time is linear in
// its parameter and the curve is the cubic Hermite of the key slopes.
#include "flora_motion.h"

#include <cstdio>

double MotionCurve::Slope(size_t i) const {
  if (i == 0 || i + 1 >= frames.size()) return 0.0;
  return (values[i + 1] - values[i - 1]) / (frames[i + 1] - frames[i - 1]);
}

double MotionCurve::Eval(double frame) const {
  if (frame <= frames.front()) return values.front();
  for (size_t i = 0; i + 1 < frames.size(); ++i) {
    if (frame > frames[i + 1]) continue;
    const double span = frames[i + 1] - frames[i];
    const double s = (frame - frames[i]) / span;
    const double p0 = values[i];
    const double p1 = values[i] + Slope(i) * span / 3.0;
    const double p2 = values[i + 1] - Slope(i + 1) * span / 3.0;
    const double p3 = values[i + 1];
    const double r = 1.0 - s;
    return p0 * r * r * r + 3.0 * p1 * r * r * s + 3.0 * p2 * r * s * s + p3 * s * s * s;
  }
  return values.back();
}

namespace {

// Keys at fractions of the scene's length in frames.
MotionCurve Keys(const char* channel, double length, std::vector<double> at, std::vector<double> values) {
  MotionCurve c;
  c.channel = channel;
  for (double a : at) c.frames.push_back(a * length);
  c.values = std::move(values);
  return c;
}

}  // namespace

Motion FloraMotion(int n) {
  Motion m;
  switch (n) {
    case 1: {  // The daisy rises from the lower left, turns its face to the eye, then leans away to the
               // right.
      const double L = 175.0;
      m.curves = {
          Keys("locx", L, {0.0, 0.45, 0.6, 1.0}, {-1.3, -0.35, -0.15, 0.9}),
          Keys("locy", L, {0.0, 0.45, 0.6, 1.0}, {-1.5, 0.15, 0.1, -0.9}),
          Keys("locz", L, {0.0, 0.42, 0.62, 1.0}, {-1.8, 2.9, 3.05, -1.9}),
          Keys("rotx", L, {0.0, 0.45, 1.0}, {-4.0, -0.5, 3.5}),
          Keys("roty", L, {0.0, 0.5, 1.0}, {-5.0, 0.5, 5.5}),
          Keys("rotz", L, {0.0, 0.5, 1.0}, {1.5, 0.0, -2.0}),
      };
      break;
    }
    case 2: {  // The fern sweeps in edge-on from the right, opens flat to the eye and drifts off left.
      const double L = 196.0;
      m.curves = {
          Keys("locx", L, {0.0, 0.45, 0.65, 1.0}, {1.7, 0.4, 0.1, -1.5}),
          Keys("locy", L, {0.0, 0.45, 0.65, 1.0}, {0.5, 0.05, -0.05, -0.8}),
          Keys("locz", L, {0.0, 0.45, 0.65, 1.0}, {-1.9, 2.8, 2.95, -1.7}),
          Keys("rotx", L, {0.0, 0.5, 1.0}, {1.0, -0.8, -2.0}),
          Keys("roty", L, {0.0, 0.45, 0.65, 1.0}, {8.5, 0.8, -0.8, -7.5}),
          Keys("rotz", L, {0.0, 0.35, 0.7, 1.0}, {1.5, -0.6, 0.5, -1.2}),
      };
      break;
    }
    case 3: {  // The bells drop in from above, swinging like a pendulum that dies down, and sink below.
      const double L = 154.0;
      m.curves = {
          Keys("locx", L, {0.0, 0.45, 1.0}, {0.4, 0.05, -0.3}),
          Keys("locy", L, {0.0, 0.45, 0.6, 1.0}, {2.0, 0.1, 0.0, -1.8}),
          Keys("locz", L, {0.0, 0.45, 0.6, 1.0}, {-1.8, 2.9, 3.0, -1.8}),
          Keys("rotx", L, {0.0, 1.0}, {-1.5, 1.0}),
          Keys("roty", L, {0.0, 1.0}, {-4.0, 4.5}),
          Keys("rotz", L, {0.0, 0.2, 0.4, 0.6, 0.8, 1.0}, {2.2, -1.4, 0.9, -0.5, 0.3, 0.0}),
      };
      break;
    }
    default: {  // The seed head comes straight out of the depths, spinning a full turn and tumbling.
      const double L = 210.0;
      m.curves = {
          Keys("locx", L, {0.0, 0.5, 1.0}, {-0.4, 0.05, 0.5}),
          Keys("locy", L, {0.0, 0.5, 1.0}, {-0.5, 0.1, 0.8}),
          Keys("locz", L, {0.0, 0.45, 0.6, 1.0}, {-2.0, 3.0, 3.15, -2.0}),
          Keys("rotx", L, {0.0, 0.5, 1.0}, {-2.5, 0.6, 2.5}),
          Keys("roty", L, {0.0, 0.5, 1.0}, {0.0, 18.0, 36.0}),
          Keys("rotz", L, {0.0, 1.0}, {0.8, -0.8}),
      };
      break;
    }
  }
  return m;
}

bool WriteMotion(const std::string& path, const Motion& motion) {
  FILE* out = std::fopen(path.c_str(), "w");
  if (!out) {
    std::fprintf(stderr, "zarv-bake: cannot write \"%s\"\n", path.c_str());
    return false;
  }
  std::fprintf(out, "%zu\n", motion.curves.size());
  for (const MotionCurve& c : motion.curves) {
    std::fprintf(out, "%s %zu bezier constant\n", c.channel.c_str(), c.frames.size());
    for (size_t i = 0; i < c.frames.size(); ++i) {
      const double before = i > 0 ? (c.frames[i] - c.frames[i - 1]) / 3.0 : 1.0;
      const double after = i + 1 < c.frames.size() ? (c.frames[i + 1] - c.frames[i]) / 3.0 : 1.0;
      const double slope = c.Slope(i);
      std::fprintf(out, "%.4f %.4f %.4f %.4f %.4f %.4f\n", c.frames[i] - before, c.values[i] - slope * before,
                   c.frames[i], c.values[i], c.frames[i] + after, c.values[i] + slope * after);
    }
  }
  const bool ok = std::ferror(out) == 0;
  return (std::fclose(out) == 0) && ok;
}
