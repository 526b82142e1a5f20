// Loading the font's image and metrics, and laying text out as one quad per
// byte, each advanced by its glyph's width.
#include "assets/font.h"

#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>
#include <fstream>

#include "foundation/debug.h"
#include "platform/blending.h"
#include "platform/draw_tally.h"
#include "platform/platform.h"

namespace {

constexpr float CELL = 0.0625f;         // one cell in texture units (1/16)
constexpr float WIDTH_UNIT = 0.03125f;  // one width unit in cells (1/32)

}  // namespace

Font::Font() {
  tex = new Texture("data/font.png", GL_TEXTURE_2D, Texture::SHOW_FLAGS);

  std::ifstream metrics("data/fontmetrics.data");
  const int read = ReadWidths(metrics, width);
  if (read < 256) {
    Log::Msg("Font: data/fontmetrics.data gave %d of 256 glyph widths; the others are %d", read,
             DEFAULT_WIDTH);
  }

  for (int c = 0; c < 256; ++c) {
    texCoord[c] = Vector2(static_cast<float>(c % 16) * CELL, static_cast<float>(c / 16) * CELL);
  }
}

Font::~Font() { delete tex; }

int Font::ReadWidths(std::istream& in, int (&widths)[256]) {
  int read = 0;
  while (read < 256 && in >> widths[read]) ++read;
  for (int c = read; c < 256; ++c) widths[c] = DEFAULT_WIDTH;
  return read;
}

float Font::Width(const char* text, float size) const {
  float cells = 0.0f;
  for (const char* p = text; *p != '\0' && p - text < MAX_TEXT; ++p) {
    cells += static_cast<float>(width[static_cast<unsigned char>(*p)]) * WIDTH_UNIT;
  }
  return cells * size;
}

void Font::Print(float x, float y, float size, const char* format, ...) {
  if (format == nullptr) return;
  char text[MAX_TEXT + 1] = {};
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);

  glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_BLEND);
  platform::BlendOver();
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);

  glPushMatrix();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  int windowWidth = 0;
  int windowHeight = 0;
  platform::GetWindowSize(&windowWidth, &windowHeight);
  glOrtho(0.0, windowWidth, 0.0, windowHeight, -1.0, 1.0);

  // From here one unit is one cell.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(x, y, 0.0f);
  glScalef(size, size, 1.0f);
  tex->bind();

  for (const char* p = text; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    const float w = static_cast<float>(width[c]) * WIDTH_UNIT;
    const float tw = w * CELL;
    const float u = texCoord[c].x;
    const float v = texCoord[c].y;
    // The cell's v edge is the top of the glyph, v + 1/16 its bottom.
    glBegin(GL_QUADS);
    glTexCoord2f(u, v + CELL);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(u + tw, v + CELL);
    glVertex2f(w, 0.0f);
    glTexCoord2f(u + tw, v);
    glVertex2f(w, 1.0f);
    glTexCoord2f(u, v);
    glVertex2f(0.0f, 1.0f);
    glEnd();
    platform::CountDraw(4);
    glTranslatef(w, 0.0f, 0.0f);
  }

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
}
