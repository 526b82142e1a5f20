// libpng reports errors by longjmp; the jump lands here, the file is closed
// and the reason handed back.
#include "png_file.h"

#include <png.h>

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

}  // namespace

bool WriteFramePng(const std::string& path, int width, int height, const std::vector<unsigned char>& pixels,
                   std::string* error) {
  if (pixels.size() != static_cast<size_t>(width) * height * 4) {
    *error = "frame of the wrong size";
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = std::strerror(errno);
    return false;
  }
  PngFailure failure;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, OnPngError, OnPngWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::fclose(file);
    *error = "out of memory";
    return false;
  }
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    rows[y] = const_cast<png_bytep>(pixels.data() + static_cast<size_t>(y) * width * 4);
  }
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    *error = failure.message;
    return false;
  }
  png_init_io(png, file);
  // Fast, and the frames are mostly black: this level loses little size.
  png_set_compression_level(png, 3);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  // The rows carry alpha, which the screen never shows: it is dropped.
  png_set_filler(png, 0, PNG_FILLER_AFTER);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  return true;
}
