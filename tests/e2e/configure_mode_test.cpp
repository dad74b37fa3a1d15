// Configure mode (-c, and the empty command line): the settings dialog, and
// what OK and Cancel leave in the settings file.
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "e2e_session.h"

namespace e2e {
namespace {

// General values that differ from the defaults, and another program's section.
const char* const kOwnSettings =
    "[Software\\marevista_20110817]\n"
    "r_floor=3\n"
    "d_show_info=0\n"
    "d_exit_omm=1\n"
    "camxz=123.5\n"
    "camyy=20\n"
    "camrr=4\n"
    "camlr=-10\n"
    "camhh=1.25\n"
    "[Other program]\n"
    "colour=blue\n";

struct Command {
    const char* name;
    std::vector<std::string> args;
};

class ConfigureModeTest : public AquariumTest, public ::testing::WithParamInterface<Command> {
protected:
    // Starts configure mode and answers the dialog with `key`.
    void answer_dialog(const std::string& key) {
        Process aquarium = launch(GetParam().args);
        const std::optional<uint32_t> dialog = wait_for_window(aquarium);
        ASSERT_TRUE(dialog.has_value()) << "no dialog; errors: " << aquarium.errors();

        // The dialog is the one window shown; the main window stays hidden.
        int shown = 0;
        for (const uint32_t w : x_.windows_of(aquarium.pid())) shown += x_.viewable(w) ? 1 : 0;
        EXPECT_EQ(shown, 1);
        const std::optional<WindowGeometry> size = x_.geometry(*dialog);
        ASSERT_TRUE(size.has_value());
        EXPECT_LT(size->width, kScreenWidth);
        EXPECT_LT(size->height, kScreenHeight);
        // Frame, labels, lists and buttons; until its first frame the window is plain.
        std::string picture;
        const bool drawn = wait_until(
            [&] {
                picture = screenshot(std::to_string(*dialog), "dialog");
                return image_facts(picture).colours > 4;
            },
            10s, 200ms);
        EXPECT_TRUE(drawn) << "an empty dialog; see " << picture;

        xdotool({"windowfocus", std::to_string(*dialog)});
        std::this_thread::sleep_for(300ms);  // the dialog draws a frame or two with the focus
        xdotool({"key", key});
        const std::optional<ExitStatus> status = aquarium.wait_for_exit(10s);
        ASSERT_TRUE(status.has_value()) << key << " did not close the dialog";
        EXPECT_TRUE(status->clean()) << status->describe() << "; errors: " << aquarium.errors();
        EXPECT_EQ(aquarium.errors(), "");
    }
};

// OK stores the four device values and the general settings as they were
// loaded; the rest of the file is kept.
TEST_P(ConfigureModeTest, OkSavesTheDeviceChoiceAndTheGeneralSettings) {
    write_settings(kOwnSettings);
    ASSERT_NO_FATAL_FAILURE(answer_dialog("Return"));

    auto values = settings_values();
    for (const std::string& name : kDeviceSettings) {
        ASSERT_EQ(values.count(name), 1u) << name << " not saved:\n" << read_file(settings_path());
        char* end = nullptr;
        std::strtol(values[name].c_str(), &end, 10);
        EXPECT_TRUE(!values[name].empty() && *end == '\0') << name << "=" << values[name];
    }
    EXPECT_EQ(values["r_floor"], "3");
    EXPECT_EQ(values["d_show_info"], "0");
    EXPECT_EQ(values["d_exit_omm"], "1");
    EXPECT_EQ(std::strtod(values["camxz"].c_str(), nullptr), 123.5);
    EXPECT_EQ(std::strtod(values["camlr"].c_str(), nullptr), -10.0);
    EXPECT_EQ(std::strtod(values["camhh"].c_str(), nullptr), 1.25);
    EXPECT_NE(read_file(settings_path()).find("[Other program]\ncolour=blue\n"), std::string::npos);
}

// Cancel writes nothing: the file stays as it was, byte for byte.
TEST_P(ConfigureModeTest, CancelLeavesTheSettingsFileAsItWas) {
    write_settings(kOwnSettings);
    ASSERT_NO_FATAL_FAILURE(answer_dialog("Escape"));
    EXPECT_EQ(read_file(settings_path()), kOwnSettings);
}

// On the very first start the general defaults are written; Cancel adds no
// device values to them.
TEST_P(ConfigureModeTest, CancelOnTheFirstStartLeavesOnlyTheGeneralDefaults) {
    ASSERT_FALSE(settings_exist());
    ASSERT_NO_FATAL_FAILURE(answer_dialog("Escape"));
    auto values = settings_values();
    for (const std::string& name : kGeneralSettings) EXPECT_EQ(values.count(name), 1u) << name;
    for (const std::string& name : kDeviceSettings) EXPECT_EQ(values.count(name), 0u) << name;
    EXPECT_EQ(values["d_show_info"], "1");
    EXPECT_EQ(std::strtod(values["camxz"].c_str(), nullptr), 270.0);
}

INSTANTIATE_TEST_SUITE_P(Commands, ConfigureModeTest,
                         ::testing::Values(Command{"DashC", {"-c"}}, Command{"EmptyCommandLine", {}}),
                         [](const ::testing::TestParamInfo<Command>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
