// Each part is this program run again with --part K/N, its video in a
// temporary folder beside the output, its progress reported on a pipe
// (ProgressBar::REPORT_FD_VARIABLE) rather than drawn; its messages go to
// the terminal as they would alone, its schedule summary nowhere.
#include "jobs.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capture.h"
#include "join.h"
#include "part_record.h"
#include "paths.h"
#include "progress_bar.h"

extern char** environ;

namespace {

// Parts report several times a second while they draw; parts silent this
// long, none of them ending, are stuck.
constexpr int MOST_SECONDS_WITHOUT_NEWS = 600;
// A part asked to stop cleans up in moments; one that does not is ended.
constexpr int MOST_SECONDS_TO_STOP = 30;

// The command line without the options a part gets its own of.
std::vector<std::string> PartArguments(int argc, const char* const* argv) {
  std::vector<std::string> kept;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--jobs" || a == "--output" || a == "-o") {
      ++i;
    } else if (a.rfind("--jobs=", 0) != 0 && a.rfind("--output=", 0) != 0) {
      kept.push_back(a);
    }
  }
  return kept;
}

struct Part {
  pid_t pid = -1;
  int progress = -1;  // the read end of its progress pipe; -1 once closed
  long done = 0;
  long total = 0;
  int status = -1;  // its exit status once it ended
  std::string output;
  std::string pending;  // a progress line not yet whole
};

// Starts part k of n with its progress on a new pipe.
bool StartPart(const std::vector<std::string>& common, int k, int n, Part* part, std::string* error) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  std::vector<std::string> words = {"/proc/self/exe"};
  words.insert(words.end(), common.begin(), common.end());
  words.insert(words.end(),
               {"--part", std::to_string(k) + "/" + std::to_string(n), "--output", part->output});
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::vector<std::string> variables = {std::string(ProgressBar::REPORT_FD_VARIABLE) + "=3"};
  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
  for (std::string& v : variables) env.push_back(v.data());
  env.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 3);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const int spawned = posix_spawn(&part->pid, "/proc/self/exe", &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (spawned != 0) {
    close(ends[0]);
    *error = std::string("cannot start a part: ") + std::strerror(spawned);
    return false;
  }
  part->progress = ends[0];
  return true;
}

// The parts' folder and whatever a part ended mid-way left in it.
void RemoveFolder(const std::string& folder) {
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") std::remove((folder + "/" + name).c_str());
    }
    closedir(dir);
  }
  rmdir(folder.c_str());
}

// Takes in what the parts reported, for up to 100 ms; whether any did.
bool ReadProgress(std::vector<Part>* parts) {
  std::vector<pollfd> fds;
  for (const Part& p : *parts) {
    if (p.progress >= 0) fds.push_back({p.progress, POLLIN, 0});
  }
  if (fds.empty() || poll(fds.data(), fds.size(), 100) <= 0) return false;
  for (Part& p : *parts) {
    if (p.progress < 0) continue;
    char buffer[256];
    const ssize_t n = read(p.progress, buffer, sizeof buffer);
    if (n <= 0) {
      if (n == 0 || errno != EINTR) {
        close(p.progress);
        p.progress = -1;
      }
      continue;
    }
    p.pending.append(buffer, static_cast<size_t>(n));
    for (size_t newline; (newline = p.pending.find('\n')) != std::string::npos;) {
      std::sscanf(p.pending.substr(0, newline).c_str(), "%ld %ld", &p.done, &p.total);
      p.pending.erase(0, newline + 1);
    }
  }
  return true;
}

}  // namespace

int RunJobs(const CaptureOptions& o, int argc, const char* const* argv) {
  platform::CatchInterrupts(platform::SecondInterrupt::ASKS_AGAIN);
  const bool video = o.mode == CaptureOptions::Mode::VIDEO;
  std::string folder = FolderOf(o.output) + "/.zarv-capture-jobs-XXXXXX";
  if (video && mkdtemp(folder.data()) == nullptr) {
    std::fprintf(stderr, "zarv-capture: cannot make a folder beside %s: %s\n", o.output.c_str(),
                 std::strerror(errno));
    return EXIT_USAGE;
  }
  const auto started = std::chrono::steady_clock::now();
  const std::vector<std::string> common = PartArguments(argc, argv);
  std::vector<Part> parts(static_cast<size_t>(o.jobs));
  std::string error;
  bool failed = false;
  for (int k = 1; k <= o.jobs && !failed; ++k) {
    Part& part = parts[static_cast<size_t>(k - 1)];
    part.output = video ? folder + "/part-" + std::to_string(k) + "." + ExtensionOf(o.output) : o.output;
    failed = !StartPart(common, k, o.jobs, &part, &error);
  }
  std::unique_ptr<ProgressBar> bar;
  int status = EXIT_DONE;
  auto news = std::chrono::steady_clock::now();
  bool stuck = false;
  bool stopping = false;
  std::chrono::steady_clock::time_point stopAsked;
  for (size_t running = parts.size(); running > 0;) {
    if (ReadProgress(&parts)) news = std::chrono::steady_clock::now();
    long done = 0, total = 0;
    bool allReported = true;
    running = 0;
    for (Part& p : parts) {
      done += p.done;
      total += p.total;
      allReported = allReported && p.total > 0;
      int wait = 0;
      if (p.pid > 0 && p.status < 0 && waitpid(p.pid, &wait, WNOHANG) == p.pid) {
        p.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : EXIT_FAILED;
        news = std::chrono::steady_clock::now();
        if (p.status != EXIT_DONE && status == EXIT_DONE) status = p.status;
      }
      running += p.pid > 0 && p.status < 0;
    }
    if (!stuck && std::chrono::steady_clock::now() - news > std::chrono::seconds(MOST_SECONDS_WITHOUT_NEWS)) {
      stuck = true;
      error = "the parts reported nothing for " + std::to_string(MOST_SECONDS_WITHOUT_NEWS) + " s";
      failed = true;
    }
    // A part that failed or an interruption stops the others: asked once,
    // then ended if they have not stopped within MOST_SECONDS_TO_STOP.
    if ((status != EXIT_DONE || failed || platform::Interrupted()) && running > 0) {
      const auto now = std::chrono::steady_clock::now();
      const int signal = !stopping                                                      ? SIGTERM
                         : now - stopAsked > std::chrono::seconds(MOST_SECONDS_TO_STOP) ? SIGKILL
                                                                                        : 0;
      if (!stopping) stopAsked = now;
      stopping = true;
      for (Part& p : parts) {
        if (signal != 0 && p.pid > 0 && p.status < 0) kill(p.pid, signal);
      }
    }
    if (!bar && allReported) bar = std::make_unique<ProgressBar>(total);
    if (bar) bar->Update(done);
  }
  if (bar) bar->Finish();
  for (Part& p : parts) {
    if (p.progress >= 0) close(p.progress);
  }
  if (platform::Interrupted()) status = EXIT_INTERRUPTED;
  if (stuck) status = EXIT_DONE;  // the parts' own statuses are those of being stopped
  if (failed && status == EXIT_DONE) {
    std::fprintf(stderr, "zarv-capture: %s\n", error.c_str());
    status = EXIT_FAILED;
  }
  std::vector<std::string> partFiles;
  for (const Part& p : parts) partFiles.push_back(p.output);
  if (status == EXIT_DONE && video) status = RunJoin(o.output, partFiles);
  // What the parts left: their videos and records, or the frames' records.
  for (int k = 1; k <= o.jobs; ++k) {
    const std::string& output = partFiles[static_cast<size_t>(k - 1)];
    std::remove(PartRecordPath(output, !video, k, o.jobs).c_str());
    if (video) std::remove(output.c_str());
  }
  if (video) RemoveFolder(folder);
  if (status == EXIT_INTERRUPTED) std::fprintf(stderr, "zarv-capture: interrupted; no video written\n");
  if (status != EXIT_DONE) return status;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("Wrote %s in %d parts in %.1f s\n", o.output.c_str(), o.jobs, seconds);
  return EXIT_DONE;
}
