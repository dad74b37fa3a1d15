// Adapters and their display modes from EnumDisplayDevicesA and
// EnumDisplaySettingsA.
#include <windows.h>

#include <cstdio>

#include "platform/win32/wgl_graphics_system.h"

namespace platform::win32 {
namespace {

Format format_of_bits(DWORD bits) {
    if (bits == 32) return kFormatX8R8G8B8;
    if (bits == 16) return kFormatR5G6B5;
    return kFormatUnknown;
}

bool same_mode(const DisplayMode& a, const DisplayMode& b) {
    return a.width == b.width && a.height == b.height && a.refresh_rate == b.refresh_rate && a.format == b.format;
}

DisplayMode mode_of(const DEVMODEA& mode) {
    return DisplayMode{mode.dmPelsWidth, mode.dmPelsHeight, mode.dmDisplayFrequency > 1 ? mode.dmDisplayFrequency : 0,
                       format_of_bits(mode.dmBitsPerPel)};
}

void read_modes(WglAdapter& adapter) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    if (EnumDisplaySettingsA(adapter.device_name, ENUM_CURRENT_SETTINGS, &mode)) adapter.desktop = mode_of(mode);
    adapter.mode_count = 0;
    for (DWORD i = 0; adapter.mode_count < WglAdapter::kModeCapacity; ++i) {
        mode = DEVMODEA{};
        mode.dmSize = sizeof mode;
        if (!EnumDisplaySettingsA(adapter.device_name, i, &mode)) break;
        const DisplayMode found = mode_of(mode);
        if (found.format == kFormatUnknown || found.width == 0 || found.height == 0) continue;
        bool listed = false;
        for (uint32_t k = 0; k < adapter.mode_count && !listed; ++k) listed = same_mode(adapter.modes[k], found);
        if (!listed) adapter.modes[adapter.mode_count++] = found;
    }
    // A driver that lists nothing still has its current mode.
    if (adapter.mode_count == 0 && adapter.desktop.format != kFormatUnknown) {
        adapter.modes[adapter.mode_count++] = adapter.desktop;
    }
}

}  // namespace

uint32_t list_desktop_displays(DesktopDisplay* displays, uint32_t capacity) {
    uint32_t count = 0;
    for (int pass = 0; pass < 2; ++pass) {  // the primary display first
        for (DWORD i = 0; count < capacity; ++i) {
            DISPLAY_DEVICEA device{};
            device.cb = sizeof device;
            if (!EnumDisplayDevicesA(nullptr, i, &device, 0)) break;
            if ((device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) == 0) continue;
            const bool primary = (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) != 0;
            if (primary != (pass == 0)) continue;
            DesktopDisplay& display = displays[count++];
            std::snprintf(display.device_name, sizeof display.device_name, "%s", device.DeviceName);
            std::snprintf(display.device_string, sizeof display.device_string, "%s", device.DeviceString);
        }
    }
    return count;
}

uint32_t enumerate_adapters(WglAdapter* adapters, uint32_t capacity) {
    DesktopDisplay displays[kMaxDesktopDisplays];
    const uint32_t listed = list_desktop_displays(displays, kMaxDesktopDisplays);
    uint32_t count = 0;
    for (uint32_t i = 0; i < listed && count < capacity; ++i) {
        WglAdapter& adapter = adapters[count];
        adapter = WglAdapter{};
        std::snprintf(adapter.device_name, sizeof adapter.device_name, "%s", displays[i].device_name);
        std::snprintf(adapter.device_string, sizeof adapter.device_string, "%s", displays[i].device_string);
        read_modes(adapter);
        if (adapter.mode_count > 0) ++count;
    }
    return count;
}

}  // namespace platform::win32
