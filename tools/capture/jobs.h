// zarv-capture --jobs N: the capture split into N parts rendered by N
// processes of this program at once, then joined; one progress bar covers
// them all.
#pragma once

#include "capture_options.h"

// Runs the capture the options ask for in options.jobs processes. argv is
// the command line this process was given, for the parts' own; options'
// output must be absolute. The exit status: a part's failure or an
// interruption stops the others and leaves nothing behind.
int RunJobs(const CaptureOptions& options, int argc, const char* const* argv);
