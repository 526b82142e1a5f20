// A table of the 256 reciprocals keeps the division out of the inner loop:
// a 1920 x 1080 frame has two million pixels.
#include "straight_alpha.h"

#include <algorithm>
#include <array>

void Unpremultiply(std::vector<unsigned char>* rgba) {
  // 255 / a in 16.16 fixed point, rounded.
  static const std::array<unsigned, 256> scale = [] {
    std::array<unsigned, 256> s{};
    for (unsigned a = 1; a < 256; ++a) s[a] = (255u * 65536u + a / 2) / a;
    return s;
  }();
  unsigned char* p = rgba->data();
  for (size_t i = 0; i + 3 < rgba->size(); i += 4) {
    const unsigned a = p[i + 3];
    if (a == 0 || a == 255) continue;
    for (size_t c = i; c < i + 3; ++c)
      p[c] = static_cast<unsigned char>(std::min(255u, (p[c] * scale[a] + 32768u) >> 16));
  }
}
