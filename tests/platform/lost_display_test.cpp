// What a lost display must never cost: a start that lands on SDL's display-
// less driver is refused and tried once more, and a termination request
// ends a process stuck in a call that never returns.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sdl/video_session.h"
#include "platform/sdl/video_start.h"
#include "platform/system/termination_signals.h"

namespace {

using platform::sdl::start_video_on_display;
using platform::sdl::VideoStartSteps;

// A scripted video subsystem: each start lands on the next driver of the
// script (nullptr: the start fails).
struct FakeVideo {
    std::vector<const char*> script;
    size_t starts = 0;
    int running = 0;
    int pauses = 0;
    const char* current = nullptr;
};
FakeVideo* g_video = nullptr;

VideoStartSteps fake_steps() {
    return VideoStartSteps{
        [] {
            const char* driver = g_video->script[g_video->starts++];
            if (driver == nullptr) return false;
            g_video->current = driver;
            ++g_video->running;
            return true;
        },
        [] { return g_video->current; },
        [] { --g_video->running; },
        [] { ++g_video->pauses; },
        [] { return "could not open the display"; },
    };
}

TEST(VideoStart, OnlyTheSessionsDriverIsAcceptedAndAFailedStartIsTriedOnceMore) {
    struct Case {
        const char* wanted;
        std::vector<const char*> script;
        bool started;
        size_t starts;
        const char* problem;
    };
    const Case cases[] = {
        {"x11", {"x11"}, true, 1, ""},
        {"x11", {"offscreen", "x11"}, true, 2, ""},
        {"x11", {nullptr, "x11"}, true, 2, ""},
        {"x11", {"offscreen", "offscreen"}, false, 2, "only the video driver \"offscreen\" could be started"},
        {"x11", {"dummy", nullptr}, false, 2, "could not open the display"},
        {"x11", {nullptr, nullptr}, false, 2, "could not open the display"},
        {"x11", {"wayland", "KMSDRM"}, false, 2, "only the video driver \"KMSDRM\" could be started"},
        {"wayland", {"wayland"}, true, 1, ""},
        {"wayland", {"x11", "x11"}, false, 2, "only the video driver \"x11\" could be started"},
    };
    for (const Case& c : cases) {
        FakeVideo video{c.script};
        g_video = &video;
        char problem[128] = "";
        EXPECT_EQ(start_video_on_display(fake_steps(), c.wanted, problem, sizeof problem), c.started) << c.script[0];
        EXPECT_EQ(video.starts, c.starts);
        EXPECT_EQ(video.pauses, static_cast<int>(c.starts) - 1);
        EXPECT_EQ(video.running, c.started ? 1 : 0) << "a refused driver must be stopped";
        if (!c.started) {
            EXPECT_STREQ(problem, c.problem);
        }
    }
    g_video = nullptr;
}

TEST(VideoSession, ForcedByTheVariableElseWaylandWhereTheCompositorFitsAndX11ForOtherProgramsWindows) {
    using platform::sdl::VideoSession;
    struct Case {
        const char* forced;
        const char* wayland_display;
        bool needs_x11;
        bool compositor_fits;
        VideoSession chosen;
    };
    const Case cases[] = {
        {nullptr, "wayland-1", false, true, VideoSession::wayland},
        {nullptr, "wayland-1", false, false, VideoSession::x11},  // no xdg-shell: XWayland
        {nullptr, nullptr, false, true, VideoSession::x11},
        {nullptr, "", false, true, VideoSession::x11},
        {"x11", "wayland-1", false, true, VideoSession::x11},
        {"wayland", nullptr, false, false, VideoSession::wayland},
        {"Wayland", "wayland-1", false, false, VideoSession::x11},  // unknown values choose by the session
        {"wayland", "wayland-1", true, true, VideoSession::x11},    // previews and modules
        {nullptr, "wayland-1", true, true, VideoSession::x11},
    };
    for (const Case& c : cases) {
        const platform::sdl::VideoSessionFacts facts{c.forced, c.wayland_display, c.needs_x11, c.compositor_fits};
        EXPECT_EQ(platform::sdl::choose_video_session(facts), c.chosen)
            << (c.forced ? c.forced : "-") << " " << (c.wayland_display ? c.wayland_display : "-") << " "
            << c.needs_x11;
    }
}

// How a child that arranges its signals and then blocks for ever ends when
// sent `number` half a second after it started (and `then`, when not 0, a
// little later), and how long that took.
struct Ending {
    int status;
    double seconds;  // from the first signal to the end
};

Ending end_stuck_child(int number, void (*arrange)(), int then = 0) {
    const pid_t child = fork();
    if (child == 0) {
        arrange();
        for (;;) pause();  // a driver call that never returns
    }
    struct timespec half {
        0, 500000000
    };
    nanosleep(&half, nullptr);
    const auto sent = std::chrono::steady_clock::now();
    kill(child, number);
    if (then != 0) {
        struct timespec fifth {
            0, 200000000
        };
        nanosleep(&fifth, nullptr);
        kill(child, then);
    }
    int status = 0;
    for (int waited = 0; waited < 100; ++waited) {
        if (waitpid(child, &status, WNOHANG) == child) {
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
            return Ending{status, seconds};
        }
        struct timespec tenth {
            0, 100000000
        };
        nanosleep(&tenth, nullptr);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return Ending{-1, 10.0};
}

// A library's handler that only notes the request, as SDL's does.
volatile sig_atomic_t g_noted = 0;
void note_only(int) { g_noted = 1; }

TEST(TerminationDeadline, ARequestEndsAStuckProcessWithinTheDeadlineByTheFirstSignal) {
    struct Case {
        int first, then;
    };
    for (const Case c : {Case{SIGTERM, 0}, Case{SIGINT, 0}, Case{SIGINT, SIGTERM}}) {
        SCOPED_TRACE(std::string(strsignal(c.first)) + (c.then != 0 ? " then another" : ""));
        // Our own handler (a module), then a library's installed first (run mode).
        for (void (*arrange)() : {+[] {
                                      platform::catch_termination_signals();
                                      platform::enforce_termination_deadline();
                                  },
                                  +[] {
                                      signal(SIGTERM, note_only);
                                      signal(SIGINT, note_only);
                                      platform::enforce_termination_deadline();
                                      platform::enforce_termination_deadline();  // a second call changes nothing
                                  }}) {
            const Ending ending = end_stuck_child(c.first, arrange, c.then);
            ASSERT_NE(ending.status, -1) << "the stuck process ignored the request";
            EXPECT_TRUE(WIFSIGNALED(ending.status));
            EXPECT_EQ(WTERMSIG(ending.status), c.first);
            // Two seconds of wall time, with room for a loaded machine.
            EXPECT_GT(ending.seconds, 1.5);
            EXPECT_LT(ending.seconds, 3.5);
        }
    }
}

TEST(TerminationDeadline, IgnoredSignalsStayIgnoredAndDefaultOnesEndAtOnce) {
    const Ending ignored = end_stuck_child(SIGINT, [] {
        signal(SIGINT, SIG_IGN);  // a program started in the background
        signal(SIGTERM, SIG_DFL);
        platform::enforce_termination_deadline();
        raise(SIGINT);
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::seconds(platform::kTerminationDeadlineSeconds + 1);
        while (std::chrono::steady_clock::now() < until) {}
        _exit(7);  // still alive after the deadline
    });
    EXPECT_TRUE(WIFEXITED(ignored.status) && WEXITSTATUS(ignored.status) == 7) << ignored.status;

    const Ending by_default = end_stuck_child(SIGTERM, [] {
        signal(SIGTERM, SIG_DFL);
        platform::enforce_termination_deadline();
    });
    EXPECT_TRUE(WIFSIGNALED(by_default.status) && WTERMSIG(by_default.status) == SIGTERM);
    EXPECT_LT(by_default.seconds, 1.0);
}

}  // namespace
