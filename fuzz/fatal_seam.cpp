// The fatal exit as a thrown value: the only exception in the system, thrown
// here and caught here, never seen by the show's own code.
#include "fuzz/fatal_seam.h"

#include <cstdio>
#include <cstdlib>

#include "foundation/debug.h"

namespace {

struct FatalEnd {
  int status = 0;
};

[[noreturn]] void ThrowFatalEnd(int status) { throw FatalEnd{status}; }

}  // namespace

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::LOADED:
      return "loaded";
    case Outcome::REFUSED:
      return "refused";
    case Outcome::FATAL:
      return "fatal";
  }
  return "?";
}

Outcome RunToEnd(const std::function<Outcome()>& work) {
  // A fatal report closes the log; the next input finds it open again.
  if (!Log::logging) Log::Start("/dev/null", false);
  SetFatalExit(ThrowFatalEnd);
  try {
    return work();
  } catch (const FatalEnd& end) {
    Require(end.status == 1, "a fatal report exits with status 1");
    Require(!Log::logging, "a fatal report closes the log");
    return Outcome::FATAL;
  }
}

void Require(bool holds, const char* promise) {
  if (holds) return;
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::fflush(stderr);
  std::abort();
}
