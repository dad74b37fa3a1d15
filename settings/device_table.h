// The table of adapters, their devices and the display modes each device
// accepts, built once before any window exists. Every capacity is fixed.
#pragma once

#include <cstdint>

#include "platform/graphics_system.h"
#include "platform/graphics_types.h"
#include "platform/result.h"

namespace settings {

using platform::kMaxAdapters;
using platform::kMaxDevices;
using platform::kMaxModes;
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
    bool can_render_windowed;          // the device can present into a window
    uint32_t mode_count;
    DisplayModeRecord modes[kMaxModes];
    uint32_t current_mode;
    bool windowed;                     // the presentation this device asks for: a window
    uint32_t windowed_multisample;     // 0 or 2..16
    uint32_t fullscreen_multisample;   // 0 or 2..16
};

struct AdapterRecord {
    platform::AdapterIdentifier identifier;
    platform::DisplayMode desktop_mode;
    uint32_t device_count;
    DeviceRecord devices[kMaxDevices];
    uint32_t current_device;
    uint32_t ordinal;  // the graphics system's number of this adapter (the table skips unusable ones)
};

struct DeviceTable {
    AdapterRecord adapters[kMaxAdapters];
    uint32_t adapter_count;
    uint32_t current_adapter;
};

// A distinct display mode found while enumerating an adapter.
struct ModeCandidate {
    uint32_t width;          // pixels
    uint32_t height;         // pixels
    uint32_t refresh_rate;   // always 0: refresh rates are not told apart
    platform::Format format;
};

// Failures of build_device_table and the warnings of its start-up choice.
inline constexpr platform::Result kNoUsableDevice = static_cast<platform::Result>(0x82000003u);
inline constexpr platform::Result kDesktopModeUnusable = static_cast<platform::Result>(0x82000004u);
inline constexpr platform::Result kNoHardwareDevice = static_cast<platform::Result>(0x82000005u);
inline constexpr platform::Result kHardwareLacksFeatures = static_cast<platform::Result>(0x82000006u);
inline constexpr platform::Result kHardwareCannotWindow = static_cast<platform::Result>(0x82000007u);
inline constexpr platform::Result kHardwareCannotUseDesktop = static_cast<platform::Result>(0x82000008u);
inline constexpr platform::Result kHardwareLacksFeaturesInMode = static_cast<platform::Result>(0x82000009u);

// The application's test of a device: 0 accepts the capabilities with that
// vertex-processing behaviour and back-buffer format, negative refuses them.
using CheckDeviceCaps = platform::Result (*)(void* context, const platform::DeviceCaps& caps,
                                             uint32_t behaviour, platform::Format format);

// What build_device_table needs from the framework.
struct DeviceTableRequest {
    platform::GraphicsSystem* graphics;
    CheckDeviceCaps check_device_caps;  // the application's capability test
    void* check_context;                // handed back to check_device_caps
    bool use_depth_buffer;              // every accepted format needs a depth format
    uint32_t min_depth_bits;            // bits the depth format must at least offer
    uint32_t min_stencil_bits;          // stencil bits the depth format must at least offer
    uint32_t screen_width;              // pixels, of the desktop
    uint32_t screen_height;             // pixels, of the desktop
};

// Asks the graphics system for every adapter, device type and display mode
// and keeps the combinations the application accepts. Returns 0, or
// kNoUsableDevice / kDesktopModeUnusable. On success the start-up choice is
// made and `windowed` is set; `fallback_warning` is the warning to
// report when that choice is the reference device (0 when there is none).
platform::Result build_device_table(DeviceTable& table, const DeviceTableRequest& request, bool& windowed,
                                    platform::Result& fallback_warning);

// Sort order of mode candidates: higher format value first, then smaller
// width, then smaller height. -1, 0 or 1.
int32_t compare_display_modes(const ModeCandidate& a, const ModeCandidate& b);

// Finds the first depth format of the preferred list that offers the bits
// asked for and that the adapter accepts with `format`; false when none.
bool choose_depth_format(platform::GraphicsSystem& graphics, uint32_t adapter, platform::DeviceType type,
                         platform::Format format, uint32_t min_depth_bits, uint32_t min_stencil_bits,
                         platform::Format& depth_format);

}  // namespace settings
