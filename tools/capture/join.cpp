// The parts are checked against their records before ffmpeg runs, so that
// a refusal costs nothing and names the part at fault. ffmpeg's concat
// demuxer copies the video streams; the output is written under a temporary
// name and renamed only when ffmpeg succeeds.
#include "join.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <map>

#include "capture.h"
#include "child_runner.h"
#include "foundation/paths.h"
#include "part_record.h"
#include "video_format.h"

namespace {

int Refuse(const std::string& message) {
  std::fprintf(stderr, "zarv-capture: %s\n", message.c_str());
  return EXIT_USAGE;
}

std::string Seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9f", value);
  return text;
}

// Runs ffmpeg to its end, stopping it when the run is interrupted or when
// it has read and written nothing for FFMPEG_STALL_SECONDS (a join's
// muxer may rewrite its file in place, so the file's size says nothing). 0
// when it succeeded; else the exit status to end with, *error saying why.
int RunFfmpeg(const std::vector<std::string>& args, std::string* error) {
  Child::Command command;
  command.name = "ffmpeg";
  command.argv = args;
  command.stallSeconds = BoundSeconds(FFMPEG_STALL_SECONDS);
  command.graceSeconds = BoundSeconds(FFMPEG_GRACE_SECONDS);
  Child ffmpeg;
  if (!ffmpeg.Start(command, error)) return EXIT_FAILED;
  ffmpeg.Wait();
  if (platform::Interrupted()) {
    *error = "interrupted; nothing written";
    return EXIT_INTERRUPTED;
  }
  if (ffmpeg.Succeeded()) return 0;
  *error = "ffmpeg could not join the parts: " + ffmpeg.Failure();
  return EXIT_FAILED;
}

}  // namespace

int RunJoin(const std::string& output, const std::vector<std::string>& partPaths) {
  std::map<int, std::pair<std::string, PartRecord>> parts;  // by K
  int count = 0;
  std::string error;
  for (const std::string& path : partPaths) {
    PartRecord record;
    if (!ReadPartRecord(path + ".zarv-part", &record, &error)) return Refuse(path + ": " + error);
    if (record.format == "png") return Refuse(path + ": PNG frames need no join, they keep their numbers");
    if (count > 0 && record.capture != parts.begin()->second.second.capture) {
      return Refuse(path + " is a part of another capture than " + parts.begin()->second.first +
                    " (another track, range, frame rate, size or encoding)");
    }
    if (count > 0 && record.parts != parts.begin()->second.second.parts) {
      return Refuse(path + " is part " + std::to_string(record.part) + " of " + std::to_string(record.parts) +
                    ", the others of " + std::to_string(parts.begin()->second.second.parts));
    }
    if (!parts.emplace(record.part, std::make_pair(path, record)).second) {
      return Refuse(path + " is part " + std::to_string(record.part) + " again, as " +
                    parts[record.part].first + " is");
    }
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0 || info.st_size != record.bytes) {
      return Refuse(path + " is truncated or was changed: " + std::to_string(info.st_size) + " bytes, " +
                    std::to_string(record.bytes) + " when it was made");
    }
    ++count;
  }
  const PartRecord& first = parts.begin()->second.second;
  for (int k = 1; k <= first.parts; ++k) {
    if (parts.count(k) == 0)
      return Refuse("part " + std::to_string(k) + " of " + std::to_string(first.parts) + " is missing");
  }
  VideoFormat format = VideoFormat::MP4, partsFormat = VideoFormat::MP4;
  VideoFormatFor(first.format, &partsFormat);
  if (!VideoFormatFor(ExtensionOf(output), &format) || format != partsFormat) {
    return Refuse(output + ": the parts are ." + first.format +
                  " videos, and the join copies them: the output must end in ." + first.format);
  }
  if (HashFile(first.track) != first.trackHash) {
    return Refuse("the track " + first.track + " the parts were drawn to is not there as it was");
  }

  std::string reason;
  const std::string list = MakeTempFile(TempFolder() + "/zarv-capture-join-XXXXXX", &reason);
  const std::string partial =
      list.empty() ? "" : MakeTempFile(FolderOf(output) + "/." + BaseName(output) + ".part-XXXXXX", &reason);
  if (partial.empty()) {
    if (!list.empty()) std::remove(list.c_str());
    return Refuse("cannot write " + output + ": " + reason);
  }
  std::ofstream out(list);
  // The concat demuxer's quoting: a quote ends, is escaped and starts again.
  for (const auto& [k, part] : parts) {
    std::string quoted;
    for (char c : Absolute(part.first)) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    // Each part lasts its frames exactly, not its container's rounded length.
    out << "file '" << quoted << "'\nduration "
        << Seconds(double(part.second.end - part.second.first) / part.second.fps) << "\n";
  }
  out.close();
  if (!out) {
    std::remove(list.c_str());
    std::remove(partial.c_str());
    std::fprintf(stderr, "zarv-capture: cannot write the list of parts %s\n", list.c_str());
    return EXIT_FAILED;
  }
  std::vector<std::string> args = {"ffmpeg",    "-hide_banner",
                                   "-loglevel", "error",
                                   "-nostats",  "-y",
                                   "-f",        "concat",
                                   "-safe",     "0",
                                   "-i",        list,
                                   "-ss",       Seconds(first.soundStart),
                                   "-t",        Seconds(first.soundLength),
                                   "-i",        first.track,
                                   "-map",      "0:v",
                                   "-map",      "1:a",
                                   "-c:v",      "copy"};
  const VideoFormatRow& row = RowOf(format);
  args.insert(args.end(), row.sound.begin(), row.sound.end());
  args.insert(args.end(), {"-ac", "2"});
  args.insert(args.end(), row.muxer.begin(), row.muxer.end());
  args.push_back(partial);
  const int status = RunFfmpeg(args, &error);
  std::remove(list.c_str());
  if (status == 0 && std::rename(partial.c_str(), output.c_str()) == 0) {
    std::printf("Joined %d parts into %s\n", first.parts, output.c_str());
    return EXIT_DONE;
  }
  std::remove(partial.c_str());
  std::fprintf(stderr, "zarv-capture: %s\n",
               status == 0 ? ("cannot write " + output).c_str() : error.c_str());
  return status == 0 ? EXIT_FAILED : status;
}
