// Draws the baked sprites, plants and credit in the offscreen context with
// the show's own effect code (the plants through the mesh effect at several
// frames of their motion) and checks what reaches the screen. With
// ZARV_PREVIEW_DIR set, the pictures are also saved there for a look.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "anim/animator.h"
#include "assets/font.h"
#include "assets/mesh.h"
#include "assets/texture.h"
#include "bake_runner.h"
#include "fx/circle1frag.h"
#include "fx/flatview.h"
#include "fx/flora0frag.h"
#include "fx/sprite.h"
#include "png/png_writer.h"
#include "support/offscreen_gl.h"

namespace {

struct Screen {
  int lit = 0;        // pixels brighter than a faint glow
  int brightest = 0;  // largest colour component anywhere
};

class BakedPictures : public OffscreenGL {
 protected:
  void SetUp() override {
    OffscreenGL::SetUp();
    ASSERT_TRUE(RunBake(scratch.path + "/show", false).ok);
    ASSERT_EQ(chdir((scratch.path + "/show").c_str()), 0);
  }

  Screen Look() const {
    Screen s;
    const std::vector<unsigned char> all = window.ReadPixels();
    for (size_t i = 0; i < all.size(); i += 4) {
      const int top = std::max({all[i], all[i + 1], all[i + 2]});
      s.brightest = std::max(s.brightest, top);
      if (top > 24) ++s.lit;
    }
    return s;
  }

  // Saves the frame, halved, into cell (column, row) of a sheet of 3 x 2 cells.
  void Keep(int column, int row) {
    const std::vector<unsigned char> all = window.ReadPixels();
    sheet.resize(1200 * 600 * 3, 0);
    for (int y = 0; y < 300; ++y) {
      for (int x = 0; x < 400; ++x) {
        for (int c = 0; c < 3; ++c) {
          int sum = 0;
          for (int k = 0; k < 4; ++k) sum += all[((599 - 2 * y - k / 2) * 800 + 2 * x + k % 2) * 4 + c];
          sheet[((row * 300 + y) * 1200 + column * 400 + x) * 3 + c] = static_cast<unsigned char>(sum / 4);
        }
      }
    }
  }

  void SaveSheet(const std::string& name) {
    const char* dir = std::getenv("ZARV_PREVIEW_DIR");
    if (dir && !sheet.empty())
      WritePng(std::string(dir) + "/" + name, PngImage8(1200, 600, PNG_COLOR_TYPE_RGB, sheet));
    sheet.clear();
  }

  // The scene the mesh effect draws at one animation frame, as the
  // scheduler draws it: inside an attribute push/pop.
  void DrawFlora(Animator& anim, Mesh& mesh, float frame) {
    Flora0Frag::anim[0] = &anim;
    Flora0Frag::mesh[0] = &mesh;
    Flora0Frag fx;
    fx.alive = true;
    fx.slot = 0;
    fx.time = frame;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    fx.Render(0.0f);
    glPopAttrib();
    Flora0Frag::anim[0] = nullptr;
    Flora0Frag::mesh[0] = nullptr;
  }

  // A sprite as the circle effects draw it: tinted by colour, on the flat view.
  void DrawSprite(Texture& tex, float x, float y, float scale, const float* rgb) {
    LoadFlatView();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    tex.enable();
    tex.bind();
    glColor4f(rgb[0], rgb[1], rgb[2], 1.0f);
    glTranslatef(x, y, 0.0f);
    glScalef(scale, scale, scale);
    ::DrawSprite(&tex, scale);
    tex.disable();
    glDisable(GL_BLEND);
  }

  ScratchDir scratch;
  std::vector<unsigned char> sheet;
};

// Palette entries the sprites are tinted with: near white, sand, teal, ochre.
const int TINTS[4] = {0, 5, 6, 8};

}  // namespace

TEST_F(BakedPictures, EachPlantRisesOutOfTheFogAndSinksBack) {
  const char* slots[4] = {"1", "2", "3", "4"};
  for (const char* n : slots) {
    SCOPED_TRACE(n);
    Animator anim(std::string("data/") + n + ".anim");
    Mesh mesh(std::string("data/") + n + ".mesh");
    const float span = anim.endFrame - anim.startFrame;
    const float at[6] = {0.0f, 0.2f, 0.4f, 0.55f, 0.75f, 0.99f};
    int widest = 0;
    for (int k = 0; k < 6; ++k) {
      DrawFlora(anim, mesh, anim.startFrame + at[k] * span);
      const Screen s = Look();
      if (k == 0 || k == 5) {
        EXPECT_EQ(s.lit, 0) << "hidden in the fog at the ends, frame " << at[k];
      }
      widest = std::max(widest, s.lit);
      if (k == 2 || k == 3) {
        EXPECT_GT(s.brightest, 110) << "clearly lit when close, frame " << at[k];
      }
      Keep(k % 3, k / 3);
    }
    // Close to the eye the plant fills a good part of the screen, but not all of it.
    EXPECT_GT(widest, 800 * 600 / 20);
    EXPECT_LT(widest, 800 * 600 * 2 / 3);
    SaveSheet(std::string("flora") + n + ".png");
  }
}

TEST_F(BakedPictures, SpritesShowTheirTintAndFadeToNothingAtTheEdge) {
  const char* files[3] = {"data/c2.png", "data/circle3.png", "data/3.png"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(files[i]);
    Texture tex(files[i], GL_TEXTURE_2D, 24);
    ASSERT_EQ(tex.bpp, 1) << "white, so kept as its alpha alone";
    EXPECT_EQ(tex.width & (tex.width - 1), 0) << "power of two";
    EXPECT_EQ(tex.height & (tex.height - 1), 0) << "power of two";
    glClear(GL_COLOR_BUFFER_BIT);
    for (int t = 0; t < 4; ++t) DrawSprite(tex, -3.0f + 2.0f * t, 0.0f, 0.95f, gcol[TINTS[t]]);
    // The tint comes through: the white-tinted copy's centre is bright and neutral,
    // the teal one keeps its hue.
    const std::array<int, 4> white = Pixel(100, 300);
    const std::array<int, 4> teal = Pixel(500, 300);
    EXPECT_GT(white[0], 200);
    EXPECT_LT(teal[0], teal[2]);
    // Nothing at the corners of each quad: the image fades out before its border.
    for (int t = 0; t < 4; ++t) EXPECT_EQ(Pixel(100 + 200 * t - 92, 300 - 92)[0], 0);
    Keep(i, 0);
  }
  SaveSheet("sprites.png");
}

TEST_F(BakedPictures, TheCreditReadsOnOneLineAtTheBottom) {
  Font font;
  glClear(GL_COLOR_BUFFER_BIT);
  glColor4f(1, 1, 1, 1);
  font.Print(364, 24, 24, "rT & wn");
  int glyphWidth = 0;
  for (const char c : std::string("rT & wn")) glyphWidth += font.width[static_cast<unsigned char>(c)];
  const int right = 364 + glyphWidth * 24 / 32;
  const std::vector<unsigned char> all = window.ReadPixels();
  int inside = 0;
  int outside = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      if (all[(y * 800 + x) * 4] < 40) continue;
      (x >= 364 && x <= right && y >= 24 && y < 48 ? inside : outside)++;
    }
  }
  EXPECT_GT(inside, 150);
  EXPECT_EQ(outside, 0);
  // Glyphs with gaps between them: count the columns of ink runs. r's arm
  // reaches past its advance to the T's bar, so that pair inks one run.
  int runs = 0;
  bool inRun = false;
  for (int x = 360; x <= right + 2; ++x) {
    bool ink = false;
    for (int y = 24; y < 48; ++y) ink = ink || all[(y * 800 + x) * 4] >= 40;
    if (ink && !inRun) ++runs;
    inRun = ink;
  }
  EXPECT_EQ(runs, 4);
  // Larger, for the eye.
  font.Print(40, 300, 96, "rT & wn");
  font.Print(40, 200, 48, "\xc0\xe9\xee\xf5\xfc \xc7\xdf 0123456789 ?!");
  Keep(0, 0);
  SaveSheet("credit.png");
}
