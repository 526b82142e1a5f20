// The zarv executable: the show full screen or in a window, with the
// built-in soundtrack, a track named on the command line, or listening to an
// audio server source. The command line, the monitor and the track are
// checked before any window opens. Ctrl-C ends the show as Escape does, with
// the interrupted status.
#include <cstdio>

#include "demo/demo.h"
#include "demo/show_options.h"
#include "demo/showmusic.h"
#include "music/sourcelist.h"
#include "platform/interrupt.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  ShowOptions options;
  OptionParser parser(ShowOptionTable(&options));
  const int answered = ReadCommandLine(&parser, argc, argv, ZARV_VERSION);
  if (answered >= 0) return answered;
  std::string error;
  if (options.listSources) {
    SourceList list;
    if (!ListSources(&list, &error)) {
      std::fprintf(stderr, "zarv: %s\n", error.c_str());
      return EXIT_USAGE;
    }
    std::printf("%s%s", SOURCES_HEADING, list.Format().c_str());
    return 0;
  }
  if (options.listMonitors || parser.Given("--monitor")) {
    const std::vector<platform::Monitor> monitors = platform::LiveMonitors(&error);
    if (monitors.empty()) {
      std::fprintf(stderr, "zarv: cannot list the monitors: %s\n", error.c_str());
      return 1;
    }
    if (options.listMonitors) {
      std::printf("%s", platform::FormatMonitors(monitors).c_str());
      return 0;
    }
    if (platform::FindMonitor(monitors, options.monitor) < 0) {
      std::fprintf(stderr, "zarv: there is no monitor %s; the monitors are:\n%s", options.monitor.c_str(),
                   platform::FormatMonitors(monitors).c_str());
      return EXIT_USAGE;
    }
  }
  const bool listen = parser.Given("--listen");
  if (listen && (parser.Given("--music") || parser.Given("--credit"))) {
    return UsageError(parser, "--listen shows a live source, without a track or a credit");
  }
  if (listen ? !ListenTo(options.listen, &error) : !UseMusic(options.music, options.credit, &error)) {
    std::fprintf(stderr, "zarv: %s\n", error.c_str());
    return EXIT_USAGE;
  }
  if (!options.resolution.empty()) {
    platform::SetLiveResolution(options.resolution == "screen" ? platform::Resolution::SCREEN
                                                               : platform::Resolution::SHOW);
  }
  platform::SetLiveFrameLimit(options.fpsLimit);
  platform::SetLiveWindow(options.windowWidth, options.windowHeight, options.monitor);
  platform::CatchInterrupts();
  int status = runShow();
  return platform::Interrupted() ? platform::EXIT_INTERRUPTED : status;
}
