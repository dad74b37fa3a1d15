#include "platform/sdl/sdl_displays.h"

#include <SDL2/SDL.h>

#include "platform/sdl/sdl_video.h"
#include "platform/wayland/wayland_outputs.h"

#include <cstring>

namespace platform {
namespace {

struct OutputScales {
    bool read = false;
    uint32_t count = 0;
    wayland::OutputInfo outputs[wayland::kMaxOutputs] = {};
};
OutputScales g_scales;

// The output of SDL's display `display`: SDL lists them in the order the
// compositor announced them, as our own reading does; the size in pixels
// must agree with SDL's size in points at the output's scale.
const wayland::OutputInfo* output_of(uint32_t display) {
    if (video_session() != sdl::VideoSession::wayland) return nullptr;
    if (!g_scales.read) {
        g_scales.read = true;
        g_scales.count = wayland::read_outputs(g_scales.outputs, wayland::kMaxOutputs);
    }
    if (display >= g_scales.count || SDL_GetNumVideoDisplays() != static_cast<int>(g_scales.count)) return nullptr;
    const wayland::OutputInfo& output = g_scales.outputs[display];
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(static_cast<int>(display), &bounds) != 0) return nullptr;
    const bool agrees = bounds.w * output.scale == output.pixel_width ||
                        bounds.h * output.scale == output.pixel_height ||
                        bounds.w * output.scale == output.pixel_height;  // a rotated output
    return agrees ? &output : nullptr;
}

DisplayMode in_pixels(DisplayMode mode, uint32_t display) {
    const auto scale = static_cast<uint32_t>(sdl_display_scale(display));
    mode.width *= scale;
    mode.height *= scale;
    return mode;
}

DisplayMode to_display_mode(const SDL_DisplayMode& mode) {
    return DisplayMode{static_cast<uint32_t>(mode.w), static_cast<uint32_t>(mode.h),
                       mode.refresh_rate > 0 ? static_cast<uint32_t>(mode.refresh_rate) : 0, format_from_sdl(mode.format)};
}

}  // namespace

Format format_from_sdl(uint32_t sdl_pixel_format) {
    switch (sdl_pixel_format) {
        case SDL_PIXELFORMAT_RGB888: return kFormatX8R8G8B8;
        case SDL_PIXELFORMAT_ARGB8888: return kFormatA8R8G8B8;
        case SDL_PIXELFORMAT_RGB24:
        case SDL_PIXELFORMAT_BGR24: return kFormatR8G8B8;
        case SDL_PIXELFORMAT_RGB565: return kFormatR5G6B5;
        case SDL_PIXELFORMAT_RGB555: return kFormatX1R5G5B5;
        case SDL_PIXELFORMAT_ARGB1555: return kFormatA1R5G5B5;
        default: break;
    }
    const uint32_t bits = SDL_BITSPERPIXEL(sdl_pixel_format);
    if (bits == 16) return kFormatR5G6B5;
    if (bits == 15) return kFormatX1R5G5B5;
    return kFormatX8R8G8B8;  // 24 and 32 bits, and deep-colour desktops
}

uint32_t sdl_display_count() {
    if (!sdl_video_ready()) return 0;
    const int count = SDL_GetNumVideoDisplays();
    return count > 0 ? static_cast<uint32_t>(count) : 0;
}

uint32_t sdl_display_mode_count(uint32_t display) {
    if (display >= sdl_display_count()) return 0;
    const int count = SDL_GetNumDisplayModes(static_cast<int>(display));
    return count > 0 ? static_cast<uint32_t>(count) : 0;
}

bool sdl_display_mode(uint32_t display, uint32_t index, DisplayMode& mode) {
    if (display >= sdl_display_count()) return false;
    SDL_DisplayMode sdl_mode{};
    if (SDL_GetDisplayMode(static_cast<int>(display), static_cast<int>(index), &sdl_mode) != 0) return false;
    mode = in_pixels(to_display_mode(sdl_mode), display);
    return true;
}

bool sdl_desktop_mode(uint32_t display, DisplayMode& mode) {
    if (display >= sdl_display_count()) return false;
    SDL_DisplayMode sdl_mode{};
    if (SDL_GetDesktopDisplayMode(static_cast<int>(display), &sdl_mode) != 0) return false;
    mode = in_pixels(to_display_mode(sdl_mode), display);
    return true;
}

const char* sdl_display_name(uint32_t display) {
    if (display >= sdl_display_count()) return "";
    const wayland::OutputInfo* output = output_of(display);
    if (output != nullptr && output->name[0] != '\0') return output->name;
    const char* name = SDL_GetDisplayName(static_cast<int>(display));
    return name != nullptr ? name : "";
}

int32_t sdl_display_scale(uint32_t display) {
    const wayland::OutputInfo* output = output_of(display);
    return output != nullptr ? output->scale : 1;
}

void sdl_forget_display_scales() { g_scales.read = false; }

}  // namespace platform
