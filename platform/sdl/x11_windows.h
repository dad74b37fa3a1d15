// The few X11 services SDL does not offer, on a connection of our own:
// the geometry and existence of any window (another program's too), a child
// window inside another program's window, and the active window.
#pragma once

#include "platform/window_system.h"

namespace platform::x11 {

// The root window of the display's default screen, for a module asked to
// draw on the desktop itself; 0 when there is no display.
NativeWindow default_root_window();
// Outer rectangle in root (screen) coordinates; false when there is no such window.
bool window_rect(NativeWindow window, Rect& rect);
bool window_exists(NativeWindow window);
// A visible child window filling (0, 0, width, height) of `parent`; 0 on failure.
NativeWindow create_child(NativeWindow parent, int32_t width, int32_t height);
void destroy_window(NativeWindow window);
// The window manager's active window, else the input focus; 0 when neither.
NativeWindow active_window();

// What happened to a window made by create_child.
struct ChildEvent {
    NativeWindow window;
    bool exposed;    // needs painting
    bool destroyed;  // gone (its host took it along)
};
// Takes one waiting event of the children; never blocks.
bool poll_child_event(ChildEvent& event);
// Draws 0x00RRGGBB pixels stretched over `dest` of a child window.
bool put_stretched_image(NativeWindow window, const uint32_t* pixels, int32_t width, int32_t height, const Rect& dest);

}  // namespace platform::x11
