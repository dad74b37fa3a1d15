// The modal device dialog, seen from the framework: it shows the dialog
// owned by the main window, lets the user choose, and stores the choices in
// the settings when the user confirms. The running device is not rebuilt.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"
#include "platform/result.h"

namespace app {

struct RenderApp;

inline constexpr int32_t kDialogOk = 1;
inline constexpr int32_t kDialogCancel = 2;

class DeviceDialogRunner {
public:
    // Runs the dialog to its end: kDialogOk or kDialogCancel.
    virtual int32_t run_modal(RenderApp& app) = 0;

protected:
    ~DeviceDialogRunner() = default;
};

// Shows the dialog over a window: full screen is left first (a failure
// there is reported as fatal and answers 0x80004005). After OK with time
// stopped one frame is drawn. Answers success whether OK or Cancel.
platform::Result run_device_dialog(RenderApp& app);

// The window the dialog belongs to: the caller's window when the command
// line named one, else the main window.
platform::NativeWindow dialog_owner(const RenderApp& app);

}  // namespace app
