// The zarv executable: the show in a full-screen window. Ctrl-C ends it as
// Escape does, with the interrupted status.
#include "demo/demo.h"
#include "platform/interrupt.h"

int main() {
  platform::CatchInterrupts();
  int status = runShow();
  return platform::Interrupted() ? platform::EXIT_INTERRUPTED : status;
}
