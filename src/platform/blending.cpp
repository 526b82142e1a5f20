// Without coverage alpha the blend is the one function it always was, so
// the frames stay as they were; the separate alpha factors need OpenGL 1.4.
#include "platform/blending.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

namespace platform {

namespace {

bool coverageAlpha = false;

}  // namespace

void SetCoverageAlpha(bool on) { coverageAlpha = on; }

bool CoverageAlpha() { return coverageAlpha; }

void BlendOver() {
  if (coverageAlpha)
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  else
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void BlendFade() {
  if (coverageAlpha)
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE_MINUS_SRC_ALPHA);
  else
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

}  // namespace platform
