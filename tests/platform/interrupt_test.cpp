// Ctrl-C and SIGTERM, caught in a child process so that the handlers stay out
// of the test runner.
#include "platform/interrupt.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The exit status of a child that catches interrupts as asked and raises
// SIGTERM, then SIGINT: 3 when it lived through both.
int StatusAfterTwoSignals(platform::SecondInterrupt second) {
  const pid_t child = fork();
  if (child == 0) {
    platform::CatchInterrupts(second);
    if (platform::Interrupted()) _exit(1);
    raise(SIGTERM);
    if (!platform::Interrupted()) _exit(2);
    raise(SIGINT);
    _exit(3);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace

TEST(Interrupts, TheFirstAsksTheShowToEndAndASecondEndsTheProcessAtOnce) {
  EXPECT_EQ(StatusAfterTwoSignals(platform::SecondInterrupt::ENDS_PROCESS), platform::EXIT_INTERRUPTED);
}

// The capture cleans up after every signal: a second one must not end it.
TEST(Interrupts, ACaptureLivesThroughASecondToCleanUp) {
  EXPECT_EQ(StatusAfterTwoSignals(platform::SecondInterrupt::ASKS_AGAIN), 3);
}
