#include "platform/sdl/x11_root_window.h"

#include <xcb/xcb.h>

namespace platform::x11 {

NativeWindow default_root_window() {
    int screen_number = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screen_number);
    NativeWindow root = 0;
    if (xcb_connection_has_error(c) == 0) {
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screen_number && screens.rem > 0; ++i) xcb_screen_next(&screens);
        if (screens.rem > 0) root = screens.data->root;
    }
    xcb_disconnect(c);
    return root;
}

}  // namespace platform::x11
