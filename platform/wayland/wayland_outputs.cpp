#include "platform/wayland/wayland_outputs.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstring>

namespace platform::wayland {
namespace {

constexpr uint32_t kOutputVersion = 4;  // 2 brings the scale, 4 the name

struct Reading {
    OutputInfo* outputs;
    uint32_t capacity;
    uint32_t count;
    wl_output* proxies[kMaxOutputs];
};

OutputInfo& info_of(void* data) { return *static_cast<OutputInfo*>(data); }

void on_geometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*, int32_t) {}
void on_mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
    info_of(data).pixel_width = width;
    info_of(data).pixel_height = height;
}
void on_done(void*, wl_output*) {}
void on_scale(void* data, wl_output*, int32_t factor) { info_of(data).scale = factor > 0 ? factor : 1; }
void on_name(void* data, wl_output*, const char* name) {
    std::snprintf(info_of(data).name, kOutputNameSize, "%s", name != nullptr ? name : "");
}
void on_description(void*, wl_output*, const char*) {}

const wl_output_listener kOutputListener{on_geometry, on_mode, on_done, on_scale, on_name, on_description};

void on_global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto* reading = static_cast<Reading*>(data);
    if (std::strcmp(interface, wl_output_interface.name) != 0 || reading->count >= reading->capacity) return;
    const uint32_t bound = version < kOutputVersion ? version : kOutputVersion;
    auto* output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, bound));
    if (output == nullptr) return;
    OutputInfo& info = reading->outputs[reading->count];
    info = OutputInfo{};
    info.scale = 1;
    reading->proxies[reading->count++] = output;
    wl_output_add_listener(output, &kOutputListener, &info);
}
void on_global_remove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener{on_global, on_global_remove};

}  // namespace

uint32_t read_outputs(OutputInfo* outputs, uint32_t capacity) {
    if (capacity > kMaxOutputs) capacity = kMaxOutputs;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) return 0;
    Reading reading{outputs, capacity, 0, {}};
    wl_registry* registry = wl_display_get_registry(display);
    bool answered = false;
    if (registry != nullptr) {
        wl_registry_add_listener(registry, &kRegistryListener, &reading);
        // The first round trip announces the outputs, the second their state.
        answered = wl_display_roundtrip(display) >= 0 && wl_display_roundtrip(display) >= 0;
    }
    for (uint32_t i = 0; i < reading.count; ++i) {
        if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(reading.proxies[i])) >= 3) {
            wl_output_release(reading.proxies[i]);
        } else {
            wl_output_destroy(reading.proxies[i]);
        }
    }
    if (registry != nullptr) wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return answered ? reading.count : 0;
}

}  // namespace platform::wayland
