// Reads every file of the build's bake back with the show's own loaders,
// and through the music module's spectrum as the scheduler sees it; baking
// again must give the same bytes. Also the command lines of zarv-bake and
// zarv-band-report.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "anim/animator.h"
#include "anim/timeline.h"
#include "assets/font.h"
#include "assets/mesh.h"
#include "assets/texture.h"
#include "bake_runner.h"
#include "band_report.h"
#include "foundation/debug.h"
#include "support/command.h"
#include "support/offscreen_gl.h"
#include "support/show_files.h"

namespace {

const char* const BAKED[] = {"data/c2.png",
                             "data/circle3.png",
                             "data/3.png",
                             "data/font.png",
                             "data/fontmetrics.data",
                             "data/1.mesh",
                             "data/2.mesh",
                             "data/3.mesh",
                             "data/4.mesh",
                             "data/1.anim",
                             "data/2.anim",
                             "data/3.anim",
                             "data/4.anim",
                             "data/circlemove.timeline",
                             "murel.mp3"};

class FullBake : public OffscreenGL {
 protected:
  ScratchDir scratch;
};

bool PowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

}  // namespace

TEST_F(FullBake, EveryFileLoadsCleanlyWithTheShowsLoaders) {
  LinkShowFiles();
  Log::Start("zarv.log", false);
  testing::internal::CaptureStderr();

  std::ifstream path("data/circlemove.timeline");
  Timeline moveTL;
  moveTL.Load(path);
  EXPECT_GE(moveTL.points.size(), 2u);
  // Starts at rest, ends on its mark, overshoots it on the way and stays within reach.
  float highest = -1.0f;
  for (int i = 0; i <= 100; ++i) highest = std::max(highest, moveTL.Eval(i / 100.0f));
  EXPECT_NEAR(moveTL.Eval(0.0f), 0.0f, 1e-6f);
  EXPECT_GT(highest, moveTL.Eval(1.0f) + 0.05f);
  EXPECT_LT(highest, 1.3f);

  for (const char* image : {"data/c2.png", "data/circle3.png", "data/3.png", "data/font.png"}) {
    SCOPED_TRACE(image);
    Texture tex(image, GL_TEXTURE_2D, 24);
    EXPECT_EQ(tex.bpp, 1) << "white, so kept as its alpha alone";
    EXPECT_TRUE(PowerOfTwo(tex.width) && PowerOfTwo(tex.height));
  }

  std::ifstream metrics("data/fontmetrics.data");
  std::vector<int> widths;
  for (int w = 0; metrics >> w;) widths.push_back(w);
  ASSERT_EQ(widths.size(), 256u);
  Font font;
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(font.width[c], widths[c]) << c;
    EXPECT_TRUE(widths[c] >= 0 && widths[c] <= 32) << c;
  }
  for (const char c : std::string("rT&wn0aZ")) EXPECT_GT(widths[static_cast<unsigned char>(c)], 4) << c;

  for (int n = 1; n <= 4; ++n) {
    SCOPED_TRACE(n);
    Mesh mesh("data/" + std::to_string(n) + ".mesh");
    EXPECT_GE(mesh.groups.size(), 3u);
    size_t triangles = 0;
    for (const MeshGroup& g : mesh.groups) {
      EXPECT_FALSE(g.name.empty());
      EXPECT_EQ(g.normals.size(), g.vertices.size()) << g.name;
      EXPECT_FALSE(g.triangles.empty()) << g.name;
      for (const MeshGroup::Triangle& t : g.triangles) ASSERT_TRUE(g.Drawable(t)) << g.name;
      for (const Vector3& v : g.normals) ASSERT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 1.0, 2e-3);
      triangles += g.triangles.size();
    }
    EXPECT_LE(triangles, 6000u);

    Animator anim("data/" + std::to_string(n) + ".anim");
    const float seconds = (anim.endFrame - anim.startFrame) / 35.0f;
    EXPECT_GE(seconds, 3.0f);
    EXPECT_LE(seconds, 6.0f);
  }

  // What the scheduler reads: kicks through the groove, none in the breakdown,
  // the bell only in chosen passages after 70 s.
  BandReport report;
  std::string reason;
  ASSERT_TRUE(ReportBands("murel.mp3", 10.0, &report, &reason)) << reason;
  // 15 stretches and the analysis at exactly 150 s.
  const std::vector<BandShare>& shares = report.stretches;
  ASSERT_EQ(shares.size(), 16u);
  int midPassages = 0;
  for (const BandShare& s : shares) {
    SCOPED_TRACE(s.start);
    const bool groove = s.start >= 10.0 && s.start < 90.0;
    const bool breakdown = s.start == 100.0;
    EXPECT_TRUE(!groove || s.bass > 0.12) << s.bass;
    EXPECT_TRUE(!breakdown || s.bass == 0.0) << s.bass;
    EXPECT_TRUE(s.start >= 70.0 || s.mid == 0.0) << s.mid;
    if (s.start >= 70.0 && s.mid > 0.0) ++midPassages;
    EXPECT_LT(s.mid, 0.4);
  }
  EXPECT_GE(midPassages, 3);
  EXPECT_LT(midPassages, 8);

  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  Log::End();
  EXPECT_EQ(ReadFile("zarv.log"), "");
}

TEST(Rebake, BakingAgainGivesTheBuildsBytes) {
  ScratchDir scratch;
  const BakeRun run = RunBake(scratch.path + "/show", true);
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(run.errors, "");
  for (const char* file : BAKED) {
    const std::string baked = ReadFile(scratch.path + "/show/" + file);
    EXPECT_FALSE(baked.empty()) << file;
    EXPECT_TRUE(baked == ReadFile(std::string(ZARV_SHOW_DIR) + "/" + file)) << file;
  }
}

// Each tool reads its command line from an option table, and still takes
// the bare paths the build and the README give it.
TEST(ToolCommandLines, HelpVersionPathsAndMistakes) {
  ScratchDir scratch;
  mkdir("named", 0755);
  const std::string bake = std::string("'") + ZARV_BAKE_EXE + "'";
  const std::string report = std::string("'") + ZARV_BAND_REPORT_EXE + "'";
  const std::string track = std::string(" '") + ZARV_SHOW_DIR + "/murel.mp3'";
  const struct {
    std::string command;
    int status;
    std::vector<std::string> out;  // what stdout holds; none: it is empty
    std::string err;               // the start of stderr
  } cases[] = {
      {bake + " --help",
       0,
       {"Usage: zarv-bake [OPTION]...\n", "\n      --show-dir DIR ", "\n      --font FILE ",
        "\n      --no-music ", "\n      --quiet ", "\n  -h, --help ", "\n      --version "},
       ""},
      {bake + " -h", 0, {"Usage: zarv-bake [OPTION]...\n"}, ""},
      {bake + " --version", 0, {"zarv-bake " ZARV_VERSION "\n"}, ""},
      {bake + " --quiet --no-music --show-dir named", 0, {}, ""},
      {bake + " --frobnicate", 2, {}, "zarv-bake: unknown option --frobnicate\nUsage: zarv-bake ["},
      {bake + " --no-music", 2, {}, "zarv-bake: no show directory: give --show-dir DIR\nUsage: "},
      {bake + " --show-dir a b", 2, {}, "zarv-bake: --show-dir is given twice, as \"a\" and \"b\"\n"},
      {bake + " a b c", 2, {}, "zarv-bake: unexpected argument \"c\"\n"},
      {report + " --help", 0, {"Usage: zarv-band-report [OPTION]...\n", "\n      --music FILE "}, ""},
      {report + " --version", 0, {"zarv-band-report " ZARV_VERSION "\n"}, ""},
      {report + track, 0, {"   seconds   band 1 > 0.3"}, ""},
      {report + " --music" + track, 0, {"   seconds   band 1 > 0.3"}, ""},
      {report + " --frobnicate", 2, {}, "zarv-band-report: unknown option --frobnicate\nUsage: "},
      {report, 2, {}, "zarv-band-report: no track: give --music FILE\n"},
      {report + track + " b", 2, {}, "zarv-band-report: unexpected argument \"b\"\n"},
  };
  for (const auto& c : cases) {
    const CommandRun run = RunCommand(c.command, 60);
    EXPECT_EQ(run.status, c.status) << c.command << "\n" << run.err;
    for (const std::string& text : c.out) {
      EXPECT_NE(run.out.find(text), std::string::npos) << c.command << ": " << text;
    }
    if (c.out.empty()) {
      EXPECT_EQ(run.out, "") << c.command;
    }
    EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << c.command << "\n" << run.err;
    if (c.err.empty()) {
      EXPECT_EQ(run.err, "") << c.command;
    }
  }
  EXPECT_FALSE(ReadFile("named/data/font.png").empty());
}
