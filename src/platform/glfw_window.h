// The live backend: a GLFW 3 window, full screen at the monitor's current
// mode with the pointer hidden, or a resizable window with the pointer
// shown; F11 or Alt+Enter switches between the two. Its frames are paced to
// the display. The show is drawn with its own pixels or with the
// framebuffer's largest 4:3 area (see Resolution), chosen afresh whenever the
// framebuffer's size changes; when that is not the framebuffer's size, each
// frame is drawn into a framebuffer object of that size and presented scaled
// to fit, centred, with black bars. A window moved onto another monitor is
// paced to that monitor's refresh rate.
#pragma once

#include <string>
#include <vector>

#include "platform/frame_pacer.h"
#include "platform/framebuffer.h"
#include "platform/monitors.h"
#include "platform/platform.h"

struct GLFWmonitor;
struct GLFWwindow;

namespace platform {

class GlfwWindow : public Backend {
 public:
  // Closes the window and terminates GLFW. The live window is a static, so
  // this also runs at exit, whichever way the process ends (a fatal report
  // included), as GLFW 2's terminate did.
  ~GlfwWindow() override { Close(); }
  bool Init() override;
  bool Open(int width, int height, int depthBits, int stencilBits, bool fullscreen) override;
  const char* Error() const override { return error.c_str(); }
  void Close() override;
  double Time() override;
  void SetTime(double seconds) override;
  void SetStickyKeys(bool on) override;
  void SetSwapInterval(int interval) override;
  bool KeyDown(int key) override;
  bool IsOpen() override;
  void Swap() override;
  void SetTitle(const char* title) override;
  void WindowSize(int* width, int* height) override;
  void MousePos(int* x, int* y) override;
  void DrawnSize(int* width, int* height) override;

  // The monitors, the primary one first, starting GLFW if need be; empty
  // with *error set when there is no window system.
  std::vector<Monitor> Monitors(std::string* error);

  // Which pixels to draw with, read when the window opens.
  Resolution resolution = Resolution::AUTO;
  // Where the window opens: full screen, or a window of this size (screen
  // coordinates) when both are above 0; on the monitor FindMonitor finds for
  // monitor (the primary when it finds none).
  int windowWidth = 0;
  int windowHeight = 0;
  std::string monitor;
  // How frames are paced (see SetLiveFrameLimit), read when the show sets
  // the swap interval.
  int frameLimit = PACE_TO_DISPLAY;

  // True while frames go through the scaling framebuffer object.
  bool Letterboxed() const { return letterbox.Created(); }

 private:
  struct Rect {
    int x, y, width, height;  // framebuffer pixels from the lower-left corner
  };
  // Where a frame is shown: the framebuffer's largest 4:3 area, centred.
  Rect ShownRect(int fbWidth, int fbHeight) const;
  // Settles from resolution and the renderer whether the drawn size is the
  // show's or the framebuffer's, and logs which was taken and why.
  void ChooseDrawnSize();
  // Answers a new framebuffer size: the drawn size, the viewport and the
  // letterbox follow it.
  void FollowFramebuffer();
  void Present();
  // Full screen on monitor at its current mode, keeping the window's place.
  void GoFullScreen(GLFWmonitor* monitor);
  // Back in a window at place.
  void GoWindowed(const Place& place);
  void ToggleFullScreen();
  // Where the window goes back to: its old place, else the default size
  // centred on the monitor.
  Place WindowedPlace(GLFWmonitor* monitor) const;
  // Where the window is now, in screen coordinates.
  Place WindowPlace() const;
  // Paces to monitor's refresh rate from now on, where frames follow the
  // display, with a log line where that changes the rate they are held to;
  // without a monitor the rate stays.
  void FollowRefresh(GLFWmonitor* monitor);
  // Frames a second that pacing to the display holds to: the monitor's
  // refresh rate, or an assumed one where it reports none.
  int DisplayRate() const;

  static void OnKey(GLFWwindow* window, int key, int scancode, int action, int mods);
  static void OnMonitor(GLFWmonitor* monitor, int event);
  static void OnMove(GLFWwindow* window, int x, int y);
  GLFWwindow* window = nullptr;
  bool initialised = false;
  std::string error;
  int showWidth = 0;  // the show's pixels
  int showHeight = 0;
  int drawnWidth = 0;  // framebuffer pixels
  int drawnHeight = 0;
  int depthBits = 16;
  int refreshRate = 0;  // Hz, as the monitor's mode reports it; 0: not reported
  bool pacedToDisplay = false;
  FramePacer pacer;
  bool drawsScreen = false;             // the drawn size follows the framebuffer's
  GLFWmonitor* fullScreenOn = nullptr;  // null: in a window
  Place windowed;                       // the window's place before it went full screen; 0 wide: none yet
  bool toggleAsked = false;             // F11 or Alt+Enter since the last frame
  bool moved = false;                   // the window moved since the last frame
  std::string lostMonitor;              // the monitor unplugged under the full-screen show, if any
  Framebuffer letterbox;
  // Set once the letterbox framebuffer could not be completed: from then on
  // the show draws straight to the window.
  bool letterboxFailed = false;
};

}  // namespace platform
