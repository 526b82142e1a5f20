// A triple of floats: mesh vertices and normals, points of a Bezier path.
// Handed to OpenGL by address (glVertex3fv), so x, y, z are contiguous and
// an array of Vector3 is a packed array of float triples.
#pragma once

struct Vector3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  constexpr Vector3() = default;
  constexpr Vector3(float x, float y, float z) : x(x), y(y), z(z) {}

  static const Vector3 XAXIS;
  static const Vector3 YAXIS;
  static const Vector3 ZAXIS;
};

static_assert(sizeof(Vector3) == 3 * sizeof(float), "an array of Vector3 is a packed array of float triples");
