// An EGL context without a surface needs no window system at all: it
// renders into renderbuffers of our own, read back with glReadPixels.
#include "platform/offscreen_window.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <cassert>

namespace platform {

OffscreenWindow::~OffscreenWindow() { Close(); }

bool OffscreenWindow::Open(int w, int h, int depthBits, int, bool) {
  EglDisplay chosen;
  if (!OpenEglDisplay(renderer, &chosen, &error, &noHardware)) return false;
  EGLDisplay dpy = chosen.display;
  wayIn = chosen.wayIn;
  renderNode = chosen.renderNode;
  EGLContext ctx = MakeGlContext(dpy, &error);
  if (ctx == EGL_NO_CONTEXT) {
    eglTerminate(dpy);
    return false;
  }
  display = dpy;
  context = ctx;
  showWidth = w;
  showHeight = h;
  width = drawnWidth > 0 ? drawnWidth : w;
  height = drawnHeight > 0 ? drawnHeight : h;

  for (Framebuffer& picture : pictures) {
    if (!picture.Create(width, height, depthBits)) {
      error = "the offscreen framebuffer is incomplete";
      Close();
      return false;
    }
  }
  if (samples > 0 && !multisampled.Create(width, height, depthBits, samples)) {
    error = "the offscreen framebuffer is incomplete";
    if (samples > MaxSamples())
      error += ": " + std::to_string(samples) + " samples asked for, at most " +
               std::to_string(MaxSamples()) + " given";
    Close();
    return false;
  }
  if (!aside.Create(2, 2, depthBits)) {
    error = "the offscreen framebuffer is incomplete";
    Close();
    return false;
  }
  drawing = 0;
  BindForDrawing();
  glViewport(0, 0, width, height);
  opened = true;
  closeRequested = false;
  return true;
}

std::string OffscreenWindow::RendererLine() const {
  const auto text = [](GLenum name) {
    const char* value = reinterpret_cast<const char*>(glGetString(name));
    return std::string(value != nullptr ? value : "unnamed");
  };
  return "Renderer: " + text(GL_VENDOR) + " " + text(GL_RENDERER) + ", through " + wayIn;
}

void OffscreenWindow::Close() {
  if (context == nullptr) return;
  for (void*& fence : drawn) {
    if (fence != nullptr) glDeleteSync(static_cast<GLsync>(fence));
    fence = nullptr;
  }
  readsQueued = 0;
  oldestRead = 0;
  multisampled.Release();
  aside.Release();
  for (Framebuffer& picture : pictures) picture.Release();
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

void OffscreenWindow::BindForDrawing() const {
  glBindFramebuffer(GL_FRAMEBUFFER, multisampled.Created() ? multisampled.Name() : pictures[drawing].Name());
}

// A multisampled buffer cannot be read: its samples are averaged into a
// plain picture, which is read instead.
void OffscreenWindow::Resolve(int slot) const {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, multisampled.Name());
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, pictures[slot].Name());
  glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

void OffscreenWindow::ReadPicture(int slot, std::vector<unsigned char>* pixels) const {
  pixels->resize(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, pictures[slot].Name());
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels->data());
}

void OffscreenWindow::ReadPixels(std::vector<unsigned char>* pixels) const {
  if (multisampled.Created()) Resolve(drawing);
  ReadPicture(drawing, pixels);
  BindForDrawing();
}

// As observed on Mesa 22.3: llvmpipe keeps each finished frame's framebuffer
// in use until it starts a new frame in that frame's slot, and a read of a
// picture in use waits for every frame queued. It takes the first finished slot it finds, so slots
// left by frames run before the capture would hold their pictures for good:
// those frames draw aside.
void OffscreenWindow::SetUndrawn(bool undrawn) {
  if (undrawn) {
    glBindFramebuffer(GL_FRAMEBUFFER, aside.Name());
  } else {
    BindForDrawing();
  }
}

void OffscreenWindow::StartRead() {
  assert(readsQueued < READS_IN_FLIGHT && "FinishRead must take a frame before another read starts");
  const int slot = drawing;
  if (multisampled.Created()) Resolve(slot);
  drawn[slot] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  // The rasteriser starts on the frame now, while the show draws the next.
  glFlush();
  ++readsQueued;
  drawing = (slot + 1) % PICTURES;
  BindForDrawing();
}

bool OffscreenWindow::FinishRead(std::vector<unsigned char>* pixels) {
  assert(readsQueued > 0 && "FinishRead needs a frame queued by StartRead");
  const int slot = oldestRead;
  GLsync finished = static_cast<GLsync>(drawn[slot]);
  // Bounded, so that a driver that never finishes fails the read rather
  // than hanging the capture; no frame takes a software rasteriser near it.
  constexpr GLuint64 MOST_NS = 60ull * 1000000000ull;
  const GLenum waited = finished != nullptr ? glClientWaitSync(finished, 0, MOST_NS) : GL_WAIT_FAILED;
  const bool done = waited == GL_ALREADY_SIGNALED || waited == GL_CONDITION_SATISFIED;
  glDeleteSync(finished);
  drawn[slot] = nullptr;
  // Starting the next frame, with the clear it begins with anyway, makes
  // llvmpipe (Mesa 22.3, as observed) let go of the finished one (see
  // SetUndrawn): the read then takes
  // the picture at once while the frame after it is still rasterised.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  ReadPicture(slot, pixels);
  oldestRead = (slot + 1) % PICTURES;
  --readsQueued;
  BindForDrawing();
  return done;
}

}  // namespace platform
