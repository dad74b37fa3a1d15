// The device dialog as its view sees it: the state of every control, the
// commands a user gives, and the view that shows the controls in a window.
// The dialog's rules fill the controls and react to the commands; the view
// only draws them and reports what the user did.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"
#include "platform/result.h"
#include "platform/window_system.h"

namespace platform {

// Control ids of the dialog.
inline constexpr uint32_t kControlOk = 1;
inline constexpr uint32_t kControlCancel = 2;
inline constexpr uint32_t kControlDeviceList = 1000;
inline constexpr uint32_t kControlAdapterList = 1002;
inline constexpr uint32_t kControlModeList = 1003;
inline constexpr uint32_t kControlMultisampleList = 1005;
inline constexpr uint32_t kControlWindowedRadio = 1016;    // exists, never shown
inline constexpr uint32_t kControlFullscreenRadio = 1018;  // exists, never shown
inline constexpr uint32_t kControlShowInfoCheck = 1027;    // exists, never shown
inline constexpr uint32_t kControlExitOnMouseMoveCheck = 1028;  // exists, never shown
inline constexpr uint32_t kControlAboutButton = 1029;
inline constexpr uint32_t kControlOtherMonitorsCheck = 1030;  // a fish on the other monitors (else black)

// Notifications carried by a command.
inline constexpr uint32_t kNotifyClicked = 0;        // a button was pressed
inline constexpr uint32_t kNotifySelectionDone = 9;  // the user completed a selection in a list

inline constexpr uint32_t kDialogCaptionSize = 80;     // bytes, like the title buffer
inline constexpr uint32_t kDialogItemTextSize = 128;   // bytes; longer texts are cut
inline constexpr uint32_t kMultisampleItemCapacity = 16;  // types 0 and 2..16

struct DialogListItem {
    char text[kDialogItemTextSize];  // shown text
    uint32_t value;                  // item value: an index or a multisample type
};

// A drop-down list.
template <uint32_t Capacity>
struct DialogList {
    DialogListItem items[Capacity];
    uint32_t count;    // items in use
    int32_t selected;  // index of the selected item; -1 when none
    bool enabled;      // the user may change it
};

// A check box or radio button.
struct DialogCheck {
    bool checked;
    bool enabled;
};

struct DeviceDialogControls {
    char caption[kDialogCaptionSize];         // the window's caption
    DialogList<kMaxAdapters> adapters;        // kControlAdapterList
    DialogList<kMaxDevices> devices;          // kControlDeviceList
    DialogList<kMaxModes> modes;              // kControlModeList
    DialogList<kMultisampleItemCapacity> multisample_types;  // kControlMultisampleList
    DialogCheck windowed_radio;               // kControlWindowedRadio, hidden
    DialogCheck fullscreen_radio;             // kControlFullscreenRadio, hidden
    DialogCheck show_info;                    // kControlShowInfoCheck, hidden
    DialogCheck exit_on_mouse_move;           // kControlExitOnMouseMoveCheck, hidden
    DialogCheck other_monitors;               // kControlOtherMonitorsCheck
};

// What the user did: a button pressed (a check box clicked, its `checked`
// already changed) or a selection completed in a list.
struct DialogCommand {
    uint32_t control_id;    // kControl*
    uint32_t notification;  // kNotify*
};

class DeviceDialogView {
public:
    // Opens the dialog's window showing `controls`; negative when it cannot.
    virtual Result open(const DeviceDialogControls& controls) = 0;
    // Shows the controls and waits for the user's next command. When the
    // user picks an item of a list, the list's `selected` is changed before
    // the selection command is returned. Closing the window is Cancel.
    virtual DialogCommand wait_for_command(DeviceDialogControls& controls) = 0;
    // The window that owns message boxes shown over the dialog.
    virtual NativeWindow window() const = 0;
    virtual void close() = 0;

protected:
    virtual ~DeviceDialogView() = default;
};

}  // namespace platform
