#include "platform/win32/win32_monitors.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/win32/wgl_graphics_system.h"

namespace platform::win32 {
namespace {

// The DPI awareness contexts are handles with fixed values.
using AwarenessContext = HANDLE;
const AwarenessContext kPerMonitorAwareV2 = reinterpret_cast<AwarenessContext>(static_cast<intptr_t>(-4));
const AwarenessContext kPerMonitorAware = reinterpret_cast<AwarenessContext>(static_cast<intptr_t>(-3));
constexpr int kAwarenessUnaware = 0;  // DPI_AWARENESS_UNAWARE
constexpr int kEffectiveDpi = 0;      // MDT_EFFECTIVE_DPI

using SetProcessContextFn = BOOL(WINAPI*)(AwarenessContext);
using GetThreadContextFn = AwarenessContext(WINAPI*)();
using AwarenessOfContextFn = int(WINAPI*)(AwarenessContext);
using SetProcessAwareFn = BOOL(WINAPI*)();
using DpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

template <typename Fn>
Fn entry_point(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// GetDpiForMonitor of shcore, loaded once (the library stays loaded).
DpiForMonitorFn dpi_for_monitor() {
    static const DpiForMonitorFn function =
        entry_point<DpiForMonitorFn>(LoadLibraryA("shcore.dll"), "GetDpiForMonitor");
    return function;
}

// The screen's vertical pixels per inch: every monitor's where the system
// cannot tell them apart.
int32_t screen_dpi() {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return kDefaultDpi;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDefaultDpi;
}

int32_t monitor_dpi(HMONITOR monitor) {
    const DpiForMonitorFn function = dpi_for_monitor();
    UINT x = 0, y = 0;
    if (function != nullptr && SUCCEEDED(function(monitor, kEffectiveDpi, &x, &y)) && y > 0) {
        return static_cast<int32_t>(y);
    }
    return screen_dpi();
}

struct Found {
    FoundMonitor monitors[kMaxMonitors];
    uint32_t count;
};

BOOL CALLBACK add_monitor(HMONITOR monitor, HDC, LPRECT, LPARAM found_address) {
    auto& found = *reinterpret_cast<Found*>(found_address);
    if (found.count >= kMaxMonitors) return FALSE;
    MONITORINFOEXA info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(monitor, &info)) return TRUE;
    FoundMonitor& entry = found.monitors[found.count++];
    entry = FoundMonitor{};
    entry.info.bounds = Rect{info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
    entry.info.dpi = monitor_dpi(monitor);
    std::snprintf(entry.info.name, sizeof entry.info.name, "%s", info.szDevice);
    entry.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    return TRUE;
}

}  // namespace

void declare_dpi_awareness() {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    const auto thread_context = entry_point<GetThreadContextFn>(user32, "GetThreadDpiAwarenessContext");
    const auto awareness_of = entry_point<AwarenessOfContextFn>(user32, "GetAwarenessFromDpiAwarenessContext");
    const auto set_context = entry_point<SetProcessContextFn>(user32, "SetProcessDpiAwarenessContext");
    if (thread_context != nullptr && awareness_of != nullptr && set_context != nullptr) {
        if (awareness_of(thread_context()) != kAwarenessUnaware) return;  // the manifest was honoured
        if (set_context(kPerMonitorAwareV2) || set_context(kPerMonitorAware)) return;
    }
    const auto set_aware = entry_point<SetProcessAwareFn>(user32, "SetProcessDPIAware");
    if (set_aware != nullptr) set_aware();
}

uint32_t order_monitors(const char (*adapters)[kMonitorNameSize], uint32_t adapter_count, const FoundMonitor* found,
                        uint32_t found_count, MonitorInfo* ordered, uint32_t capacity) {
    bool placed[kMaxMonitors] = {};
    if (found_count > kMaxMonitors) found_count = kMaxMonitors;
    uint32_t count = 0;
    for (uint32_t a = 0; a < adapter_count && count < capacity; ++a) {
        for (uint32_t m = 0; m < found_count; ++m) {
            if (placed[m] || std::strncmp(found[m].info.name, adapters[a], kMonitorNameSize) != 0) continue;
            ordered[count++] = found[m].info;
            placed[m] = true;
            break;
        }
    }
    for (int pass = 0; pass < 2; ++pass) {  // the rest: the primary first
        for (uint32_t m = 0; m < found_count && count < capacity; ++m) {
            if (placed[m] || found[m].primary != (pass == 0)) continue;
            ordered[count++] = found[m].info;
            placed[m] = true;
        }
    }
    return count;
}

uint32_t read_desktop_monitors(MonitorInfo* monitors, uint32_t capacity) {
    Found found{};
    EnumDisplayMonitors(nullptr, nullptr, &add_monitor, reinterpret_cast<LPARAM>(&found));
    DesktopDisplay displays[kMaxDesktopDisplays];
    const uint32_t display_count = list_desktop_displays(displays, kMaxDesktopDisplays);
    char adapters[kMaxDesktopDisplays][kMonitorNameSize];
    for (uint32_t i = 0; i < display_count; ++i) {
        std::snprintf(adapters[i], sizeof adapters[i], "%s", displays[i].device_name);
    }
    return order_monitors(adapters, display_count, found.monitors, found.count, monitors, capacity);
}

}  // namespace platform::win32
