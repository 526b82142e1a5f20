// The four plants of the mesh scenes, built from sheets, surfaces of
// revolution and tubes. Irregularities come from a fixed hash, so every bake
// makes the same plants.
#include "flora.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double PI = 3.14159265358979323846;

// A repeatable value in [0, 1) for an integer key.
double Hash01(uint32_t key) {
  key ^= key >> 16;
  key *= 0x7feb352dU;
  key ^= key >> 15;
  key *= 0x846ca68bU;
  key ^= key >> 16;
  return (key & 0xffffffU) / 16777216.0;
}

// A value in [-1, 1) for an integer key.
double Jitter(uint32_t key) { return Hash01(key) * 2.0 - 1.0; }

Point3d Colour(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }

// A cubic Bezier curve through p0 and p3, pulled towards p1 and p2.
Curve Bezier(Point3d p0, Point3d p1, Point3d p2, Point3d p3) {
  return [=](double t) {
    const double s = 1.0 - t;
    return p0 * (s * s * s) + p1 * (3.0 * s * s * t) + p2 * (3.0 * s * t * t) + p3 * (t * t * t);
  };
}

// An orthonormal frame: maps local coordinates to the plant's.
struct Frame {
  Point3d origin;
  Point3d x{1.0, 0.0, 0.0};
  Point3d y{0.0, 1.0, 0.0};
  Point3d z{0.0, 0.0, 1.0};
  Point3d operator()(Point3d p) const { return origin + x * p.x + y * p.y + z * p.z; }
};

// A right-handed frame whose y axis is up (unit), x as close to hint as possible.
Frame FrameAlong(Point3d origin, Point3d up, Point3d hint) {
  Frame f;
  f.origin = origin;
  f.y = Normalized(up);
  f.x = Normalized(hint - f.y * Dot(hint, f.y), Normalized(Cross(f.y, {0.0, 0.0, 1.0}), {1.0, 0.0, 0.0}));
  f.z = Cross(f.x, f.y);
  return f;
}

// A surface of revolution about the frame's y axis; profile(v) gives (radius, height)
// as x and y of a point, and may use the angle through its second argument.
Surface Revolve(const Frame& f, const std::function<Point3d(double v, double angle)>& profile) {
  return [=](double u, double v) {
    const double angle = u * 2.0 * PI;
    const Point3d p = profile(v, angle);
    return f({p.x * std::cos(angle), p.y, -p.x * std::sin(angle)});
  };
}

// A leaf or petal blade: base at origin, growing along dir, spreading along side,
// lifting along lift. width(v) is the half width, bend(u, v) the lift.
Surface Blade(Point3d origin, Point3d dir, Point3d side, Point3d lift, double length,
              const std::function<double(double)>& width, const std::function<double(double, double)>& bend) {
  return [=](double u, double v) {
    const double across = (2.0 * u - 1.0) * width(v);
    return origin + dir * (v * length) + side * across + lift * bend(u, v);
  };
}

// Tapering leaf outline: narrow at the base, widest past the middle, pointed tip.
double LeafWidth(double v, double half) {
  return half * std::pow(std::sin(PI * std::min(1.0, 0.04 + 0.96 * v)), 0.7) *
         (0.55 + 0.45 * std::sin(PI * 0.5 * std::min(1.0, v * 1.6)));
}

// A stem leaf: attached at base, heading along dir, gently arching and folded along its midrib.
void AddLeaf(BakedGroup& g, Point3d base, Point3d dir, Point3d lift, double length, double half,
             double arch) {
  const Point3d side = Normalized(Cross(lift, dir));
  const Point3d up = Normalized(Cross(dir, side));
  g.AddSheet(Blade(
                 base, Normalized(dir), side, up, length, [=](double v) { return LeafWidth(v, half); },
                 [=](double u, double v) {
                   const double across = 2.0 * u - 1.0;
                   return arch * std::sin(PI * 0.8 * v) - arch * 1.6 * v * v + 0.35 * half * across * across;
                 }),
             3, 10, 0.045);
}

}  // namespace

MeshBuilder Daisy() {
  MeshBuilder mesh;
  const Frame head = FrameAlong({0.0, 0.0, 0.0}, {0.0, 0.0, 1.0}, {1.0, 0.0, 0.0});

  BakedGroup& stem = mesh.Group("stem", Colour(130, 152, 134));
  stem.AddTube(
      Bezier({0.0, 0.0, -0.1}, {0.0, -0.4, -0.22}, {0.2, -0.9, -0.1}, {0.1, -1.45, -0.2}),
      [](double t) { return 0.03 - 0.006 * t; }, 8, 24);

  BakedGroup& calyx = mesh.Group("calyx", Colour(94, 116, 117));
  calyx.AddPatch(Revolve(head,
                         [](double v, double angle) {
                           const double lobes = 1.0 + 0.12 * std::cos(14.0 * angle) * v;
                           return Point3d{(0.03 + 0.2 * std::pow(v, 0.8)) * lobes, -0.12 + 0.11 * v, 0.0};
                         }),
                 28, 5, true);

  BakedGroup& centre = mesh.Group("centre", Colour(186, 150, 70));
  centre.AddPatch(
      Revolve(head,
              [](double v, double angle) {
                const double a = v * PI * 0.5;
                const double r = 0.22 * std::cos(a) + 0.002;
                // Florets in crossing spirals, as in a real disc.
                const double bumps = std::sin(13.0 * angle + 60.0 * r) * std::sin(21.0 * angle - 60.0 * r);
                return Point3d{r, 0.01 + 0.085 * std::sin(a) + 0.008 * bumps * std::cos(a * 0.8), 0.0};
              }),
      48, 12, true);

  const struct {
    const char* name;
    Point3d colour;
    int count;
    double length;
    double half;
    double lift;
    double phase;
  } rings[2] = {{"petals", Colour(242, 238, 236), 21, 0.62, 0.062, 0.0, 0.0},
                {"inner_petals", Colour(231, 227, 208), 13, 0.44, 0.05, 0.035, 0.5}};
  for (int ring = 0; ring < 2; ++ring) {
    BakedGroup& petals = mesh.Group(rings[ring].name, rings[ring].colour);
    for (int k = 0; k < rings[ring].count; ++k) {
      const uint32_t key = ring * 100 + k;
      const double theta = 2.0 * PI * (k + rings[ring].phase + 0.25 * Jitter(key)) / rings[ring].count;
      const Point3d dir{std::cos(theta), std::sin(theta), 0.0};
      const Point3d side{std::sin(theta), -std::cos(theta), 0.0};
      const Point3d base = dir * 0.16 + Point3d{0.0, 0.0, rings[ring].lift};
      const double length = rings[ring].length * (0.9 + 0.12 * Hash01(key + 7));
      const double droop = 0.1 + 0.12 * Hash01(key + 13);
      const double twist = 0.25 * Jitter(key + 21);
      const double half = rings[ring].half;
      petals.AddSheet(Blade(
                          base, dir, side, {0.0, 0.0, 1.0}, length,
                          [=](double v) {
                            // A strap with a rounded tip.
                            const double tip = std::sqrt(std::max(0.0, 1.0 - std::pow(v, 8.0)));
                            return half * (0.45 + 0.55 * std::min(1.0, v * 3.0)) * tip + 0.002;
                          },
                          [=](double u, double v) {
                            const double across = 2.0 * u - 1.0;
                            return -droop * v * v + 0.025 * across * across * std::min(1.0, v * 2.0) +
                                   twist * across * half * v;
                          }),
                      3, 6, 0.03);
    }
  }

  BakedGroup& leaves = mesh.Group("leaves", Colour(142, 166, 142));
  AddLeaf(leaves, {0.14, -0.85, -0.12}, {0.8, 0.45, 0.25}, {0.0, 0.0, 1.0}, 0.62, 0.085, 0.12);
  AddLeaf(leaves, {0.11, -1.15, -0.15}, {-0.8, 0.35, 0.3}, {0.0, 0.0, 1.0}, 0.55, 0.08, 0.1);
  return mesh;
}

MeshBuilder Fern() {
  MeshBuilder mesh;
  // The frond's midrib: an arc whose curvature grows towards the tip, which
  // rolls up into a crozier. Integrated in fixed steps from the base.
  constexpr int STEPS = 400;
  constexpr double LENGTH = 2.6;
  std::vector<Point3d> spine(STEPS + 1);
  double heading = PI * 0.5 + 0.25;
  Point3d at{0.0, 0.0, 0.0};
  for (int i = 0; i <= STEPS; ++i) {
    const double s = static_cast<double>(i) / STEPS;
    spine[i] = at + Point3d{0.0, 0.0, 0.3 * std::sin(PI * s)};
    const double curvature = 0.35 + 9.0 * std::pow(s, 4.0);
    heading -= curvature * LENGTH / STEPS;
    at = at + Point3d{std::cos(heading), std::sin(heading), 0.0} * (LENGTH / STEPS);
  }
  // Centre the frond on its bounding box.
  Point3d lo = spine[0];
  Point3d hi = spine[0];
  for (const Point3d& p : spine) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  const Point3d middle = (lo + hi) * 0.5 + Point3d{0.0, -0.15, 0.0};
  for (Point3d& p : spine) p = p - middle;
  const Curve midrib = [spine](double t) {
    const double f = std::clamp(t, 0.0, 1.0) * STEPS;
    const int i = std::min(static_cast<int>(f), STEPS - 1);
    return spine[i] + (spine[i + 1] - spine[i]) * (f - i);
  };

  BakedGroup& rachis = mesh.Group("rachis", Colour(181, 140, 88));
  rachis.AddTube(
      midrib, [](double t) { return 0.028 * (1.0 - 0.75 * t); }, 6, 72);

  BakedGroup& pinnae = mesh.Group("pinnae", Colour(156, 182, 166));
  constexpr int PAIRS = 17;
  for (int i = 0; i < PAIRS; ++i) {
    const double t = 0.08 + 0.64 * i / (PAIRS - 1);
    const Point3d base = midrib(t);
    const Point3d ahead = Normalized(midrib(t + 0.01) - midrib(t - 0.01));
    const Point3d normal{0.0, 0.0, 1.0};
    const Point3d outward = Normalized(Cross(ahead, normal));
    const double size = std::sin(PI * std::min(1.0, 0.25 + t * 1.05)) * (1.0 - 0.55 * t);
    for (int sideSign : {-1, 1}) {
      const uint32_t key = i * 2 + (sideSign > 0 ? 1 : 0);
      const Point3d dir = Normalized(outward * sideSign + ahead * (0.55 + 0.1 * Jitter(key)));
      const Point3d side = Normalized(Cross(normal, dir));
      const double length = 0.52 * size * (0.92 + 0.16 * Hash01(key + 3));
      const double half = 0.07 * size + 0.01;
      pinnae.AddSheet(Blade(
                          base, dir, side, normal, length,
                          [=](double v) {
                            // Lobed like the pinnules of a real pinna, tapering to a point.
                            const double lobes = 0.7 + 0.3 * std::fabs(std::sin(7.0 * PI * v));
                            return half * std::pow(1.0 - v, 0.8) * lobes * std::min(1.0, 0.4 + v * 4.0) +
                                   0.002;
                          },
                          [=](double u, double v) {
                            const double across = 2.0 * u - 1.0;
                            return 0.1 * length * std::sin(PI * v) - 0.3 * half * across * across +
                                   0.15 * length * v * v * sideSign * 0.3;
                          }),
                      2, 10, 0.03);
    }
  }

  // A young frond still rolled up, beside the base.
  BakedGroup& crozier = mesh.Group("fiddlehead", Colour(173, 160, 100));
  const Point3d root = spine[0] + Point3d{-0.5, 0.0, 0.15};
  crozier.AddTube(
      [=](double t) {
        if (t < 0.45) return root + Point3d{0.1 * std::sin(t * 3.0), t * 1.5, 0.0};
        const double a = (t - 0.45) / 0.55;
        const double angle = a * 2.4 * PI;
        const double radius = 0.17 * (1.0 - 0.8 * a);
        const Point3d top = root + Point3d{0.1 * std::sin(1.35), 0.675, 0.0};
        return top + Point3d{-radius * (1.0 - std::cos(angle)) + 0.0, radius * std::sin(angle), 0.02 * a};
      },
      [](double t) { return 0.03 - 0.012 * t; }, 6, 56);
  return mesh;
}

MeshBuilder BellFlower() {
  MeshBuilder mesh;
  const Curve arch = Bezier({-0.55, -0.95, -0.1}, {-0.45, 0.2, 0.0}, {0.2, 0.75, 0.1}, {0.8, 0.15, 0.2});

  BakedGroup& stem = mesh.Group("stem", Colour(124, 150, 142));
  stem.AddTube(
      arch, [](double t) { return 0.03 - 0.018 * t; }, 8, 40);

  BakedGroup& bells = mesh.Group("bells", Colour(236, 232, 216));
  BakedGroup& stalks = mesh.Group("pedicels", Colour(136, 160, 142));
  BakedGroup& pistils = mesh.Group("pistils", Colour(190, 156, 78));
  constexpr int BELLS = 5;
  for (int i = 0; i < BELLS; ++i) {
    const double t = 0.5 + 0.11 * i;
    const double size = 1.0 - 0.12 * i;
    const Point3d node = arch(t);
    const double swing = 0.12 * Jitter(40 + i);
    const Point3d hang = node + Point3d{0.04 + swing, -0.14 * size, 0.03 * Jitter(50 + i)};
    stalks.AddTube(
        Bezier(node, node + Point3d{0.05, 0.03, 0.0}, hang + Point3d{0.0, 0.06, 0.0}, hang),
        [](double) { return 0.009; }, 5, 8);
    // The bell hangs mouth down, tilted a little outwards.
    const Frame f = FrameAlong(hang, {-0.25 * swing, 1.0, -0.3}, {1.0, 0.0, 0.0});
    const double radius = 0.15 * size;
    const double depth = 0.26 * size;
    bells.AddSheet(Revolve(f,
                           [=](double v, double angle) {
                             const double body = 0.08 + 0.92 * std::pow(std::sin(v * PI * 0.5), 0.75);
                             const double flare = std::pow(std::max(0.0, (v - 0.72) / 0.28), 2.0);
                             const double lobes = 1.0 + 0.1 * std::cos(5.0 * angle) * flare;
                             return Point3d{
                                 radius * (body + 0.35 * flare) * lobes,
                                 -depth * v + depth * 0.22 * flare * (1.0 + 0.5 * std::cos(5.0 * angle)),
                                 0.0};
                           }),
                   20, 8, 0.03, true);
    pistils.AddTube(
        Bezier(f({0.0, -0.05 * size, 0.0}), f({0.0, -0.15 * size, 0.0}), f({0.0, -0.25 * size, 0.0}),
               f({0.0, -0.32 * size, 0.0})),
        [](double t) { return 0.008 + 0.01 * t * t; }, 4, 5);
  }

  BakedGroup& leaves = mesh.Group("leaves", Colour(140, 164, 146));
  AddLeaf(leaves, {-0.55, -0.95, -0.1}, {-0.45, 0.9, 0.35}, {0.0, 0.0, 1.0}, 0.9, 0.16, 0.14);
  AddLeaf(leaves, {-0.52, -0.95, -0.12}, {0.55, 0.8, 0.15}, {0.0, 0.0, 1.0}, 0.8, 0.15, 0.12);
  return mesh;
}

MeshBuilder SeedHead() {
  MeshBuilder mesh;
  BakedGroup& stem = mesh.Group("stem", Colour(150, 104, 70));
  stem.AddTube(
      Bezier({0.0, -0.05, 0.0}, {0.0, -0.5, 0.05}, {0.12, -0.9, -0.05}, {0.05, -1.45, 0.0}),
      [](double t) { return 0.024 + 0.006 * t; }, 6, 20);

  BakedGroup& bracts = mesh.Group("bracts", Colour(132, 152, 134));
  for (int k = 0; k < 9; ++k) {
    const double theta = 2.0 * PI * (k + 0.3 * Jitter(300 + k)) / 9.0;
    const Point3d out{std::cos(theta), 0.0, std::sin(theta)};
    const Point3d side{-std::sin(theta), 0.0, std::cos(theta)};
    bracts.AddSheet(
        Blade(
            out * 0.05 + Point3d{0.0, -0.06, 0.0}, Normalized(out * 0.5 + Point3d{0.0, -1.0, 0.0}), side,
            Normalized(out + Point3d{0.0, 0.5, 0.0}), 0.2, [](double v) { return 0.025 * (1.0 - v) + 0.002; },
            [](double, double v) { return 0.08 * v * v; }),
        2, 6, 0.025);
  }

  BakedGroup& core = mesh.Group("core", Colour(197, 181, 146));
  core.AddPatch(Revolve(Frame{},
                        [](double v, double) {
                          const double a = (v - 0.5) * PI;
                          return Point3d{0.1 * std::cos(a) + 0.002, 0.1 * std::sin(a), 0.0};
                        }),
                16, 10, true);

  BakedGroup& achenes = mesh.Group("achenes", Colour(150, 112, 72));
  BakedGroup& beaks = mesh.Group("beaks", Colour(219, 222, 206));
  BakedGroup& pappus = mesh.Group("pappus", Colour(249, 246, 255));
  // Seeds spread evenly over the sphere on a golden-angle spiral, leaving out the
  // stem's side and a few already blown away.
  constexpr int SEEDS = 72;
  for (int i = 0; i < SEEDS; ++i) {
    const double y = 1.0 - 2.0 * (i + 0.5) / SEEDS;
    if (y < -0.78) continue;
    if (Hash01(500 + i) < 0.1) continue;
    const double ring = std::sqrt(1.0 - y * y);
    const double phi = i * PI * (3.0 - std::sqrt(5.0));
    const Point3d dir = Normalized(Point3d{ring * std::cos(phi), y, ring * std::sin(phi)} +
                                   Point3d{Jitter(600 + i), Jitter(700 + i), Jitter(800 + i)} * 0.08);
    const double reach = 0.5 + 0.06 * Jitter(900 + i);
    achenes.AddTube([=](double t) { return dir * (0.08 + 0.1 * t); },
                    [](double t) { return 0.004 + 0.014 * std::sin(PI * t); }, 3, 2);
    beaks.AddTube([=](double t) { return dir * (0.18 + (reach - 0.18) * t); }, [](double) { return 0.0035; },
                  3, 2);
    // The plume: fine blades spread like an umbrella around the seed's axis.
    const Frame f = FrameAlong(dir * reach, dir, {Jitter(1000 + i), 1.0, 0.3});
    constexpr int BLADES = 12;
    for (int b = 0; b < BLADES; ++b) {
      const double a = 2.0 * PI * (b + 0.5 * Hash01(1100 + i * BLADES + b)) / BLADES;
      const Point3d spoke = Normalized(f.x * std::cos(a) + f.z * std::sin(a) + f.y * 0.45);
      const Point3d across = Normalized(Cross(f.y, spoke));
      const Point3d lift = Normalized(Cross(spoke, across));
      const size_t first = pappus.vertices.size();
      pappus.AddPatch(Blade(
                          dir * reach, spoke, across, lift, 0.14, [](double v) { return 0.001 + 0.008 * v; },
                          [](double, double v) { return -0.02 * v * v; }),
                      1, 1, false);
      // One face only, shaded as part of the round clock rather than as a flat blade.
      pappus.AimNormals(first, {0.0, 0.0, 0.0});
    }
  }
  return mesh;
}
