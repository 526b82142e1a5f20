// The show's three sprite images: the glow strung along a circle ornament's
// link and the two spinning ornaments. White with alpha, so the palette
// colour tints them; edges fully transparent for wrapped, mipmapped sampling.
#pragma once

#include <string>

// Writes dir/c2.png, dir/circle3.png and dir/3.png; false on a write failure.
bool BakeSprites(const std::string& dir);
