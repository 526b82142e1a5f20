// A device is software when it lists EGL_MESA_device_software. Mesa's
// software device also lists EGL_EXT_device_drm_render_node, so a render
// node does not make a device hardware. Devices are tried in turn, each on a
// context of its own that is thrown away, until one draws the known frame
// right; those after it are never opened.
#include "platform/egl_display.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/known_frame.h"

namespace platform {

namespace {

constexpr EGLint MOST_DEVICES = 16;

bool Lists(const char* extensions, const char* name) {
  if (extensions == nullptr) return false;
  const size_t length = std::strlen(name);
  for (const char* at = std::strstr(extensions, name); at != nullptr; at = std::strstr(at + 1, name)) {
    const bool starts = at == extensions || at[-1] == ' ';
    if (starts && (at[length] == ' ' || at[length] == '\0')) return true;
  }
  return false;
}

bool Initialise(EGLDisplay display) {
  return display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr);
}

std::string Text(const char* text) { return text != nullptr ? text : ""; }

// The devices EGL lists; none where it has no device platform.
std::vector<EGLDeviceEXT> ListDevices() {
  auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
  std::vector<EGLDeviceEXT> devices(MOST_DEVICES);
  EGLint count = 0;
  if (queryDevices == nullptr || !queryDevices(MOST_DEVICES, devices.data(), &count)) count = 0;
  devices.resize(static_cast<size_t>(count));
  return devices;
}

// What can be known of a device without opening it.
DeviceProbe Look(PFNEGLQUERYDEVICESTRINGEXTPROC queryString, EGLDeviceEXT device) {
  DeviceProbe probe;
  probe.software = Lists(queryString(device, EGL_EXTENSIONS), "EGL_MESA_device_software");
  probe.node = Text(queryString(device, EGL_DRM_RENDER_NODE_FILE_EXT));
  if (probe.node.empty()) probe.node = Text(queryString(device, EGL_DRM_DEVICE_FILE_EXT));
  if (!probe.node.empty() && access(probe.node.c_str(), R_OK | W_OK) != 0) probe.nodeError = errno;
  return probe;
}

// Initialises display and draws the known frame on it; the display is left
// initialised only where the frame came back right.
DeviceProbe::Drew Try(EGLDisplay display, std::string* renderer) {
  if (!Initialise(display)) return DeviceProbe::Drew::NOT_OPENED;
  std::string ignored;
  EGLContext context = MakeGlContext(display, &ignored);
  if (context == EGL_NO_CONTEXT) {
    eglTerminate(display);
    return DeviceProbe::Drew::NOT_OPENED;
  }
  *renderer = Text(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  const bool right = DrawsKnownFrame();
  eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(display, context);
  if (!right) eglTerminate(display);
  return right ? DeviceProbe::Drew::RIGHT : DeviceProbe::Drew::WRONG;
}

}  // namespace

void* MakeGlContext(void* display, std::string* error) {
  if (!eglBindAPI(EGL_OPENGL_API)) {
    *error = "EGL offers no desktop OpenGL";
    return nullptr;
  }
  const EGLint configAttribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                  EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(display, configAttribs, &config, 1, &count) || count == 0) config = nullptr;
  const EGLint contextAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                   EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttribs);
  if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
    *error = "no compatibility-profile OpenGL context from EGL";
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    return nullptr;
  }
  return context;
}

bool OpenEglDisplay(Renderer renderer, EglDisplay* opened, std::string* error, bool* noHardware) {
  *noHardware = false;
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) {
    *error = "EGL has no eglGetPlatformDisplayEXT (is Mesa's libegl-mesa0 installed?)";
    return false;
  }
  auto queryString =
      reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
  const std::vector<EGLDeviceEXT> devices =
      renderer != Renderer::SOFTWARE && queryString != nullptr ? ListDevices() : std::vector<EGLDeviceEXT>();
  std::vector<DeviceProbe> probes;
  for (EGLDeviceEXT device : devices) probes.push_back(Look(queryString, device));
  std::vector<EGLDisplay> displays(devices.size(), EGL_NO_DISPLAY);
  for (size_t i : DeviceOrder(renderer, probes)) {
    displays[i] = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
    probes[i].drew = Try(displays[i], &probes[i].renderer);
    if (probes[i].drew == DeviceProbe::Drew::RIGHT) break;
  }
  const DeviceChoice choice = ChooseDevice(renderer, probes);
  if (choice.device >= 0) {
    const DeviceProbe& device = probes[choice.device];
    const std::string renderNode = Text(queryString(devices[choice.device], EGL_DRM_RENDER_NODE_FILE_EXT));
    *opened = {displays[choice.device], "the EGL device platform (" + DeviceName(device) + ")",
               device.software ? "" : renderNode};
    return true;
  }
  if (choice.surfaceless) {
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (!Initialise(display)) {
      *error = "no EGL surfaceless display (is Mesa's libegl-mesa0 installed?)";
      return false;
    }
    *opened = {display, "Mesa's surfaceless platform", ""};
    return true;
  }
  *noHardware = true;
  *error = choice.why;
  return false;
}

}  // namespace platform
