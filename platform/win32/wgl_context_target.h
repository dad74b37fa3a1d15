// The context target over WGL: an OpenGL 3.3 core context on one of our
// windows, made with wglCreateContextAttribsARB, presenting with SwapBuffers
// and a swap interval of one. Full screen is a real display-mode change of
// the display the window is on (ChangeDisplaySettingsExA), undone by
// leave_full_screen() and when the target goes: a device made on one
// adapter and reset to full screen after its window moved to another
// adapter's monitor switches that monitor, as the program asks.
#pragma once

#include <cstdint>

#include "platform/gl/gl_context_target.h"

namespace platform::win32 {

struct WglEntryPoints;

class WglContextTarget final : public gl::GlContextTarget {
public:
    // `display_device`: the adapter's device name (\\.\DISPLAYn), copied;
    // the display when the window's monitor cannot be told.
    WglContextTarget(const WglEntryPoints& wgl, NativeWindow window, const char* display_device);
    ~WglContextTarget() override;

    bool create_context(bool& robust) override;
    void destroy_context() override;
    bool has_context() const override { return context_ != nullptr; }
    bool make_current() override;
    bool has_window() const override { return true; }
    bool client_size(uint32_t& width, uint32_t& height) override;
    bool swap_buffers() override;
    void set_swap_interval(int32_t interval) override;
    // Depth and stencil bits of the window's pixel format (0 before a context).
    void window_buffer_bits(int32_t& depth_bits, int32_t& stencil_bits) override {
        depth_bits = depth_bits_;
        stencil_bits = stencil_bits_;
    }
    // A window of our own on the local desktop: there is no connection to lose.
    bool display_lost() override { return false; }
    Result enter_full_screen(const DisplayMode& mode) override;
    void leave_full_screen() override;
    uint32_t refresh_rate() override;

private:
    bool set_pixel_format();
    // The device name of the display the window is on now (the creation
    // adapter's when the system cannot tell); null when none is named.
    const char* window_display(char (&name)[32]);

    const WglEntryPoints& wgl_;
    NativeWindow window_;
    char display_device_[32] = {};
    char switched_device_[32] = {};  // the display whose mode was changed; empty: the primary
    void* dc_ = nullptr;             // HDC of the window, held for the target's life
    void* context_ = nullptr;        // HGLRC
    bool mode_changed_ = false;
    int32_t depth_bits_ = 0;  // of the window's pixel format
    int32_t stencil_bits_ = 0;
};

}  // namespace platform::win32
