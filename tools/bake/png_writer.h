// Writes 8-bit PNG images with libpng, byte-identical for identical pixels
// (no time stamp or text chunks, fixed compression settings).
#pragma once

#include <string>
#include <vector>

// pixels: height rows of width * channels bytes, top row first; channels is
// 1 (grey), 3 (RGB) or 4 (RGBA). Returns false and prints why on failure.
bool WritePng(const std::string& path, int width, int height, int channels,
              const std::vector<unsigned char>& pixels);
