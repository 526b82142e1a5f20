// The live backend: a GLFW 3 window, full screen at the monitor's current
// mode with the pointer hidden, its frames paced to the display. The show is drawn with its own pixels or
// with the screen's largest 4:3 area (see Resolution); when that is not the
// framebuffer's size, each frame is drawn into a framebuffer object of that
// size and presented scaled to fit, centred, with black bars.
#pragma once

#include <string>

#include "platform/frame_pacer.h"
#include "platform/framebuffer.h"
#include "platform/platform.h"

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

  // Which pixels to draw with, read when the window opens.
  Resolution resolution = Resolution::AUTO;
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
  // Settles the drawn size from resolution, the renderer and the
  // framebuffer, and logs which was taken and why.
  void ChooseDrawnSize();
  void FitFramebuffer();
  void Present();

  GLFWwindow* window = nullptr;
  bool initialised = false;
  std::string error;
  int showWidth = 0;  // the show's pixels
  int showHeight = 0;
  int drawnWidth = 0;  // framebuffer pixels
  int drawnHeight = 0;
  int depthBits = 16;
  int refreshRate = 0;  // Hz, as the monitor's mode reports it; 0: not reported
  FramePacer pacer;
  Framebuffer letterbox;
  // Set once the letterbox framebuffer could not be completed: from then on
  // the show draws straight to the window.
  bool letterboxFailed = false;
};

}  // namespace platform
