// The values that survive between runs: four display options, five camera
// values and the four indices of the chosen display device, kept as named
// 32-bit values in the settings store.
#pragma once

#include <cstdint>

#include "platform/settings_store.h"

namespace settings {

// The key that holds the values.
inline constexpr const char* kSettingsKeyName = "Software\\marevista_20110817";

struct Settings {
    // General settings.
    int32_t r_floor;        // kept and written back unchanged
    bool d_show_info;       // draw the information text
    bool d_exit_omm;        // edited by the device dialog; not read by the exit rule
    float camera_azimuth_deg;     // degrees, within (-360, 360) after loading; stored as "camxz"
    float camera_elevation_deg;   // degrees; stored as "camyy"
    float camera_distance;        // world units; stored as "camrr"
    float camera_look_angle_deg;  // degrees, within (-360, 360) after loading; stored as "camlr"
    float camera_height;          // height offset, world units; stored as "camhh"
    bool d_other_monitors;        // run mode: a fish of its own on every other monitor (else black)
    // Device settings (present in the store only after the dialog's OK).
    uint32_t r_adapter;     // adapter index in the device table
    uint32_t r_device;      // device index within that adapter
    uint32_t r_mode;        // display-mode index within that device
    int32_t r_multi_sample; // full-screen multisample type: 0 or 2..16
};

// The in-memory defaults: r_floor 0, show info on, exit on mouse move off,
// camera 270, 15, 2, 0, 0, a fish on the other monitors; device values 0.
Settings default_settings();

// Creates or opens the key; a new key gets the general settings written.
platform::Result ensure_settings_key(platform::SettingsStore& store, const Settings& settings);
platform::Result load_general_settings(platform::SettingsStore& store, Settings& settings);
platform::Result save_general_settings(platform::SettingsStore& store, const Settings& settings);
// True only when all four device values were read.
bool load_device_settings(platform::SettingsStore& store, Settings& settings);
platform::Result save_device_settings(platform::SettingsStore& store, const Settings& settings);

}  // namespace settings
