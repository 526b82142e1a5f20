// Runs one fuzz input's work so that a defined fatal error (a reporter of
// the log ending the show) ends that input instead of the whole process.
#pragma once

#include <functional>

// How one input ended.
enum class Outcome {
  LOADED,   // the loader took the input and its result was used
  REFUSED,  // the loader turned the input down and went on (null image, no music)
  FATAL,    // a defined fatal error: its line was logged and the log closed
};

const char* OutcomeName(Outcome outcome);

// Runs work with the log open (on /dev/null, no echo) and the fatal
// reporters' exit replaced by an unwind back to here, which gives FATAL.
// The unwinding runs the destructors of everything work had built, so a
// loader that holds its allocations properly leaks nothing on that path.
Outcome RunToEnd(const std::function<Outcome()>& work);

// Ends the process with a message when a loader broke a promise its
// interface makes; the fuzzer counts that as a crash.
void Require(bool holds, const char* promise);
