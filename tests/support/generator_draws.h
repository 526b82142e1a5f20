// Test helpers: the show generator's recurrence and output, written out
// here from the ISO C reference generator so that expected draws do not
// come from the code under test, and a search for states whose coming
// draws a test needs.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

inline uint32_t NextState(uint32_t s) { return s * 1103515245u + 12345u; }
inline int Output(uint32_t s) { return static_cast<int>((s / 65536u) % 32768u); }

// The n draws that follow state s.
inline std::vector<int> DrawsAfter(uint32_t s, int n) {
  std::vector<int> draws;
  for (int i = 0; i < n; ++i) {
    s = NextState(s);
    draws.push_back(Output(s));
  }
  return draws;
}

// The state n draws after s.
inline uint32_t StateAfter(uint32_t s, int n) {
  for (int i = 0; i < n; ++i) s = NextState(s);
  return s;
}

// The first state from 1 on whose coming draws satisfy want.
inline uint32_t FindState(const std::function<bool(uint32_t)>& want) {
  for (uint32_t s = 1;; ++s)
    if (want(s)) return s;
}
