// The load and save rules of the settings, against an in-memory store.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "settings/settings.h"
#include "tests/support/fake_settings_store.h"

namespace {

using settings::Settings;
using MemorySettingsStore = test_support::FakeSettingsStore;

uint32_t bits_of(float value) { return std::bit_cast<uint32_t>(value); }

const std::vector<std::string> kGeneralWrites = {"r_floor", "d_show_info", "d_exit_omm", "camxz",           "camyy",
                                                 "camrr",   "camlr",       "camhh",      "d_other_monitors"};

std::vector<std::string> reads(const MemorySettingsStore& store) {
    std::vector<std::string> out;
    for (const std::string& call : store.calls) {
        if (call.rfind("read ", 0) == 0) out.push_back(call.substr(5));
    }
    return out;
}

TEST(SettingsRules, FirstRunCreatesTheKeyWithTheGeneralDefaultsAndNoDeviceValues) {
    MemorySettingsStore store;
    Settings settings = settings::default_settings();
    EXPECT_EQ(settings::ensure_settings_key(store, settings), platform::kOk);
    EXPECT_EQ(store.written_names(), kGeneralWrites);
    ASSERT_EQ(store.values.size(), 9u);
    EXPECT_EQ(store.values.at("r_floor"), 0u);
    EXPECT_EQ(store.values.at("d_show_info"), 1u);
    EXPECT_EQ(store.values.at("d_exit_omm"), 0u);
    EXPECT_EQ(store.values.at("camxz"), bits_of(270.0f));
    EXPECT_EQ(store.values.at("camyy"), bits_of(15.0f));
    EXPECT_EQ(store.values.at("camrr"), bits_of(2.0f));
    EXPECT_EQ(store.values.at("camlr"), bits_of(0.0f));
    EXPECT_EQ(store.values.at("camhh"), bits_of(0.0f));
    EXPECT_EQ(store.values.at("d_other_monitors"), 1u);
    EXPECT_FALSE(settings::load_device_settings(store, settings));
    EXPECT_EQ(store.calls.back(), "close_key");
}

TEST(SettingsRules, OptionsAreTrueWhenNonZeroAndSavedAsOneOrZero) {
    MemorySettingsStore store;
    store.key_exists = true;
    store.values["d_show_info"] = 5;
    store.values["d_exit_omm"] = 0x80000000u;
    store.values["r_floor"] = 0xFFFFFFFEu;
    store.values["d_other_monitors"] = 2;
    Settings settings = settings::default_settings();
    settings.d_show_info = false;
    settings.d_other_monitors = false;
    settings::load_general_settings(store, settings);
    EXPECT_TRUE(settings.d_show_info);
    EXPECT_TRUE(settings.d_exit_omm);
    EXPECT_TRUE(settings.d_other_monitors);
    EXPECT_EQ(settings.r_floor, -2);

    settings::save_general_settings(store, settings);
    EXPECT_EQ(store.values.at("d_show_info"), 1u);
    EXPECT_EQ(store.values.at("d_exit_omm"), 1u);
    EXPECT_EQ(store.values.at("d_other_monitors"), 1u);
    // Black on the other monitors is kept as 0.
    store.values["d_other_monitors"] = 0;
    settings::load_general_settings(store, settings);
    EXPECT_FALSE(settings.d_other_monitors);
    EXPECT_EQ(store.values.at("r_floor"), 0xFFFFFFFEu);
    EXPECT_EQ(store.written_names(), kGeneralWrites);
}

TEST(SettingsRules, AzimuthAndLookAngleAreWrappedKeepingTheirSign) {
    struct Case {
        float stored;
        float loaded;
    };
    const Case cases[] = {
        {725.0f, 5.0f}, {-370.0f, -10.0f}, {360.0f, 0.0f}, {-720.0f, -0.0f},
        {359.5f, 359.5f}, {-359.5f, -359.5f}, {1000.5f, 280.5f},
    };
    for (const Case& c : cases) {
        MemorySettingsStore store;
        store.key_exists = true;
        store.values["camxz"] = bits_of(c.stored);
        store.values["camlr"] = bits_of(c.stored);
        Settings settings = settings::default_settings();
        settings::load_general_settings(store, settings);
        EXPECT_EQ(bits_of(settings.camera_azimuth_deg), bits_of(c.loaded)) << c.stored;
        EXPECT_EQ(bits_of(settings.camera_look_angle_deg), bits_of(c.loaded)) << c.stored;
    }
    // The other camera values are taken as stored.
    MemorySettingsStore store;
    store.key_exists = true;
    store.values["camyy"] = bits_of(200.0f);
    store.values["camrr"] = bits_of(-3.5f);
    Settings settings = settings::default_settings();
    settings::load_general_settings(store, settings);
    EXPECT_EQ(settings.camera_elevation_deg, 200.0f);
    EXPECT_EQ(settings.camera_distance, -3.5f);

    // Huge values stay strictly inside the interval with their sign.
    for (float huge : {3.0e38f, -3.0e38f, 16777217.0f * 360.0f}) {
        MemorySettingsStore store;
        store.key_exists = true;
        store.values["camxz"] = bits_of(huge);
        Settings settings = settings::default_settings();
        settings::load_general_settings(store, settings);
        EXPECT_LT(std::fabs(settings.camera_azimuth_deg), 360.0f) << huge;
        EXPECT_EQ(std::signbit(settings.camera_azimuth_deg), std::signbit(huge)) << huge;
    }
}

TEST(SettingsRules, MissingUnreadableAndNonFiniteValuesKeepTheirDefaults) {
    MemorySettingsStore store;
    store.key_exists = true;
    store.values["camxz"] = bits_of(std::numeric_limits<float>::quiet_NaN());
    store.values["camyy"] = bits_of(std::numeric_limits<float>::infinity());
    store.values["camrr"] = bits_of(-std::numeric_limits<float>::infinity());
    store.values["d_show_info"] = 0;
    store.unreadable.insert("d_show_info");
    Settings settings = settings::default_settings();
    settings::load_general_settings(store, settings);
    const Settings defaults = settings::default_settings();
    EXPECT_EQ(settings.camera_azimuth_deg, defaults.camera_azimuth_deg);
    EXPECT_EQ(settings.camera_elevation_deg, defaults.camera_elevation_deg);
    EXPECT_EQ(settings.camera_distance, defaults.camera_distance);
    EXPECT_EQ(settings.d_show_info, defaults.d_show_info);
    EXPECT_EQ(settings.r_floor, defaults.r_floor);
    EXPECT_TRUE(settings.d_other_monitors);  // a store written before it existed: a fish on every monitor
}

TEST(SettingsRules, AMissingKeyLeavesEverythingAndStillReportsSuccess) {
    MemorySettingsStore store;
    Settings settings = settings::default_settings();
    settings.camera_azimuth_deg = 42.0f;
    EXPECT_EQ(settings::load_general_settings(store, settings), platform::kOk);
    EXPECT_EQ(settings.camera_azimuth_deg, 42.0f);
    EXPECT_FALSE(settings::load_device_settings(store, settings));
}

TEST(SettingsRules, DeviceValuesAreReadInOrderStoppingAtTheFirstMissing) {
    MemorySettingsStore store;
    store.key_exists = true;
    store.values = {{"r_adapter", 1}, {"r_device", 1}, {"r_multi_sample", 4}};
    Settings settings = settings::default_settings();
    EXPECT_FALSE(settings::load_device_settings(store, settings));
    EXPECT_EQ(reads(store), (std::vector<std::string>{"r_adapter", "r_device", "r_mode"}));

    store.values["r_mode"] = 7;
    EXPECT_TRUE(settings::load_device_settings(store, settings));
    EXPECT_EQ(settings.r_adapter, 1u);
    EXPECT_EQ(settings.r_device, 1u);
    EXPECT_EQ(settings.r_mode, 7u);
    EXPECT_EQ(settings.r_multi_sample, 4);
}

TEST(SettingsRules, ASaveRecreatesAKeyThatVanishedSinceStartUp) {
    MemorySettingsStore store;
    Settings settings = settings::default_settings();
    settings.camera_elevation_deg = 33.0f;
    EXPECT_EQ(settings::save_general_settings(store, settings), platform::kOk);
    EXPECT_EQ(store.calls.at(0), "open_key");
    EXPECT_EQ(store.calls.at(1), "create_key");
    EXPECT_EQ(store.values.at("camyy"), bits_of(33.0f));
}

}  // namespace
