// The Win32 window system and dialog 144 against the real system (under
// Wine on an X server of their own): messages reach the shared procedures
// unchanged, table 113 turns keys into commands, bitmaps are stretched,
// a window of the class holds the instance lock, and the dialog view shows
// and reports what the dialog's rules expect.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "app/accelerators.h"
#include "platform/win32/win32_device_dialog_view.h"
#include "platform/win32/win32_power_status.h"
#include "platform/win32/win32_window_system.h"
#include "platform/win32/window_instance_lock.h"

namespace {

using platform::NativeWindow;

// ---- windows, messages, accelerators ----

struct Seen {
    uint32_t messages[64];
    uintptr_t wparams[64];
    intptr_t lparams[64];
    int count;
    platform::WindowSystem* windows;
};

intptr_t recording_proc(void* context, NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    auto& seen = *static_cast<Seen*>(context);
    if (seen.count < 64) {
        seen.messages[seen.count] = message;
        seen.wparams[seen.count] = wparam;
        seen.lparams[seen.count] = lparam;
        ++seen.count;
    }
    if (message == 0x8001) return 1234;
    return seen.windows->default_window_proc(window, message, wparam, lparam);
}

int find(const Seen& seen, uint32_t message, int from = 0) {
    for (int i = from; i < seen.count; ++i) {
        if (seen.messages[i] == message) return i;
    }
    return -1;
}

class WindowSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        seen.windows = windows;
        const platform::WindowClass window_class{"aquarium test window", &recording_proc, &seen, 0, 101,
                                                 platform::Brush::Black};
        ASSERT_EQ(windows->register_class(window_class), platform::kOk);
        platform::WindowCreate params{};
        params.class_name = "aquarium test window";
        params.title = "test";
        params.style = platform::kStyleConfigureWindow | platform::kStyleVisible;
        params.bounds = platform::Rect{10, 20, 170, 140};
        window = windows->create_window(params);
        ASSERT_NE(window, 0u);
    }
    void TearDown() override {
        if (window != 0 && windows->window_exists(window)) windows->destroy_window(window);
    }
    void drain() {
        platform::Message message{};
        while (windows->peek_message(message, true)) {
            if (!windows->translate_accelerator(window, nullptr, 0, message)) windows->dispatch_message(message);
        }
    }

    platform::WindowSystem* windows = platform::win32::make_win32_window_system();
    Seen seen{};
    NativeWindow window = 0;
};

TEST_F(WindowSystemTest, MessagesReachTheProcedureUnchangedFromTheFirstOneOn) {
    // Windows sends WM_GETMINMAXINFO before the window has any data of its
    // own; it must reach the class's procedure all the same.
    const int minmax = find(seen, platform::kMsgGetMinMaxInfo);
    const int nccreate = find(seen, WM_NCCREATE);
    ASSERT_GE(minmax, 0);
    EXPECT_LT(minmax, nccreate);

    seen.count = 0;
    EXPECT_EQ(windows->send_message(window, 0x8001, 77, -5), 1234);
    ASSERT_EQ(seen.count, 1);
    EXPECT_EQ(seen.wparams[0], 77u);
    EXPECT_EQ(seen.lparams[0], -5);

    // Mouse coordinates are signed 16-bit halves of lParam.
    seen.count = 0;
    const intptr_t position = static_cast<intptr_t>(static_cast<uint32_t>(static_cast<uint16_t>(-3)) | (40u << 16));
    PostMessageA(reinterpret_cast<HWND>(window), WM_MOUSEMOVE, 0, position);
    drain();
    const int moved = find(seen, platform::kMsgMouseMove);
    ASSERT_GE(moved, 0);
    EXPECT_EQ(static_cast<int16_t>(seen.lparams[moved] & 0xFFFF), -3);
    EXPECT_EQ(seen.lparams[moved] >> 16, 40);

    platform::Rect rect{};
    ASSERT_TRUE(windows->get_window_rect(window, rect));
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.right, 170);
    EXPECT_EQ(rect.bottom, 140);
}

TEST_F(WindowSystemTest, TheKeysOfTable113BecomeCommandsAndOthersStayKeys) {
    struct Case {
        WPARAM key;
        uint16_t command;  // 0: no command
    };
    for (const Case c :
         {Case{VK_ESCAPE, app::kCommandExit}, Case{VK_F2, app::kCommandChangeDevice}, Case{'P', app::kCommandPause},
          Case{VK_SPACE, app::kCommandSingleStep}, Case{'Q', 0}, Case{'H', 0}}) {
        seen.count = 0;
        PostMessageA(reinterpret_cast<HWND>(window), WM_KEYDOWN, c.key, 1);
        drain();
        const int command = find(seen, platform::kMsgCommand);
        if (c.command == 0) {
            EXPECT_LT(command, 0) << "key " << c.key;
            EXPECT_GE(find(seen, platform::kMsgKeyDown), 0) << "key " << c.key;
        } else {
            ASSERT_GE(command, 0) << "key " << c.key;
            EXPECT_EQ(seen.wparams[command] & 0xFFFF, c.command) << "key " << c.key;
        }
    }
}

TEST_F(WindowSystemTest, AltAloneIsAPressAtItsReleaseAndAltEnterIsOnlyTheCommand) {
    HWND hwnd = reinterpret_cast<HWND>(window);
    constexpr LPARAM kAlt = 1 << 29;
    constexpr LPARAM kUp = static_cast<LPARAM>(0xC0000001u);
    PostMessageA(hwnd, WM_SYSKEYDOWN, VK_MENU, 1 | kAlt);
    PostMessageA(hwnd, WM_SYSKEYDOWN, VK_MENU, 1 | kAlt | (1 << 30));  // held: repeats
    seen.count = 0;
    drain();
    EXPECT_LT(find(seen, platform::kMsgSysKeyDown), 0) << "Alt went through while still held";
    PostMessageA(hwnd, WM_SYSKEYUP, VK_MENU, kUp | kAlt);
    drain();
    const int alone = find(seen, platform::kMsgSysKeyDown);
    ASSERT_GE(alone, 0) << "Alt let go alone was lost";
    EXPECT_EQ(seen.wparams[alone], static_cast<uintptr_t>(VK_MENU));

    // Alt held, Enter: the command of table 113 and no Alt press.
    seen.count = 0;
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_MENU] = 0x80;
    SetKeyboardState(keys);
    PostMessageA(hwnd, WM_SYSKEYDOWN, VK_MENU, 1 | kAlt);
    PostMessageA(hwnd, WM_SYSKEYDOWN, VK_RETURN, 1 | kAlt);
    PostMessageA(hwnd, WM_SYSKEYUP, VK_MENU, kUp | kAlt);
    drain();
    keys[VK_MENU] = 0;
    SetKeyboardState(keys);
    const int command = find(seen, platform::kMsgCommand);
    ASSERT_GE(command, 0);
    EXPECT_EQ(seen.wparams[command] & 0xFFFF, app::kCommandToggleFullscreen);
    for (int i = 0; i < seen.count; ++i) {
        EXPECT_FALSE(seen.messages[i] == platform::kMsgSysKeyDown && seen.wparams[i] == VK_MENU) << i;
    }
}

TEST_F(WindowSystemTest, ABitmapIsStretchedOverTheGivenRectangle) {
    // Left half red, right half blue, 2 x 1 pixels stretched over 40 x 20.
    const uint32_t pixels[2] = {0x00FF0000u, 0x000000FFu};
    ASSERT_TRUE(windows->stretch_bitmap(window, pixels, 2, 1, platform::Rect{0, 0, 40, 20}));
    HDC dc = GetDC(reinterpret_cast<HWND>(window));
    const COLORREF left = GetPixel(dc, 2, 10);
    const COLORREF right = GetPixel(dc, 37, 10);
    ReleaseDC(reinterpret_cast<HWND>(window), dc);
    // Stretching smooths the edge between the two; the ends keep their colours.
    EXPECT_GT(GetRValue(left), 200);
    EXPECT_LT(GetBValue(left), 60);
    EXPECT_GT(GetBValue(right), 200);
    EXPECT_LT(GetRValue(right), 60);
    EXPECT_EQ(GetGValue(left) + GetGValue(right), 0);
    EXPECT_FALSE(windows->stretch_bitmap(window, nullptr, 2, 1, platform::Rect{0, 0, 4, 4}));
}

TEST_F(WindowSystemTest, AWindowOfTheClassHoldsTheInstanceLock) {
    platform::InstanceLock& lock = *platform::win32::make_window_instance_lock();
    EXPECT_FALSE(lock.try_acquire("aquarium test window"));
    EXPECT_TRUE(lock.try_acquire("aquarium no such window class"));
    windows->destroy_window(window);
    window = 0;
    EXPECT_TRUE(lock.try_acquire("aquarium test window"));
}

// What the system sends when the console display's power changes: a
// POWERBROADCAST_SETTING for GUID_CONSOLE_DISPLAY_STATE with one DWORD.
struct DisplayStateNotice {
    GUID setting;
    DWORD length;
    DWORD state;  // 0 off, 1 on, 2 dimmed
};
constexpr GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

// The display's power changes reach the power status through the window
// system (the procedure still gets the message); other settings do not.
// A wait for messages ends at a posted message, and at its timeout without.
TEST_F(WindowSystemTest, TheDisplaysPowerReachesThePowerStatusAndAWaitEndsAtAMessage) {
    platform::PowerStatus& power = *platform::win32::make_win32_power_status();
    const HWND hwnd = reinterpret_cast<HWND>(window);
    const struct {
        GUID setting;
        DWORD state;
        bool dark;
    } notices[] = {{kConsoleDisplayState, 0, true},
                   {kConsoleDisplayState, 2, false},
                   {kConsoleDisplayState, 0, true},
                   {GUID{0x1234, 0, 0, {}}, 1, true},
                   {kConsoleDisplayState, 1, false}};
    for (const auto& n : notices) {
        DisplayStateNotice notice{n.setting, sizeof(DWORD), n.state};
        SendMessageA(hwnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&notice));
        EXPECT_EQ(power.read().display_dark, n.dark) << "state " << n.state;
    }
    EXPECT_GE(find(seen, WM_POWERBROADCAST), 0);

    drain();
    EXPECT_FALSE(windows->wait_message(50));
    PostMessageA(hwnd, WM_USER + 1, 0, 0);
    EXPECT_TRUE(windows->wait_message(5000));
    drain();
}

// ---- dialog 144 ----

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::snprintf(controls.caption, sizeof controls.caption, "%s", "Aquarium");
        add(controls.adapters, "first adapter", 0);
        add(controls.adapters, "second adapter", 1);
        controls.adapters.selected = 0;
        add(controls.devices, "HAL", 0);
        controls.devices.selected = 0;
        add(controls.modes, "1024 x 768 x 32", 0);
        add(controls.modes, "800 x 600 x 32", 1);
        controls.modes.selected = 1;
        add(controls.multisample_types, "none", 0);
        controls.multisample_types.selected = 0;
        controls.modes.enabled = controls.adapters.enabled = controls.devices.enabled = true;
        controls.multisample_types.enabled = false;
        controls.other_monitors = platform::DialogCheck{true, true};
        ASSERT_EQ(view.open(controls), platform::kOk);
        dialog = reinterpret_cast<HWND>(view.window());
    }
    template <uint32_t N>
    static void add(platform::DialogList<N>& list, const char* text, uint32_t value) {
        std::snprintf(list.items[list.count].text, sizeof list.items[0].text, "%s", text);
        list.items[list.count++].value = value;
    }
    std::string text_of(int id) {
        char text[128] = {};
        GetDlgItemTextA(dialog, id, text, sizeof text);
        return text;
    }

    platform::DeviceDialogControls controls{};
    platform::win32::Win32DeviceDialogView view;
    HWND dialog = nullptr;
};

TEST_F(DialogTest, Template144ShowsTheControlsAndHidesTheUnusedOnes) {
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendDlgItemMessageA(dialog, platform::kControlAdapterList, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendDlgItemMessageA(dialog, platform::kControlModeList, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(text_of(platform::kControlModeList), "800 x 600 x 32");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, platform::kControlMultisampleList)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, platform::kControlModeList)));
    for (int id : {1016, 1018, 1027, 1028}) {
        ASSERT_NE(GetDlgItem(dialog, id), nullptr) << id;
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, id))) << id;
    }
    for (int id : {IDOK, IDCANCEL, 1029, 1030}) EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, id))) << id;
    char caption[80] = {};
    GetWindowTextA(dialog, caption, sizeof caption);
    EXPECT_STREQ(caption, "Aquarium");
}

// The other monitors' box: a row of its own below every other control,
// showing the setting; a click is reported with the box's new state.
TEST_F(DialogTest, TheOtherMonitorsBoxLiesBelowTheOthersAndAClickIsReportedWithItsState) {
    HWND box = GetDlgItem(dialog, platform::kControlOtherMonitorsCheck);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(text_of(platform::kControlOtherMonitorsCheck), "A fish on every other monitor");
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    RECT place{};
    GetWindowRect(box, &place);
    for (int id : {1002, 1000, 1003, 1005, IDOK, IDCANCEL, 1029}) {
        RECT other{};
        GetWindowRect(GetDlgItem(dialog, id), &other);
        if (id < 1000 || id > 1005) {  // the lists drop down over it
            EXPECT_LE(other.bottom, place.top) << id;
        }
        EXPECT_LT(other.top, place.top) << id;
    }
    RECT client{};
    GetClientRect(dialog, &client);
    MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_LE(place.bottom, client.bottom);

    for (const bool checked : {false, true}) {
        PostMessageA(box, BM_CLICK, 0, 0);
        const platform::DialogCommand command = view.wait_for_command(controls);
        EXPECT_EQ(command.control_id, platform::kControlOtherMonitorsCheck);
        EXPECT_EQ(command.notification, platform::kNotifyClicked);
        EXPECT_EQ(controls.other_monitors.checked, checked);
    }
}

TEST_F(DialogTest, ASelectionIsReportedWithTheNewIndexAndChangedListsAreShown) {
    HWND list = GetDlgItem(dialog, platform::kControlAdapterList);
    SendMessageA(list, CB_SETCURSEL, 1, 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(platform::kControlAdapterList, CBN_SELENDOK),
                 reinterpret_cast<LPARAM>(list));
    const platform::DialogCommand command = view.wait_for_command(controls);
    EXPECT_EQ(command.control_id, platform::kControlAdapterList);
    EXPECT_EQ(command.notification, platform::kNotifySelectionDone);
    EXPECT_EQ(controls.adapters.selected, 1);

    // The rules change the modes; the next wait shows them.
    controls.modes.count = 0;
    add(controls.modes, "640 x 480 x 16", 0);
    controls.modes.selected = 0;
    controls.multisample_types.enabled = true;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(view.wait_for_command(controls).control_id, platform::kControlOk);
    EXPECT_EQ(SendDlgItemMessageA(dialog, platform::kControlModeList, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(text_of(platform::kControlModeList), "640 x 480 x 16");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, platform::kControlMultisampleList)));
}

TEST_F(DialogTest, EnterIsOkEscapeAndClosingAreCancel) {
    SetFocus(GetDlgItem(dialog, platform::kControlModeList));
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(view.wait_for_command(controls).control_id, platform::kControlOk);
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(view.wait_for_command(controls).control_id, platform::kControlCancel);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(view.wait_for_command(controls).control_id, platform::kControlCancel);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(1029, BN_CLICKED), 0);
    EXPECT_EQ(view.wait_for_command(controls).control_id, platform::kControlAboutButton);
    view.close();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(view.wait_for_command(controls).control_id, platform::kControlCancel);
}

}  // namespace
