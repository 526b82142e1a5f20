// A connection of our own to the audio server the environment names, as
// every PulseAudio client finds it, on a main loop that only its owner
// iterates. The server is never started on demand.
#pragma once

struct pa_context;
struct pa_mainloop;

class PulseConnection {
 public:
  PulseConnection() = default;
  ~PulseConnection() { Close(); }
  PulseConnection(const PulseConnection&) = delete;
  PulseConnection& operator=(const PulseConnection&) = delete;

  // Begins connecting; false when that cannot even begin (the loop and
  // context are then closed again).
  bool Open();
  // Disconnects and frees the context and the loop; nothing when closed.
  void Close();

  pa_mainloop* loop = nullptr;
  pa_context* context = nullptr;
};
