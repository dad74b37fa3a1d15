#include "app/frame_loop.h"

#include "app/accelerators.h"
#include "app/app_error.h"
#include "app/device_lifecycle.h"
#include "app/device_selection.h"
#include "app/monitor_covers.h"
#include "app/power_watch.h"
#include "app/scene_hooks.h"
#include "app/stats_text.h"

namespace app {

namespace {

using platform::failed;
using platform::kOk;

// A lost device that can be reset now: a windowed back buffer follows the
// desktop's current format.
Result reset_lost_device(RenderApp& app) {
    if (app.windowed) {
        settings::AdapterRecord* adapter = selected_adapter(app);
        if (adapter == nullptr) return kNoUsableDevice;
        const Result result =
            app.graphics->get_adapter_display_mode(adapter->ordinal, adapter->desktop_mode);
        if (failed(result)) return result;
        app.present_params.back_buffer_format = adapter->desktop_mode.format;
    }
    return reset_device(app);
}

// Counts the frame; after more than one second since the last measurement
// the rate and the frame-rate line are renewed.
Result update_frame_stats(RenderApp& app) {
    const float now = read_timer(app, kTimerAbsoluteTime);
    ++app.frame_count;
    const float interval = now - app.last_stats_time;
    if (!(interval > 1.0f)) return kOk;

    app.frames_per_second = static_cast<float>(app.frame_count) / interval;
    app.last_stats_time = now;
    app.frame_count = 0;

    const settings::AdapterRecord* adapter = selected_adapter(app);
    if (adapter == nullptr) return kNoUsableDevice;
    platform::DisplayMode display{};
    const Result result = app.graphics->get_adapter_display_mode(adapter->ordinal, display);
    if (failed(result)) return result;
    const settings::DeviceRecord* device = selected_device(app);
    const settings::DisplayModeRecord* mode = selected_mode(app);
    FrameStatsInput input{};
    input.frames_per_second = app.frames_per_second;
    input.width = app.back_buffer_desc.width;
    input.height = app.back_buffer_desc.height;
    input.display_format = display.format;
    input.show_depth_format = app.use_depth_buffer;
    input.depth_format = mode != nullptr ? mode->depth_format : platform::kFormatUnknown;
    input.multisample_type = device != nullptr ? multisample_in_use(*device, app.windowed) : 0;
    format_frame_stats(app.frame_stats, input);
    return kOk;
}

}  // namespace

Result step_frame(RenderApp& app) {
    if (app.device == nullptr || app.graphics == nullptr) return platform::kFail;

    Result result = app.device->test_cooperative_level();
    if (failed(result)) {
        if (result == platform::kDeviceLost) return kOk;
        if (result == platform::kDeviceNotReset) return reset_lost_device(app);
        return result;
    }

    const float t = read_timer(app, kTimerAppTime);
    const float dt = read_timer(app, kTimerElapsedTime);
    if (dt == 0.0f && app.frame_moving) return kOk;

    SceneHooks& hooks = scene_hooks(app);
    const bool advance = app.frame_moving || app.single_step;
    if (advance) {
        app.app_time = t;
        app.elapsed_time = dt;
        result = hooks.advance_frame(app);
        if (failed(result)) return result;
        app.single_step = false;
    }
    result = hooks.render_frame(app);
    if (failed(result)) return result;
    result = update_frame_stats(app);
    if (failed(result)) return result;

    app.device->present();  // what present answers changes nothing here
    step_covers(app, advance);
    return kOk;
}

int32_t run(RenderApp& app) {
    platform::WindowSystem& windows = *app.platform.windows;
    platform::Message message{};
    windows.peek_message(message, false);
    while (message.message != platform::kMsgQuit) {
        // Only a frame-ready application polls; otherwise nothing can happen
        // before the next message, so the loop waits for it.
        const bool drawing = app.active && app.ready;
        const bool taken = drawing ? windows.peek_message(message, true) : windows.get_message(message);
        if (!drawing && !taken) break;  // the quit message
        if (taken) {
            if (message.message == platform::kMsgQuit) break;
            if (!windows.translate_accelerator(app.main_window, kAccelerators, kAcceleratorCount, message)) {
                windows.dispatch_message(message);
            }
        } else if (const uint32_t wait = wait_before_frame(app); wait > 0) {
            windows.wait_message(wait);  // a dark display, or a frame not yet due on battery
        } else if (failed(step_frame(app))) {
            windows.send_message(app.main_window, platform::kMsgClose, 0, 0);
        }
    }
    return static_cast<int32_t>(message.wparam);
}

void pause(RenderApp& app, bool on) {
    if (on) {
        ++app.pause_count;
    } else if (app.pause_count > 0) {
        --app.pause_count;
    }
    app.ready = app.pause_count == 0;
    if (on && app.pause_count == 1 && app.frame_moving) read_timer(app, kTimerStop);
    if (app.pause_count == 0 && app.frame_moving) read_timer(app, kTimerStart);
}

}  // namespace app
