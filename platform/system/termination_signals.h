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

}  // namespace platform
