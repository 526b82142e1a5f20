// EGL surfaceless needs no window system at all: the context renders into
// renderbuffers of our own, read back with glReadPixels.
#include "platform/offscreen_window.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <cassert>
#include <cstring>

namespace platform {

OffscreenWindow::~OffscreenWindow() { Close(); }

bool OffscreenWindow::Open(int w, int h, int depthBits, int, bool) {
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  EGLDisplay dpy = getPlatformDisplay != nullptr
                       ? getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                       : EGL_NO_DISPLAY;
  if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, nullptr, nullptr)) {
    error = "no EGL surfaceless display (is Mesa's libegl-mesa0 installed?)";
    return false;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    error = "EGL offers no desktop OpenGL";
    eglTerminate(dpy);
    return false;
  }
  const EGLint configAttribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                  EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(dpy, configAttribs, &config, 1, &count) || count == 0) config = nullptr;
  const EGLint contextAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                   EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  EGLContext ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, contextAttribs);
  if (ctx == EGL_NO_CONTEXT || !eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx)) {
    error = "no compatibility-profile OpenGL context from EGL";
    if (ctx != EGL_NO_CONTEXT) eglDestroyContext(dpy, ctx);
    eglTerminate(dpy);
    return false;
  }
  display = dpy;
  context = ctx;
  showWidth = w;
  showHeight = h;
  width = drawnWidth > 0 ? drawnWidth : w;
  height = drawnHeight > 0 ? drawnHeight : h;

  if (samples > 0 && !resolved.Create(width, height, depthBits)) {
    error = "the offscreen framebuffer is incomplete";
    Close();
    return false;
  }
  if (!frame.Create(width, height, depthBits, samples)) {
    error = "the offscreen framebuffer is incomplete";
    if (samples > MaxSamples())
      error += ": " + std::to_string(samples) + " samples asked for, at most " +
               std::to_string(MaxSamples()) + " given";
    Close();
    return false;
  }
  glViewport(0, 0, width, height);
  opened = true;
  closeRequested = false;
  return true;
}

void OffscreenWindow::Close() {
  if (context == nullptr) return;
  glDeleteBuffers(READS_IN_FLIGHT, pixelBuffers);
  for (unsigned& buffer : pixelBuffers) buffer = 0;
  readsQueued = 0;
  frame.Release();
  resolved.Release();
  eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(display, context);
  eglTerminate(display);
  context = nullptr;
  display = nullptr;
  opened = false;
}

void OffscreenWindow::Swap() {
  if (!opened) return;
  glFlush();
  ++swaps;
  if (onSwap) onSwap();
}

void OffscreenWindow::WindowSize(int* w, int* h) {
  *w = showWidth;
  *h = showHeight;
}

void OffscreenWindow::DrawnSize(int* w, int* h) {
  *w = width;
  *h = height;
}

void OffscreenWindow::MousePos(int* x, int* y) {
  *x = mouseX;
  *y = mouseY;
}

std::vector<unsigned char> OffscreenWindow::ReadPixels() const {
  std::vector<unsigned char> pixels;
  ReadPixels(&pixels);
  return pixels;
}

int OffscreenWindow::MaxSamples() const {
  GLint most = 0;
  glGetIntegerv(GL_MAX_SAMPLES, &most);
  return most;
}

void OffscreenWindow::BindForReading() const {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (!resolved.Created()) return;
  // A multisampled buffer cannot be read: its samples are averaged into the
  // plain one, which is read instead.
  glBindFramebuffer(GL_READ_FRAMEBUFFER, frame.Name());
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolved.Name());
  glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, resolved.Name());
}

void OffscreenWindow::BindForDrawing() const {
  if (resolved.Created()) glBindFramebuffer(GL_FRAMEBUFFER, frame.Name());
}

void OffscreenWindow::ReadPixels(std::vector<unsigned char>* pixels) const {
  pixels->resize(static_cast<size_t>(width) * height * 4);
  BindForReading();
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels->data());
  BindForDrawing();
}

void OffscreenWindow::StartRead() {
  assert(readsQueued < READS_IN_FLIGHT && "FinishRead must take a frame before another read starts");
  const GLsizeiptr bytes = static_cast<GLsizeiptr>(width) * height * 4;
  if (pixelBuffers[0] == 0) {
    glGenBuffers(READS_IN_FLIGHT, pixelBuffers);
    for (unsigned buffer : pixelBuffers) {
      glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
      glBufferData(GL_PIXEL_PACK_BUFFER, bytes, nullptr, GL_STREAM_READ);
    }
  }
  BindForReading();
  glBindBuffer(GL_PIXEL_PACK_BUFFER, pixelBuffers[(oldestRead + readsQueued) % READS_IN_FLIGHT]);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  BindForDrawing();
  ++readsQueued;
}

bool OffscreenWindow::FinishRead(std::vector<unsigned char>* pixels) {
  assert(readsQueued > 0 && "FinishRead needs a frame queued by StartRead");
  pixels->resize(static_cast<size_t>(width) * height * 4);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, pixelBuffers[oldestRead]);
  const void* mapped = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
  if (mapped != nullptr) std::memcpy(pixels->data(), mapped, pixels->size());
  glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  oldestRead = (oldestRead + 1) % READS_IN_FLIGHT;
  --readsQueued;
  return mapped != nullptr;
}

}  // namespace platform
