// Helpers for reading the text formats from streams: how many more
// whitespace-separated token records the rest of a stream could hold, so a
// loader can check a count from a file before it allocates anything for it.
#pragma once

#include <istream>

// The most records of `tokensPerRecord` tokens (numbers or words) each that
// could still follow in `in`. Every token takes at least two characters (one
// of its own and the separator before it), so a well-formed file never holds
// more than this.
// A stream whose size cannot be told (never opened, not seekable) has room
// for none. Leaves the stream's flags and read position as they were.
long long MaxRecordsLeft(std::istream& in, int tokensPerRecord);
