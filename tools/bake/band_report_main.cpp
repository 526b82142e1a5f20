// zarv-band-report: how the baked soundtrack drives the show's spawning
// bands, per 10 s at 60 frames a second.
// Usage: zarv-band-report MP3_FILE
#include <cstdio>

#include "band_report.h"
#include "foundation/debug.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zarv-band-report MP3_FILE\n");
    return 2;
  }
  Log::Start("zarv-band-report.log", true);
  const std::vector<BandShare> shares = AnalyseBands(argv[1], 150.0, 60.0, 10.0);
  Log::End();
  if (shares.empty()) return 1;
  std::fputs(FormatBandReport(shares).c_str(), stdout);
  return 0;
}
