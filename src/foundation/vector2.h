// A pair of floats: positions and offsets in the flat effects, texture
// coordinates of the font's cells. Packed, so arrays of it are float pairs.
#pragma once

struct Vector2 {
  float x = 0.0f;
  float y = 0.0f;

  constexpr Vector2() = default;
  constexpr Vector2(float x, float y) : x(x), y(y) {}

  static const Vector2 XAXIS;
  static const Vector2 YAXIS;
};

static_assert(sizeof(Vector2) == 2 * sizeof(float), "an array of Vector2 is a packed array of float pairs");
