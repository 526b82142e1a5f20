// The bitmap font: its metrics and cell grid, the quads Print lays out
// (seen through GL feedback), and the GL state Print leaves behind.
#include "assets/font.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <string>
#include <vector>

#include "assets/feedback.h"
#include "foundation/debug.h"
#include "png/png_writer.h"
#include "support/offscreen_gl.h"
#include "support/scratch_dir.h"

namespace {

constexpr float CELL = 0.0625f;

// An opaque white 32 x 32 font image and the given metrics text.
void WriteFontFiles(const std::string& metrics) {
  mkdir("data", 0755);
  std::vector<unsigned char> white(32 * 32 * 4, 255);
  ASSERT_TRUE(WritePng("data/font.png", PngImage8(32, 32, PNG_COLOR_TYPE_RGB_ALPHA, white)));
  WriteFile("data/fontmetrics.data", metrics);
}

// Metrics where glyph c is c mod 33 wide, written over several lines.
std::string CountingMetrics() {
  std::string text;
  for (int c = 0; c < 256; ++c) text += std::to_string(c % 33) + (c % 16 == 15 ? "\n" : "\t ");
  return text;
}

void ExpectQuad(const std::vector<FeedbackVertex>& quad, float x, float y, float w, float h, int c,
                float widthUnits) {
  ASSERT_EQ(quad.size(), 4u);
  const float u = static_cast<float>(c % 16) * CELL;
  const float v = static_cast<float>(c / 16) * CELL;
  const float tw = widthUnits / 32.0f * CELL;
  const float expected[4][4] = {
      {x, y, u, v + CELL}, {x + w, y, u + tw, v + CELL}, {x + w, y + h, u + tw, v}, {x, y + h, u, v}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(quad[i].x, expected[i][0], 1e-3) << "code " << c << " vertex " << i;
    EXPECT_NEAR(quad[i].y, expected[i][1], 1e-3) << "code " << c << " vertex " << i;
    EXPECT_NEAR(quad[i].tex[0], expected[i][2], 1e-6) << "code " << c << " vertex " << i;
    EXPECT_NEAR(quad[i].tex[1], expected[i][3], 1e-6) << "code " << c << " vertex " << i;
  }
}

}  // namespace

using FontGL = OffscreenGL;

TEST_F(FontGL, LoadsItsWidthsAndCellGrid) {
  ScratchDir dir;
  WriteFontFiles(CountingMetrics() + " 99 junk");
  Log::Start("zarv.log", false);
  Font font;
  Log::End();
  EXPECT_EQ(ReadFile("zarv.log"), "");
  for (int c = 0; c < 256; ++c) EXPECT_EQ(font.width[c], c % 33) << c;
  EXPECT_FLOAT_EQ(font.texCoord[0].x, 0.0f);
  EXPECT_FLOAT_EQ(font.texCoord[17].x, CELL);
  EXPECT_FLOAT_EQ(font.texCoord[17].y, CELL);
  EXPECT_FLOAT_EQ(font.texCoord[130].x, 2 * CELL);
  EXPECT_FLOAT_EQ(font.texCoord[130].y, 8 * CELL);
  EXPECT_FLOAT_EQ(font.texCoord[255].x, 15 * CELL);
  EXPECT_FLOAT_EQ(font.texCoord[255].y, 15 * CELL);
  ASSERT_NE(font.tex, nullptr);
  EXPECT_EQ(font.tex->width, 32);
  EXPECT_EQ(font.tex->bpp, 1) << "a white image, kept as its alpha";
  EXPECT_EQ(font.tex->target, static_cast<unsigned>(GL_TEXTURE_2D));
  GLint generate = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, &generate);
  EXPECT_EQ(generate, GL_TRUE);
}

TEST_F(FontGL, MissingShortOrBrokenMetricsFallBackToHalfACell) {
  struct Case {
    const char* metrics;  // null: no file
    int read;
  };
  for (const Case& c : {Case{nullptr, 0}, Case{"", 0}, Case{"1 2 3 4 5 6 7 8 9 10", 10},
                        Case{"5 6 7 8 x 9", 4}, Case{"3.5 7", 1}}) {
    ScratchDir dir;
    WriteFontFiles("");
    if (c.metrics == nullptr) {
      std::remove("data/fontmetrics.data");
    } else {
      WriteFile("data/fontmetrics.data", c.metrics);
    }
    Log::Start("zarv.log", false);
    Font font;
    Log::End();
    EXPECT_EQ(ReadLines("zarv.log"),
              std::vector<std::string>{"Font: data/fontmetrics.data gave " + std::to_string(c.read) +
                                       " of 256 glyph widths; the others are 16"});
    for (int i = 0; i < c.read; ++i) EXPECT_NE(font.width[i], 16) << i;
    for (int i = c.read; i < 256; ++i) EXPECT_EQ(font.width[i], 16) << i;
  }
}

TEST_F(FontGL, PrintLaysOutOneQuadPerByteAdvancedByItsWidth) {
  ScratchDir dir;
  WriteFontFiles(CountingMetrics());
  Font font;
  font.width['A'] = 20;
  font.width['b'] = 10;
  auto quads = Quads(Polygons([&] { font.Print(10.0f, 20.0f, 32.0f, "A%c", 'b'); }));
  ASSERT_EQ(quads.size(), 2u);
  ExpectQuad(quads[0], 10, 20, 20, 32, 'A', 20);
  ExpectQuad(quads[1], 30, 20, 10, 32, 'b', 10);

  // Line feeds, tabs and blanks are glyphs like any other.
  font.width['\n'] = 8;
  quads = Quads(Polygons([&] { font.Print(0.0f, 0.0f, 16.0f, "\n\t "); }));
  ASSERT_EQ(quads.size(), 3u);
  ExpectQuad(quads[0], 0, 0, 4, 16, '\n', 8);
  ExpectQuad(quads[2], 4 + font.width['\t'] / 2.0f, 0, font.width[' '] / 2.0f, 16, ' ',
             static_cast<float>(font.width[' ']));
}

TEST_F(FontGL, AZeroWidthGlyphDoesNotAdvance) {
  ScratchDir dir;
  WriteFontFiles(CountingMetrics());
  Font font;
  font.width['z'] = 0;
  auto quads = Quads(Polygons([&] { font.Print(100.0f, 100.0f, 32.0f, "azb"); }));
  ASSERT_EQ(quads.size(), 3u);
  ExpectQuad(quads[1], 100 + font.width['a'], 100, 0, 32, 'z', 0);
  ExpectQuad(quads[2], 100 + font.width['a'], 100, static_cast<float>(font.width['b']), 32, 'b',
             static_cast<float>(font.width['b']));
}

TEST_F(FontGL, HighBytesUseTheLowerHalfOfTheGrid) {
  ScratchDir dir;
  WriteFontFiles(CountingMetrics());
  Font font;
  auto quads = Quads(Polygons([&] { font.Print(0.0f, 0.0f, 32.0f, "%s", "\x80\xA5\xFF"); }));
  ASSERT_EQ(quads.size(), 3u);
  ExpectQuad(quads[0], 0, 0, font.width[128], 32, 128, static_cast<float>(font.width[128]));
  ExpectQuad(quads[1], font.width[128], 0, font.width[165], 32, 165, static_cast<float>(font.width[165]));
  EXPECT_NEAR(quads[2][3].tex[0], 15 * CELL, 1e-6);
  EXPECT_NEAR(quads[2][3].tex[1], 15 * CELL, 1e-6);
}

TEST_F(FontGL, TextIsCutAt255Characters) {
  ScratchDir dir;
  WriteFontFiles(CountingMetrics());
  Font font;
  font.width['a'] = 1;
  const std::string longText(300, 'a');
  auto quads = Quads(Polygons([&] { font.Print(0.0f, 0.0f, 32.0f, "%s", longText.c_str()); }));
  EXPECT_EQ(quads.size(), 255u);
  quads = Quads(Polygons([&] { font.Print(0.0f, 0.0f, 32.0f, "%s", longText.substr(0, 255).c_str()); }));
  EXPECT_EQ(quads.size(), 255u);
  quads = Quads(Polygons([&] { font.Print(0.0f, 0.0f, 32.0f, "%s", ""); }));
  EXPECT_TRUE(quads.empty());
}

TEST_F(FontGL, PrintUsesTheWindowSizeNotTheViewport) {
  ScratchDir dir;
  WriteFontFiles(CountingMetrics());
  Font font;
  glViewport(0, 0, 400, 300);
  auto quads = Quads(Polygons([&] { font.Print(200.0f, 100.0f, 32.0f, "A"); }));
  ASSERT_EQ(quads.size(), 1u);
  EXPECT_NEAR(quads[0][0].x, 100.0f, 1e-3);
  EXPECT_NEAR(quads[0][0].y, 50.0f, 1e-3);
  glViewport(0, 0, 800, 600);
}

TEST_F(FontGL, PrintLeavesStateAndBothMatrixStacksAsItFoundThem) {
  ScratchDir dir;
  WriteFontFiles(CountingMetrics());
  Font font;
  GLuint other = 0;
  glGenTextures(1, &other);
  glBindTexture(GL_TEXTURE_2D, other);

  glPolygonMode(GL_FRONT, GL_LINE);
  glPolygonMode(GL_BACK, GL_POINT);
  glDisable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-1, 1, -1, 1, 1, 10);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(1.0f, 2.0f, 3.0f);
  glPushMatrix();
  glRotatef(30.0f, 0, 0, 1);

  auto snapshot = [] {
    std::vector<GLfloat> s(32, 0.0f);
    glGetFloatv(GL_MODELVIEW_MATRIX, &s[0]);
    glGetFloatv(GL_PROJECTION_MATRIX, &s[16]);
    GLint i[7] = {0, 0, 0, 0, 0, 0, 0};
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &i[0]);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &i[1]);
    glGetIntegerv(GL_MATRIX_MODE, &i[2]);
    glGetIntegerv(GL_BLEND_SRC, &i[3]);
    glGetIntegerv(GL_BLEND_DST, &i[4]);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &i[5]);
    i[6] = (glIsEnabled(GL_BLEND) << 0) | (glIsEnabled(GL_TEXTURE_2D) << 1) |
           (glIsEnabled(GL_LIGHTING) << 2) | (glIsEnabled(GL_DEPTH_TEST) << 3) |
           (glIsEnabled(GL_CULL_FACE) << 4);
    for (GLint v : i) s.push_back(static_cast<GLfloat>(v));
    return s;
  };
  const std::vector<GLfloat> before = snapshot();

  // A null format touches nothing at all.
  const char* none = nullptr;
  font.Print(10.0f, 10.0f, 24.0f, none);
  GLint mode[2] = {0, 0};
  glGetIntegerv(GL_POLYGON_MODE, mode);
  EXPECT_EQ(mode[0], GL_LINE);
  EXPECT_EQ(mode[1], GL_POINT);

  font.Print(10.0f, 10.0f, 24.0f, "%d", 42);
  EXPECT_EQ(snapshot(), before);
  glGetIntegerv(GL_POLYGON_MODE, mode);
  EXPECT_EQ(mode[0], GL_FILL);
  EXPECT_EQ(mode[1], GL_FILL);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<unsigned>(bound), font.tex->name);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // An empty text still sets the polygon mode.
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  font.Print(10.0f, 10.0f, 24.0f, "%s", "");
  glGetIntegerv(GL_POLYGON_MODE, mode);
  EXPECT_EQ(mode[0], GL_FILL);
  EXPECT_EQ(mode[1], GL_FILL);
  glDeleteTextures(1, &other);
}

TEST_F(FontGL, GlyphsAreDrawnInTheCurrentColour) {
  ScratchDir dir;
  WriteFontFiles(CountingMetrics());
  Font font;
  font.width['M'] = 32;
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
  font.Print(100.0f, 100.0f, 40.0f, "M");
  EXPECT_EQ(Pixel(120, 120), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(Pixel(150, 120), (std::array<int, 4>{0, 0, 0, 255}));
}

TEST_F(FontGL, AMissingImageIsReportedAndPrintStillWorks) {
  ScratchDir dir;
  WriteFontFiles(CountingMetrics());
  std::remove("data/font.png");
  ::testing::internal::CaptureStderr();
  Font font;
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "error open PNG file \"data/font.png\"\n");
  auto quads = Quads(Polygons([&] { font.Print(0.0f, 0.0f, 10.0f, "ok"); }));
  EXPECT_EQ(quads.size(), 2u);
}
