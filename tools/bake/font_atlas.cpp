// The show's bitmap font rendered with FreeType into a 2048 x 2048 atlas of
// 128-pixel cells, sharp for the credit's 24-line cells on a 2160-line
// screen (86 pixels). Code c sits in column c mod 16 and row c div 16 from
// the top of the image; the pen starts at the cell's left edge and all
// glyphs share one baseline chosen so that every Latin-1 glyph fits its
// cell. Widths are written in 1/32 of a cell, whatever the cell's pixels.
#include "font_atlas.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "baked_png.h"

namespace {

constexpr int CELL = 128;
constexpr int GRID = 16;
constexpr int SIZE = CELL * GRID;
constexpr int WIDTH_UNITS = 32;  // a cell's width in the metrics' units
// Rows kept clear at the top and bottom of each cell, so mipmaps do not mix
// neighbours: one row of a 32-pixel cell.
constexpr int PAD = CELL / 32;

// Codes with a visible glyph or a blank of their own: printable ASCII and Latin-1.
bool Printable(int code) { return (code >= 32 && code <= 126) || code >= 160; }

struct FontFace {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~FontFace() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

bool LoadGlyph(FT_Face face, int code) {
  return FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) == 0;
}

// Highest ink row above and lowest below the baseline over all glyphs, in pixels.
void InkExtent(FT_Face face, int* above, int* below) {
  *above = 0;
  *below = 0;
  for (int code = 0; code < 256; ++code) {
    if (!Printable(code) || !LoadGlyph(face, code)) continue;
    const FT_GlyphSlot g = face->glyph;
    *above = std::max(*above, g->bitmap_top);
    *below = std::max(*below, static_cast<int>(g->bitmap.rows) - g->bitmap_top);
  }
}

}  // namespace

bool BakeFont(const std::string& dir, const std::string& fontPath) {
  FontFace font;
  if (FT_Init_FreeType(&font.library) != 0 ||
      FT_New_Face(font.library, fontPath.c_str(), 0, &font.face) != 0) {
    std::fprintf(stderr, "zarv-bake: cannot read font \"%s\"\n", fontPath.c_str());
    return false;
  }
  // The largest pixel size at which every glyph fits between the pads.
  int pixelSize = CELL;
  int above = 0;
  int below = 0;
  for (; pixelSize > 8; --pixelSize) {
    FT_Set_Pixel_Sizes(font.face, 0, pixelSize);
    InkExtent(font.face, &above, &below);
    if (above + below <= CELL - 2 * PAD) break;
  }
  const int baseline = PAD + above + (CELL - 2 * PAD - above - below) / 2;

  std::vector<unsigned char> pixels(static_cast<size_t>(SIZE) * SIZE * 4, 255);
  for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 0;
  std::vector<int> widths(256, 0);
  for (int code = 0; code < 256; ++code) {
    if (!Printable(code) || !LoadGlyph(font.face, code)) continue;
    const FT_GlyphSlot g = font.face->glyph;
    const int left = std::max(0, g->bitmap_left);
    const int advance = static_cast<int>((g->advance.x + 32) >> 6);
    const int inkRight = left + static_cast<int>(g->bitmap.width);
    // The quad shows only the leftmost width/32 of the cell: widen it over
    // any overhanging ink, rounding the ink's edge up.
    const int advanceUnits = (advance * WIDTH_UNITS + CELL / 2) / CELL;
    const int inkUnits = g->bitmap.width ? (inkRight * WIDTH_UNITS + CELL - 1) / CELL : 0;
    widths[code] = std::clamp(std::max(advanceUnits, inkUnits), 0, WIDTH_UNITS);
    const int cellX = (code % GRID) * CELL;
    const int cellY = (code / GRID) * CELL;
    for (unsigned row = 0; row < g->bitmap.rows; ++row) {
      const int y = baseline - g->bitmap_top + static_cast<int>(row);
      if (y < 0 || y >= CELL) continue;
      for (unsigned col = 0; col < g->bitmap.width; ++col) {
        const int x = left + static_cast<int>(col);
        if (x >= CELL) continue;
        const unsigned char a = g->bitmap.buffer[row * g->bitmap.pitch + col];
        pixels[((static_cast<size_t>(cellY) + y) * SIZE + cellX + x) * 4 + 3] = a;
      }
    }
  }
  if (!WriteBakedPng(dir + "/font.png", SIZE, SIZE, std::move(pixels))) return false;

  std::ofstream metrics(dir + "/fontmetrics.data");
  for (int code = 0; code < 256; ++code) {
    metrics << widths[code] << ((code % GRID == GRID - 1) ? '\n' : ' ');
  }
  metrics.close();
  if (!metrics) {
    std::fprintf(stderr, "zarv-bake: cannot write \"%s/fontmetrics.data\"\n", dir.c_str());
    return false;
  }
  return true;
}
