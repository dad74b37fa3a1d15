#include "platform/wayland/wayland_globals.h"

#include <wayland-client.h>

#include <cstring>

namespace platform::wayland {
namespace {

constexpr int kMaxInterfaces = 8;

struct Offered {
    const char* const* interfaces;
    int count;
    bool found[kMaxInterfaces];
};

void on_global(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
    auto* offered = static_cast<Offered*>(data);
    for (int i = 0; i < offered->count; ++i) {
        if (std::strcmp(offered->interfaces[i], interface) == 0) offered->found[i] = true;
    }
}

void on_global_remove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kListener{on_global, on_global_remove};

}  // namespace

bool compositor_offers(const char* const* interfaces, int count) {
    if (count < 0 || count > kMaxInterfaces) return false;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) return false;
    Offered offered{interfaces, count, {}};
    wl_registry* registry = wl_display_get_registry(display);
    bool answered = false;
    if (registry != nullptr) {
        wl_registry_add_listener(registry, &kListener, &offered);
        answered = wl_display_roundtrip(display) >= 0;
        wl_registry_destroy(registry);
    }
    wl_display_disconnect(display);
    if (!answered) return false;
    for (int i = 0; i < count; ++i) {
        if (!offered.found[i]) return false;
    }
    return true;
}

}  // namespace platform::wayland
