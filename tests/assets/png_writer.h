// Test helper: writes PNG files with libpng from raw sample rows, so the
// decoder's tests know exactly what each file holds.
#pragma once

#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

struct PngImage {
  int width = 1;
  int height = 1;
  int depth = 8;
  int colourType = PNG_COLOR_TYPE_GRAY;
  // Rows as libpng stores them: packed samples, 16-bit ones big-endian, top row first.
  std::vector<unsigned char> rows;
  std::vector<png_color> palette;
  std::vector<unsigned char> trns;  // palette alpha values, written as a tRNS chunk
  double gamma = 0.0;               // written as a gAMA chunk when above 0
  bool interlaced = false;
};

// Bytes of one stored row of image.
inline size_t RowBytes(const PngImage& image) {
  int channels = 1;
  if (image.colourType == PNG_COLOR_TYPE_RGB) channels = 3;
  if (image.colourType == PNG_COLOR_TYPE_RGB_ALPHA) channels = 4;
  if (image.colourType == PNG_COLOR_TYPE_GRAY_ALPHA) channels = 2;
  return (static_cast<size_t>(image.width) * channels * image.depth + 7) / 8;
}

inline bool WritePng(const std::string& file, const PngImage& image) {
  if (image.rows.size() != RowBytes(image) * image.height) return false;
  std::vector<png_bytep> rows(image.height);
  for (int y = 0; y < image.height; ++y) {
    rows[y] = const_cast<png_bytep>(image.rows.data()) + y * RowBytes(image);
  }
  std::FILE* fp = std::fopen(file.c_str(), "wb");
  if (fp == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    std::fclose(fp);
    return false;
  }
  png_init_io(png, fp);
  png_set_IHDR(png, info, image.width, image.height, image.depth, image.colourType,
               image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!image.palette.empty()) {
    png_set_PLTE(png, info, image.palette.data(), static_cast<int>(image.palette.size()));
  }
  if (!image.trns.empty()) {
    png_set_tRNS(png, info, image.trns.data(), static_cast<int>(image.trns.size()), nullptr);
  }
  if (image.gamma > 0.0) png_set_gAMA(png, info, image.gamma);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(fp);
  return true;
}

// An 8-bit image of the given colour type from its samples.
inline PngImage Image8(int width, int height, int colourType, std::vector<unsigned char> rows) {
  PngImage image;
  image.width = width;
  image.height = height;
  image.colourType = colourType;
  image.rows = std::move(rows);
  return image;
}
