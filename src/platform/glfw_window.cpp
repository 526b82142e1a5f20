// GLFW 3 behind the GLFW 2-style calls: the context is made current once,
// events are polled right after every buffer swap. Full screen keeps the
// monitor's current mode, so there is no mode switch to undo.
#include "platform/glfw_window.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GLFW/glfw3.h>

#include <algorithm>
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

// The one live window, which the monitor callback (it has no window of its own) reports to.
GlfwWindow* liveWindow = nullptr;

Monitor Describe(GLFWmonitor* handle) {
  Monitor m;
  if (handle == nullptr) return m;
  const char* name = glfwGetMonitorName(handle);
  m.name = name != nullptr ? name : "";
  glfwGetMonitorPos(handle, &m.area.x, &m.area.y);
  if (const GLFWvidmode* mode = glfwGetVideoMode(handle)) {
    m.area.width = mode->width;
    m.area.height = mode->height;
    m.refreshRate = mode->refreshRate;
  }
  glfwGetMonitorWorkarea(handle, &m.workArea.x, &m.workArea.y, &m.workArea.width, &m.workArea.height);
  if (m.workArea.width <= 0 || m.workArea.height <= 0) m.workArea = m.area;
  return m;
}

std::vector<GLFWmonitor*> MonitorHandles() {
  int count = 0;
  GLFWmonitor** handles = glfwGetMonitors(&count);
  return handles != nullptr ? std::vector<GLFWmonitor*>(handles, handles + count)
                            : std::vector<GLFWmonitor*>();
}

std::vector<Monitor> DescribeAll(const std::vector<GLFWmonitor*>& handles) {
  std::vector<Monitor> monitors;
  for (GLFWmonitor* handle : handles) monitors.push_back(Describe(handle));
  return monitors;
}

int MonitorNumber(GLFWmonitor* handle) {
  const std::vector<GLFWmonitor*> handles = MonitorHandles();
  return static_cast<int>(std::find(handles.begin(), handles.end(), handle) - handles.begin());
}

// The monitor wanted names, else the primary one.
GLFWmonitor* ChosenMonitor(const std::string& wanted) {
  const std::vector<GLFWmonitor*> handles = MonitorHandles();
  const int found = FindMonitor(DescribeAll(handles), wanted);
  return found >= 0 ? handles[found] : glfwGetPrimaryMonitor();
}

GLFWmonitor* MonitorUnderWindow(const Place& window) {
  const std::vector<GLFWmonitor*> handles = MonitorHandles();
  return handles.empty() ? nullptr : handles[MonitorUnder(DescribeAll(handles), window)];
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
  const bool inWindow = windowWidth > 0 && windowHeight > 0;
  glfwDefaultWindowHints();
  glfwWindowHint(GLFW_DEPTH_BITS, depth);
  glfwWindowHint(GLFW_STENCIL_BITS, stencilBits);
  GLFWmonitor* chosen = ChosenMonitor(monitor);
  GLFWmonitor* fullScreen = fullscreen && !inWindow ? chosen : nullptr;
  const GLFWvidmode* mode = fullScreen != nullptr ? glfwGetVideoMode(fullScreen) : nullptr;
  int createWidth = inWindow ? windowWidth : width, createHeight = inWindow ? windowHeight : height;
  if (mode != nullptr) {
    // The mode the monitor is in already: GLFW then switches nothing.
    createWidth = mode->width;
    createHeight = mode->height;
    glfwWindowHint(GLFW_RED_BITS, mode->redBits);
    glfwWindowHint(GLFW_GREEN_BITS, mode->greenBits);
    glfwWindowHint(GLFW_BLUE_BITS, mode->blueBits);
    glfwWindowHint(GLFW_REFRESH_RATE, mode->refreshRate);
  }
  // A window is placed before it is shown, so it never appears elsewhere first.
  if (fullScreen == nullptr) glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  window = glfwCreateWindow(createWidth, createHeight, "zarv", fullScreen, nullptr);
  if (window == nullptr) {
    error = "no OpenGL window could be created (" + lastGlfwError + ")";
    return false;
  }
  fullScreenOn = fullScreen;
  glfwSetWindowUserPointer(window, this);
  glfwSetKeyCallback(window, OnKey);
  glfwSetWindowPosCallback(window, OnMove);
  liveWindow = this;
  glfwSetMonitorCallback(OnMonitor);
  if (fullScreen == nullptr) {
    const Monitor on = Describe(chosen);
    const Place place = CentredOn(on, createWidth, createHeight);
    glfwSetWindowPos(window, place.x, place.y);
    glfwShowWindow(window);
    Log::Msg("Window: %d x %d on monitor %d (%s); F11 or Alt+Enter for full screen", createWidth,
             createHeight, MonitorNumber(chosen), on.name.c_str());
  }
  FollowRefresh(chosen);
  glfwMakeContextCurrent(window);
  // Hidden over the full-screen show, not captured: the pointer can still
  // leave for another monitor.
  glfwSetInputMode(window, GLFW_CURSOR, fullScreen != nullptr ? GLFW_CURSOR_HIDDEN : GLFW_CURSOR_NORMAL);
  // Black until the first frame of the show, however long loading takes;
  // the clear colour is still its default, black.
  glClear(GL_COLOR_BUFFER_BIT);
  glfwSwapBuffers(window);
  glfwPollEvents();
  ChooseDrawnSize();
  return true;
}

void GlfwWindow::ChooseDrawnSize() {
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  if (renderer == nullptr) renderer = "an unnamed renderer";
  const bool software = SoftwareRenderer(renderer);
  const char* vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
  Log::Msg("Renderer: %s %s, through the window system", vendor != nullptr ? vendor : "unnamed", renderer);
  drawsScreen = resolution == Resolution::SCREEN || (resolution == Resolution::AUTO && !software);
  const std::string why =
      resolution != Resolution::AUTO ? "asked for with --resolution"
      : software ? std::string("the software renderer ") + renderer + " lacks the fill rate for more"
                 : std::string("the graphics card ") + renderer + " draws it at no cost";
  drawnWidth = showWidth;
  drawnHeight = showHeight;
  FollowFramebuffer();
  const std::string shownOn = fullScreenOn != nullptr ? "screen" : "window";
  const std::string how =
      drawsScreen ? ", the " + shownOn + "'s largest 4:3 area" : " and scaled to the " + shownOn;
  Log::Msg("Resolution: %s, drawn at %d x %d%s (%s)", drawsScreen ? "screen" : "show", drawnWidth,
           drawnHeight, how.c_str(), why.c_str());
}

void GlfwWindow::FollowFramebuffer() {
  int fbWidth = 0, fbHeight = 0;
  glfwGetFramebufferSize(window, &fbWidth, &fbHeight);
  // A minimised window has no pixels: the show goes on at the size it had.
  if (fbWidth <= 0 || fbHeight <= 0) return;
  if (drawsScreen) {
    const Rect r = ShownRect(fbWidth, fbHeight);
    if (r.width != drawnWidth || r.height != drawnHeight) {
      drawnWidth = r.width;
      drawnHeight = r.height;
      glViewport(0, 0, drawnWidth, drawnHeight);
    }
  }
  const bool needed = fbWidth != drawnWidth || fbHeight != drawnHeight;
  const bool fits = Letterboxed() && letterbox.Width() == drawnWidth && letterbox.Height() == drawnHeight;
  if (needed ? fits : !Letterboxed()) return;
  letterbox.Release();
  if (!needed || letterboxFailed) return;
  if (!letterbox.Create(drawnWidth, drawnHeight, depthBits)) {
    letterboxFailed = true;
    Log::Msg("the letterbox framebuffer is incomplete (status 0x%x): the show draws straight to the window",
             letterbox.Status());
  }
}

void GlfwWindow::GoFullScreen(GLFWmonitor* target) {
  const GLFWvidmode* mode = glfwGetVideoMode(target);
  if (mode == nullptr) return;
  if (fullScreenOn == nullptr) {
    glfwGetWindowPos(window, &windowed.x, &windowed.y);
    glfwGetWindowSize(window, &windowed.width, &windowed.height);
  }
  fullScreenOn = target;
  glfwSetWindowMonitor(window, target, 0, 0, mode->width, mode->height, mode->refreshRate);
  glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_HIDDEN);
  FollowRefresh(target);
}

void GlfwWindow::GoWindowed(const Place& place) {
  fullScreenOn = nullptr;
  glfwSetWindowMonitor(window, nullptr, place.x, place.y, place.width, place.height, GLFW_DONT_CARE);
  glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
  FollowRefresh(MonitorUnderWindow(place));
}

Place GlfwWindow::WindowedPlace(GLFWmonitor* on) const {
  if (windowed.width > 0) return windowed;
  return CentredOn(Describe(on), DEFAULT_WINDOW_WIDTH, DEFAULT_WINDOW_HEIGHT);
}

void GlfwWindow::ToggleFullScreen() {
  if (fullScreenOn != nullptr) {
    const Place place = WindowedPlace(fullScreenOn);
    GoWindowed(place);
    Log::Msg("Window: %d x %d at %d, %d", place.width, place.height, place.x, place.y);
    return;
  }
  GLFWmonitor* under = MonitorUnderWindow(WindowPlace());
  if (under == nullptr) return;
  GoFullScreen(under);
  const Monitor on = Describe(under);
  Log::Msg("Full screen on monitor %d (%s), %d x %d", MonitorNumber(under), on.name.c_str(), on.area.width,
           on.area.height);
}

Place GlfwWindow::WindowPlace() const {
  Place place;
  glfwGetWindowPos(window, &place.x, &place.y);
  glfwGetWindowSize(window, &place.width, &place.height);
  return place;
}

void GlfwWindow::FollowRefresh(GLFWmonitor* on) {
  if (on == nullptr) return;
  const int was = DisplayRate();
  const GLFWvidmode* mode = glfwGetVideoMode(on);
  refreshRate = mode != nullptr ? mode->refreshRate : 0;
  if (!pacedToDisplay || DisplayRate() == was) return;
  pacer.SetRate(DisplayRate());
  Log::Msg("Pacing: to the display, now monitor %d (%s), %d Hz%s", MonitorNumber(on),
           Describe(on).name.c_str(), DisplayRate(),
           refreshRate > 0 ? "" : " (the monitor reports no refresh rate)");
}

int GlfwWindow::DisplayRate() const { return refreshRate > 0 ? refreshRate : ASSUMED_REFRESH_RATE; }

void GlfwWindow::OnKey(GLFWwindow* handle, int key, int, int action, int mods) {
  if (action != GLFW_PRESS) return;
  const bool enter = key == GLFW_KEY_ENTER || key == GLFW_KEY_KP_ENTER;
  if (key == GLFW_KEY_F11 || (enter && (mods & GLFW_MOD_ALT) != 0))
    static_cast<GlfwWindow*>(glfwGetWindowUserPointer(handle))->toggleAsked = true;
}

// Only noted here, as a drag gives many moves: the monitor is looked up
// once the events have been polled.
void GlfwWindow::OnMove(GLFWwindow* handle, int, int) {
  static_cast<GlfwWindow*>(glfwGetWindowUserPointer(handle))->moved = true;
}

void GlfwWindow::OnMonitor(GLFWmonitor* handle, int event) {
  // Only noted here: the window is moved once the events have been polled.
  if (event == GLFW_DISCONNECTED && liveWindow != nullptr && handle == liveWindow->fullScreenOn)
    liveWindow->lostMonitor = glfwGetMonitorName(handle);
}

std::vector<Monitor> GlfwWindow::Monitors(std::string* why) {
  if (!initialised && !Init()) {
    *why = "the window system did not start (" + lastGlfwError + ")";
    return {};
  }
  std::vector<Monitor> monitors = DescribeAll(MonitorHandles());
  if (monitors.empty()) *why = "the window system reports no monitor";
  return monitors;
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
    glfwSetMonitorCallback(nullptr);
    liveWindow = nullptr;
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
  pacedToDisplay = !off && frameLimit <= 0;
  if (off) {
    pacer.SetRate(0.0);
    Log::Msg("Pacing: none (%s): frames are drawn as fast as they can be",
             interval == 0 ? "swap interval 0" : "--fps-limit off");
  } else if (frameLimit > 0) {
    pacer.SetRate(frameLimit);
    Log::Msg("Pacing: at most %d frames a second (--fps-limit), swaps waiting for the display's refresh",
             frameLimit);
  } else {
    const int hz = DisplayRate();
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
  if (!lostMonitor.empty()) {
    Log::Msg("Monitor %s was unplugged: the show goes on in a window on the primary monitor",
             lostMonitor.c_str());
    lostMonitor.clear();
    GLFWmonitor* primary = glfwGetPrimaryMonitor();
    const Place was = WindowedPlace(primary);
    GoWindowed(CentredOn(Describe(primary), was.width, was.height));
  }
  if (toggleAsked) {
    toggleAsked = false;
    ToggleFullScreen();
  }
  // Full screen is on its monitor by choice; going there followed its rate.
  if (moved && fullScreenOn == nullptr) FollowRefresh(MonitorUnderWindow(WindowPlace()));
  moved = false;
  FollowFramebuffer();
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
