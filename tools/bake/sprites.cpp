// The show's three sprite images, drawn from distance functions with
// analytic anti-aliasing in a unit square (centre 0, edge 1).
#include "sprites.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "baked_png.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// Alpha of a point at (x, y) in [-1, 1]^2 (y up); px is one pixel in those units.
using AlphaField = std::function<double(double x, double y, double px)>;

bool WriteSprite(const std::string& path, int size, const AlphaField& field) {
  std::vector<unsigned char> pixels(static_cast<size_t>(size) * size * 4, 255);
  const double px = 2.0 / size;
  for (int row = 0; row < size; ++row) {
    for (int col = 0; col < size; ++col) {
      const double x = (col + 0.5) * px - 1.0;
      const double y = 1.0 - (row + 0.5) * px;
      const double a = std::clamp(field(x, y, px), 0.0, 1.0);
      pixels[(static_cast<size_t>(row) * size + col) * 4 + 3] =
          static_cast<unsigned char>(std::lround(a * 255.0));
    }
  }
  return WriteBakedPng(path, size, size, std::move(pixels));
}

// Coverage of a line of the given width at distance d from its centre line.
double Line(double d, double width, double px) {
  return std::clamp((width * 0.5 - std::fabs(d)) / px + 0.5, 0.0, 1.0);
}

// Coverage of the inside of a shape whose signed distance (negative inside) is d.
double Fill(double d, double px) { return std::clamp(0.5 - d / px, 0.0, 1.0); }

// Fades everything out towards the border so wrapping and mipmaps bleed nothing.
double Vignette(double r) { return std::clamp((0.98 - r) / 0.06, 0.0, 1.0); }

// A soft round glow with a small bright core.
double Glow(double x, double y, double) {
  const double r = std::hypot(x, y);
  const double core = std::exp(-std::pow(r / 0.16, 2.0));
  const double halo = 0.55 * std::exp(-std::pow(r / 0.42, 2.0)) + 0.12 * std::exp(-std::pow(r / 0.8, 2.0));
  return (core + halo * (1.0 - core)) * Vignette(r);
}

// Fine concentric rings with a spoked band and a star of dots between them.
double Rings(double x, double y, double px) {
  const double r = std::hypot(x, y);
  const double theta = std::atan2(y, x);
  const double thin = 0.012;
  double a = 0.0;
  for (double ring : {0.93, 0.89, 0.66, 0.61, 0.36, 0.33}) a = std::max(a, Line(r - ring, thin, px));
  a = std::max(a, Line(r - 0.78, 0.006, px) * 0.6);
  // Spokes between the outer ring pairs: 36 fine radial lines.
  if (r > 0.66 && r < 0.89) {
    const double step = 2.0 * PI / 36.0;
    const double offset = std::remainder(theta, step);
    a = std::max(a, Line(offset * r, thin, px));
  }
  // Twelve spokes in the inner band, each tipped with a dot.
  const double step12 = 2.0 * PI / 12.0;
  const double off12 = std::remainder(theta + step12 * 0.5, step12);
  if (r > 0.36 && r < 0.61) a = std::max(a, Line(off12 * r, thin * 1.2, px) * 0.85);
  const double dotAngle = theta + step12 * 0.5 - off12;
  const double dx = x - 0.5 * std::cos(dotAngle - step12 * 0.5);
  const double dy = y - 0.5 * std::sin(dotAngle - step12 * 0.5);
  a = std::max(a, Fill(std::hypot(dx, dy) - 0.028, px));
  // A solid hub with a soft glow around it.
  a = std::max(a, Fill(r - 0.12, px));
  a = std::max(a, 0.35 * std::exp(-std::pow(r / 0.3, 2.0)));
  return a * Vignette(r);
}

// Outline radius of a rosette layer of n petals at angle theta.
double PetalRadius(double theta, int n, double inner, double outer, double phase) {
  const double c = std::fabs(std::cos(0.5 * n * (theta + phase)));
  return inner + (outer - inner) * std::pow(c, 0.8);
}

// Signed distance (approximate) to a rosette layer: negative inside.
double PetalDistance(double r, double theta, int n, double inner, double outer, double phase) {
  const double h = 1e-4;
  const double rad = PetalRadius(theta, n, inner, outer, phase);
  const double slope =
      (PetalRadius(theta + h, n, inner, outer, phase) - PetalRadius(theta - h, n, inner, outer, phase)) /
      (2.0 * h);
  return (r - rad) / std::sqrt(1.0 + std::pow(slope / std::max(r, 1e-3), 2.0));
}

// Two layers of petals, outlined, with veins and a translucent fill.
double Rosette(double x, double y, double px) {
  const double r = std::hypot(x, y);
  const double theta = std::atan2(y, x);
  const double outerD = PetalDistance(r, theta, 8, 0.18, 0.92, 0.0);
  const double innerD = PetalDistance(r, theta, 8, 0.12, 0.58, PI / 8.0);
  double a = 0.28 * Fill(outerD, px);
  a = std::max(a, 0.5 * Fill(innerD, px));
  a = std::max(a, Line(outerD, 0.022, px));
  a = std::max(a, Line(innerD, 0.018, px));
  // A vein along the middle of every outer petal.
  const double step = 2.0 * PI / 8.0;
  const double vein = std::remainder(theta, step) * r;
  if (outerD < 0.0 && r > 0.2) a = std::max(a, 0.8 * Line(vein, 0.01, px));
  a = std::max(a, Line(r - 0.16, 0.02, px));
  a = std::max(a, Fill(r - 0.07, px));
  return a * Vignette(r);
}

}  // namespace

// Each image has at least the pixels its sprite covers on a 2160-line
// screen: the ornaments' glows reach 140 of the show's 600 lines (504 at
// 2160), the rings and rosettes 280 (1008). Mipmaps take them down to
// smaller screens.
bool BakeSprites(const std::string& dir) {
  return WriteSprite(dir + "/c2.png", 512, Glow) && WriteSprite(dir + "/circle3.png", 1024, Rings) &&
         WriteSprite(dir + "/3.png", 1024, Rosette);
}
