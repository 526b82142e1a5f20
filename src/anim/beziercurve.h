// A path through 3D space: cubic Bezier segments between control points,
// each reached at its own parameter value. Loads from a text file, grows
// point by point, evaluates to positions and draws as a line with a ribbon.
//
// Glossary
//   control point  a position on the path with its incoming and outgoing
//                  handle and the parameter at which the path reaches it
//   handle         the inner control point of the segment on that side
//   segment        the cubic between two neighbouring control points
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "foundation/vector3.h"

struct ControlPoint {
  Vector3 handleIn;    // shapes the segment that ends here
  Vector3 position;    // the path passes through it
  Vector3 handleOut;   // shapes the segment that starts here
  float param = 0.0f;  // parameter at which the path reaches position
};

// Orders control points by ascending param.
struct CtrlPointComparator {
  bool operator()(const ControlPoint& a, const ControlPoint& b) const { return a.param < b.param; }
};

// Reads ten numbers: handleIn, position, handleOut (x, y, z each), param.
std::istream& operator>>(std::istream& in, ControlPoint& point);

class BezierCurve {
 public:
  BezierCurve() = default;
  virtual ~BezierCurve() = default;

  // Replaces the points with those of the file at `name` (a count, then ten
  // numbers per point). A file that cannot be opened, or whose count exceeds
  // what it could hold, ends the program through the log. Returns true.
  bool Load(const std::string& name);
  // Appends a copy of `point` and keeps the points ordered.
  void AddPoint(const ControlPoint& point);
  // Orders the points by param.
  void Sort();
  // The position at parameter u; false, with `out` untouched, when u lies
  // outside the path (or is NaN) or the path has fewer than two points.
  bool Eval(float u, Vector3& out) const;
  // The cubic Bezier with control points p0..p3 at s (0..1).
  static Vector3 Cubic(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3, float s);
  // Draws the path as a GL line strip and a quad-strip ribbon around it,
  // sampled every `step` (> 0) of the parameter. Sets no other GL state.
  void Render(float step) const;

  std::vector<ControlPoint> points;  // ascending param after Load, AddPoint and Sort
};

// v turned by `angle` radians, right-handed, about the line through the
// origin along `axis`. A zero axis leaves v as it is.
Vector3 RotateAround(const Vector3& v, const Vector3& axis, float angle);
