// A framebuffer object of one size with a colour and a depth renderbuffer:
// what the show draws into when it cannot draw straight to a window of its
// own size (a letterboxed screen, the offscreen context).
#pragma once

namespace platform {

class Framebuffer {
 public:
  Framebuffer() = default;
  Framebuffer(const Framebuffer&) = delete;
  Framebuffer& operator=(const Framebuffer&) = delete;

  // Creates the buffers in the current context and leaves the framebuffer
  // bound. When the driver reports it incomplete, nothing stays allocated,
  // framebuffer 0 is bound again and Status() says why (a GL enum).
  // samples above 0 make it multisampled, to be resolved by a blit.
  bool Create(int width, int height, int depthBits, int samples = 0);
  // Deletes the buffers and binds framebuffer 0; the context must be current.
  void Release();

  bool Created() const { return fbo != 0; }
  unsigned Name() const { return fbo; }
  int Width() const { return width; }
  int Height() const { return height; }
  unsigned Status() const { return status; }

 private:
  // A renderbuffer of the framebuffer's size in format, attached at attachment.
  unsigned Attach(unsigned attachment, unsigned format);

  unsigned fbo = 0;
  unsigned colourBuffer = 0;
  unsigned depthBuffer = 0;
  int width = 0;
  int height = 0;
  int samples = 0;
  unsigned status = 0;
};

}  // namespace platform
