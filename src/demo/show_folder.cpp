// The show reads data/ and murel.mp3 relative to its working directory; this
// names the folder it looked in when they are not there.
#include "demo/show_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "foundation/debug.h"
#include "foundation/paths.h"

namespace {

bool Exists(const std::string& path, mode_t type) {
  struct stat info = {};
  return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type;
}

}  // namespace

void GuideIfShowFilesMissing(const std::string& musicPath) {
  char cwd[4096] = {};
  const std::string dir = getcwd(cwd, sizeof cwd) != nullptr ? cwd : ".";
  const bool data = Exists(dir + "/data", S_IFDIR);
  const bool music = musicPath.empty() || Exists(Absolute(musicPath), S_IFREG);
  if (data && music) return;
  const std::string noMusic = "no " + musicPath;
  const std::string missing = !data && !music ? "no data/ and " + noMusic : !data ? "no data/" : noMusic;
  Log::Msg(
      "zarv: %s in %s, the folder the show looked in; start it with the launcher (zarv), or run it from "
      "the folder that holds its data/ and murel.mp3 (build/show/ in a build)",
      missing.c_str(), dir.c_str());
}
