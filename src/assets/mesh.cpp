// The ".mesh" reader and the group drawer. Each line is split at single
// blanks: the first field is the record's keyword ("g", "col", "v", "vn",
// "f"), the next three its values; anything else on a line is ignored.
#include "assets/mesh.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>

#include "foundation/debug.h"
#include "platform/draw_tally.h"

namespace {

// The field at index, or an empty one (which reads as 0) when the record is short.
const char* Field(const std::vector<std::string>& fields, size_t index) {
  return index < fields.size() ? fields[index].c_str() : "";
}

// A triangle corner read by its leading integer, like atoi, but a number
// beyond int (where atoi's result is undefined, and glibc's wraps round onto
// small, valid-looking indices) is held at the nearest int end, outside
// every group.
int ReadIndex(const char* field) {
  const long long value = std::strtoll(field, nullptr, 10);
  return static_cast<int>(
      std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

Vector3 ReadVector(const std::vector<std::string>& fields) {
  return Vector3(static_cast<float>(std::atof(Field(fields, 1))),
                 static_cast<float>(std::atof(Field(fields, 2))),
                 static_cast<float>(std::atof(Field(fields, 3))));
}

// Closes the current group: it joins the mesh, and triangles that reach
// outside its vertices or normals are reported once, since they will
// never be drawn.
void Close(const std::string& file, MeshGroup& group, std::vector<MeshGroup>& groups) {
  int bad = 0;
  for (const MeshGroup::Triangle& triangle : group.triangles) {
    if (!group.Drawable(triangle)) ++bad;
  }
  if (bad > 0) {
    Log::Msg(
        "Mesh %s: group \"%s\" has %d triangles with indices outside its vertices or "
        "normals; they are not drawn",
        file.c_str(), group.name.c_str(), bad);
  }
  groups.push_back(std::move(group));
}

}  // namespace

std::vector<std::string> split(const std::string& text, const std::string& delimiter) {
  std::vector<std::string> fields;
  if (text.empty()) return fields;
  // An empty delimiter would be found at every position without advancing.
  if (delimiter.empty()) {
    fields.push_back(text);
    return fields;
  }
  size_t start = 0;
  for (size_t found = text.find(delimiter); found != std::string::npos; found = text.find(delimiter, start)) {
    fields.push_back(text.substr(start, found - start));
    start = found + delimiter.size();
  }
  fields.push_back(text.substr(start));
  return fields;
}

Mesh::Mesh(const std::string& file) {
  std::ifstream f(file);
  ZARV_CHECK(f);

  MeshGroup current;
  bool open = false;  // a "g" record has opened current
  std::string line;
  while (std::getline(f, line)) {
    // Files written with CRLF line ends would otherwise keep the carriage
    // return in the last field (a group's name, or a bare keyword).
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> fields = split(line, " ");
    if (fields.empty()) continue;
    const std::string& keyword = fields[0];
    if (keyword == "g") {
      if (open) Close(file, current, groups);
      current = MeshGroup();
      current.name = Field(fields, 1);
      open = true;
    }
    // Records before the first "g" have no group to go to.
    if (!open) continue;
    if (keyword == "col") {
      const Vector3 rgb = ReadVector(fields);
      current.colour = RGBA(rgb.x, rgb.y, rgb.z, 1.0f);
    }
    if (keyword == "v") current.vertices.push_back(ReadVector(fields));
    if (keyword == "vn") current.normals.push_back(ReadVector(fields));
    if (keyword == "f") {
      MeshGroup::Triangle triangle;
      for (int corner = 0; corner < 3; ++corner) {
        triangle.index[corner] = ReadIndex(Field(fields, corner + 1));
      }
      current.triangles.push_back(triangle);
    }
  }
  // Reading stopped for a reason other than the end of the file.
  ZARV_CHECK(!f.bad());
  if (open) Close(file, current, groups);
}

bool MeshGroup::Drawable(const Triangle& triangle) const {
  for (int k : triangle.index) {
    if (k < 0 || static_cast<size_t>(k) >= vertices.size() || static_cast<size_t>(k) >= normals.size()) {
      return false;
    }
  }
  return true;
}

// One indexed draw from the group's own arrays: each vertex is lit once per
// draw rather than once per corner, and the pixels are those of corners sent
// one by one, since every corner keeps its place in the triangle order.
std::vector<unsigned> MeshGroup::Corners() const {
  std::vector<GLuint> corners;
  corners.reserve(triangles.size() * 3);
  for (const Triangle& triangle : triangles) {
    if (!Drawable(triangle)) continue;
    for (int k : triangle.index) corners.push_back(static_cast<GLuint>(k));
  }
  return corners;
}

void MeshGroup::Render() {
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &colour.r);
  const std::vector<GLuint> corners = Corners();
  if (corners.empty()) return;
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(Vector3), &vertices[0].x);
  glNormalPointer(GL_FLOAT, sizeof(Vector3), &normals[0].x);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(corners.size()), GL_UNSIGNED_INT, corners.data());
  glPopClientAttrib();
  platform::CountDraw(static_cast<long>(corners.size()));
}

// The fog factor per vertex as OpenGL's linear fog takes it, from the eye
// distance along z; the same positions at an equal depth test touch only
// the pixels the group's own draw left in front.
void MeshGroup::RenderFogCoverage(float fogStart, float fogEnd) {
  const std::vector<GLuint> corners = Corners();
  if (corners.empty()) return;
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  std::vector<GLfloat> rgba(vertices.size() * 4, 0.0f);
  for (size_t i = 0; i < vertices.size(); ++i) {
    const Vector3& v = vertices[i];
    const float eyeZ = m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14];
    rgba[i * 4 + 3] = std::clamp((fogEnd - std::fabs(eyeZ)) / (fogEnd - fogStart), 0.0f, 1.0f);
  }
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glDepthMask(GL_FALSE);
  glDepthFunc(GL_LEQUAL);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(Vector3), &vertices[0].x);
  glColorPointer(4, GL_FLOAT, 0, rgba.data());
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(corners.size()), GL_UNSIGNED_INT, corners.data());
  glPopClientAttrib();
  glPopAttrib();
  platform::CountDraw(static_cast<long>(corners.size()));
}
