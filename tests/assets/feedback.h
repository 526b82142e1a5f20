// Test helper: the polygons a piece of drawing code emits, caught with GL
// feedback mode (window coordinates, colour and texture coordinates).
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

// One vertex of GL_3D_COLOR_TEXTURE feedback in RGBA mode.
struct FeedbackVertex {
  float x, y, z;
  float colour[4];
  float tex[4];
};

inline std::vector<std::vector<FeedbackVertex>> Polygons(const std::function<void()>& draw) {
  std::vector<GLfloat> buffer(1 << 16, 0.0f);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint count = glRenderMode(GL_RENDER);
  EXPECT_GE(count, 0) << "feedback buffer overflow";
  std::vector<std::vector<FeedbackVertex>> polygons;
  for (GLint i = 0; i < count;) {
    if (buffer[i] != GL_POLYGON_TOKEN) {
      ADD_FAILURE() << "unexpected feedback token " << buffer[i];
      break;
    }
    const int n = static_cast<int>(buffer[i + 1]);
    i += 2;
    std::vector<FeedbackVertex> polygon(n);
    for (int v = 0; v < n; ++v, i += sizeof(FeedbackVertex) / sizeof(GLfloat)) {
      std::memcpy(&polygon[v], &buffer[i], sizeof(FeedbackVertex));
    }
    polygons.push_back(polygon);
  }
  return polygons;
}

// The quads among polygons. Feedback may report a quad v0 v1 v2 v3 as it
// was drawn or, as Mesa does, as the triangles v0 v1 v3 and v1 v2 v3.
inline std::vector<std::vector<FeedbackVertex>> Quads(
    const std::vector<std::vector<FeedbackVertex>>& polygons) {
  std::vector<std::vector<FeedbackVertex>> quads;
  for (size_t i = 0; i < polygons.size(); ++i) {
    if (polygons[i].size() == 4) {
      quads.push_back(polygons[i]);
    } else if (polygons[i].size() == 3 && i + 1 < polygons.size() && polygons[i + 1].size() == 3) {
      const std::vector<FeedbackVertex>& a = polygons[i];
      const std::vector<FeedbackVertex>& b = polygons[++i];
      EXPECT_EQ(std::memcmp(&a[1], &b[0], sizeof(FeedbackVertex)), 0) << "quad " << quads.size();
      EXPECT_EQ(std::memcmp(&a[2], &b[2], sizeof(FeedbackVertex)), 0) << "quad " << quads.size();
      quads.push_back({a[0], a[1], b[1], a[2]});
    } else {
      ADD_FAILURE() << "polygon " << i << " is not part of a quad";
    }
  }
  return quads;
}

// Projection and model-view such that object coordinates are window pixels.
inline void PixelProjection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 800, 0, 600, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}
