// The framework state of the application: the main window, the graphics
// system and device, the device table, the presentation parameters, the
// frame timing and statistics, the pause counter, the input state and the
// covers of the other monitors. One record lives for the whole run; the
// framework's free functions take it.
#pragma once

#include <cstdint>

#include "app/command_line.h"
#include "app/frame_timer.h"
#include "app/power_watch.h"
#include "platform/platform.h"
#include "settings/device_table.h"
#include "settings/settings.h"

namespace app {

using platform::Result;

class SceneHooks;
class DeviceDialogRunner;
struct MonitorCovers;

inline constexpr int kStatsTextSize = 90;  // bytes of device_stats and frame_stats

// What the window messages keep between messages.
struct InputState {
    int32_t last_mouse_x = -1;      // client pixels of the previous mouse move
    int32_t last_mouse_y = -1;
    int32_t mouse_moves_seen = 0;   // moves to a new position; never reset
    int32_t view_level = 0;         // 0 or 1: the eye stands at height 4 + 4 * view_level
};

struct RenderApp {
    // ---- the system and the scene ----
    platform::Platform platform{};            // every system service goes through these
    SceneHooks* hooks = nullptr;              // the application's scene; null: the do-nothing defaults
    DeviceDialogRunner* device_dialog = nullptr;
    settings::Settings* settings = nullptr;   // the values kept between runs (not owned)
    ScreenSaverMode mode = ScreenSaverMode::run;  // set by the entry point from the command line
    MonitorCovers* covers = nullptr;          // the other monitors' windows in run mode (not owned); null: none
    platform::NativeWindow dialog_owner = 0;  // the caller's window the settings dialog belongs to; 0: the main window
    bool time_period_set = false;             // a 1 ms clock resolution was granted at start-up

    // ---- devices ----
    settings::DeviceTable device_table{};     // adapters, devices, modes; current choices
    platform::GraphicsSystem* graphics = nullptr;  // owned; released at shutdown
    platform::GraphicsDevice* device = nullptr;    // owned; null when there is none
    platform::PresentParams present_params{};
    platform::DeviceCaps device_caps{};       // copy taken after device creation
    platform::SurfaceDesc back_buffer_desc{}; // copy taken after creation and each reset
    uint32_t behaviour = 0;                   // creation behaviour (kCreate*) of the device in use

    // ---- flags ----
    bool windowed = false;     // present into the window rather than full screen
    bool active = false;       // device set up and window not minimised
    bool ready = false;        // not paused: frames may be rendered
    bool frame_moving = true;  // time advances every frame
    bool single_step = false;  // advance one frame while time is stopped
    uint32_t own_boxes_shown = 0;  // the program's own message boxes and dialogs on screen now
    bool closing = false;          // the exit sequence has begun

    // ---- the window ----
    platform::NativeWindow main_window = 0;
    platform::NativeWindow focus_window = 0;  // the main window once it exists
    uint32_t window_style = 0;                // read back after creation
    platform::Rect window_rect{};             // screen pixels, read back after creation and moves
    platform::Rect client_rect{};             // client pixels
    const char* title = "D3D8 Application";   // window and message-box caption
    int32_t default_width = 1017;             // client pixels in configure mode
    int32_t default_height = 690;
    bool clip_cursor_fullscreen = true;       // confine the cursor to the window in full screen

    // ---- depth buffer ----
    bool use_depth_buffer = false;            // automatic depth buffer
    uint32_t min_depth_bits = 16;
    uint32_t min_stencil_bits = 0;

    // ---- time and statistics ----
    FrameTimer timer{};
    float app_time = 0.0f;                    // s, application time of the current frame
    float elapsed_time = 0.0f;                // s, since the previous frame
    float frames_per_second = 0.0f;
    uint32_t frame_count = 0;                 // frames since the last rate measurement
    float last_stats_time = 0.0f;             // s, absolute time of the last rate measurement
    uint32_t pause_count = 0;                 // pause(true) calls not yet matched by pause(false)
    char device_stats[kStatsTextSize] = {};   // device description
    char frame_stats[kStatsTextSize] = {};    // frame-rate line

    // ---- input ----
    InputState input{};

    // ---- power ----
    PowerWatch power{};  // the display's power state and the battery, as the message loop last heard
};

// The hooks in use: the application's, or the do-nothing defaults.
SceneHooks& scene_hooks(RenderApp& app);

// The application's capability test in the form the device-table builder
// calls it; `context` is the RenderApp.
Result check_device_caps_of(void* context, const platform::DeviceCaps& caps, uint32_t behaviour,
                            platform::Format format);

// Reads the frame timer with the platform clock.
float read_timer(RenderApp& app, TimerCommand command);

}  // namespace app
