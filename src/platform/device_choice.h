// Which EGL device the offscreen context is made on, decided from what was
// found of each one. Kept apart from EGL, so that machines no test has (a
// card that opens but draws wrong, a render node the user may not open) can
// be tried.
#pragma once

#include <string>
#include <vector>

namespace platform {

enum class Renderer {
  AUTO,      // the first EGL device that draws the known frame right, hardware first; else as SOFTWARE
  HARDWARE,  // the first hardware EGL device that draws it right, or none at all
  SOFTWARE,  // Mesa's surfaceless platform: llvmpipe, whose frames are the reference
};

// What was found of one EGL device.
struct DeviceProbe {
  enum class Drew {
    UNTRIED,     // not tried, since one before it drew right
    NOT_OPENED,  // EGL could not initialise it or make a context on it
    WRONG,       // the known frame came back other than it was drawn
    RIGHT,
  };
  bool software = false;  // Mesa's software device (EGL_MESA_device_software)
  std::string node;       // its render node, else its primary node; empty where EGL names neither
  int nodeError = 0;      // errno of access() to node: EACCES where the user may not open it; 0 when they may
  std::string renderer;   // GL_RENDERER, once a context was made on it
  Drew drew = Drew::UNTRIED;
};

// "Mesa's software device", "device /dev/dri/renderD128" or "device without a render node".
std::string DeviceName(const DeviceProbe& device);

// The devices renderer may take, as indices into devices in the order they
// are tried: the hardware ones as EGL lists them, then for AUTO the software ones.
std::vector<size_t> DeviceOrder(Renderer renderer, const std::vector<DeviceProbe>& devices);

struct DeviceChoice {
  int device = -1;           // the index of the device to draw on; -1: none
  bool surfaceless = false;  // no device: Mesa's surfaceless platform instead
  std::string why;           // neither: why HARDWARE has no device, in one line
};
// The first device in DeviceOrder that drew right.
DeviceChoice ChooseDevice(Renderer renderer, const std::vector<DeviceProbe>& devices);

}  // namespace platform
