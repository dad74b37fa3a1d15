// SIGTERM and SIGINT as a polite request to end. The handler only notes the
// request; the message pump of a hosted module (see
// platform/hosted/hosted_window_system.h) turns it into a close of the main
// window, so the program ends through its ordinary exit sequence.
//
// A polite request is not enough when the program is stuck in a call that
// never returns (a driver waiting for a display that went away): with the
// deadline enforced, the first request also arms an alarm, and when the
// program has not ended kTerminationDeadlineSeconds later, the alarm ends it
// by the signal that was sent. The instance lock is a lock on an open file,
// so it goes with the process.
#pragma once

namespace platform {

inline constexpr unsigned kTerminationDeadlineSeconds = 2;

// Installs the handlers. Call it before the window system starts: a
// library that installs its own handlers only does so where it finds the
// default action, and must find ours instead.
void catch_termination_signals();

// True once SIGTERM or SIGINT has arrived.
bool termination_requested();

// Puts the deadline in front of whatever handles SIGTERM and SIGINT now
// (ours, or a library's, which keeps running first in line): call it after
// those handlers are installed. A signal that is ignored stays ignored; one
// with the default action still ends the process at once. Later calls do
// nothing.
void enforce_termination_deadline();

// The signal that asked for the end (SIGTERM or SIGINT); 0 while none has.
int termination_signal();

// Ends the process by `signal` with its default action, as if it had never
// been caught, so that the parent learns how it ended. Call it after the
// program has cleaned up.
[[noreturn]] void die_by_signal(int signal);

}  // namespace platform
