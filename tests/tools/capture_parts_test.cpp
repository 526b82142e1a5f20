// A capture split into parts (--part, --jobs, GNU parallel) and joined
// (--join) against the same capture in one process: the same frames and
// lengths, and the join's refusals of parts that do not belong together.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/command.h"
#include "support/scratch_dir.h"
#include "support/show_files.h"
#include "support/track_file.h"

namespace {

const std::string CAPTURE = std::string(ZARV_SHOW_DIR) + "/zarv-capture";

class CaptureParts : public ::testing::Test {
 protected:
  void SetUp() override { LinkShowFiles(); }
  CommandRun Capture(const std::string& args) {
    return RunCommand("'" + CAPTURE + "' --show-dir '" + dir.path + "' " + args);
  }
  static CommandRun Join(const std::string& args) { return RunCommand("'" + CAPTURE + "' --join " + args); }
  ScratchDir dir;
};

// Each decoded frame's hash, a line each.
std::string FrameHashes(const std::string& input) {
  return RunCommand("ffmpeg -v error " + input +
                    " -map 0:v -pix_fmt rgb24 -f framemd5 - | grep -v '^#' | "
                    "sed 's/.*, //'")
      .out;
}

// "frames duration" of each stream, video first.
std::string Lengths(const std::string& video) {
  return RunCommand(
             "ffprobe -v error -count_frames -show_entries stream=nb_read_frames,duration -of csv=p=0 " +
             video)
      .out;
}

double Ssim(const std::string& video, const std::string& reference) {
  const CommandRun run = RunCommand("ffmpeg -v info -i " + video + " -i " + reference +
                                    " -lavfi ssim -f null - 2>&1 | grep -o 'All:[0-9.]*' | cut -c5-");
  return std::atof(run.out.c_str());
}

bool Exists(const std::string& path) {
  struct stat info = {};
  return stat(path.c_str(), &info) == 0;
}

}  // namespace

TEST_F(CaptureParts, ThreePartsJoinedAreTheCaptureInOneProcess) {
  const std::string range = "--from 20 --to 22 ";
  ASSERT_EQ(Capture(range + "--crf 0 --output one-lossless.mp4").status, 0);
  // The parts append to the show folder's log, each line naming its part.
  std::remove("zarv.log");
  ASSERT_EQ(Capture(range + "--crf 0 --jobs 3 --output joined-lossless.mp4").status, 0);
  for (const std::string& line : ReadLines("zarv.log")) EXPECT_EQ(line.rfind("part ", 0), 0u) << line;
  const std::string log = ReadFile("zarv.log");
  for (const std::string part : {"1/3", "2/3", "3/3"})
    EXPECT_NE(log.find("part " + part + ": Renderer: "), std::string::npos) << part << "\n" << log;
  EXPECT_EQ(Lengths("joined-lossless.mp4"), Lengths("one-lossless.mp4"));
  EXPECT_EQ(Lengths("one-lossless.mp4"), "2.000000,120\n2.000000,87\n");
  const std::string lossless = FrameHashes("-i one-lossless.mp4");
  EXPECT_EQ(std::count(lossless.begin(), lossless.end(), '\n'), 120);
  EXPECT_EQ(FrameHashes("-i joined-lossless.mp4"), lossless);

  // At the default settings each part's encoder starts afresh.
  ASSERT_EQ(Capture(range + "--output one.mp4").status, 0);
  EXPECT_EQ(ReadFile("zarv.log").find("part "), std::string::npos) << "one process keeps a log of its own";
  ASSERT_EQ(Capture(range + "--jobs 3 --output joined.mp4").status, 0);
  const double one = Ssim("one.mp4", "one-lossless.mp4"), joined = Ssim("joined.mp4", "one-lossless.mp4");
  EXPECT_GE(one, 0.985);
  EXPECT_GE(joined, 0.985);
  EXPECT_NEAR(joined, one, 0.002);

  // PNG frames keep their numbers: the parts fill one folder as one run does.
  ASSERT_EQ(Capture("--fps 10 " + range + "--output frames-one").status, 0);
  for (const char* part : {"1/3", "2/3", "3/3"})
    ASSERT_EQ(Capture("--fps 10 " + range + "--part " + part + " --output frames-parts").status, 0);
  for (int n = 200; n < 220; ++n) {
    const std::string name = "/frame-000" + std::to_string(n) + ".png";
    EXPECT_EQ(ReadFile("frames-parts" + name), ReadFile("frames-one" + name)) << name;
  }
  EXPECT_TRUE(Exists("frames-parts/part-2-of-3.zarv-part"));
  EXPECT_FALSE(Exists("frames-parts/frame-000220.png"));
}

// The README's recipe: GNU parallel runs the four parts of a user's track,
// a job each, then the join, as one process would have drawn it.
TEST_F(CaptureParts, GnuParallelRunsTheFourPartsOfATrack) {
  Groove groove;
  groove.seconds = 30.0;
  ASSERT_TRUE(WriteTrack("track.flac", GrooveSamples(groove), groove.rate, 2, FLAC_16));
  // The recipe's shape, padded, at a size that is quick to draw.
  const std::string shape = "--music track.flac --size 640x360 --pad --fps 10 --from 10 --to 12 ";
  const auto inParts = [&](const std::string& settings, const std::string& name) {
    const CommandRun parallel =
        RunCommand("parallel --will-cite '" + CAPTURE + "' --show-dir '" + dir.path + "' " + shape +
                   settings + " --part {}/4 --output " + name + " ::: 1 2 3 4");
    EXPECT_EQ(parallel.status, 0) << parallel.err;
  };
  for (const std::string settings : {"--crf 0", ""}) {
    const std::string suffix = settings.empty() ? "" : "-lossless";
    ASSERT_EQ(Capture(shape + settings + " --output one" + suffix + ".mp4").status, 0);
    inParts(settings, "part{}" + suffix + ".mp4");
    const CommandRun join = Join("track" + suffix + ".mp4 part1" + suffix + ".mp4 part2" + suffix +
                                 ".mp4 part3" + suffix + ".mp4 part4" + suffix + ".mp4");
    ASSERT_EQ(join.status, 0) << join.err;
    EXPECT_EQ(Lengths("track" + suffix + ".mp4"), Lengths("one" + suffix + ".mp4"));
  }
  EXPECT_EQ(FrameHashes("-i track-lossless.mp4"), FrameHashes("-i one-lossless.mp4"));
  const double one = Ssim("one.mp4", "one-lossless.mp4"), joined = Ssim("track.mp4", "one-lossless.mp4");
  EXPECT_GE(joined, 0.985);
  EXPECT_NEAR(joined, one, 0.002);
  ASSERT_EQ(Capture(shape + "--output frames-one").status, 0);
  inParts("", "frames-parts");
  for (int n = 100; n < 120; ++n) {
    const std::string name = "/frame-000" + std::to_string(n) + ".png";
    EXPECT_EQ(ReadFile("frames-parts" + name), ReadFile("frames-one" + name)) << name;
  }
}

// Parts that do not make one whole are refused, naming the one at fault,
// and nothing is written.
TEST_F(CaptureParts, TheJoinRefusesPartsThatDoNotBelongTogether) {
  Groove groove;
  groove.seconds = 30.0;
  ASSERT_TRUE(WriteTrack("track.wav", GrooveSamples(groove), groove.rate, 2, WAV_16));
  // Files below the data folder's own count as much as those in it.
  ASSERT_EQ(mkdir("data/extra", 0755), 0);
  WriteFile("data/extra/note", "one");
  const std::string range = "--fps 10 --from 20 --to 21 ";
  for (const char* part : {"1", "2"})
    ASSERT_EQ(Capture(range + "--part " + std::string(part) + "/2 --output p" + part + ".mp4").status, 0);
  ASSERT_EQ(Capture(range + "--music track.wav --part 2/2 --output track2.mp4").status, 0);
  ASSERT_EQ(Capture("--fps 12 --from 20 --to 21 --part 2/2 --output fps2.mp4").status, 0);
  // The same track but for one sample well past its first megabyte.
  std::string track = ReadFile("track.wav");
  ASSERT_GT(track.size(), 2u << 20);
  track[(1 << 20) + 4096] ^= 0x7f;
  WriteFile("track.wav", track);
  ASSERT_EQ(Capture(range + "--music track.wav --part 1/2 --output late1.mp4").status, 0);
  ASSERT_EQ(
      RunCommand("mkdir other && cp -a data murel.mp3 other/ && printf two >other/data/extra/note").status,
      0);
  ASSERT_EQ(RunCommand("'" + CAPTURE + "' --show-dir other " + range + "--part 2/2 --output sub2.mp4").status,
            0);
  ASSERT_EQ(RunCommand("cp p2.mp4 cut2.mp4 && cp p2.mp4.zarv-part cut2.mp4.zarv-part && "
                       "truncate -s -100 cut2.mp4")
                .status,
            0);
  const struct {
    std::string parts;
    std::string message;
  } cases[] = {
      {"out.mp4 p1.mp4", "part 2 of 2 is missing"},
      {"out.mp4 p1.mp4 track2.mp4", "track2.mp4 is a part of another capture"},
      {"out.mp4 p1.mp4 fps2.mp4", "fps2.mp4 is a part of another capture"},
      {"out.mp4 late1.mp4 track2.mp4", "track2.mp4 is a part of another capture"},
      {"out.mp4 p1.mp4 sub2.mp4", "sub2.mp4 is a part of another capture"},
      {"out.mp4 p1.mp4 p1.mp4", "p1.mp4 is part 1 again"},
      {"out.mp4 p1.mp4 cut2.mp4", "cut2.mp4 is truncated or was changed"},
      {"out.mp4 p1.mp4 one.png", "one.png: it has no record"},
      {"out.mkv p1.mp4 p2.mp4", "the output must end in .mp4"},
  };
  for (const auto& c : cases) {
    const CommandRun run = Join(c.parts);
    EXPECT_EQ(run.status, 2) << c.parts;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.parts << "\ngave: " << run.err;
    EXPECT_FALSE(Exists("out.mp4") || Exists("out.mkv")) << c.parts;
  }
  ASSERT_EQ(Join("out.mp4 p2.mp4 p1.mp4").status, 0);
  EXPECT_EQ(Lengths("out.mp4"), "1.000000,10\n1.000000,44\n");
}

// A part hashes the show's data before it draws: an entry that cannot be
// read is refused in one line naming it, and nothing is written, not even
// the log.
TEST_F(CaptureParts, APartRefusesShowDataItCannotRead) {
  ASSERT_EQ(mkdir("data/extra", 0755), 0);
  const std::string entry = dir.path + "/data/extra/entry";
  const struct {
    std::string make;
    std::string message;
  } cases[] = {
      {"ln -s missing data/extra/entry", "cannot read " + entry + ": No such file or directory"},
      {"mkfifo data/extra/entry", entry + " is neither a file nor a folder"},
      {"ln -s .. data/extra/entry", entry + " leads back to a folder it is in"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(RunCommand(c.make).status, 0);
    const CommandRun run = Capture("--fps 10 --from 20 --to 21 --part 1/2 --output part.mp4");
    EXPECT_EQ(run.status, 2) << c.make;
    EXPECT_EQ(run.err, "zarv-capture: " + c.message + "\n") << c.make;
    EXPECT_EQ(RunCommand("ls -A | grep -vx -e data -e murel.mp3 -e .command.out -e .command.err").out, "")
        << c.make;
    std::remove("data/extra/entry");
  }
}

// Interrupted, --jobs stops its parts and leaves nothing beside the output.
TEST_F(CaptureParts, AnInterruptedJobsRunLeavesNothing) {
  ChildProcess run({CAPTURE, "--show-dir", dir.path, "--from", "20", "--to", "80", "--jobs", "2", "--output",
                    dir.path + "/video.mp4"},
                   dir.path, "");
  for (int i = 0; i < 100 && RunCommand("ls -A | grep -c zarv-capture-jobs").out != "1\n"; ++i)
    usleep(100000);
  usleep(500000);
  kill(run.pid, SIGTERM);
  EXPECT_EQ(run.Wait(30), 130) << ReadFile("stderr.txt");
  EXPECT_EQ(RunCommand("ls -A | grep -E 'video|zarv-capture-jobs|part'").out, "");
}
