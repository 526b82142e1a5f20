// Queries are made as stretches need them and read once a frame, when the
// frame is finished anyway: the rasteriser is not held up within a frame.
#include "frame_tally.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <cassert>
#include <cstddef>

void DrawnCounts::Add(const DrawnCounts& other) {
  for (int d = 0; d < platform::DRAWERS; ++d) {
    draws[d] += other.draws[d];
    vertices[d] += other.vertices[d];
    fragments[d] += other.fragments[d];
  }
}

void DrawnCounts::Divide(double n) {
  for (int d = 0; d < platform::DRAWERS; ++d) {
    draws[d] /= n;
    vertices[d] /= n;
    fragments[d] /= n;
  }
}

double DrawnCounts::Draws() const {
  double all = 0.0;
  for (double n : draws) all += n;
  return all;
}

double DrawnCounts::Fragments() const {
  double all = 0.0;
  for (double n : fragments) all += n;
  return all;
}

FrameTally::FrameTally(bool fragments) : fragments(fragments) {}

FrameTally::~FrameTally() {
  if (!queries.empty()) glDeleteQueries(static_cast<GLsizei>(queries.size()), queries.data());
}

void FrameTally::Begin(platform::Drawer drawer) {
  assert(current < 0 && "a drawer's stretch began inside another's");
  current = static_cast<int>(drawer);
  if (!fragments) return;
  if (queried.size() == queries.size()) {
    GLuint query = 0;
    glGenQueries(1, &query);
    queries.push_back(query);
  }
  glBeginQuery(GL_SAMPLES_PASSED, queries[queried.size()]);
  queried.push_back(current);
}

void FrameTally::End() {
  assert(current >= 0 && "a drawer's stretch ended without beginning");
  if (fragments) glEndQuery(GL_SAMPLES_PASSED);
  current = -1;
}

void FrameTally::Draw(long vertices) {
  assert(current >= 0 && "the show drew outside a drawer's stretch");
  if (current < 0) return;
  ++frame.draws[current];
  frame.vertices[current] += static_cast<double>(vertices);
}

DrawnCounts FrameTally::TakeFrame() {
  for (size_t i = 0; i < queried.size(); ++i) {
    GLuint64 samples = 0;
    glGetQueryObjectui64v(queries[i], GL_QUERY_RESULT, &samples);
    frame.fragments[queried[i]] += static_cast<double>(samples);
  }
  queried.clear();
  const DrawnCounts taken = frame;
  frame = DrawnCounts();
  return taken;
}
