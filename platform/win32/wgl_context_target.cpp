#include "platform/win32/wgl_context_target.h"

#include <windows.h>
#include <GL/gl.h>
#include <GL/wglext.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "platform/win32/wgl_entry_points.h"
#include "platform/win32/wgl_pixel_format.h"

namespace platform::win32 {
namespace {

HWND to_hwnd(NativeWindow window) { return reinterpret_cast<HWND>(window); }

}  // namespace

WglContextTarget::WglContextTarget(const WglEntryPoints& wgl, NativeWindow window, const char* display_device)
    : wgl_(wgl), window_(window) {
    std::snprintf(display_device_, sizeof display_device_, "%s", display_device != nullptr ? display_device : "");
}

WglContextTarget::~WglContextTarget() {
    destroy_context();
    leave_full_screen();
    if (dc_ != nullptr) ReleaseDC(to_hwnd(window_), static_cast<HDC>(dc_));
}

// The window's pixel format: double-buffered 32-bit colour with a 24-bit
// depth and 8-bit stencil buffer and no multisampling. The device draws
// straight into the window when those buffers suffice and nothing needs a
// framebuffer of its own (multisampling, read-back); otherwise it draws
// offscreen and copies. A system without such a format gets one without
// depth, and the device then always takes the copy.
bool WglContextTarget::set_pixel_format() {
    HDC dc = static_cast<HDC>(dc_);
    int format = GetPixelFormat(dc);  // a window keeps its first format
    if (format == 0 && wgl_.choose_pixel_format != nullptr) {
        const int with_depth[] = {WGL_DRAW_TO_WINDOW_ARB, GL_TRUE, WGL_SUPPORT_OPENGL_ARB, GL_TRUE,
                                  WGL_DOUBLE_BUFFER_ARB, GL_TRUE, WGL_PIXEL_TYPE_ARB, WGL_TYPE_RGBA_ARB,
                                  WGL_COLOR_BITS_ARB, 24, WGL_DEPTH_BITS_ARB, 24, WGL_STENCIL_BITS_ARB, 8,
                                  WGL_ACCELERATION_ARB, WGL_FULL_ACCELERATION_ARB, 0};
        const int colour_only[] = {WGL_DRAW_TO_WINDOW_ARB, GL_TRUE, WGL_SUPPORT_OPENGL_ARB, GL_TRUE,
                                   WGL_DOUBLE_BUFFER_ARB, GL_TRUE, WGL_PIXEL_TYPE_ARB, WGL_TYPE_RGBA_ARB,
                                   WGL_COLOR_BITS_ARB, 24, WGL_ACCELERATION_ARB, WGL_FULL_ACCELERATION_ARB, 0};
        for (const int* attributes : {with_depth, colour_only}) {
            UINT count = 0;
            if (wgl_.choose_pixel_format(dc, attributes, nullptr, 1, &format, &count) && count > 0) break;
            format = 0;
        }
    }
    PIXELFORMATDESCRIPTOR descriptor = window_pixel_format(24, 8);
    if (format == 0) format = ChoosePixelFormat(dc, &descriptor);
    if (format == 0 || DescribePixelFormat(dc, format, sizeof descriptor, &descriptor) == 0) return false;
    if (GetPixelFormat(dc) != format && SetPixelFormat(dc, format, &descriptor) == FALSE) return false;
    depth_bits_ = descriptor.cDepthBits;
    stencil_bits_ = descriptor.cStencilBits;
    return true;
}

bool WglContextTarget::create_context(bool& robust) {
    robust = false;
    if (wgl_.create_context_attribs == nullptr) return false;
    if (dc_ == nullptr) dc_ = GetDC(to_hwnd(window_));
    if (dc_ == nullptr || !set_pixel_format()) return false;
    HDC dc = static_cast<HDC>(dc_);
    HGLRC context = nullptr;
    if (wgl_.robustness) {
        const int attributes[] = {WGL_CONTEXT_MAJOR_VERSION_ARB, 3, WGL_CONTEXT_MINOR_VERSION_ARB, 3,
                                  WGL_CONTEXT_PROFILE_MASK_ARB, WGL_CONTEXT_CORE_PROFILE_BIT_ARB,
                                  WGL_CONTEXT_FLAGS_ARB, WGL_CONTEXT_ROBUST_ACCESS_BIT_ARB,
                                  WGL_CONTEXT_RESET_NOTIFICATION_STRATEGY_ARB, WGL_LOSE_CONTEXT_ON_RESET_ARB, 0};
        context = wgl_.create_context_attribs(dc, nullptr, attributes);
        robust = context != nullptr;
    }
    if (context == nullptr) {
        const int attributes[] = {WGL_CONTEXT_MAJOR_VERSION_ARB, 3, WGL_CONTEXT_MINOR_VERSION_ARB, 3,
                                  WGL_CONTEXT_PROFILE_MASK_ARB, WGL_CONTEXT_CORE_PROFILE_BIT_ARB, 0};
        context = wgl_.create_context_attribs(dc, nullptr, attributes);
    }
    if (context == nullptr) return false;
    context_ = context;
    if (!make_current() || !load_gl_entry_points()) {
        destroy_context();
        return false;
    }
    if (wgl_.swap_interval != nullptr) wgl_.swap_interval(1);
    return true;
}

void WglContextTarget::destroy_context() {
    if (context_ == nullptr) return;
    if (wglGetCurrentContext() == static_cast<HGLRC>(context_)) wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(static_cast<HGLRC>(context_));
    context_ = nullptr;
}

bool WglContextTarget::make_current() {
    if (context_ == nullptr) return false;
    if (wglGetCurrentContext() == static_cast<HGLRC>(context_)) return true;
    return wglMakeCurrent(static_cast<HDC>(dc_), static_cast<HGLRC>(context_)) != FALSE;
}

bool WglContextTarget::client_size(uint32_t& width, uint32_t& height) {
    RECT rect{};
    if (!GetClientRect(to_hwnd(window_), &rect)) return false;
    width = static_cast<uint32_t>(rect.right - rect.left);
    height = static_cast<uint32_t>(rect.bottom - rect.top);
    return width > 0 && height > 0;
}

void WglContextTarget::set_swap_interval(int32_t interval) {
    if (wgl_.swap_interval != nullptr) wgl_.swap_interval(interval);
}

bool WglContextTarget::swap_buffers() { return dc_ != nullptr && SwapBuffers(static_cast<HDC>(dc_)) != FALSE; }

const char* WglContextTarget::window_display(char (&name)[32]) {
    std::snprintf(name, sizeof name, "%s", display_device_);
    MONITORINFOEXA info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(to_hwnd(window_), MONITOR_DEFAULTTONEAREST);
    if (monitor != nullptr && GetMonitorInfoA(monitor, &info)) std::snprintf(name, sizeof name, "%s", info.szDevice);
    return name[0] != '\0' ? name : nullptr;
}

Result WglContextTarget::enter_full_screen(const DisplayMode& mode) {
    DEVMODEA wanted{};
    wanted.dmSize = sizeof wanted;
    wanted.dmPelsWidth = mode.width;
    wanted.dmPelsHeight = mode.height;
    wanted.dmBitsPerPel = mode.format == kFormatX8R8G8B8 || mode.format == kFormatA8R8G8B8 ? 32 : 16;
    wanted.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    if (mode.refresh_rate != 0) {
        wanted.dmDisplayFrequency = mode.refresh_rate;
        wanted.dmFields |= DM_DISPLAYFREQUENCY;
    }
    // A mode changed before on another display goes back first.
    char name[32];
    const char* device = window_display(name);
    if (mode_changed_ && std::strcmp(switched_device_, name) != 0) leave_full_screen();
    if (ChangeDisplaySettingsExA(device, &wanted, nullptr, CDS_FULLSCREEN, nullptr) != DISP_CHANGE_SUCCESSFUL) {
        return kNotAvailable;
    }
    mode_changed_ = true;
    std::snprintf(switched_device_, sizeof switched_device_, "%s", name);
    // The window covers the display in its new mode.
    DEVMODEA now{};
    now.dmSize = sizeof now;
    int32_t left = 0, top = 0;
    if (EnumDisplaySettingsExA(device, ENUM_CURRENT_SETTINGS, &now, 0)) {
        left = now.dmPosition.x;
        top = now.dmPosition.y;
    }
    SetWindowPos(to_hwnd(window_), HWND_TOPMOST, left, top, static_cast<int>(mode.width),
                 static_cast<int>(mode.height), SWP_NOACTIVATE);
    return kOk;
}

void WglContextTarget::leave_full_screen() {
    if (!mode_changed_) return;
    ChangeDisplaySettingsExA(switched_device_[0] != '\0' ? switched_device_ : nullptr, nullptr, nullptr, 0, nullptr);
    mode_changed_ = false;
    switched_device_[0] = '\0';
}

uint32_t WglContextTarget::refresh_rate() {
    DEVMODEA now{};
    now.dmSize = sizeof now;
    char name[32];
    if (!EnumDisplaySettingsExA(window_display(name), ENUM_CURRENT_SETTINGS, &now, 0)) {
        return 0;
    }
    // 0 and 1 stand for the hardware's default rate.
    return now.dmDisplayFrequency > 1 ? now.dmDisplayFrequency : 0;
}

}  // namespace platform::win32
