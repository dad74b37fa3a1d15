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

// The deadline's state, written before its handlers are installed.
struct sigaction g_previous_term {};
struct sigaction g_previous_int {};
bool g_deadline_installed = false;
volatile std::sig_atomic_t g_first_signal = 0;  // the signal that armed the alarm

extern "C" void deadline_passed(int) {
    die_by_signal(g_first_signal != 0 ? static_cast<int>(g_first_signal) : SIGTERM);
}

extern "C" void termination_with_deadline(int number, siginfo_t* info, void* context) {
    const struct sigaction& previous = number == SIGTERM ? g_previous_term : g_previous_int;
    const bool has_info = (previous.sa_flags & SA_SIGINFO) != 0;
    if (!has_info && previous.sa_handler == SIG_IGN) return;
    if (!has_info && previous.sa_handler == SIG_DFL) die_by_signal(number);
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

int termination_signal() { return static_cast<int>(g_requested); }

void die_by_signal(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    // Inside the signal's own handler it is blocked.
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal);  // not reached: the default action of both signals ends the process
}

}  // namespace platform
