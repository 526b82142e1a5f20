// Test helpers for Bezier paths: a control point from its parts, and a
// comparison of positions within a tolerance.
#pragma once

#include <gtest/gtest.h>

#include "anim/beziercurve.h"
#include "foundation/vector3.h"

inline ControlPoint Point(float param, Vector3 position, Vector3 in, Vector3 out) {
  ControlPoint p;
  p.param = param;
  p.position = position;
  p.handleIn = in;
  p.handleOut = out;
  return p;
}

inline void ExpectVectorNear(const Vector3& a, const Vector3& b, float tolerance = 1e-5f) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}
