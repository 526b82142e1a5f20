// Static triangle models read from the line-oriented ".mesh" text format:
// named groups of vertices, per-vertex normals, triangles and a diffuse
// colour, drawn from vertex arrays. Lighting and transforms are the caller's.
#pragma once

#include <string>
#include <vector>

#include "foundation/color.h"
#include "foundation/vector3.h"

// The fields of text between occurrences of delimiter (a whole string, not a
// set of characters); empty fields count. An empty text gives no fields.
std::vector<std::string> split(const std::string& text, const std::string& delimiter);

class MeshGroup {
 public:
  struct Triangle {
    int index[3] = {0, 0, 0};  // 0 <= index < vertices.size() and normals.size()
  };

  // True when every corner of triangle indexes both vertices and normals.
  bool Drawable(const Triangle& triangle) const;
  // Sets the diffuse material of both faces to colour and draws the
  // drawable triangles with their normals; the client arrays are left as
  // they were.
  void Render();
  // Writes only alpha, over the drawn group: each vertex's alpha is how much
  // of its colour linear fog from fogStart to fogEnd (eye distances) leaves,
  // so that where fog fades the colour to black, the coverage fades to
  // transparent. Draw it right after Render, with the same transforms; the
  // GL state is left as it was.
  void RenderFogCoverage(float fogStart, float fogEnd);

  std::string name;
  std::vector<Vector3> vertices;
  std::vector<Vector3> normals;  // normal i belongs to vertex i
  std::vector<Triangle> triangles;
  RGBA colour;  // diffuse material, opaque white unless "col" sets it

 private:
  // The drawable triangles' corners, in triangle order.
  std::vector<unsigned> Corners() const;
};

class Mesh {
 public:
  // Loads a ".mesh" file; a file that cannot be opened or read ends the show.
  explicit Mesh(const std::string& file);

  std::vector<MeshGroup> groups;  // in file order
};
