// The help's closing paragraphs say what no row can: the keys, the files and
// the exit statuses.
#include "demo/show_options.h"

#include "platform/platform.h"

namespace {

constexpr int MOST_FPS_LIMIT = 1000;
constexpr int LEAST_WINDOW_SIDE = 100;
constexpr int MOST_WINDOW_SIDE = 16384;

// A whole number of at most five digits, or -1.
int SmallNumber(const std::string& text) {
  const bool digits =
      !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
  return digits ? std::stoi(text) : -1;
}

}  // namespace

std::vector<Option> MusicOptionRows(std::string* music, std::string* credit) {
  return {Text("--music", "FILE", music,
               "play FILE instead of the built-in soundtrack: MP3, WAV, FLAC, Ogg Vorbis or Opus, at least "
               "30 s long; the show's timetable and the levels it spawns effects at are fitted to it"),
          Text("--credit", "TEXT", credit,
               "the closing credit; by default the track's artist and title tags, else its file name")};
}

OptionTable ShowOptionTable(ShowOptions* options) {
  OptionTable table;
  table.program = "zarv";
  table.about =
      "Plays the show full screen or in a window: circle ornaments, spinning sprites and lit 3D flora "
      "spawned from the "
      "music's spectrum, then a fade and a closing credit. Escape or closing the window ends it early.\n"
      "It runs in the working directory: it reads data/ and murel.mp3 there and writes zarv.log.";
  table.rows = MusicOptionRows(&options->music, &options->credit);
  Option listen =
      Text("--listen", "SOURCE", &options->listen,
           "show whatever an audio server source plays, live and without end, instead of a track: "
           "by default the monitor of the desktop's default output, following it when it changes; "
           "or SOURCE, such as a microphone (see --list-sources); nothing is played back");
  listen.valueOptional = true;
  table.rows.push_back(listen);
  table.rows.push_back(Flag("--list-sources", &options->listSources,
                            "list the audio server's sources that --listen takes, and exit"));
  table.rows.push_back(Choice("--resolution", "WHICH", &options->resolution, {"show", "screen"},
                              "draw with the show's own 800 x 600 pixels scaled up to the screen, or with "
                              "the screen's largest 4:3 area, sharp; by default screen on a graphics card "
                              "and show on a software renderer, which lacks the fill rate"));
  table.rows.push_back(Custom(
      "--fps-limit", "N|off",
      "draw at most N frames a second (1 to 1000), or with off as many as the machine can; by default as "
      "many as the display shows: swaps wait for its refresh, and where they do not (a virtual X server) "
      "the show sleeps out each refresh period, its monitor's rate or 60 Hz",
      [options](const std::string& value, std::string* error) {
        if (value == "off") {
          options->fpsLimit = platform::NO_FRAME_LIMIT;
          return true;
        }
        const int fps = SmallNumber(value);
        if (fps < 1 || fps > MOST_FPS_LIMIT) {
          *error = "--fps-limit needs off or a whole number from 1 to 1000, not \"" + value + "\"";
          return false;
        }
        options->fpsLimit = fps;
        return true;
      }));
  Option window = Custom(
      "--window", "WxH",
      "show it in a resizable window of WxH (100 to 16384 each; by default 1024x768) instead of full screen, "
      "centred on the monitor; F11 or Alt+Enter switches between the window and full screen",
      [options](const std::string& value, std::string* error) {
        if (value.empty()) {
          options->windowWidth = platform::DEFAULT_WINDOW_WIDTH;
          options->windowHeight = platform::DEFAULT_WINDOW_HEIGHT;
          return true;
        }
        if (!ReadSize(value, LEAST_WINDOW_SIDE, MOST_WINDOW_SIDE, &options->windowWidth,
                      &options->windowHeight)) {
          *error = "--window needs WIDTHxHEIGHT, each 100 to 16384, such as 1024x768, not \"" + value + "\"";
          return false;
        }
        return true;
      });
  window.valueOptional = true;
  table.rows.push_back(window);
  table.rows.push_back(Text("--monitor", "N|NAME", &options->monitor,
                            "the monitor to show it on, full screen or in the window, by its number or "
                            "name (see --list-monitors); by default the primary one"));
  table.rows.push_back(Flag("--list-monitors", &options->listMonitors,
                            "list the monitors --monitor takes, the primary one marked, and exit"));
  for (const Option& row : HelpAndVersion(&options->help, &options->version)) table.rows.push_back(row);
  table.after =
      "Keys:\n"
      "  Escape     ends the show\n"
      "  F1         shows or hides the spectrum overlay\n"
      "  F11        switches between full screen and a window (Alt+Enter too)\n"
      "\n"
      "Exit status:\n"
      "  0    the show ended\n"
      "  1    it could not start (no display, missing files: zarv.log says why)\n"
      "  2    a command line, a track, an audio source or a monitor it cannot take\n"
      "  130  interrupted (Ctrl-C)\n";
  return table;
}
