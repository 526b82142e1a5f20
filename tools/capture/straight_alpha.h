// The show's frames with coverage alpha hold colour premultiplied by it;
// PNG, ProRes 4444 and VP9 take straight colour, which this turns it into.
#pragma once

#include <vector>

// RGBA pixels, in place: each colour divided by its pixel's alpha (rounded,
// at most 255); pixels of alpha 0 keep their colour, which is black.
void Unpremultiply(std::vector<unsigned char>* rgba);
