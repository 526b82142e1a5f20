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
  // Runs the loop without ever waiting, at most most times or until it has
  // nothing more to dispatch; afterEach() runs after every iteration.
  template <typename AfterEach>
  void Pump(int most, AfterEach afterEach);
  void Pump(int most) {
    Pump(most, [] {});
  }

  pa_mainloop* loop = nullptr;
  pa_context* context = nullptr;

 private:
  // One iteration that does not wait; how many sources it dispatched.
  int Iterate();
};

template <typename AfterEach>
void PulseConnection::Pump(int most, AfterEach afterEach) {
  for (int i = 0; i < most; ++i) {
    const int dispatched = Iterate();
    afterEach();
    if (dispatched <= 0) break;
  }
}
