// The difference is taken in double precision, then rounded to float.
#include "fx/showclock.h"

#include "platform/platform.h"

float startDemoTime = 0.0f;

float DemoTime() { return static_cast<float>(platform::GetTime() - startDemoTime); }
