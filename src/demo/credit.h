// The closing credit: the built-in show's own words at their fixed place, or
// a track's credit centred at the foot of the frame and shrunk to fit its
// width. The font holds Latin-1 glyphs only.
#pragma once

#include <string>

// UTF-8 text as the font's Latin-1 codes: a character the font has no glyph
// for is '?', and so is every byte that is not UTF-8.
std::string FontText(const std::string& utf8);

// Draws the credit in white over the current frame: the built-in one when
// text is empty, else text (Latin-1, as FontText makes it).
void DrawCredit(const std::string& text);
