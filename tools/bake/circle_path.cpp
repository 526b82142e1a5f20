// The circles' sideways path: a small wind-up against the direction of
// travel, an eased sweep that overshoots, and a settle back onto the mark.
// The reader keeps only each handle's slope, so handles are written flat
// where the path turns.
#include "circle_path.h"

#include <cstdio>

bool BakeCirclePath(const std::string& dir) {
  struct Key {
    double time;
    double value;
    double slope;
  };
  const Key keys[] = {
      {0.0, 0.0, 0.0}, {0.12, -0.07, 0.0}, {0.6, 1.1, 0.0}, {0.82, 0.97, 0.0}, {1.0, 1.0, 0.0}};
  const std::string path = dir + "/circlemove.timeline";
  FILE* out = std::fopen(path.c_str(), "w");
  if (!out) {
    std::fprintf(stderr, "zarv-bake: cannot write \"%s\"\n", path.c_str());
    return false;
  }
  std::fprintf(out, "%zu\n", sizeof keys / sizeof keys[0]);
  for (const Key& k : keys) {
    const double reach = 0.05;
    std::fprintf(out, "%.4f %.4f %.4f %.4f %.4f %.4f\n", k.time - reach, k.value - k.slope * reach, k.time,
                 k.value, k.time + reach, k.value + k.slope * reach);
  }
  const bool ok = std::ferror(out) == 0;
  return (std::fclose(out) == 0) && ok;
}
