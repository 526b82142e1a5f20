// Test helpers for the real window and the real binary: a private Xvfb
// server of a chosen screen size and xdotool queries against that server
// (the programs under test start as child processes, child_process.h).
#pragma once

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

class XvfbServer {
 public:
  // screen is Xvfb's "WIDTHxHEIGHTxDEPTH".
  explicit XvfbServer(const std::string& screen) {
    // Display numbers drawn at random rather than the lowest free one, so a
    // server never takes the number the last one just gave up: a new server
    // on a number freed a moment ago is at times unreachable.
    std::random_device seed;
    std::uniform_int_distribution<int> pick(100, 899);
    for (int attempt = 0; attempt < 8 && display.empty(); ++attempt) {
      const int number = pick(seed);
      if (Start(number, screen) && Reachable(number)) {
        display = ":" + std::to_string(number);
      } else {
        Stop();
      }
    }
  }
  ~XvfbServer() { Stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool Running() const { return !display.empty(); }

  pid_t pid = -1;
  std::string display;  // ":N", empty when the server did not start

 private:
  // True once the server says it is ready; false when it gave up (the
  // number taken, say) or hung before that.
  bool Start(int number, const std::string& screen) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid = StartChild({"Xvfb", ":" + std::to_string(number), "-displayfd", std::to_string(fds[1]), "-screen",
                      "0", screen, "-nolisten", "tcp", "-noreset"},
                     [&] { close(fds[0]); });
    close(fds[1]);
    // Xvfb may write the number and its newline separately, and dies if the
    // pipe is closed before the newline: read up to it, for a while.
    std::string written;
    char c = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      pollfd readable{fds[0], POLLIN, 0};
      const int ready = left.count() > 0 ? poll(&readable, 1, static_cast<int>(left.count())) : 0;
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0 || read(fds[0], &c, 1) != 1 || c == '\n') break;
      written += c;
    }
    close(fds[0]);
    return pid > 0 && c == '\n' && written == std::to_string(number);
  }

  // Whether an X client gets through to the server within a few seconds,
  // each probe bounded too: a server may accept and never answer.
  // (Without -noreset the server would also reset whenever its last client
  // left, refusing connections meanwhile: a query between two launches was
  // enough to make the second fail.)
  static bool Reachable(int number) {
    const std::string probe = "timeout 2 xdpyinfo -display :" + std::to_string(number) + " >/dev/null 2>&1";
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
      if (std::system(probe.c_str()) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  void Stop() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      // A hung server may never act on SIGTERM.
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
          kill(pid, SIGKILL);
          waitpid(pid, nullptr, 0);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    pid = -1;
  }
};

// Output of a shell command run against display, trailing newline removed;
// cut short after 10 s so a hung X client cannot hang the test.
inline std::string RunOn(const std::string& display, const std::string& command) {
  std::string quoted;
  for (char c : command) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  std::string full = "DISPLAY=" + display + " timeout 10 sh -c '" + quoted + "' 2>/dev/null";
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) return {};
  std::string out;
  char buf[256];
  while (fgets(buf, sizeof buf, pipe)) out += buf;
  pclose(pipe);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// Polls until a window whose name matches pattern exists; its id, or empty.
inline std::string WaitForWindow(const std::string& display, const std::string& pattern, double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    std::string id = RunOn(display, "xdotool search --name '" + pattern + "' | head -n 1");
    if (!id.empty()) return id;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return {};
}
