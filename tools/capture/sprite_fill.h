// What a fragment of each sprite image costs, tinted and blended over, the
// ways it might be drawn (the sprites sample the nearest mip level, the
// font blends two): many quads of one image at one drawn size, timed to the
// end of rasterisation, less the same quads one pixel small.
#pragma once

#include <string>
#include <vector>

class Texture;

// One image as the show's quads map it.
struct SpriteImage {
  const char* name;
  Texture* texture;  // borrowed; null: the quads are a flat colour
  // The part of the image one quad maps, in texture units.
  float s0 = 0.0f;
  float t0 = 0.0f;
  float s1 = 1.0f;
  float t1 = 1.0f;
};

// The ways of drawing a sprite that are timed: trilinear, bilinear on the
// nearest mip level, nearest, trilinear unblended (the others blended),
// trilinear blended with an alpha test.
constexpr int SPRITE_WAYS = 5;

// One image at one drawn size.
struct SpriteFillRow {
  std::string image;
  int side = 0;                 // pixels
  double ns[SPRITE_WAYS] = {};  // a fragment, each way; NaN where a way does not apply
  double kept = 0.0;            // the share of the square's fragments the alpha test keeps
};

// Draws into the current framebuffer, width x height pixels (at least the
// largest side tried), which it leaves cleared. Each image's filters are
// put back as they were.
std::vector<SpriteFillRow> MeasureSpriteFill(const std::vector<SpriteImage>& images, int width, int height);
// The rows as a table on stdout.
void PrintSpriteFill(const std::vector<SpriteFillRow>& rows);
