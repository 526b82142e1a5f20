// The spectrum overlay in the offscreen context with the baked font: the
// matrix stacks it leaves behind and the band under the cursor.
#include "demo/overlay.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "assets/font.h"
#include "demo/demo.h"
#include "demo/scheduler.h"
#include "support/offscreen_font.h"

namespace {

class Overlay : public OffscreenFont {
 protected:
  void TearDown() override {
    FFT = nullptr;
    OffscreenFont::TearDown();
  }
};

}  // namespace

TEST_F(Overlay, LeavesBothMatrixStacksAndTheLineWidthAsFound) {
  std::array<float, 512> silence{};
  FFT = silence.data();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glTranslatef(1.0f, 2.0f, 3.0f);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRotatef(30.0f, 0.0f, 0.0f, 1.0f);
  GLfloat projection[16], modelview[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  glLineWidth(4.0f);
  MusicDrawFFT();
  GLfloat lineWidth = 0.0f;
  glGetFloatv(GL_LINE_WIDTH, &lineWidth);
  EXPECT_EQ(lineWidth, 4.0f);
  GLfloat after[16];
  GLint mode = 0, depth = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], modelview[i]);
  glGetFloatv(GL_PROJECTION_MATRIX, after);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], projection[i]);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
}

TEST_F(Overlay, ReadsTheBandUnderTheCursorClampedToTheSpectrum) {
  std::array<float, 512> bands{};
  bands[0] = 0.05f;
  bands[127] = 0.25f;
  bands[511] = 0.45f;
  FFT = bands.data();
  // The horizontal cross-hair line lies at the level of the band under the
  // cursor: in the 600-pixel view that spans levels 0 to 0.5, row level * 1200.
  auto horizontalLineRow = [&](int mouseX) {
    window.SetMousePos(mouseX, 300);
    glClear(GL_COLOR_BUFFER_BIT);
    MusicDrawFFT();
    std::vector<unsigned char> p = window.ReadPixels();
    // The cross-hair is the only green-dominant colour; look at the far right column.
    for (int y = 0; y < 600; ++y) {
      const unsigned char* px = &p[(y * 800 + 798) * 4];
      if (px[1] > 100 && px[0] < px[1] - 60) return y;
    }
    return -1;
  };
  EXPECT_NEAR(horizontalLineRow(400), 300, 2) << "band 127";
  EXPECT_NEAR(horizontalLineRow(-100), 60, 2) << "left of the window: band 0";
  EXPECT_NEAR(horizontalLineRow(5000), 540, 2) << "far right: clamped to band 511";

  FFT = nullptr;
  EXPECT_EQ(horizontalLineRow(400), -1) << "no spectrum: no graph and no level line";
}
