// Encodes frames to an MP4 (H.264, with the soundtrack as AAC) by piping raw
// RGBA frames into the ffmpeg command-line tool. The video is written under a
// temporary name beside the output and renamed only when ffmpeg succeeds.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class FfmpegEncoder {
 public:
  struct Settings {
    std::string output;     // the final .mp4
    int width = 0;          // pixels
    int height = 0;         // pixels
    int fps = 0;            // frames a second
    std::string audio;      // the soundtrack; empty: none
    double audioStart = 0;  // seconds into the soundtrack of the first frame
    double duration = 0;    // seconds of soundtrack to take
  };

  FfmpegEncoder() = default;
  ~FfmpegEncoder();
  FfmpegEncoder(const FfmpegEncoder&) = delete;
  FfmpegEncoder& operator=(const FfmpegEncoder&) = delete;

  // Makes sure the output can be written by creating the temporary file
  // beside it. False with the reason in *error.
  bool Reserve(const Settings& settings, std::string* error);
  // Starts ffmpeg on the reserved file. False with the reason in *error when
  // it cannot be run.
  bool Start(std::string* error);
  // One frame, rows top first. False once ffmpeg has stopped taking frames.
  bool Write(const std::vector<unsigned char>& pixels);
  // Closes the stream and waits for ffmpeg; on success the video gets its
  // final name. False with ffmpeg's own message in *error otherwise, and
  // nothing is left behind.
  bool Finish(std::string* error);
  // After ffmpeg stopped taking frames: waits for it, replaces *error with
  // its own message if it gave one, and removes what it wrote.
  void GiveUp(std::string* error);
  // Stops ffmpeg and removes what it wrote.
  void Abandon();

  // The ffmpeg command line Start runs, for the record.
  static std::vector<std::string> Command(const Settings& settings, const std::string& file);

 private:
  // Closes ffmpeg's input and waits for it to exit; its wait status.
  int Wait();
  // ffmpeg's exit described, with the message it left in its error file.
  std::string Failure(int status) const;
  void RemoveFiles();

  pid_t child = -1;
  int toFfmpeg = -1;       // the write end of ffmpeg's stdin
  std::string partial;     // the video while ffmpeg writes it
  std::string errorsFile;  // ffmpeg's stderr
  Settings settings;
};
