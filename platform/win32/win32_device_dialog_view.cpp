#include "platform/win32/win32_device_dialog_view.h"

#include <windows.h>

#include <cstring>

namespace platform::win32 {
namespace {

HWND to_hwnd(NativeWindow window) { return reinterpret_cast<HWND>(window); }

INT_PTR CALLBACK dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            return TRUE;  // focus goes to the first control
        case WM_COMMAND: {
            auto* view = reinterpret_cast<Win32DeviceDialogView*>(GetWindowLongPtrA(dialog, DWLP_USER));
            if (view == nullptr) return FALSE;
            const uint32_t id = LOWORD(wparam);
            const uint32_t notification = HIWORD(wparam);
            const bool button = (id == kControlOk || id == kControlCancel || id == kControlAboutButton ||
                                 id == kControlOtherMonitorsCheck) &&
                                notification == BN_CLICKED;
            const bool list = (id == kControlAdapterList || id == kControlDeviceList || id == kControlModeList ||
                               id == kControlMultisampleList) &&
                              notification == CBN_SELENDOK;
            if (button || list) view->command_arrived(id, notification);
            return TRUE;
        }
        case WM_CLOSE: {
            auto* view = reinterpret_cast<Win32DeviceDialogView*>(GetWindowLongPtrA(dialog, DWLP_USER));
            if (view != nullptr) view->command_arrived(kControlCancel, kNotifyClicked);
            return TRUE;
        }
        default: return FALSE;
    }
}

template <uint32_t Capacity>
void show_list(HWND dialog, uint32_t id, const DialogList<Capacity>& list, const DialogList<Capacity>& shown,
               bool everything) {
    HWND control = GetDlgItem(dialog, static_cast<int>(id));
    if (control == nullptr) return;
    const bool same_items = !everything && list.count == shown.count &&
                            std::memcmp(list.items, shown.items, sizeof(DialogListItem) * list.count) == 0;
    if (!same_items) {
        SendMessageA(control, CB_RESETCONTENT, 0, 0);
        const uint32_t count = list.count <= Capacity ? list.count : Capacity;
        for (uint32_t i = 0; i < count; ++i) {
            char text[kDialogItemTextSize];
            std::memcpy(text, list.items[i].text, sizeof text);
            text[sizeof text - 1] = '\0';
            const LRESULT index = SendMessageA(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            if (index >= 0) SendMessageA(control, CB_SETITEMDATA, static_cast<WPARAM>(index), list.items[i].value);
        }
    }
    if (!same_items || list.selected != shown.selected) {
        SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(list.selected), 0);
    }
    if (everything || list.enabled != shown.enabled) EnableWindow(control, list.enabled ? TRUE : FALSE);
}

void show_check(HWND dialog, uint32_t id, const DialogCheck& check) {
    HWND control = GetDlgItem(dialog, static_cast<int>(id));
    if (control == nullptr) return;
    SendMessageA(control, BM_SETCHECK, check.checked ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(control, check.enabled ? TRUE : FALSE);
}

template <uint32_t Capacity>
void read_selection(HWND dialog, uint32_t id, DialogList<Capacity>& list) {
    const LRESULT index = SendDlgItemMessageA(dialog, static_cast<int>(id), CB_GETCURSEL, 0, 0);
    list.selected = index >= 0 && static_cast<uint32_t>(index) < list.count ? static_cast<int32_t>(index) : -1;
}

}  // namespace

Result Win32DeviceDialogView::open(const DeviceDialogControls& controls) {
    close();
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDeviceDialogTemplate),
                                     to_hwnd(owner_), &dialog_proc, reinterpret_cast<LPARAM>(this));
    if (dialog == nullptr) return kFail;
    dialog_ = reinterpret_cast<NativeWindow>(dialog);
    show(controls, true);
    if (owner_ != 0 && IsWindowEnabled(to_hwnd(owner_))) {
        EnableWindow(to_hwnd(owner_), FALSE);
        owner_disabled_ = true;
    }
    ShowWindow(dialog, SW_SHOWNORMAL);
    SetForegroundWindow(dialog);
    return kOk;
}

void Win32DeviceDialogView::show(const DeviceDialogControls& controls, bool everything) {
    HWND dialog = to_hwnd(dialog_);
    if (everything || std::strncmp(controls.caption, shown_.caption, kDialogCaptionSize) != 0) {
        char caption[kDialogCaptionSize];
        std::memcpy(caption, controls.caption, sizeof caption);
        caption[sizeof caption - 1] = '\0';
        SetWindowTextA(dialog, caption);
    }
    show_list(dialog, kControlAdapterList, controls.adapters, shown_.adapters, everything);
    show_list(dialog, kControlDeviceList, controls.devices, shown_.devices, everything);
    show_list(dialog, kControlModeList, controls.modes, shown_.modes, everything);
    show_list(dialog, kControlMultisampleList, controls.multisample_types, shown_.multisample_types, everything);
    show_check(dialog, kControlWindowedRadio, controls.windowed_radio);
    show_check(dialog, kControlFullscreenRadio, controls.fullscreen_radio);
    show_check(dialog, kControlShowInfoCheck, controls.show_info);
    show_check(dialog, kControlExitOnMouseMoveCheck, controls.exit_on_mouse_move);
    show_check(dialog, kControlOtherMonitorsCheck, controls.other_monitors);
    shown_ = controls;
}

void Win32DeviceDialogView::command_arrived(uint32_t control_id, uint32_t notification) {
    if (has_command_) return;  // the first one counts until it is taken
    command_ = DialogCommand{control_id, notification};
    has_command_ = true;
}

DialogCommand Win32DeviceDialogView::wait_for_command(DeviceDialogControls& controls) {
    const DialogCommand cancel{kControlCancel, kNotifyClicked};
    if (dialog_ == 0) return cancel;
    show(controls, false);
    HWND dialog = to_hwnd(dialog_);
    has_command_ = false;
    MSG msg{};
    while (!has_command_) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
            return cancel;
        }
        if (got < 0 || !IsWindow(dialog)) return cancel;
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    switch (command_.control_id) {
        case kControlAdapterList: read_selection(dialog, kControlAdapterList, controls.adapters); break;
        case kControlDeviceList: read_selection(dialog, kControlDeviceList, controls.devices); break;
        case kControlModeList: read_selection(dialog, kControlModeList, controls.modes); break;
        case kControlMultisampleList:
            read_selection(dialog, kControlMultisampleList, controls.multisample_types);
            break;
        default: break;
    }
    // The box changes itself when clicked (or toggled with the space bar).
    controls.other_monitors.checked =
        SendDlgItemMessageA(dialog, kControlOtherMonitorsCheck, BM_GETCHECK, 0, 0) == BST_CHECKED;
    // The controls now show the user's choice.
    shown_.adapters.selected = controls.adapters.selected;
    shown_.devices.selected = controls.devices.selected;
    shown_.modes.selected = controls.modes.selected;
    shown_.multisample_types.selected = controls.multisample_types.selected;
    shown_.other_monitors.checked = controls.other_monitors.checked;
    return command_;
}

void Win32DeviceDialogView::close() {
    if (owner_disabled_) {
        EnableWindow(to_hwnd(owner_), TRUE);
        owner_disabled_ = false;
    }
    if (dialog_ != 0) {
        DestroyWindow(to_hwnd(dialog_));
        dialog_ = 0;
    }
    if (owner_ != 0) SetForegroundWindow(to_hwnd(owner_));
}

}  // namespace platform::win32
