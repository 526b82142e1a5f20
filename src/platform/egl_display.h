// Which EGL display the offscreen context is made on. A graphics card is
// reached through the EGL device platform (NVIDIA's driver has no other
// headless way in); Mesa's software rasteriser through that platform too,
// as a device of its own, or through Mesa's surfaceless platform.
#pragma once

#include <string>

namespace platform {

enum class Renderer {
  AUTO,      // the first hardware EGL device, else the software one, else as SOFTWARE
  HARDWARE,  // the first hardware EGL device, or none at all
  SOFTWARE,  // Mesa's surfaceless platform: llvmpipe, whose frames are the reference
};

struct EglDisplay {
  void* display = nullptr;  // an initialised EGLDisplay
  std::string wayIn;        // "the EGL device platform (...)" or "Mesa's surfaceless platform"
  std::string renderNode;   // the device's render node; empty when it has none, or it is not a device
};

// Opens the display renderer asks for. False with *error set when there is
// none; *noHardware then says whether HARDWARE found only software devices
// (a choice the machine cannot give, rather than a broken EGL).
bool OpenEglDisplay(Renderer renderer, EglDisplay* opened, std::string* error, bool* noHardware);

}  // namespace platform
