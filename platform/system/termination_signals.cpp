#include "platform/system/termination_signals.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>

namespace platform {
namespace {

volatile std::sig_atomic_t g_requested = 0;  // the signal's number; 0: none yet

extern "C" void note_termination(int signal) {
    if (g_requested == 0) g_requested = signal;
}

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

int termination_signal() { return static_cast<int>(g_requested); }

void die_by_signal(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal);  // not reached: the default action of both signals ends the process
}

}  // namespace platform
