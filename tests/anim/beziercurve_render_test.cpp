// Drawing the Bezier path: the vertices Render hands to GL (recorded at the
// GL entry points) and what GL makes of them (feedback mode), in an
// orthographic view of the cube -100..100 so that window coordinates map
// straight back to object coordinates.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "anim/beziercurve.h"
#include "gl_call_log.h"
#include "support/control_points.h"
#include "support/offscreen_gl.h"

namespace {

constexpr float HALF_SIZE = 100.0f;

// A straight path from (-40, 0, 20) to (40, 0, 20) over params
// first..first+1, its handles at the thirds so that x moves evenly: at
// param first + s it is at x = -40 + 80 s.
BezierCurve Line(float first) {
  BezierCurve c;
  c.AddPoint(Point(first, Vector3(-40, 0, 20), Vector3(), Vector3(-40.0f / 3.0f, 0, 20)));
  c.AddPoint(Point(first + 1.0f, Vector3(40, 0, 20), Vector3(40.0f / 3.0f, 0, 20), Vector3()));
  return c;
}

struct Feedback {
  std::vector<Vector3> strip;  // line segments joined back into one strip
  std::vector<Vector3> polygonVertices;
  int polygons = 0;
  int values = 0;
};

class BezierRenderGL : public OffscreenGL {
 protected:
  void SetUp() override {
    OffscreenGL::SetUp();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-HALF_SIZE, HALF_SIZE, -HALF_SIZE, HALF_SIZE, -HALF_SIZE, HALF_SIZE);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }

  static Vector3 ToObject(const GLfloat* w) {
    return Vector3((w[0] / 400.0f - 1.0f) * HALF_SIZE, (w[1] / 300.0f - 1.0f) * HALF_SIZE,
                   (1.0f - 2.0f * w[2]) * HALF_SIZE);
  }

  static Feedback Capture(const BezierCurve& c, float step) {
    std::vector<GLfloat> buf(1 << 16, 0.0f);
    glFeedbackBuffer(static_cast<GLsizei>(buf.size()), GL_3D, buf.data());
    glRenderMode(GL_FEEDBACK);
    c.Render(step);
    Feedback fb;
    fb.values = glRenderMode(GL_RENDER);
    EXPECT_GE(fb.values, 0) << "feedback buffer overflow";
    for (int i = 0; i < fb.values;) {
      const GLenum token = static_cast<GLenum>(buf[i++]);
      if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
        if (fb.strip.empty()) fb.strip.push_back(ToObject(&buf[i]));
        fb.strip.push_back(ToObject(&buf[i + 3]));
        i += 6;
      } else if (token == GL_POLYGON_TOKEN) {
        const int n = static_cast<int>(buf[i++]);
        for (int k = 0; k < n; ++k, i += 3) fb.polygonVertices.push_back(ToObject(&buf[i]));
        ++fb.polygons;
      } else {
        ADD_FAILURE() << "unexpected feedback token " << token;
        break;
      }
    }
    return fb;
  }
};

}  // namespace

TEST_F(BezierRenderGL, EmptyCurveEmitsOneVertexAtTheOriginAndAnEmptyRibbon) {
  BezierCurve empty;
  StartGLCallLog();
  empty.Render(0.1f);
  const std::vector<GLBlock> blocks = StopGLCallLog();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].mode, static_cast<GLenum>(GL_LINE_STRIP));
  ASSERT_EQ(blocks[0].vertices.size(), 1u);
  ExpectVectorNear(blocks[0].vertices[0], Vector3(0, 0, 0), 0.0f);
  EXPECT_TRUE(blocks[0].ended);
  EXPECT_EQ(blocks[1].mode, static_cast<GLenum>(GL_QUAD_STRIP));
  EXPECT_TRUE(blocks[1].vertices.empty());
  EXPECT_TRUE(blocks[1].ended);

  // A lone strip vertex makes no primitive, so GL draws nothing at all.
  EXPECT_EQ(Capture(empty, 0.1f).values, 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(BezierRenderGL, PathLineEndsAtTheLastPointAndTheRibbonFlanksIt) {
  // Samples at 0, 0.3, 0.6 and 0.9, then the end. The ribbon turns each
  // sample a quarter turn either way about the line through the origin
  // along the path (x here): (x, 0, 20) goes to (x, -20, 0) and (x, 20, 0).
  // The last sample looks past the end, finds no direction and stays put.
  const BezierCurve c = Line(0.0f);
  const std::vector<Vector3> line = {{-40, 0, 20}, {-16, 0, 20}, {8, 0, 20}, {32, 0, 20}, {40, 0, 20}};
  const std::vector<Vector3> ribbon = {{-40, -20, 0}, {-40, 20, 0}, {-16, -20, 0}, {-16, 20, 0},
                                       {8, -20, 0},   {8, 20, 0},   {32, 0, 20},   {32, 0, 20}};

  StartGLCallLog();
  c.Render(0.3f);
  const std::vector<GLBlock> blocks = StopGLCallLog();
  ASSERT_EQ(blocks.size(), 2u);
  ASSERT_EQ(blocks[0].vertices.size(), line.size());
  for (size_t i = 0; i < line.size(); ++i) ExpectVectorNear(blocks[0].vertices[i], line[i], 1e-3f);
  ASSERT_EQ(blocks[1].vertices.size(), ribbon.size());
  for (size_t i = 0; i < ribbon.size(); ++i) ExpectVectorNear(blocks[1].vertices[i], ribbon[i], 1e-3f);

  GLfloat colorBefore[4] = {0, 0, 0, 0};
  GLfloat colorAfter[4] = {0, 0, 0, 0};
  glGetFloatv(GL_CURRENT_COLOR, colorBefore);
  const Feedback fb = Capture(c, 0.3f);
  ASSERT_EQ(fb.strip.size(), line.size());
  for (size_t i = 0; i < line.size(); ++i) ExpectVectorNear(fb.strip[i], line[i], 1e-2f);
  // Three quads, each drawn as two triangles, made of the ribbon's vertices only.
  EXPECT_EQ(fb.polygons, 6);
  for (const Vector3& v : fb.polygonVertices) {
    bool found = false;
    for (const Vector3& r : ribbon)
      found = found ||
              (std::abs(v.x - r.x) < 1e-2f && std::abs(v.y - r.y) < 1e-2f && std::abs(v.z - r.z) < 1e-2f);
    EXPECT_TRUE(found) << v.x << " " << v.y << " " << v.z;
  }
  glGetFloatv(GL_CURRENT_COLOR, colorAfter);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(colorBefore[i], colorAfter[i]);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(BezierRenderGL, RibbonStartsAtZeroBeforeAPathThatStartsLater) {
  const BezierCurve c = Line(0.5f);
  StartGLCallLog();
  c.Render(0.25f);
  const std::vector<GLBlock> blocks = StopGLCallLog();
  ASSERT_EQ(blocks.size(), 2u);
  ASSERT_EQ(blocks[0].vertices.size(), 5u);  // 0.5, 0.75, 1, 1.25, then the end at 1.5
  ExpectVectorNear(blocks[0].vertices[0], Vector3(-40, 0, 20), 1e-4f);
  ExpectVectorNear(blocks[0].vertices[4], Vector3(40, 0, 20), 1e-4f);
  // Samples 0, 0.25, ..., 1.25. The first two lie before the path: Eval
  // fails and the path's scratch vector still holds its end point, turned
  // first about itself (the direction towards the untouched origin), then
  // about the -x direction towards the path's start.
  ASSERT_EQ(blocks[1].vertices.size(), 12u);
  const Vector3 want[] = {{40, 0, 20}, {40, 0, 20}, {40, 20, 0}, {40, -20, 0}};
  for (int i = 0; i < 4; ++i) ExpectVectorNear(blocks[1].vertices[i], want[i], 1e-3f);
  // At 1.25 the path is at x = 20, heading +x.
  ExpectVectorNear(blocks[1].vertices[10], Vector3(20, -20, 0), 1e-3f);
  ExpectVectorNear(blocks[1].vertices[11], Vector3(20, 20, 0), 1e-3f);
}

TEST_F(BezierRenderGL, StepLostInRoundingStillEnds) {
  // Near -4e7 floats lie 4 apart, so adding 1 leaves the parameter where it is.
  BezierCurve c;
  c.AddPoint(Point(-4.0e7f, Vector3(1, 0, 0), Vector3(), Vector3(1, 0, 0)));
  c.AddPoint(Point(-3.9999996e7f, Vector3(2, 0, 0), Vector3(2, 0, 0), Vector3()));
  StartGLCallLog();
  c.Render(1.0f);
  const std::vector<GLBlock> blocks = StopGLCallLog();
  ASSERT_EQ(blocks.size(), 2u);
  ASSERT_EQ(blocks[0].vertices.size(), 2u);
  ExpectVectorNear(blocks[0].vertices[1], Vector3(2, 0, 0), 0.0f);
  EXPECT_TRUE(blocks[1].vertices.empty());
}
