// Test helper: a private PipeWire with its PulseAudio service, as Debian's
// desktops run it (a session bus, pipewire, wireplumber, pipewire-pulse),
// all in a runtime folder of its own with no sound card, camera or
// Bluetooth, and the same null sink as PulseDaemon for this test process's
// clients. Killed and cleaned up by the destructor, and by the kernel if the
// test process dies first (child_process.h).
#pragma once

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/pulse_daemon.h"

class PipewireDaemon : public PulseServer {
 public:
  PipewireDaemon() {
    char tmpl[] = "/tmp/zarv-pipewire-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return;
    dir = tmpl;
    // Its wireplumber would otherwise take the machine's sound cards, cameras
    // and Bluetooth, which the desktop's reserves on the real session bus.
    for (const char* sub : {"/config", "/config/wireplumber", "/config/wireplumber/main.lua.d",
                            "/config/wireplumber/bluetooth.lua.d"})
      mkdir((dir + sub).c_str(), 0700);
    std::ofstream(dir + "/config/wireplumber/main.lua.d/51-zarv-test.lua")
        << "alsa_monitor.enabled = false\nv4l2_monitor.enabled = false\nlibcamera_monitor.enabled = false\n";
    std::ofstream(dir + "/config/wireplumber/bluetooth.lua.d/51-zarv-test.lua")
        << "bluez_monitor.enabled = false\n";
    std::ofstream(dir + "/client.conf") << "autospawn = no\n";

    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // Each program connects once at start, so each waits for the one before.
    bus = StartChild({"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + dir + "/bus"},
                     Private());
    if (!AwaitSocket(dir + "/bus", bus, end)) return;
    pipewire = StartChild({"pipewire"}, Private());
    if (!AwaitSocket(dir + "/pipewire-0", pipewire, end)) return;
    wireplumber = StartChild({"wireplumber"}, Private());
    pulse = StartChild({"pipewire-pulse"}, Private());
    setenv("PULSE_SERVER", ("unix:" + dir + "/pulse/native").c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", (dir + "/client.conf").c_str(), 1);

    // The default sink is wireplumber's to set, from what pipewire-pulse
    // asks for, once both are up: asked again until it holds.
    bool loaded = false;
    while (!ready && std::chrono::steady_clock::now() < end) {
      const std::string info = Pactl("info");
      if (!info.empty() && !loaded)
        loaded = !Pactl(std::string("load-module module-null-sink sink_name=") + SINK +
                        " format=float32le rate=44100")
                      .empty();
      ready = info.find(std::string("Default Sink: ") + SINK + "\n") != std::string::npos;
      if (!ready && loaded) Pactl(std::string("set-default-sink ") + SINK);
      if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~PipewireDaemon() override { Kill(); }

  // The PulseAudio service first, so that its clients see the server go
  // rather than its graph stop.
  void Kill() override {
    for (pid_t* pid : {&pulse, &wireplumber, &pipewire, &bus}) KillChild(pid);
  }

  pid_t bus = -1, pipewire = -1, wireplumber = -1, pulse = -1;

 private:
  // A child's preparation: everything it finds through the environment
  // (runtime folder, configuration, state, session bus) is this server's,
  // whatever the test process was started with; its output to daemon.log.
  std::function<void()> Private() const {
    return [this] {
      const std::string config = dir + "/config";
      setenv("HOME", dir.c_str(), 1);
      setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
      // Read ahead of XDG_RUNTIME_DIR by pipewire and its clients; without
      // either (root in CI often has neither), pipewire does not start.
      setenv("PIPEWIRE_RUNTIME_DIR", dir.c_str(), 1);
      setenv("XDG_CONFIG_HOME", config.c_str(), 1);
      setenv("XDG_STATE_HOME", (dir + "/state").c_str(), 1);
      setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
      setenv("XDG_CACHE_HOME", (dir + "/cache").c_str(), 1);
      setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir + "/bus").c_str(), 1);
      for (const char* name : {"PIPEWIRE_REMOTE", "PIPEWIRE_CONFIG_DIR", "PIPEWIRE_CONFIG_NAME",
                               "PULSE_RUNTIME_PATH", "PULSE_SERVER", "DISPLAY", "WAYLAND_DISPLAY"})
        unsetenv(name);
      const std::string log = dir + "/daemon.log";
      if (!freopen(log.c_str(), "a", stderr) || !freopen(log.c_str(), "a", stdout)) _exit(126);
    };
  }
  // Whether a connection to the unix socket at path is accepted before end;
  // false at once when pid, which is to listen there, has ended.
  static bool AwaitSocket(const std::string& path, pid_t& pid, std::chrono::steady_clock::time_point end) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    while (std::chrono::steady_clock::now() < end) {
      const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      const bool accepted = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
      close(fd);
      if (accepted) return true;
      if (pid <= 0 || waitpid(pid, nullptr, WNOHANG) == pid) {
        pid = -1;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
};
