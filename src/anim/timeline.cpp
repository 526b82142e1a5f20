// Loading and evaluating the Hermite timeline. Key times are rescaled on load
// so the show only ever deals in normalized time.
#include "anim/timeline.h"

#include <algorithm>
#include <cassert>

#include "anim/streamreading.h"

namespace {

constexpr int NUMBERS_PER_KEY = 6;
// Stands in for the infinite slope of a handle straight above or below its key.
constexpr float VERTICAL_SLOPE = 5729578.0f;
// Handles are mirrored through their key and cut to a third.
constexpr float HANDLE_SCALE = 1.0f / 3.0f;

float Slope(const float keyX, const float keyY, const float handleX, const float handleY) {
  const float run = handleX - keyX;
  if (run == 0.0f) return VERTICAL_SLOPE;
  return (handleY - keyY) / run;
}

}  // namespace

void Timeline::Load(std::ifstream& in) {
  points.clear();
  coefs.clear();
  int count = 0;
  in >> count;
  // The count is trusted only as far as the rest of the stream could back it.
  const long long room = MaxRecordsLeft(in, NUMBERS_PER_KEY);
  const long long keys = std::min<long long>(count, room);
  if (keys > 0) points.reserve(static_cast<size_t>(keys));
  // Missing numbers of a short file keep the previous key's.
  BezPoint scratch;
  for (long long i = 0; i < keys; ++i) {
    in >> scratch.leftX >> scratch.leftY >> scratch.x >> scratch.y >> scratch.rightX >> scratch.rightY;
    points.push_back(scratch);
  }
  ImproveHermitHandles();
}

void Timeline::ImproveHermitHandles() {
  coefs.clear();
  if (points.empty()) return;

  // A first key after 0 moves to 0; one at or before 0 leaves all times alone.
  const float first = points.front().x;
  if (first > 0.0f) {
    for (BezPoint& p : points) {
      p.x -= first;
      p.leftX -= first;
      p.rightX -= first;
    }
  }
  const float last = points.back().x;
  if (last != 1.0f) {
    const float scale = 1.0f / last;
    for (BezPoint& p : points) {
      p.x *= scale;
      p.leftX *= scale;
      p.rightX *= scale;
    }
  }
  for (BezPoint& p : points) {
    p.leftX = p.x + HANDLE_SCALE * (p.x - p.leftX);
    p.leftY = p.y + HANDLE_SCALE * (p.y - p.leftY);
    p.rightX = p.x + HANDLE_SCALE * (p.x - p.rightX);
    p.rightY = p.y + HANDLE_SCALE * (p.y - p.rightY);
  }

  coefs.resize(points.size() - 1);
  for (size_t i = 0; i + 1 < points.size(); ++i) HermitCreate(points[i], points[i + 1], static_cast<int>(i));
}

void Timeline::HermitCreate(BezPoint& p1, BezPoint& p2, int i) {
  assert(i >= 0 && static_cast<size_t>(i) < coefs.size() && "coefs must be sized before a segment is filled");
  HermitCoef& c = coefs[static_cast<size_t>(i)];
  // Two keys at one time give dx = 0 and non-finite coefficients; Eval copes.
  const double dx = static_cast<double>(p2.x) - p1.x;
  const double dy = static_cast<double>(p2.y) - p1.y;
  const double m1 = Slope(p1.x, p1.y, p1.rightX, p1.rightY);
  const double m2 = Slope(p2.x, p2.y, p2.leftX, p2.leftY);
  c.start = p1.x;
  c.c3 = static_cast<float>((m1 * dx + m2 * dx - 2.0 * dy) / (dx * dx * dx));
  c.c2 = static_cast<float>((3.0 * dy - 2.0 * m1 * dx - m2 * dx) / (dx * dx));
  c.c1 = static_cast<float>(m1);
  c.c0 = p1.y;
}

float Timeline::Eval(float t) const {
  if (points.empty()) return 0.0f;
  if (!(t >= 0.0f)) return points.front().y;
  if (t > 1.0f) return points.back().y;
  if (coefs.empty()) return points.front().y;
  // A t at a key's own time uses the segment that ends at that key.
  size_t i = 0;
  while (i + 1 < coefs.size() && i + 1 < points.size() && points[i + 1].x < t) ++i;
  return EvalHermit(static_cast<int>(i), t);
}

float Timeline::EvalHermit(int i, float t) const {
  assert(i >= 0 && static_cast<size_t>(i) < coefs.size() && "no such segment");
  const HermitCoef& c = coefs[static_cast<size_t>(i)];
  const double s = static_cast<double>(t) - c.start;
  return static_cast<float>(((c.c3 * s + c.c2) * s + c.c1) * s + c.c0);
}
