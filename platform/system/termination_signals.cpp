#include "platform/system/termination_signals.h"

#include <signal.h>

#include <csignal>

namespace platform {
namespace {

volatile std::sig_atomic_t g_requested = 0;

extern "C" void note_termination(int) { g_requested = 1; }

}  // namespace

void catch_termination_signals() {
    struct sigaction action {};
    action.sa_handler = note_termination;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait that the signal cuts short returns early, and
    // the pump looks at the request sooner.
    action.sa_flags = 0;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool termination_requested() { return g_requested != 0; }

}  // namespace platform
