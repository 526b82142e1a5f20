// The show's one pseudo-random generator: integers 0..32767 in the ISO C
// reference sequence, never seeded, so every run on every platform makes
// the same draws. Every draw of the show goes through here.
#pragma once

#include <cstdint>

constexpr int RANDOM_MAX = 32767;

// Next integer, 0..RANDOM_MAX.
int RandomInt();
// A unit draw: RandomInt() times the float 1/32767, in [0, 1].
float RandomUnit();
// A coin draw: true (heads) when RandomInt() is odd.
bool RandomCoin();
// A pick from k: RandomInt() mod k, 0..k-1.
int RandomPick(int k);

// The generator's state, so tests can replay a sequence; 1 at program start.
uint32_t RandomState();
void SetRandomState(uint32_t state);
