// The window, timer and input calls the show makes, in the shape of the
// GLFW 2 interface. Each call goes to the current backend: the live GLFW 3
// window or an offscreen context with a virtual clock (capture, tests).
#pragma once

#include <string>
#include <vector>

#include "platform/monitors.h"

namespace platform {

// Window modes of OpenWindow.
constexpr int WINDOW = 0x00010001;
constexpr int FULLSCREEN = 0x00010002;
// Parameter of GetWindowParam: non-zero while the window is open and no
// interrupt (see interrupt.h) has asked the show to end.
constexpr int OPENED = 0x00020001;
// Token of Enable: a press is reported by the next GetKey even if released since.
constexpr int STICKY_KEYS = 0x00030002;
// Key codes of GetKey.
constexpr int KEY_ESC = 257;
constexpr int KEY_F1 = 258;
// Results of GetKey.
constexpr int RELEASE = 0;
constexpr int PRESS = 1;

// The show's own frame: the coordinates its overlay, font and mouse address
// whatever the screen, and the pixels it is drawn with unless a larger
// picture is asked for (see GetDrawnSize).
constexpr int SHOW_WIDTH = 800;
constexpr int SHOW_HEIGHT = 600;

// A size in pixels.
struct Area {
  int width = 0;
  int height = 0;
};
// The largest area of the show's 4:3 shape in a frame, each side rounded
// down to a multiple of `multiple` but at least one: 2 for a video's
// picture, as yuv420p needs, 1 for the live window's.
Area LargestShowArea(int frameWidth, int frameHeight, int multiple);

// How many pixels the live window draws the show with: the show's own size
// scaled up to the screen, or the screen's largest 4:3 area; AUTO takes the
// screen's on a graphics card and the show's on a software renderer.
enum class Resolution { AUTO, SHOW, SCREEN };

// What a frontend plugs in. Times are seconds; sizes and positions are the
// show's own pixels (SHOW_WIDTH x SHOW_HEIGHT whatever the screen), except
// DrawnSize, which is the framebuffer's.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual bool Init() = 0;
  // False when no window or context can be made; Error() then says why.
  virtual bool Open(int width, int height, int depthBits, int stencilBits, bool fullscreen) = 0;
  virtual const char* Error() const = 0;
  virtual void Close() = 0;
  virtual double Time() = 0;
  virtual void SetTime(double seconds) = 0;
  virtual void SetStickyKeys(bool on) = 0;
  virtual void SetSwapInterval(int interval) = 0;
  virtual bool KeyDown(int key) = 0;
  virtual bool IsOpen() = 0;
  virtual void Swap() = 0;
  virtual void SetTitle(const char* title) = 0;
  virtual void WindowSize(int* width, int* height) = 0;
  virtual void MousePos(int* x, int* y) = 0;
  virtual void DrawnSize(int* width, int* height) = 0;
};

// Makes backend the target of every call below; it stays owned by the caller.
// Without one, the calls go to the live GLFW window.
void UseBackend(Backend* backend);
Backend& CurrentBackend();
// The live window's choice of pixels, before it opens.
void SetLiveResolution(Resolution resolution);
// Where the live window opens, before it opens: full screen (width or
// height 0, the default) or a resizable window of width x height; on the
// monitor FindMonitor finds for monitor, else the primary one.
void SetLiveWindow(int width, int height, const std::string& monitor);
// The size a window opens at when none is asked for, and back from full
// screen when the show started there.
constexpr int DEFAULT_WINDOW_WIDTH = 1024;
constexpr int DEFAULT_WINDOW_HEIGHT = 768;
// The live window system's monitors, the primary one first; empty with
// *error set when there is no window system to ask.
std::vector<Monitor> LiveMonitors(std::string* error);
// How the live window paces its frames once the show asks for a swap
// interval: PACE_TO_DISPLAY holds them to the display's refresh, a positive
// number to that many frames a second, NO_FRAME_LIMIT not at all.
constexpr int PACE_TO_DISPLAY = 0;
constexpr int NO_FRAME_LIMIT = -1;
void SetLiveFrameLimit(int framesPerSecond);

int Init();
// Opens the show's window; when that is impossible, logs why and exits with status 1.
int OpenWindow(int width, int height, int redBits, int greenBits, int blueBits, int alphaBits, int depthBits,
               int stencilBits, int mode);
void Enable(int token);
// 1: swaps wait for the display's refresh, paced as SetLiveFrameLimit says;
// 0: they do not, and nothing is paced.
void SwapInterval(int interval);
// Seconds since Init (or since the last SetTime).
double GetTime();
void SetTime(double seconds);
int GetKey(int key);
int GetWindowParam(int param);
// Presents the frame, then polls input events.
void SwapBuffers();
void SetWindowTitle(const char* title);
void GetWindowSize(int* width, int* height);
// The pixels the show's frame is drawn with: SHOW_WIDTH x SHOW_HEIGHT or a
// larger picture of about the same shape. The viewport takes this size, and
// whatever the show gives in pixels (line widths) scales by PixelScale().
void GetDrawnSize(int* width, int* height);
// The drawn height over SHOW_HEIGHT.
float PixelScale();
// Mouse position in the show's pixels from the upper-left corner of what is
// drawn (outside it, beyond 0..width or 0..height).
void GetMousePos(int* x, int* y);
void Terminate();

}  // namespace platform
