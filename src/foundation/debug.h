// The process-wide log ("zarv.log", optionally echoed to stderr) and the
// reporters that end the show on a failed check. Checks are written through
// the ZARV_* macros so that every report names its condition, file, line
// and function.
#pragma once

#include <string>

class Log {
 public:
  // Opens (truncating) the log file and starts accepting messages; echo
  // copies every line to stderr. A file that cannot be opened ends the process.
  static void Start(const std::string& name, bool echo);
  // For a process that writes the file while others do (one part of a split
  // capture): the next Start appends rather than truncates, and every line
  // in the file (not the echo) begins with prefix. Each line is one write, so
  // lines of processes appending at once never mix. End forgets it.
  static void ShareFile(const std::string& prefix);
  // Logs text verbatim as one line.
  static void Msg(const std::string& text);
  // Logs a printf-formatted line; the result is cut at 2047 characters.
  static void Msg(const char* format, ...) __attribute__((format(printf, 1, 2)));
  // Closes the file and drops every later message.
  static void End();

  static bool logging;
  static bool cerr;
  static int file;  // the file's descriptor; -1 while closed

  // Size of the formatting buffer, terminator included.
  static constexpr int BUFFER_SIZE = 2048;
};

// What the fatal reporters do last, after closing the log: by default
// std::exit with status 1. A fuzzer plugs in a handler that unwinds back to
// itself instead, so a defined fatal error ends one input, not the run. The
// handler must not return.
using FatalExit = void (*)(int status);
void SetFatalExit(FatalExit handler);

// Fatal: logs the failed check, closes the log, exits with status 1.
[[noreturn]] void ZarvFailed(const char* expression, const char* file, int line, const char* func);
// Fatal: logs where an error (described by the line logged before) happened, then as above.
[[noreturn]] void ZarvError(const char* file, int line, const char* func);
// Logs a failed check and returns.
void ZarvWarning(const char* expression, const char* file, int line, const char* func);

#define ZARV_CHECK(expr)                                                     \
  do {                                                                       \
    if (!(expr)) ZarvFailed(#expr, __FILE__, __LINE__, __PRETTY_FUNCTION__); \
  } while (0)

#define ZARV_ERROR() ZarvError(__FILE__, __LINE__, __PRETTY_FUNCTION__)

#define ZARV_WARNING(expr)                                                    \
  do {                                                                        \
    if (!(expr)) ZarvWarning(#expr, __FILE__, __LINE__, __PRETTY_FUNCTION__); \
  } while (0)
