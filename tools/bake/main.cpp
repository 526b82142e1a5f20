// zarv-bake: writes every file the show reads into a show directory.
// Usage: zarv-bake [--no-music] [--quiet] SHOW_DIR [FONT_FILE]
#include <cstdio>
#include <cstring>

#include "bake.h"

int main(int argc, char** argv) {
  BakeOptions options;
  options.fontPath = ZARV_BAKE_FONT;
  options.verbose = true;
  int arg = 1;
  for (; arg < argc && std::strncmp(argv[arg], "--", 2) == 0; ++arg) {
    if (std::strcmp(argv[arg], "--no-music") == 0) {
      options.music = false;
    } else if (std::strcmp(argv[arg], "--quiet") == 0) {
      options.verbose = false;
    } else {
      break;
    }
  }
  const int rest = argc - arg;
  if (rest < 1 || rest > 2 || std::strncmp(argv[arg], "--", 2) == 0) {
    std::fprintf(stderr, "usage: zarv-bake [--no-music] [--quiet] SHOW_DIR [FONT_FILE]\n");
    return 2;
  }
  if (rest == 2) options.fontPath = argv[arg + 1];
  return BakeShow(argv[arg], options) ? 0 : 1;
}
