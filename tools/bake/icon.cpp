// The icon, drawn from distance functions with analytic anti-aliasing like
// the sprites: a dark disc, an arc linking three ringed ornaments, and a
// glow at each ornament's hub. Outside the disc it is fully transparent.
#include "icon.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "baked_png.h"

namespace {

constexpr int SIZE = 256;

struct Rgb {
  double r, g, b;
};

// Coverage of the inside of a shape whose signed distance (negative inside) is d, in pixels.
double Fill(double d) { return std::clamp(0.5 - d, 0.0, 1.0); }

// Coverage of a line of the given width at distance d from its centre line, in pixels.
double Line(double d, double width) { return std::clamp(width * 0.5 - std::fabs(d) + 0.5, 0.0, 1.0); }

void Over(Rgb* c, const Rgb& top, double a) {
  c->r += (top.r - c->r) * a;
  c->g += (top.g - c->g) * a;
  c->b += (top.b - c->b) * a;
}

}  // namespace

bool BakeIcon(const std::string& path) {
  const double centre = SIZE / 2.0;
  const double radius = centre - 4.0;
  // Ornaments sit on an arc around the icon's centre; the arc is the link.
  const double arcRadius = 62.0;
  const double angles[3] = {3.6, 5.2, 0.95};
  const Rgb colours[3] = {{1.0, 0.55, 0.15}, {0.35, 0.8, 1.0}, {0.95, 0.3, 0.75}};
  const double rings[3] = {30.0, 22.0, 26.0};
  std::vector<unsigned char> pixels(static_cast<size_t>(SIZE) * SIZE * 4, 0);
  for (int row = 0; row < SIZE; ++row) {
    for (int col = 0; col < SIZE; ++col) {
      const double x = col + 0.5 - centre;
      const double y = centre - (row + 0.5);
      const double r = std::hypot(x, y);
      Rgb c = {0.04, 0.03, 0.1};
      Over(&c, {0.12, 0.1, 0.25}, 0.8 * std::exp(-std::pow(r / 90.0, 2.0)));
      Over(&c, {0.85, 0.85, 0.95}, 0.7 * Line(r - arcRadius, 2.0));
      Over(&c, {0.6, 0.6, 0.8}, Line(r - (radius - 6.0), 1.5));
      for (int i = 0; i < 3; ++i) {
        const double d = std::hypot(x - arcRadius * std::cos(angles[i]), y - arcRadius * std::sin(angles[i]));
        Over(&c, colours[i], 0.5 * std::exp(-std::pow(d / (rings[i] * 0.6), 2.0)));
        Over(&c, colours[i], std::max(Line(d - rings[i], 3.0), Line(d - rings[i] * 0.7, 1.5)));
        Over(&c, {1.0, 1.0, 1.0}, Fill(d - rings[i] * 0.22));
      }
      unsigned char* p = &pixels[(static_cast<size_t>(row) * SIZE + col) * 4];
      p[0] = static_cast<unsigned char>(std::lround(std::clamp(c.r, 0.0, 1.0) * 255.0));
      p[1] = static_cast<unsigned char>(std::lround(std::clamp(c.g, 0.0, 1.0) * 255.0));
      p[2] = static_cast<unsigned char>(std::lround(std::clamp(c.b, 0.0, 1.0) * 255.0));
      p[3] = static_cast<unsigned char>(std::lround(Fill(r - radius) * 255.0));
    }
  }
  return WriteBakedPng(path, SIZE, SIZE, std::move(pixels));
}
