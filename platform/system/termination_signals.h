// SIGTERM and SIGINT as a polite request to end. The handler only notes the
// request; the message pump of a hosted module (see
// platform/hosted/hosted_window_system.h) turns it into a close of the main
// window, so the program ends through its ordinary exit sequence.
#pragma once

namespace platform {

// Installs the handlers. Call it before the window system starts: a
// library that installs its own handlers only does so where it finds the
// default action, and must find ours instead.
void catch_termination_signals();

// True once SIGTERM or SIGINT has arrived.
bool termination_requested();

// The signal that asked for the end (SIGTERM or SIGINT); 0 while none has.
int termination_signal();

// Ends the process by `signal` with its default action, as if it had never
// been caught, so that the parent learns how it ended. Call it after the
// program has cleaned up.
[[noreturn]] void die_by_signal(int signal);

}  // namespace platform
