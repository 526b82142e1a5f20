// Reads every file of the build's bake back with the show's own loaders,
// and through the music module's spectrum as the scheduler sees it; baking
// again must give the same bytes.
#include <GL/gl.h>
#include <gtest/gtest.h>

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
    EXPECT_EQ(tex.bpp, 4);
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
