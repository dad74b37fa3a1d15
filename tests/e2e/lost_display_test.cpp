// The display as a user's desktop provides it, and taken away: every start
// either shows its window or says that no display could be opened, and a
// program whose X server goes away ends by itself and releases its lock.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "e2e_session.h"

namespace e2e {
namespace {

// SDL picks its video driver itself, as on a desktop.
const EnvChanges kDesktopVideo = {{"SDL_VIDEODRIVER", std::nullopt}};

size_t start_count() {
    const char* text = std::getenv("AQUARIUM_E2E_STARTS");
    return text != nullptr && *text != '\0' ? static_cast<size_t>(std::strtoull(text, nullptr, 10)) : 6;
}

class LostDisplayTest : public AquariumTest {
protected:
    // Waits up to `limit` for the program to end; its status.
    std::optional<ExitStatus> ends_within(Process& process, Milliseconds limit) {
        return process.wait_for_exit(limit);
    }
};

TEST_F(LostDisplayTest, WithoutAReachableDisplayTheProgramSaysSoAndSettlesOnNothingElse) {
    EnvChanges env = kDesktopVideo;
    env.push_back({"DISPLAY", std::string(":987")});  // no server there
    Process aquarium = launch({"-s"}, env);
    const std::optional<ExitStatus> status = aquarium.wait_for_exit(20s);
    ASSERT_TRUE(status.has_value()) << "the program did not end";
    EXPECT_TRUE(status->exited) << status->describe();
    const std::string errors = aquarium.errors();
    EXPECT_NE(errors.find("aquarium: no display could be opened (DISPLAY=:987)"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("compatible Direct3D"), std::string::npos) << "it settled on a driver without a display:\n"
                                                                     << errors;
}

// The first X connection fails, as it does for a moment on a busy server:
// SDL must not settle on a driver without a display; the start is tried
// again. When every connection fails, the program says so.
TEST_F(LostDisplayTest, AFirstXConnectionThatFailsIsTriedAgainAndNeverEndsInAnotherDriver) {
    EnvChanges env = kDesktopVideo;
    env.push_back({"LD_PRELOAD", std::string(REFUSE_X_CONNECTIONS)});
    env.push_back({"AQUARIUM_TEST_REFUSED_X_CONNECTIONS", std::string("1")});
    Process aquarium = launch({"-s"}, env);
    EXPECT_TRUE(wait_for_window(aquarium).has_value()) << aquarium.errors();
    aquarium.signal(SIGTERM);
    const std::optional<ExitStatus> status = aquarium.wait_for_exit(10s);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->clean()) << status->describe();
    EXPECT_EQ(aquarium.errors(), "");

    env.back().second = "1000";
    Process refused = launch({"-s"}, env);
    ASSERT_TRUE(refused.wait_for_exit(20s).has_value()) << "the program did not end";
    const std::string errors = refused.errors();
    EXPECT_NE(errors.find("aquarium: no display could be opened"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("compatible Direct3D"), std::string::npos) << errors;
}

// AQUARIUM_E2E_STARTS=300 makes this the long loop of starts.
TEST_F(LostDisplayTest, EveryStartOnTheDesktopsOwnDriverShowsItsWindow) {
    const size_t starts = start_count();
    size_t failed = 0;
    std::string first_failure;
    for (size_t n = 0; n < starts; ++n) {
        Process aquarium = launch({"-s"}, kDesktopVideo);
        const bool shown = wait_for_window(aquarium, 30s).has_value();
        const bool running = aquarium.running();
        aquarium.signal(SIGTERM);
        const std::optional<ExitStatus> status = aquarium.wait_for_exit(10s);
        const bool clean = shown && running && status.has_value() && status->clean() && aquarium.errors().empty();
        if (!clean) {
            ++failed;
            if (first_failure.empty()) {
                first_failure = "start " + std::to_string(n) + ": " + (shown ? "window shown" : "no window") + ", " +
                                (status ? status->describe() : "still running") + ", errors: " + aquarium.errors();
            }
        }
    }
    std::printf("[ e2e ] %zu starts, %zu failed\n", starts, failed);
    EXPECT_EQ(failed, 0u) << first_failure;
}

TEST_F(LostDisplayTest, RunModeEndsByItselfWhenItsServerGoesAwayAndFreesTheLock) {
    Process aquarium = launch({"-s"});
    ASSERT_TRUE(wait_for_full_screen_picture(aquarium).has_value()) << aquarium.errors();
    x_.close();
    server_.stop();
    const std::optional<ExitStatus> status = ends_within(aquarium, 5s);
    ASSERT_TRUE(status.has_value()) << "still running without its display";
    EXPECT_NE(status->signal, SIGKILL);

    // The next start on a new server is not refused by a lock left behind.
    std::string error;
    ASSERT_TRUE(server_.start(error, dir_ + "/xvfb-2.log")) << error;
    ASSERT_TRUE(x_.open(server_.display()));
    server_.export_environment();
    Process again = launch({"-s"});
    EXPECT_TRUE(wait_for_window(again).has_value()) << again.errors();
    again.signal(SIGTERM);
    EXPECT_TRUE(again.wait_for_exit(10s).has_value());
}

TEST_F(LostDisplayTest, AModuleEndsByItselfWhenItsServerGoesAway) {
    const uint32_t host = x_.create_host_window(0, 0, 320, 240);
    char id[32];
    std::snprintf(id, sizeof id, "0x%x", host);
    Process module = launch({"-window-id", id});
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(module.running()) << module.errors();
    x_.close();
    server_.stop();
    EXPECT_TRUE(ends_within(module, 5s).has_value()) << "still running without its display";
}

}  // namespace
}  // namespace e2e
