// The renderer choice on this machine's own EGL devices: one that draws the
// known frame right is taken (here Mesa's software device: the check takes
// llvmpipe), and one byte read back wrong is enough to pass each over.
#include <GL/gl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "platform/offscreen_window.h"

// Answered here ahead of the GL library, so that a test can stand in for a
// renderer that draws wrong: while set, the first byte read back is off by one.
bool readsWrong = false;
extern "C" void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                             void* pixels) {
  using Read = void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
  static auto real = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "glReadPixels"));
  real(x, y, width, height, format, type, pixels);
  if (readsWrong && width > 0 && height > 0) static_cast<unsigned char*>(pixels)[0] ^= 1;
}

TEST(EglDisplay, ADeviceIsTakenOnlyWhereItDrawsTheKnownFrameRight) {
  platform::OffscreenWindow window;
  window.renderer = platform::Renderer::AUTO;
  ASSERT_TRUE(window.Open(800, 600, 16, 0, false)) << window.Error();
  EXPECT_NE(window.RendererLine().find(", through the EGL device platform ("), std::string::npos)
      << window.RendererLine();
  window.Close();
  readsWrong = true;
  const bool opened = window.Open(800, 600, 16, 0, false);
  const std::string line = opened ? window.RendererLine() : window.Error();
  window.Close();
  window.renderer = platform::Renderer::HARDWARE;
  const bool hardware = window.Open(800, 600, 16, 0, false);
  readsWrong = false;
  EXPECT_TRUE(opened) << line;
  EXPECT_NE(line.find(", through Mesa's surfaceless platform"), std::string::npos) << line;
  EXPECT_FALSE(hardware);
  EXPECT_TRUE(window.NoHardware()) << window.Error();
}
