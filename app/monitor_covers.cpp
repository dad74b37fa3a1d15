#include "app/monitor_covers.h"

#include <cstring>
#include <new>

#include "app/device_selection.h"
#include "app/message_handler.h"
#include "app/monitor_layout.h"
#include "app/scene_device_states.h"
#include "sim/scene_setup.h"
#include "sim/scheduling.h"

namespace app {

namespace {

using platform::failed;
using platform::MonitorInfo;
using platform::NativeWindow;

constexpr uint32_t kBlackPixel = 0x00000000;

intptr_t pack_point(int32_t x, int32_t y) {
    const uint32_t bits = (static_cast<uint32_t>(x) & 0xFFFFu) | ((static_cast<uint32_t>(y) & 0xFFFFu) << 16);
    return static_cast<intptr_t>(bits);
}

int32_t width_of(const platform::Rect& r) { return r.right - r.left; }
bool same_rect(const platform::Rect& a, const platform::Rect& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
int32_t height_of(const platform::Rect& r) { return r.bottom - r.top; }

MonitorCover* find_cover(MonitorCovers& covers, NativeWindow window) {
    if (window == 0) return nullptr;
    for (MonitorCover& cover : covers.covers) {
        if (cover.window == window) return &cover;
    }
    return nullptr;
}

MonitorCover* free_slot(MonitorCovers& covers) {
    for (MonitorCover& cover : covers.covers) {
        if (cover.window == 0) return &cover;
    }
    return nullptr;
}

// The device and the scene go; the cover stays, black.
void drop_fish(MonitorCover& cover) {
    if (cover.device != nullptr) cover.device->release();
    cover.device = nullptr;
    cover.scene.reset();
}

// After creation and after every reset: the scene's states and the size of
// the back buffer the frames are drawn for.
bool prepare_cover_device(MonitorCover& cover) {
    set_scene_device_states(*cover.device);
    return !failed(cover.device->get_back_buffer_desc(cover.back_buffer));
}

// A windowed device on the cover's window with the main device's type,
// behaviour and depth buffer, a back buffer of the monitor's size, and
// presents that do not wait for the display. A windowed device presents
// into any window of the desktop, so the main device's adapter serves every
// monitor (also one that appeared after the adapters were counted).
bool create_cover_device(RenderApp& app, MonitorCover& cover) {
    const settings::AdapterRecord* adapter = selected_adapter(app);
    const settings::DeviceRecord* device = selected_device(app);
    const settings::DisplayModeRecord* mode = selected_mode(app);
    if (app.graphics == nullptr || adapter == nullptr || device == nullptr || mode == nullptr) return false;
    platform::PresentParams& params = cover.present_params;
    params = platform::PresentParams{};
    params.back_buffer_width = static_cast<uint32_t>(width_of(cover.monitor.bounds));
    params.back_buffer_height = static_cast<uint32_t>(height_of(cover.monitor.bounds));
    params.back_buffer_format = adapter->desktop_mode.format;
    params.back_buffer_count = 1;
    params.swap_effect = platform::kSwapEffectDiscard;
    params.device_window = cover.window;
    params.windowed = 1;
    params.enable_auto_depth_stencil = app.use_depth_buffer;
    params.auto_depth_stencil_format = mode->depth_format;
    params.presentation_interval = platform::kPresentIntervalImmediate;
    platform::GraphicsDevice* created = nullptr;
    if (failed(app.graphics->create_device(adapter->ordinal, device->device_type, cover.window, app.behaviour, params,
                                           &created)) ||
        created == nullptr) {
        return false;
    }
    cover.device = created;
    return prepare_cover_device(cover);
}

// The fish of monitor `index`: its scene, then its device. Without a
// device the cover stays black.
void start_fish(RenderApp& app, MonitorCover& cover, uint32_t index) {
    cover.scene.reset(new (std::nothrow) CoverScene);
    if (cover.scene == nullptr) return;
    sim::reset_records(cover.scene->creature, cover.scene->world);
    sim::setup_scene(cover.scene->creature, cover.scene->world, cover_seed(app.covers->scene_seed, index));
    render::reset_renderer_state(cover.scene->renderer);
    if (!create_cover_device(app, cover)) drop_fish(cover);
}

bool register_cover_class(RenderApp& app) {
    MonitorCovers& covers = *app.covers;
    if (covers.class_registered) return true;
    const platform::WindowClass window_class{kCoverWindowClassName, &cover_window_proc, &app, 0, 0,
                                             platform::Brush::Black};
    covers.class_registered = !failed(app.platform.windows->register_class(window_class));
    return covers.class_registered;
}

// A window over the monitor, above the others; with a fish when the
// settings ask for one.
void open_cover(RenderApp& app, const MonitorInfo& monitor, uint32_t index) {
    platform::WindowSystem& windows = *app.platform.windows;
    MonitorCover* cover = free_slot(*app.covers);
    if (cover == nullptr || !register_cover_class(app)) return;
    const platform::WindowCreate params{kCoverWindowClassName, app.title, platform::kStylePopup, monitor.bounds, 0};
    const NativeWindow window = windows.create_window(params);
    if (window == 0) return;
    cover->window = window;
    cover->monitor = monitor;
    if (app.settings != nullptr && app.settings->d_other_monitors) start_fish(app, *cover, index);
    windows.set_window_pos(window, platform::ZOrder::TopMost, monitor.bounds, platform::kPlaceShowWindow);
    windows.update_window(window);
}

void close_cover(RenderApp& app, MonitorCover& cover) {
    drop_fish(cover);
    const NativeWindow window = cover.window;
    cover = MonitorCover{};
    app.platform.windows->destroy_window(window);
}

// The cover's monitor moved or changed its size: the window follows, and a
// fish's device is reset to the new size (black when that fails).
void move_cover(RenderApp& app, MonitorCover& cover, const MonitorInfo& monitor) {
    const bool resized = width_of(monitor.bounds) != width_of(cover.monitor.bounds) ||
                         height_of(monitor.bounds) != height_of(cover.monitor.bounds);
    cover.monitor = monitor;
    app.platform.windows->set_window_pos(cover.window, platform::ZOrder::TopMost, monitor.bounds,
                                         platform::kPlaceShowWindow);
    if (cover.device != nullptr && resized) {
        cover.present_params.back_buffer_width = static_cast<uint32_t>(width_of(monitor.bounds));
        cover.present_params.back_buffer_height = static_cast<uint32_t>(height_of(monitor.bounds));
        if (failed(cover.device->reset(cover.present_params)) || !prepare_cover_device(cover)) drop_fish(cover);
    }
    app.platform.windows->update_window(cover.window);
}

// The black of a cover without a device.
void paint_black(RenderApp& app, NativeWindow window) {
    platform::Rect client{};
    if (!app.platform.windows->get_client_rect(window, client)) return;
    app.platform.windows->stretch_bitmap(window, &kBlackPixel, 1, 1, client);
}

// A mouse move over a cover in the main window's client coordinates.
intptr_t in_main_window(RenderApp& app, const MonitorCover& cover, intptr_t lparam) {
    const auto bits = static_cast<uintptr_t>(lparam);
    platform::Point point{cover.monitor.bounds.left + static_cast<int16_t>(bits & 0xFFFFu),
                          cover.monitor.bounds.top + static_cast<int16_t>((bits >> 16) & 0xFFFFu)};
    app.platform.windows->screen_to_client(app.main_window, point);
    return pack_point(point.x, point.y);
}

// The main window's monitor moved or changed its size (a monitor added
// left of it moves it on X11): a full-screen main window goes with it. Its
// device keeps its back buffer; a window of another size shows it scaled.
void follow_main_monitor(RenderApp& app, const MonitorInfo& monitor) {
    MonitorCovers& covers = *app.covers;
    if (same_rect(covers.main_bounds, monitor.bounds)) return;
    covers.main_bounds = monitor.bounds;
    if (app.windowed) return;
    app.platform.windows->set_window_pos(app.main_window, platform::ZOrder::TopMost, monitor.bounds,
                                         platform::kPlaceShowWindow);
    app.window_rect = monitor.bounds;
    if (app.clip_cursor_fullscreen) app.platform.windows->clip_cursor(&app.window_rect);
}

void remember_main_monitor(MonitorCovers& covers, const MonitorInfo* monitor) {
    std::memset(covers.main_monitor, 0, sizeof covers.main_monitor);
    covers.main_bounds = platform::Rect{};
    if (monitor == nullptr) return;
    std::memcpy(covers.main_monitor, monitor->name, sizeof covers.main_monitor);
    covers.main_bounds = monitor->bounds;
}

}  // namespace

void draw_cover_scene(CoverScene& scene, platform::GraphicsDevice* device, const platform::SurfaceDesc& back_buffer,
                      settings::Settings* settings, int32_t view_level) {
    render::FrameContext frame{};
    frame.device = device;
    frame.back_buffer_width = back_buffer.width;
    frame.back_buffer_height = back_buffer.height;
    frame.creature = &scene.creature;
    frame.world = &scene.world;
    frame.settings = settings;
    frame.view_level = view_level;
    frame.overlay = nullptr;
    render::render_frame(frame, scene.renderer);
}

uint32_t read_monitors(platform::WindowSystem& windows, MonitorInfo (&monitors)[platform::kMaxMonitors]) {
    uint32_t count = windows.monitor_count();
    if (count > platform::kMaxMonitors) count = platform::kMaxMonitors;
    uint32_t read = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (windows.get_monitor(i, monitors[read])) ++read;
    }
    return read;
}

int32_t main_window_monitor(RenderApp& app, const MonitorInfo* monitors, uint32_t count) {
    platform::Rect window{};
    if (app.main_window == 0 || !app.platform.windows->get_window_rect(app.main_window, window)) return -1;
    return monitor_of(monitors, count, window);
}

void cover_other_monitors(RenderApp& app) {
    if (app.covers == nullptr) return;
    MonitorInfo monitors[platform::kMaxMonitors];
    const uint32_t count = read_monitors(*app.platform.windows, monitors);
    const int32_t main = main_window_monitor(app, monitors, count);
    remember_main_monitor(*app.covers, main >= 0 ? &monitors[main] : nullptr);
    const uint32_t wanted = monitors_to_cover(count, main);
    for (uint32_t i = 0; i < count; ++i) {
        if ((wanted & (1u << i)) != 0) open_cover(app, monitors[i], i);
    }
}

void follow_monitors(RenderApp& app) {
    if (app.covers == nullptr || app.main_window == 0) return;
    MonitorCovers& covers = *app.covers;
    bool covering = false;
    for (const MonitorCover& cover : covers.covers) covering = covering || cover.window != 0;
    MonitorInfo monitors[platform::kMaxMonitors];
    const uint32_t count = read_monitors(*app.platform.windows, monitors);
    // The main window's monitor by its output's name, which stays when the
    // monitors around it come and go; without names, where the window is.
    int32_t main = monitor_named(monitors, count, covers.main_monitor);
    if (main >= 0) {
        follow_main_monitor(app, monitors[main]);
    } else {
        main = main_window_monitor(app, monitors, count);
    }
    const uint32_t wanted = monitors_to_cover(count, main);
    if (!covering && wanted == 0) return;

    uint32_t kept = 0;  // monitors that have their cover
    for (MonitorCover& cover : covers.covers) {
        if (cover.window == 0) continue;
        int32_t found = -1;
        for (uint32_t i = 0; i < count && found < 0; ++i) {
            const uint32_t bit = 1u << i;
            if ((wanted & bit) != 0 && (kept & bit) == 0 && same_monitor(cover.monitor, monitors[i])) {
                found = static_cast<int32_t>(i);
            }
        }
        if (found < 0) {
            close_cover(app, cover);
            continue;
        }
        kept |= 1u << found;
        if (std::memcmp(&cover.monitor.bounds, &monitors[found].bounds, sizeof(platform::Rect)) != 0) {
            move_cover(app, cover, monitors[found]);
        } else {
            cover.monitor = monitors[found];
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t bit = 1u << i;
        if ((wanted & bit) != 0 && (kept & bit) == 0) open_cover(app, monitors[i], i);
    }
}

void step_covers(RenderApp& app, bool advance) {
    if (app.covers == nullptr) return;
    for (MonitorCover& cover : app.covers->covers) {
        if (cover.device == nullptr || cover.scene == nullptr) continue;
        const platform::Result level = cover.device->test_cooperative_level();
        if (failed(level)) {
            if (level == platform::kDeviceNotReset &&
                (failed(cover.device->reset(cover.present_params)) || !prepare_cover_device(cover))) {
                drop_fish(cover);
            }
            continue;
        }
        CoverScene& scene = *cover.scene;
        if (advance) sim::advance_frame(scene.creature, scene.world, app.app_time);
        draw_cover_scene(scene, cover.device, cover.back_buffer, app.settings, app.input.view_level);
        cover.device->present();
    }
}

void release_covers(RenderApp& app) {
    if (app.covers == nullptr) return;
    for (MonitorCover& cover : app.covers->covers) {
        if (cover.window != 0) close_cover(app, cover);
    }
}

intptr_t cover_window_proc(void* context, NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    RenderApp& app = *static_cast<RenderApp*>(context);
    MonitorCover* cover = app.covers != nullptr ? find_cover(*app.covers, window) : nullptr;
    const NativeWindow main = app.main_window;
    switch (message) {
        case platform::kMsgMouseMove:
            if (cover == nullptr || main == 0) return 0;
            return handle_message(app, main, message, wparam, in_main_window(app, *cover, lparam));
        case platform::kMsgLButtonDown:
        case platform::kMsgRButtonDown:
        case platform::kMsgLButtonDblClk:
        case platform::kMsgRButtonDblClk:
        case platform::kMsgKeyDown:
        case platform::kMsgSysKeyDown:
        case platform::kMsgEnterMenuLoop:
        case platform::kMsgSetCursor:
            if (main == 0) break;
            return handle_message(app, main, message, wparam, lparam);
        case platform::kMsgClose:
            // Closing a cover (the window manager's close) ends the run.
            if (main != 0) app.platform.windows->send_message(main, platform::kMsgClose, 0, 0);
            return 0;
        case platform::kMsgNcHitTest: return platform::kHitClient;
        case platform::kMsgSysCommand: return 1;     // a cover is neither moved, sized nor minimised
        case platform::kMsgDisplayChange: return 0;  // the main window follows the monitors for every cover
        case platform::kMsgPaint:
            if (cover != nullptr && cover->device == nullptr) paint_black(app, window);
            break;
        default: break;
    }
    return app.platform.windows->default_window_proc(window, message, wparam, lparam);
}

}  // namespace app
