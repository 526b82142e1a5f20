// The capture's child-process runner against small shell children: each
// kind of misbehaviour ends within its bound, leaves nothing running, and
// is told with a bounded tail of what the child said.
#include "child_runner.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Short bounds, so that every case ends in moments.
constexpr double STALL = 0.5;
constexpr double GRACE = 0.5;
// What a machine twice as slow, or a busy one, may add to a bound.
constexpr double SLACK = 3.0;

Child::Command Shell(const std::string& script) {
  Child::Command command;
  command.name = "child";
  command.argv = {"sh", "-c", script};
  command.graceSeconds = GRACE;
  return command;
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A process that has ended (gone, or a zombie nobody has reaped yet).
bool Ended(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) return true;
  return text.substr(text.rfind(')') + 2, 1) == "Z";
}

bool EndsWithin(pid_t pid, double seconds) {
  const Clock::time_point start = Clock::now();
  while (!Ended(pid) && SecondsSince(start) < seconds)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return Ended(pid);
}

// The pids a child wrote on its stderr, one a line, once it has written n.
std::vector<pid_t> PidsSaid(const Child& child, size_t n) {
  std::vector<pid_t> pids;
  for (int i = 0; i < 200 && pids.size() < n; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pids.clear();
    std::istringstream said(child.ErrorTail());
    for (pid_t pid = 0; said >> pid;) pids.push_back(pid);
  }
  return pids;
}

}  // namespace

TEST(ChildRunner, EachChildEndsWithinItsBoundAndIsToldAsItEnded) {
  const struct {
    const char* what;
    std::string script;
    double stall;          // seconds; 0: none
    double deadline;       // seconds; 0: none
    double bound;          // seconds it may take, before the slack
    size_t grandchildren;  // pids it writes first, one a line
    const char* told;
  } cases[] = {
      {"exits", "echo bye >&2; exit 3", 0, 0, 0, 0, "child failed with exit status 3:\nbye"},
      {"ignores SIGTERM", "trap '' TERM; exec sleep 100", STALL, 0, STALL + GRACE, 0,
       "child is stuck: it made no progress for 0.5 s, so it was stopped"},
      {"forks a grandchild and sleeps", "sleep 100 & echo $! >&2; exec sleep 100", STALL, 0, STALL, 1,
       "child is stuck"},
      {"stops itself", "kill -STOP $$", STALL, 0, STALL + GRACE, 0, "child is stuck"},
      {"floods stderr", "exec yes 'a line of complaint' >&2", 0, 0.5, 0.5, 0,
       "child is stuck: it did not finish within 0.5 s"},
  };
  for (const auto& c : cases) {
    Child::Command command = Shell(c.script);
    command.stallSeconds = c.stall;
    command.deadlineSeconds = c.deadline;
    Child child;
    std::string error;
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(child.Start(command, &error)) << error;
    std::vector<pid_t> pids = PidsSaid(child, c.grandchildren);
    pids.push_back(child.Pid());
    child.Wait();
    EXPECT_LT(SecondsSince(start), c.bound + SLACK) << c.what;
    EXPECT_FALSE(child.Running());
    EXPECT_EQ(child.Failure().rfind(c.told, 0), 0u) << c.what << "\ntold: " << child.Failure().substr(0, 200);
    // The message ends with what the child said last, bounded.
    const std::string said = child.ErrorTail();
    EXPECT_LE(said.size(), ERROR_TAIL_BYTES) << c.what;
    EXPECT_EQ(child.Failure().substr(child.Failure().size() - said.size()), said) << c.what;
    for (pid_t pid : pids) EXPECT_TRUE(EndsWithin(pid, SLACK)) << c.what << ": pid " << pid << " is left";
  }
}

TEST(ChildRunner, AChildEndsWithTheProcessThatStartedIt) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const pid_t starter = fork();
  if (starter == 0) {
    Child child;
    std::string error;
    Child::Command command;
    command.name = "sleep";
    command.argv = {"sleep", "100"};
    if (!child.Start(command, &error)) _exit(1);
    const pid_t pid = child.Pid();
    if (write(ends[1], &pid, sizeof pid) != sizeof pid) _exit(1);
    pause();
    _exit(0);
  }
  pid_t pid = 0;
  ASSERT_EQ(read(ends[0], &pid, sizeof pid), static_cast<ssize_t>(sizeof pid));
  close(ends[0]);
  close(ends[1]);
  EXPECT_FALSE(Ended(pid));
  kill(starter, SIGKILL);
  waitpid(starter, nullptr, 0);
  EXPECT_TRUE(EndsWithin(pid, SLACK));
}

TEST(ChildRunner, AProgramThatCannotRunIsRefusedAtTheStart) {
  Child child;
  std::string error;
  Child::Command command;
  command.name = "ghost";
  command.argv = {"zarv-no-such-program"};
  EXPECT_FALSE(child.Start(command, &error));
  EXPECT_EQ(error, "cannot run ghost: there is no zarv-no-such-program on PATH (is it installed?)");
  command.argv = {"/dev/null"};
  EXPECT_FALSE(child.Start(command, &error));
  EXPECT_EQ(error, "cannot run ghost: /dev/null: Permission denied");
}
