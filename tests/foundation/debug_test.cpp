// The log and the reporters: where lines go, in what order, what is bounded,
// and how the fatal paths end the process.
#include "foundation/debug.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/fatal_report.h"
#include "support/scratch_dir.h"

using ::testing::ExitedWithCode;

namespace {

const int checkLine = __LINE__ + 4;
void FailACheck() {
  Log::Msg("first");
  bool f = false;
  ZARV_CHECK(f);
}

}  // namespace

TEST(Log, WritesNothingAnywhereBeforeStartOrAfterEnd) {
  ScratchDir dir;
  ::testing::internal::CaptureStderr();
  Log::Msg("before %d", 1);
  Log::Msg(std::string("before"));
  Log::Start("zarv.log", true);
  Log::Msg("during");
  Log::End();
  Log::Msg("after %d", 2);
  Log::Msg(std::string("after"));
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(ReadFile("zarv.log"), "during\n");
  EXPECT_EQ(err, "during\n");
}

TEST(Log, EchoWritesTheFileBeforeStderr) {
  ScratchDir dir;
  Log::Start("zarv.log", true);
  // With stderr appending to the log file itself, the file's own stream
  // overwrites an echo that came after it, so the result shows the order:
  // file-then-stderr leaves "a b b", stderr-then-file would leave "a b".
  int saved = dup(2);
  int appended = open("zarv.log", O_WRONLY | O_APPEND);
  ASSERT_GE(appended, 0);
  dup2(appended, 2);
  Log::Msg("a");
  Log::Msg(std::string("b"));
  dup2(saved, 2);
  close(appended);
  close(saved);
  Log::End();
  EXPECT_EQ(ReadFile("zarv.log"), "a\nb\nb\n");
}

TEST(Log, EchoOffKeepsStderrQuiet) {
  ScratchDir dir;
  ::testing::internal::CaptureStderr();
  Log::Start("zarv.log", false);
  Log::Msg("quiet %s", "line");
  Log::End();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(ReadFile("zarv.log"), "quiet line\n");
}

TEST(Log, TruncatesAnExistingLog) {
  ScratchDir dir;
  WriteFile("zarv.log", "old line one\nold line two\n");
  Log::Start("zarv.log", false);
  Log::Msg("new");
  Log::End();
  EXPECT_EQ(ReadFile("zarv.log"), "new\n");
}

TEST(Log, NullFormatLogsNothingAndGoesOn) {
  ScratchDir dir;
  Log::Start("zarv.log", false);
  Log::Msg(static_cast<const char*>(nullptr));
  Log::Msg("still here");
  Log::End();
  EXPECT_EQ(ReadFile("zarv.log"), "still here\n");
}

TEST(Log, AcceptsAFormatOf2047Characters) {
  ScratchDir dir;
  Log::Start("zarv.log", false);
  std::string format(2047, 'x');
  Log::Msg(format.c_str());
  Log::End();
  EXPECT_EQ(ReadFile("zarv.log"), format + "\n");
}

TEST(Log, FormatOf2048CharactersIsFatal) {
  ScratchDir dir;
  EXPECT_EXIT(
      {
        Log::Start("zarv.log", false);
        std::string format(2048, 'x');
        Log::Msg(format.c_str());
      },
      ExitedWithCode(1), "");
  std::vector<std::string> lines = ReadLines("zarv.log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Log message is too long (>2048)!");
  EXPECT_EQ(lines[1].rfind("ZARV ERROR: file: ", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find("debug.cpp line: "), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find(" func: void Log::Msg(const char*, ...)"), std::string::npos) << lines[1];
}

TEST(Log, LongFormattedResultIsCutToTheBuffer) {
  ScratchDir dir;
  Log::Start("zarv.log", false);
  std::string argument(5000, 'y');
  Log::Msg("<%s>", argument.c_str());
  Log::Msg("next");
  Log::End();
  std::vector<std::string> lines = ReadLines("zarv.log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), static_cast<size_t>(Log::BUFFER_SIZE - 1));
  EXPECT_EQ(lines[0], "<" + std::string(Log::BUFFER_SIZE - 2, 'y'));
  EXPECT_EQ(lines[1], "next");
}

TEST(Log, StartingTwiceIsAFailureToOpen) {
  ScratchDir dir;
  EXPECT_EXIT(
      {
        Log::Start("zarv.log", false);
        Log::Start("zarv.log", false);
      },
      ExitedWithCode(1), "^cannot open log file\n$");
}

TEST(Log, UnwritableLogFileEndsTheProcess) {
  ScratchDir dir;
  EXPECT_EXIT(Log::Start("no/such/dir/zarv.log", true), ExitedWithCode(1), "^cannot open log file\n$");
}

TEST(Log, EndStopsEchoAndClosesTheFile) {
  ScratchDir dir;
  Log::Start("zarv.log", true);
  Log::End();
  EXPECT_FALSE(Log::logging);
  EXPECT_FALSE(Log::cerr);
  EXPECT_EQ(Log::file, -1);
}

// Processes sharing one log (the parts of a split capture) each append
// whole lines under their own prefix, long ones too, each line of a longer
// message prefixed, and lose none of the lines already there; after End a
// Start truncates again.
TEST(Log, SharedLogKeepsWholeLinesOfEveryProcess) {
  ScratchDir dir;
  WriteFile("zarv.log", "earlier\n");
  constexpr int PROCESSES = 4, LINES = 200;
  const auto text = [](int process, int line) {
    return std::string(1 + line * 97 % 6000, static_cast<char>('a' + process));
  };
  std::vector<pid_t> children;
  for (int p = 0; p < PROCESSES; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      Log::ShareFile("part " + std::to_string(p + 1) + "/4: ");
      Log::Start("zarv.log", false);
      for (int i = 0; i < LINES; ++i) Log::Msg(text(p, i));
      Log::End();
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::vector<std::string> lines = ReadLines("zarv.log");
  ASSERT_EQ(lines.size(), 1u + PROCESSES * LINES);
  EXPECT_EQ(lines[0], "earlier");
  int next[PROCESSES] = {};
  for (size_t n = 1; n < lines.size(); ++n) {
    const int p = lines[n].size() > 10 ? lines[n][10] - 'a' : -1;
    ASSERT_TRUE(p >= 0 && p < PROCESSES && next[p] < LINES) << "line " << n;
    EXPECT_EQ(lines[n], "part " + std::to_string(p + 1) + "/4: " + text(p, next[p]++)) << "line " << n;
  }
  Log::ShareFile("part 1/4: ");
  Log::Start("zarv.log", false);
  Log::Msg("two\nlines");
  Log::End();
  const std::vector<std::string> last = ReadLines("zarv.log");
  EXPECT_EQ(std::vector<std::string>(last.end() - 2, last.end()),
            (std::vector<std::string>{"part 1/4: two", "part 1/4: lines"}));
  Log::Start("zarv.log", false);
  Log::Msg("alone");
  Log::End();
  EXPECT_EQ(ReadFile("zarv.log"), "alone\n");
}

TEST(Reporters, FailedCheckLogsItsLineClosesTheLogAndExitsWithOne) {
  ScratchDir dir;
  EXPECT_EXIT(
      {
        Log::Start("zarv.log", false);
        FailACheck();
      },
      ExitedWithCode(1), "");
  std::vector<std::string> lines = ReadLines("zarv.log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "first");
  std::string expected = "ZARV_FAILED: expression: f file: " + std::string(__FILE__) +
                         " line: " + std::to_string(checkLine) + " func: ";
  EXPECT_EQ(lines[1].rfind(expected, 0), 0u) << lines[1];
  const std::string func = " func: void {anonymous}::FailACheck()";
  ASSERT_GT(lines[1].size(), func.size());
  EXPECT_EQ(lines[1].substr(lines[1].size() - func.size()), func);
}

TEST(Reporters, ErrorReportsTheLocationAfterTheDescribingLine) {
  ScratchDir dir;
  EXPECT_EXIT(
      {
        Log::Start("zarv.log", true);
        Log::Msg("unknown thing \"%s\"", "x");
        ZARV_ERROR();
      },
      ExitedWithCode(1), "unknown thing \"x\"\nZARV ERROR: file: ");
  std::vector<std::string> lines = ReadLines("zarv.log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "unknown thing \"x\"");
  EXPECT_EQ(lines[1].rfind("ZARV ERROR: file: " + std::string(__FILE__) + " line: ", 0), 0u) << lines[1];
}

TEST(Reporters, WarningLogsAndReturns) {
  ScratchDir dir;
  Log::Start("zarv.log", false);
  int answer = 41;
  ZARV_WARNING(answer == 42);
  ZARV_WARNING(answer == 41);
  Log::Msg("went on");
  Log::End();
  std::vector<std::string> lines = ReadLines("zarv.log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("ZARV WARNING: expression: answer == 42 file: ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1], "went on");
}

TEST(Reporters, FatalWithoutALogWritesNothingAndStillExitsWithOne) {
  ScratchDir dir;
  EXPECT_EXIT(ZarvFailed("f", "here.cpp", 3, "void f()"), ExitedWithCode(1), "^$");
  EXPECT_EXIT(ZarvError("here.cpp", 4, "void f()"), ExitedWithCode(1), "^$");
}

TEST(Reporters, FatalExitCanBeReplacedToGoOnAfterADefinedFatalError) {
  ScratchDir dir;
  SetFatalExit(ThrowInsteadOfExiting);
  Log::Start("zarv.log", false);
  int status = 0;
  try {
    ZARV_ERROR();
  } catch (const FatalEnded& ended) {
    status = ended.status;
  }
  SetFatalExit(nullptr);
  EXPECT_EQ(status, 1);
  EXPECT_FALSE(Log::logging) << "the log is closed before the handler runs";
  EXPECT_EQ(ReadLines("zarv.log").size(), 1u);
  EXPECT_EXIT(ZarvError("here.cpp", 1, "f"), ExitedWithCode(1), "") << "null restores the exit";
}
