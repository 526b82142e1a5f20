// zarv-capture run as a program on the baked show: repeatable frames, what
// the frames at 3 s and 150 s show, the schedule summary against a count
// taken here, bad options and an ffmpeg that is missing or fails. Low frame
// rates keep the stretch run before each frame short.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "assets/texture.h"
#include "capture_options.h"
#include "demo/demo.h"
#include "demo/scheduler.h"
#include "foundation/paths.h"
#include "fx/circle1frag.h"
#include "fx/circle2frag.h"
#include "fx/demofx.h"
#include "fx/flora0frag.h"
#include "music/music.h"
#include "platform/offscreen_window.h"
#include "platform/platform.h"
#include "support/child_process.h"
#include "support/command.h"
#include "support/scratch_dir.h"
#include "support/show_files.h"

namespace {

const std::string CAPTURE = std::string(ZARV_SHOW_DIR) + "/zarv-capture";

// Runs zarv-capture with args (shell words) from the working directory;
// env is put before the command (e.g. "PATH=/x").
CommandRun Capture(const std::string& args, const std::string& env = "") {
  return RunCommand(env + (env.empty() ? "" : " ") + "'" + CAPTURE + "' " + args);
}

bool Exists(const std::string& path) {
  struct stat info = {};
  return stat(path.c_str(), &info) == 0;
}

// Names in the folder, hidden ones included.
std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  std::string cmd = "ls -A '" + folder + "' >listing.txt 2>/dev/null";
  if (std::system(cmd.c_str()) == 0) names = ReadLines("listing.txt");
  return names;
}

struct Image {
  int width = 0;
  int height = 0;
  int bpp = 0;
  std::unique_ptr<unsigned char[]> rows;  // top row first

  // Channel c of the pixel x from the left, y from the bottom.
  int At(int x, int y, int c) const {
    return rows[(static_cast<size_t>(height - 1 - y) * width + x) * bpp + c];
  }
};

Image Load(const std::string& path) {
  Image image;
  image.rows.reset(Texture::load_png(path.c_str(), image.width, image.height, image.bpp));
  return image;
}

class CaptureTool : public ::testing::Test {
 protected:
  void SetUp() override { LinkShowFiles(); }
  // The show's files are links in the scratch folder, so its zarv.log lands there too.
  std::string Show() const { return "--show-dir '" + dir.path + "' "; }

  ScratchDir dir;
};

// The first capture draws 25 frames the second only runs: the frames both
// write must not tell them apart.
TEST_F(CaptureTool, TwoCapturesOfTheSameRangeGiveIdenticalFrames) {
  CommandRun first = Capture(Show() + "--fps 5 --from 70 --to 76 --output a");
  ASSERT_EQ(first.status, 0) << first.err;
  CommandRun second = Capture(Show() + "--fps 5 --from 75 --to 76 --output b");
  ASSERT_EQ(second.status, 0) << second.err;

  const std::vector<std::string> names = Listing("b");
  EXPECT_EQ(names, (std::vector<std::string>{"frame-000375.png", "frame-000376.png", "frame-000377.png",
                                             "frame-000378.png", "frame-000379.png"}));
  EXPECT_EQ(Listing("a").size(), 30u);
  for (const std::string& name : names) EXPECT_EQ(ReadFile("a/" + name), ReadFile("b/" + name)) << name;

  // Mid-show, effects are on screen.
  Image frame = Load("a/frame-000375.png");
  ASSERT_NE(frame.rows, nullptr);
  EXPECT_EQ(frame.width, 800);
  EXPECT_EQ(frame.height, 600);
  EXPECT_EQ(frame.bpp, 3);
  long lit = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) lit += frame.At(x, y, 0) + frame.At(x, y, 1) + frame.At(x, y, 2) > 0;
  EXPECT_GT(lit, 1000);

  // stderr is a file here: no progress bar.
  EXPECT_EQ(first.err.find('\r'), std::string::npos) << first.err;
  EXPECT_NE(second.out.find("Wrote 5 frames (show time 75.000 s to 75.800 s)"), std::string::npos)
      << second.out;
}

TEST_F(CaptureTool, FrameAtThreeSecondsIsBlackAndAt150OnlyTheCreditShows) {
  CommandRun run = Capture(Show() + "--fps 5 --still 3 --still 150 --output stills");
  ASSERT_EQ(run.status, 0) << run.err;

  Image early = Load("stills/still-003.000.png");
  ASSERT_NE(early.rows, nullptr);
  long lit = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x)
      for (int c = 0; c < 3; ++c) lit += early.At(x, y, c) != 0;
  EXPECT_EQ(lit, 0);

  // The credit's cells are 24 pixels high from 24 pixels above the bottom,
  // starting 364 pixels from the left.
  Image end = Load("stills/still-150.000.png");
  ASSERT_NE(end.rows, nullptr);
  long outside = 0;
  long bright = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const bool inCredit = x >= 360 && x < 600 && y >= 20 && y < 52;
      const int sum = end.At(x, y, 0) + end.At(x, y, 1) + end.At(x, y, 2);
      if (!inCredit) outside += sum != 0;
      if (inCredit) bright += end.At(x, y, 0) > 128 && end.At(x, y, 1) > 128 && end.At(x, y, 2) > 128;
    }
  }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(bright, 100);
}

// Follows effects from frame to frame by what they are, not only where they
// are: the scheduler retires before it creates, so a new effect may take the
// address of one just deleted. An effect lives on when its address, type and
// drawn parameters are the same and its clock has moved on.
struct Seen {
  const DemoFX* fx = nullptr;
  int type = 0;
  bool alive = false;
  float time = 0.0f;
  float tag = 0.0f;  // a parameter fixed at creation
};

std::vector<Seen> Look() {
  std::vector<Seen> seen;
  for (const DemoFX* fx : frags) {
    Seen s{fx, fx->type, fx->alive, fx->time, 0.0f};
    if (fx->type == 1) s.tag = static_cast<const Circle1Frag*>(fx)->radius1;
    if (fx->type == 2) s.tag = static_cast<const Circle2Frag*>(fx)->scale;
    if (fx->type == 3) s.tag = static_cast<float>(static_cast<const Flora0Frag*>(fx)->slot);
    seen.push_back(s);
  }
  return seen;
}

bool LivesOn(const Seen& before, const Seen& after) {
  return before.fx == after.fx && before.alive && before.type == after.type && before.tag == after.tag &&
         after.time > before.time;
}

struct Counted {
  std::map<int, std::vector<long>> created;  // by 10 s bucket: circle1, circle2, flora
  std::map<int, std::vector<long>> retired;
  size_t peak = 0;
};

TEST_F(CaptureTool, ScheduleSummaryMatchesACountTakenHere) {
  // 68 s to 82 s at 5 fps: the mid rule's scenes start at 70 s.
  CommandRun run = Capture(Show() + "--fps 5 --from 68 --to 82 --output frames");
  ASSERT_EQ(run.status, 0) << run.err;

  platform::OffscreenWindow window;
  platform::UseBackend(&window);
  MusicSetOffline(true);
  window.SetTime(0.0);
  init();
  scheduleClock().catchUp = ScheduleClock::EVERY_TICK;  // as the capture runs every tick
  Counted count;
  for (long n = 0; n < 410; ++n) {
    const double t = n / 5.0;
    const std::vector<Seen> before = Look();
    window.SetTime(t);
    display(0.2f);
    const std::vector<Seen> after = Look();
    const int bucket = static_cast<int>(t / 10.0);
    count.created[bucket].resize(3);
    count.retired[bucket].resize(3);
    for (const Seen& a : after) {
      bool old = false;
      for (const Seen& b : before) old = old || LivesOn(b, a);
      if (!old) ++count.created[bucket][a.type - 1];
    }
    for (const Seen& b : before) {
      bool lives = false;
      for (const Seen& a : after) lives = lives || LivesOn(b, a);
      if (!lives) ++count.retired[bucket][b.type - 1];
    }
    count.peak = std::max(count.peak, frags.size());
  }
  const ScheduleCounts rules = scheduleCounts();
  done();
  for (DemoFX* fx : frags) delete fx;
  frags.clear();
  platform::UseBackend(nullptr);

  // The printed table read back as numbers: each 10 s row and the total
  // must hold the counts taken here, the rule line the scheduler's own counts.
  std::map<std::string, std::vector<long>> printed;  // by the line's first word
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    std::vector<long> numbers;
    for (std::string word; words >> word;) {
      if (std::isdigit(static_cast<unsigned char>(word[0]))) numbers.push_back(std::atol(word.c_str()));
    }
    printed[key] = numbers;
  }
  std::vector<long> created(3), retired(3);
  for (int k = 0; k <= 8; ++k) {
    const std::string key = std::to_string(k * 10) + "-";
    std::vector<long> row = {k * 10 + 10};
    for (long c : count.created[k]) row.push_back(c);
    for (long r : count.retired[k]) row.push_back(r);
    EXPECT_EQ(printed[key], row) << key << " in\n" << run.out;
    for (int i = 0; i < 3; ++i) {
      created[i] += count.created[k][i];
      retired[i] += count.retired[k][i];
    }
  }
  EXPECT_EQ(printed["total"],
            (std::vector<long>{created[0], created[1], created[2], retired[0], retired[1], retired[2]}));
  EXPECT_GT(created[2], 0) << "no scene in the range: the count covers too little";
  ASSERT_FALSE(printed["Peak"].empty()) << run.out;
  EXPECT_EQ(printed["Peak"][0], static_cast<long>(count.peak));
  EXPECT_EQ(printed["Spawn"], (std::vector<long>{rules.bass, rules.mid, rules.midForced, rules.chanceCircle1,
                                                 rules.chanceCircle2}));
  EXPECT_EQ(rules.bass + rules.chanceCircle1, created[0]);
  EXPECT_EQ(rules.chanceCircle2, created[1]);
  EXPECT_EQ(rules.mid + rules.midForced, created[2]);
}

TEST_F(CaptureTool, BadOptionsExitWithStatusTwoAndSayWhy) {
  WriteFile("plain-file", "x");
  mkdir("folder.mp4", 0755);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"--frobnicate", "unknown option --frobnicate"},
      {"stray", "unexpected argument \"stray\""},
      {"--fps", "--fps needs a value"},
      {"--fps 0", "--fps needs a whole number from 1 to 240, not \"0\""},
      {"--fps 24.5", "not \"24.5\""},
      {"--fps 241", "not \"241\""},
      {"--from -1", "--from needs a number, 0 or more, not \"-1\""},
      {"--from nan", "not \"nan\""},
      {"--to 1e999", "not \"1e999\""},
      {"--from 151", "--from must be before the show's end at 151 s"},
      {"--from 10 --to 10", "--to must be after --from"},
      {"--fps 1 --from 150.5 --to 151 --output f", "no frame lies in the range asked for"},
      {"--output zarv.avi", "zarv-capture writes\n  NAME.mp4   H.264"},
      {"--alpha --output x.mp4", "H.264 (.mp4) carries no alpha; write a .mov (ProRes 4444) or a .webm"},
      {"--crf 20 --output x.mov", "ProRes (.mov) and FFV1 (.mkv) take neither"},
      {"--quality best --output x.mkv", "take neither"},
      {"--preset slow --output x.webm", "--preset is x264's: it shapes an .mp4 video only"},
      {"--alpha --size 1440x1080 --scale-only --output x.webm", "does not keep the show's alpha"},
      {"--alpha --bench", "leave out --alpha"},
      {"--encoder x264 --output x.webm", "--encoder chooses the H.264 encoder of an .mp4 video"},
      {"--encoder vaapi --preset slow", "--preset is x264's: leave it out with --encoder vaapi"},
      {"--encoder nvenc --crf 0", "--crf 0 (lossless) is x264's: leave out --encoder nvenc"},
      {"--output ''", "--output needs a value, not \"\""},
      {"--still 3 --from 2", "--still renders single frames"},
      {"--still 3 --still 4 --output one.png", "names one image, but 2 stills"},
      {"--still 3 --output still.mp4", "stills are PNG images"},
      {"--still 152", "after the show's end"},
      {"--bench --output x.mp4", "--bench writes no files"},
      {"--help=yes", "--help takes no value"},
      {"--preset quick", "--preset needs ultrafast, superfast,"},
      {"--preset ''", "not \"\""},
      {"--crf 52", "--crf needs a whole number from 0 to 51, not \"52\""},
      {"--crf -1", "not \"-1\""},
      {"--crf 1.5", "not \"1.5\""},
      {"--quality great", "--quality needs draft, normal or best"},
      {"--msaa 3", "--msaa needs 2, 4 or 8, not \"3\""},
      {"--msaa 16", "not \"16\""},
      {"--size 802x601", "--size needs WIDTHxHEIGHT in even pixels from 2 to 4096, not \"802x601\""},
      {"--size 0x0", "not \"0x0\""},
      {"--size 4100x3074 --pad", "not \"4100x3074\""},
      {"--size 1440x", "not \"1440x\""},
      {"--size +800x600", "not \"+800x600\""},
      {"--size 1920x1080", "--size 1920x1080 is not 4:3: add --pad"},
      {"--pad", "--pad needs --size"},
      {"--size 1440x1080 --scale-only --output frames", "shape a video: --output must name one"},
      {"--scale-only", "--scale-only needs --size"},
      {"--output plain-file/zarv.mp4", "cannot write " + dir.path + "/plain-file/zarv.mp4: Not a directory"},
      {"--output plain-file/frames", "cannot make " + dir.path + "/plain-file/frames: Not a directory"},
      {"--output plain-file/x/one.png --still 3", "Not a directory"},
      {"--output folder.mp4", "cannot write " + dir.path + "/folder.mp4: it is a folder"},
  };
  for (const auto& [args, message] : cases) {
    CommandRun run = Capture(Show() + args);
    EXPECT_EQ(run.status, 2) << args << "\n" << run.err;
    EXPECT_EQ(run.err.rfind("zarv-capture: ", 0), 0u) << args;
    EXPECT_NE(run.err.find(message), std::string::npos) << args << "\ngave: " << run.err;
    EXPECT_EQ(run.out, "") << args;
  }
  EXPECT_EQ(Listing("."),
            (std::vector<std::string>{"data", "folder.mp4", "listing.txt", "murel.mp3", "plain-file"}));

  mkdir("empty", 0755);
  CommandRun noShow = Capture("--show-dir empty --output x.mp4");
  EXPECT_EQ(noShow.status, 2);
  EXPECT_NE(noShow.err.find("has no data"), std::string::npos) << noShow.err;

  CommandRun help = Capture("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: zarv-capture"), std::string::npos);
  EXPECT_NE(help.out.find("--from SECONDS"), std::string::npos);
}

// An end past the show's, however far, is the show's end.
TEST_F(CaptureTool, AnEndFarPastTheShowEndsWithTheShow) {
  for (const char* to : {"160", "1e300"}) {
    CommandRun run = Capture(Show() + "--fps 10 --from 150.5 --to " + to + " --output f" + to);
    ASSERT_EQ(run.status, 0) << to << ": " << run.err;
    EXPECT_EQ(Listing(std::string("f") + to).size(), 7u) << "150.5 s to 151.1 s, the first past the end";
  }
}

TEST_F(CaptureTool, MissingFfmpegFailsCleanly) {
  CommandRun run = Capture(Show() + "--to 1 --output clip.mp4", "PATH=/nonexistent");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot run ffmpeg: there is no ffmpeg on PATH"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(Exists("clip.mp4"));
  for (const std::string& name : Listing(".")) EXPECT_EQ(name.find("part"), std::string::npos) << name;
}

TEST_F(CaptureTool, ShortBenchReportsEveryCaseOverItsRange) {
  // Its temporary videos and frames go to TMPDIR, here, and must be gone at the end.
  CommandRun run = Capture(Show() + "--bench --fps 10 --from 1 --to 2", "TMPDIR=" + dir.path);
  ASSERT_EQ(run.status, 0) << run.err;
  // One row per case, each over the range's 10 frames.
  for (const char* name : {"floor", "timetable", "stress", "capture"}) {
    bool found = false;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
      std::istringstream words(line);
      std::string first, frames;
      words >> first >> frames;
      found = found || (first == name && frames == "10");
    }
    EXPECT_TRUE(found) << name << " in\n" << run.out;
  }
  EXPECT_NE(run.out.find("ffmpeg alone"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("ratio"), std::string::npos) << run.out;
  EXPECT_EQ(Listing("."), (std::vector<std::string>{"data", "listing.txt", "murel.mp3", "zarv.log"}));
}

// From 146.5 s the veil, the credit and ornaments are drawn; the stress
// frames from 80 s hold mesh scenes. Two frames a second keep the lead-in short.
TEST_F(CaptureTool, BenchCountsWhatEachPartDrawsWithoutChangingTheFrames) {
  CommandRun run = Capture(Show() + "--bench --fps 2 --from 146.5 --to 147.5", "TMPDIR=" + dir.path);
  ASSERT_EQ(run.status, 0) << run.err;
  // The fragment table's rows, by drawer: fragments a pixel, draws and
  // vertices for the timetable, stress and capture cases in turn.
  std::map<std::string, std::vector<double>> rows;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    const size_t bar = line.find(" | ");
    if (bar == std::string::npos) continue;
    std::istringstream numbers(line.substr(bar));
    std::vector<double> values;
    for (std::string word; numbers >> word;) {
      if (word != "|") values.push_back(std::atof(word.c_str()));
    }
    rows[line.substr(0, line.find_last_not_of(' ', bar) + 1)] = values;
  }
  struct Expected {
    const char* drawer;
    bool atTheEnd;  // fragments in the timetable's frames
    bool inStress;
  };
  const Expected drawers[] = {
      {"circle lines", true, true},  {"circle sprites", true, true}, {"mesh scenes", false, true},
      {"fog coverage", false, true}, {"fade veil", true, false},     {"credit", true, false},
  };
  for (const Expected& e : drawers) {
    const std::vector<double>& row = rows[e.drawer];
    ASSERT_EQ(row.size(), 9u) << e.drawer << " in\n" << run.out;
    EXPECT_EQ(row[0] > 0.0, e.atTheEnd) << e.drawer;
    EXPECT_EQ(row[3] > 0.0, e.inStress) << e.drawer;
    // The range given is the capture's too.
    EXPECT_EQ(std::vector<double>(row.begin(), row.begin() + 3),
              std::vector<double>(row.begin() + 6, row.end()))
        << e.drawer;
  }
  // The veil is one rectangle over the whole frame.
  EXPECT_EQ(rows["fade veil"][0], 1.0);
  EXPECT_EQ(rows["fade veil"][1], 1.0);
  EXPECT_NE(run.out.find("2 of 2 compared stress frames identical"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("ornament (c2.png)"), std::string::npos) << run.out;
}

// The video's temporary file beside it, once ffmpeg has written into it.
bool PartialVideoStarted() {
  for (const std::string& name : Listing(".")) {
    struct stat info = {};
    if (name.find(".part-") != std::string::npos && stat(name.c_str(), &info) == 0 && info.st_size > 0) {
      return true;
    }
  }
  return false;
}

TEST_F(CaptureTool, InterruptedVideoExitsWith130AndLeavesNothing) {
  const pid_t pid = StartChild({CAPTURE, "--show-dir", dir.path, "--fps", "10", "--output", "clip.mp4"},
                               [] { std::freopen("capture.err", "w", stderr); });
  ASSERT_GT(pid, 0);
  // Interrupted mid-run: after ffmpeg has started writing (a minute is far
  // more than it needs, and only guards against a hang).
  for (int i = 0; i < 600 && !PartialVideoStarted(); ++i) usleep(100000);
  EXPECT_TRUE(PartialVideoStarted());
  kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_FALSE(Exists("clip.mp4"));
  for (const std::string& name : Listing(".")) EXPECT_EQ(name.find("part"), std::string::npos) << name;
}

TEST(CaptureToolStartUp, ShowEndingAtStartUpLeavesNoVideoBehind) {
  ScratchDir dir;
  LinkShowFiles({"data/3.mesh"});
  CommandRun run = Capture("--show-dir '" + dir.path + "' --output clip.mp4");
  EXPECT_EQ(run.status, 1) << run.err;
  const std::vector<std::string> log = ReadLines("zarv.log");
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find("mesh"), std::string::npos) << log.back();
  EXPECT_FALSE(Exists("clip.mp4"));
  for (const std::string& name : Listing(".")) EXPECT_EQ(name.find("part"), std::string::npos) << name;
}

TEST_F(CaptureTool, FailingFfmpegIsReportedWithItsOwnMessageAndLeavesNothing) {
  mkdir("bin", 0755);
  // One that refuses at once, one that takes every frame and fails at the end.
  const std::vector<std::pair<std::string, std::string>> fakes = {
      {"#!/bin/sh\necho \"Unknown encoder 'libx264'\" >&2\nexit 1\n", "Unknown encoder 'libx264'"},
      {"#!/bin/sh\nfor last; do :; done\ncat >\"$last\"\necho \"No space left on device\" >&2\nexit 1\n",
       "No space left on device"},
  };
  for (const auto& [script, message] : fakes) {
    WriteFile("bin/ffmpeg", script);
    chmod("bin/ffmpeg", 0755);
    CommandRun run =
        Capture(Show() + "--fps 10 --to 1 --output clip.mp4", "PATH=" + dir.path + "/bin:/usr/bin:/bin");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("ffmpeg failed with exit status 1:\n" + message), std::string::npos) << run.err;
    EXPECT_FALSE(Exists("clip.mp4"));
    for (const std::string& name : Listing(".")) EXPECT_EQ(name.find("part"), std::string::npos) << name;
  }
  // Started with SIGCHLD ignored, the failure at the end (the fake left in
  // place) must still be seen, not taken for a good video.
  CommandRun ignored = Capture(Show() + "--fps 10 --to 1 --output clip.mp4",
                               "env --ignore-signal=CHLD PATH=" + dir.path + "/bin:/usr/bin:/bin");
  EXPECT_EQ(ignored.status, 1) << ignored.err;
  EXPECT_NE(ignored.err.find("ffmpeg failed with exit status 1:\nNo space left on device"), std::string::npos)
      << ignored.err;
  EXPECT_FALSE(Exists("clip.mp4"));
}

TEST_F(CaptureTool, ShortVideosHaveThePictureTheSoundtrackAndTheSizeAskedFor) {
  if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
  const struct {
    std::string args;
    std::string size;
  } cases[] = {
      {"--from 75 --to 76", "width=800\nheight=600\n"},
      {"--to 1 --size 1440x1080", "width=1440\nheight=1080\n"},
      {"--to 1 --size 1920x1080 --pad --quality draft", "width=1920\nheight=1080\n"},
      {"--to 1 --size 1080x1920 --pad --quality draft", "width=1080\nheight=1920\n"},
      {"--to 1 --size 1440x1080 --scale-only --quality draft", "width=1440\nheight=1080\n"},
  };
  for (const auto& c : cases) {
    CommandRun run = Capture(Show() + "--fps 10 --output clip.mp4 " + c.args);
    ASSERT_EQ(run.status, 0) << c.args << "\n" << run.err;
    ASSERT_EQ(std::system("ffprobe -v error -count_frames -show_entries "
                          "stream=codec_name,width,height,nb_read_frames -of default=nw=1 clip.mp4 "
                          ">probe.txt"),
              0);
    const std::string probe = ReadFile("probe.txt");
    EXPECT_NE(probe.find("codec_name=h264\n" + c.size), std::string::npos) << c.args << "\n" << probe;
    EXPECT_NE(probe.find("nb_read_frames=10\n"), std::string::npos) << c.args << "\n" << probe;
    EXPECT_NE(probe.find("codec_name=aac"), std::string::npos) << c.args << "\n" << probe;
    for (const std::string& name : Listing(".")) EXPECT_EQ(name.find("part"), std::string::npos) << name;
  }
}

TEST(CaptureOptionsTest, ModeFollowsTheOutputAndRangesAreRead) {
  std::string error;
  {
    CaptureOptions o;
    const char* argv[] = {"zarv-capture"};
    ASSERT_TRUE(ParseCaptureOptions(1, argv, &o, &error)) << error;
    EXPECT_EQ(o.mode, CaptureOptions::Mode::VIDEO);
    EXPECT_EQ(o.output, "zarv.mp4");
    EXPECT_EQ(o.fps, 60);
    EXPECT_LT(o.to, 0.0);
  }
  {
    CaptureOptions o;
    const char* argv[] = {"zarv-capture", "--output=frames.d/", "--from=1.5", "--to", "2", "--fps=240"};
    ASSERT_TRUE(ParseCaptureOptions(6, argv, &o, &error)) << error;
    EXPECT_EQ(o.mode, CaptureOptions::Mode::FRAMES);
    EXPECT_EQ(o.from, 1.5);
    EXPECT_EQ(o.to, 2.0);
    EXPECT_EQ(o.fps, 240);
  }
  {
    CaptureOptions o;
    const char* argv[] = {"zarv-capture", "--still", "0", "--still", "151"};
    ASSERT_TRUE(ParseCaptureOptions(5, argv, &o, &error)) << error;
    EXPECT_EQ(o.mode, CaptureOptions::Mode::STILLS);
    EXPECT_EQ(o.output, ".");
    EXPECT_EQ(o.stills, (std::vector<double>{0.0, 151.0}));
  }
  {
    CaptureOptions o;
    const char* argv[] = {"zarv-capture", "-o", "CLIP.MP4", "--bench"};
    EXPECT_FALSE(ParseCaptureOptions(4, argv, &o, &error));
  }
  {
    // An explicit rate factor wins over --quality's, given before or after it.
    CaptureOptions o;
    const char* argv[] = {"zarv-capture", "--crf", "20", "--quality", "best", "--size=4096x3072"};
    ASSERT_TRUE(ParseCaptureOptions(6, argv, &o, &error)) << error;
    EXPECT_EQ(o.preset, "slow");
    EXPECT_EQ(o.crf, 20);
    EXPECT_EQ(o.videoWidth, 4096);
    EXPECT_EQ(o.videoHeight, 3072);
  }
  {
    CaptureOptions o;
    const char* argv[] = {"zarv-capture", "-o", "CLIP.MP4"};
    ASSERT_TRUE(ParseCaptureOptions(3, argv, &o, &error)) << error;
    EXPECT_EQ(o.mode, CaptureOptions::Mode::VIDEO);
  }
}

TEST(CapturePathsTest, ANameWithoutASlashIsInTheWorkingFolder) {
  const struct {
    std::string path, folder, base, ext;
  } cases[] = {
      {"clip.mp4", ".", "clip.mp4", "mp4"}, {"/clip.MP4", "/", "clip.MP4", "mp4"},
      {"a/b/frames", "a/b", "frames", ""},  {"a/.hidden", "a", ".hidden", ""},
      {"out.d/", "out.d", "", ""},          {"x.tar.png", ".", "x.tar.png", "png"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(BaseName(c.path), c.base) << c.path;
    EXPECT_EQ(ExtensionOf(c.path), c.ext) << c.path;
  }
}

// The variance of the green channel's 4-neighbour Laplacian: high where
// edges are crisp and fine lines sharp, low where they are smoothed.
double LaplacianVariance(const Image& image) {
  double sum = 0.0, squares = 0.0;
  long n = 0;
  for (int y = 1; y + 1 < image.height; ++y) {
    for (int x = 1; x + 1 < image.width; ++x) {
      const double l = image.At(x - 1, y, 1) + image.At(x + 1, y, 1) + image.At(x, y - 1, 1) +
                       image.At(x, y + 1, 1) - 4.0 * image.At(x, y, 1);
      sum += l;
      squares += l * l;
      ++n;
    }
  }
  return squares / n - (sum / n) * (sum / n);
}

// Whether rows [from, to) of the image are black.
bool BlackRows(const Image& image, int from, int to) {
  for (int y = from; y < to; ++y)
    for (int x = 0; x < image.width; ++x)
      if (image.At(x, y, 0) + image.At(x, y, 1) + image.At(x, y, 2) != 0) return false;
  return true;
}

TEST_F(CaptureTool, SizesAreDrawnWithTheirOwnPixelsAndPaddedPicturesCentred) {
  for (const std::string args : {"--output base.png", "--size 1440x1080 --output drawn.png",
                                 "--size 1080x1920 --pad --output phone.png"}) {
    CommandRun run = Capture(Show() + "--fps 10 --still 12 " + args);
    ASSERT_EQ(run.status, 0) << args << "\n" << run.err;
  }
  // What --scale-only makes of the show's own pixels.
  ASSERT_EQ(std::system("ffmpeg -v error -i base.png -vf scale=1440:1080:flags=lanczos scaled.png"), 0);
  const Image base = Load("base.png"), drawn = Load("drawn.png"), scaled = Load("scaled.png");
  ASSERT_EQ(drawn.width, 1440);
  ASSERT_EQ(drawn.height, 1080);
  // Edges as crisp as at 800 x 600, far crisper than the scaled ones. The
  // larger picture has 1.8 times the edges' length in 3.24 times the pixels,
  // so the same crispness gives 1.8 times less variance a pixel.
  const double drawnCrispness = 1.8 * LaplacianVariance(drawn) / LaplacianVariance(base);
  const double scaledCrispness = 1.8 * LaplacianVariance(scaled) / LaplacianVariance(base);
  EXPECT_NEAR(drawnCrispness, 1.0, 0.2);
  EXPECT_LT(scaledCrispness, 0.5 * drawnCrispness);

  // 1080 columns of 4:3 are 810 rows, centred: bars of 555 rows above and below.
  const Image phone = Load("phone.png");
  ASSERT_EQ(phone.width, 1080);
  ASSERT_EQ(phone.height, 1920);
  EXPECT_TRUE(BlackRows(phone, 0, 555));
  EXPECT_TRUE(BlackRows(phone, 1365, 1920));
  EXPECT_FALSE(BlackRows(phone, 555, 655));
  EXPECT_FALSE(BlackRows(phone, 1265, 1365));
}

// A white circle line 4 of the show's pixels wide on black, drawn on an
// offscreen window with the given samples a pixel and rows of pixels: the
// count of pixels strictly between the two colours (the partly covered ones
// along the line).
long PartlyCoveredPixels(int samples, int rows = platform::SHOW_HEIGHT) {
  platform::OffscreenWindow window;
  window.samples = samples;
  window.drawnWidth = rows * 4 / 3;
  window.drawnHeight = rows;
  EXPECT_TRUE(window.Open(platform::SHOW_WIDTH, platform::SHOW_HEIGHT, 16, 0, false)) << window.Error();
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, platform::SHOW_WIDTH, 0.0, platform::SHOW_HEIGHT, -1.0, 1.0);
  glLineWidth(4.0f * static_cast<float>(rows) / platform::SHOW_HEIGHT);
  glColor3f(1.0f, 1.0f, 1.0f);
  glBegin(GL_LINE_LOOP);
  for (int i = 0; i < 360; ++i)
    glVertex2d(400.0 + 250.0 * std::cos(i * M_PI / 180.0), 300.0 + 250.0 * std::sin(i * M_PI / 180.0));
  glEnd();
  const std::vector<unsigned char> pixels = window.ReadPixels();
  long partly = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) partly += pixels[i] > 0 && pixels[i] < 255;
  return partly;
}

TEST_F(CaptureTool, FourSamplesGiveSmoothEdgesAndTooManyAreRefused) {
  // Without samples every pixel is wholly on or off the line; with four,
  // most pixels along both edges of the ring (about 2 x 2 pi 250) are partly covered.
  EXPECT_EQ(PartlyCoveredPixels(0), 0);
  EXPECT_GT(PartlyCoveredPixels(4), 2000);
  // Drawn with 1080 rows, the ring's edges are 1.8 times longer in pixels.
  EXPECT_EQ(PartlyCoveredPixels(0, 1080), 0);
  EXPECT_GT(PartlyCoveredPixels(4, 1080), 3600);

  platform::OffscreenWindow probe;
  ASSERT_TRUE(probe.Open(1, 1, 16, 0, false));
  const int most = probe.MaxSamples();
  probe.Close();
  if (most >= 8) GTEST_SKIP() << "this GL gives 8 samples: no count to refuse";
  CommandRun run = Capture(Show() + "--msaa 8 --output clip.mp4");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("gives at most " + std::to_string(most) + " samples a pixel"), std::string::npos)
      << run.err;
  EXPECT_EQ(Listing("."), (std::vector<std::string>{"data", "listing.txt", "murel.mp3"}));
}

}  // namespace

// --alpha: how much the show covers each pixel, straight; over black it is
// the opaque frame, and the pad bars are transparent.
TEST_F(CaptureTool, AlphaStillsCoverWhatTheShowDrawsAndNothingElse) {
  ASSERT_EQ(Capture(Show() + "--still 30 --output opaque.png").status, 0);
  ASSERT_EQ(Capture(Show() + "--alpha --still 30 --output alpha.png").status, 0);
  ASSERT_EQ(Capture(Show() + "--alpha --still 30 --size 1600x900 --pad --output padded.png").status, 0);
  const Image opaque = Load("opaque.png"), alpha = Load("alpha.png"), padded = Load("padded.png");
  ASSERT_EQ(opaque.bpp, 3);
  ASSERT_EQ(alpha.bpp, 4);
  ASSERT_EQ(padded.bpp, 4);
  for (auto [x, y] : {std::pair{0, 0}, {799, 0}, {0, 599}, {799, 599}}) EXPECT_EQ(alpha.At(x, y, 3), 0);
  long soft = 0, worst = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const int a = alpha.At(x, y, 3);
      soft += a > 0 && a < 255;
      for (int c = 0; c < 3; ++c)
        worst = std::max(worst, std::lround(std::fabs(alpha.At(x, y, c) * a / 255.0 - opaque.At(x, y, c))));
    }
  }
  EXPECT_LE(worst, 1) << "over black, the opaque frame";
  EXPECT_GT(soft, 10000) << "the sprites' soft edges are partly covered";
  // The 1200 x 900 picture between bars of 200 columns each side.
  for (int y = 0; y < 900; y += 10) {
    EXPECT_EQ(padded.At(0, y, 3), 0);
    EXPECT_EQ(padded.At(199, y, 3), 0);
    EXPECT_EQ(padded.At(1400, y, 3), 0);
  }
}

// The alpha formats carry it, as editors and browsers read it; the
// lossless one holds exactly the PNG frames.
TEST_F(CaptureTool, VideoFormatsFollowTheOutputsNameAndCarryAlpha) {
  ASSERT_EQ(Capture(Show() + "--alpha --from 20 --to 21 --output alpha.mov").status, 0);
  ASSERT_EQ(Capture(Show() + "--alpha --from 20 --to 21 --output alpha.webm").status, 0);
  const std::string mov = RunCommand(
                              "ffprobe -v error -show_entries stream=codec_name,profile,pix_fmt "
                              "-of default=nw=1 alpha.mov")
                              .out;
  EXPECT_NE(mov.find("codec_name=prores\nprofile=4444\npix_fmt=yuva444p12le"), std::string::npos) << mov;
  EXPECT_NE(mov.find("codec_name=pcm_s16le"), std::string::npos) << mov;
  const std::string webm = RunCommand(
                               "ffprobe -v error -show_entries stream=codec_name:stream_tags=alpha_mode "
                               "-of default=nw=1 alpha.webm")
                               .out;
  EXPECT_NE(webm.find("codec_name=vp9\nTAG:alpha_mode=1"), std::string::npos) << webm;
  EXPECT_NE(webm.find("codec_name=opus"), std::string::npos) << webm;
  for (const char* video : {"alpha.mov", "alpha.webm"}) {
    // The sound, decoded at 1 kHz mono: 16-bit samples, 2,000 bytes a second.
    const CommandRun sound =
        RunCommand(std::string("ffmpeg -v error -i ") + video + " -map 0:a -ac 1 -ar 1000 -f s16le -");
    EXPECT_NEAR(sound.out.size() / 2000.0, 1.0, 0.03) << video;
    // The decoded alpha of each frame, 80 x 60 of it.
    const std::string decoder = std::string(video) == "alpha.webm" ? "-c:v libvpx-vp9 " : "";
    ASSERT_EQ(RunCommand("ffmpeg -v error " + decoder + "-i " + video +
                         " -map 0:v -vsync passthrough -vf alphaextract,scale=80:60 -f rawvideo -pix_fmt "
                         "gray -y alpha.gray")
                  .status,
              0);
    const std::string planes = ReadFile("alpha.gray");
    ASSERT_EQ(planes.size(), 60u * 80 * 60) << video;
    int changes = 0;
    for (size_t f = 1; f < 60; ++f)
      changes += planes.compare(f * 4800, 4800, planes, (f - 1) * 4800, 4800) != 0;
    EXPECT_GT(changes, 50) << video << ": the alpha follows the show";
  }
  ASSERT_EQ(Capture(Show() + "--fps 10 --from 20 --to 21 --output lossless.mkv").status, 0);
  ASSERT_EQ(Capture(Show() + "--fps 10 --from 20 --to 21 --output frames").status, 0);
  const auto hashes = [](const std::string& input) {
    CommandRun run = RunCommand("ffmpeg -v error " + input +
                                " -pix_fmt rgb24 -f framemd5 - | grep -v '^#' | "
                                "sed 's/.*, //'");
    return run.out;
  };
  const std::string mkv = hashes("-i lossless.mkv -map 0:v");
  EXPECT_EQ(std::count(mkv.begin(), mkv.end(), '\n'), 10);
  EXPECT_EQ(mkv, hashes("-start_number 200 -i frames/frame-%06d.png"));
}

// Both ways into EGL. Software is llvmpipe through the surfaceless
// platform; auto takes a card that draws right where there is one, else
// Mesa's software device, whose llvmpipe draws the same frames. Hardware is
// what auto found on a card, or refused before anything is written.
TEST_F(CaptureTool, EachRendererIsNamedAndSoftwareDrawsAlikeEitherWay) {
  const auto still = [&](const std::string& renderer) {
    return Capture(Show() + "--renderer " + renderer + " --still 30 --output " + renderer + ".png");
  };
  const auto line = [](const std::string& out) {
    const size_t start = out.find("\nRenderer: ");
    return start == std::string::npos ? std::string()
                                      : out.substr(start + 1, out.find('\n', start + 1) - start - 1);
  };
  const CommandRun software = still("software"), automatic = still("auto");
  ASSERT_EQ(software.status, 0) << software.err;
  ASSERT_EQ(automatic.status, 0) << automatic.err;
  EXPECT_NE(line(software.out).find("llvmpipe"), std::string::npos) << software.out;
  EXPECT_NE(line(software.out).find("through Mesa's surfaceless platform"), std::string::npos)
      << software.out;
  EXPECT_NE(line(automatic.out).find("through the EGL device platform"), std::string::npos) << automatic.out;
  EXPECT_NE(ReadFile("zarv.log").find(line(automatic.out)), std::string::npos) << ReadFile("zarv.log");
  const bool card = line(automatic.out).find("llvmpipe") == std::string::npos;
  const CommandRun hardware = still("hardware");
  if (card) {
    EXPECT_EQ(hardware.status, 0) << hardware.err;
    EXPECT_EQ(line(hardware.out), line(automatic.out));
    return;
  }
  EXPECT_NE(line(automatic.out).find("(Mesa's software device)"), std::string::npos) << automatic.out;
  EXPECT_EQ(ReadFile("auto.png"), ReadFile("software.png"));
  EXPECT_EQ(hardware.status, 2);
  EXPECT_EQ(hardware.err.rfind("zarv-capture: --renderer hardware: no ", 0), 0u) << hardware.err;
  EXPECT_FALSE(Exists("hardware.png"));
}

// A card's encoder is tried on one frame first: without the card, the
// capture ends at once, naming what is missing.
TEST_F(CaptureTool, AGraphicsCardsEncoderThatIsNotThereIsRefusedBeforeAnythingIsWritten) {
  const CommandRun nvenc = Capture(Show() + "--encoder nvenc --to 1 --output nvenc.mp4");
  // A machine with NVIDIA's encoder makes the video with it instead.
  if (nvenc.status == 0) {
    EXPECT_NE(nvenc.out.find("Encoder: ffmpeg's h264_nvenc"), std::string::npos) << nvenc.out;
    std::remove("nvenc.mp4");
  } else {
    EXPECT_EQ(nvenc.status, 2);
    EXPECT_EQ(nvenc.err.rfind("zarv-capture: --encoder nvenc: there is no NVIDIA encoder here (", 0), 0u)
        << nvenc.err;
  }
  if (!Exists("/dev/dri")) {
    const CommandRun vaapi = Capture(Show() + "--encoder vaapi --to 1 --output vaapi.mp4");
    EXPECT_EQ(vaapi.status, 2);
    EXPECT_EQ(
        vaapi.err,
        "zarv-capture: --encoder vaapi: there is no graphics card's render node in /dev/dri for VA-API\n");
  }
  for (const std::string& name : Listing(".")) EXPECT_EQ(name.find("mp4"), std::string::npos) << name;
}
