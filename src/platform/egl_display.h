// Which EGL display the offscreen context is made on. A graphics card is
// reached through the EGL device platform (NVIDIA's driver has no other
// headless way in); Mesa's software rasteriser through that platform too,
// as a device of its own, or through Mesa's surfaceless platform. A device
// is taken only once it has drawn the known frame right.
#pragma once

#include <string>

#include "platform/device_choice.h"

namespace platform {

struct EglDisplay {
  void* display = nullptr;  // an initialised EGLDisplay
  std::string wayIn;        // "the EGL device platform (...)" or "Mesa's surfaceless platform"
  std::string renderNode;   // the device's render node; empty when it has none, or it is not a device
};

// Opens the display renderer asks for. False with *error set when there is
// none; *noHardware then says whether HARDWARE found no hardware device it
// can use (a choice the machine cannot give, rather than a broken EGL), and
// *error why not.
bool OpenEglDisplay(Renderer renderer, EglDisplay* opened, std::string* error, bool* noHardware);

// A compatibility-profile OpenGL context on an initialised display, made
// current without a surface (an EGLContext); null with *error set when EGL
// gives none.
void* MakeGlContext(void* display, std::string* error);

}  // namespace platform
