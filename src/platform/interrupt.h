// Ctrl-C, SIGTERM and SIGHUP (the terminal closed): the first one asks the
// program to end the way it ends itself (the live show as on Escape), then
// exit with status 130. A second
// one, while that runs, ends the live show at once; the capture, which must
// still remove its partial video, takes it as the same request.
#pragma once

namespace platform {

// The exit status of a program ended by a signal, as a shell reports Ctrl-C.
constexpr int EXIT_INTERRUPTED = 130;

// What a signal caught after the first does.
enum class SecondInterrupt { ENDS_PROCESS, ASKS_AGAIN };

// Installs the handlers for SIGINT, SIGTERM and SIGHUP.
void CatchInterrupts(SecondInterrupt second = SecondInterrupt::ENDS_PROCESS);
// True once a caught signal asked the program to end.
bool Interrupted();

}  // namespace platform
