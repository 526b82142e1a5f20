// The handler only sets a flag: the show's loop sees it through the window's
// open state as it sees a closed window, the capture's loops read it.
#include "platform/interrupt.h"

#include <signal.h>
#include <unistd.h>

namespace platform {

namespace {

volatile sig_atomic_t interrupted = 0;
volatile sig_atomic_t secondEndsProcess = 1;

void OnInterrupt(int) {
  if (interrupted && secondEndsProcess) _exit(EXIT_INTERRUPTED);
  interrupted = 1;
}

}  // namespace

void CatchInterrupts(SecondInterrupt second) {
  secondEndsProcess = second == SecondInterrupt::ENDS_PROCESS ? 1 : 0;
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

bool Interrupted() { return interrupted != 0; }

}  // namespace platform
