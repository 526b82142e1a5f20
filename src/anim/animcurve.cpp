// Reading a curve record and evaluating it: held, linear or Bezier segments,
// held or repeated outside the key range. Arithmetic is in double and rounded
// to float where a value is stored or returned.
#include "anim/animcurve.h"

#include <cmath>

#include "anim/streamreading.h"
#include "foundation/debug.h"

namespace {

constexpr int NUMBERS_PER_KEY = 6;
constexpr int CHANNEL_COUNT = 9;
const char* const CHANNEL_WORDS[CHANNEL_COUNT] = {"locx", "locy",  "locz",  "rotx", "roty",
                                                  "rotz", "sizex", "sizey", "sizez"};

// The stream slot NameStream fills; allocated once per process by iostreams.
int NameSlot() {
  static const int slot = std::ios_base::xalloc();
  return slot;
}

// " in \"file\"" when the stream was named, else nothing.
std::string WhereFrom(std::ios_base& f) {
  const void* name = f.pword(NameSlot());
  if (name == nullptr) return std::string();
  return " in \"" + *static_cast<const std::string*>(name) + "\"";
}

// Roots at exactly 0 belong to the segment before; a hair above 1 still counts.
bool Accepted(float s) { return s >= 1e-7f && static_cast<double>(s) <= 1.000001; }

}  // namespace

void AnimCurve::NameStream(std::ios_base& f, const std::string& name) {
  // Only read back as const; pword stores untyped pointers.
  f.pword(NameSlot()) = const_cast<std::string*>(&name);
}

AnimCurve::AnimCurve(std::ifstream& f) {
  ZARV_CHECK(f);

  std::string channelWord;
  int count = 0;
  std::string interpolationWord;
  std::string extrapolationWord;
  f >> channelWord >> count >> interpolationWord >> extrapolationWord;

  channel = -1;
  for (int code = 0; code < CHANNEL_COUNT; ++code) {
    if (channelWord == CHANNEL_WORDS[code]) {
      channel = code;
      break;
    }
  }
  if (channel < 0) {
    Log::Msg("unknown anim curve type \"%s\"", channelWord.c_str());
    ZARV_ERROR();
  }

  if (interpolationWord == "constant") {
    interpolation = INTERPOLATE_CONSTANT;
  } else if (interpolationWord == "linear") {
    interpolation = INTERPOLATE_LINEAR;
  } else if (interpolationWord == "bezier") {
    interpolation = INTERPOLATE_BEZIER;
  } else {
    Log::Msg("unknown anim curve interpolation type \"%s\"", interpolationWord.c_str());
    ZARV_ERROR();
  }

  if (extrapolationWord == "constant") {
    extrapolation = EXTRAPOLATE_CONSTANT;
  } else if (extrapolationWord == "cyclic") {
    extrapolation = EXTRAPOLATE_CYCLIC;
  } else {
    Log::Msg("unknown anim curve extrapolation type \"%s\"", extrapolationWord.c_str());
    ZARV_ERROR();
  }

  // Everything after this constructor relies on at least one key, and the
  // count must not make us allocate more than the file could describe.
  if (count <= 0) {
    Log::Msg("anim curve \"%s\"%s has no keys (key count %d)", channelWord.c_str(), WhereFrom(f).c_str(),
             count);
    ZARV_ERROR();
  }
  if (count > MaxRecordsLeft(f, NUMBERS_PER_KEY)) {
    Log::Msg("anim curve \"%s\"%s claims %d keys, more than the rest of the file holds", channelWord.c_str(),
             WhereFrom(f).c_str(), count);
    ZARV_ERROR();
  }

  keys.resize(static_cast<size_t>(count));
  // A short key list is not detected: missing numbers keep the previous key's.
  BezTriple scratch;
  for (BezTriple& key : keys) {
    f >> scratch.leftX >> scratch.leftY >> scratch.x >> scratch.y >> scratch.rightX >> scratch.rightY;
    key = scratch;
  }
  startFrame = keys.front().x;
  endFrame = keys.back().x;
}

float AnimCurve::Eval(float t) const {
  if (keys.empty()) return 0.0f;
  float result = 0.0f;
  const BezTriple& first = keys.front();
  const BezTriple& last = keys.back();

  if (extrapolation == EXTRAPOLATE_CYCLIC) {
    const double range = static_cast<double>(last.x) - first.x;
    if (range != 0.0) {
      t = static_cast<float>(std::fmod(static_cast<double>(t) - first.x, range) + first.x);
      if (t < first.x) t = static_cast<float>(t + range);
    }
  }
  if (t <= first.x) return first.y;
  if (t >= last.x) return last.y;

  // Held and linear segments: the last segment containing t decides.
  // Bezier segments: the first one with a root decides.
  for (size_t i = 0; i + 1 < keys.size(); ++i) {
    const BezTriple& a = keys[i];
    const BezTriple& b = keys[i + 1];
    if (!(a.x <= t && t <= b.x)) continue;
    if (interpolation == INTERPOLATE_CONSTANT) {
      result = a.y;
    } else if (interpolation == INTERPOLATE_LINEAR) {
      const double width = static_cast<double>(b.x) - a.x;
      result = width == 0.0 ? a.y
                            : static_cast<float>(a.y + (static_cast<double>(t) - a.x) / width *
                                                           (static_cast<double>(b.y) - a.y));
    } else {
      float p1[2] = {a.x, a.y};
      float p2[2] = {a.rightX, a.rightY};
      float p3[2] = {b.leftX, b.leftY};
      float p4[2] = {b.x, b.y};
      CorrectBezpart(p1, p2, p3, p4);
      float roots[3] = {0.0f, 0.0f, 0.0f};
      if (Findzero(t, p1[0], p2[0], p3[0], p4[0], roots) > 0) {
        Berekeny(p1[1], p2[1], p3[1], p4[1], roots, 1);
        return roots[0];
      }
    }
  }
  return result;
}

void AnimCurve::CorrectBezpart(float* p1, float* p2, float* p3, float* p4) {
  const float e1[2] = {p1[0] - p2[0], p1[1] - p2[1]};
  const float e2[2] = {p4[0] - p3[0], p4[1] - p3[1]};
  const double span = static_cast<double>(p4[0]) - p1[0];
  const double extents = std::fabs(static_cast<double>(e1[0])) + std::fabs(static_cast<double>(e2[0]));
  if (extents == 0.0 || !(extents > span)) return;
  // Both handles shrink by one factor, so they keep their directions.
  const double f = span / extents;
  for (int k = 0; k < 2; ++k) {
    p2[k] = static_cast<float>(p1[k] - f * e1[k]);
    p3[k] = static_cast<float>(p4[k] - f * e2[k]);
  }
}

int AnimCurve::Findzero(float x, float q0, float q1, float q2, float q3, float* o) {
  const double c0 = static_cast<double>(q0) - x;
  const double c1 = 3.0 * (static_cast<double>(q1) - q0);
  const double c2 = 3.0 * (static_cast<double>(q0) - 2.0 * q1 + q2);
  const double c3 = static_cast<double>(q3) - q0 + 3.0 * (static_cast<double>(q1) - q2);

  // Each candidate is stored, and kept only if it lies in the segment.
  int found = 0;
  auto candidate = [&found, o](double s) {
    o[found] = static_cast<float>(s);
    if (Accepted(o[found])) ++found;
  };

  if (c3 != 0.0) {
    const double a = c2 / c3 / 3.0;
    const double b = c1 / c3;
    const double c = c0 / c3;
    const double p = b / 3.0 - a * a;
    const double q = (2.0 * a * a * a - a * b + c) / 2.0;
    const double d = q * q + p * p * p;
    if (d > 0.0) {
      const double t = std::sqrt(d);
      candidate(Sqrt3d(-q + t) + Sqrt3d(-q - t) - a);
    } else if (d == 0.0) {
      const double t = Sqrt3d(-q);
      candidate(2.0 * t - a);
      candidate(-t - a);
    } else {
      const double phi = std::acos(-q / std::sqrt(-p * p * p));
      const double t = std::sqrt(-p);
      const double u = std::cos(phi / 3.0);
      const double w = std::sqrt(3.0 - 3.0 * u * u);
      candidate(2.0 * t * u - a);
      candidate(-t * (u + w) - a);
      candidate(-t * (u - w) - a);
    }
    return found;
  }
  if (c2 != 0.0) {
    const double disc = c1 * c1 - 4.0 * c2 * c0;
    if (disc > 0.0) {
      candidate((-c1 - std::sqrt(disc)) / (2.0 * c2));
      candidate((-c1 + std::sqrt(disc)) / (2.0 * c2));
    } else if (disc == 0.0) {
      candidate(-c1 / (2.0 * c2));
    }
    return found;
  }
  if (c1 != 0.0) {
    candidate(-c0 / c1);
    return found;
  }
  // A segment of zero time span reaches x everywhere or nowhere.
  if (c0 == 0.0) {
    o[0] = 0.0f;
    return 1;
  }
  return 0;
}

double AnimCurve::Sqrt3d(double d) {
  if (d == 0.0) return 0.0;
  if (d > 0.0) return std::exp(std::log(d) / 3.0);
  return -std::exp(std::log(-d) / 3.0);
}

void AnimCurve::Berekeny(float f1, float f2, float f3, float f4, float* o, int b) {
  const double c0 = f1;
  const double c1 = 3.0 * (static_cast<double>(f2) - f1);
  const double c2 = 3.0 * (static_cast<double>(f1) - 2.0 * f2 + f3);
  const double c3 = static_cast<double>(f4) - f1 + 3.0 * (static_cast<double>(f2) - f3);
  for (int i = 0; i < b; ++i) {
    const double s = o[i];
    o[i] = static_cast<float>(c0 + c1 * s + c2 * s * s + c3 * s * s * s);
  }
}
