// Test helpers that look at what an X server shows: a pixel of the root
// window and whether the pointer is visible. Include after gtest: Xlib
// defines macros such as None and Bool.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

// Colour of a pixel of the root window, 0xRRGGBB.
inline unsigned long RootPixel(Display* x, int px, int py) {
  XImage* image = XGetImage(x, DefaultRootWindow(x), px, py, 1, 1, AllPlanes, ZPixmap);
  unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
  XDestroyImage(image);
  return pixel;
}

// True when the cursor the server shows now has no opaque pixel.
inline bool PointerHidden(Display* x) {
  XFixesCursorImage* cursor = XFixesGetCursorImage(x);
  if (cursor == nullptr) return false;
  bool hidden = true;
  for (int i = 0; i < cursor->width * cursor->height; ++i) hidden = hidden && (cursor->pixels[i] >> 24) == 0;
  XFree(cursor);
  return hidden;
}
