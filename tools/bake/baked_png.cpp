// The project's one PNG writer, with the baker's settings and its messages.
#include "baked_png.h"

#include <cstdio>
#include <utility>

#include "png/png_writer.h"

bool WriteBakedPng(const std::string& path, int width, int height, std::vector<unsigned char> pixels) {
  PngImage image = PngImage8(width, height, PNG_COLOR_TYPE_RGB_ALPHA, std::move(pixels));
  image.compression = 9;
  std::string error;
  if (WritePng(path, image, &error)) return true;
  std::fprintf(stderr, "zarv-bake: cannot write \"%s\": %s\n", path.c_str(), error.c_str());
  return false;
}
