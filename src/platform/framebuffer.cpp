// Renderbuffers rather than textures: the show's frame is only ever blitted
// or read back, never sampled.
#include "platform/framebuffer.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

namespace platform {

bool Framebuffer::Create(int w, int h, int depthBits, int sampleCount) {
  Release();
  width = w;
  height = h;
  samples = sampleCount;
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  colourBuffer = Attach(GL_COLOR_ATTACHMENT0, GL_RGBA8);
  depthBuffer = Attach(GL_DEPTH_ATTACHMENT, depthBits > 16 ? GL_DEPTH_COMPONENT24 : GL_DEPTH_COMPONENT16);
  status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (status == GL_FRAMEBUFFER_COMPLETE) return true;
  Release();
  return false;
}

unsigned Framebuffer::Attach(unsigned attachment, unsigned format) {
  GLuint buffer = 0;
  glGenRenderbuffers(1, &buffer);
  glBindRenderbuffer(GL_RENDERBUFFER, buffer);
  if (samples > 0) {
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, width, height);
  } else {
    glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
  }
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, buffer);
  return buffer;
}

void Framebuffer::Release() {
  if (!Created()) return;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fbo);
  glDeleteRenderbuffers(1, &colourBuffer);
  glDeleteRenderbuffers(1, &depthBuffer);
  fbo = colourBuffer = depthBuffer = 0;
}

}  // namespace platform
