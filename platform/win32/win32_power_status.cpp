#include "platform/win32/win32_power_status.h"

#include <windows.h>

namespace platform::win32 {
namespace {

constexpr uint32_t kDisplayOff = 0;
constexpr BYTE kMainsOffline = 0;

// Written by the window procedure and read by the message loop, both on
// the one thread of the program.
bool g_display_dark = false;

class Win32PowerStatus final : public PowerStatus {
public:
    PowerState read() override {
        SYSTEM_POWER_STATUS status{};
        const bool battery = GetSystemPowerStatus(&status) != FALSE && runs_on_battery(status.ACLineStatus);
        return PowerState{g_display_dark, battery};
    }
};

}  // namespace

PowerStatus* make_win32_power_status() {
    static Win32PowerStatus status;
    return &status;
}

void note_console_display_state(uint32_t state) { g_display_dark = state == kDisplayOff; }

bool runs_on_battery(uint8_t ac_line_status) { return ac_line_status == kMainsOffline; }

}  // namespace platform::win32
