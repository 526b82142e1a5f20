// The monitors a window can go on, as the window system reports them, and
// the choices made from that list: which one --monitor names, where a window
// goes on one, which one a window is on. Kept apart from GLFW, so that lists
// no test machine has (two monitors, one of them unplugged) can be tried.
#pragma once

#include <string>
#include <vector>

namespace platform {

// A place on the desktop, in screen coordinates.
struct Place {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct Monitor {
  std::string name;
  Place area;           // where it lies on the desktop, at its current mode
  Place workArea;       // the part of it that panels and docks leave
  int refreshRate = 0;  // Hz; 0: not reported
};

// The monitor that wanted names: its number in the list (0, the primary,
// for an empty one) or its name. -1 when there is none such.
int FindMonitor(const std::vector<Monitor>& monitors, const std::string& wanted);
// One line a monitor: "N  NAME  W x H  R Hz", the primary one marked.
std::string FormatMonitors(const std::vector<Monitor>& monitors);
// A window of width x height centred on the monitor's work area; one larger
// than that area starts at its edge, so its title bar stays on the screen.
Place CentredOn(const Monitor& monitor, int width, int height);
// The monitor under the window's centre; the primary when it lies on none.
int MonitorUnder(const std::vector<Monitor>& monitors, const Place& window);

}  // namespace platform
