// A device is software when it lists EGL_MESA_device_software. Mesa's
// software device also lists EGL_EXT_device_drm_render_node, so a render
// node does not make a device hardware.
#include "platform/egl_display.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>
#include <vector>

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

}  // namespace

bool OpenEglDisplay(Renderer renderer, EglDisplay* opened, std::string* error, bool* noHardware) {
  *noHardware = false;
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) {
    *error = "EGL has no eglGetPlatformDisplayEXT (is Mesa's libegl-mesa0 installed?)";
    return false;
  }
  if (renderer == Renderer::SOFTWARE) {
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (!Initialise(display)) {
      *error = "no EGL surfaceless display (is Mesa's libegl-mesa0 installed?)";
      return false;
    }
    *opened = {display, "Mesa's surfaceless platform", ""};
    return true;
  }
  auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
  auto queryString =
      reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
  std::vector<EGLDeviceEXT> devices(MOST_DEVICES);
  EGLint count = 0;
  if (queryDevices == nullptr || queryString == nullptr ||
      !queryDevices(MOST_DEVICES, devices.data(), &count)) {
    count = 0;
  }
  devices.resize(static_cast<size_t>(count));
  // Hardware devices first, then (for AUTO) the software ones.
  std::vector<EGLDeviceEXT> hardware, software;
  for (EGLDeviceEXT device : devices)
    (Lists(queryString(device, EGL_EXTENSIONS), "EGL_MESA_device_software") ? software : hardware)
        .push_back(device);
  std::vector<EGLDeviceEXT> order = hardware;
  if (renderer == Renderer::AUTO) order.insert(order.end(), software.begin(), software.end());
  for (EGLDeviceEXT device : order) {
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, device, nullptr);
    if (!Initialise(display)) continue;
    const bool isSoftware = Lists(queryString(device, EGL_EXTENSIONS), "EGL_MESA_device_software");
    const char* node = queryString(device, EGL_DRM_RENDER_NODE_FILE_EXT);
    std::string wayIn = "the EGL device platform (";
    wayIn += isSoftware ? "Mesa's software device"
                        : std::string("device ") + (node != nullptr ? node : "without a render node");
    *opened = {display, wayIn + ")", node != nullptr && !isSoftware ? node : ""};
    return true;
  }
  // An EGL that lists no device still has Mesa's own way in.
  if (renderer == Renderer::AUTO) return OpenEglDisplay(Renderer::SOFTWARE, opened, error, noHardware);
  *noHardware = renderer == Renderer::HARDWARE && hardware.empty();
  *error = "no EGL device could be opened: of " + std::to_string(count) + " found, " +
           std::to_string(hardware.size()) + " hardware, " + std::to_string(software.size()) + " software";
  return false;
}

}  // namespace platform
