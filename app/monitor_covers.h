// The windows that cover every monitor but the main window's in run mode,
// so that no monitor shows the desktop while the screen saver runs. A cover
// is either black (a window with the black background and no device) or
// shows a fish of its own: its own creature and world (with its own random
// source, so the main fish's draws are untouched), drawn by a device of its
// own at that monitor's size, without the information text. Input on a
// cover ends the run as it does on the main window; the covers follow the
// monitors when they change. The table has a fixed size; a cover's scene
// and device are made when its monitor is covered, never per frame.
#pragma once

#include <cstdint>
#include <memory>

#include "app/render_app.h"
#include "render/render_frame.h"
#include "sim/records.h"

namespace app {

inline constexpr uint32_t kMaxCovers = platform::kMaxMonitors - 1;  // every monitor but the main window's
inline constexpr const char* kCoverWindowClassName = "pel CoverWindowClass";

// A cover's own fish.
struct CoverScene {
    sim::Creature creature;
    sim::SimWorld world;             // with the cover's own random source
    render::RendererState renderer;  // its camera and tank geometry
};

// Draws the scene's current state on `device` (a back buffer of `back_buffer`'s
// size) without the information text, which is only the main window's.
void draw_cover_scene(CoverScene& scene, platform::GraphicsDevice* device, const platform::SurfaceDesc& back_buffer,
                      settings::Settings* settings, int32_t view_level);

struct MonitorCover {
    platform::NativeWindow window = 0;           // 0: a free slot
    platform::MonitorInfo monitor{};             // the monitor it covers, screen pixels
    std::unique_ptr<CoverScene> scene;           // the fish; null for a black cover
    platform::GraphicsDevice* device = nullptr;  // owned; null for a black cover
    platform::PresentParams present_params{};    // windowed, the monitor's size, presented at once
    platform::SurfaceDesc back_buffer{};         // read after creation and every reset
};

struct MonitorCovers {
    uint32_t scene_seed = 0;  // the main scene's seed (init_scene); each fish mixes in its monitor
    bool class_registered = false;
    char main_monitor[platform::kMonitorNameSize] = {};  // the output the main window covers; may be empty
    platform::Rect main_bounds{};                        // that monitor's place when last seen, screen pixels
    MonitorCover covers[kMaxCovers];
};

// Reads the window system's monitors; answers how many (at most kMaxMonitors).
uint32_t read_monitors(platform::WindowSystem& windows, platform::MonitorInfo (&monitors)[platform::kMaxMonitors]);

// The index of the monitor the main window is on among `monitors`; -1 when
// there is no main window or it is on none.
int32_t main_window_monitor(RenderApp& app, const platform::MonitorInfo* monitors, uint32_t count);

// Run mode, once the main device shows its picture: a cover on every other
// monitor, with a fish or black as the settings say.
void cover_other_monitors(RenderApp& app);

// After the main frame: every fish cover takes one step at the frame's
// application time (when `advance`: the main scene took one), draws and
// presents at once. Only the main device waits for the display. A lost
// device draws nothing until it can be reset.
void step_covers(RenderApp& app, bool advance);

// The monitors changed: a cover whose monitor went closes, a new monitor
// gets a cover, a cover whose monitor moved or changed size follows it
// (a fish's device takes the new size); a full-screen main window follows
// its own monitor. The run goes on.
void follow_monitors(RenderApp& app);

// Every cover's device and window go (the exit sequence, before the main
// device).
void release_covers(RenderApp& app);

// The procedure of the cover windows; `context` is the RenderApp. Mouse
// moves (in the main window's client coordinates, so that a move from one
// window to another is a new position), buttons, keys, system keys, menu
// loops and the cursor go to the main window's handling; a cover that is
// closed ends the run.
intptr_t cover_window_proc(void* context, platform::NativeWindow window, uint32_t message, uintptr_t wparam,
                           intptr_t lparam);

}  // namespace app
