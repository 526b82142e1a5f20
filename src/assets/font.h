// The proportional bitmap font: 256 glyphs in a 16 x 16 grid of one image
// ("data/font.png") with per-glyph widths ("data/fontmetrics.data"), printed
// as textured quads in window pixels.
#pragma once

#include <istream>

#include "assets/texture.h"
#include "foundation/vector2.h"

class Font {
 public:
  // Width given to glyphs the metrics file does not provide: half a cell.
  static constexpr int DEFAULT_WIDTH = 16;
  // Longest text Print draws; the rest is cut off.
  static constexpr int MAX_TEXT = 255;

  // Loads the image and the widths; needs the GL context.
  Font();
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  // Draws the printf-formatted text in the current colour with its first
  // cell's lower-left corner at pixel (x, y) from the window's lower-left
  // corner, cells size pixels square. Leaves the enable flags, blending and
  // both matrix stacks as it found them, the polygon mode at fill and the
  // font texture bound.
  void Print(float x, float y, float size, const char* format, ...) __attribute__((format(printf, 5, 6)));

  // The width in pixels that Print gives text (taken as it is, unformatted)
  // in cells size pixels square.
  float Width(const char* text, float size) const;

  // Reads up to 256 glyph widths (whitespace-separated integers) from a
  // metrics text into widths; the glyphs it does not provide get
  // DEFAULT_WIDTH. Returns how many it read. Needs no GL context.
  static int ReadWidths(std::istream& in, int (&widths)[256]);

  Vector2 texCoord[256];  // (u, v) of each glyph cell's corner with the smallest u and v
  int width[256] = {};    // advance of each glyph, 1/32 of a cell
  Texture* tex = nullptr;
};
