// Which window system the program's own windows (run and configure modes)
// open on. AQUARIUM_VIDEO=wayland or x11 decides; otherwise a Wayland
// session whose compositor offers the desktop-window protocol (xdg-shell)
// gets native Wayland windows, and every other session X11 (XWayland
// included). Previews and display modules always draw in other programs'
// X11 windows.
#pragma once

namespace platform::sdl {

enum class VideoSession {
    x11,
    wayland,
};

struct VideoSessionFacts {
    const char* forced;           // AQUARIUM_VIDEO, or null
    const char* wayland_display;  // WAYLAND_DISPLAY, or null
    bool needs_x11;               // the mode draws in another program's X11 window
    bool compositor_fits;         // the compositor offers what the Wayland windows need
};

// "wayland" or "x11" in AQUARIUM_VIDEO; anything else (or nothing) chooses
// by the session.
VideoSession choose_video_session(const VideoSessionFacts& facts);

// SDL's name of the session's video driver.
const char* video_driver_name(VideoSession session);

}  // namespace platform::sdl
