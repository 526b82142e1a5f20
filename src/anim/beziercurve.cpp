// Loading, ordering, evaluating and drawing the Bezier path, and the
// rotation the ribbon is built with.
#include "anim/beziercurve.h"

#include <GL/gl.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <fstream>

#include "anim/streamreading.h"
#include "foundation/debug.h"

namespace {

constexpr int NUMBERS_PER_POINT = 10;
// The ribbon stands a quarter turn to either side of the path.
constexpr float QUARTER_TURN = 3.14159f / 2.0f;

double Dot(const Vector3& a, const Vector3& b) {
  return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z;
}

Vector3 Scaled(const Vector3& v, double k) {
  return Vector3(static_cast<float>(v.x * k), static_cast<float>(v.y * k), static_cast<float>(v.z * k));
}

// The next sample parameter; false once adding step no longer moves u on
// (a step that is not positive, or one lost in the rounding of a large u).
bool Advance(float& u, float step) {
  const float next = u + step;
  if (!(next > u)) return false;
  u = next;
  return true;
}

}  // namespace

std::istream& operator>>(std::istream& in, ControlPoint& point) {
  in >> point.handleIn.x >> point.handleIn.y >> point.handleIn.z;
  in >> point.position.x >> point.position.y >> point.position.z;
  in >> point.handleOut.x >> point.handleOut.y >> point.handleOut.z;
  in >> point.param;
  return in;
}

bool BezierCurve::Load(const std::string& name) {
  points.clear();
  std::ifstream f(name);
  ZARV_CHECK(f);
  int count = 0;
  f >> count;
  Log::Msg("curve=%s numpts=%d", name.c_str(), count);
  if (count > MaxRecordsLeft(f, NUMBERS_PER_POINT)) {
    Log::Msg("curve \"%s\" claims %d points, more than the file holds", name.c_str(), count);
    ZARV_ERROR();
  }
  if (count > 0) points.reserve(static_cast<size_t>(count));
  // Malformed numbers are not detected: they read as 0 or keep their value.
  for (int i = 0; i < count; ++i) {
    ControlPoint point;
    f >> point;
    points.push_back(point);
  }
  f.close();
  Sort();
  return true;
}

void BezierCurve::AddPoint(const ControlPoint& point) {
  points.push_back(point);
  Sort();
}

void BezierCurve::Sort() {
  // A merge sort stays inside the array even when a NaN param breaks the
  // ordering, which the quicksort partition of std::sort does not promise.
  std::stable_sort(points.begin(), points.end(), CtrlPointComparator());
}

bool BezierCurve::Eval(float u, Vector3& out) const {
  const size_t n = points.size();
  if (n < 2) return false;
  if (!(u >= points.front().param && u <= points.back().param)) return false;
  size_t i = 1;
  while (i + 1 < n && points[i].param < u) ++i;
  const ControlPoint& a = points[i - 1];
  const ControlPoint& b = points[i];
  // Two points at one param (possible only where the path starts) make a
  // segment of no length: the path is at its first point there.
  const double span = static_cast<double>(b.param) - a.param;
  const float s = span == 0.0 ? 0.0f : static_cast<float>((static_cast<double>(u) - a.param) / span);
  out = Cubic(a.position, a.handleOut, b.handleIn, b.position, s);
  return true;
}

Vector3 BezierCurve::Cubic(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3,
                           float s) {
  auto component = [s](double q0, double q1, double q2, double q3) {
    const double c = 3.0 * (q1 - q0);
    const double b = 3.0 * (q2 - q1) - c;
    const double a = q3 - q0 - c - b;
    return static_cast<float>(q0 + c * s + b * s * s + a * s * s * s);
  };
  return Vector3(component(p0.x, p1.x, p2.x, p3.x), component(p0.y, p1.y, p2.y, p3.y),
                 component(p0.z, p1.z, p2.z, p3.z));
}

void BezierCurve::Render(float step) const {
  assert(step > 0.0f && "Render samples the path at a positive step");
  const float last = points.empty() ? 0.0f : points.back().param;
  // Both scratch vectors keep their value wherever Eval finds no path.
  Vector3 v;
  Vector3 w;

  glBegin(GL_LINE_STRIP);
  float u = points.empty() ? 0.0f : points.front().param;
  while (last > u) {
    Eval(u, v);
    glVertex3fv(&v.x);
    if (!Advance(u, step)) break;
  }
  Eval(last, v);
  glVertex3fv(&v.x);
  glEnd();

  // The ribbon starts at parameter 0 whatever the first point's param.
  glBegin(GL_QUAD_STRIP);
  u = 0.0f;
  while (last > u) {
    Eval(u, v);
    Eval(u + step, w);
    const Vector3 d(w.x - v.x, w.y - v.y, w.z - v.z);
    const Vector3 left = RotateAround(v, d, QUARTER_TURN);
    const Vector3 right = RotateAround(v, d, -QUARTER_TURN);
    glVertex3fv(&left.x);
    glVertex3fv(&right.x);
    if (!Advance(u, step)) break;
  }
  glEnd();
}

Vector3 RotateAround(const Vector3& v, const Vector3& axis, float angle) {
  const double axisSquared = Dot(axis, axis);
  if (axisSquared == 0.0) return v;
  // v = along + across, with along parallel to the axis.
  const Vector3 along = Scaled(axis, Dot(v, axis) / axisSquared);
  Vector3 across(v.x - along.x, v.y - along.y, v.z - along.z);
  const double radius = std::sqrt(Dot(across, across));
  Vector3 w(axis.y * across.z - axis.z * across.y, axis.z * across.x - axis.x * across.z,
            axis.x * across.y - axis.y * across.x);
  const double wLength = std::sqrt(Dot(w, w));
  if (radius != 0.0) across = Scaled(across, 1.0 / radius);
  if (wLength != 0.0) w = Scaled(w, 1.0 / wLength);
  const double c = std::cos(static_cast<double>(angle));
  const double s = std::sin(static_cast<double>(angle));
  return Vector3(static_cast<float>(along.x + radius * (c * across.x + s * w.x)),
                 static_cast<float>(along.y + radius * (c * across.y + s * w.y)),
                 static_cast<float>(along.z + radius * (c * across.z + s * w.z)));
}
