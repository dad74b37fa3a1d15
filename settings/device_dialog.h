// The device dialog's rules: the user chooses adapter, device, full-screen
// mode and multisample type; OK saves the choices (the running device is not
// changed), Cancel leaves everything as it was.
#pragma once

#include <cstdint>

#include "platform/device_dialog_view.h"
#include "platform/graphics_system.h"
#include "platform/settings_store.h"
#include "platform/window_system.h"
#include "settings/device_table.h"
#include "settings/settings.h"

namespace settings {

// The view's controls and commands, named here as the dialog's rules use them.
using platform::kControlOk;
using platform::kControlCancel;
using platform::kControlDeviceList;
using platform::kControlAdapterList;
using platform::kControlModeList;
using platform::kControlMultisampleList;
using platform::kControlWindowedRadio;
using platform::kControlFullscreenRadio;
using platform::kControlShowInfoCheck;
using platform::kControlExitOnMouseMoveCheck;
using platform::kControlAboutButton;
using platform::kControlOtherMonitorsCheck;
using platform::kNotifyClicked;
using platform::kNotifySelectionDone;
using platform::kDialogCaptionSize;
using platform::kDialogItemTextSize;
using platform::kMultisampleItemCapacity;
using platform::DialogListItem;
using platform::DialogList;
using platform::DialogCheck;
using platform::DeviceDialogControls;
using platform::DialogCommand;
using platform::DeviceDialogView;

inline constexpr int32_t kDialogEndedOk = 1;
inline constexpr int32_t kDialogEndedCancel = 2;

// What the dialog works on; all of it belongs to the caller.
struct DeviceDialogServices {
    DeviceTable* table;                    // read only: the dialog offers its entries
    platform::GraphicsSystem* graphics;    // asked which multisample types a mode offers
    Settings* settings;                    // written on OK
    platform::SettingsStore* store;        // written on OK
    platform::MessageBoxes* message_boxes; // shows the about box
    const char* title;                     // the dialog's caption
};

// A device choice: indices into the device table and the presentation.
struct DeviceChoice {
    uint32_t adapter;                 // index in the table
    uint32_t device;                  // index within the adapter
    uint32_t mode;                    // index within the device
    bool windowed;                    // present into a window
    uint32_t windowed_multisample;    // 0 or 2..16
    uint32_t fullscreen_multisample;  // 0 or 2..16
};

struct DeviceDialogModel {
    DeviceDialogServices services;
    DeviceChoice opening;             // the choice when the dialog opened
    DeviceChoice chosen;              // the user's choice so far
    DeviceDialogControls controls;    // what the view shows
    int32_t end_result;               // 0 while open, then kDialogEndedOk or kDialogEndedCancel
};

// Opens the dialog: takes the table's current choice, sets the caption, the
// two hidden check boxes and the other monitors' box from the settings,
// fills the lists.
void init_device_dialog(DeviceDialogModel& model, const DeviceDialogServices& services);

// Reacts to one command of the user; `owner` owns the about box.
void handle_device_dialog_command(DeviceDialogModel& model, const DialogCommand& command,
                                  platform::NativeWindow owner);

// Fills the four lists from the chosen values and enables the controls.
void refill_device_dialog(DeviceDialogModel& model);

// Runs the whole dialog with `view`: kDialogEndedOk, kDialogEndedCancel, or
// the view's failure when it cannot open its window.
int32_t run_device_dialog_model(DeviceDialogView& view, const DeviceDialogServices& services);

}  // namespace settings
