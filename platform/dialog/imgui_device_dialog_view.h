// The device dialog's window: the controls of the dialog drawn with Dear
// ImGui in a window of their own (SDL2 and OpenGL 3), laid out like the
// dialog template. Enter is OK and Escape is Cancel unless a drop-down list
// is open; closing the window is Cancel; Alt with the underlined letter of a
// label moves the keyboard focus to its list.
#pragma once

#include <cstdint>

#include "platform/result.h"
#include "platform/device_dialog_view.h"

struct SDL_Window;
struct ImGuiContext;

namespace platform::dialog {

class ImGuiDeviceDialogView final : public DeviceDialogView {
public:
    ImGuiDeviceDialogView() = default;
    ~ImGuiDeviceDialogView() override;
    ImGuiDeviceDialogView(const ImGuiDeviceDialogView&) = delete;
    ImGuiDeviceDialogView& operator=(const ImGuiDeviceDialogView&) = delete;

    Result open(const DeviceDialogControls& controls) override;
    DialogCommand wait_for_command(DeviceDialogControls& controls) override;
    NativeWindow window() const override;
    void close() override;

    // The window's SDL id (0 while closed), to address events to it.
    uint32_t sdl_window_id() const;
    // The window's size in pixels.
    void window_size(int32_t& width, int32_t& height) const;

private:
    // Draws one frame; true when the user gave a command in it.
    bool draw_frame(DeviceDialogControls& controls, DialogCommand& command);
    void restore_previous_context();

    SDL_Window* window_ = nullptr;
    void* gl_context_ = nullptr;
    ImGuiContext* imgui_ = nullptr;
    ImGuiContext* previous_imgui_ = nullptr;
    SDL_Window* previous_gl_window_ = nullptr;
    void* previous_gl_context_ = nullptr;
    bool video_started_ = false;
    bool popup_open_ = false;        // a drop-down list was open in the last frame
    uint32_t focus_request_ = 0;     // control id to give the keyboard focus to; 0 when none
    int frames_to_draw_ = 0;         // frames still to draw before waiting for input
    int frames_drawn_ = 0;           // frames drawn since the window opened, counted up to the first few
    bool pointer_inside_ = false;    // the pointer was last seen over the window
    float pointer_x_ = 0.0f;         // pixels from the window's left edge
    float pointer_y_ = 0.0f;         // pixels from the window's top edge
};

}  // namespace platform::dialog
