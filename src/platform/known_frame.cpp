// Levels are exact in 8 bits and texels are sampled at their centres, with
// dithering off, so that any renderer that draws as OpenGL says gives back
// these very bytes: the comparison needs no tolerance.
#include "platform/known_frame.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>
#include <vector>

#include "platform/framebuffer.h"

namespace platform {

namespace {

constexpr int SIDE = 16;  // the frame's pixels each way
// The quad covers pixels [QUAD_FROM, QUAD_TO) each way, each texel a square of them.
constexpr int QUAD_FROM = 4;
constexpr int QUAD_TO = 12;
constexpr int TEXEL_PIXELS = (QUAD_TO - QUAD_FROM) / 2;
constexpr unsigned char CLEAR[4] = {51, 102, 153, 255};
// 2 x 2 RGBA texels, bottom row first; one alpha each of opaque, part and none,
// since captures keep alpha.
constexpr unsigned char TEXELS[2][2][4] = {{{255, 0, 0, 255}, {0, 255, 0, 128}},
                                           {{0, 0, 255, 64}, {255, 255, 255, 0}}};

// RGBA rows, bottom row first, as glReadPixels gives them.
std::vector<unsigned char> Expected() {
  std::vector<unsigned char> pixels;
  for (int y = 0; y < SIDE; ++y) {
    for (int x = 0; x < SIDE; ++x) {
      const bool inQuad = x >= QUAD_FROM && x < QUAD_TO && y >= QUAD_FROM && y < QUAD_TO;
      const unsigned char* colour =
          inQuad ? TEXELS[(y - QUAD_FROM) / TEXEL_PIXELS][(x - QUAD_FROM) / TEXEL_PIXELS] : CLEAR;
      pixels.insert(pixels.end(), colour, colour + 4);
    }
  }
  return pixels;
}

void DrawQuad() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, SIDE, 0.0, SIDE, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_TEXTURE_2D);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2i(QUAD_FROM, QUAD_FROM);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2i(QUAD_TO, QUAD_FROM);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2i(QUAD_TO, QUAD_TO);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2i(QUAD_FROM, QUAD_TO);
  glEnd();
}

}  // namespace

bool DrawsKnownFrame() {
  Framebuffer frame;
  if (!frame.Create(SIDE, SIDE, 16)) return false;
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, TEXELS);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glDisable(GL_DITHER);
  glViewport(0, 0, SIDE, SIDE);
  glClearColor(CLEAR[0] / 255.0f, CLEAR[1] / 255.0f, CLEAR[2] / 255.0f, CLEAR[3] / 255.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawQuad();
  std::vector<unsigned char> pixels(static_cast<size_t>(SIDE) * SIDE * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, SIDE, SIDE, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  const bool noError = glGetError() == GL_NO_ERROR;
  glDeleteTextures(1, &texture);
  frame.Release();
  return noError && pixels == Expected();
}

}  // namespace platform
