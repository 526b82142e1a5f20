// One capture run: the show run from its start up to the last frame
// asked for, the wanted frames written as a video, PNG frames or stills,
// and the schedule summary printed at the end.
#pragma once

#include <string>
#include <vector>

#include "capture_options.h"
#include "ffmpeg_encoder.h"
#include "platform/interrupt.h"
#include "platform/offscreen_window.h"

// Exit statuses of zarv-capture.
constexpr int EXIT_DONE = 0;
constexpr int EXIT_FAILED = 1;
// EXIT_USAGE (2): bad options, a track that cannot be played or an output
// that cannot be written.
// An interrupted run (platform::Interrupted) cleans up and exits as the live
// show does on Ctrl-C.
using platform::EXIT_INTERRUPTED;

// The first frame at or after a show time (seconds) at fps frames a second;
// a time beyond any show gives a frame beyond any show's end.
long FirstFrameAt(double seconds, int fps);
// The frames [first, end) a video or a folder of frames holds, as the
// options' range and the show's end give them; none when end <= first.
void CaptureFrames(const CaptureOptions& options, long* first, long* end);
// The frame in which the show ends itself: the first whose show time, as the
// show reads it (single precision), is past the timetable's showEnd.
long LastShowFrame(int fps);

// The encoder's settings for a video of frames [first, end) as the options
// ask for it: frames read bottom-up, the music's stretch beside them.
FfmpegEncoder::Settings VideoSettings(const CaptureOptions& options, const std::string& soundtrack,
                                      long first, long end);

// Sets the offscreen window's renderer, samples and drawn size as the options ask.
void ShapeWindow(const CaptureOptions& options, platform::OffscreenWindow* window);

// A video's frames on their way from the GL to ffmpeg: each drawn frame is
// queued for reading in its swap and read back once the next one is drawn,
// so that the rasteriser finishes a frame while the show draws the next.
class VideoFeed {
 public:
  VideoFeed(platform::OffscreenWindow* window, FfmpegEncoder* encoder) : window(window), encoder(encoder) {}

  // In a drawn frame's swap, with the frame still bound.
  void Queue() { window->StartRead(); }
  // After each drawn frame: once READS_IN_FLIGHT frames are queued, the
  // oldest goes to ffmpeg. False once a frame could not be read back or
  // ffmpeg stopped taking them; error says which.
  bool Pass();
  // After the last frame: the frames still queued, unless interrupted. False as Pass.
  bool Drain();

  long written = 0;  // frames handed to ffmpeg
  std::string error;
  bool straightAlpha = false;  // the frames' premultiplied colour is made straight on the way

 private:
  void TakeOldest();

  platform::OffscreenWindow* const window;
  FfmpegEncoder* const encoder;
  std::vector<unsigned char> pixels;  // swapped for the encoder's spare buffers
  bool failed = false;
};

// Whether the renderer the options ask for is there and can give their
// --msaa, asked of a throwaway offscreen context before anything is drawn
// or written. EXIT_DONE, with what draws in *found when it is not null, or
// the exit status after a message saying what was found.
struct GlFound {
  std::string vendor;      // GL_VENDOR
  std::string renderNode;  // the card's render node; empty for software
};
int CheckGl(const CaptureOptions& options, GlFound* found = nullptr);

// Runs the capture the options ask for, with the working directory already
// the show's; output paths must be absolute. soundtrack: the music file's
// absolute path. Returns the exit status; messages go to stderr, the
// schedule summary to stdout.
int RunCapture(const CaptureOptions& options, const std::string& soundtrack);
