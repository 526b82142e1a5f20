// zarv-capture: renders the show offline to a video, PNG frames or stills, or
// benchmarks its frames. It runs the show's own code from the show folder,
// where the show reads its files and writes zarv.log.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capture.h"
#include "capture_options.h"
#include "child_runner.h"
#include "demo/showmusic.h"
#include "demo/timetable.h"
#include "foundation/paths.h"
#include "frame_bench.h"
#include "jobs.h"
#include "join.h"
#include "platform/interrupt.h"

namespace {

std::string ExecutableFolder() {
  char path[4096] = {};
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n <= 0 ? "." : FolderOf(std::string(path, static_cast<size_t>(n)));
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "zarv-capture: %s\n%s\n", message.c_str(), CaptureUsage().c_str());
  return EXIT_USAGE;
}

// A track or an output that cannot be taken: one line, no usage.
int Refuse(const std::string& message) {
  std::fprintf(stderr, "zarv-capture: %s\n", message.c_str());
  return EXIT_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
  TakeChildSignals();
  CaptureOptions options;
  std::string error;
  if (!ParseCaptureOptions(argc, argv, &options, &error)) return Usage(error);
  if (options.help) {
    std::fputs(CaptureHelp().c_str(), stdout);
    return EXIT_DONE;
  }
  if (options.version) {
    std::printf("zarv-capture %s\n", ZARV_VERSION);
    return EXIT_DONE;
  }
  if (options.mode == CaptureOptions::Mode::JOIN) {
    platform::CatchInterrupts(platform::SecondInterrupt::ASKS_AGAIN);
    return RunJoin(options.output, options.joinParts);
  }

  const std::string showDir = Absolute(options.showDir.empty() ? ExecutableFolder() : options.showDir);
  struct stat info = {};
  std::vector<std::string> needed = {"data"};
  if (options.music.empty()) needed.push_back(showMusic.path);
  for (const std::string& name : needed) {
    if (stat((showDir + "/" + name).c_str(), &info) != 0) {
      return Refuse("the show folder " + showDir + " has no " + name +
                    " (build the show first, or name its folder with --show-dir)");
    }
  }
  if (!options.music.empty()) options.music = Absolute(options.music);
  if (!UseMusic(options.music, options.credit, &error)) return Refuse(error);
  if (!CheckAgainstTimetable(options, timetable, &error)) return Usage(error);
  options.output = Absolute(options.output);
  while (options.output.size() > 1 && options.output.back() == '/') options.output.pop_back();
  if (options.jobs > 1) return RunJobs(options, argc, argv);
  if (chdir(showDir.c_str()) != 0) return Refuse("cannot enter " + showDir + ": " + std::strerror(errno));

  // Every signal is left to the run, which cleans up, so that a second
  // Ctrl-C still leaves no partial video.
  platform::CatchInterrupts(platform::SecondInterrupt::ASKS_AGAIN);

  const std::string soundtrack = options.music.empty() ? showDir + "/" + showMusic.path : options.music;
  if (options.mode == CaptureOptions::Mode::BENCH) return RunFrameBench(options, soundtrack);
  return RunCapture(options, soundtrack);
}
