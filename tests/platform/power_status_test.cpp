// The battery rule on made-up power-supply folders, and the words of the
// scripted power state.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/power/power_supplies.h"
#include "platform/power/scripted_power_status.h"

namespace {

namespace fs = std::filesystem;
using platform::power::runs_on_battery;

// One supply's folder: its name and the files it holds.
struct Supply {
    std::string name;
    std::vector<std::pair<std::string, std::string>> files;
};

Supply mains(const char* name, const char* online) { return {name, {{"type", "Mains"}, {"online", online}}}; }
Supply battery(const char* name, const char* status) { return {name, {{"type", "Battery"}, {"status", status}}}; }

TEST(PowerSupplies, OnBatteryOnlyWhileASystemBatteryDischargesAndNoMainsIsOnline) {
    const struct {
        const char* what;
        std::vector<Supply> supplies;
        bool on_battery;
    } cases[] = {
        {"no supplies (a desktop)", {}, false},
        {"mains online, battery charging", {mains("AC", "1"), battery("BAT0", "Charging")}, false},
        {"unplugged", {mains("AC", "0"), battery("BAT0", "Discharging")}, true},
        {"a battery alone, charging", {battery("BAT0", "Charging")}, false},
        {"discharging while the mains is online", {mains("AC", "1"), battery("BAT0", "Discharging")}, false},
        {"a USB-C charger online",
         {{"ucsi-source-psy-1", {{"type", "USB"}, {"online", "1\n"}}}, battery("BAT0", "Discharging\n")},
         false},
        {"a second battery discharging",
         {mains("ADP1", "0"), battery("BAT0", "Full"), battery("BAT1", "Discharging")},
         true},
        {"only a wireless mouse's battery",
         {{"hidpp_battery_0", {{"type", "Battery"}, {"scope", "Device"}, {"status", "Discharging"}}}},
         false},
    };
    const fs::path root = fs::temp_directory_path() / ("aquarium-supplies-" + std::to_string(getpid()));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(root);
        fs::create_directories(root);
        for (const Supply& supply : c.supplies) {
            fs::create_directories(root / supply.name);
            for (const auto& [file, content] : supply.files) std::ofstream(root / supply.name / file) << content;
        }
        EXPECT_EQ(runs_on_battery(root.c_str()), c.on_battery);
    }
    fs::remove_all(root);
    EXPECT_FALSE(runs_on_battery(root.c_str())) << "a missing folder";
}

TEST(ScriptedPowerStatus, WordsDarkenTheDisplayAndUnplugTheMainsLaterOnesWinning) {
    const struct {
        const char* text;
        bool dark;
        bool battery;
    } cases[] = {
        {"", false, false},
        {"on mains\n", false, false},
        {"off", true, false},
        {"suspend battery", true, true},
        {" standby\tmains ", true, false},
        {"off\non", false, false},
        {"battery offline", false, true},  // "offline" is no word of the script
    };
    for (const auto& c : cases) {
        const platform::PowerState state = platform::parse_power_words(c.text);
        EXPECT_EQ(state.display_dark, c.dark) << "'" << c.text << "'";
        EXPECT_EQ(state.on_battery, c.battery) << "'" << c.text << "'";
    }
}

}  // namespace
