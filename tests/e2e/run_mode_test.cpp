// Run mode (-s): the full-screen picture, what ends it and what does not,
// and the settings saved when it ends.
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "e2e_session.h"

namespace e2e {
namespace {

// A settings file that the program did not write itself: r_floor is set
// and the other general values are missing, so after a run that saved
// them they are all there, with r_floor kept. The other section belongs to
// someone else and must survive.
const char* const kMarkedSettings =
    "[Other program]\n"
    "colour=blue\n"
    "[Software\\marevista_20110817]\n"
    "r_floor=7\n";

class RunModeTest : public AquariumTest {
protected:
    // Starts run mode and waits for the full-screen picture.
    uint32_t start_run_mode(Process& process, const std::vector<std::string>& args = {"-s"}) {
        process = launch(args);
        const std::optional<uint32_t> window = wait_for_full_screen_picture(process);
        EXPECT_TRUE(window.has_value()) << "no full-screen picture; the program "
                                        << (process.running() ? "still runs" : process.status()->describe())
                                        << "; its errors: " << process.errors();
        return window.value_or(0);
    }

    // Gives the program time to handle the last input; true while it runs.
    bool still_running_after_input(Process& process) {
        std::this_thread::sleep_for(250ms);
        return process.running();
    }

    void expect_ended_cleanly(Process& process, const std::string& by) {
        const std::optional<ExitStatus> status = process.wait_for_exit(10s);
        ASSERT_TRUE(status.has_value()) << by << " did not end the screen saver";
        EXPECT_TRUE(status->clean()) << by << ": " << status->describe() << "; errors: " << process.errors();
        EXPECT_EQ(process.errors(), "");
    }

    // The close of a run saved all eight general values over the marked file.
    void expect_general_settings_saved(const std::string& show_info = "1") {
        auto values = settings_values();
        for (const std::string& name : kGeneralSettings) EXPECT_EQ(values.count(name), 1u) << name << " not saved";
        EXPECT_EQ(values["r_floor"], "7");
        EXPECT_EQ(values["d_show_info"], show_info);
        EXPECT_EQ(values["d_exit_omm"], "0");
        EXPECT_EQ(std::strtod(values["camxz"].c_str(), nullptr), 270.0);
        EXPECT_EQ(std::strtod(values["camyy"].c_str(), nullptr), 15.0);
        EXPECT_EQ(std::strtod(values["camrr"].c_str(), nullptr), 2.0);
        for (const std::string& name : kDeviceSettings) EXPECT_EQ(values.count(name), 0u) << name << " written by a run";
        EXPECT_NE(read_file(settings_path()).find("[Other program]\ncolour=blue\n"), std::string::npos)
            << "the other program's section was lost:\n"
            << read_file(settings_path());
    }
};

// Dark background, tank lines, the shaded fish and the information text in
// the top-left corner; the window covers the screen above everything else.
TEST_F(RunModeTest, CoversTheScreenWithTheFishTankAndText) {
    Process aquarium;
    const uint32_t window = start_run_mode(aquarium);
    ASSERT_NE(window, 0u);

    EXPECT_EQ(x_.geometry(window), (WindowGeometry{0, 0, kScreenWidth, kScreenHeight}));
    std::vector<uint32_t> shown;
    for (const uint32_t w : x_.top_level_windows()) {
        if (x_.viewable(w)) shown.push_back(w);
    }
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), window) << "another window is above the screen saver";

    const std::string picture = screenshot("root", "run-mode");
    const ImageFacts whole = image_facts(picture);
    EXPECT_GT(whole.colours, 50u) << "a shaded fish has many colours; see " << picture;
    // The text's anti-aliased letters bring many greys to its corner; the
    // opposite corner holds at most background and tank lines.
    EXPECT_GT(image_facts(picture, "360x70+0+0").colours, 10u) << "no information text; see " << picture;

    // The picture moves: the fish swims and the running time counts.
    std::this_thread::sleep_for(1200ms);
    EXPECT_NE(image_facts(screenshot("root", "run-mode-later")).signature, whole.signature);

    xdotool({"key", "Escape"});
    expect_ended_cleanly(aquarium, "Escape");
}

// The pointer's resting place, where the window appears, is the first
// position the program sees; five moves to new places make six, which it
// tolerates; the seventh distinct position ends it, and the close saves the
// general settings.
TEST_F(RunModeTest, SevenPointerPositionsEndItAndSaveTheSettings) {
    write_settings(kMarkedSettings);
    Process aquarium;
    ASSERT_NE(start_run_mode(aquarium), 0u);

    const int positions[][2] = {{100, 100}, {200, 150}, {300, 200}, {400, 250}, {500, 300}};
    for (const auto& p : positions) {
        xdotool({"mousemove", std::to_string(p[0]), std::to_string(p[1])});
        ASSERT_TRUE(still_running_after_input(aquarium)) << "ended by the move to " << p[0] << "," << p[1];
    }
    // Moving back to a place seen before is still a new position.
    xdotool({"mousemove", "100", "100"});
    expect_ended_cleanly(aquarium, "the seventh pointer position");
    expect_general_settings_saved();
}

// H and L move the eye up and down, S switches the information text; none
// of them ends the run, nor do the middle button and the wheel. S is saved.
// (Lower case only: Shift is a key of its own and would end the run.)
TEST_F(RunModeTest, ViewKeysMiddleButtonAndWheelKeepItRunningAndTheTextSwitchIsSaved) {
    write_settings(kMarkedSettings);
    Process aquarium;
    const uint32_t window = start_run_mode(aquarium);
    ASSERT_NE(window, 0u);

    for (const char* key : {"h", "h", "l", "l", "l"}) {
        xdotool({"key", key});
        ASSERT_TRUE(still_running_after_input(aquarium)) << "ended by key " << key;
    }
    for (const char* button : {"2", "4", "5"}) {
        xdotool({"click", button});
        ASSERT_TRUE(still_running_after_input(aquarium)) << "ended by button " << button;
    }
    const std::string corner = "360x70+0+0";
    const size_t with_text = image_facts(screenshot("root", "text-on"), corner).colours;
    EXPECT_GT(with_text, 10u);
    xdotool({"key", "s"});
    ASSERT_TRUE(still_running_after_input(aquarium)) << "ended by key s";
    // Without the text the corner holds background and perhaps a tank line.
    const bool text_gone = wait_until(
        [&] { return image_facts(screenshot("root", "text-off"), corner).colours < 6; }, 5s, 200ms);
    EXPECT_TRUE(text_gone) << "the information text is still drawn after S";

    xdotool({"key", "q"});
    expect_ended_cleanly(aquarium, "key q");
    expect_general_settings_saved("0");
}

// Alt+Enter switches to a window and back; neither switch ends the run and
// the picture keeps moving in both. (Started with the upper-case slash form.)
TEST_F(RunModeTest, AltEnterGoesWindowedAndBackWithoutEnding) {
    Process aquarium;
    const uint32_t window = start_run_mode(aquarium, {"/S"});
    ASSERT_NE(window, 0u);

    for (const char* state : {"windowed", "full screen again"}) {
        SCOPED_TRACE(state);
        xdotool({"key", "alt+Return"});
        std::this_thread::sleep_for(800ms);
        ASSERT_TRUE(aquarium.running());
        ASSERT_TRUE(x_.viewable(window));
        const std::string before = image_facts(screenshot(std::to_string(window), "toggled")).signature;
        std::this_thread::sleep_for(700ms);
        EXPECT_NE(image_facts(screenshot(std::to_string(window), "toggled-later")).signature, before)
            << "the picture stopped";
    }
    EXPECT_EQ(x_.geometry(window), (WindowGeometry{0, 0, kScreenWidth, kScreenHeight}));
    ASSERT_TRUE(aquarium.running());
    xdotool({"key", "Escape"});
    expect_ended_cleanly(aquarium, "Escape");
}

struct Ending {
    const char* name;
    std::vector<std::string> xdotool_args;
};

class RunModeEndingTest : public RunModeTest, public ::testing::WithParamInterface<Ending> {};

// Any button press other than the middle one, and any key other than H, L
// and S, ends the run with the settings saved.
TEST_P(RunModeEndingTest, EndsCleanlyAndSavesTheSettings) {
    write_settings(kMarkedSettings);
    Process aquarium;
    ASSERT_NE(start_run_mode(aquarium), 0u);
    xdotool(GetParam().xdotool_args);
    expect_ended_cleanly(aquarium, GetParam().name);
    expect_general_settings_saved();
}

INSTANTIATE_TEST_SUITE_P(
    Input, RunModeEndingTest,
    ::testing::Values(Ending{"LeftClick", {"click", "1"}}, Ending{"RightClick", {"click", "3"}},
                      Ending{"KeyQ", {"key", "q"}}, Ending{"Space", {"key", "space"}},
                      Ending{"F2", {"key", "F2"}}, Ending{"AltX", {"key", "alt+x"}}),
    [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
