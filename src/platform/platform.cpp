// Routes the GLFW 2-style calls to the current backend.
#include "platform/platform.h"

#include <algorithm>

#include "foundation/debug.h"
#include "platform/glfw_window.h"
#include "platform/interrupt.h"

namespace platform {

namespace {

Backend* current = nullptr;

GlfwWindow& LiveWindow() {
  static GlfwWindow live;
  return live;
}

}  // namespace

void UseBackend(Backend* backend) { current = backend; }

Backend& CurrentBackend() {
  if (current == nullptr) current = &LiveWindow();
  return *current;
}

void SetLiveResolution(Resolution resolution) { LiveWindow().resolution = resolution; }

void SetLiveWindow(int width, int height, const std::string& monitor) {
  LiveWindow().windowWidth = width;
  LiveWindow().windowHeight = height;
  LiveWindow().monitor = monitor;
}

std::vector<Monitor> LiveMonitors(std::string* error) { return LiveWindow().Monitors(error); }

void SetLiveFrameLimit(int framesPerSecond) { LiveWindow().frameLimit = framesPerSecond; }

int Init() { return CurrentBackend().Init() ? 1 : 0; }

int OpenWindow(int width, int height, int, int, int, int, int depthBits, int stencilBits, int mode) {
  Backend& backend = CurrentBackend();
  if (!backend.Open(width, height, depthBits, stencilBits, mode == FULLSCREEN)) {
    Log::Msg("cannot open the show window: %s", backend.Error());
    ZARV_ERROR();
  }
  return 1;
}

void Enable(int token) {
  if (token == STICKY_KEYS) CurrentBackend().SetStickyKeys(true);
}

void SwapInterval(int interval) { CurrentBackend().SetSwapInterval(interval); }

double GetTime() { return CurrentBackend().Time(); }

void SetTime(double seconds) { CurrentBackend().SetTime(seconds); }

int GetKey(int key) { return CurrentBackend().KeyDown(key) ? PRESS : RELEASE; }

int GetWindowParam(int param) {
  // A caught interrupt closes the show as the window manager would.
  if (param == OPENED) return CurrentBackend().IsOpen() && !Interrupted() ? 1 : 0;
  return 0;
}

void SwapBuffers() { CurrentBackend().Swap(); }

void SetWindowTitle(const char* title) { CurrentBackend().SetTitle(title); }

void GetWindowSize(int* width, int* height) { CurrentBackend().WindowSize(width, height); }

void GetDrawnSize(int* width, int* height) { CurrentBackend().DrawnSize(width, height); }

float PixelScale() {
  int width = 0, height = 0;
  GetDrawnSize(&width, &height);
  return height > 0 ? static_cast<float>(height) / SHOW_HEIGHT : 1.0f;
}

Area LargestShowArea(int frameWidth, int frameHeight, int multiple) {
  const long width = frameWidth;
  const long height = frameHeight;
  const auto rounded = [multiple](long side) {
    return std::max(multiple, static_cast<int>(side / multiple * multiple));
  };
  // The whole width is taken while the height that goes with it passes the
  // frame's by less than 1/multiple of a pixel: a window within a pixel of
  // 4:3 is filled whole, while a video's even picture stays inside the exact
  // 4:3 area that fits.
  if (width * SHOW_HEIGHT * multiple / SHOW_WIDTH <= height * multiple) {
    return {frameWidth, rounded(width * SHOW_HEIGHT / SHOW_WIDTH)};
  }
  return {rounded(height * SHOW_WIDTH / SHOW_HEIGHT), frameHeight};
}

void GetMousePos(int* x, int* y) { CurrentBackend().MousePos(x, y); }

void Terminate() { CurrentBackend().Close(); }

}  // namespace platform
