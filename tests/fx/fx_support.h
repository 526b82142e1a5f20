// Test helpers for the effects: everything a piece of drawing code emits,
// caught with GL feedback mode and sorted into line runs and polygons, and
// the flat view's mapping to window pixels.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "assets/feedback.h"

// What a draw emitted: each GL_LINE_LOOP or GL_LINE_STRIP as the run of its
// points (a loop ends with its first point again), and the polygons. Runs
// are told apart by where they start, so consecutive ones must not touch.
struct Emitted {
  std::vector<std::vector<FeedbackVertex>> lines;
  std::vector<std::vector<FeedbackVertex>> polygons;
  bool empty() const { return lines.empty() && polygons.empty(); }
};

inline bool SamePlace(const FeedbackVertex& a, const FeedbackVertex& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

inline Emitted Emit(const std::function<void()>& draw) {
  std::vector<GLfloat> buffer(1 << 16, 0.0f);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint count = glRenderMode(GL_RENDER);
  EXPECT_GE(count, 0) << "feedback buffer overflow";
  const size_t vertexFloats = sizeof(FeedbackVertex) / sizeof(GLfloat);
  auto vertexAt = [&](GLint i) {
    FeedbackVertex v;
    std::memcpy(&v, &buffer[i], sizeof v);
    return v;
  };
  Emitted out;
  for (GLint i = 0; i < count;) {
    const GLfloat token = buffer[i];
    if (token == GL_LINE_RESET_TOKEN || token == GL_LINE_TOKEN) {
      // Mesa marks no primitive's start with the reset token, so a new run
      // begins where a segment does not start at the previous one's end.
      const FeedbackVertex from = vertexAt(i + 1);
      if (out.lines.empty() || !SamePlace(out.lines.back().back(), from)) {
        out.lines.push_back({from});
      }
      out.lines.back().push_back(vertexAt(i + 1 + static_cast<GLint>(vertexFloats)));
      i += 1 + 2 * static_cast<GLint>(vertexFloats);
    } else if (token == GL_POLYGON_TOKEN) {
      const int n = static_cast<int>(buffer[i + 1]);
      i += 2;
      std::vector<FeedbackVertex> polygon;
      for (int k = 0; k < n; ++k, i += static_cast<GLint>(vertexFloats)) {
        polygon.push_back(vertexAt(i));
      }
      out.polygons.push_back(polygon);
    } else {
      ADD_FAILURE() << "unexpected feedback token " << token;
      break;
    }
  }
  return out;
}

// The effects' flat view, x -4..4 and y -3..3, on the 800 x 600 window.
inline float WindowX(float x) { return (x + 4.0f) * 100.0f; }
inline float WindowY(float y) { return (y + 3.0f) * 100.0f; }

inline float Unit(int n) { return static_cast<float>(n) * (1.0f / 32767.0f); }

// A path that holds at 0.5 all along (flat handles on both keys).
constexpr const char* FLAT_PATH = "2  -0.1 0.5 0 0.5 0.1 0.5  0.9 0.5 1 0.5 1.1 0.5\n";
