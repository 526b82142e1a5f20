// A colour with alpha, components 0..1, not clamped. The address of r is
// handed to OpenGL as four floats (glColor4fv, glMaterialfv), so r, g, b, a
// are contiguous and in this order after the virtual-table pointer.
#pragma once

class RGBA {
 public:
  constexpr RGBA() = default;
  constexpr RGBA(float r, float g, float b, float a) : r(r), g(g), b(b), a(a) {}
  RGBA(const RGBA&) = default;
  RGBA& operator=(const RGBA&) = default;
  virtual ~RGBA() = default;

  float r = 1.0f;
  float g = 1.0f;
  float b = 1.0f;
  float a = 1.0f;

  static const RGBA WHITE;
  static const RGBA BLACK;
  static const RGBA RED;
  static const RGBA GREEN;
  static const RGBA BLUE;
};

// The four floats follow the virtual-table pointer with no padding between them.
static_assert(sizeof(RGBA) == sizeof(void*) + 4 * sizeof(float), "r, g, b, a are four contiguous floats");
