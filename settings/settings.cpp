// The settings' load and save rules. The store is opened and closed around
// every operation; its failures never reach the user and never stop the
// program, so every operation but load_device_settings reports success.
#include "settings/settings.h"

#include <bit>
#include <cmath>

namespace settings {

namespace {

// Value names in the store.
constexpr const char* kFloorName = "r_floor";
constexpr const char* kShowInfoName = "d_show_info";
constexpr const char* kExitOnMouseMoveName = "d_exit_omm";
constexpr const char* kCameraAzimuthName = "camxz";
constexpr const char* kCameraElevationName = "camyy";
constexpr const char* kCameraDistanceName = "camrr";
constexpr const char* kCameraLookAngleName = "camlr";
constexpr const char* kCameraHeightName = "camhh";
constexpr const char* kOtherMonitorsName = "d_other_monitors";
constexpr const char* kAdapterName = "r_adapter";
constexpr const char* kDeviceName = "r_device";
constexpr const char* kModeName = "r_mode";
constexpr const char* kMultiSampleName = "r_multi_sample";

constexpr float kFullTurnDegrees = 360.0f;

// Brings an angle into the open interval (-360, 360) keeping its sign:
// v - 360 * trunc(v / 360), computed exactly (fmod cannot overflow the way
// an integer quotient would for a huge stored value).
float wrap_degrees_keeping_sign(float degrees) {
    return std::fmod(degrees, kFullTurnDegrees);
}

enum class AngleRule { AsStored, WrapDegrees };

// Reads a camera value; a missing value, or one that is not a finite number
// (a NaN or an infinity would poison every later camera computation), keeps
// the current one.
void read_camera_value(platform::SettingsStore& store, const char* name, AngleRule rule, float& value) {
    uint32_t bits = 0;
    if (!store.read_float_value(name, bits)) return;
    const float stored = std::bit_cast<float>(bits);
    if (!std::isfinite(stored)) return;
    value = rule == AngleRule::WrapDegrees ? wrap_degrees_keeping_sign(stored) : stored;
}

// The general values in their order: the newest last, so that a store
// written before it existed simply lacks it and it keeps its default.
void write_general_values(platform::SettingsStore& store, const Settings& settings) {
    store.write_value(kFloorName, static_cast<uint32_t>(settings.r_floor));
    store.write_value(kShowInfoName, settings.d_show_info ? 1u : 0u);
    store.write_value(kExitOnMouseMoveName, settings.d_exit_omm ? 1u : 0u);
    store.write_float_value(kCameraAzimuthName, std::bit_cast<uint32_t>(settings.camera_azimuth_deg));
    store.write_float_value(kCameraElevationName, std::bit_cast<uint32_t>(settings.camera_elevation_deg));
    store.write_float_value(kCameraDistanceName, std::bit_cast<uint32_t>(settings.camera_distance));
    store.write_float_value(kCameraLookAngleName, std::bit_cast<uint32_t>(settings.camera_look_angle_deg));
    store.write_float_value(kCameraHeightName, std::bit_cast<uint32_t>(settings.camera_height));
    store.write_value(kOtherMonitorsName, settings.d_other_monitors ? 1u : 0u);
}

// Opens the key for a save. Should it have vanished since start-up (someone
// removed the file meanwhile), it is created again rather than losing the save.
bool open_key_for_save(platform::SettingsStore& store) {
    if (platform::succeeded(store.open_key())) return true;
    bool created = false;
    return platform::succeeded(store.create_key(created));
}

}  // namespace

Settings default_settings() {
    Settings settings{};
    settings.r_floor = 0;
    settings.d_show_info = true;
    settings.d_exit_omm = false;
    settings.camera_azimuth_deg = 270.0f;
    settings.camera_elevation_deg = 15.0f;
    settings.camera_distance = 2.0f;
    settings.camera_look_angle_deg = 0.0f;
    settings.camera_height = 0.0f;
    settings.d_other_monitors = true;
    settings.r_adapter = 0;
    settings.r_device = 0;
    settings.r_mode = 0;
    settings.r_multi_sample = 0;
    return settings;
}

platform::Result ensure_settings_key(platform::SettingsStore& store, const Settings& settings) {
    bool created = false;
    if (platform::failed(store.create_key(created))) return platform::kOk;
    if (created) write_general_values(store, settings);
    store.close_key();
    return platform::kOk;
}

platform::Result load_general_settings(platform::SettingsStore& store, Settings& settings) {
    if (platform::failed(store.open_key())) return platform::kOk;
    uint32_t value = 0;
    if (store.read_value(kFloorName, value)) settings.r_floor = static_cast<int32_t>(value);
    if (store.read_value(kShowInfoName, value)) settings.d_show_info = value != 0;
    if (store.read_value(kExitOnMouseMoveName, value)) settings.d_exit_omm = value != 0;
    read_camera_value(store, kCameraAzimuthName, AngleRule::WrapDegrees, settings.camera_azimuth_deg);
    read_camera_value(store, kCameraElevationName, AngleRule::AsStored, settings.camera_elevation_deg);
    read_camera_value(store, kCameraDistanceName, AngleRule::AsStored, settings.camera_distance);
    read_camera_value(store, kCameraLookAngleName, AngleRule::WrapDegrees, settings.camera_look_angle_deg);
    read_camera_value(store, kCameraHeightName, AngleRule::AsStored, settings.camera_height);
    if (store.read_value(kOtherMonitorsName, value)) settings.d_other_monitors = value != 0;
    store.close_key();
    return platform::kOk;
}

platform::Result save_general_settings(platform::SettingsStore& store, const Settings& settings) {
    if (!open_key_for_save(store)) return platform::kOk;
    write_general_values(store, settings);
    store.close_key();
    return platform::kOk;
}

bool load_device_settings(platform::SettingsStore& store, Settings& settings) {
    if (platform::failed(store.open_key())) return false;
    uint32_t value = 0;
    bool all_read = false;
    if (store.read_value(kAdapterName, value)) {
        settings.r_adapter = value;
        if (store.read_value(kDeviceName, value)) {
            settings.r_device = value;
            if (store.read_value(kModeName, value)) {
                settings.r_mode = value;
                if (store.read_value(kMultiSampleName, value)) {
                    settings.r_multi_sample = static_cast<int32_t>(value);
                    all_read = true;
                }
            }
        }
    }
    store.close_key();
    return all_read;
}

platform::Result save_device_settings(platform::SettingsStore& store, const Settings& settings) {
    if (!open_key_for_save(store)) return platform::kOk;
    store.write_value(kAdapterName, settings.r_adapter);
    store.write_value(kDeviceName, settings.r_device);
    store.write_value(kModeName, settings.r_mode);
    store.write_value(kMultiSampleName, static_cast<uint32_t>(settings.r_multi_sample));
    store.close_key();
    return platform::kOk;
}

}  // namespace settings
