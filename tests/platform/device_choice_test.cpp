// The device choice over machines no test has: a card that opens but draws
// wrong, a render node the user may not open, no card at all.
#include "platform/device_choice.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using platform::DeviceProbe;
using platform::Renderer;
using Drew = DeviceProbe::Drew;

const DeviceProbe softwareRight = {true, "", 0, "llvmpipe", Drew::RIGHT};
const DeviceProbe cardRight = {false, "/dev/dri/renderD129", 0, "Good Card", Drew::RIGHT};
const DeviceProbe cardWrong = {false, "/dev/dri/renderD128", 0, "Bad Card", Drew::WRONG};
const DeviceProbe cardDenied = {false, "/dev/dri/renderD128", EACCES, "", Drew::NOT_OPENED};
const DeviceProbe cardMissing = {false, "/dev/dri/renderD130", ENOENT, "", Drew::NOT_OPENED};

}  // namespace

TEST(DeviceChoice, TakesTheFirstThatDrawsRightHardwareFirstElseSaysWhyNot) {
  const struct {
    Renderer renderer;
    std::vector<DeviceProbe> devices;
    int device;
    bool surfaceless;
    const char* why;
  } cases[] = {
      {Renderer::AUTO, {cardWrong, softwareRight}, 1, false, ""},
      {Renderer::AUTO, {softwareRight, cardRight}, 1, false, ""},
      {Renderer::AUTO, {cardDenied, {true, "", 0, "llvmpipe", Drew::WRONG}}, -1, true, ""},
      {Renderer::AUTO, {}, -1, true, ""},
      {Renderer::HARDWARE, {cardWrong, cardRight, softwareRight}, 1, false, ""},
      {Renderer::HARDWARE,
       {},
       -1,
       false,
       "no EGL device could be opened: of 0 found, 0 hardware, 0 software"},
      {Renderer::HARDWARE,
       {softwareRight},
       -1,
       false,
       "no EGL device could be opened: of 1 found, 0 hardware, 1 software"},
      {Renderer::HARDWARE,
       {cardDenied, softwareRight},
       -1,
       false,
       "no hardware EGL device is usable: of 2 found, 1 hardware, 1 software: no permission to open "
       "/dev/dri/renderD128"},
      {Renderer::HARDWARE,
       {cardWrong, cardMissing, {false, "", 0, "", Drew::NOT_OPENED}},
       -1,
       false,
       "no hardware EGL device is usable: of 3 found, 3 hardware, 0 software: device /dev/dri/renderD128 "
       "(Bad Card) drew the known frame wrong; device /dev/dri/renderD130 could not be initialised "
       "(/dev/dri/renderD130: No such file or directory); device without a render node could not be "
       "initialised"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    const platform::DeviceChoice choice = platform::ChooseDevice(c.renderer, c.devices);
    EXPECT_EQ(choice.device, c.device) << "case " << i;
    EXPECT_EQ(choice.surfaceless, c.surfaceless) << "case " << i;
    EXPECT_EQ(choice.why, c.why) << "case " << i;
  }
}
