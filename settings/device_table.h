// The table of adapters, their devices and the display modes each device
// accepts, built once before any window exists. Every capacity is fixed.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"

namespace settings {

inline constexpr uint32_t kMaxAdapters = 10;
inline constexpr uint32_t kMaxDevices = 5;        // per adapter
inline constexpr uint32_t kMaxModes = 150;        // per device
inline constexpr uint32_t kMaxCandidates = 100;   // distinct modes per adapter during enumeration
inline constexpr uint32_t kMaxFormats = 20;       // distinct formats per adapter during enumeration

struct DisplayModeRecord {
    uint32_t width;                  // pixels
    uint32_t height;                 // pixels
    platform::Format format;
    uint32_t behaviour;              // device-creation flags (kCreate*)
    platform::Format depth_format;   // 0 when none
};

struct DeviceRecord {
    platform::DeviceType device_type;  // kDeviceHal or kDeviceRef
    platform::DeviceCaps caps;
    const char* description;           // "HAL" or "REF"
    uint32_t can_render_windowed;      // bool
    uint32_t mode_count;
    DisplayModeRecord modes[kMaxModes];
    uint32_t current_mode;
    uint32_t windowed;                 // bool: the presentation this device asks for
    uint32_t windowed_multisample;     // 0 or 2..16
    uint32_t fullscreen_multisample;   // 0 or 2..16
};

struct AdapterRecord {
    platform::AdapterIdentifier identifier;
    platform::DisplayMode desktop_mode;
    uint32_t device_count;
    DeviceRecord devices[kMaxDevices];
    uint32_t current_device;
};

struct DeviceTable {
    AdapterRecord adapters[kMaxAdapters];
    uint32_t adapter_count;
    uint32_t current_adapter;
};

}  // namespace settings
