// Log lines go to the file first, then (with the echo on) to stderr, each
// written whole at once, unbuffered, so the file is complete whenever the
// process ends.
#include "foundation/debug.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool Log::logging = false;
bool Log::cerr = false;
int Log::file = -1;

namespace {

// A failure must not look like success to the shell that ran the show.
constexpr int FATAL_EXIT_STATUS = 1;

FatalExit fatalExit = std::exit;

// What ShareFile set for the next Start, and the prefix the lines get.
struct Sharing {
  bool appends = false;
  std::string prefix;
} sharing;

void WriteLine(const char* text) {
  std::string line = sharing.prefix;
  for (const char* c = text; *c != '\0'; ++c) {
    line += *c;
    // A message of several lines gets the prefix on each.
    if (*c == '\n') line += sharing.prefix;
  }
  line += '\n';
  // A write is cut short only by a full disk; the rest follows until a write fails.
  for (size_t done = 0; Log::file >= 0 && done < line.size();) {
    const ssize_t n = write(Log::file, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  // The echo is left bare: whoever reads a process's stderr knows which it is.
  if (Log::cerr) {
    std::fputs(text, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
  }
}

[[noreturn]] void ExitFatally() {
  fatalExit(FATAL_EXIT_STATUS);
  std::abort();  // a handler that returned broke its contract
}

[[noreturn]] void EndProcess() {
  Log::End();
  ExitFatally();
}

}  // namespace

void SetFatalExit(FatalExit handler) { fatalExit = handler != nullptr ? handler : std::exit; }

void Log::Start(const std::string& name, bool echo) {
  logging = true;
  cerr = echo;
  const int mode = O_WRONLY | O_CREAT | O_CLOEXEC | (sharing.appends ? O_APPEND : O_TRUNC);
  if (file >= 0 || (file = open(name.c_str(), mode, 0666)) < 0) {
    std::fputs("cannot open log file\n", stderr);
    std::fflush(stderr);
    ExitFatally();
  }
}

void Log::ShareFile(const std::string& prefix) {
  sharing.appends = true;
  sharing.prefix = prefix;
}

void Log::Msg(const std::string& text) {
  if (!logging) return;
  WriteLine(text.c_str());
}

void Log::Msg(const char* format, ...) {
  static char buf[BUFFER_SIZE];
  if (format == nullptr || !logging) return;
  if (std::strlen(format) >= static_cast<size_t>(BUFFER_SIZE)) {
    Msg("Log message is too long (>2048)!");
    ZarvError(__FILE__, __LINE__, "void Log::Msg(const char*, ...)");
  }
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  WriteLine(buf);
}

void Log::End() {
  if (file >= 0) close(file);
  file = -1;
  logging = false;
  cerr = false;
  sharing = Sharing();
}

void ZarvFailed(const char* expression, const char* file, int line, const char* func) {
  Log::Msg("ZARV_FAILED: expression: %s file: %s line: %d func: %s", expression, file, line, func);
  EndProcess();
}

void ZarvError(const char* file, int line, const char* func) {
  Log::Msg("ZARV ERROR: file: %s line: %d func: %s", file, line, func);
  EndProcess();
}

void ZarvWarning(const char* expression, const char* file, int line, const char* func) {
  Log::Msg("ZARV WARNING: expression: %s file: %s line: %d func: %s", expression, file, line, func);
}
