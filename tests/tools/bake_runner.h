// Runs the zarv-bake tool into a directory, as the build does, and reports
// whether it succeeded and what it wrote on stderr.
#pragma once

#include <cstdlib>
#include <string>

#include "support/scratch_dir.h"

struct BakeRun {
  bool ok = false;
  std::string errors;  // everything the tool wrote on stderr
};

// Bakes into dir (made if missing); music false skips murel.mp3.
inline BakeRun RunBake(const std::string& dir, bool music) {
  const std::string errFile = dir + ".stderr";
  const std::string cmd = std::string("mkdir -p '") + dir + "' && '" + ZARV_BAKE_EXE + "' --quiet " +
                          (music ? "" : "--no-music ") + "'" + dir + "' 2>'" + errFile + "'";
  BakeRun run;
  run.ok = std::system(cmd.c_str()) == 0;
  run.errors = ReadFile(errFile);
  return run;
}
