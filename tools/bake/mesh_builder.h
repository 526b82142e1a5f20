// Builds triangle meshes in named groups from parametric patches (sheets,
// surfaces of revolution, tubes along curves) with smooth per-vertex normals,
// and writes them as the show's .mesh text files.
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <string>
#include <vector>

// A point or direction in double precision, for building geometry before it is
// written out in the mesh format's single precision.
struct Point3d {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

Point3d operator+(Point3d a, Point3d b);
Point3d operator-(Point3d a, Point3d b);
Point3d operator*(Point3d a, double s);
Point3d operator*(double s, Point3d a);
double Dot(Point3d a, Point3d b);
Point3d Cross(Point3d a, Point3d b);
double Length(Point3d a);
// a scaled to unit length; fallback when a has (almost) no length.
Point3d Normalized(Point3d a, Point3d fallback = {0.0, 1.0, 0.0});
// a turned by angle (radians) about the unit axis, right-handed.
Point3d Rotated(Point3d a, Point3d axis, double angle);

// A point of a patch at parameters u, v in [0, 1].
using Surface = std::function<Point3d(double u, double v)>;
// A point of a curve at parameter t in [0, 1].
using Curve = std::function<Point3d(double t)>;

// One named group of the mesh being baked: its triangles, vertices and normals.
class BakedGroup {
 public:
  BakedGroup(const std::string& name, Point3d colour) : name(name), colour(colour) {}

  // A grid of (columns + 1) x (rows + 1) points over u (columns) and v (rows);
  // wrapU joins the last column to the first. Faces point along dS/du x dS/dv.
  void AddPatch(const Surface& s, int columns, int rows, bool wrapU);
  // A two-sided leaf or petal: a front and a back face (facing away from each
  // other, so each side lights up when it faces the light), thickness apart
  // in the middle and meeting at the open edges.
  void AddSheet(const Surface& s, int columns, int rows, double thickness, bool wrapU = false);
  // A closed tube of the given number of sides around a curve, radius(t)
  // wide, with both ends closed by a point.
  void AddTube(const Curve& c, const std::function<double(double)>& radius, int sides, int segments);

  // Points the normals of vertices [firstVertex, end) away from centre, for
  // fine parts (a plume) that should shade as one round body.
  void AimNormals(size_t firstVertex, Point3d centre);

  std::string name;
  Point3d colour;  // diffuse colour, components 0..1
  std::vector<Point3d> vertices;
  std::vector<Point3d> normals;  // one per vertex, unit length
  std::vector<std::array<int, 3>> triangles;

 private:
  // Smooth normals for vertices [firstVertex, end) from triangles [firstTriangle, end).
  void SmoothNormals(size_t firstVertex, size_t firstTriangle);
};

class MeshBuilder {
 public:
  BakedGroup& Group(const std::string& name, Point3d colour);
  int TriangleCount() const;
  // Writes the groups in order: g, col, every v, every vn, every f; false on failure.
  bool Write(const std::string& path) const;

  std::deque<BakedGroup> groups;  // a deque, so a group handed out stays put as more are added
};
