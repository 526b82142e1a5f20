// zarv-band-report: how a track drives the show's spawning bands, per 10 s
// at 60 frames a second, before and after the show's level fit. Its command
// line is one option table, as zarv's and zarv-capture's are.
#include <cstdio>
#include <string>
#include <vector>

#include "band_report.h"
#include "foundation/options.h"

namespace {

constexpr double STRETCH = 10.0;  // seconds a line of the report covers

struct ReportCommandLine {
  std::string track;
  bool help = false;
  bool version = false;
};

OptionTable Table(ReportCommandLine* c) {
  OptionTable table;
  table.program = "zarv-band-report";
  table.about =
      "Reads a track with the show's own spectrum at 60 frames a second and prints, per 10 s, the share of "
      "frames in which each spawning band, the circles' and the flora's, is above the level that spawns an "
      "effect, with each band's peak, before and after the level fit the show gives the track; then the fit.";
  Option music = Text("--music", "FILE", &c->track,
                      "the track: MP3, WAV, FLAC, Ogg Vorbis or Opus, as zarv --music takes it");
  // A second track, by name or bare, is a mistake rather than a change of mind.
  music.apply = [c](const std::string& v, std::string* error) {
    if (!c->track.empty()) {
      *error = "--music is given twice, as \"" + c->track + "\" and \"" + v + "\"";
      return false;
    }
    c->track = v;
    return true;
  };
  table.rows.push_back(music);
  for (const Option& row : HelpAndVersion(&c->help, &c->version)) table.rows.push_back(row);
  table.bare = {"--music"};
  table.after = "FILE given bare, as in zarv-band-report FILE, stands for --music FILE.";
  return table;
}

}  // namespace

int main(int argc, char** argv) {
  ReportCommandLine c;
  OptionParser parser(Table(&c));
  const int answered = ReadCommandLine(&parser, argc, argv, ZARV_VERSION);
  if (answered >= 0) return answered;
  if (c.track.empty()) return UsageError(parser, "no track: give --music FILE");
  BandReport report;
  std::string reason;
  if (!ReportBands(c.track, STRETCH, &report, &reason)) {
    std::fprintf(stderr, "zarv-band-report: %s: %s\n", c.track.c_str(), reason.c_str());
    return EXIT_USAGE;
  }
  std::fputs(FormatBandReport(report).c_str(), stdout);
  return 0;
}
