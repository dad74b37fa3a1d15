// Run mode on two monitors of different sizes: a real Xorg with its dummy
// driver, whose second RandR output is switched on beside the first (or left
// of it) by xrandr, as a user's desktop with two screens has it. Every
// monitor shows the screen saver and none the desktop (painted in a colour
// of its own); input on the second monitor ends the run; Alt+Enter still
// switches the main window; a monitor switched off and on again is followed;
// the information text grows with the desktop's Xft.dpi.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "e2e_session.h"

namespace e2e {
namespace {

// Room for 1024 x 768 and 800 x 600 beside or above each other (shared
// with the Windows end-to-end tests).
const char* const kXorgConfig = AQUARIUM_TEST_SUPPORT_DIR "/xorg_dummy_two_monitors.conf";

constexpr const char* kDesktop = "#3070a0";  // the root window's colour: the desktop showing through
const WindowGeometry kFirstBeside{0, 0, 1024, 768};
const WindowGeometry kSecondBeside{1024, 0, 800, 600};
const WindowGeometry kSecondLeft{0, 0, 800, 600};
const WindowGeometry kFirstRight{800, 0, 1024, 768};

std::string crop_of(const WindowGeometry& g) {
    return std::to_string(g.width) + "x" + std::to_string(g.height) + "+" + std::to_string(g.x) + "+" +
           std::to_string(g.y);
}

class MonitorsTest : public AquariumTest {
protected:
    bool start_server(std::string& error) override {
        const std::string folder = dir_ + "/xorg";
        mkdir(folder.c_str(), 0700);
        mkdir((folder + "/conf.d").c_str(), 0700);
        write_file(folder + "/xorg.conf", read_file(kXorgConfig));
        return server_.start_xorg(error, folder + "/xorg.conf", folder + "/xorg.log");
    }

    void xrandr(const std::vector<std::string>& args) {
        std::vector<std::string> argv{"xrandr"};
        argv.insert(argv.end(), args.begin(), args.end());
        const test_support::ToolResult result = run_tool(argv);
        ASSERT_TRUE(result.status.clean()) << "xrandr: " << result.output;
    }

    // The second output on at 800 x 600, `where` ("--right-of" or
    // "--left-of") the first; the desktop in its colour.
    void second_monitor(const char* where) {
        xrandr({"--newmode", "800x600b", "40.00", "800", "840", "968", "1056", "600", "601", "605", "628", "+hsync",
                "+vsync"});
        xrandr({"--addmode", "DUMMY1", "800x600b"});
        xrandr({"--output", "DUMMY1", "--mode", "800x600b", where, "DUMMY0"});
        const test_support::ToolResult listed = run_tool({"xrandr", "--listmonitors"});
        ASSERT_NE(listed.output.find("Monitors: 2"), std::string::npos) << listed.output;
        ASSERT_TRUE(run_tool({"xsetroot", "-solid", kDesktop}).status.clean());
    }

    // The program's window at `place`, once it is there.
    std::optional<uint32_t> window_at(Process& process, const WindowGeometry& place, Milliseconds limit = 15s) {
        std::optional<uint32_t> found;
        wait_until(
            [&] {
                for (const uint32_t w : x_.windows_of(process.pid())) {
                    if (x_.viewable(w) && x_.geometry(w) == place) found = w;
                }
                return found.has_value() || !process.running();
            },
            limit);
        return found;
    }

    // Pixels of the desktop's colour within `place` of a screenshot.
    long desktop_pixels(const std::string& png, const WindowGeometry& place) {
        const test_support::ToolResult result =
            run_tool({"convert", png, "-crop", crop_of(place), "+repage", "-fill", "black", "+opaque", kDesktop,
                      "-fill", "white", "-opaque", kDesktop, "-format", "%[fx:round(mean*w*h)]", "info:"});
        return result.status.clean() ? std::stol(result.output) : -1;
    }

    // The main monitor shows the tank with its text, the other a fish or black,
    // and no monitor shows the desktop.
    void expect_covered(const std::string& picture, const WindowGeometry& main, const WindowGeometry& other,
                        bool fish) {
        EXPECT_GT(image_facts(picture, crop_of(main)).colours, 50u) << "no tank on the main monitor; see " << picture;
        const ImageFacts second = image_facts(picture, crop_of(other));
        if (fish) {
            EXPECT_GT(second.colours, 50u) << "no fish on the second monitor; see " << picture;
        } else {
            EXPECT_EQ(second.colours, 1u) << "the second monitor is not plain black; see " << picture;
            EXPECT_EQ(run_tool({"convert", picture, "-crop",
                                "1x1+" + std::to_string(other.x + 400) + "+" + std::to_string(other.y + 300), "-format",
                                "%[hex:p{0,0}]", "info:"})
                          .output,
                      "000000");
        }
        EXPECT_EQ(desktop_pixels(picture, main), 0) << "the desktop shows on the main monitor; see " << picture;
        EXPECT_EQ(desktop_pixels(picture, other), 0) << "the desktop shows on the second monitor; see " << picture;
    }

    void expect_ended_and_saved(Process& process, const std::string& by) {
        const std::optional<ExitStatus> status = process.wait_for_exit(15s);
        ASSERT_TRUE(status.has_value()) << by << " did not end the screen saver";
        EXPECT_TRUE(status->clean()) << by << ": " << status->describe() << "; errors: " << process.errors();
        const std::string saved = read_file(settings_path());
        for (const std::string& name : kGeneralSettings) {
            const std::string line = "\n" + name + "=";
            const size_t first = saved.find(line);
            EXPECT_NE(first, std::string::npos) << name << " not saved:\n" << saved;
            EXPECT_EQ(saved.find(line, first + 1), std::string::npos) << name << " twice:\n" << saved;
        }
    }

    // The driver warns on standard error that the dummy device has no
    // direct rendering; the software renderer draws all the same.
    const EnvChanges kQuietDriver = {{"EGL_LOG_LEVEL", std::string("fatal")}};
};

TEST_F(MonitorsTest, BesideTheFirstTheSecondMonitorShowsAFishOfItsOwnAndAClickThereEndsTheRun) {
    second_monitor("--right-of");
    Process aquarium = launch({"-s"}, kQuietDriver);
    const std::optional<uint32_t> main = wait_for_picture_at(aquarium, kFirstBeside);
    ASSERT_TRUE(main.has_value()) << aquarium.errors();
    ASSERT_TRUE(window_at(aquarium, kSecondBeside).has_value()) << "no window on the second monitor";
    std::this_thread::sleep_for(1500ms);
    expect_covered(screenshot("root", "two-monitors-fish"), kFirstBeside, kSecondBeside, true);
    // The text names the main monitor's output.
    EXPECT_GT(image_facts(screenshot("root", "two-monitors-fish"), "360x70+0+0").colours, 10u);

    // Alt+Enter still takes the main window into a window and back (a window
    // of the monitor's size without a window manager, so the same place);
    // the run and the pictures go on, the second monitor stays covered.
    xdotool({"mousemove", "500", "400"});
    for (const char* state : {"windowed", "full-screen-again"}) {
        SCOPED_TRACE(state);
        xdotool({"key", "alt+Return"});
        std::this_thread::sleep_for(800ms);
        ASSERT_TRUE(aquarium.running()) << aquarium.errors();
        const std::string before = image_facts(screenshot("root", state)).signature;
        std::this_thread::sleep_for(700ms);
        EXPECT_NE(image_facts(screenshot("root", std::string(state) + "-later")).signature, before)
            << "the pictures stopped";
        EXPECT_TRUE(window_at(aquarium, kSecondBeside, 1s).has_value());
    }
    EXPECT_EQ(x_.geometry(*main), kFirstBeside);

    xdotool({"mousemove", "1400", "300"});
    xdotool({"click", "1"});
    expect_ended_and_saved(aquarium, "a click on the second monitor");
}

TEST_F(MonitorsTest, LeftOfTheFirstTheSecondMonitorIsBlackWhenSetAndAKeyThereEndsTheRun) {
    write_settings(std::string("[") + kSettingsSection + "]\nd_other_monitors=0\n");
    second_monitor("--left-of");
    // A desktop scaled to 192 pixels per inch: the text is twice as large.
    ASSERT_TRUE(
        run_tool({"xprop", "-root", "-f", "RESOURCE_MANAGER", "8s", "-set", "RESOURCE_MANAGER", "Xft.dpi:\t192\n"})
            .status.clean());
    Process aquarium = launch({"-s"}, kQuietDriver);
    ASSERT_TRUE(wait_for_picture_at(aquarium, kFirstRight).has_value()) << aquarium.errors();
    ASSERT_TRUE(window_at(aquarium, kSecondLeft).has_value()) << "no window on the second monitor";
    std::this_thread::sleep_for(1000ms);
    const std::string picture = screenshot("root", "left-black");
    expect_covered(picture, kFirstRight, kSecondLeft, false);
    // Its third line starts about 74 pixels down (18 at 96 pixels per inch).
    EXPECT_GT(image_facts(picture, "360x30+800+80").colours, 10u) << "the text did not grow; see " << picture;

    xdotool({"mousemove", "400", "300"});
    xdotool({"key", "x"});
    expect_ended_and_saved(aquarium, "a key on the second monitor");
    EXPECT_EQ(settings_values()["d_other_monitors"], "0");
}

TEST_F(MonitorsTest, AMonitorSwitchedOffAndOnAgainLeftOfTheFirstIsFollowed) {
    second_monitor("--right-of");
    Process aquarium = launch({"-s"}, kQuietDriver);
    ASSERT_TRUE(wait_for_picture_at(aquarium, kFirstBeside).has_value()) << aquarium.errors();
    const std::optional<uint32_t> first_cover = window_at(aquarium, kSecondBeside);
    ASSERT_TRUE(first_cover.has_value());

    xrandr({"--output", "DUMMY1", "--off"});
    ASSERT_TRUE(wait_until([&] { return !x_.viewable(*first_cover) || !aquarium.running(); }, 10s))
        << "the window of the monitor switched off is still there";
    ASSERT_TRUE(aquarium.running()) << aquarium.errors();

    // On again, left of the first: the first monitor moves right, the main
    // window with it, and the second gets a fish again.
    xrandr({"--output", "DUMMY1", "--mode", "800x600b", "--left-of", "DUMMY0"});
    ASSERT_TRUE(window_at(aquarium, kFirstRight).has_value()) << "the main window did not follow its monitor";
    ASSERT_TRUE(window_at(aquarium, kSecondLeft).has_value()) << "no window on the monitor switched on";
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(aquarium.running()) << aquarium.errors();
    expect_covered(screenshot("root", "switched-on-left"), kFirstRight, kSecondLeft, true);

    xdotool({"key", "Escape"});
    expect_ended_and_saved(aquarium, "Escape");
}

}  // namespace
}  // namespace e2e
