// Choices from monitor lists no test machine has: two monitors side by side,
// named and numbered, one with panels taking part of it.
#include "platform/monitors.h"

#include <gtest/gtest.h>

namespace {

using platform::Monitor;

const std::vector<Monitor> twoMonitors = {
    {"DP-1", {0, 0, 2560, 1440}, {0, 32, 2560, 1408}, 144},
    {"HDMI-1", {2560, 0, 1920, 1080}, {2560, 0, 1920, 1080}, 0},
};

}  // namespace

TEST(Monitors, FoundByNumberOrNameAndNotOtherwise) {
  EXPECT_EQ(platform::FindMonitor(twoMonitors, ""), 0);
  EXPECT_EQ(platform::FindMonitor(twoMonitors, "1"), 1);
  EXPECT_EQ(platform::FindMonitor(twoMonitors, "HDMI-1"), 1);
  for (const char* missing : {"2", "5", "-1", "hdmi-1", "999999999999", " 1"})
    EXPECT_EQ(platform::FindMonitor(twoMonitors, missing), -1) << missing;
  // A number no monitor has may still be a name.
  std::vector<Monitor> named = twoMonitors;
  named[1].name = "7";
  EXPECT_EQ(platform::FindMonitor(named, "7"), 1);
  EXPECT_EQ(platform::FindMonitor({}, ""), -1);
}

TEST(Monitors, ListedOneALineThePrimaryMarked) {
  EXPECT_EQ(platform::FormatMonitors(twoMonitors),
            "0  DP-1    2560 x 1440  144 Hz  (primary)\n"
            "1  HDMI-1  1920 x 1080  rate not reported\n");
}

TEST(Monitors, AWindowIsCentredOnTheWorkAreaAndFindsItsMonitor) {
  const platform::Place centred = platform::CentredOn(twoMonitors[0], 1024, 768);
  EXPECT_EQ(centred.x, 768);
  EXPECT_EQ(centred.y, 32 + 320);
  const platform::Place second = platform::CentredOn(twoMonitors[1], 640, 480);
  EXPECT_EQ(second.x, 2560 + 640);
  EXPECT_EQ(platform::MonitorUnder(twoMonitors, second), 1);
  EXPECT_EQ(platform::MonitorUnder(twoMonitors, centred), 0);
  // Larger than the work area: at its corner, the title bar on the screen.
  const platform::Place large = platform::CentredOn(twoMonitors[1], 2000, 1200);
  EXPECT_EQ(large.x, 2560);
  EXPECT_EQ(large.y, 0);
  // A window off every monitor belongs to the primary one.
  EXPECT_EQ(platform::MonitorUnder(twoMonitors, {-5000, -5000, 100, 100}), 0);
}
