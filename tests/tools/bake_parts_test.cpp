// The bake tool's parts on their own: the mesh builder's geometry and
// normals, motion curves as the show's animator reads them, loudness and
// limiting, and PNG files as the texture loader reads them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "anim/animator.h"
#include "assets/texture.h"
#include "bake.h"
#include "baked_png.h"
#include "dsp.h"
#include "flora_motion.h"
#include "mastering.h"
#include "mesh_builder.h"
#include "png/png_writer.h"
#include "support/scratch_dir.h"

TEST(MeshBuilder, TubeNormalsAreUnitAndPointOutwards) {
  BakedGroup g("stem", {0.5, 0.5, 0.5});
  g.AddTube([](double t) { return Point3d{0.0, t, 0.0}; }, [](double) { return 0.1; }, 8, 6);
  ASSERT_EQ(g.normals.size(), g.vertices.size());
  for (size_t i = 0; i < g.vertices.size(); ++i) {
    EXPECT_NEAR(Length(g.normals[i]), 1.0, 1e-9);
    const Point3d radial{g.vertices[i].x, 0.0, g.vertices[i].z};
    if (Length(radial) > 0.05) {
      EXPECT_GT(Dot(g.normals[i], radial), 0.0) << i;
    }
  }
  for (const auto& t : g.triangles) {
    for (int k : t) ASSERT_TRUE(k >= 0 && static_cast<size_t>(k) < g.vertices.size());
  }
}

TEST(MeshBuilder, SheetFacesStandApartInTheMiddleAndMeetAtTheEdges) {
  BakedGroup g("leaf", {0.5, 0.5, 0.5});
  g.AddSheet([](double u, double v) { return Point3d{u, v, 0.0}; }, 4, 4, 0.04);
  const size_t half = g.vertices.size() / 2;
  ASSERT_EQ(half, 25u);
  // Front face towards +z, back face towards -z; u runs the other way on the back.
  const Point3d frontMiddle = g.vertices[2 * 5 + 2];
  const Point3d backMiddle = g.vertices[half + 2 * 5 + 2];
  EXPECT_NEAR(frontMiddle.z - backMiddle.z, 0.04, 1e-6);
  EXPECT_GT(g.normals[2 * 5 + 2].z, 0.9);
  EXPECT_LT(g.normals[half + 2 * 5 + 2].z, -0.9);
  EXPECT_NEAR(g.vertices[0].z, g.vertices[half + 4].z, 1e-12);
}

TEST(MeshBuilder, WritesRecordsSplitAtSingleBlanks) {
  ScratchDir dir;
  MeshBuilder mesh;
  BakedGroup& g = mesh.Group("petals", {0.9, 0.9, 0.8});
  g.AddPatch([](double u, double v) { return Point3d{u - 0.5, v * 1e-6 - 1e-7, 0.0}; }, 1, 1, false);
  ASSERT_TRUE(mesh.Write("m.mesh"));
  const std::vector<std::string> lines = ReadLines("m.mesh");
  ASSERT_EQ(lines.size(), 2u + 4u + 4u + 2u);
  EXPECT_EQ(lines[0], "g petals");
  EXPECT_EQ(lines[1], "col 0.9000 0.9000 0.8000");
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find("  "), std::string::npos) << line;
    EXPECT_EQ(line.find("-0.0000"), std::string::npos) << line;
    EXPECT_NE(line.back(), ' ') << line;
  }
}

TEST(FloraMotion, TheAnimatorReadsTheCurvesAsWritten) {
  ScratchDir dir;
  for (int n = 1; n <= 4; ++n) {
    SCOPED_TRACE(n);
    const Motion motion = FloraMotion(n);
    ASSERT_TRUE(WriteMotion("m.anim", motion));
    Animator anim("m.anim");
    ASSERT_EQ(anim.curves.size(), motion.curves.size());
    for (size_t c = 0; c < motion.curves.size(); ++c) {
      const MotionCurve& curve = motion.curves[c];
      for (double f = curve.frames.front(); f <= curve.frames.back(); f += 1.7) {
        EXPECT_NEAR(anim.curves[c]->Eval(static_cast<float>(f)), curve.Eval(f), 2e-3)
            << curve.channel << " " << f;
      }
    }
  }
}

namespace {

Stereo Sine(double amplitude, double hz, double seconds) {
  Stereo s(static_cast<size_t>(seconds * SAMPLE_RATE));
  for (size_t n = 0; n < s.Frames(); ++n) {
    s.left[n] = s.right[n] = static_cast<float>(amplitude * std::sin(TAU * hz * n / SAMPLE_RATE));
  }
  return s;
}

}  // namespace

TEST(Mastering, LoudnessOfAReferenceToneAndOfSilence) {
  // A 997 Hz tone at -20 dBFS in both channels reads -20 LUFS.
  EXPECT_NEAR(IntegratedLoudness(Sine(0.1, 997.0, 5.0)), -20.0, 0.1);
  EXPECT_NEAR(IntegratedLoudness(Sine(1.0, 997.0, 5.0)), 0.0, 0.1);
  EXPECT_LE(IntegratedLoudness(Stereo(44100 * 3)), -70.0);
  EXPECT_LE(IntegratedLoudness(Stereo(10)), -70.0);
}

TEST(Mastering, MeetsTheTargetWithoutPassingTheCeilingAndFadesToSilence) {
  Stereo s = Sine(0.05, 220.0, 12.0);
  for (size_t n = 44100; n < s.Frames(); n += 22050) s.left[n] = s.right[n] = 0.9f;  // spikes
  Master(s, 8.0, 10.0, -14.0, 0.89);
  float peak = 0.0f;
  for (size_t n = 0; n < s.Frames(); ++n)
    peak = std::max({peak, std::fabs(s.left[n]), std::fabs(s.right[n])});
  EXPECT_LE(peak, 0.89f);
  for (size_t n = static_cast<size_t>(10.0 * SAMPLE_RATE); n < s.Frames(); ++n) ASSERT_EQ(s.left[n], 0.0f);
  Stereo head(static_cast<size_t>(8.0 * SAMPLE_RATE));
  std::copy(s.left.begin(), s.left.begin() + head.Frames(), head.left.begin());
  std::copy(s.right.begin(), s.right.begin() + head.Frames(), head.right.begin());
  EXPECT_NEAR(IntegratedLoudness(head), -14.0, 0.7);
}

TEST(PngWriter, TheTextureLoaderReadsBackWhatWasWritten) {
  ScratchDir dir;
  std::vector<unsigned char> pixels(8 * 4 * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 7);
  ASSERT_TRUE(WriteBakedPng("t.png", 8, 4, pixels));
  int w = 0;
  int h = 0;
  int bpp = 0;
  unsigned char* back = Texture::load_png("t.png", w, h, bpp);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 4);
  EXPECT_EQ(bpp, 4);
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), back));
  delete[] back;
  // Bad shapes are refused without touching the disk.
  EXPECT_FALSE(WritePng("u.png", PngImage8(8, 4, PNG_COLOR_TYPE_GRAY_ALPHA, pixels)));
  EXPECT_FALSE(WritePng("u.png", PngImage8(9, 4, PNG_COLOR_TYPE_RGB_ALPHA, pixels)));
  EXPECT_FALSE(WriteBakedPng("no/such/dir/u.png", 8, 4, pixels));
  EXPECT_TRUE(ReadFile("u.png").empty());
}
