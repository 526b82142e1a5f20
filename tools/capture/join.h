// zarv-capture --join: the video parts of one split capture (--part K/N)
// put back together in order without encoding again, with the track's
// sound added once over the whole.
#pragma once

#include <string>
#include <vector>

// Checks that the parts are every part of one capture, each once and whole,
// and of the output's format, then joins them into output. The exit status;
// a refusal (EXIT_USAGE) or failure writes nothing.
int RunJoin(const std::string& output, const std::vector<std::string>& parts);
