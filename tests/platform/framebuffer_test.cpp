// The one framebuffer helper: a complete framebuffer of the asked size is
// bound and drawn into; one that cannot be completed leaves nothing behind.
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include "platform/framebuffer.h"
#include "support/offscreen_gl.h"

TEST_F(OffscreenGL, AFramebufferIsCompleteAndBoundOrLeavesNothingBehind) {
  platform::Framebuffer frame;
  ASSERT_TRUE(frame.Create(64, 32, 24));
  GLint bound = 0, depthBits = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
  EXPECT_EQ(bound, static_cast<GLint>(frame.Name()));
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  EXPECT_EQ(depthBits, 24);
  glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  unsigned char corner[4] = {};
  glReadPixels(63, 31, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, corner);
  EXPECT_EQ(corner[1], 255);
  const unsigned name = frame.Name();
  frame.Release();
  EXPECT_FALSE(glIsFramebuffer(name));
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
  EXPECT_EQ(bound, 0);

  // Zero-sized attachments can never be complete.
  platform::Framebuffer empty;
  EXPECT_FALSE(empty.Create(0, 0, 16));
  EXPECT_FALSE(empty.Created());
  EXPECT_NE(empty.Status(), static_cast<unsigned>(GL_FRAMEBUFFER_COMPLETE));
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
  EXPECT_EQ(bound, 0);
}
