// The handler only sets a flag that the window's open state reads, so the
// show's loop sees the end as it sees a closed window.
#include "platform/interrupt.h"

#include <signal.h>
#include <unistd.h>

namespace platform {

namespace {

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
  if (interrupted) _exit(EXIT_INTERRUPTED);
  interrupted = 1;
}

}  // namespace

void CatchInterrupts() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return interrupted != 0; }

}  // namespace platform
