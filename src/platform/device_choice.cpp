// A device that drew the known frame wrong is passed over whether or not
// there is another: the show would draw wrong on it too. Why HARDWARE found
// none names each hardware device and what stood in its way.
#include "platform/device_choice.h"

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

// What stood in the way of a hardware device that was tried.
std::string Obstacle(const DeviceProbe& device) {
  if (device.drew == DeviceProbe::Drew::WRONG) {
    return DeviceName(device) + " (" + device.renderer + ") drew the known frame wrong";
  }
  if (device.nodeError == EACCES) return "no permission to open " + device.node;
  std::string obstacle = DeviceName(device) + " could not be initialised";
  if (device.nodeError != 0) obstacle += " (" + device.node + ": " + std::strerror(device.nodeError) + ")";
  return obstacle;
}

}  // namespace

std::string DeviceName(const DeviceProbe& device) {
  if (device.software) return "Mesa's software device";
  return device.node.empty() ? "device without a render node" : "device " + device.node;
}

std::vector<size_t> DeviceOrder(Renderer renderer, const std::vector<DeviceProbe>& devices) {
  std::vector<size_t> order;
  if (renderer == Renderer::SOFTWARE) return order;
  for (size_t i = 0; i < devices.size(); ++i)
    if (!devices[i].software) order.push_back(i);
  if (renderer != Renderer::AUTO) return order;
  for (size_t i = 0; i < devices.size(); ++i)
    if (devices[i].software) order.push_back(i);
  return order;
}

DeviceChoice ChooseDevice(Renderer renderer, const std::vector<DeviceProbe>& devices) {
  DeviceChoice choice;
  const std::vector<size_t> order = DeviceOrder(renderer, devices);
  for (size_t i : order) {
    if (devices[i].drew == DeviceProbe::Drew::RIGHT) {
      choice.device = static_cast<int>(i);
      return choice;
    }
  }
  if (renderer != Renderer::HARDWARE) {
    choice.surfaceless = true;
    return choice;
  }
  const std::string found = "of " + std::to_string(devices.size()) + " found, " +
                            std::to_string(order.size()) + " hardware, " +
                            std::to_string(devices.size() - order.size()) + " software";
  if (order.empty()) {
    choice.why = "no EGL device could be opened: " + found;
    return choice;
  }
  choice.why = "no hardware EGL device is usable: " + found;
  for (size_t i : order) choice.why += (i == order.front() ? ": " : "; ") + Obstacle(devices[i]);
  return choice;
}

}  // namespace platform
