// The power rules in the real program, with the power state scripted
// through the test hook AQUARIUM_TEST_POWER_FILE (no X server here offers
// DPMS, and the machine's battery is not ours to unplug).
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include "e2e_session.h"

namespace e2e {
namespace {

// Processor time a process has used so far, all its threads, in seconds.
double processor_seconds(pid_t pid) {
    const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    const size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos) return 0.0;
    std::istringstream fields(stat.substr(name_end + 1));
    std::string skipped;
    for (int field = 3; field < 14; ++field) fields >> skipped;  // the state up to the major faults
    long long user_ticks = 0, system_ticks = 0;
    fields >> user_ticks >> system_ticks;
    return static_cast<double>(user_ticks + system_ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class PowerTest : public AquariumTest {
protected:
    // Written whole and renamed, so the program never reads half a script.
    void set_power(const std::string& words) {
        write_file(power_file() + ".new", words);
        std::filesystem::rename(power_file() + ".new", power_file());
    }
    Process launch_scripted(const std::vector<std::string>& args) {
        return launch(args, {{"AQUARIUM_TEST_POWER_FILE", power_file()}});
    }
    std::string picture_of(const std::string& window, const std::string& name) {
        return image_facts(screenshot(window, name)).signature;
    }

private:
    std::string power_file() const { return dir_ + "/power"; }
};

// Powered down: within two seconds no frames and under 2% of a core; on
// again: the picture moves; powered down again: a key still ends the run.
TEST_F(PowerTest, ADarkDisplayGetsNoFramesNorProcessorTimeAndAKeyStillEndsTheRun) {
    set_power("on mains");
    Process aquarium = launch_scripted({"-s"});
    const std::optional<uint32_t> window = wait_for_full_screen_picture(aquarium);
    ASSERT_TRUE(window.has_value()) << aquarium.errors();
    const std::string id = std::to_string(*window);

    set_power("off");
    std::this_thread::sleep_for(2s);
    const std::string dark = picture_of(id, "dark");
    const double before = processor_seconds(aquarium.pid());
    std::this_thread::sleep_for(3s);
    const double share = (processor_seconds(aquarium.pid()) - before) / 3.0;
    EXPECT_LT(share, 0.02) << "a dark display still costs " << share * 100 << "% of a core";
    EXPECT_EQ(picture_of(id, "dark-later"), dark) << "frames were drawn while the display was dark";

    set_power("on");
    EXPECT_TRUE(wait_until([&] { return picture_of(id, "lit") != dark; }, 10s, 200ms))
        << "the picture did not move again";

    set_power("off");
    std::this_thread::sleep_for(1s);
    xdotool({"key", "q"});
    const std::optional<ExitStatus> status = aquarium.wait_for_exit(10s);
    ASSERT_TRUE(status.has_value()) << "a key did not end the run while the display was dark";
    EXPECT_TRUE(status->clean()) << status->describe() << "; errors: " << aquarium.errors();
}

// On battery a module in a small window (which this machine draws fast)
// presents at most thirty frames a second; the count on mains is printed
// beside it for comparison, never checked.
TEST_F(PowerTest, OnBatteryAtMostThirtyFramesASecond) {
    set_power("battery");
    const uint32_t host = x_.create_host_window(0, 0, 320, 240);
    const std::string id = std::to_string(host);
    Process module = launch_scripted({"-window-id", id});
    ASSERT_TRUE(wait_until([&] { return image_facts(screenshot(id, "first-picture")).colours > 16; }, 25s, 200ms))
        << module.errors();

    constexpr int kSeconds = 3;
    const int on_battery = x_.count_whole_pictures(host, std::chrono::seconds(kSeconds));
    set_power("mains");
    std::this_thread::sleep_for(1s);
    const int on_mains = x_.count_whole_pictures(host, std::chrono::seconds(kSeconds));
    std::printf("[ power ] frames in %d s: %d on battery, %d on mains\n", kSeconds, on_battery, on_mains);
    EXPECT_GT(on_battery, 0) << "no frame was counted: the count does not see the presents";
    // A few more for the server's jitter at the ends of the count.
    EXPECT_LE(on_battery, 30 * kSeconds + 5);

    module.signal(SIGTERM);
    EXPECT_TRUE(module.wait_for_exit(10s).has_value());
}

}  // namespace
}  // namespace e2e
