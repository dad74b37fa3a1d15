#include "platform/system/termination_signals.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>

namespace platform {
namespace {

volatile std::sig_atomic_t g_requested = 0;

extern "C" void note_termination(int) { g_requested = 1; }

// The deadline's state, written before its handlers are installed.
struct sigaction g_previous_term {};
struct sigaction g_previous_int {};
bool g_deadline_installed = false;
volatile std::sig_atomic_t g_first_signal = 0;  // the signal that armed the alarm

// Ends the process by `number` with its default action.
void end_by(int number) {
    signal(number, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);  // inside its own handler it is blocked
    raise(number);
    _exit(128 + number);  // not reached
}

extern "C" void deadline_passed(int) {
    end_by(g_first_signal != 0 ? static_cast<int>(g_first_signal) : SIGTERM);
}

extern "C" void termination_with_deadline(int number, siginfo_t* info, void* context) {
    const struct sigaction& previous = number == SIGTERM ? g_previous_term : g_previous_int;
    const bool has_info = (previous.sa_flags & SA_SIGINFO) != 0;
    if (!has_info && previous.sa_handler == SIG_IGN) return;
    if (!has_info && previous.sa_handler == SIG_DFL) end_by(number);
    if (g_first_signal == 0) {
        g_first_signal = number;
        alarm(kTerminationDeadlineSeconds);
    }
    if (has_info) {
        previous.sa_sigaction(number, info, context);
    } else {
        previous.sa_handler(number);
    }
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

void enforce_termination_deadline() {
    if (g_deadline_installed) return;
    g_deadline_installed = true;
    struct sigaction alarm_action {};
    alarm_action.sa_handler = deadline_passed;
    sigemptyset(&alarm_action.sa_mask);
    sigaction(SIGALRM, &alarm_action, nullptr);

    sigaction(SIGTERM, nullptr, &g_previous_term);
    sigaction(SIGINT, nullptr, &g_previous_int);
    struct sigaction action {};
    action.sa_sigaction = termination_with_deadline;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO;  // no SA_RESTART, as above
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace platform
