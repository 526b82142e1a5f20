// Builds triangle meshes in named groups with smooth per-vertex normals and
// writes them as .mesh text files (fields split at single blanks).
#include "mesh_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

Point3d operator+(Point3d a, Point3d b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Point3d operator-(Point3d a, Point3d b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point3d operator*(Point3d a, double s) { return {a.x * s, a.y * s, a.z * s}; }
Point3d operator*(double s, Point3d a) { return a * s; }
double Dot(Point3d a, Point3d b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Point3d Cross(Point3d a, Point3d b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(Point3d a) { return std::sqrt(Dot(a, a)); }

Point3d Normalized(Point3d a, Point3d fallback) {
  const double len = Length(a);
  return len > 1e-12 ? a * (1.0 / len) : fallback;
}

Point3d Rotated(Point3d a, Point3d axis, double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  return a * c + Cross(axis, a) * s + axis * (Dot(axis, a) * (1.0 - c));
}

void BakedGroup::AddPatch(const Surface& s, int columns, int rows, bool wrapU) {
  const size_t firstVertex = vertices.size();
  const size_t firstTriangle = triangles.size();
  const int stride = wrapU ? columns : columns + 1;
  for (int row = 0; row <= rows; ++row) {
    for (int col = 0; col < stride; ++col) {
      vertices.push_back(s(static_cast<double>(col) / columns, static_cast<double>(row) / rows));
    }
  }
  const int base = static_cast<int>(firstVertex);
  for (int row = 0; row < rows; ++row) {
    for (int col = 0; col < columns; ++col) {
      const int next = (col + 1) % stride;
      const int a = base + row * stride + col;
      const int b = base + row * stride + next;
      const int c = base + (row + 1) * stride + col;
      const int d = base + (row + 1) * stride + next;
      triangles.push_back({a, b, d});
      triangles.push_back({a, d, c});
    }
  }
  SmoothNormals(firstVertex, firstTriangle);
}

namespace {

// A point of a sheet moved along the sheet's normal by side * half its local
// thickness. The thickness swells from nothing at the sheet's open edges, so
// the two faces meet there and stand apart where the depth buffer needs it.
Point3d SheetFace(const Surface& s, double u, double v, double thickness, bool wrapU, double side) {
  const double h = 1e-3;
  const Point3d du = s(wrapU ? u + h : std::min(1.0, u + h), v) - s(wrapU ? u - h : std::max(0.0, u - h), v);
  const Point3d dv = s(u, std::min(1.0, v + h)) - s(u, std::max(0.0, v - h));
  const Point3d normal = Normalized(Cross(du, dv), {0.0, 0.0, 1.0});
  const double across = wrapU ? 1.0 : std::sqrt(std::max(0.0, 1.0 - (2.0 * u - 1.0) * (2.0 * u - 1.0)));
  const double along = std::sqrt(std::max(0.0, std::sin(3.14159265358979323846 * v)));
  return s(u, v) + normal * (side * 0.5 * thickness * across * along);
}

}  // namespace

void BakedGroup::AddSheet(const Surface& s, int columns, int rows, double thickness, bool wrapU) {
  AddPatch([&](double u, double v) { return SheetFace(s, u, v, thickness, wrapU, 1.0); }, columns, rows,
           wrapU);
  // The back face runs u the other way, so its triangles and normals face away.
  AddPatch([&](double u, double v) { return SheetFace(s, 1.0 - u, v, thickness, wrapU, -1.0); }, columns,
           rows, wrapU);
}

void BakedGroup::AimNormals(size_t firstVertex, Point3d centre) {
  for (size_t i = firstVertex; i < vertices.size(); ++i) normals[i] = Normalized(vertices[i] - centre);
}

void BakedGroup::AddTube(const Curve& c, const std::function<double(double)>& radius, int sides,
                         int segments) {
  // Frames carried along the curve by parallel transport, so the tube does not twist.
  std::vector<Point3d> centre(segments + 1);
  std::vector<Point3d> tangent(segments + 1);
  for (int i = 0; i <= segments; ++i) centre[i] = c(static_cast<double>(i) / segments);
  for (int i = 0; i <= segments; ++i) {
    const Point3d ahead = centre[i < segments ? i + 1 : i];
    const Point3d behind = centre[i > 0 ? i - 1 : i];
    tangent[i] = Normalized(ahead - behind);
  }
  std::vector<Point3d> side(segments + 1);
  Point3d start = std::fabs(tangent[0].y) < 0.9 ? Point3d{0.0, 1.0, 0.0} : Point3d{1.0, 0.0, 0.0};
  side[0] = Normalized(Cross(tangent[0], start));
  for (int i = 1; i <= segments; ++i) {
    const Point3d axis = Cross(tangent[i - 1], tangent[i]);
    const double sine = Length(axis);
    side[i] = sine > 1e-9 ? Rotated(side[i - 1], axis * (1.0 / sine),
                                    std::atan2(sine, Dot(tangent[i - 1], tangent[i])))
                          : side[i - 1];
  }
  // Rows: a closing point at each end, rings in between.
  const Surface tube = [&](double u, double v) {
    const int i = static_cast<int>(std::lround(v * (segments + 2)));
    if (i == 0) return centre[0] - tangent[0] * (radius(0.0) * 0.5);
    if (i == segments + 2) return centre[segments] + tangent[segments] * (radius(1.0) * 0.5);
    const int k = i - 1;
    const Point3d up = Cross(tangent[k], side[k]);
    const double angle = u * 2.0 * 3.14159265358979323846;
    const double r = radius(static_cast<double>(k) / segments);
    return centre[k] + (side[k] * std::cos(angle) + up * std::sin(angle)) * r;
  };
  AddPatch(tube, sides, segments + 2, true);
}

void BakedGroup::SmoothNormals(size_t firstVertex, size_t firstTriangle) {
  std::vector<Point3d> sum(vertices.size() - firstVertex);
  for (size_t t = firstTriangle; t < triangles.size(); ++t) {
    const std::array<int, 3>& f = triangles[t];
    // Area-weighted face normal, added to each corner.
    const Point3d n = Cross(vertices[f[1]] - vertices[f[0]], vertices[f[2]] - vertices[f[0]]);
    for (int k = 0; k < 3; ++k) sum[f[k] - firstVertex] = sum[f[k] - firstVertex] + n;
  }
  normals.resize(firstVertex);
  for (const Point3d& n : sum) normals.push_back(Normalized(n));
}

BakedGroup& MeshBuilder::Group(const std::string& name, Point3d colour) {
  groups.emplace_back(name, colour);
  return groups.back();
}

int MeshBuilder::TriangleCount() const {
  size_t count = 0;
  for (const BakedGroup& g : groups) count += g.triangles.size();
  return static_cast<int>(count);
}

namespace {

// Four decimals, and never "-0.0000", which reads the same but differs in bytes.
void PutNumber(FILE* out, double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  std::fputs(std::string(text) == "-0.0000" ? "0.0000" : text, out);
}

void PutTriple(FILE* out, const char* keyword, Point3d p) {
  std::fputs(keyword, out);
  for (double value : {p.x, p.y, p.z}) {
    std::fputc(' ', out);
    PutNumber(out, value);
  }
  std::fputc('\n', out);
}

}  // namespace

bool MeshBuilder::Write(const std::string& path) const {
  FILE* out = std::fopen(path.c_str(), "w");
  if (!out) {
    std::fprintf(stderr, "zarv-bake: cannot write \"%s\"\n", path.c_str());
    return false;
  }
  for (const BakedGroup& g : groups) {
    std::fprintf(out, "g %s\n", g.name.c_str());
    PutTriple(out, "col", g.colour);
    for (const Point3d& v : g.vertices) PutTriple(out, "v", v);
    for (const Point3d& n : g.normals) PutTriple(out, "vn", n);
    for (const std::array<int, 3>& f : g.triangles) std::fprintf(out, "f %d %d %d\n", f[0], f[1], f[2]);
  }
  const bool ok = std::ferror(out) == 0;
  return (std::fclose(out) == 0) && ok;
}
