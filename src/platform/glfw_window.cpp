// GLFW 3 behind the GLFW 2-style calls: the context is made current once,
// events are polled right after every buffer swap. Full screen keeps the
// monitor's current mode, so there is no mode switch to undo.
#include "platform/glfw_window.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GLFW/glfw3.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "foundation/debug.h"

namespace platform {

namespace {

// Taken where the monitor's mode reports no refresh rate (a virtual X server's).
constexpr int ASSUMED_REFRESH_RATE = 60;

std::string lastGlfwError;

void RememberError(int, const char* description) { lastGlfwError = description; }

// Mesa's renderers that run on the processor, whose fill rate is far below
// any graphics card's.
bool SoftwareRenderer(const char* renderer) {
  for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"}) {
    if (std::strstr(renderer, name) != nullptr) return true;
  }
  return false;
}

int GlfwKey(int key) {
  switch (key) {
    case KEY_ESC:
      return GLFW_KEY_ESCAPE;
    case KEY_F1:
      return GLFW_KEY_F1;
    default:
      return key;  // printable keys share their codes
  }
}

}  // namespace

bool GlfwWindow::Init() {
  glfwSetErrorCallback(RememberError);
  initialised = glfwInit() == GLFW_TRUE;
  return initialised;
}

bool GlfwWindow::Open(int width, int height, int depth, int stencilBits, bool fullscreen) {
  if (!initialised) {
    error = "the window system did not start (" + lastGlfwError +
            "); without a display, zarv-capture renders the show offscreen";
    return false;
  }
  showWidth = width;
  showHeight = height;
  depthBits = depth;
  glfwDefaultWindowHints();
  glfwWindowHint(GLFW_DEPTH_BITS, depth);
  glfwWindowHint(GLFW_STENCIL_BITS, stencilBits);
  GLFWmonitor* primary = glfwGetPrimaryMonitor();
  GLFWmonitor* monitor = fullscreen ? primary : nullptr;
  const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
  const GLFWvidmode* primaryMode = primary != nullptr ? glfwGetVideoMode(primary) : nullptr;
  refreshRate = primaryMode != nullptr ? primaryMode->refreshRate : 0;
  int windowWidth = width, windowHeight = height;
  if (mode != nullptr) {
    // The mode the monitor is in already: GLFW then switches nothing.
    windowWidth = mode->width;
    windowHeight = mode->height;
    glfwWindowHint(GLFW_RED_BITS, mode->redBits);
    glfwWindowHint(GLFW_GREEN_BITS, mode->greenBits);
    glfwWindowHint(GLFW_BLUE_BITS, mode->blueBits);
    glfwWindowHint(GLFW_REFRESH_RATE, mode->refreshRate);
  }
  window = glfwCreateWindow(windowWidth, windowHeight, "zarv", monitor, nullptr);
  if (window == nullptr) {
    error = "no OpenGL window could be created (" + lastGlfwError + ")";
    return false;
  }
  glfwMakeContextCurrent(window);
  // Hidden, not captured: the pointer can still leave for another monitor.
  glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_HIDDEN);
  // Black until the first frame of the show, however long loading takes;
  // the clear colour is still its default, black.
  glClear(GL_COLOR_BUFFER_BIT);
  glfwSwapBuffers(window);
  glfwPollEvents();
  ChooseDrawnSize();
  FitFramebuffer();
  return true;
}

void GlfwWindow::ChooseDrawnSize() {
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  if (renderer == nullptr) renderer = "an unnamed renderer";
  const bool software = SoftwareRenderer(renderer);
  const bool screen = resolution == Resolution::SCREEN || (resolution == Resolution::AUTO && !software);
  const std::string why =
      resolution != Resolution::AUTO ? "asked for with --resolution"
      : software ? std::string("the software renderer ") + renderer + " lacks the fill rate for more"
                 : std::string("the graphics card ") + renderer + " draws it at no cost";
  drawnWidth = showWidth;
  drawnHeight = showHeight;
  if (screen) {
    int fbWidth = 0, fbHeight = 0;
    glfwGetFramebufferSize(window, &fbWidth, &fbHeight);
    const Rect r = ShownRect(fbWidth, fbHeight);
    if (r.width > 0 && r.height > 0) {
      drawnWidth = r.width;
      drawnHeight = r.height;
    }
  }
  Log::Msg("Resolution: %s, drawn at %d x %d%s (%s)", screen ? "screen" : "show", drawnWidth, drawnHeight,
           screen ? ", the screen's largest 4:3 area" : " and scaled to the screen", why.c_str());
}

void GlfwWindow::FitFramebuffer() {
  int fbWidth = 0, fbHeight = 0;
  glfwGetFramebufferSize(window, &fbWidth, &fbHeight);
  bool needed = fbWidth != drawnWidth || fbHeight != drawnHeight;
  if (needed == Letterboxed()) return;
  letterbox.Release();
  if (!needed || letterboxFailed) return;
  if (!letterbox.Create(drawnWidth, drawnHeight, depthBits)) {
    letterboxFailed = true;
    Log::Msg("the letterbox framebuffer is incomplete (status 0x%x): the show draws straight to the window",
             letterbox.Status());
  }
}

GlfwWindow::Rect GlfwWindow::ShownRect(int fbWidth, int fbHeight) const {
  const Area shown = LargestShowArea(fbWidth, fbHeight, 1);
  return {(fbWidth - shown.width) / 2, (fbHeight - shown.height) / 2, shown.width, shown.height};
}

void GlfwWindow::Present() {
  int fbWidth = 0, fbHeight = 0;
  glfwGetFramebufferSize(window, &fbWidth, &fbHeight);
  Rect r = ShownRect(fbWidth, fbHeight);

  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  glDisable(GL_SCISSOR_TEST);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, letterbox.Name());
  glBlitFramebuffer(0, 0, drawnWidth, drawnHeight, r.x, r.y, r.x + r.width, r.y + r.height,
                    GL_COLOR_BUFFER_BIT, GL_LINEAR);
  glfwSwapBuffers(window);
  glBindFramebuffer(GL_FRAMEBUFFER, letterbox.Name());
  glClearColor(clear[0], clear[1], clear[2], clear[3]);
  if (scissor) glEnable(GL_SCISSOR_TEST);
}

void GlfwWindow::Close() {
  if (window != nullptr) {
    letterbox.Release();
    glfwDestroyWindow(window);
    window = nullptr;
  }
  if (initialised) glfwTerminate();
  initialised = false;
}

double GlfwWindow::Time() { return glfwGetTime(); }

void GlfwWindow::SetTime(double seconds) { glfwSetTime(seconds); }

void GlfwWindow::SetStickyKeys(bool on) {
  if (window != nullptr) glfwSetInputMode(window, GLFW_STICKY_KEYS, on ? GLFW_TRUE : GLFW_FALSE);
}

void GlfwWindow::SetSwapInterval(int interval) {
  if (window == nullptr) return;
  const bool off = interval == 0 || frameLimit == NO_FRAME_LIMIT;
  glfwSwapInterval(off ? 0 : interval);
  if (off) {
    pacer.SetRate(0.0);
    Log::Msg("Pacing: none (%s): frames are drawn as fast as they can be",
             interval == 0 ? "swap interval 0" : "--fps-limit off");
  } else if (frameLimit > 0) {
    pacer.SetRate(frameLimit);
    Log::Msg("Pacing: at most %d frames a second (--fps-limit), swaps waiting for the display's refresh",
             frameLimit);
  } else {
    const int hz = refreshRate > 0 ? refreshRate : ASSUMED_REFRESH_RATE;
    pacer.SetRate(hz);
    Log::Msg(
        "Pacing: to the display, %d Hz%s: swaps wait for its refresh, and frames that come sooner "
        "wait out the rest of its period",
        hz, refreshRate > 0 ? "" : " (the monitor reports no refresh rate)");
  }
}

bool GlfwWindow::KeyDown(int key) {
  return window != nullptr && glfwGetKey(window, GlfwKey(key)) == GLFW_PRESS;
}

bool GlfwWindow::IsOpen() { return window != nullptr && !glfwWindowShouldClose(window); }

void GlfwWindow::Swap() {
  if (window == nullptr) return;
  if (Letterboxed())
    Present();
  else
    glfwSwapBuffers(window);
  const double wait = pacer.AfterSwap(glfwGetTime());
  if (wait > 0.0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
  glfwPollEvents();
  FitFramebuffer();
}

void GlfwWindow::SetTitle(const char* title) {
  if (window != nullptr) glfwSetWindowTitle(window, title);
}

void GlfwWindow::WindowSize(int* width, int* height) {
  *width = showWidth;
  *height = showHeight;
}

void GlfwWindow::DrawnSize(int* width, int* height) {
  *width = drawnWidth;
  *height = drawnHeight;
}

void GlfwWindow::MousePos(int* x, int* y) {
  double cx = 0.0, cy = 0.0;
  int winWidth = 1, winHeight = 1, fbWidth = 1, fbHeight = 1;
  if (window != nullptr) {
    glfwGetCursorPos(window, &cx, &cy);
    glfwGetWindowSize(window, &winWidth, &winHeight);
    glfwGetFramebufferSize(window, &fbWidth, &fbHeight);
  }
  if (winWidth <= 0 || winHeight <= 0 || fbWidth <= 0 || fbHeight <= 0) {
    *x = *y = 0;
    return;
  }
  // Cursor in framebuffer pixels, then in the show's pixels of what is
  // drawn: the scaled, centred rectangle, or without a letterbox the
  // picture drawn unscaled at the lower left.
  double fx = cx * fbWidth / winWidth, fy = cy * fbHeight / winHeight;
  // The rectangle's y runs up from the bottom; the cursor's runs down from the top.
  const Rect r = Letterboxed() ? ShownRect(fbWidth, fbHeight) : Rect{0, 0, drawnWidth, drawnHeight};
  double top = fbHeight - (r.y + r.height);
  *x = static_cast<int>((fx - r.x) * showWidth / r.width);
  *y = static_cast<int>((fy - top) * showHeight / r.height);
}

}  // namespace platform
