// Checks for the show's fatal ends: run a body with the log started in a
// scratch directory, expect exit status 1, and compare the log's last lines;
// or replace the exit with a throw to go on in the same process.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/debug.h"
#include "support/scratch_dir.h"

// Runs `body` in a child process that has started "zarv.log"; the child must
// end with exit status 1.
#define EXPECT_FATAL(body)             \
  EXPECT_EXIT(                         \
      {                                \
        Log::Start("zarv.log", false); \
        body;                          \
      },                               \
      ::testing::ExitedWithCode(1), "")

// The "ZARV ERROR" line for a report raised in `sourceFile` by `func`.
inline ::testing::Matcher<std::string> ErrorReport(const std::string& sourceFile, const std::string& func) {
  using ::testing::AllOf;
  using ::testing::ContainsRegex;
  using ::testing::EndsWith;
  using ::testing::StartsWith;
  return AllOf(StartsWith("ZARV ERROR: file: "), ContainsRegex("/" + sourceFile + " line: [0-9]+ func: "),
               EndsWith(" func: " + func));
}

// The "ZARV_FAILED" line for the failed check `expression`.
inline ::testing::Matcher<std::string> FailedReport(const std::string& expression,
                                                    const std::string& sourceFile, const std::string& func) {
  using ::testing::AllOf;
  using ::testing::ContainsRegex;
  using ::testing::EndsWith;
  using ::testing::StartsWith;
  return AllOf(StartsWith("ZARV_FAILED: expression: " + expression + " file: "),
               ContainsRegex("/" + sourceFile + " line: [0-9]+ func: "), EndsWith(" func: " + func));
}

// Thrown by ThrowInsteadOfExiting: install it with SetFatalExit to see a
// fatal end (and the unwinding after it) without leaving the process.
struct FatalEnded {
  int status;
};
[[noreturn]] inline void ThrowInsteadOfExiting(int status) { throw FatalEnded{status}; }
