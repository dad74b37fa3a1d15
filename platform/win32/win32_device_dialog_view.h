// The device dialog's view on Win32: dialog template 144 of the program's
// resources, shown modally (its owner, when there is one, is disabled while
// it is open) with its own message loop, so the dialog's rules can wait for
// one command at a time.
#pragma once

#include <cstdint>

#include "platform/device_dialog_view.h"

namespace platform::win32 {

inline constexpr uint16_t kDeviceDialogTemplate = 144;

class Win32DeviceDialogView final : public DeviceDialogView {
public:
    // `owner`: the window the dialog belongs to; 0 for none.
    explicit Win32DeviceDialogView(NativeWindow owner = 0) : owner_(owner) {}
    ~Win32DeviceDialogView() override { close(); }
    Win32DeviceDialogView(const Win32DeviceDialogView&) = delete;
    Win32DeviceDialogView& operator=(const Win32DeviceDialogView&) = delete;

    Result open(const DeviceDialogControls& controls) override;
    DialogCommand wait_for_command(DeviceDialogControls& controls) override;
    NativeWindow window() const override { return dialog_; }
    void close() override;

    // Called by the dialog procedure.
    void command_arrived(uint32_t control_id, uint32_t notification);

private:
    void show(const DeviceDialogControls& controls, bool everything);

    NativeWindow owner_;
    NativeWindow dialog_ = 0;
    bool owner_disabled_ = false;
    bool has_command_ = false;
    DialogCommand command_{};
    DeviceDialogControls shown_{};  // what the controls show now
};

}  // namespace platform::win32
