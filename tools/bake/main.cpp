// zarv-bake: writes every file the show reads into a show directory.
// Its command line is one option table, as zarv's and zarv-capture's are.
#include <cstdio>
#include <string>
#include <vector>

#include "bake.h"
#include "foundation/options.h"

namespace {

struct BakeCommandLine {
  std::string showDir;
  std::string font;  // empty: ZARV_BAKE_FONT
  bool noMusic = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// A path is given once: a second one, by name or bare, is a mistake rather
// than a silent change of mind.
Option Path(const std::string& name, const std::string& value, std::string* target, const std::string& help) {
  Option o = Text(name, value, target, help);
  o.apply = [name, target](const std::string& v, std::string* error) {
    if (!target->empty()) {
      *error = name + " is given twice, as \"" + *target + "\" and \"" + v + "\"";
      return false;
    }
    *target = v;
    return true;
  };
  return o;
}

OptionTable Table(BakeCommandLine* c) {
  OptionTable table;
  table.program = "zarv-bake";
  table.about =
      "Writes every file the show reads into a show directory: the sprites, the bitmap font and its "
      "widths, the flora's meshes and animations and the circle ornaments' path under data/, and beside "
      "them the soundtrack murel.mp3 and the desktop icon icon.png. The same sources give the same bytes.";
  table.rows.push_back(
      Path("--show-dir", "DIR", &c->showDir,
           "the show directory to bake into, which must exist (needed); data/ is made in it"));
  Option font = Path("--font", "FILE", &c->font, "the TrueType font the bitmap font is rendered from");
  font.defaultText = ZARV_BAKE_FONT;
  table.rows.push_back(font);
  table.rows.push_back(Flag("--no-music", &c->noMusic,
                            "leave out murel.mp3, by far the longest to make: the rest takes well under "
                            "a second"));
  table.rows.push_back(Flag("--quiet", &c->quiet, "print nothing but errors, not what was written"));
  for (const Option& row : HelpAndVersion(&c->help, &c->version)) table.rows.push_back(row);
  table.bare = {"--show-dir", "--font"};
  table.after =
      "DIR and FILE given bare, as in zarv-bake [OPTION]... DIR [FILE], stand for --show-dir DIR and "
      "--font FILE.";
  return table;
}

}  // namespace

int main(int argc, char** argv) {
  BakeCommandLine c;
  OptionParser parser(Table(&c));
  const int answered = ReadCommandLine(&parser, argc, argv, ZARV_VERSION);
  if (answered >= 0) return answered;
  if (c.showDir.empty()) return UsageError(parser, "no show directory: give --show-dir DIR");
  BakeOptions options;
  options.fontPath = c.font.empty() ? ZARV_BAKE_FONT : c.font;
  options.music = !c.noMusic;
  options.verbose = !c.quiet;
  return BakeShow(c.showDir, options) ? 0 : 1;
}
