// Test helper: lays the baked show files (data/ and murel.mp3 from the
// build's show directory) into the working directory as symbolic links, so
// start-up finds them; single files can be left out to test their absence.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

inline void LinkShowFiles(const std::set<std::string>& leaveOut = {}) {
  const std::string show = ZARV_SHOW_DIR;
  mkdir("data", 0755);
  if (DIR* dir = opendir((show + "/data").c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == ".." || leaveOut.count("data/" + name)) continue;
      if (symlink((show + "/data/" + name).c_str(), ("data/" + name).c_str()) != 0) break;
    }
    closedir(dir);
  }
  if (!leaveOut.count("murel.mp3")) {
    if (symlink((show + "/murel.mp3").c_str(), "murel.mp3") != 0) return;
  }
}
