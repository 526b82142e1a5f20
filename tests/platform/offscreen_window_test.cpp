// The offscreen backend every rendering test relies on: a compatibility
// context, 800 x 600 with a 16-bit depth buffer, a clock that moves only when
// set, and frames read back through its queue of pictures.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "support/offscreen_gl.h"

TEST_F(OffscreenGL, DrawsIntoAn800x600FramebufferWithSixteenBitDepth) {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
  GLint depthBits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  EXPECT_EQ(depthBits, 16);

  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  // Fixed-function immediate mode must work: this is a compatibility context.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 800, 0, 600, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor3f(1.0f, 0.0f, 0.0f);
  glRectf(0.0f, 0.0f, 400.0f, 300.0f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  auto inside = Pixel(100, 100);
  auto outside = Pixel(600, 500);
  EXPECT_EQ(inside[0], 255);
  EXPECT_EQ(inside[1], 0);
  EXPECT_EQ(outside[0], 0);
}

TEST_F(OffscreenGL, ClockMovesOnlyWhenSet) {
  EXPECT_EQ(platform::GetTime(), 0.0);
  platform::SetTime(12.5);
  EXPECT_EQ(platform::GetTime(), 12.5);
  platform::SwapBuffers();
  EXPECT_EQ(platform::GetTime(), 12.5);
}

TEST_F(OffscreenGL, ReportsTheShowsWindowSizeAndInput) {
  int w = 0, h = 0;
  platform::GetWindowSize(&w, &h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  EXPECT_EQ(platform::GetKey(platform::KEY_ESC), platform::RELEASE);
  window.PressKey(platform::KEY_ESC);
  EXPECT_EQ(platform::GetKey(platform::KEY_ESC), platform::PRESS);
  EXPECT_NE(platform::GetWindowParam(platform::OPENED), 0);
  window.RequestClose();
  EXPECT_EQ(platform::GetWindowParam(platform::OPENED), 0);
}

// Frames read through the queue come back in the order they were drawn and
// whole: two in flight, a third drawn into the picture FinishRead has just
// freed. Reopened with a larger multisampled picture, the pictures take its
// size and the samples are resolved into them.
TEST_F(OffscreenGL, QueuedReadsComeBackWholeInTheOrderDrawn) {
  const auto fill = [](float r, float g, float b) {
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  };
  std::vector<unsigned char> pixels;
  const auto expectFrame = [&](int red, int green, int blue) {
    ASSERT_TRUE(window.FinishRead(&pixels));
    ASSERT_EQ(pixels.size(), static_cast<size_t>(window.PixelWidth()) * window.PixelHeight() * 4);
    for (size_t at : {size_t{0}, pixels.size() - 4}) {
      EXPECT_EQ(pixels[at], red);
      EXPECT_EQ(pixels[at + 1], green);
      EXPECT_EQ(pixels[at + 2], blue);
    }
  };
  for (int rows : {600, 1080}) {
    SCOPED_TRACE(rows);
    if (rows != 600) {
      window.Close();
      window.drawnWidth = rows * 4 / 3;
      window.drawnHeight = rows;
      window.samples = 4;
      ASSERT_TRUE(window.Open(800, 600, 16, 0, true)) << window.Error();
    }
    fill(1.0f, 0.0f, 0.0f);
    window.StartRead();
    fill(0.0f, 1.0f, 0.0f);
    window.StartRead();
    EXPECT_EQ(window.ReadsQueued(), 2);
    expectFrame(255, 0, 0);
    fill(0.0f, 0.0f, 1.0f);
    window.StartRead();
    expectFrame(0, 255, 0);
    expectFrame(0, 0, 255);
    EXPECT_EQ(window.ReadsQueued(), 0);
  }
}
