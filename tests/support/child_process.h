// Test helper: the one way the tests start programs that outlive a function
// call (Xvfb, the PulseAudio daemon, the programs under test). Each child
// is sent SIGKILL when the test process dies, however it dies, so a test
// killed mid-run leaves nothing running.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Starts argv (argv[0] looked up in PATH when it has no slash) once prepare
// has run in the child (its folder, environment, redirections); the child's
// pid, or -1.
inline pid_t StartChild(const std::vector<std::string>& argv, const std::function<void()>& prepare = {}) {
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have gone before the line above took effect.
    if (getppid() != parent) _exit(1);
    if (prepare) prepare();
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  return pid;
}

// A program under test: argv run in directory dir, with DISPLAY set (or
// removed when display is empty), stdout and stderr to files in dir. Killed
// when the object goes if it has not ended.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::string& dir, const std::string& display) {
    pid = StartChild(argv, [&] {
      if (chdir(dir.c_str()) != 0) _exit(126);
      if (display.empty()) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
      } else {
        setenv("DISPLAY", display.c_str(), 1);
      }
      if (!freopen("stdout.txt", "w", stdout) || !freopen("stderr.txt", "w", stderr)) _exit(126);
    });
  }
  ~ChildProcess() {
    if (pid > 0 && !exited) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits up to seconds; the exit status, or -1 if still running or killed by a signal.
  int Wait(double seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!exited) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        exited = true;
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        break;
      }
      if (std::chrono::steady_clock::now() > end) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return exitStatus;
  }

  pid_t pid = -1;
  bool exited = false;
  int exitStatus = -1;
};
