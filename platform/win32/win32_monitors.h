// The monitors of the desktop on Windows: EnumDisplayMonitors and
// GetMonitorInfoA give each monitor's rectangle (physical pixels in a
// process that is aware of every monitor's DPI) and the name of the display
// device it shows (MONITORINFOEX.szDevice, "\\.\DISPLAYn"); the pixels per
// inch come from shcore's GetDpiForMonitor where the system has it, else
// from the screen's device context. They are listed in the order of the
// graphics system's adapters (the displays attached to the desktop, the
// primary first), so that monitor N is adapter N.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace platform::win32 {

// Makes the process aware of every monitor's own DPI where its manifest was
// not honoured (an older system, or one that ignores it): per-monitor (v2,
// else v1) through SetProcessDpiAwarenessContext, else system-wide through
// SetProcessDPIAware. Loaded at run time; does nothing where the process is
// aware already. Call before the first window.
void declare_dpi_awareness();

// A monitor as the system lists it, before it is put in the adapters' order.
struct FoundMonitor {
    MonitorInfo info;  // rectangle in screen pixels, DPI, display device name
    bool primary;      // the monitor at (0, 0) that holds the taskbar
};

// Puts `found` (in the system's order) into the order of `adapters` (the
// display device names of the graphics system's adapters, in their order):
// the monitor of adapter N is at N. A monitor of no adapter follows, the
// primary first; an adapter without a monitor takes no place, so later
// monitors move up. Answers how many were written to `ordered`.
uint32_t order_monitors(const char (*adapters)[kMonitorNameSize], uint32_t adapter_count, const FoundMonitor* found,
                        uint32_t found_count, MonitorInfo* ordered, uint32_t capacity);

// Reads the desktop's monitors in the adapters' order; answers how many
// (at most `capacity`; 0 when the system lists none).
uint32_t read_desktop_monitors(MonitorInfo* monitors, uint32_t capacity);

}  // namespace platform::win32
