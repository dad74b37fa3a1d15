// Gives the compositor's seat a pointer for as long as it runs, so that the
// pointer events the compositor makes itself (sway's "seat seat0 cursor
// move/press") reach the clients: a seat without a pointer device has no
// pointer capability, and clients then never bind one. The pointer is a
// wlr virtual pointer; this program sends no events through it. It prints
// "ready" once the compositor has the pointer and ends on SIGTERM or when
// the compositor goes.
#include <wayland-client.h>

#include <poll.h>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

// The two interfaces of the virtual pointer protocol, written out here: the
// manager's first request makes a pointer for a seat; the pointer's
// requests are listed only so that the table is complete.
extern const wl_interface virtual_pointer_interface;
const wl_interface* create_types[] = {&wl_seat_interface, &virtual_pointer_interface};
const wl_interface* no_types[8] = {};
const wl_message manager_requests[] = {
    {"create_virtual_pointer", "?on", create_types},
    {"destroy", "", no_types},
};
const wl_message pointer_requests[] = {
    {"motion", "uff", no_types},   {"motion_absolute", "uuuuu", no_types},
    {"button", "uuu", no_types},   {"axis", "uuf", no_types},
    {"frame", "", no_types},       {"axis_source", "u", no_types},
    {"axis_stop", "uu", no_types}, {"axis_discrete", "uufi", no_types},
    {"destroy", "", no_types},
};
const wl_interface manager_interface = {"zwlr_virtual_pointer_manager_v1", 1, 2, manager_requests, 0, nullptr};
const wl_interface virtual_pointer_interface = {"zwlr_virtual_pointer_v1", 1, 9, pointer_requests, 0, nullptr};

struct Globals {
    wl_seat* seat = nullptr;
    wl_proxy* manager = nullptr;
};

void on_global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, "wl_seat") == 0 && globals->seat == nullptr) {
        globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, manager_interface.name) == 0) {
        globals->manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &manager_interface, 1));
    }
}
void on_global_remove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registry_listener{on_global, on_global_remove};

volatile sig_atomic_t stop = 0;
void on_signal(int) { stop = 1; }

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "virtual_pointer: no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry_add_listener(wl_display_get_registry(display), &registry_listener, &globals);
    wl_display_roundtrip(display);
    if (globals.seat == nullptr || globals.manager == nullptr) {
        std::fprintf(stderr, "virtual_pointer: the compositor offers no virtual pointer\n");
        return 1;
    }
    wl_proxy* pointer =
        wl_proxy_marshal_constructor(globals.manager, 0, &virtual_pointer_interface, globals.seat, nullptr);
    if (pointer == nullptr || wl_display_roundtrip(display) < 0) return 1;
    std::signal(SIGTERM, on_signal);
    std::signal(SIGINT, on_signal);
    std::printf("ready\n");
    std::fflush(stdout);
    while (stop == 0) {
        pollfd connection{wl_display_get_fd(display), POLLIN, 0};
        if (poll(&connection, 1, 250) > 0 && wl_display_dispatch(display) < 0) break;  // the compositor went
    }
    wl_display_disconnect(display);
    return 0;
}
