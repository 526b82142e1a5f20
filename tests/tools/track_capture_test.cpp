// Users' own tracks, made here in every format the show takes, through the
// show's scan and fit and through zarv-capture as a user runs it: the levels
// fitted to the built-in soundtrack's shares, the credit from the tags, the
// schedule inside the fitted timetable and a video as long as the show with
// the track's sound.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "demo/scheduler.h"
#include "demo/showmusic.h"
#include "demo/timetable.h"
#include "music/trackscan.h"
#include "support/command.h"
#include "support/scratch_dir.h"
#include "support/show_files.h"
#include "support/track_file.h"

namespace {

const std::string SHOW = ZARV_SHOW_DIR;

// A stream's duration in seconds as ffprobe reads it from the container; -1 without one.
double Duration(const std::string& video, const char* stream) {
  const CommandRun run = RunCommand(std::string("ffprobe -v error -select_streams ") + stream +
                                    " -show_entries stream=duration -of csv=p=0 '" + video + "'");
  return run.out.empty() ? -1.0 : std::atof(run.out.c_str());
}

// The number after `after` in text; NaN when it is not there.
double NumberAfter(const std::string& text, const std::string& after) {
  const size_t at = text.find(after);
  return at == std::string::npos ? std::nan("") : std::atof(text.c_str() + at + after.size());
}

// The "Created between:" line of the capture's summary: for each type, the
// show times of the first and last frame that created one, (-1, -1) for none.
std::map<std::string, std::pair<double, double>> CreatedBetween(const std::string& out) {
  std::map<std::string, std::pair<double, double>> created;
  const size_t at = out.find("Created between:");
  if (at == std::string::npos) return created;
  std::istringstream parts(out.substr(at + 16, out.find('\n', at) - at - 16));
  for (std::string part; std::getline(parts, part, ',');) {
    std::istringstream words(part);
    std::string type, first;
    words >> type >> first;
    if (first == "none") {
      created[type] = {-1.0, -1.0};
      continue;
    }
    std::string unit, andWord, last;
    words >> unit >> andWord >> last;
    created[type] = {std::atof(first.c_str()), std::atof(last.c_str())};
  }
  return created;
}

// An ID3v2.3 tag with the artist and title frames, in Latin-1.
std::string Id3Tag(const std::string& artist, const std::string& title) {
  std::string frames;
  for (const auto& [id, text] : {std::make_pair("TPE1", artist), std::make_pair("TIT2", title)}) {
    const size_t size = text.size() + 1;
    frames += std::string(id) + '\0' + '\0' + static_cast<char>(size >> 8) + static_cast<char>(size & 0xFF) +
              std::string(2, '\0') + '\0' + text;
  }
  const size_t size = frames.size();
  return std::string("ID3\x03\x00\x00", 6) + static_cast<char>((size >> 21) & 0x7F) +
         static_cast<char>((size >> 14) & 0x7F) + static_cast<char>((size >> 7) & 0x7F) +
         static_cast<char>(size & 0x7F) + frames;
}

struct Track {
  const char* file;
  Groove groove;
  int channels;
  int format;  // libsndfile's, or 0 for MP3
  double seconds;
  double slack;   // how far the decoded length may be from seconds
  bool bass;      // energy in band 1 (43 Hz)
  bool mid;       // energy in band 17 (732 Hz)
  int fps;        // the capture's frame rate: low for long tracks
  bool tailOnly;  // the video holds only the show's last seconds (all are still run)
  const char* artist;
  const char* title;
  const char* credit;  // as the font draws it: Latin-1
};

void PrintTo(const Track& t, std::ostream* out) { *out << t.file; }

std::string TrackName(const testing::TestParamInfo<Track>& info) {
  std::string name = info.param.file;
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

Groove Plain(double seconds, int rate) {
  Groove g;
  g.seconds = seconds;
  g.rate = rate;
  return g;
}

// As mastered music is: a short kick well above band 1, a bassline, a pad
// and loud hats, so that band 1 reads a fifth of what the built-in
// soundtrack's does.
Groove Mixed(double seconds, int rate, double gain) {
  Groove g = Plain(seconds, rate);
  g.kick = 0.35;
  g.kickHz = 80.0;
  g.kickDecay = 25.0;
  g.bassline = 0.25;
  g.pad = 0.2;
  g.hats = 0.4;
  g.gain = gain;
  return g;
}

// Nothing below 200 Hz: no kick, no bassline.
Groove Airy(double seconds, int rate) {
  Groove g = Plain(seconds, rate);
  g.kick = 0.0;
  g.pad = 0.2;
  g.lowCutHz = 200.0;
  return g;
}

// The MP3 is a minute encoded once and repeated, with no Info header to
// say otherwise: it decodes as one long track.
bool WriteLongMp3(const std::string& name, const Track& t) {
  const Groove minute = Plain(60.0, 44100);
  const std::vector<float> samples = GrooveSamples(minute);
  if (!WriteMp3("minute.mp3", samples, samples, 64, false)) return false;
  const std::string bytes = ReadFile("minute.mp3");
  std::string all = Id3Tag(t.artist, t.title);
  for (int i = 0; i < static_cast<int>(t.seconds / 60.0); ++i) all += bytes;
  WriteFile(name, all);
  return true;
}

class OwnTrack : public testing::TestWithParam<Track> {
 protected:
  void SetUp() override { LinkShowFiles(); }
  std::string Capture(const std::string& args) const {
    return "'" + SHOW + "/zarv-capture' --show-dir '" + dir.path + "' " + args;
  }

  ScratchDir dir;
};

TEST_P(OwnTrack, IsFittedCreditedScheduledAndCapturedWithItsSound) {
  const Track& t = GetParam();
  if (t.format == 0) {
    ASSERT_TRUE(WriteLongMp3(t.file, t));
  } else {
    ASSERT_TRUE(
        WriteTrack(t.file, GrooveSamples(t.groove), t.groove.rate, t.channels, t.format, t.artist, t.title));
  }

  std::string error;
  ASSERT_TRUE(UseMusic(dir.path + "/" + t.file, "", &error)) << error;
  const double length = showMusic.seconds;
  // An encoder may pad its last block.
  EXPECT_NEAR(length, t.seconds, t.slack);
  EXPECT_EQ(showMusic.credit, t.credit);
  const TrackFit& fit = showMusic.fit;
  if (t.bass) {
    EXPECT_NEAR(fit.fittedBassShare, BUILT_IN_BASS_SHARE, 0.04) << "gain " << fit.bassGain;
  } else {
    EXPECT_EQ(fit.fittedBassShare, 0.0) << "gain " << fit.bassGain;
  }
  if (t.mid) {
    EXPECT_NEAR(fit.fittedMidShare, BUILT_IN_MID_SHARE, 0.04) << "gain " << fit.midGain;
  } else {
    EXPECT_EQ(fit.fittedMidShare, 0.0) << "gain " << fit.midGain;
  }
  EXPECT_NEAR(timetable.showEnd, length + 1.0, 1e-3);

  const double frame = 1.0 / t.fps;
  const double from = t.tailOnly ? std::floor(length) - 5.0 : 0.0;
  // Small frames: what is checked here is the schedule, the timing and the sound.
  const std::string capture =
      Capture("--music '" + std::string(t.file) + "' --size 320x240 --fps " + std::to_string(t.fps) +
              " --from " + std::to_string(from) + " --output ");
  const CommandRun run = RunCommand(capture + "clip.mp4");
  ASSERT_EQ(run.status, 0) << run.err;
  // The last frame drawn is the first past the show's end.
  const double last = NumberAfter(run.out, "show time 0.000 s to ");
  EXPECT_GT(last, length + 1.0) << run.out;
  EXPECT_LE(last, length + 1.0 + frame + 1e-6) << run.out;
  // Nothing created before 5 s or in the last 2 s, no flora before its share of the track.
  const std::map<std::string, std::pair<double, double>> created = CreatedBetween(run.out);
  ASSERT_EQ(created.size(), 3u) << run.out;
  for (const auto& [type, times] : created) {
    if (times.first < 0.0) continue;
    EXPECT_GT(times.first, timetable.effectsFrom) << type << "\n" << run.out;
    EXPECT_LT(times.second, timetable.effectsUntil) << type << "\n" << run.out;
    if (type == "flora") {
      EXPECT_GT(times.first, timetable.floraFrom) << run.out;
    }
  }
  // The kicks spawn ornaments by themselves, not only by chance; a track
  // without bass spawns none from band 1.
  const double bassSpawns = NumberAfter(run.out, "Spawn rules fired: bass ");
  if (t.bass) {
    EXPECT_GT(bassSpawns, 0.0) << run.out;
  } else {
    EXPECT_EQ(bassSpawns, 0.0) << run.out;
  }
  EXPECT_GT(NumberAfter(run.out, ", mid "), 0.0) << run.out;

  // The video lasts as long as the frames drawn; the sound as the track.
  EXPECT_NEAR(Duration("clip.mp4", "v:0") - frame, length + 1.0 - from, frame + 1e-3);
  EXPECT_NEAR(Duration("clip.mp4", "a:0"), length - from, frame);
  // The index before the media, so that a browser plays it as it downloads.
  const std::string mp4 = ReadFile("clip.mp4");
  EXPECT_LT(mp4.find("moov"), mp4.find("mdat"));
  if (t.seconds == Timetable::SHORTEST_TRACK_SECONDS) {
    ASSERT_EQ(RunCommand(capture + "again.mp4").status, 0);
    EXPECT_TRUE(ReadFile("clip.mp4") == ReadFile("again.mp4")) << "two captures differ";
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, OwnTrack,
                         testing::Values(
                             // -10 LUFS.
                             Track{"loud.flac", Mixed(40.0, 48000, 1.0), 2, FLAC_16, 40.0, 0.08, true, true,
                                   10, false, "Bj\xc3\xb6rk", "J\xc3\xb3ga", "Bj\xf6rk - J\xf3ga"},
                             // -30 LUFS.
                             Track{"quiet.wav", Mixed(40.0, 22050, 0.13), 1, WAV_16, 40.0, 0.08, true, true,
                                   10, false, "Quiet", "Room", "Quiet - Room"},
                             Track{"airy.ogg", Airy(40.0, 44100), 2, VORBIS, 40.0, 0.08, false, true, 10,
                                   false, "Air", "No Bass", "Air - No Bass"},
                             Track{"voice.opus", Plain(40.0, 48000), 2, OPUS, 40.0, 0.08, true, true, 10,
                                   false, "Op", "\xe6\x97\xa5\xe6\x9c\xac", "Op - ??"},
                             Track{"short.flac", Plain(30.0, 44100), 2, FLAC_16, 30.0, 0.08, true, true, 10,
                                   false, "Short", "Thirty", "Short - Thirty"},
                             // Each repeated minute keeps its encoder's delay and padding: 50 ms or so.
                             Track{"long.mp3", Groove(), 2, 0, 1200.0, 1.5, true, true, 1, true, "Zo\xeb",
                                   "Mix", "Zo\xeb - Mix"}),
                         TrackName);

}  // namespace

// The spawn rules' counts of a run up to a still at still s: bass, mid (both
// branches), chance circle1, chance circle2.
std::vector<long> RuleCounts(const std::string& music, int fps, int still = 147) {
  const CommandRun run =
      RunCommand("'" + SHOW + "/zarv-capture' --show-dir . " + music + " --fps " + std::to_string(fps) +
                 " --still " + std::to_string(still) + " --output still.png");
  EXPECT_EQ(run.status, 0) << run.err;
  long bass = -1, mid = -1, forced = -1, circle1 = -1, circle2 = -1;
  const size_t at = run.out.find("Spawn rules fired:");
  if (at == std::string::npos ||
      std::sscanf(
          run.out.c_str() + at,
          "Spawn rules fired: bass %ld, mid %ld, mid at the cap %ld, chance circle1 %ld, chance circle2 %ld",
          &bass, &mid, &forced, &circle1, &circle2) != 5) {
    ADD_FAILURE() << "no rule counts in\n" << run.out;
  }
  return {bass, mid + forced, circle1, circle2};
}

// The built-in soundtrack, or a silent track of the user's: each its own
// test, so that the two can run at once.
class SameShow : public testing::TestWithParam<std::string> {};

// The spawn rules run on the show's clock, not per frame: at any frame rate
// each rule spawns within chance of what it spawns at 60 fps. (Once effects
// retire at other moments the random draws part ways, so counts differ by
// chance: within four standard deviations of a count, and two.)
TEST_P(SameShow, AnyFrameRateSpawnsAsSixtyFramesASecondDo) {
  ScratchDir dir;
  LinkShowFiles();
  const std::string music = GetParam();
  if (!music.empty()) {
    ASSERT_TRUE(WriteTrack("silence.wav", std::vector<float>(150 * 44100, 0.0f), 44100, 2, WAV_16));
  }
  const char* const rules[] = {"bass", "mid", "chance circle1", "chance circle2"};
  const std::vector<long> at60 = RuleCounts(music, 60);
  EXPECT_GT(at60[3], 50) << music << ": too few spawns to tell rates apart";
  for (const int fps : {30, 144, 240}) {
    const std::vector<long> counts = RuleCounts(music, fps);
    for (size_t rule = 0; rule < 4; ++rule) {
      const double bound = 4.0 * std::sqrt(static_cast<double>(at60[rule])) + 2.0;
      EXPECT_LE(std::abs(counts[rule] - at60[rule]), bound)
          << rules[rule] << " at " << fps << " fps: " << counts[rule] << " against " << at60[rule] << " ("
          << (music.empty() ? "built-in" : music) << ")";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(, SameShow, testing::Values("", "--music silence.wav"),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return info.param.empty() ? std::string("BuiltIn") : std::string("SilentTrack");
                         });

// A track whose channels are the same music in opposite phase is silent in
// the mono mix, but a listener hears it: it is fitted and spawns as its
// in-phase copy does, as a WAV and as a FLAC.
TEST(OppositePhase, IsFittedAndSpawnsAsItsInPhaseCopy) {
  ScratchDir dir;
  LinkShowFiles();
  Groove groove;
  groove.seconds = 40.0;
  const std::vector<float> samples = GrooveSamples(groove);
  ASSERT_TRUE(WriteChannels("in.wav", samples, groove.rate, {1.0f, 1.0f}, WAV_16));
  ASSERT_TRUE(WriteChannels("opposite.wav", samples, groove.rate, {1.0f, -1.0f}, WAV_16));
  ASSERT_TRUE(WriteChannels("opposite.flac", samples, groove.rate, {1.0f, -1.0f}, FLAC_16));
  const auto fitOf = [](const std::string& name) {
    TrackScan scan;
    std::string reason;
    EXPECT_TRUE(ScanTrack(name, {BASS_BAND, MID_BAND}, &scan, &reason)) << reason;
    return FitTrack(scan);
  };
  const TrackFit in = fitOf("in.wav");
  ASSERT_GT(in.bassShare, 0.05) << "the groove's kicks must cross the bass threshold";
  const std::vector<long> inCounts = RuleCounts("--music in.wav", 60, 38);
  const char* const rules[] = {"bass", "mid", "chance circle1", "chance circle2"};
  for (const std::string name : {"opposite.wav", "opposite.flac"}) {
    const TrackFit fit = fitOf(name);
    EXPECT_NEAR(fit.bassShare, in.bassShare, 0.02) << name;
    EXPECT_NEAR(fit.midShare, in.midShare, 0.02) << name;
    const std::vector<long> counts = RuleCounts("--music " + name, 60, 38);
    for (size_t rule = 0; rule < 4; ++rule) {
      EXPECT_LE(std::abs(counts[rule] - inCounts[rule]), std::max(1.0, 0.1 * inCounts[rule]))
          << name << ", " << rules[rule] << ": " << counts[rule] << " against " << inCounts[rule];
    }
  }
}
