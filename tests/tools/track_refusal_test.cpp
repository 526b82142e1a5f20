// Tracks the show cannot take, as a user might bring them: each is refused
// by zarv and by zarv-capture with exit status 2 and one line naming the
// file and the reason, before any window opens or any file is written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "support/command.h"
#include "support/scratch_dir.h"
#include "support/show_files.h"
#include "support/track_file.h"

namespace {

const std::string SHOW = ZARV_SHOW_DIR;

Groove Plain(double seconds, int rate) {
  Groove g;
  g.seconds = seconds;
  g.rate = rate;
  return g;
}

// A 16-bit PCM WAV header as a file would claim it, then data as given.
std::string Wav(uint32_t rate, uint16_t channels, uint32_t claimedDataBytes, const std::string& data) {
  const auto le32 = [](uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
  };
  const auto le16 = [](uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; };
  const uint16_t align = static_cast<uint16_t>(channels * 2);
  return "RIFF" + le32(36 + claimedDataBytes) + "WAVEfmt " + le32(16) + le16(1) + le16(channels) +
         le32(rate) + le32(rate * align) + le16(align) + le16(16) + "data" + le32(claimedDataBytes) + data;
}

TEST(TrackRefused, EachBadTrackExitsTwoWithOneLineAndLeavesNothing) {
  ScratchDir dir;
  LinkShowFiles();
  chmod(dir.path.c_str(), 0755);
  mkdir("folder.flac", 0755);
  WriteFile("locked.flac", "fLaC");
  chmod("locked.flac", 0);
  std::string text;
  for (int i = 0; i < 100; ++i) text += "these are not the sounds you are looking for\n";
  WriteFile("text.mp3", text);
  WriteFile("empty.wav", "");
  WriteFile("header-only.wav", Wav(44100, 2, 0, ""));
  ASSERT_TRUE(WriteTrack("whole.flac", GrooveSamples(Plain(2.0, 44100)), 44100, 2, FLAC_16));
  WriteFile("cut.flac", ReadFile("whole.flac").substr(0, 60));
  ASSERT_TRUE(WriteTrack("short.wav", GrooveSamples(Plain(10.0, 44100)), 44100, 1, WAV_16));
  WriteFile("megahertz.wav", Wav(1000000, 2, 4000, std::string(4000, '\1')));
  WriteFile("crowd.wav", Wav(44100, 60000, 4000, std::string(4000, '\1')));
  WriteFile("bloated.wav", Wav(8000, 1, 0xFFFFFFF0u, std::string(16000, '\1')));
  // As root every file is readable: the locked one is tried as nobody, with
  // copies of the programs where nobody may run them, wherever the build is.
  const bool root = geteuid() == 0;
  std::string programs = SHOW;
  if (root) {
    char folder[] = "/tmp/zarv-programs-XXXXXX";
    programs = mkdtemp(folder);
    chmod(programs.c_str(), 0755);
    ASSERT_EQ(RunCommand("cp '" + SHOW + "/zarv' '" + SHOW + "/zarv-capture' '" + programs + "/'").status, 0);
  }
  // Nobody may not read the leak checker's suppressions, wherever they are.
  const std::string nobody = root ? "LSAN_OPTIONS= ASAN_OPTIONS=\"${ASAN_OPTIONS:-}:detect_leaks=0\" "
                                    "setpriv --reuid=65534 --regid=65534 --clear-groups "
                                  : "";
  const struct {
    const char* file;
    const char* reason;
  } cases[] = {
      {"nosuch.flac", "No such file or directory"},
      {"folder.flac", "Is a directory"},
      {"locked.flac", "Permission denied"},
      {"text.mp3", "not a sound file zarv can read (MP3, WAV, FLAC, Ogg Vorbis or Opus)"},
      {"empty.wav", "the file is empty"},
      {"header-only.wav", "no audio frame decodes in the file"},
      {"cut.flac", "cannot read it as sound (libsndfile: "},
      {"short.wav", "the track lasts 10.0 s, and the show needs at least 30 s"},
      {"megahertz.wav", "sample rate of 1000000 Hz is outside the 8 to 192 kHz zarv plays"},
      {"crowd.wav", "cannot read it as sound (libsndfile: Too many channels specified)"},
      {"bloated.wav", "the track lasts 1.0 s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = dir.path + "/" + c.file;
    const bool locked = std::string(c.file) == "locked.flac";
    const std::string run = (locked ? nobody + "'" + programs : "'" + SHOW) + "/";
    const CommandRun show = RunCommand(run + "zarv' --music '" + path + "'");
    const CommandRun capture = RunCommand(run + "zarv-capture' --show-dir '" + dir.path + "' --music '" +
                                          path + "' --output '" + dir.path + "/out.mp4'");
    for (const auto& [program, ran] :
         {std::make_pair("zarv", show), std::make_pair("zarv-capture", capture)}) {
      EXPECT_EQ(ran.status, 2) << program << ": " << ran.err;
      const std::string start = std::string(program) + ": " + path + ": ";
      EXPECT_EQ(ran.err.rfind(start, 0), 0u) << ran.err;
      EXPECT_NE(ran.err.find(c.reason, start.size()), std::string::npos) << ran.err;
      EXPECT_GT(ran.err.size(), start.size() + 1) << "a reason follows the name";
      EXPECT_EQ(std::count(ran.err.begin(), ran.err.end(), '\n'), 1) << ran.err;
      EXPECT_EQ(ran.out, "");
    }
  }
  // Nothing was written: no video, no partial file, no log.
  const CommandRun listing = RunCommand("ls -A | grep -v '^.command'");
  EXPECT_EQ(listing.out,
            "bloated.wav\ncrowd.wav\ncut.flac\ndata\nempty.wav\nfolder.flac\nheader-only.wav\nlocked.flac\n"
            "megahertz.wav\nmurel.mp3\nshort.wav\ntext.mp3\nwhole.flac\n");
  if (root) RunCommand("rm -rf '" + programs + "'");
}

}  // namespace
