// The show's frames against hashes of today's drawing: a change that makes a
// frame cheaper must keep these frames to the bit, or renew the hashes in a
// commit that gives the PSNR of the change against the frames they were made
// from (every channel, alpha included). The frames are 60 fps stills, frame n
// being show time n / 60, drawn by llvmpipe as --renderer software takes it.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "assets/texture.h"
#include "support/command.h"
#include "support/scratch_dir.h"
#include "support/show_files.h"

namespace {

const std::string CAPTURE = std::string(ZARV_SHOW_DIR) + "/zarv-capture";
// Set to renew: each case writes its hashes over its file instead of checking them.
const char* const RENEW_VARIABLE = "ZARV_RENEW_REFERENCE_FRAMES";

// The 1-second ranges from 10, 80 and 146.5 s, and the stills at 20 and
// 100 s (146.5 s is the last range's first frame).
std::vector<long> EveryFrame() {
  std::vector<long> frames;
  for (long first : {600L, 4800L, 8790L}) {
    for (long n = first; n < first + 60; ++n) frames.push_back(n);
  }
  frames.push_back(1200);
  frames.push_back(6000);
  return frames;
}
// The same set cut down to the stills and each range's first and last frame.
const std::vector<long> STILLS = {600, 659, 1200, 4800, 4859, 6000, 8790, 8849};

struct Reference {
  const char* name;     // its file under tests/data/reference_frames, without ".txt"
  const char* options;  // zarv-capture's
  bool everyFrame;      // EveryFrame(), else STILLS
};

// Drawing 1440 x 1080 pictures costs three times as much: that size is
// checked on stills only.
const Reference REFERENCES[] = {
    {"800x600", "", true},
    {"800x600-alpha", "--alpha", true},
    {"1920x1080-pad", "--size 1920x1080 --pad", false},
    {"1920x1080-pad-alpha", "--size 1920x1080 --pad --alpha", false},
};

// FNV-1a, 64 bits, of the decoded rows: the image, not how it was compressed.
std::string PixelHash(const std::string& png) {
  int width = 0, height = 0, bpp = 0;
  std::unique_ptr<unsigned char[]> rows(Texture::load_png(png.c_str(), width, height, bpp));
  if (rows == nullptr) return "unreadable";
  uint64_t hash = 14695981039346656037ull;
  const size_t size = static_cast<size_t>(width) * height * bpp;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ rows[i]) * 1099511628211ull;
  char text[64];
  std::snprintf(text, sizeof text, "%dx%dx%d %016llx", width, height, bpp,
                static_cast<unsigned long long>(hash));
  return text;
}

// The still's name as zarv-capture gives it for frame n at 60 fps.
std::string StillName(long n) {
  char name[32];
  std::snprintf(name, sizeof name, "still-%07.3f.png", n / 60.0);
  return name;
}

// A reference file: "renderer TEXT", then one "SECONDS HASH" line a frame.
struct Hashes {
  std::string renderer;
  std::map<std::string, std::string> frames;  // by show time as the still's name gives it
};

Hashes Read(const std::string& path) {
  Hashes hashes;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string key = line.substr(0, space);
    const std::string value = line.substr(space + 1);
    if (key == "renderer") {
      hashes.renderer = value;
    } else {
      hashes.frames[key] = value;
    }
  }
  return hashes;
}

void Write(const std::string& path, const Reference& reference, const Hashes& hashes) {
  std::ofstream out(path);
  out << "# zarv-capture --renderer software" << (*reference.options != '\0' ? " " : "") << reference.options
      << " as stills at 60 fps: show time, then WIDTHxHEIGHTxBYTES and FNV-1a 64 of the decoded rows.\n"
         "# Renew only in a commit that gives the PSNR of the change against the frames these were made "
         "from.\n"
      << "renderer " << hashes.renderer << "\n";
  for (const auto& [time, hash] : hashes.frames) out << time << " " << hash << "\n";
}

// "Mesa/X.org llvmpipe (LLVM 15.0.6, 256 bits)" from the capture's renderer line.
std::string RendererOf(const std::string& err) {
  const std::string head = "Renderer: ";
  const size_t at = err.find(head);
  if (at == std::string::npos) return "";
  const size_t end = err.find(", through", at);
  return err.substr(at + head.size(), end == std::string::npos ? std::string::npos : end - at - head.size());
}

// Names the case in the test's own messages.
void PrintTo(const Reference& reference, std::ostream* out) { *out << reference.name; }

class ReferenceFrames : public ::testing::TestWithParam<Reference> {
 protected:
  void SetUp() override { LinkShowFiles(); }

  ScratchDir dir;
};

TEST_P(ReferenceFrames, MatchTodaysDrawing) {
  const Reference& reference = GetParam();
  const std::vector<long> frames = reference.everyFrame ? EveryFrame() : STILLS;
  std::string args;
  for (long n : frames) {
    char time[32];
    std::snprintf(time, sizeof time, " --still %.9f", n / 60.0);
    args += time;
  }
  const CommandRun run = RunCommand("'" + CAPTURE + "' --show-dir . --renderer software " +
                                    reference.options + args + " --output stills");
  ASSERT_EQ(run.status, 0) << run.err;

  Hashes drawn;
  drawn.renderer = RendererOf(run.err);
  for (long n : frames) {
    const std::string name = StillName(n);
    drawn.frames[name.substr(6, 7)] = PixelHash("stills/" + name);
  }
  const std::string path = std::string(ZARV_REFERENCE_FRAMES) + "/" + reference.name + ".txt";
  if (std::getenv(RENEW_VARIABLE) != nullptr) {
    Write(path, reference, drawn);
    GTEST_SKIP() << "renewed " << path;
  }
  const Hashes expected = Read(path);
  ASSERT_EQ(expected.frames.size(), frames.size()) << path << " lacks frames";
  // Another rasteriser's frames may differ in their last bits without any
  // change of the show's drawing.
  if (drawn.renderer != expected.renderer) {
    GTEST_SKIP() << "the hashes are llvmpipe's as " << expected.renderer << ", not " << drawn.renderer;
  }
  int differ = 0;
  for (const auto& [time, hash] : drawn.frames) {
    const auto found = expected.frames.find(time);
    const bool same = found != expected.frames.end() && found->second == hash;
    differ += same ? 0 : 1;
    EXPECT_TRUE(same || differ > 5) << time << " s: " << hash << " against "
                                    << (found != expected.frames.end() ? found->second : "none");
  }
  EXPECT_EQ(differ, 0) << "frames that differ from " << path << " (the first five named above); "
                       << RENEW_VARIABLE << "=1 renews them, in a commit giving the PSNR of the change";
}

INSTANTIATE_TEST_SUITE_P(, ReferenceFrames, ::testing::ValuesIn(REFERENCES),
                         [](const ::testing::TestParamInfo<Reference>& info) {
                           std::string name;
                           for (const char* c = info.param.name; *c != '\0'; ++c)
                             name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           return name;
                         });

}  // namespace
