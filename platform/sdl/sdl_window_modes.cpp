#include "platform/sdl/sdl_window_modes.h"

#include <SDL2/SDL.h>

#include "platform/sdl/sdl_displays.h"
#include "platform/sdl/sdl_video.h"
#include "platform/sdl/sdl_window_record.h"
#include "platform/sdl/x11_windows.h"

// After the program's headers: it brings Xlib's macros.
#include <SDL2/SDL_syswm.h>

namespace platform {

using sdl::find_window_record;
using sdl::WindowRecord;

namespace sdl {

int32_t window_scale(const WindowRecord& record) {
    if (record.sdl == nullptr || video_session() != VideoSession::wayland) return 1;
    const int display = SDL_GetWindowDisplayIndex(record.sdl);
    return display >= 0 ? sdl_display_scale(static_cast<uint32_t>(display)) : 1;
}

}  // namespace sdl

bool sdl_window_client_size(NativeWindow window, uint32_t& width, uint32_t& height) {
    const WindowRecord* record = find_window_record(window);
    if (record != nullptr && record->child_of == 0) {
        int w = 0, h = 0;
        SDL_GetWindowSize(record->sdl, &w, &h);
        const int32_t scale = sdl::window_scale(*record);
        width = static_cast<uint32_t>(w * scale);
        height = static_cast<uint32_t>(h * scale);
        return true;
    }
    Rect rect{};
    if (!x11::window_rect(window, rect)) return false;
    width = static_cast<uint32_t>(rect.right - rect.left);
    height = static_cast<uint32_t>(rect.bottom - rect.top);
    return true;
}

Result sdl_set_full_screen(NativeWindow window, const DisplayMode& mode) {
    WindowRecord* record = find_window_record(window);
    if (record == nullptr || record->child_of != 0) return kInvalidCall;
    const int display = SDL_GetWindowDisplayIndex(record->sdl);
    SDL_DisplayMode desktop{};
    SDL_Rect bounds{};
    if (display < 0 || SDL_GetDesktopDisplayMode(display, &desktop) != 0 ||
        SDL_GetDisplayBounds(display, &bounds) != 0) {
        return kNotAvailable;
    }
    const uint32_t flags = SDL_GetWindowFlags(record->sdl);
    const bool wayland = video_session() == sdl::VideoSession::wayland;
    if (!record->covering && (flags & SDL_WINDOW_FULLSCREEN) == 0) {
        SDL_GetWindowPosition(record->sdl, &record->windowed_x, &record->windowed_y);
        SDL_GetWindowSize(record->sdl, &record->windowed_width, &record->windowed_height);
        record->windowed_bordered = (flags & SDL_WINDOW_BORDERLESS) == 0;
        record->windowed_on_top = (flags & SDL_WINDOW_ALWAYS_ON_TOP) != 0;
    }
    const int width = static_cast<int>(mode.width);
    const int height = static_cast<int>(mode.height);
    const int scale = sdl::window_scale(*record);
    if (wayland && width == bounds.w * scale && height == bounds.h * scale) {
        // A Wayland client cannot place its windows: the compositor makes
        // it full screen on the output of the window's display.
        record->covering = true;
        record->expected_width = width;
        record->expected_height = height;
        return SDL_SetWindowFullscreen(record->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0 ? kOk : kNotAvailable;
    }
    if (width == desktop.w && height == desktop.h) {
        // The desktop's own mode: no mode switch, the window simply covers
        // the display, borderless and above the others. This works with any
        // window manager and without one.
        if ((flags & SDL_WINDOW_FULLSCREEN) != 0) SDL_SetWindowFullscreen(record->sdl, 0);
        record->covering = true;
        record->expected_width = bounds.w;
        record->expected_height = bounds.h;
        SDL_SetWindowBordered(record->sdl, SDL_FALSE);
        SDL_SetWindowAlwaysOnTop(record->sdl, SDL_TRUE);
        SDL_SetWindowPosition(record->sdl, bounds.x, bounds.y);
        SDL_SetWindowSize(record->sdl, bounds.w, bounds.h);
        SDL_RaiseWindow(record->sdl);
        return kOk;
    }
    SDL_DisplayMode wanted{0, width, height, static_cast<int>(mode.refresh_rate), nullptr};
    SDL_DisplayMode closest{};
    if (SDL_GetClosestDisplayMode(display, &wanted, &closest) == nullptr || closest.w != width || closest.h != height) {
        return kNotAvailable;
    }
    if (SDL_SetWindowDisplayMode(record->sdl, &closest) != 0 ||
        SDL_SetWindowFullscreen(record->sdl, SDL_WINDOW_FULLSCREEN) != 0) {
        return kNotAvailable;
    }
    record->covering = false;
    record->expected_width = width;
    record->expected_height = height;
    return kOk;
}

Result sdl_set_windowed(NativeWindow window) {
    WindowRecord* record = find_window_record(window);
    if (record == nullptr || record->child_of != 0) return kInvalidCall;
    const bool switched = (SDL_GetWindowFlags(record->sdl) & SDL_WINDOW_FULLSCREEN) != 0;
    if (!switched && !record->covering) return kOk;
    record->expected_width = record->windowed_width;
    record->expected_height = record->windowed_height;
    if (switched && SDL_SetWindowFullscreen(record->sdl, 0) != 0) return kFail;
    record->covering = false;
    if (video_session() == sdl::VideoSession::wayland) {
        const int32_t scale = sdl::window_scale(*record);
        record->expected_width = record->windowed_width * scale;
        record->expected_height = record->windowed_height * scale;
        SDL_SetWindowSize(record->sdl, record->windowed_width, record->windowed_height);
        return kOk;
    }
    SDL_SetWindowAlwaysOnTop(record->sdl, record->windowed_on_top ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowBordered(record->sdl, record->windowed_bordered ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowSize(record->sdl, record->windowed_width, record->windowed_height);
    SDL_SetWindowPosition(record->sdl, record->windowed_x, record->windowed_y);
    return kOk;
}

uint32_t sdl_window_refresh_rate(NativeWindow window) {
    if (!sdl_video_ready()) return 0;
    const WindowRecord* record = find_window_record(window);
    const int display = record != nullptr && record->child_of == 0 ? SDL_GetWindowDisplayIndex(record->sdl) : 0;
    SDL_DisplayMode mode{};
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0 || mode.refresh_rate <= 0) return 0;
    return static_cast<uint32_t>(mode.refresh_rate);
}

void* sdl_wayland_display() {
    static void* display = nullptr;
    if (display != nullptr || video_session() != sdl::VideoSession::wayland || !sdl_video_ready()) return display;
    // SDL tells its connection only through a window; any window will do,
    // and one never shown is never seen.
    SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    if (probe == nullptr) return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(probe, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_WAYLAND) {
        display = info.info.wl.display;
    }
    SDL_DestroyWindow(probe);
    return display;
}

void* sdl_wayland_surface(NativeWindow window) {
    const WindowRecord* record = find_window_record(window);
    if (record == nullptr || record->sdl == nullptr) return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(record->sdl, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_WAYLAND) return nullptr;
    return info.info.wl.surface;
}

bool sdl_window_pixel_size(NativeWindow window, uint32_t& width, uint32_t& height, int32_t& scale) {
    const WindowRecord* record = find_window_record(window);
    if (record == nullptr || record->sdl == nullptr) return false;
    int w = 0, h = 0;
    SDL_GetWindowSize(record->sdl, &w, &h);
    scale = sdl::window_scale(*record);
    width = static_cast<uint32_t>(w * scale);
    height = static_cast<uint32_t>(h * scale);
    return w > 0 && h > 0;
}

}  // namespace platform
