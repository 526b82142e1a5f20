// The line is redrawn in place with a carriage return and cleared at the end.
#include "progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int BAR_WIDTH = 30;
constexpr std::chrono::milliseconds REDRAW_EVERY{250};

}  // namespace

namespace {

int ReportFd() {
  const char* fd = std::getenv(ProgressBar::REPORT_FD_VARIABLE);
  return fd != nullptr ? std::atoi(fd) : -1;
}

}  // namespace

ProgressBar::ProgressBar(long totalFrames)
    : shown(isatty(STDERR_FILENO) != 0 && ReportFd() < 0),
      reportFd(ReportFd()),
      total(std::max(totalFrames, 1L)),
      start(Clock::now()) {}

void ProgressBar::Update(long done) {
  if (!shown && reportFd < 0) return;
  const Clock::time_point now = Clock::now();
  if (drawn && now - lastDrawn < REDRAW_EVERY && done < total) return;
  lastDrawn = now;
  drawn = true;
  if (reportFd >= 0) {
    dprintf(reportFd, "%ld %ld\n", done, total);
    return;
  }
  const double seconds = std::chrono::duration<double>(now - start).count();
  const double rate = seconds > 0.0 ? done / seconds : 0.0;
  const long left = rate > 0.0 ? static_cast<long>((total - done) / rate + 0.5) : 0;
  const int filled = static_cast<int>(static_cast<double>(done) / total * BAR_WIDTH);
  std::string bar(static_cast<size_t>(BAR_WIDTH), '.');
  std::fill(bar.begin(), bar.begin() + std::clamp(filled, 0, BAR_WIDTH), '#');
  std::fprintf(stderr, "\r[%s] %ld/%ld frames  %.1f fps  %ld:%02ld left ", bar.c_str(), done, total, rate,
               left / 60, left % 60);
  std::fflush(stderr);
}

void ProgressBar::Finish() {
  if (!shown || !drawn) return;  // a report needs no clearing
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}
