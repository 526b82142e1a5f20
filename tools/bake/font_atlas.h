// The show's bitmap font: a 16 x 16 grid of Latin-1 glyph cells rendered
// with FreeType (white, shaped by alpha, upright, left-aligned in the cell)
// and each glyph's advance in 1/32 of a cell.
#pragma once

#include <string>

// Writes dir/font.png and dir/fontmetrics.data from the TrueType file at
// fontPath; false (with a message) when the font cannot be read or written.
bool BakeFont(const std::string& dir, const std::string& fontPath);
