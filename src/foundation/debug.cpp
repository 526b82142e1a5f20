// Log lines go to the file first, then (with the echo on) to stderr, each
// flushed at once so the file is complete whenever the process ends.
#include "foundation/debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool Log::logging = false;
bool Log::cerr = false;
std::ofstream Log::file;

namespace {

// A failure must not look like success to the shell that ran the show.
constexpr int FATAL_EXIT_STATUS = 1;

FatalExit fatalExit = std::exit;

void WriteLine(const char* text) {
  if (!Log::file.fail()) {
    Log::file << text << '\n';
    Log::file.flush();
  }
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
  file.open(name, std::ios::out | std::ios::trunc);
  if (file.fail()) {
    std::fputs("cannot open log file\n", stderr);
    std::fflush(stderr);
    ExitFatally();
  }
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
  if (!file.fail()) {
    file.close();
    if (file.fail()) file.setstate(std::ios::failbit);
  }
  logging = false;
  cerr = false;
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
