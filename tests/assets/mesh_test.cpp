// The mesh file reader (splitting, records, what it skips and what it
// refuses) and the group drawer checked through GL feedback.
#include "assets/mesh.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/feedback.h"
#include "foundation/debug.h"
#include "support/fatal_report.h"
#include "support/offscreen_gl.h"
#include "support/scratch_dir.h"

using Fields = std::vector<std::string>;

namespace {

Mesh Load(const std::string& text) {
  WriteFile("m.mesh", text);
  return Mesh("m.mesh");
}

void ExpectVector(const Vector3& v, float x, float y, float z) {
  EXPECT_FLOAT_EQ(v.x, x);
  EXPECT_FLOAT_EQ(v.y, y);
  EXPECT_FLOAT_EQ(v.z, z);
}

void ExpectTriangle(const MeshGroup::Triangle& t, int i, int j, int k) {
  EXPECT_EQ(t.index[0], i);
  EXPECT_EQ(t.index[1], j);
  EXPECT_EQ(t.index[2], k);
}

const char* const ONE_GROUP =
    "g a\ncol 1 0 0\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nf 0 1 2\n";

}  // namespace

TEST(Split, CountsEveryFieldBetweenSingleDelimiters) {
  EXPECT_EQ(split("a b", " "), (Fields{"a", "b"}));
  EXPECT_EQ(split("a  b", " "), (Fields{"a", "", "b"}));
  EXPECT_EQ(split("a ", " "), (Fields{"a", ""}));
  EXPECT_EQ(split(" a", " "), (Fields{"", "a"}));
  EXPECT_EQ(split(" ", " "), (Fields{"", ""}));
  EXPECT_EQ(split("", " "), Fields{});
  EXPECT_EQ(split("a\tb", " "), Fields{"a\tb"});
  // The delimiter is a whole string, not a set of characters.
  EXPECT_EQ(split("1, 2,3, ", ", "), (Fields{"1", "2,3", ""}));
  EXPECT_EQ(split("abab", "ab"), (Fields{"", "", ""}));
  EXPECT_EQ(split("word", ""), Fields{"word"});
}

TEST(Mesh, ReadsTheOneGroupExample) {
  ScratchDir dir;
  Mesh mesh = Load(ONE_GROUP);
  ASSERT_EQ(mesh.groups.size(), 1u);
  const MeshGroup& g = mesh.groups[0];
  EXPECT_EQ(g.name, "a");
  EXPECT_FLOAT_EQ(g.colour.r, 1.0f);
  EXPECT_FLOAT_EQ(g.colour.g, 0.0f);
  EXPECT_FLOAT_EQ(g.colour.b, 0.0f);
  EXPECT_FLOAT_EQ(g.colour.a, 1.0f);
  ASSERT_EQ(g.vertices.size(), 3u);
  ExpectVector(g.vertices[1], 1, 0, 0);
  ExpectVector(g.vertices[2], 0, 1, 0);
  ASSERT_EQ(g.normals.size(), 3u);
  ExpectVector(g.normals[2], 0, 0, 1);
  ASSERT_EQ(g.triangles.size(), 1u);
  ExpectTriangle(g.triangles[0], 0, 1, 2);
}

TEST(Mesh, EveryGRecordMakesAGroupEvenAnEmptyOne) {
  ScratchDir dir;
  Mesh mesh = Load("g a\ng b\nv 1.5 -2 3e1\ng\ng c d\n");
  ASSERT_EQ(mesh.groups.size(), 4u);
  EXPECT_EQ(mesh.groups[0].name, "a");
  EXPECT_TRUE(mesh.groups[0].vertices.empty());
  EXPECT_FLOAT_EQ(mesh.groups[0].colour.g, 1.0f);
  EXPECT_EQ(mesh.groups[1].name, "b");
  ASSERT_EQ(mesh.groups[1].vertices.size(), 1u);
  ExpectVector(mesh.groups[1].vertices[0], 1.5f, -2.0f, 30.0f);
  EXPECT_EQ(mesh.groups[2].name, "");
  EXPECT_EQ(mesh.groups[3].name, "c");
}

TEST(Mesh, FieldsAreSplitAtSingleBlanksAndReadByTheirLeadingNumber) {
  ScratchDir dir;
  Mesh mesh = Load(
      "g a\n"
      "v  1 2 3\n"  // the empty field shifts the numbers
      "f 1/1/1 2/2/2 3/3/3\n"
      "col 0.5 0.5 0.5 0.2\n"
      "vn x 7abc -0.25\n"
      "v 4 5\n"  // short: the missing number reads 0
      "f 9\n"
      "v\n");
  const MeshGroup& g = mesh.groups.at(0);
  ASSERT_EQ(g.vertices.size(), 3u);
  ExpectVector(g.vertices[0], 0, 1, 2);
  ExpectVector(g.vertices[1], 4, 5, 0);
  ExpectVector(g.vertices[2], 0, 0, 0);
  ExpectVector(g.normals.at(0), 0, 7, -0.25f);
  ASSERT_EQ(g.triangles.size(), 2u);
  ExpectTriangle(g.triangles[0], 1, 2, 3);
  ExpectTriangle(g.triangles[1], 9, 0, 0);
  EXPECT_FLOAT_EQ(g.colour.r, 0.5f);
  EXPECT_FLOAT_EQ(g.colour.b, 0.5f);
  EXPECT_FLOAT_EQ(g.colour.a, 1.0f);
}

TEST(Mesh, CommentsForeignRecordsAndRecordsBeforeTheFirstGroupAreIgnored) {
  ScratchDir dir;
  Mesh mesh = Load(
      "v 9 9 9\nf 0 0 0\ncol 0 0 0\n"
      "g a\n"
      " v 1 1 1\n"
      "# v 2 2 2\n"
      "vt 0 1\nusemtl red\ns 1\nV 3 3 3\nv\t4 4 4\n\n"
      "v 5 5 5");  // a last line without a newline counts
  ASSERT_EQ(mesh.groups.size(), 1u);
  const MeshGroup& g = mesh.groups[0];
  ASSERT_EQ(g.vertices.size(), 1u);
  ExpectVector(g.vertices[0], 5, 5, 5);
  EXPECT_TRUE(g.triangles.empty());
  EXPECT_FLOAT_EQ(g.colour.r, 1.0f);
}

TEST(Mesh, CarriageReturnsDoNotReachNamesOrKeywords) {
  ScratchDir dir;
  Mesh mesh = Load("g leaf\r\nv 1 2 3\r\ng\r\n\r\ng stem\r\n");
  ASSERT_EQ(mesh.groups.size(), 3u);
  EXPECT_EQ(mesh.groups[0].name, "leaf");
  ExpectVector(mesh.groups[0].vertices.at(0), 1, 2, 3);
  EXPECT_EQ(mesh.groups[1].name, "");
  EXPECT_EQ(mesh.groups[2].name, "stem");
}

TEST(Mesh, AnEmptyFileHasNoGroups) {
  ScratchDir dir;
  EXPECT_TRUE(Load("").groups.empty());
  EXPECT_TRUE(Load("\n\n# nothing\n").groups.empty());
}

TEST(Mesh, IndicesBeyondIntStayOutsideTheGroup) {
  ScratchDir dir;
  Log::Start("zarv.log", false);
  // 2^32 + 1 and 2^64 + 2 would wrap round onto the valid indices 1 and 2.
  Mesh mesh = Load(std::string(ONE_GROUP) + "f 0 4294967297 18446744073709551618\nf -4294967296 1 2\n");
  Log::End();
  ASSERT_EQ(mesh.groups.size(), 1u);
  ASSERT_EQ(mesh.groups[0].triangles.size(), 3u);
  ExpectTriangle(mesh.groups[0].triangles[1], 0, 2147483647, 2147483647);
  ExpectTriangle(mesh.groups[0].triangles[2], -2147483647 - 1, 1, 2);
  EXPECT_EQ(ReadLines("zarv.log"),
            std::vector<std::string>{"Mesh m.mesh: group \"a\" has 2 triangles with indices "
                                     "outside its vertices or normals; they are not drawn"});
}

TEST(Mesh, BadIndicesAreReportedOncePerGroupAtLoad) {
  ScratchDir dir;
  Log::Start("zarv.log", false);
  Mesh mesh = Load(
      "g ok\nv 0 0 0\nvn 0 0 1\nf 0 0 0\n"
      "g bad\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 0 1\n"
      "f 0 1 2\nf 0 1 -1\nf 0 1 3\nf 0 1 1\n");
  Log::End();
  ASSERT_EQ(mesh.groups.size(), 2u);
  EXPECT_EQ(mesh.groups[1].triangles.size(), 4u);
  EXPECT_EQ(ReadLines("zarv.log"),
            std::vector<std::string>{"Mesh m.mesh: group \"bad\" has 3 triangles with indices "
                                     "outside its vertices or normals; they are not drawn"});
}

TEST(Mesh, AMissingOrUnreadableFileEndsTheShowWithTheFailedCheck) {
  ScratchDir dir;
  const std::string func = "Mesh::Mesh(const std::string&)";
  EXPECT_FATAL(Mesh mesh("data/none.mesh"));
  EXPECT_THAT(ReadLines("zarv.log"), ::testing::ElementsAre(FailedReport("f", "mesh.cpp", func)));
  ASSERT_EQ(system("mkdir folder.mesh"), 0);
  EXPECT_FATAL(Mesh mesh("folder.mesh"));
  EXPECT_THAT(ReadLines("zarv.log"), ::testing::ElementsAre(FailedReport("!f.bad()", "mesh.cpp", func)));
}

using MeshGL = OffscreenGL;

TEST_F(MeshGL, RenderEmitsEachCornerWithItsNormal) {
  ScratchDir dir;
  Mesh mesh = Load(
      "g a\n"
      "v 100 100 0\nv 300 100 0\nv 100 400 0\nv 300 400 0\n"
      "vn 1 0 0\nvn 0 1 0\nvn 0 0 1\nvn 0.6 0.8 0\n"
      "f 0 1 2\nf 1 3 2\n");
  PixelProjection();
  // Three white-material lights along x, y and z, each in one colour
  // channel and with no ambient term: a corner's lit colour is its normal.
  const GLfloat none[4] = {0, 0, 0, 1};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
  const GLfloat directions[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
  for (int i = 0; i < 3; ++i) {
    GLfloat colour[4] = {0, 0, 0, 1};
    colour[i] = 1.0f;
    glLightfv(GL_LIGHT0 + i, GL_POSITION, directions[i]);
    glLightfv(GL_LIGHT0 + i, GL_DIFFUSE, colour);
    glLightfv(GL_LIGHT0 + i, GL_AMBIENT, none);
    glLightfv(GL_LIGHT0 + i, GL_SPECULAR, none);
    glEnable(GL_LIGHT0 + i);
  }
  glEnable(GL_LIGHTING);
  auto polygons = Polygons([&] { mesh.groups[0].Render(); });
  glDisable(GL_LIGHTING);
  ASSERT_EQ(polygons.size(), 2u);
  const float expected[2][3][5] = {
      {{100, 100, 1, 0, 0}, {300, 100, 0, 1, 0}, {100, 400, 0, 0, 1}},
      {{300, 100, 0, 1, 0}, {300, 400, 0.6f, 0.8f, 0}, {100, 400, 0, 0, 1}},
  };
  for (int p = 0; p < 2; ++p) {
    ASSERT_EQ(polygons[p].size(), 3u);
    for (int v = 0; v < 3; ++v) {
      const FeedbackVertex& got = polygons[p][v];
      EXPECT_NEAR(got.x, expected[p][v][0], 1e-3) << p << v;
      EXPECT_NEAR(got.y, expected[p][v][1], 1e-3) << p << v;
      EXPECT_NEAR(got.colour[0], expected[p][v][2], 1e-4) << p << v;
      EXPECT_NEAR(got.colour[1], expected[p][v][3], 1e-4) << p << v;
      EXPECT_NEAR(got.colour[2], expected[p][v][4], 1e-4) << p << v;
    }
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshGL, RenderSetsTheDiffuseMaterialOfBothFacesAndNothingElse) {
  ScratchDir dir;
  Mesh mesh = Load("g a\ncol 0.25 0.5 0.75\nv 0 0 0\nvn 0 0 1\nf 0 0 0\n");
  const GLfloat ambient[4] = {0.1f, 0.2f, 0.3f, 0.4f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
  glColor4f(0.9f, 0.8f, 0.7f, 0.6f);
  mesh.groups[0].Render();
  GLfloat got[4] = {0, 0, 0, 0};
  for (GLenum face : {GL_FRONT, GL_BACK}) {
    glGetMaterialfv(face, GL_DIFFUSE, got);
    EXPECT_FLOAT_EQ(got[0], 0.25f);
    EXPECT_FLOAT_EQ(got[1], 0.5f);
    EXPECT_FLOAT_EQ(got[2], 0.75f);
    EXPECT_FLOAT_EQ(got[3], 1.0f);
    glGetMaterialfv(face, GL_AMBIENT, got);
    EXPECT_FLOAT_EQ(got[1], 0.2f);
  }
  glGetFloatv(GL_CURRENT_COLOR, got);
  EXPECT_FLOAT_EQ(got[0], 0.9f);
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshGL, TrianglesReachingOutsideTheGroupAreNotDrawn) {
  ScratchDir dir;
  // Four vertices but three normals: index 3 has a vertex and no normal.
  Mesh mesh = Load(
      "g a\nv 100 100 0\nv 300 100 0\nv 100 400 0\nv 300 400 0\n"
      "vn 0 0 1\nvn 0 0 1\nvn 0 0 1\n"
      "f 0 1 2\nf 1 3 2\nf -1 0 1\nf 0 1 4\nf 2 1 0\n");
  PixelProjection();
  auto polygons = Polygons([&] { mesh.groups[0].Render(); });
  ASSERT_EQ(polygons.size(), 2u);
  EXPECT_FLOAT_EQ(polygons[0][0].x, 100.0f);
  EXPECT_FLOAT_EQ(polygons[1][0].y, 400.0f);
}

TEST_F(MeshGL, AGroupWithoutTrianglesStillSetsItsMaterial) {
  ScratchDir dir;
  Mesh mesh = Load("g a\ncol 0 1 0\n");
  GLfloat diffuse[4] = {0, 0, 0, 0};
  auto polygons = Polygons([&] { mesh.groups[0].Render(); });
  EXPECT_TRUE(polygons.empty());
  glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
  EXPECT_FLOAT_EQ(diffuse[0], 0.0f);
  EXPECT_FLOAT_EQ(diffuse[1], 1.0f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A wall receding from the fog's start (left) to its end (right): its
// coverage fades with the fog, its colour is left alone, and so is the state.
TEST_F(MeshGL, FogCoverageFadesAlphaAlongTheEyeDistanceOnly) {
  ScratchDir dir;
  Mesh mesh = Load(
      "g wall\n"
      "v 0 0 -0.5\nv 800 0 -5.1\nv 0 600 -0.5\nv 800 600 -5.1\n"
      "vn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\n"
      "f 0 1 2\nf 1 3 2\n");
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 800, 0, 600, 0, 10);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  mesh.groups[0].Render();
  mesh.groups[0].RenderFogCoverage(0.5f, 5.1f);
  const auto near = Pixel(2, 300), middle = Pixel(400, 300), far = Pixel(797, 300);
  EXPECT_GE(near[3], 253);
  EXPECT_NEAR(middle[3], 128, 3);
  EXPECT_LE(far[3], 2);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(far[c], 255) << "the colour is the group's own draw's";
  GLboolean mask[4] = {};
  glGetBooleanv(GL_COLOR_WRITEMASK, mask);
  EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]);
  GLint depthFunc = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
  EXPECT_EQ(depthFunc, GL_LESS);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
