// Test helpers that look at what an X server shows: a pixel of the root
// window, whether the pointer is visible, where a window lies and which
// columns of an area are lit. Include after gtest: Xlib
// defines macros such as None and Bool.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <utility>

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

// Where a window lies on the root window, and its size.
struct WindowPlace {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const WindowPlace& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
};
inline WindowPlace PlaceOf(Display* x, Window window) {
  XWindowAttributes attributes = {};
  WindowPlace place;
  Window child = 0;
  if (XGetWindowAttributes(x, window, &attributes) == 0) return place;
  XTranslateCoordinates(x, window, DefaultRootWindow(x), 0, 0, &place.x, &place.y, &child);
  place.width = attributes.width;
  place.height = attributes.height;
  return place;
}

// The first and last columns of the area with a pixel that is not black,
// relative to its left edge; {-1, -1} when all of it is black.
inline std::pair<int, int> LitColumns(Display* x, const WindowPlace& area) {
  XImage* image =
      XGetImage(x, DefaultRootWindow(x), area.x, area.y, area.width, area.height, AllPlanes, ZPixmap);
  std::pair<int, int> lit{-1, -1};
  for (int col = 0; col < area.width; ++col) {
    for (int row = 0; row < area.height; ++row) {
      if ((XGetPixel(image, col, row) & 0xFFFFFF) == 0) continue;
      if (lit.first < 0) lit.first = col;
      lit.second = col;
      break;
    }
  }
  XDestroyImage(image);
  return lit;
}
