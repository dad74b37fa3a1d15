#include "app/device_lifecycle.h"

#include <algorithm>

#include "app/app_error.h"
#include "app/device_selection.h"
#include "app/error_report.h"
#include "app/main_window.h"
#include "app/scene_hooks.h"
#include "app/stats_text.h"

namespace app {

namespace {

using platform::failed;
using platform::kOk;

// Releases the device and forgets it, so nothing can use it afterwards.
// Answers the references that remain.
uint32_t release_device(RenderApp& app) {
    if (app.device == nullptr) return 0;
    const uint32_t remaining = app.device->release();
    app.device = nullptr;
    return remaining;
}

// In full screen the cursor stays inside the window; in a window it is free.
void apply_cursor_clip(RenderApp& app) {
    if (!app.clip_cursor_fullscreen) return;
    app.platform.windows->clip_cursor(app.windowed ? nullptr : &app.window_rect);
}

void place_window(RenderApp& app, uint32_t flags) {
    app.platform.windows->set_window_pos(app.main_window, platform::ZOrder::NoTopMost, app.window_rect, flags);
}

// The steps after a successful creation: caps, statistics text, back buffer,
// cursor and the device hooks. On failure the device is gone again.
Result finish_device_start(RenderApp& app, const settings::AdapterRecord& adapter,
                           const settings::DeviceRecord& device, const settings::DisplayModeRecord& mode,
                           uint32_t placement) {
    if (app.windowed) place_window(app, placement);

    Result result = app.device->get_device_caps(app.device_caps);
    if (!failed(result)) {
        app.behaviour = mode.behaviour;
        format_device_stats(app.device_stats, device.device_type, app.behaviour, adapter.identifier.description);
        result = app.device->get_back_buffer_desc(app.back_buffer_desc);
    }
    if (failed(result)) {
        release_device(app);
        return result;
    }
    apply_cursor_clip(app);

    SceneHooks& hooks = scene_hooks(app);
    result = hooks.create_device_objects(app);
    if (!failed(result)) result = hooks.reset_device_objects(app);
    if (!failed(result)) {
        app.active = true;
        return kOk;
    }
    hooks.release_device_objects(app);
    hooks.destroy_device_objects(app);
    release_device(app);
    return result;
}

// After a hardware device failed: the first reference device of adapter 0
// takes its place, the user is told, and the start runs once more.
Result fall_back_to_reference(RenderApp& app, Result failure, uint32_t placement) {
    settings::DeviceTable& table = app.device_table;
    table.current_adapter = 0;
    settings::AdapterRecord* adapter = selected_adapter(app);
    if (adapter == nullptr) return failure;
    const uint32_t device_count = std::min(adapter->device_count, settings::kMaxDevices);
    uint32_t reference = device_count;
    for (uint32_t d = 0; d < device_count; ++d) {
        if (adapter->devices[d].device_type == platform::kDeviceRef) {
            reference = d;
            break;
        }
    }
    if (reference == device_count) return failure;
    adapter->current_device = reference;
    app.windowed = adapter->devices[reference].windowed;

    place_window(app, placement);
    adjust_window_for_mode(app);
    report_error(app, failure, kSeverityFallbackToReference);
    return start_device(app);
}

}  // namespace

void fill_present_params(RenderApp& app, const settings::AdapterRecord& adapter,
                         const settings::DeviceRecord& device, const settings::DisplayModeRecord& mode) {
    platform::PresentParams& params = app.present_params;
    params = platform::PresentParams{};
    params.windowed = device.windowed;
    params.back_buffer_count = 1;
    params.multisample_type = multisample_in_use(device, device.windowed);
    params.swap_effect = platform::kSwapEffectDiscard;
    params.device_window = app.main_window;
    params.enable_auto_depth_stencil = app.use_depth_buffer;
    params.auto_depth_stencil_format = mode.depth_format;
    if (app.windowed) {
        params.back_buffer_width = static_cast<uint32_t>(app.client_rect.right - app.client_rect.left);
        params.back_buffer_height = static_cast<uint32_t>(app.client_rect.bottom - app.client_rect.top);
        params.back_buffer_format = adapter.desktop_mode.format;
    } else {
        params.back_buffer_width = mode.width;
        params.back_buffer_height = mode.height;
        params.back_buffer_format = mode.format;
    }
}

Result start_device(RenderApp& app) {
    // In configure mode the window stays hidden.
    const uint32_t placement = app.mode == ScreenSaverMode::configure ? 0 : platform::kPlaceShowWindow;
    settings::AdapterRecord* adapter = selected_adapter(app);
    settings::DeviceRecord* device = selected_device(app);
    settings::DisplayModeRecord* mode = selected_mode(app);
    if (adapter == nullptr || device == nullptr || mode == nullptr) return kNoUsableDevice;
    if (app.graphics == nullptr) return kNoDirect3D;

    adjust_window_for_mode(app);
    fill_present_params(app, *adapter, *device, *mode);
    if ((device->caps.primitive_misc_caps & platform::kMiscCapsNullReference) != 0) {
        report_error(app, kReferenceDeviceStub, kSeverityWarning);
    }

    platform::GraphicsDevice* created = nullptr;
    Result result = app.graphics->create_device(adapter->ordinal, device->device_type,
                                                app.focus_window, mode->behaviour, app.present_params, &created);
    if (!failed(result)) {
        app.device = created;
        result = finish_device_start(app, *adapter, *device, *mode, placement);
        if (!failed(result)) return kOk;
    }
    if (device->device_type != platform::kDeviceHal) return result;
    return fall_back_to_reference(app, result, placement);
}

Result reset_device(RenderApp& app) {
    if (app.device == nullptr) return platform::kFail;
    SceneHooks& hooks = scene_hooks(app);
    Result result = hooks.release_device_objects(app);
    if (failed(result)) return result;
    result = app.device->reset(app.present_params);
    if (failed(result)) return result;
    result = app.device->get_back_buffer_desc(app.back_buffer_desc);
    if (failed(result)) return result;
    apply_cursor_clip(app);
    result = hooks.reset_device_objects(app);
    if (failed(result)) return result;

    // With time stopped, one frame is still drawn after the reset.
    if (!app.frame_moving) {
        app.single_step = true;
        read_timer(app, kTimerStart);
        read_timer(app, kTimerStop);
    }
    return kOk;
}

Result toggle_display_mode(RenderApp& app) {
    settings::AdapterRecord* adapter = selected_adapter(app);
    settings::DeviceRecord* device = selected_device(app);
    settings::DisplayModeRecord* mode = selected_mode(app);
    if (adapter == nullptr || device == nullptr || mode == nullptr) return kNoUsableDevice;
    if (!app.windowed && !device->can_render_windowed) return switch_to_windowed(app);

    app.ready = false;
    app.windowed = !app.windowed;
    device->windowed = app.windowed;
    adjust_window_for_mode(app);
    fill_present_params(app, *adapter, *device, *mode);

    if (!failed(reset_device(app))) {
        if (app.windowed) place_window(app, platform::kPlaceShowWindow);
        app.ready = true;
        return kOk;
    }
    if (!app.windowed) return platform::kFail;
    return switch_to_windowed(app);
}

Result switch_to_windowed(RenderApp& app) {
    settings::DeviceRecord* device = selected_device(app);
    if (device == nullptr || !device->can_render_windowed) {
        device = nullptr;
        settings::DeviceTable& table = app.device_table;
        const uint32_t adapter_count = std::min(table.adapter_count, settings::kMaxAdapters);
        for (uint32_t a = 0; a < adapter_count && device == nullptr; ++a) {
            settings::AdapterRecord& adapter = table.adapters[a];
            const uint32_t device_count = std::min(adapter.device_count, settings::kMaxDevices);
            for (uint32_t d = 0; d < device_count; ++d) {
                if (adapter.devices[d].can_render_windowed) {
                    table.current_adapter = a;
                    adapter.current_device = d;
                    device = &adapter.devices[d];
                    break;
                }
            }
        }
        if (device == nullptr) return platform::kFail;
    }
    device->windowed = true;
    app.windowed = true;
    app.ready = false;

    SceneHooks& hooks = scene_hooks(app);
    const Result released = hooks.release_device_objects(app);
    const Result destroyed = hooks.destroy_device_objects(app);
    const uint32_t remaining = release_device(app);
    Result result = released;
    if (!failed(result)) result = destroyed;
    if (!failed(result) && remaining > 0) result = kObjectsStillReferenced;
    if (!failed(result)) result = start_device(app);
    if (failed(result)) return report_error(app, result, kSeverityFatal);
    app.ready = true;
    return kOk;
}

Result shutdown_device(RenderApp& app) {
    app.active = false;
    app.ready = false;
    SceneHooks& hooks = scene_hooks(app);
    if (app.device != nullptr) {
        hooks.release_device_objects(app);
        hooks.destroy_device_objects(app);
        release_device(app);
    }
    release_graphics(app);
    return hooks.shutdown_scene(app);
}

void release_graphics(RenderApp& app) {
    if (app.graphics != nullptr) {
        app.graphics->release();
        app.graphics = nullptr;
    }
}

}  // namespace app
