// Test helper: a command line run through the shell from the working
// directory, with its exit status and what it printed. The output passes
// through two files there, removed again before it returns.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/scratch_dir.h"

struct CommandRun {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string out;
  std::string err;
};

inline CommandRun RunCommand(const std::string& command) {
  CommandRun run;
  const int raw = std::system((command + " >.command.out 2>.command.err").c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = ReadFile(".command.out");
  run.err = ReadFile(".command.err");
  std::remove(".command.out");
  std::remove(".command.err");
  return run;
}
