// Bakes every file the show reads. The music, by far the longest job, is
// rendered on a second thread while the images and models are made.
#include "bake.h"

#include <sys/stat.h>

#include <cerrno>

#include <chrono>
#include <cstdio>
#include <thread>

#include "circle_path.h"
#include "flora.h"
#include "flora_motion.h"
#include "font_atlas.h"
#include "icon.h"
#include "mastering.h"
#include "mp3/mp3_writer.h"
#include "score.h"
#include "sprites.h"

namespace {

// Integrated loudness the soundtrack is mastered to, and its sample peak ceiling (-1 dBFS).
constexpr double TARGET_LUFS = -14.0;
constexpr double CEILING = 0.89;

bool BakeMusic(const std::string& path, bool verbose) {
  Stereo music = RenderMusic();
  Master(music, 139.0, 147.5, TARGET_LUFS, CEILING);
  if (verbose) std::printf("zarv-bake: murel.mp3 at %.1f LUFS\n", IntegratedLoudness(music));
  // 192 kbit/s, joint stereo, the info frame left blank as the soundtrack has always had it.
  std::string error;
  if (WriteMp3(path, music.left, music.right, Mp3Settings{}, &error)) return true;
  std::fprintf(stderr, "zarv-bake: %s\n", error.c_str());
  return false;
}

bool BakeFlora(const std::string& dataDir, bool verbose) {
  MeshBuilder (*const plants[4])() = {Daisy, Fern, BellFlower, SeedHead};
  bool ok = true;
  for (int n = 1; n <= 4; ++n) {
    const MeshBuilder mesh = plants[n - 1]();
    const std::string name = dataDir + "/" + std::to_string(n);
    ok = mesh.Write(name + ".mesh") && WriteMotion(name + ".anim", FloraMotion(n)) && ok;
    if (verbose) std::printf("zarv-bake: %d.mesh with %d triangles\n", n, mesh.TriangleCount());
  }
  return ok;
}

}  // namespace

bool BakeShow(const std::string& showDir, const BakeOptions& options) {
  const bool verbose = options.verbose;
  const auto start = std::chrono::steady_clock::now();
  const std::string dataDir = showDir + "/data";
  if (mkdir(dataDir.c_str(), 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "zarv-bake: cannot make \"%s\"\n", dataDir.c_str());
    return false;
  }
  bool musicOk = !options.music;
  std::thread music;
  if (options.music) music = std::thread([&] { musicOk = BakeMusic(showDir + "/murel.mp3", verbose); });
  const bool ok = BakeSprites(dataDir) && BakeFont(dataDir, options.fontPath) &&
                  BakeFlora(dataDir, verbose) && BakeCirclePath(dataDir) && BakeIcon(showDir + "/icon.png");
  if (music.joinable()) music.join();
  if (verbose) {
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("zarv-bake: baked into %s in %.1f s\n", showDir.c_str(), took.count());
  }
  return ok && musicOk;
}
