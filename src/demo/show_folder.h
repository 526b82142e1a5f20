// The look at the working directory made before anything is loaded: a show
// started from a folder without its files says where it looked and how to
// start it, ahead of the loaders' own fatal line.
#pragma once

#include <string>

// Logs one line naming the working directory and how to start the show when
// that directory has no data/ folder, or the music (a path relative to it
// unless absolute; empty when the show plays no file) is not there; nothing
// otherwise.
void GuideIfShowFilesMissing(const std::string& music);
