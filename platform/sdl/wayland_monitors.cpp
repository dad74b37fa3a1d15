#include "platform/sdl/wayland_monitors.h"

#include <SDL2/SDL.h>

#include <cstdio>

#include "platform/sdl/sdl_displays.h"
#include "platform/sdl/sdl_video.h"
#include "platform/sdl/sdl_window_record.h"

namespace platform::sdl {

uint32_t read_wayland_monitors(MonitorInfo* monitors, uint32_t capacity) {
    if (!sdl_video_ready()) return 0;
    const int count = SDL_GetNumVideoDisplays();
    uint32_t read = 0;
    for (int display = 0; display < count && read < capacity; ++display) {
        SDL_Rect bounds{};
        if (SDL_GetDisplayBounds(display, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) continue;
        const int scale = sdl_display_scale(static_cast<uint32_t>(display));
        MonitorInfo& monitor = monitors[read++];
        monitor.bounds = Rect{bounds.x, bounds.y, bounds.x + bounds.w * scale, bounds.y + bounds.h * scale};
        monitor.dpi = kDefaultDpi * scale;
        std::snprintf(monitor.name, sizeof monitor.name, "%s", sdl_display_name(static_cast<uint32_t>(display)));
    }
    return read;
}

bool place_over_output(WindowRecord& record, const Rect& bounds) {
    if (video_session() != VideoSession::wayland || record.sdl == nullptr) return false;
    if ((record.style & kStyleCaption) == kStyleCaption) return false;
    const int count = SDL_GetNumVideoDisplays();
    for (int display = 0; display < count; ++display) {
        SDL_Rect output{};
        if (SDL_GetDisplayBounds(display, &output) != 0) continue;
        const int scale = sdl_display_scale(static_cast<uint32_t>(display));
        if (output.x != bounds.left || output.y != bounds.top || output.w * scale != bounds.right - bounds.left ||
            output.h * scale != bounds.bottom - bounds.top) {
            continue;
        }
        const bool full_screen = (SDL_GetWindowFlags(record.sdl) & SDL_WINDOW_FULLSCREEN) != 0;
        if (full_screen && SDL_GetWindowDisplayIndex(record.sdl) == display) return true;
        if (full_screen) SDL_SetWindowFullscreen(record.sdl, 0);
        record.covering = true;
        record.expected_width = output.w * scale;
        record.expected_height = output.h * scale;
        SDL_SetWindowPosition(record.sdl, output.x, output.y);
        SDL_SetWindowSize(record.sdl, output.w, output.h);
        SDL_SetWindowFullscreen(record.sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
        return true;
    }
    return false;
}

}  // namespace platform::sdl
