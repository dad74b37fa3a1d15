// The device dialog's window under a virtual X server started by the test:
// it opens with its caption, Enter and Escape answer as OK and Cancel,
// closing the window cancels, and pointer clicks reach buttons and lists.
#include <SDL.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "platform/dialog/imgui_device_dialog_view.h"
#include "platform/fonts/font_match.h"
#include "settings/device_dialog.h"
#include "tests/support/fake_graphics.h"
#include "tests/support/x_server.h"

namespace {

using platform::dialog::ImGuiDeviceDialogView;
using settings::DialogCommand;

const auto* const kDisplay = ::testing::AddGlobalTestEnvironment(new test_support::XvfbEnvironment);

// Dialog units to window pixels, as the view lays out the template.
int px(float units) { return static_cast<int>(units * 2.0f); }

class DialogView : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(controls.get(), 0, sizeof *controls);
        std::snprintf(controls->caption, sizeof controls->caption, "Aquarium dialog test");
        add(controls->adapters, "First adapter", 0);
        add(controls->adapters, "Second adapter", 1);
        controls->adapters.selected = 0;
        add(controls->devices, "HAL", 0);
        controls->devices.selected = 0;
        add(controls->modes, "1024 x 768 x 32", 0);
        controls->modes.selected = 0;
        add(controls->multisample_types, "none", 0);
        controls->multisample_types.selected = 0;
        controls->adapters.enabled = controls->devices.enabled = controls->modes.enabled = true;
        controls->other_monitors.enabled = true;
        ASSERT_EQ(view.open(*controls), platform::kOk);
    }
    void TearDown() override { view.close(); }

    template <uint32_t Capacity>
    static void add(settings::DialogList<Capacity>& list, const char* text, uint32_t value) {
        std::snprintf(list.items[list.count].text, sizeof list.items[0].text, "%s", text);
        list.items[list.count++].value = value;
    }

    void push_key(SDL_Keycode key, SDL_Scancode scancode) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.windowID = view.sdl_window_id();
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = key;
        event.key.keysym.scancode = scancode;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    // Moves the pointer (the real one too, so that the server's own motion
    // events agree) and clicks the left button.
    static void push_click(uint32_t window_id, int x, int y) {
        SDL_WarpMouseInWindow(SDL_GetWindowFromID(window_id), x, y);
        SDL_Event motion{};
        motion.type = SDL_MOUSEMOTION;
        motion.motion.windowID = window_id;
        motion.motion.x = x;
        motion.motion.y = y;
        SDL_PushEvent(&motion);
        SDL_Event press{};
        press.type = SDL_MOUSEBUTTONDOWN;
        press.button.windowID = window_id;
        press.button.button = SDL_BUTTON_LEFT;
        press.button.state = SDL_PRESSED;
        press.button.clicks = 1;
        press.button.x = x;
        press.button.y = y;
        SDL_PushEvent(&press);
        SDL_Event release = press;
        release.type = SDL_MOUSEBUTTONUP;
        release.button.state = SDL_RELEASED;
        SDL_PushEvent(&release);
    }

    ImGuiDeviceDialogView view;
    std::unique_ptr<settings::DeviceDialogControls> controls = std::make_unique<settings::DeviceDialogControls>();
};

TEST_F(DialogView, OpensCaptionedAndAnswersEnterEscapeAndClosing) {
    SDL_Window* window = SDL_GetWindowFromID(view.sdl_window_id());
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Aquarium dialog test");
    int32_t width = 0;
    int32_t height = 0;
    view.window_size(width, height);
    EXPECT_EQ(width, px(268));
    EXPECT_EQ(height, px(131));  // the template and a row for the other monitors
    EXPECT_NE(view.window(), 0u);

    push_key(SDLK_RETURN, SDL_SCANCODE_RETURN);
    DialogCommand command = view.wait_for_command(*controls);
    EXPECT_EQ(command.control_id, settings::kControlOk);

    push_key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    command = view.wait_for_command(*controls);
    EXPECT_EQ(command.control_id, settings::kControlCancel);

    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.windowID = view.sdl_window_id();
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&close);
    command = view.wait_for_command(*controls);
    EXPECT_EQ(command.control_id, settings::kControlCancel);
}

TEST_F(DialogView, DrawsItsTextInTheDesktopsSansSerifFace) {
    // The face fontconfig gives for "sans-serif", not the built-in pixel font.
    char file[1024];
    int index = 0;
    ASSERT_TRUE(platform::find_font_file("sans-serif", 400, false, file, sizeof file, index));
    const std::string path = file;
    const std::string base = path.substr(path.rfind('/') + 1);
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    ASSERT_EQ(atlas->ConfigData.Size, 1);
    const std::string name = atlas->ConfigData[0].Name;
    EXPECT_EQ(name.rfind(base + ",", 0), 0u) << name << " is not " << base;
    EXPECT_EQ(name.find("Proggy"), std::string::npos);
}

TEST_F(DialogView, ClicksReachTheButtonsAndTheLists) {
    const uint32_t window_id = view.sdl_window_id();
    push_click(window_id, px(210 + 25), px(73 + 12));
    DialogCommand command = view.wait_for_command(*controls);
    EXPECT_EQ(command.control_id, settings::kControlAboutButton);
    EXPECT_EQ(command.notification, settings::kNotifyClicked);

    push_click(window_id, px(210 + 25), px(10 + 7));
    EXPECT_EQ(view.wait_for_command(*controls).control_id, settings::kControlOk);

    // The box below the template turns over.
    push_click(window_id, px(12 + 4), px(116 + 4));
    EXPECT_EQ(view.wait_for_command(*controls).control_id, settings::kControlOtherMonitorsCheck);
    EXPECT_TRUE(controls->other_monitors.checked);

    // Open the adapter list, then pick its second item once the list is shown.
    push_click(window_id, px(92 + 50), px(17) + 9);
    std::thread picker([window_id] {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        const int list_top = px(17) + 19;  // below the closed list
        push_click(window_id, px(92 + 50), list_top + 8 + 17 + 6);
    });
    command = view.wait_for_command(*controls);
    picker.join();
    EXPECT_EQ(command.control_id, settings::kControlAdapterList);
    EXPECT_EQ(command.notification, settings::kNotifySelectionDone);
    EXPECT_EQ(controls->adapters.selected, 1);
}

TEST(DialogRun, TheWholeDialogRunsInItsWindowAndEndsWithCancel) {
    test_support::FakeGraphicsSystem graphics;
    graphics.adapters = {test_support::typical_adapter()};
    auto table = std::make_unique<settings::DeviceTable>();
    settings::DeviceTableRequest request{};
    request.graphics = &graphics;
    request.screen_width = 1024;
    request.screen_height = 768;
    bool windowed = false;
    platform::Result warning = 0;
    ASSERT_EQ(settings::build_device_table(*table, request, windowed, warning), platform::kOk);
    settings::Settings settings = settings::default_settings();

    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    const settings::DeviceDialogServices services{table.get(), &graphics, &settings, nullptr, nullptr, "Run test"};
    ImGuiDeviceDialogView view;
    EXPECT_EQ(settings::run_device_dialog_model(view, services), settings::kDialogEndedCancel);
    // The quit request is left for the program's own loop.
    SDL_Event left{};
    EXPECT_EQ(SDL_PeepEvents(&left, 1, SDL_GETEVENT, SDL_QUIT, SDL_QUIT), 1);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
