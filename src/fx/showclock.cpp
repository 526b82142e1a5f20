// The difference is taken in double precision, then rounded to float, so a
// pinned tick time k / 60 reads exactly as the timer does at that time.
#include "fx/showclock.h"

#include "platform/platform.h"

float startDemoTime = 0.0f;

namespace {

struct Pin {
  bool on = false;
  double seconds = 0.0;
} pin;

}  // namespace

float DemoTime() { return static_cast<float>(pin.on ? pin.seconds : ShowSeconds()); }

double ShowSeconds() { return platform::GetTime() - startDemoTime; }

void PinDemoTime(double seconds) { pin = {true, seconds}; }

void UnpinDemoTime() { pin.on = false; }
