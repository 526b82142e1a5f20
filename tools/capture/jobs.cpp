// Each part is this program run again with --part K/N, its video in a
// temporary folder beside the output, its progress reported on a pipe
// (ProgressBar::REPORT_FD_VARIABLE) rather than drawn; its messages reach
// the terminal after its name, its schedule summary nowhere.
#include "jobs.h"

#include <dirent.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "capture.h"
#include "child_runner.h"
#include "foundation/paths.h"
#include "join.h"
#include "part_record.h"
#include "progress_bar.h"

namespace {

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

// This program's file, so that the parts are named as it is in a process list.
std::string ThisProgram() {
  char path[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  const std::string named = n > 0 ? std::string(path, static_cast<size_t>(n)) : "";
  // A program replaced on disk while it runs is still there under this name.
  const std::string replaced = " (deleted)";
  const bool gone = named.size() > replaced.size() &&
                    named.compare(named.size() - replaced.size(), replaced.size(), replaced) == 0;
  return named.empty() || gone ? "/proc/self/exe" : named;
}

// A word as a POSIX shell reads it back.
std::string Quoted(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                              "_-./=:,+@%") == std::string::npos)
    return word;
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct Part {
  std::string name;    // "part K/N"
  std::string output;  // its video, or the frames' folder
  Child child;
  long done = 0;  // frames, as it last reported
  long total = 0;
};

// One --jobs run, in the order Run takes its steps.
class JobsRun {
 public:
  JobsRun(const CaptureOptions& options, int argc, const char* const* argv)
      : o(options), video(options.mode == CaptureOptions::Mode::VIDEO), common(PartArguments(argc, argv)) {}

  int Run() {
    long first = 0, end = 0;
    CaptureFrames(o, &first, &end);
    if (end - first < o.jobs) {
      std::fprintf(stderr, "zarv-capture: --jobs %d: the range holds %ld frame%s, fewer than the parts\n",
                   o.jobs, std::max(end - first, 0L), end - first == 1 ? "" : "s");
      return EXIT_USAGE;
    }
    folder = FolderOf(o.output) + "/.zarv-capture-jobs-XXXXXX";
    if (video && mkdtemp(folder.data()) == nullptr) {
      std::fprintf(stderr, "zarv-capture: cannot make a folder beside %s: %s\n", o.output.c_str(),
                   std::strerror(errno));
      return EXIT_USAGE;
    }
    const auto started = std::chrono::steady_clock::now();
    StartParts();
    Watch();
    int status = Outcome();
    bool keep = false;
    if (status == EXIT_DONE && video) {
      status = RunJoin(o.output, Outputs());
      keep = status != EXIT_DONE && status != EXIT_INTERRUPTED;
    }
    if (keep) {
      std::string command = "zarv-capture --join " + Quoted(o.output);
      for (const std::string& output : Outputs()) command += " " + Quoted(output);
      std::fprintf(stderr,
                   "zarv-capture: the parts are kept in %s; once the join can succeed, finish with\n  %s\n",
                   folder.c_str(), command.c_str());
    } else {
      RemoveParts();
    }
    if (status == EXIT_INTERRUPTED) std::fprintf(stderr, "zarv-capture: interrupted; no video written\n");
    if (status != EXIT_DONE) return status;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("Wrote %s in %d parts in %.1f s\n", o.output.c_str(), o.jobs, seconds);
    return EXIT_DONE;
  }

 private:
  // Starts every part; at the first that cannot start, the ones started are stopped.
  void StartParts() {
    for (int k = 1; k <= o.jobs && failure.empty(); ++k) {
      Part& part = parts.emplace_back();
      part.name = "part " + std::to_string(k) + "/" + std::to_string(o.jobs);
      part.output = video ? folder + "/part-" + std::to_string(k) + "." + ExtensionOf(o.output) : o.output;
      Child::Command command;
      command.name = part.name;
      command.argv = {ThisProgram()};
      command.argv.insert(command.argv.end(), common.begin(), common.end());
      command.argv.insert(command.argv.end(), {"--part", std::to_string(k) + "/" + std::to_string(o.jobs),
                                               "--output", part.output});
      command.environment = {std::string(ProgressBar::REPORT_FD_VARIABLE) + "=3"};
      command.reports = true;
      command.echo = true;
      command.stallSeconds = BoundSeconds(PART_STALL_SECONDS);
      command.graceSeconds = BoundSeconds(PART_GRACE_SECONDS);
      std::string error;
      if (!part.child.Start(command, &error)) Fail(EXIT_FAILED, error);
    }
  }

  // Follows the parts to their end, drawing their progress as one bar; the
  // first to fail, or an interruption, stops the rest.
  void Watch() {
    std::unique_ptr<ProgressBar> bar;
    for (bool running = true; running;) {
      TakeReports();
      running = false;
      long done = 0, total = 0;
      bool allReported = true;
      for (Part& p : parts) {
        if (p.child.Check()) {
          running = true;
        } else if (!stopping && !p.child.Succeeded()) {
          Fail(p.child.ExitStatus() == EXIT_USAGE ? EXIT_USAGE : EXIT_FAILED, p.child.Failure());
        }
        done += p.done;
        total += p.total;
        allReported = allReported && p.total > 0;
      }
      if (platform::Interrupted() && !stopping) StopAll();
      if (!bar && allReported && !stopping) bar = std::make_unique<ProgressBar>(total);
      if (bar) bar->Update(done);
    }
    if (bar) bar->Finish();
  }

  // Takes in what the parts reported, waiting up to 100 ms for it.
  void TakeReports() {
    std::vector<pollfd> fds;
    for (const Part& p : parts) {
      if (p.child.ReportFd() >= 0) fds.push_back({p.child.ReportFd(), POLLIN, 0});
    }
    if (fds.empty()) {
      usleep(100000);
      return;
    }
    if (poll(fds.data(), fds.size(), 100) <= 0) return;
    for (Part& p : parts) {
      for (const std::string& line : p.child.ReadReports())
        std::sscanf(line.c_str(), "%ld %ld", &p.done, &p.total);
    }
  }

  // Notes the first failure, which stops the other parts.
  void Fail(int exit, const std::string& message) {
    if (!failure.empty() || platform::Interrupted()) return;
    failure = message;
    status = exit;
    StopAll();
  }

  void StopAll() {
    stopping = true;
    for (Part& p : parts) p.child.Stop();
  }

  // The run's exit status once every part has ended, after saying why it failed.
  int Outcome() const {
    if (platform::Interrupted()) return EXIT_INTERRUPTED;
    if (!failure.empty()) std::fprintf(stderr, "zarv-capture: %s\n", failure.c_str());
    return status;
  }

  std::vector<std::string> Outputs() const {
    std::vector<std::string> outputs;
    for (const Part& p : parts) outputs.push_back(p.output);
    return outputs;
  }

  // What the parts left: their videos and records, or the frames' records.
  void RemoveParts() {
    int k = 0;
    for (const Part& p : parts) {
      std::remove(PartRecordPath(p.output, !video, ++k, o.jobs).c_str());
      if (video) std::remove(p.output.c_str());
    }
    if (!video) return;
    if (DIR* dir = opendir(folder.c_str())) {
      while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") std::remove((folder + "/" + name).c_str());
      }
      closedir(dir);
    }
    rmdir(folder.c_str());
  }

  const CaptureOptions& o;
  const bool video;
  const std::vector<std::string> common;  // the parts' arguments but their own
  std::string folder;                     // the video parts' temporary folder
  std::list<Part> parts;                  // a list: a part's Child stays where it started
  std::string failure;                    // why the run failed; empty while it has not
  int status = EXIT_DONE;
  bool stopping = false;
};

}  // namespace

int RunJobs(const CaptureOptions& o, int argc, const char* const* argv) {
  platform::CatchInterrupts(platform::SecondInterrupt::ASKS_AGAIN);
  return JobsRun(o, argc, argv).Run();
}
