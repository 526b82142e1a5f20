// Test fixture: an 800 x 600 offscreen OpenGL context (EGL surfaceless,
// framebuffer object with a 16-bit depth buffer) made the platform backend,
// so the show's code draws into it and the clock is set by the test.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/offscreen_window.h"
#include "platform/platform.h"

class OffscreenGL : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::UseBackend(&window);
    ASSERT_TRUE(window.Open(800, 600, 16, 0, true)) << window.Error();
  }
  void TearDown() override {
    window.Close();
    platform::UseBackend(nullptr);
  }

  // RGBA of the pixel at (x, y) from the lower-left corner.
  std::array<int, 4> Pixel(int x, int y) const {
    std::vector<unsigned char> all = window.ReadPixels();
    const unsigned char* p = &all[(static_cast<size_t>(y) * 800 + x) * 4];
    return {p[0], p[1], p[2], p[3]};
  }

  platform::OffscreenWindow window;
};
