// One capture run: the show run from its start up to the last frame
// asked for, the wanted frames written as a video, PNG frames or stills,
// and the schedule summary printed at the end.
#pragma once

#include <csignal>
#include <string>

#include "capture_options.h"
#include "ffmpeg_encoder.h"
#include "platform/interrupt.h"
#include "platform/offscreen_window.h"

// Exit statuses of zarv-capture.
constexpr int EXIT_DONE = 0;
constexpr int EXIT_FAILED = 1;
// EXIT_USAGE (2): bad options, a track that cannot be played or an output
// that cannot be written.
// An interrupted run exits as the live show does on Ctrl-C.
using platform::EXIT_INTERRUPTED;

// Set by a signal handler to stop a run early; the run cleans up (every
// signal, so a second Ctrl-C still leaves no partial video) and returns
// EXIT_INTERRUPTED.
extern volatile std::sig_atomic_t captureInterrupted;

// The first frame at or after a show time (seconds) at fps frames a second;
// a time beyond any show gives a frame beyond any show's end.
long FirstFrameAt(double seconds, int fps);
// The frame in which the show ends itself: the first whose show time, as the
// show reads it (single precision), is past the timetable's showEnd.
long LastShowFrame(int fps);

// The encoder's settings for a video of frames [first, end) as the options
// ask for it: frames read bottom-up, the music's stretch beside them.
FfmpegEncoder::Settings VideoSettings(const CaptureOptions& options, const std::string& soundtrack,
                                      long first, long end);

// Sets the offscreen window's samples and drawn size as the options ask.
void ShapeWindow(const CaptureOptions& options, platform::OffscreenWindow* window);

// Whether the GL can give the --msaa the options ask for, asked of a
// throwaway offscreen context before anything is drawn or written. EXIT_DONE,
// or the exit status after a message saying the most it can give.
int CheckSamples(const CaptureOptions& options);

// Runs the capture the options ask for, with the working directory already
// the show's; output paths must be absolute. soundtrack: the music file's
// absolute path. Returns the exit status; messages go to stderr, the
// schedule summary to stdout.
int RunCapture(const CaptureOptions& options, const std::string& soundtrack);
