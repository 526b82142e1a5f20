// Ctrl-C and SIGTERM, caught in a child process so that the handlers stay out
// of the test runner.
#include "platform/interrupt.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(Interrupts, TheFirstAsksTheShowToEndAndASecondEndsTheProcessAtOnce) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::CatchInterrupts();
    if (platform::Interrupted()) _exit(1);
    raise(SIGTERM);
    if (!platform::Interrupted()) _exit(2);
    raise(SIGINT);
    _exit(3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), platform::EXIT_INTERRUPTED);
}
