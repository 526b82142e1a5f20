// Writes PNG files with libpng: the baked sprites and font, captured frames,
// the fuzzers' seed images and the decoder tests' inputs. The same image
// always gives the same bytes (no time stamp or text chunks).
#pragma once

#include <png.h>

#include <string>
#include <vector>

struct PngImage {
  int width = 1;   // pixels
  int height = 1;  // pixels
  int depth = 8;   // bits per sample: 1, 2, 4, 8 or 16 as the colour type allows
  int colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  // Rows as libpng stores them, top row first: packed samples, 16-bit ones
  // big-endian. With dropAlpha, RGB rows carry a fourth byte per pixel that
  // is not written (a framebuffer's alpha, which the screen never shows).
  std::vector<unsigned char> rows;
  bool dropAlpha = false;
  std::vector<png_color> palette;
  std::vector<unsigned char> paletteAlpha;  // a tRNS chunk for a palette image
  bool keyTransparent = false;              // a tRNS chunk making the sample value 1 transparent
  double gamma = 0.0;                       // a gAMA chunk when above 0
  bool interlaced = false;
  int compression = 6;  // zlib level 0..9
};

// Bytes of one row of image.rows.
size_t PngRowBytes(const PngImage& image);

// An 8-bit image of the given colour type from its rows.
PngImage PngImage8(int width, int height, int colourType, std::vector<unsigned char> rows);

// False with the reason in *error (when given) if the image does not match
// its rows or the file cannot be written.
bool WritePng(const std::string& path, const PngImage& image, std::string* error = nullptr);
