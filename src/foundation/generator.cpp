// The ISO C reference generator: next = next * 1103515245 + 12345,
// result = (next / 65536) mod 32768, in 32-bit unsigned arithmetic.
#include "foundation/generator.h"

#include <cassert>

namespace {
uint32_t state = 1;
}

int RandomInt() {
  state = state * 1103515245u + 12345u;
  return static_cast<int>((state / 65536u) % 32768u);
}

float RandomUnit() { return static_cast<float>(RandomInt()) * (1.0f / 32767.0f); }

bool RandomCoin() { return RandomInt() % 2 == 1; }

int RandomPick(int k) {
  assert(k > 0 && "a pick needs at least one choice");
  return RandomInt() % k;
}

uint32_t RandomState() { return state; }

void SetRandomState(uint32_t s) { state = s; }
