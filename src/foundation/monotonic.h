// The one monotonic clock the program reads for intervals and time stamps:
// it never jumps with the wall clock, and its zero means nothing.
#pragma once

#include <cstdint>

int64_t MonotonicNs();
double MonotonicSeconds();
