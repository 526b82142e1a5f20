// The quads are spread over the frame, as the show's sprites are, so that
// every rasteriser thread takes its share; the fastest of a few runs is
// taken, the one least disturbed by the rest of the machine.
#include "sprite_fill.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "assets/texture.h"

namespace {

// Drawn sides in pixels: a small sprite or a glyph, a middling one, the largest.
constexpr int SIDES[] = {32, 128, 384};
constexpr double FRAGMENTS_A_RUN = 1e6;
constexpr int RUNS = 3;

// A way of drawing the image's quads.
struct Way {
  const char* name;
  GLint minFilter;
  GLint magFilter;
  bool blend;
  bool alphaTest;  // fragments of alpha 0 are dropped before blending
};
const Way WAYS[SPRITE_WAYS] = {
    {"trilinear", GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, true, false},
    {"bilinear", GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR, true, false},
    {"nearest", GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, true, false},
    {"unblended", GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, false, false},
    {"alpha test", GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, true, true},
};

struct Run {
  double seconds = 0.0;
  GLuint64 fragments = 0;  // those that passed the alpha test, where there is one
};

// Draws count quads of side pixels, one a cell of a grid over the frame,
// in one block, and waits for the rasteriser to finish them.
Run DrawQuads(const SpriteImage& image, int side, long count, int width, int height, GLuint query) {
  const int columns = std::max(1, width / side);
  const int rows = std::max(1, height / side);
  glFinish();
  const auto start = std::chrono::steady_clock::now();
  glBeginQuery(GL_SAMPLES_PASSED, query);
  glBegin(GL_QUADS);
  for (long k = 0; k < count; ++k) {
    const float x = static_cast<float>(k % columns * side);
    const float y = static_cast<float>(k / columns % rows * side);
    const float size = static_cast<float>(side);
    glTexCoord2f(image.s0, image.t1);
    glVertex2f(x, y);
    glTexCoord2f(image.s1, image.t1);
    glVertex2f(x + size, y);
    glTexCoord2f(image.s1, image.t0);
    glVertex2f(x + size, y + size);
    glTexCoord2f(image.s0, image.t0);
    glVertex2f(x, y + size);
  }
  glEnd();
  glEndQuery(GL_SAMPLES_PASSED);
  glFinish();
  Run run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  glGetQueryObjectui64v(query, GL_QUERY_RESULT, &run.fragments);
  return run;
}

// The fastest of RUNS.
Run Fastest(const SpriteImage& image, int side, long count, int width, int height, GLuint query) {
  Run best = DrawQuads(image, side, count, width, height, query);
  for (int i = 1; i < RUNS; ++i) {
    const Run run = DrawQuads(image, side, count, width, height, query);
    if (run.seconds < best.seconds) best = run;
  }
  return best;
}

// Sets the way's state; the image's texture is bound.
void Use(const SpriteImage& image, const Way& way) {
  if (image.texture != nullptr) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, way.minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, way.magFilter);
  }
  if (way.blend) {
    glEnable(GL_BLEND);
  } else {
    glDisable(GL_BLEND);
  }
  if (way.alphaTest) {
    glEnable(GL_ALPHA_TEST);
  } else {
    glDisable(GL_ALPHA_TEST);
  }
}

// A flat colour has no filters to choose: only blending and the alpha test tell its ways apart.
bool Applies(const SpriteImage& image, const Way& way) {
  return image.texture != nullptr || way.minFilter == GL_LINEAR_MIPMAP_LINEAR;
}

}  // namespace

std::vector<SpriteFillRow> MeasureSpriteFill(const std::vector<SpriteImage>& images, int width, int height) {
  std::vector<SpriteFillRow> rows;
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_CULL_FACE);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glAlphaFunc(GL_GREATER, 0.0f);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  // The ornaments' opacity.
  glColor4f(1.0f, 1.0f, 1.0f, 0.4f);
  GLuint query = 0;
  glGenQueries(1, &query);
  for (const SpriteImage& image : images) {
    GLint minFilter = 0, magFilter = 0;
    if (image.texture != nullptr) {
      glEnable(GL_TEXTURE_2D);
      image.texture->bind();
      glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
      glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    } else {
      glDisable(GL_TEXTURE_2D);
    }
    for (int side : SIDES) {
      if (side > std::min(width, height)) continue;
      const long count = std::max(1L, static_cast<long>(FRAGMENTS_A_RUN / (side * side)));
      SpriteFillRow row;
      row.image = image.name;
      row.side = side;
      for (int w = 0; w < SPRITE_WAYS; ++w) {
        const Way& way = WAYS[w];
        row.ns[w] = std::nan("");
        if (!Applies(image, way)) continue;
        Use(image, way);
        glClear(GL_COLOR_BUFFER_BIT);
        const Run drawn = Fastest(image, side, count, width, height, query);
        const Run dot = Fastest(image, 1, count, width, height, query);
        const double fragments = static_cast<double>(count) * (side * side - 1);
        row.ns[w] = std::max(0.0, drawn.seconds - dot.seconds) / fragments * 1e9;
        if (way.alphaTest)
          row.kept = static_cast<double>(drawn.fragments) / (static_cast<double>(count) * side * side);
      }
      rows.push_back(row);
    }
    if (image.texture != nullptr) {
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    }
  }
  glDeleteQueries(1, &query);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
  return rows;
}

void PrintSpriteFill(const std::vector<SpriteFillRow>& rows) {
  std::printf(
      "\nns a fragment by sprite image and drawn side, blended, tinted: trilinear from the mipmaps (as the "
      "font is drawn), bilinear on the nearest mip level (as the sprites are), nearest; and trilinear "
      "unblended, or blended with an alpha test; alpha > 0: the share of the square's fragments the test "
      "keeps\n");
  std::printf("%-22s %5s", "image", "side");
  for (const Way& way : WAYS) std::printf(" %10s", way.name);
  std::printf(" %9s\n", "alpha > 0");
  for (size_t i = 0; i < rows.size(); ++i) {
    const SpriteFillRow& row = rows[i];
    std::printf("%-22s %5d", i == 0 || rows[i - 1].image != row.image ? row.image.c_str() : "", row.side);
    for (double ns : row.ns) {
      if (std::isnan(ns)) {
        std::printf(" %10s", "-");
      } else {
        std::printf(" %10.2f", ns);
      }
    }
    std::printf(" %8.0f%%\n", row.kept * 100.0);
  }
}
