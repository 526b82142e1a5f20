// zarv-capture's children when they go wrong: started with SIGCHLD
// ignored, an ffmpeg that stops reading, a part killed or unable to start,
// joins that rewrite in place, stop themselves or fail. Each run ends in
// its bound, says what happened and leaves nothing running or written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/command.h"
#include "support/scratch_dir.h"
#include "support/show_files.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string CAPTURE = std::string(ZARV_SHOW_DIR) + "/zarv-capture";
// A second of the show at 10 fps: the least that makes a video of two parts.
const std::string SHORT = "--fps 10 --from 20 --to 21 ";
// What a machine twice as slow, or a busy one, may add to a bound.
constexpr double SLACK = 10.0;

bool Exists(const std::string& path) {
  struct stat info = {};
  return stat(path.c_str(), &info) == 0;
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A process's parent and name from /proc; false once it has ended (a zombie counts as ended).
bool Alive(pid_t pid, pid_t* parent = nullptr, std::string* name = nullptr) {
  const std::string text = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t open = text.find('('), close = text.rfind(')');
  if (open == std::string::npos || close == std::string::npos || text.substr(close + 2, 1) == "Z")
    return false;
  if (name != nullptr) *name = text.substr(open + 1, close - open - 1);
  if (parent != nullptr) *parent = std::atoi(text.c_str() + close + 4);
  return true;
}

// The living children of pid named name ("" for any).
std::vector<pid_t> ChildrenOf(pid_t pid, const std::string& name) {
  std::vector<pid_t> found;
  DIR* proc = opendir("/proc");
  while (const dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
    const pid_t candidate = std::atoi(entry->d_name);
    pid_t parent = 0;
    std::string called;
    if (candidate > 0 && Alive(candidate, &parent, &called) && parent == pid &&
        (name.empty() || called == name))
      found.push_back(candidate);
  }
  if (proc != nullptr) closedir(proc);
  return found;
}

std::string FrameHashes(const std::string& video) {
  return RunCommand("ffmpeg -v error -i " + video + " -map 0:v -f framemd5 - | grep -v '^#' | sed 's/.*, //'")
      .out;
}

// Names in the working folder and in tmp/ that a run may have left.
std::string Leftovers() { return RunCommand("ls -A . tmp | grep -E 'mp4|part|zarv-capture' || true").out; }

class CaptureChildren : public ::testing::Test {
 protected:
  void SetUp() override {
    LinkShowFiles();
    mkdir("bin", 0755);
    mkdir("tmp", 0755);
  }
  // A stand-in for ffmpeg, first on the PATH that PathFirst gives.
  static void FakeFfmpeg(const std::string& script) {
    WriteFile("bin/ffmpeg", script);
    chmod("bin/ffmpeg", 0755);
  }
  std::string WithFake() const {
    return "PATH=" + dir.path + "/bin:/usr/bin:/bin TMPDIR=" + dir.path + "/tmp ";
  }
  CommandRun Capture(const std::string& args, const std::string& env = "", int seconds = 300) {
    return RunCommand(env + "'" + CAPTURE + "' --show-dir '" + dir.path + "' " + args, seconds);
  }
  ScratchDir dir;
};

// An ffmpeg that takes no more frames and will not stop when asked.
const char* const STUCK_FFMPEG = "#!/bin/sh\necho $$ >ffmpeg.pid\ntrap '' TERM\nexec sleep 1000\n";

}  // namespace

TEST_F(CaptureChildren, StartedWithSigchldIgnoredAPlainAndASplitCaptureKeepTheirFrames) {
  ASSERT_EQ(Capture(SHORT + "--crf 0 --output default.mp4").status, 0);
  const std::string ignored = "env --ignore-signal=CHLD ";
  for (const std::string how : {"", "--jobs 2 "}) {
    const CommandRun run = Capture(SHORT + "--crf 0 " + how + "--output ignored.mp4", ignored, 60);
    ASSERT_EQ(run.status, 0) << how << run.err;
    EXPECT_EQ(FrameHashes("ignored.mp4"), FrameHashes("default.mp4")) << how;
  }
}

TEST_F(CaptureChildren, AStuckFfmpegEndsTheCaptureWithinItsBoundAndOnCtrlC) {
  FakeFfmpeg(STUCK_FFMPEG);
  // Shortened, its stall bound is 3 s.
  Clock::time_point start = Clock::now();
  const CommandRun run =
      Capture("--from 1 --to 9 --output clip.mp4", WithFake() + "ZARV_CAPTURE_BOUNDS_SCALE=0.05 ");
  EXPECT_LT(SecondsSince(start), 3 + SLACK);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("ffmpeg is stuck: it made no progress for 3 s"), std::string::npos) << run.err;
  EXPECT_FALSE(Alive(std::atoi(ReadFile("ffmpeg.pid").c_str())));
  EXPECT_EQ(Leftovers(), "");

  // At the full bounds Ctrl-C still ends it within 5 s.
  std::remove("ffmpeg.pid");
  const std::string path = dir.path + "/bin:/usr/bin:/bin", tmp = dir.path + "/tmp";
  const pid_t pid =
      StartChild({CAPTURE, "--show-dir", dir.path, "--from", "1", "--to", "9", "-o", "clip.mp4"}, [&] {
        setenv("PATH", path.c_str(), 1);
        setenv("TMPDIR", tmp.c_str(), 1);
        if (!std::freopen("capture.err", "w", stderr)) _exit(126);
      });
  for (int i = 0; i < 300 && ReadFile("ffmpeg.pid").empty(); ++i) usleep(100000);
  usleep(500000);
  kill(pid, SIGINT);
  start = Clock::now();
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_LT(SecondsSince(start), 5.0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << ReadFile("capture.err");
  EXPECT_FALSE(Alive(std::atoi(ReadFile("ffmpeg.pid").c_str())));
  std::remove("capture.err");
  EXPECT_EQ(Leftovers(), "");
}

TEST_F(CaptureChildren, UnderJobsAPartThatDiesOrCannotStartIsNamed) {
  // Killed: the part and its signal are named, and its ffmpeg goes with it.
  ChildProcess run({CAPTURE, "--show-dir", dir.path, "--from", "20", "--to", "80", "--jobs", "2", "-o",
                    dir.path + "/video.mp4"},
                   dir.path, "");
  std::vector<pid_t> parts, encoders;
  for (int i = 0; i < 300 && encoders.size() < 2; ++i, usleep(100000)) {
    parts = ChildrenOf(run.pid, "zarv-capture");
    encoders.clear();
    for (pid_t part : parts) {
      for (pid_t ffmpeg : ChildrenOf(part, "ffmpeg")) encoders.push_back(ffmpeg);
    }
  }
  ASSERT_EQ(encoders.size(), 2u);
  const pid_t first =
      ReadFile("/proc/" + std::to_string(parts[0]) + "/cmdline").find("1/2") != std::string::npos ? parts[0]
                                                                                                  : parts[1];
  kill(first, SIGKILL);
  EXPECT_EQ(run.Wait(SLACK), 1);
  EXPECT_NE(ReadFile("stderr.txt").find("zarv-capture: part 1/2 was ended by signal 9 (Killed)"),
            std::string::npos)
      << ReadFile("stderr.txt");
  for (pid_t ffmpeg : encoders) EXPECT_FALSE(Alive(ffmpeg)) << "ffmpeg " << ffmpeg << " is left";
  std::remove("stderr.txt");
  std::remove("stdout.txt");
  EXPECT_EQ(Leftovers(), "");

  // Unable to start: the parts' own reason, after their names, and their exit status.
  const CommandRun cannot = Capture(SHORT + "--jobs 2 --output clip.mp4", "PATH=" + dir.path + "/bin ");
  EXPECT_EQ(cannot.status, 1);
  EXPECT_NE(cannot.err.find(": zarv-capture: cannot run ffmpeg: there is no ffmpeg on PATH"),
            std::string::npos)
      << cannot.err;
  // Both parts fail alike, at about the same moment: either may be the first one seen.
  EXPECT_TRUE(cannot.err.find("zarv-capture: part 1/2 failed with exit status 1") != std::string::npos ||
              cannot.err.find("zarv-capture: part 2/2 failed with exit status 1") != std::string::npos)
      << cannot.err;
  EXPECT_EQ(Leftovers(), "");
}

TEST_F(CaptureChildren, AJoinIsJudgedByWhatItsFfmpegDoesAndAFailedOneKeepsTheParts) {
  for (const char* k : {"1", "2"})
    ASSERT_EQ(Capture(SHORT + "--part " + std::string(k) + "/2 --output p" + k + ".mp4").status, 0);
  const std::string parts = " p1.mp4 p2.mp4";
  // Shortened, the stall bound is 1.2 s: the first rewrites its output in
  // place for three times that, the second stops itself.
  const std::string scaled = "ZARV_CAPTURE_BOUNDS_SCALE=0.02 ";
  FakeFfmpeg(
      "#!/usr/bin/perl\nopen(my $out, '+>', $ARGV[-1]) or die;\nmy $end = time + 3.6;\n"
      "while (time < $end) { seek($out, 0, 0); syswrite($out, 'x' x 4096); select(undef, undef, undef, 0.1); "
      "}\n");
  CommandRun join = RunCommand(WithFake() + scaled + "'" + CAPTURE + "' --join rewritten.mp4" + parts);
  EXPECT_EQ(join.status, 0) << join.err;
  EXPECT_EQ(ReadFile("rewritten.mp4").size(), 4096u);
  std::remove("rewritten.mp4");
  FakeFfmpeg("#!/bin/sh\nkill -STOP $$\n");
  const Clock::time_point start = Clock::now();
  join = RunCommand(WithFake() + scaled + "'" + CAPTURE + "' --join stopped.mp4" + parts);
  EXPECT_LT(SecondsSince(start), 1.2 + SLACK);
  EXPECT_EQ(join.status, 1);
  EXPECT_NE(join.err.find("ffmpeg is stuck"), std::string::npos) << join.err;
  EXPECT_FALSE(Exists("stopped.mp4"));

  // Under --jobs a failed join keeps the parts and says how to finish.
  FakeFfmpeg(
      "#!/bin/sh\ncase \"$*\" in *concat*) echo 'no join today' >&2; exit 1;; esac\nexec /usr/bin/ffmpeg "
      "\"$@\"\n");
  const CommandRun jobs = Capture(SHORT + "--jobs 2 --output joined.mp4", WithFake());
  EXPECT_EQ(jobs.status, 1);
  EXPECT_NE(jobs.err.find("no join today"), std::string::npos) << jobs.err;
  const size_t finish = jobs.err.find("  zarv-capture --join ");
  ASSERT_NE(finish, std::string::npos) << jobs.err;
  const std::string command = jobs.err.substr(finish + 2, jobs.err.find('\n', finish) - finish - 2);
  EXPECT_EQ(RunCommand("PATH=" + std::string(ZARV_SHOW_DIR) + ":/usr/bin:/bin " + command).status, 0)
      << command;
  EXPECT_EQ(FrameHashes("joined.mp4").size(), FrameHashes("p1.mp4").size() * 2);
}
