// Test helper: a command line run through the shell from the working
// directory, with its exit status and what it printed. The output passes
// through two files there, removed again before it returns. A command still
// running after seconds is killed, so a hung one fails its test instead of
// holding the whole binary until ctest's timeout.
#pragma once

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/scratch_dir.h"

struct CommandRun {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string out;
  std::string err;
};

// The longest command the tests run is a capture of a couple of minutes.
inline CommandRun RunCommand(const std::string& command, int seconds = 300) {
  // The command goes to its own shell as one quoted word, so the limit and
  // the redirections cover all of it, not just its last simple command.
  std::string quoted;
  for (char c : command) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  const std::string line = "timeout -k 5 " + std::to_string(seconds) + " sh -c '" + quoted +
                           "' >.command.out 2>.command.err";
  const auto start = std::chrono::steady_clock::now();
  const int raw = std::system(line.c_str());
  const bool late = std::chrono::steady_clock::now() - start >= std::chrono::seconds(seconds);
  CommandRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  // Past -k's grace timeout kills its own process group, itself included.
  if (late && WIFSIGNALED(raw) && WTERMSIG(raw) == SIGKILL) run.status = 128 + SIGKILL;
  run.out = ReadFile(".command.out");
  run.err = ReadFile(".command.err");
  if (late && (run.status == 124 || run.status == 128 + SIGKILL)) {
    if (!run.err.empty() && run.err.back() != '\n') run.err += '\n';
    run.err += "stopped after " + std::to_string(seconds) + " s: " + command + "\n";
  }
  std::remove(".command.out");
  std::remove(".command.err");
  return run;
}
