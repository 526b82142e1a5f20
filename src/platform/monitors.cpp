// Numbers are matched before names, so a monitor named "1" is found by its
// name only where no monitor has that number.
#include "platform/monitors.h"

#include <algorithm>
#include <cstdio>

namespace platform {

int FindMonitor(const std::vector<Monitor>& monitors, const std::string& wanted) {
  if (monitors.empty()) return -1;
  if (wanted.empty()) return 0;
  if (wanted.size() <= 3 && wanted.find_first_not_of("0123456789") == std::string::npos) {
    const int number = std::stoi(wanted);
    if (number < static_cast<int>(monitors.size())) return number;
  }
  for (size_t i = 0; i < monitors.size(); ++i) {
    if (monitors[i].name == wanted) return static_cast<int>(i);
  }
  return -1;
}

std::string FormatMonitors(const std::vector<Monitor>& monitors) {
  size_t width = 0;
  for (const Monitor& m : monitors) width = std::max(width, m.name.size());
  std::string text;
  for (size_t i = 0; i < monitors.size(); ++i) {
    const Monitor& m = monitors[i];
    char size[64];
    std::snprintf(size, sizeof size, "%d x %d", m.area.width, m.area.height);
    char rate[32] = "rate not reported";
    if (m.refreshRate > 0) std::snprintf(rate, sizeof rate, "%d Hz", m.refreshRate);
    text += std::to_string(i) + "  " + m.name + std::string(width - m.name.size() + 2, ' ') + size + "  " +
            rate + (i == 0 ? "  (primary)" : "") + "\n";
  }
  return text;
}

Place CentredOn(const Monitor& monitor, int width, int height) {
  const Place& area = monitor.workArea;
  return {area.x + std::max(0, (area.width - width) / 2), area.y + std::max(0, (area.height - height) / 2),
          width, height};
}

int MonitorUnder(const std::vector<Monitor>& monitors, const Place& window) {
  const long cx = window.x + window.width / 2, cy = window.y + window.height / 2;
  for (size_t i = 0; i < monitors.size(); ++i) {
    const Place& a = monitors[i].area;
    if (cx >= a.x && cx < long(a.x) + a.width && cy >= a.y && cy < long(a.y) + a.height)
      return static_cast<int>(i);
  }
  return 0;
}

}  // namespace platform
