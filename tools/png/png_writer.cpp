// libpng reports errors by longjmp; the jump lands in WritePng, which closes
// the file and hands the reason back.
#include "png/png_writer.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

struct PngFailure {
  std::string message;
};

void OnPngError(png_structp png, png_const_charp message) {
  static_cast<PngFailure*>(png_get_error_ptr(png))->message = message;
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

int Channels(const PngImage& image) {
  switch (image.colourType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
      return image.dropAlpha ? 4 : 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;
  }
}

bool Fail(std::string* error, const std::string& reason) {
  if (error != nullptr) *error = reason;
  return false;
}

}  // namespace

size_t PngRowBytes(const PngImage& image) {
  return (static_cast<size_t>(image.width) * Channels(image) * image.depth + 7) / 8;
}

PngImage PngImage8(int width, int height, int colourType, std::vector<unsigned char> rows) {
  PngImage image;
  image.width = width;
  image.height = height;
  image.colourType = colourType;
  image.rows = std::move(rows);
  return image;
}

bool WritePng(const std::string& path, const PngImage& image, std::string* error) {
  if (image.width <= 0 || image.height <= 0 || image.rows.size() != PngRowBytes(image) * image.height ||
      (image.dropAlpha && (image.colourType != PNG_COLOR_TYPE_RGB || image.depth != 8))) {
    return Fail(error, "the image does not match its rows");
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return Fail(error, std::strerror(errno));
  PngFailure failure;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, OnPngError, OnPngWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::fclose(file);
    return Fail(error, "out of memory");
  }
  std::vector<png_bytep> rows(static_cast<size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    rows[y] = const_cast<png_bytep>(image.rows.data()) + y * PngRowBytes(image);
  }
  // Nothing with a destructor is created between here and the last libpng call.
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return Fail(error, failure.message);
  }
  png_init_io(png, file);
  png_set_compression_level(png, image.compression);
  png_set_IHDR(png, info, image.width, image.height, image.depth, image.colourType,
               image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!image.palette.empty()) {
    png_set_PLTE(png, info, image.palette.data(), static_cast<int>(image.palette.size()));
  }
  if (!image.paletteAlpha.empty()) {
    png_set_tRNS(png, info, image.paletteAlpha.data(), static_cast<int>(image.paletteAlpha.size()), nullptr);
  } else if (image.keyTransparent) {
    png_color_16 key = {};
    key.gray = 1;
    key.red = 1;
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  if (image.gamma > 0.0) png_set_gAMA(png, info, image.gamma);
  png_write_info(png, info);
  if (image.dropAlpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) return Fail(error, std::strerror(errno));
  return true;
}
