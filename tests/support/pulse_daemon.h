// Test helper: a private PulseAudio daemon (user mode, its own runtime
// directory, a null sink, the native protocol on its own socket) that this
// test process's clients (SDL's pulseaudio driver, pactl, libpulse) talk to
// while it lives. Killed and cleaned up by the destructor, and by the kernel
// if the test process dies first (child_process.h).
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "support/child_process.h"

// What the tests use of a private server that speaks PulseAudio's protocol,
// whichever server it is: PulseAudio itself, or PipeWire's service
// (pipewire_daemon.h). Its null sink is SINK, the default output.
class PulseServer {
 public:
  static constexpr const char* SINK = "zarv_test";

  PulseServer() = default;
  // The derived server is killed by then; its variables and folder go here.
  virtual ~PulseServer() {
    unsetenv("PULSE_SERVER");
    unsetenv("PULSE_CLIENTCONFIG");
    if (!dir.empty()) std::system(("rm -rf '" + dir + "'").c_str());
  }
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  bool Ready() const { return ready; }
  // Ends the server at once, as a crash would.
  virtual void Kill() = 0;
  // Output of pactl with args against this server; a server that hangs
  // leaves pactl waiting forever, so it gets 10 s.
  std::string Pactl(const std::string& args) const {
    std::string out;
    if (FILE* pipe = popen(("timeout 10 pactl " + args + " 2>/dev/null").c_str(), "r")) {
      char buf[512];
      while (fgets(buf, sizeof buf, pipe)) out += buf;
      pclose(pipe);
    }
    return out;
  }

  // A command line for popen that plays a sound file into SINK, as any
  // program would; held to seconds, so that a server that stops taking
  // sound cannot hold the test's pclose for ever.
  static std::string PlayCommand(const std::string& file, int seconds) {
    return "timeout -k 2 " + std::to_string(seconds) + " paplay --device=" + std::string(SINK) + " '" + file +
           "'";
  }

  std::string dir;  // its runtime folder, with its log in daemon.log

 protected:
  // Ends a child at once and waits for it; nothing once it has gone.
  static void KillChild(pid_t* pid) {
    if (*pid <= 0) return;
    kill(*pid, SIGKILL);
    waitpid(*pid, nullptr, 0);
    *pid = -1;
  }

  bool ready = false;
};

class PulseDaemon : public PulseServer {
 public:
  PulseDaemon() {
    char tmpl[] = "/tmp/zarv-pulse-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return;
    dir = tmpl;
    const std::string native = "module-native-protocol-unix auth-anonymous=1 socket=" + dir + "/native";
    const std::string sink =
        std::string("module-null-sink sink_name=") + SINK + " format=float32le rate=44100";
    std::ofstream(dir + "/client.conf") << "autospawn = no\n";
    pid = StartChild({"pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1",
                      "--log-target=stderr", "-L", native, "-L", sink},
                     [&] {
                       setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
                       setenv("HOME", dir.c_str(), 1);
                       if (!freopen((dir + "/daemon.log").c_str(), "w", stderr)) _exit(126);
                     });
    setenv("PULSE_SERVER", ("unix:" + dir + "/native").c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", (dir + "/client.conf").c_str(), 1);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ready && std::chrono::steady_clock::now() < end) {
      ready = Pactl("info").find(SINK) != std::string::npos;
      if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~PulseDaemon() override { Kill(); }

  void Kill() override { KillChild(&pid); }

  pid_t pid = -1;
};
