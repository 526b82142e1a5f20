// std::chrono's steady clock, which is CLOCK_MONOTONIC on Linux.
#include "foundation/monotonic.h"

#include <chrono>

int64_t MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double MonotonicSeconds() { return static_cast<double>(MonotonicNs()) * 1e-9; }
