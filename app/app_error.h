// The framework's own failure codes, the severities of a reported failure
// and the message text each code shows.
#pragma once

#include <cstdint>

#include "platform/result.h"
#include "settings/device_table.h"

namespace app {

using platform::Result;

inline constexpr Result kNoDirect3D = static_cast<Result>(0x82000001u);
inline constexpr Result kNoWindow = static_cast<Result>(0x82000002u);  // has no text of its own
// The device table's own failures and warnings (0x82000003 to 0x82000009).
using settings::kDesktopModeUnusable;
using settings::kHardwareCannotUseDesktop;
using settings::kHardwareCannotWindow;
using settings::kHardwareLacksFeatures;
using settings::kHardwareLacksFeaturesInMode;
using settings::kNoHardwareDevice;
using settings::kNoUsableDevice;
inline constexpr Result kObjectsStillReferenced = static_cast<Result>(0x8200000Au);
inline constexpr Result kMediaMissing = static_cast<Result>(0x8200000Bu);
inline constexpr Result kResetFailed = static_cast<Result>(0x8200000Cu);
inline constexpr Result kReferenceDeviceStub = static_cast<Result>(0x8200000Du);
// The preview's host names no window: the program ends quietly with exit status 1.
inline constexpr Result kNoHostWindow = static_cast<Result>(0x8200000Eu);

enum ErrorSeverity : int32_t {
    kSeverityWarning = 0,              // the text alone, warning icon
    kSeverityFatal = 1,                // exit suffix, error icon, then the main window closes
    kSeverityFallbackToReference = 2,  // reference-device suffix, warning icon
};

inline constexpr const char* kFatalSuffix = "\n\nThis sample will now exit.";
inline constexpr const char* kFallbackSuffix =
    "\n\nSwitching to the reference rasterizer,\na software device that implements the entire\n"
    "Direct3D feature set, but runs very slowly.";

// The message shown for `code`; the generic text for any code without one.
const char* app_error_text(Result code);

}  // namespace app
