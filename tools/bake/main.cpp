// zarv-bake: writes every file the show reads into a show directory.
// Usage: zarv-bake SHOW_DIR [FONT_FILE]
#include <cstdio>

#include "bake.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: zarv-bake SHOW_DIR [FONT_FILE]\n");
    return 2;
  }
  return BakeShow(argv[1], argc == 3 ? argv[2] : ZARV_BAKE_FONT, true) ? 0 : 1;
}
