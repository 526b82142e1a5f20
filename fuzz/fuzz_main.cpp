// A libFuzzer target: one entry of fuzz/entries.h, chosen at build time.
#include "fuzz/entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ZARV_FUZZ_ENTRY(data, size);
  return 0;
}
