// zarv-band-report: how a track drives the show's spawning bands, per 10 s
// at 60 frames a second, before and after the show's level fit.
// Usage: zarv-band-report FILE
#include <cstdio>

#include "band_report.h"
#include "foundation/options.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zarv-band-report FILE\n");
    return EXIT_USAGE;
  }
  BandReport report;
  std::string reason;
  if (!ReportBands(argv[1], 10.0, &report, &reason)) {
    std::fprintf(stderr, "zarv-band-report: %s: %s\n", argv[1], reason.c_str());
    return EXIT_USAGE;
  }
  std::fputs(FormatBandReport(report).c_str(), stdout);
  return 0;
}
