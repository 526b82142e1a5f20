// Replays every file of fuzz/regressions/<target>/ (inputs the fuzzers once
// broke a loader with) and of fuzz/seeds/<target>/ through the fuzz targets'
// entry functions. Each must end as its name says (a "fatal-", "refused-" or
// "loaded-" prefix), and a second run of it must leave no allocation behind:
// that holds on the fatal path too, where the reporters unwind to the entry.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "counting_new/counting_new.h"
#include "fuzz/entries.h"

namespace {

using Entry = Outcome (*)(const uint8_t*, size_t);

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> files;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") files.push_back(name);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool Expects(const std::string& name, const char* prefix, Outcome* outcome, Outcome value) {
  if (name.rfind(prefix, 0) != 0) return false;
  *outcome = value;
  return true;
}

// Replays the files of one folder; returns how many there were.
int Replay(Entry entry, const std::string& dir) {
  const std::vector<std::string> files = FilesIn(dir);
  for (const std::string& name : files) {
    SCOPED_TRACE(dir + "/" + name);
    const std::string bytes = Bytes(dir + "/" + name);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    // The first run lets one-time state (stream locales, the music module) settle.
    const Outcome first = entry(data, bytes.size());
    const long long before = LiveAllocations();
    const Outcome second = entry(data, bytes.size());
    EXPECT_EQ(LiveAllocations(), before) << "blocks left behind";
    EXPECT_EQ(OutcomeName(second), std::string(OutcomeName(first))) << "the same input ends the same way";
    Outcome expected = Outcome::LOADED;
    if (Expects(name, "fatal-", &expected, Outcome::FATAL) ||
        Expects(name, "refused-", &expected, Outcome::REFUSED) ||
        Expects(name, "loaded-", &expected, Outcome::LOADED)) {
      EXPECT_EQ(OutcomeName(first), std::string(OutcomeName(expected)));
    }
  }
  return static_cast<int>(files.size());
}

void ReplayTarget(const char* target, Entry entry) {
  const std::string fuzz = ZARV_FUZZ_DIR;
  const std::string regressions_dir = fuzz + "/regressions/" + target;
  const std::string seeds_dir = fuzz + "/seeds/" + target;
  const int regressions = Replay(entry, regressions_dir);
  const int seeds = Replay(entry, seeds_dir);
  ::testing::Test::RecordProperty("files", regressions + seeds);
  // Empty or missing folders (a wrong path built in) would pass having tested nothing.
  EXPECT_GT(regressions + seeds, 0) << "no file in " << regressions_dir << " or " << seeds_dir;
}

}  // namespace

TEST(FuzzRegressions, Mesh) { ReplayTarget("mesh", FuzzMesh); }
TEST(FuzzRegressions, Anim) { ReplayTarget("anim", FuzzAnim); }
TEST(FuzzRegressions, Timeline) { ReplayTarget("timeline", FuzzTimeline); }
TEST(FuzzRegressions, Bezier) { ReplayTarget("bezier", FuzzBezier); }
TEST(FuzzRegressions, Png) { ReplayTarget("png", FuzzPng); }
TEST(FuzzRegressions, Font) { ReplayTarget("font", FuzzFont); }
TEST(FuzzRegressions, Mp3) { ReplayTarget("mp3", FuzzMp3); }
TEST(FuzzRegressions, Track) { ReplayTarget("track", FuzzTrack); }
