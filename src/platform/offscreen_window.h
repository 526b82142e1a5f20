// The offscreen backend: an EGL OpenGL context with no window system (Mesa's
// surfaceless platform, or an EGL device: see Renderer) drawing into a framebuffer object of the show's size
// or of a picture size set before it opens, with a clock that moves only when set. The capture tool and the
// rendering tests run on it.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/egl_display.h"
#include "platform/framebuffer.h"
#include "platform/platform.h"

namespace platform {

class OffscreenWindow : public Backend {
 public:
  ~OffscreenWindow() override;

  bool Init() override { return true; }
  bool Open(int width, int height, int depthBits, int stencilBits, bool fullscreen) override;
  const char* Error() const override { return error.c_str(); }
  void Close() override;
  double Time() override { return now; }
  void SetTime(double seconds) override { now = seconds; }
  void SetStickyKeys(bool) override {}
  void SetSwapInterval(int) override {}
  bool KeyDown(int key) override { return keysDown.count(key) != 0; }
  bool IsOpen() override { return opened && !closeRequested; }
  void Swap() override;
  void SetTitle(const char* t) override { title = t; }
  void WindowSize(int* w, int* h) override;
  void MousePos(int* x, int* y) override;
  void DrawnSize(int* w, int* h) override;

  // The most samples a pixel the GL can give a framebuffer; the window must be open.
  int MaxSamples() const;

  // The framebuffer's size in pixels, which ReadPixels gives.
  int PixelWidth() const { return width; }
  int PixelHeight() const { return height; }

  // Reads the framebuffer as tightly packed RGBA rows, bottom row first (a
  // multisampled one resolved first).
  std::vector<unsigned char> ReadPixels() const;
  // The same into *pixels, whose memory is reused from frame to frame.
  void ReadPixels(std::vector<unsigned char>* pixels) const;

  // Reading frames back without waiting for each, so that the next frame is
  // drawn while the last is still rasterised: StartRead queues the current
  // frame and returns at once, and the next frame lands in a picture of its
  // own; FinishRead waits for the oldest queued frame and copies it out as
  // ReadPixels does (false when the GL failed to finish it). Once
  // READS_IN_FLIGHT frames are queued, FinishRead must come before the next
  // frame is drawn. FinishRead clears the picture the next frame lands in.
  static constexpr int READS_IN_FLIGHT = 2;
  void StartRead();                                     // at most READS_IN_FLIGHT frames queued
  bool FinishRead(std::vector<unsigned char>* pixels);  // at least one frame queued
  int ReadsQueued() const { return readsQueued; }
  // While set, what the show draws goes to a small framebuffer aside rather
  // than a picture: for frames run undrawn before the first that is read.
  void SetUndrawn(bool undrawn);

  // What tests and the capture tool steer.
  void PressKey(int key) { keysDown.insert(key); }
  void ReleaseKey(int key) { keysDown.erase(key); }
  void RequestClose() { closeRequested = true; }
  void SetMousePos(int x, int y) { mouseX = x, mouseY = y; }

  // "Renderer: VENDOR RENDERER, through WAY IN": which GL draws, and how
  // it was reached; the window must be open.
  std::string RendererLine() const;
  // After a failed Open with Renderer::HARDWARE: true when the machine has
  // no hardware device that can be used (none, none the user may open, none
  // that draws right; Error() says which), rather than EGL or the GL failing.
  bool NoHardware() const { return noHardware; }
  // The render node of the graphics card that draws; empty for software.
  const std::string& RenderNode() const { return renderNode; }

  std::string title;
  int swaps = 0;
  // Which EGL display Open makes its context on.
  Renderer renderer = Renderer::SOFTWARE;
  // Samples a pixel of the framebuffer Open makes: 0 for one (no
  // anti-aliasing), else at most MaxSamples().
  int samples = 0;
  // The pixels Open draws the show with; 0: the size Open is given. The
  // show's coordinates stay the size Open is given.
  int drawnWidth = 0;
  int drawnHeight = 0;
  // Called at each swap with the frame still bound for reading.
  std::function<void()> onSwap;

 private:
  std::string wayIn;
  std::string renderNode;
  bool noHardware = false;

  // Gives the show its framebuffer back after a read or a resolve.
  void BindForDrawing() const;
  // Copies pictures[slot] out as tightly packed RGBA rows, bottom row first.
  void ReadPicture(int slot, std::vector<unsigned char>* pixels) const;
  // Averages the multisampled frame's samples into pictures[slot].
  void Resolve(int slot) const;

  void* display = nullptr;  // EGLDisplay
  void* context = nullptr;  // EGLContext
  // The show draws into the multisampled framebuffer when there are samples,
  // else straight into pictures[drawing]. A queued read holds its picture
  // until FinishRead; the rasteriser fills it meanwhile. A multisampled frame
  // is resolved into the picture. One picture more than the reads in flight
  // lets the next frame start before the oldest is read.
  static constexpr int PICTURES = READS_IN_FLIGHT + 1;
  Framebuffer multisampled;
  Framebuffer pictures[PICTURES];
  Framebuffer aside;           // what undrawn frames draw into
  void* drawn[PICTURES] = {};  // GLsync: a queued picture's frame is finished
  int drawing = 0;             // the picture the frame being drawn lands in
  int readsQueued = 0;
  int oldestRead = 0;  // the picture FinishRead takes next
  int width = 0;       // the framebuffer's pixels
  int height = 0;
  int showWidth = 0;  // the size Open was given
  int showHeight = 0;
  bool opened = false;
  bool closeRequested = false;
  double now = 0.0;
  int mouseX = 0;
  int mouseY = 0;
  std::set<int> keysDown;
  std::string error;
};

}  // namespace platform
