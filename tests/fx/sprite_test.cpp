// The sprite's cut corners against the whole square: the show's own sprite
// images, sampled as the show samples them, must leave the same pixels.
#include "fx/sprite.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/texture.h"
#include "fx/flatview.h"
#include "platform/blending.h"
#include "support/offscreen_gl.h"

namespace {

class SpriteDraw : public OffscreenGL {
 protected:
  // A frame of stripes with the sprite blended over them, turned by degrees;
  // whole: drawn as the full square.
  std::vector<unsigned char> Frame(Texture& image, float halfSide, float degrees, bool whole) {
    glClearColor(0.2f, 0.3f, 0.4f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    LoadFlatView();
    glEnable(GL_BLEND);
    platform::BlendOver();
    for (int i = 0; i < 8; ++i) {
      glColor4f(0.1f * i, 1.0f - 0.1f * i, 0.5f, 1.0f);
      glRectf(-4.0f + i, -3.0f, -3.5f + i, 3.0f);
    }
    image.enable();
    image.bind();
    glColor4f(0.9f, 0.8f, 0.6f, 0.4f);
    glTranslatef(0.3f, -0.2f, 0.0f);
    glScalef(halfSide, halfSide, 1.0f);
    glRotatef(degrees, 0.0f, 0.0f, 1.0f);
    DrawSprite(whole ? nullptr : &image, halfSide);
    image.disable();
    glDisable(GL_BLEND);
    return window.ReadPixels();
  }
};

TEST_F(SpriteDraw, CutCornersLeaveThePixelsOfTheWholeSquare) {
  for (const char* file : {"c2.png", "circle3.png"}) {
    const std::string path = std::string(ZARV_SHOW_DIR) + "/data/" + file;
    Texture image(path.c_str(), GL_TEXTURE_2D, Texture::SHOW_FLAGS | Texture::BILINEAR);
    ASSERT_GT(image.width, 0) << path;
    // The baked sprites fade out inside their square.
    EXPECT_GT(image.alphaReach, 0.3f) << file;
    EXPECT_LT(image.alphaReach, 0.5f) << file;
    // Sides from 3 to 400 pixels: the cut shrinks to nothing for the small ones.
    for (float halfSide : {0.015f, 0.06f, 0.2f, 0.7f, 2.0f}) {
      for (float degrees : {0.0f, 33.0f}) {
        const std::vector<unsigned char> whole = Frame(image, halfSide, degrees, true);
        const std::vector<unsigned char> cut = Frame(image, halfSide, degrees, false);
        int worst = 0;
        for (size_t i = 0; i < whole.size(); ++i) worst = std::max(worst, std::abs(whole[i] - cut[i]));
        EXPECT_LE(worst, 1) << file << " at a half side of " << halfSide << ", turned " << degrees;
      }
    }
  }
}

TEST(SpriteCornerCut, CutsOnlyWhatNoMipmapLevelReaches) {
  // Drawn large, the cut lies just outside the reach (|x| + |y| = c, the
  // square's half side being 1).
  EXPECT_NEAR(SpriteCornerCut(0.45f, 4000.0f), 0.902f * 1.41421f, 0.01f);
  // Small ones, opaque images and nonsense sides keep the whole square.
  EXPECT_EQ(SpriteCornerCut(0.45f, 10.0f), 2.0f);
  EXPECT_EQ(SpriteCornerCut(1.0f, 400.0f), 2.0f);
  EXPECT_EQ(SpriteCornerCut(0.45f, 0.0f), 2.0f);
  EXPECT_EQ(SpriteCornerCut(0.45f, -5.0f), 2.0f);
  // A tiny image reach is cut no further than to the diamond.
  EXPECT_EQ(SpriteCornerCut(0.0f, 4000.0f), 1.0f);
  EXPECT_LT(SpriteCornerCut(0.45f, 400.0f), SpriteCornerCut(0.45f, 100.0f));
}

}  // namespace
