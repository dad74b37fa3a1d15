#include "platform/sdl/x11_windows.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <vector>

namespace platform::x11 {
namespace {

int g_screen_number = 0;  // the default screen DISPLAY names

xcb_connection_t* connection() {
    static xcb_connection_t* link = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (std::getenv("DISPLAY") != nullptr) {
            link = xcb_connect(nullptr, &g_screen_number);
            if (xcb_connection_has_error(link) != 0) {
                xcb_disconnect(link);
                link = nullptr;
            }
        }
    }
    return link;
}

xcb_window_t root_window(xcb_connection_t* c) {
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    return screens.rem > 0 ? screens.data->root : 0;
}

}  // namespace

NativeWindow default_root_window() {
    xcb_connection_t* c = connection();
    if (c == nullptr) return 0;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < g_screen_number && screens.rem > 0; ++i) xcb_screen_next(&screens);
    return screens.rem > 0 ? screens.data->root : 0;
}

bool window_rect(NativeWindow window, Rect& rect) {
    xcb_connection_t* c = connection();
    if (c == nullptr || window == 0) return false;
    const auto id = static_cast<xcb_window_t>(window);
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr);
    if (geometry == nullptr) return false;
    const int32_t width = geometry->width;
    const int32_t height = geometry->height;
    std::free(geometry);
    xcb_translate_coordinates_reply_t* origin =
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, id, root_window(c), 0, 0), nullptr);
    if (origin == nullptr) return false;
    rect = Rect{origin->dst_x, origin->dst_y, origin->dst_x + width, origin->dst_y + height};
    std::free(origin);
    return true;
}

bool window_exists(NativeWindow window) {
    xcb_connection_t* c = connection();
    if (c == nullptr || window == 0) return false;
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, static_cast<xcb_window_t>(window)), nullptr);
    if (geometry == nullptr) return false;
    std::free(geometry);
    return true;
}

NativeWindow create_child(NativeWindow parent, int32_t width, int32_t height) {
    xcb_connection_t* c = connection();
    if (c == nullptr || parent == 0 || !window_exists(parent)) return 0;
    const xcb_window_t child = xcb_generate_id(c);
    const uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t values[] = {screen->black_pixel, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    const auto w = static_cast<uint16_t>(width > 0 ? width : 1);
    const auto h = static_cast<uint16_t>(height > 0 ? height : 1);
    xcb_void_cookie_t made = xcb_create_window_checked(c, XCB_COPY_FROM_PARENT, child, static_cast<xcb_window_t>(parent),
                                                       0, 0, w, h, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                                                       XCB_COPY_FROM_PARENT, mask, values);
    if (xcb_generic_error_t* error = xcb_request_check(c, made)) {
        std::free(error);
        return 0;
    }
    xcb_map_window(c, child);
    xcb_flush(c);
    return child;
}

void destroy_window(NativeWindow window) {
    xcb_connection_t* c = connection();
    if (c == nullptr || window == 0) return;
    xcb_destroy_window(c, static_cast<xcb_window_t>(window));
    xcb_flush(c);
}

NativeWindow active_window() {
    xcb_connection_t* c = connection();
    if (c == nullptr) return 0;
    const char name[] = "_NET_ACTIVE_WINDOW";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr);
    if (atom != nullptr && atom->atom != XCB_ATOM_NONE) {
        xcb_get_property_reply_t* property = xcb_get_property_reply(
            c, xcb_get_property(c, 0, root_window(c), atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
        std::free(atom);
        atom = nullptr;
        if (property != nullptr) {
            NativeWindow active = 0;
            if (xcb_get_property_value_length(property) >= 4) {
                active = *static_cast<const uint32_t*>(xcb_get_property_value(property));
            }
            std::free(property);
            if (active != 0) return active;
        }
    }
    std::free(atom);
    xcb_get_input_focus_reply_t* focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    if (focus == nullptr) return 0;
    const xcb_window_t focused = focus->focus;
    std::free(focus);
    // None and PointerRoot name no window.
    return focused > 1 && focused != root_window(c) ? focused : 0;
}

bool poll_child_event(ChildEvent& event) {
    xcb_connection_t* c = connection();
    if (c == nullptr) return false;
    while (xcb_generic_event_t* raw = xcb_poll_for_event(c)) {
        const uint8_t type = raw->response_type & 0x7F;
        bool found = false;
        if (type == XCB_EXPOSE) {
            const auto* expose = reinterpret_cast<const xcb_expose_event_t*>(raw);
            // One paint for a run of exposures.
            found = expose->count == 0;
            event = ChildEvent{expose->window, true, false};
        } else if (type == XCB_DESTROY_NOTIFY) {
            const auto* destroy = reinterpret_cast<const xcb_destroy_notify_event_t*>(raw);
            found = true;
            event = ChildEvent{destroy->window, false, true};
        }
        std::free(raw);
        if (found) return true;
    }
    return false;
}

bool put_stretched_image(NativeWindow window, const uint32_t* pixels, int32_t width, int32_t height, const Rect& dest) {
    xcb_connection_t* c = connection();
    const int32_t dest_width = dest.right - dest.left;
    const int32_t dest_height = dest.bottom - dest.top;
    if (c == nullptr || pixels == nullptr || width <= 0 || height <= 0 || dest_width <= 0 || dest_height <= 0) {
        return false;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (screen->root_depth != 24) return false;  // 32-bit pixels of a 24-bit TrueColor screen
    const auto id = static_cast<xcb_window_t>(window);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, id, 0, nullptr);
    // Nearest-pixel stretching, sent in bands that fit one request.
    const int32_t rows_per_band = std::max(1, 60000 / (dest_width * 4));
    std::vector<uint32_t> band(static_cast<size_t>(dest_width) * static_cast<size_t>(rows_per_band));
    for (int32_t top = 0; top < dest_height; top += rows_per_band) {
        const int32_t rows = std::min(rows_per_band, dest_height - top);
        for (int32_t y = 0; y < rows; ++y) {
            const int32_t source_y = (top + y) * height / dest_height;
            for (int32_t x = 0; x < dest_width; ++x) {
                band[static_cast<size_t>(y) * dest_width + x] = pixels[source_y * width + x * width / dest_width];
            }
        }
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, id, gc, static_cast<uint16_t>(dest_width),
                      static_cast<uint16_t>(rows), static_cast<int16_t>(dest.left), static_cast<int16_t>(dest.top + top),
                      0, 24, static_cast<uint32_t>(rows * dest_width * 4), reinterpret_cast<const uint8_t*>(band.data()));
    }
    xcb_free_gc(c, gc);
    xcb_flush(c);
    return true;
}

}  // namespace platform::x11
