// Writes 8-bit PNG images with libpng, byte-identical for identical pixels.
#include "png_writer.h"

#include <png.h>

#include <cstdio>

namespace {

struct PngFile {
  FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngFile() {
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    if (file) std::fclose(file);
  }
};

int ColourType(int channels) {
  switch (channels) {
    case 1:
      return PNG_COLOR_TYPE_GRAY;
    case 3:
      return PNG_COLOR_TYPE_RGB;
    case 4:
      return PNG_COLOR_TYPE_RGBA;
    default:
      return -1;
  }
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, int channels,
              const std::vector<unsigned char>& pixels) {
  const int colourType = ColourType(channels);
  if (colourType < 0 || width <= 0 || height <= 0 ||
      pixels.size() != static_cast<size_t>(width) * height * channels) {
    std::fprintf(stderr, "zarv-bake: bad image for \"%s\"\n", path.c_str());
    return false;
  }
  PngFile out;
  out.file = std::fopen(path.c_str(), "wb");
  if (!out.file) {
    std::fprintf(stderr, "zarv-bake: cannot write \"%s\"\n", path.c_str());
    return false;
  }
  out.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (out.png) out.info = png_create_info_struct(out.png);
  if (!out.png || !out.info) {
    std::fprintf(stderr, "zarv-bake: libpng cannot start for \"%s\"\n", path.c_str());
    return false;
  }
  // libpng reports errors by longjmp; nothing with a destructor lives between here and the calls.
  if (setjmp(png_jmpbuf(out.png))) {
    std::fprintf(stderr, "zarv-bake: libpng failed writing \"%s\"\n", path.c_str());
    return false;
  }
  png_init_io(out.png, out.file);
  png_set_compression_level(out.png, 9);
  png_set_IHDR(out.png, out.info, width, height, 8, colourType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(out.png, out.info);
  const size_t stride = static_cast<size_t>(width) * channels;
  for (int y = 0; y < height; ++y) {
    png_write_row(out.png, const_cast<png_bytep>(&pixels[y * stride]));
  }
  png_write_end(out.png, nullptr);
  return true;
}
