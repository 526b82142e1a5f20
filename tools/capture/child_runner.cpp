// A child is forked rather than spawned, since only between fork and exec
// can it take a group of its own and die with its parent; everything it
// needs there is made before the fork, so that it calls only what is safe
// in a child of a threaded process. Its progress is what its whole group
// has read and written, as /proc counts it, so a program rewriting its
// output in place is as alive as one appending to it.
#include "child_runner.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/interrupt.h"

extern char** environ;

namespace {

// How often Wait looks in on a child, and how often its group's bytes are read.
constexpr auto CHECK_EVERY = std::chrono::milliseconds(20);
constexpr auto LOOK_AT_GROUP_EVERY = std::chrono::milliseconds(500);
// How long a blocked read or write waits before it looks at its stop flag again.
constexpr int POLL_MS = 100;

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", seconds);
  return text;
}

// The program argv[0] names: as it is with a slash, else the first on PATH.
std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr && *path != '\0' ? path : "/usr/local/bin:/usr/bin:/bin";
  for (size_t start = 0; start <= folders.size();) {
    size_t colon = folders.find(':', start);
    if (colon == std::string::npos) colon = folders.size();
    const std::string folder = colon > start ? folders.substr(start, colon - start) : ".";
    const std::string candidate = folder + "/" + name;
    struct stat info = {};
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = colon + 1;
  }
  return "";
}

// This process's environment with the command's settings over it.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& settings) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const std::string& s : settings)
      replaced = replaced || s.compare(0, name.size() + 1, name + "=") == 0;
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), settings.begin(), settings.end());
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>* words) {
  std::vector<char*> pointers;
  for (std::string& w : *words) pointers.push_back(w.data());
  pointers.push_back(nullptr);
  return pointers;
}

// A process as /proc shows it: its state letter and group, false when it has gone.
bool ReadStat(const std::string& pid, char* state, pid_t* group, std::string* name) {
  std::ifstream in("/proc/" + pid + "/stat");
  std::string text;
  if (!std::getline(in, text)) return false;
  const size_t open = text.find('('), close = text.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  *name = text.substr(open + 1, close - open - 1);
  int parent = 0, g = 0;
  if (std::sscanf(text.c_str() + close + 1, " %c %d %d", state, &parent, &g) != 3) return false;
  *group = g;
  return true;
}

// The processes of a group, as numbers in /proc.
std::vector<std::string> GroupMembers(pid_t group) {
  std::vector<std::string> members;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return members;
  while (const dirent* entry = readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    char state = 0;
    pid_t g = 0;
    std::string name;
    if (ReadStat(entry->d_name, &state, &g, &name) && g == group) members.emplace_back(entry->d_name);
  }
  closedir(proc);
  return members;
}

// Bytes a process has read and written, through any file or pipe.
unsigned long long BytesMoved(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/io");
  unsigned long long total = 0, value = 0;
  std::string key;
  while (in >> key >> value) {
    if (key == "rchar:" || key == "wchar:") total += value;
  }
  return total;
}

}  // namespace

double BoundSeconds(double seconds) {
  static const double scale = [] {
    const char* text = std::getenv(BOUNDS_SCALE_VARIABLE);
    const double value = text != nullptr ? std::atof(text) : 1.0;
    return value > 0.0 && value <= 1.0 ? value : 1.0;
  }();
  return seconds * scale;
}

void TakeChildSignals() {
  signal(SIGCHLD, SIG_DFL);
  signal(SIGPIPE, SIG_IGN);
}

Child::~Child() {
  if (Running()) {
    Stop();
    while (Check()) std::this_thread::sleep_for(CHECK_EVERY);
  }
  EndErrorReader();
  for (int fd : {inputFd, reportFd}) {
    if (fd >= 0) close(fd);
  }
}

bool Child::Start(const Command& c, std::string* error) {
  command = c;
  TakeChildSignals();
  const std::string program = FindProgram(c.argv.at(0));
  if (program.empty()) {
    *error = "cannot run " + c.name + ": there is no " + c.argv[0] + " on PATH (is it installed?)";
    return false;
  }
  std::vector<std::string> args = c.argv, env = EnvironmentWith(c.environment);
  std::vector<char*> argv = Pointers(&args), envp = Pointers(&env);
  // Pipes: [0] read end, [1] write end; the child's ends are closed here once it runs.
  int input[2] = {-1, -1}, reports[2] = {-1, -1}, errors[2] = {-1, -1}, execFailed[2] = {-1, -1};
  const auto closeAll = [&] {
    for (int* p : {input, reports, errors, execFailed}) {
      for (int i : {0, 1}) {
        if (p[i] >= 0) close(p[i]);
        p[i] = -1;
      }
    }
  };
  if ((c.input && pipe2(input, O_CLOEXEC) != 0) || (c.reports && pipe2(reports, O_CLOEXEC) != 0) ||
      pipe2(errors, O_CLOEXEC) != 0 || pipe2(execFailed, O_CLOEXEC) != 0) {
    *error = "cannot start " + c.name + ": cannot make a pipe: " + std::strerror(errno);
    closeAll();
    return false;
  }
  const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t parent = getpid();
  const pid_t forked = fork();
  if (forked == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have gone before the line above took effect.
    if (getppid() != parent) _exit(127);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int s : {SIGPIPE, SIGCHLD, SIGINT, SIGTERM, SIGHUP}) signal(s, SIG_DFL);
    dup2(c.input ? input[0] : devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(errors[1], STDERR_FILENO);
    if (c.reports) dup2(reports[1], 3);
    execve(program.c_str(), argv.data(), envp.data());
    const int why = errno;
    if (write(execFailed[1], &why, sizeof why) < 0) _exit(127);
    _exit(127);
  }
  const int forkError = errno;
  if (devNull >= 0) close(devNull);
  if (forked < 0) {
    *error = "cannot start " + c.name + ": " + std::strerror(forkError);
    closeAll();
    return false;
  }
  // Set from both sides, so that it holds before either goes on.
  setpgid(forked, forked);
  pid = forked;
  started = lastProgress = lastLook = Clock::now();
  close(execFailed[1]);
  execFailed[1] = -1;
  int why = 0;
  ssize_t got = -1;
  while ((got = read(execFailed[0], &why, sizeof why)) < 0 && errno == EINTR) {
  }
  inputFd = input[1];
  reportFd = reports[0];
  errorFd = errors[0];
  input[1] = reports[0] = errors[0] = -1;
  closeAll();
  if (inputFd >= 0) {
    fcntl(inputFd, F_SETFL, fcntl(inputFd, F_GETFL) | O_NONBLOCK);
    if (c.inputPipeBytes > 0) fcntl(inputFd, F_SETPIPE_SZ, c.inputPipeBytes);
  }
  if (reportFd >= 0) fcntl(reportFd, F_SETFL, fcntl(reportFd, F_GETFL) | O_NONBLOCK);
  errorReader = std::thread(&Child::ReadErrors, this);
  if (got == static_cast<ssize_t>(sizeof why)) {
    while (Check()) std::this_thread::sleep_for(CHECK_EVERY);
    *error = "cannot run " + c.name + ": " + program + ": " + std::strerror(why);
    return false;
  }
  return true;
}

bool Child::Feed(const unsigned char* data, size_t size) {
  while (size > 0) {
    if (feedStopped || inputFd < 0) return false;
    const ssize_t n = write(inputFd, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd ready = {inputFd, POLLOUT, 0};
      poll(&ready, 1, POLL_MS);
    } else if (n < 0 && errno != EINTR) {
      return false;
    }
  }
  return true;
}

void Child::CloseInput() {
  if (inputFd >= 0) close(inputFd);
  inputFd = -1;
}

std::vector<std::string> Child::ReadReports() {
  std::vector<std::string> lines;
  char buffer[512];
  while (reportFd >= 0) {
    const ssize_t n = read(reportFd, buffer, sizeof buffer);
    if (n > 0) {
      lastProgress = Clock::now();
      reportPending.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
      close(reportFd);
      reportFd = -1;
    }
    break;
  }
  for (size_t newline; (newline = reportPending.find('\n')) != std::string::npos;) {
    lines.push_back(reportPending.substr(0, newline));
    reportPending.erase(0, newline + 1);
  }
  return lines;
}

bool Child::Check() {
  if (!Running()) return false;
  if (Reap()) {
    over = true;
    EndErrorReader();
    return false;
  }
  const Clock::time_point now = Clock::now();
  if (!termed) {
    if (command.stallSeconds > 0 && now - lastLook >= LOOK_AT_GROUP_EVERY && MadeProgress())
      lastProgress = now;
    const std::chrono::duration<double> quiet = now - lastProgress, running = now - started;
    if (command.stallSeconds > 0 && quiet.count() > command.stallSeconds) {
      why = Why::STALLED;
      Stop();
    } else if (command.deadlineSeconds > 0 && running.count() > command.deadlineSeconds) {
      why = Why::LATE;
      Stop();
    }
  }
  if (termed && !killed && std::chrono::duration<double>(now - termSent).count() >= command.graceSeconds) {
    Signal(SIGKILL);
    killed = true;
    killSent = now;
  }
  if (killed && std::chrono::duration<double>(now - killSent).count() >= BoundSeconds(AFTER_KILL_SECONDS)) {
    for (const std::string& member : GroupMembers(pid)) {
      char state = 0;
      pid_t group = 0;
      std::string name;
      if (!ReadStat(member, &state, &group, &name) || state == 'Z') continue;
      left +=
          std::string(left.empty() ? "" : ", ") + "pid " + member + " (" + name + ", state " + state + ")";
    }
    // Gone since SIGKILL without being reaped yet: its status is still there.
    if (left.empty()) Reap();
    over = true;
    EndErrorReader();
    return false;
  }
  return true;
}

void Child::Stop() {
  if (!Running() || termed) return;
  if (why == Why::NONE) why = Why::ASKED;
  Signal(SIGTERM);
  termed = true;
  termSent = Clock::now();
}

void Child::Wait() {
  while (Check()) {
    if (platform::Interrupted()) Stop();
    std::this_thread::sleep_for(CHECK_EVERY);
  }
}

bool Child::Succeeded() const { return ExitStatus() == 0 && why == Why::NONE; }

int Child::ExitStatus() const { return reaped && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

std::string Child::Failure() const {
  const std::string& name = command.name;
  std::string how;
  if (why == Why::STALLED) {
    how = name + " is stuck: it made no progress for " + SecondsText(command.stallSeconds) +
          ", so it was stopped";
  } else if (why == Why::LATE) {
    how = name + " is stuck: it did not finish within " + SecondsText(command.deadlineSeconds) +
          ", so it was stopped";
  } else if (reaped && WIFEXITED(status)) {
    how = name + " failed with exit status " + std::to_string(WEXITSTATUS(status));
  } else if (reaped && WIFSIGNALED(status)) {
    how = name + " was ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
          strsignal(WTERMSIG(status)) + ")";
  } else if (left.empty()) {
    how = name + "'s exit status was lost, so what it made cannot be trusted";
  } else {
    how = name + " was stopped";
  }
  if (!left.empty()) {
    how += "; " + left + " did not end after SIGKILL (an uninterruptible wait, such as in a graphics driver)";
  }
  // An echoed child's words were heard as it said them.
  const std::string tail = command.echo ? "" : ErrorTail();
  return tail.empty() ? how : how + ":\n" + tail;
}

std::string Child::ErrorTail() const {
  std::lock_guard<std::mutex> held(errorLock);
  std::string tail = errorTail;
  while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r' || tail.back() == ' ')) tail.pop_back();
  return tail;
}

void Child::ReadErrors() {
  std::string line;  // a line to echo, not yet whole
  const auto echo = [&](const std::string& text) {
    const std::string out = command.name + ": " + text + "\n";
    if (write(STDERR_FILENO, out.data(), out.size()) < 0) return;
  };
  char buffer[4096];
  // Once the child is over, what is still in the pipe is read, but not what
  // a process left behind goes on writing.
  int readsAfterEnd = 0;
  for (;;) {
    pollfd ready = {errorFd, POLLIN, 0};
    const int polled = poll(&ready, 1, errorsDone ? 0 : POLL_MS);
    if (errorsDone && (polled == 0 || ++readsAfterEnd > 16)) break;
    if (polled == 0) continue;
    if (polled < 0 && errno == EINTR) continue;
    const ssize_t n = polled < 0 ? -1 : read(errorFd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    errorBytes += static_cast<unsigned long long>(n);
    {
      std::lock_guard<std::mutex> held(errorLock);
      errorTail.append(buffer, static_cast<size_t>(n));
      if (errorTail.size() > ERROR_TAIL_BYTES) errorTail.erase(0, errorTail.size() - ERROR_TAIL_BYTES);
    }
    if (!command.echo) continue;
    line.append(buffer, static_cast<size_t>(n));
    for (size_t newline; (newline = line.find('\n')) != std::string::npos;) {
      echo(line.substr(0, newline));
      line.erase(0, newline + 1);
    }
    // A child that never ends its line is still heard, a screenful at a time.
    if (line.size() > ERROR_TAIL_BYTES) {
      echo(line);
      line.clear();
    }
  }
  if (command.echo && !line.empty()) echo(line);
}

bool Child::Reap() {
  siginfo_t info = {};
  if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
    // Not ours to wait for any more: its status is gone.
    return errno == ECHILD;
  }
  if (info.si_pid == 0) return false;
  // While it is not yet reaped its group's id cannot be taken by another, so
  // whatever it left running can be ended safely.
  kill(-pid, SIGKILL);
  int raw = 0;
  while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
  }
  status = raw;
  reaped = true;
  return true;
}

bool Child::MadeProgress() {
  lastLook = Clock::now();
  unsigned long long bytes = 0;
  for (const std::string& member : GroupMembers(pid)) bytes += BytesMoved(member);
  const unsigned long long said = errorBytes;
  const bool moved = bytes != groupBytes || said != errorBytesSeen;
  groupBytes = bytes;
  errorBytesSeen = said;
  return moved;
}

void Child::Signal(int signal) {
  if (kill(-pid, signal) != 0) kill(pid, signal);
}

void Child::EndErrorReader() {
  errorsDone = true;
  if (errorReader.joinable()) errorReader.join();
  if (errorFd >= 0) close(errorFd);
  errorFd = -1;
}
