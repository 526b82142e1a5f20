// Ctrl-C and SIGTERM for the live show: the first one ends the show the way
// Escape does (its normal shutdown, then exit status 130); a second one,
// while that shutdown runs, ends the process at once.
#pragma once

namespace platform {

// The exit status of a show ended by a signal, as a shell reports Ctrl-C.
constexpr int EXIT_INTERRUPTED = 130;

// Installs the handlers for SIGINT and SIGTERM.
void CatchInterrupts();
// True once a caught signal asked the show to end.
bool Interrupted();

}  // namespace platform
