// Encodes frames to a video (see VideoFormat, with the soundtrack) by piping
// raw RGBA frames into the ffmpeg command-line tool. The video is written under a
// temporary name beside the output and renamed only when ffmpeg succeeds.
// A writer thread feeds ffmpeg, so the next frame is drawn while it encodes.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "child_runner.h"
#include "h264_encoder.h"
#include "video_format.h"

class FfmpegEncoder {
 public:
  struct Settings {
    std::string output;  // the final video
    VideoFormat format = VideoFormat::MP4;
    bool alpha = false;     // the frames' alpha (straight) goes into the video: not for MP4
    int width = 0;          // pixels
    int height = 0;         // pixels
    int fps = 0;            // frames a second
    std::string audio;      // the soundtrack; empty: none
    double audioStart = 0;  // seconds into the soundtrack of the first frame
    double duration = 0;    // seconds of soundtrack to take
    bool bottomUp = false;  // rows come bottom row first, as GL reads them: ffmpeg flips them
    H264Encoder h264;       // MP4's encoder
    std::string preset;     // x264's preset name (MP4)
    int crf = 0;            // x264's or VP9's constant rate factor, 0 (lossless) to 51 (MP4, WEBM)
    int videoWidth =
        0;  // the video's size in pixels, the frames scaled to it with lanczos; 0: the frames' size
    int videoHeight = 0;
    bool pad = false;  // the frames fill the video's largest 4:3 area, on black (transparent with alpha) bars
    std::string rawCopy;  // a file that gets every frame as ffmpeg does; empty: none
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
  // Hands one frame to the writer thread, waiting while two are still on
  // their way. *pixels is swapped for a spare buffer of an earlier frame, to
  // be filled again. False once ffmpeg has stopped taking frames, is stuck
  // (FFMPEG_STALL_SECONDS without progress) or the run is interrupted.
  bool Write(std::vector<unsigned char>* pixels);
  // Closes the stream and waits for ffmpeg; on success the video gets its
  // final name. False with ffmpeg's own message in *error otherwise, and
  // nothing is left behind.
  bool Finish(std::string* error);
  // After ffmpeg stopped taking frames: waits for it, replaces *error with
  // what became of it, and removes what it wrote.
  void GiveUp(std::string* error);
  // Stops ffmpeg and removes what it wrote.
  void Abandon();

  // The ffmpeg command line Start runs, for the record.
  static std::vector<std::string> Command(const Settings& settings, const std::string& file);

 private:
  // Lets the writer thread hand over the frames queued, as long as ffmpeg
  // takes them (or at once with dropQueued), then closes ffmpeg's input and
  // waits for it within its bounds.
  void Wait(bool dropQueued);
  // The writer thread: frames from the queue into ffmpeg's pipe.
  void FeedFfmpeg();
  void RemoveFiles();

  Child ffmpeg;
  int rawCopy = -1;     // Settings::rawCopy, open for writing
  std::string partial;  // the video while ffmpeg writes it
  Settings settings;

  // Shared with the writer thread, under lock.
  std::mutex lock;
  std::condition_variable changed;
  std::deque<std::vector<unsigned char>> queued;  // frames not yet written, oldest first
  std::vector<std::vector<unsigned char>> spare;  // written frames' buffers
  bool closing = false;                           // no more frames will come
  bool broken = false;                            // a write failed: ffmpeg is gone
  bool fed = false;                               // the writer thread has ended
  std::thread writer;
};
