// Runs a presenting frame loop on a private Xvfb server for two seconds and
// prints frames per second against the display's refresh rate and the
// processor time the loop used. Exits 1 when the loop outran the display
// (more than a quarter above the refresh rate), 2 when it could not run.
#include <SDL2/SDL.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "platform/egl/egl_graphics.h"
#include "platform/egl/egl_headless_graphics.h"
#include "platform/sdl/sdl_window_system.h"
#include "tests/support/x_server.h"

namespace {

double seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

intptr_t quiet_proc(void*, platform::NativeWindow, uint32_t, uintptr_t, intptr_t) { return 0; }

}  // namespace

int main() {
    using namespace platform;
    test_support::XServer xvfb;
    std::string error;
    if (!xvfb.start(error)) {
        std::fprintf(stderr, "present_pacing_check: %s\n", error.c_str());
        return 2;
    }
    xvfb.export_environment();
    WindowSystem* windows = make_sdl_window_system();
    windows->register_class(WindowClass{"pacing", quiet_proc, nullptr, 0, 0, Brush::Black});
    const NativeWindow window =
        windows->create_window(WindowCreate{"pacing", "pacing", kStylePopup | kStyleVisible, Rect{0, 0, 640, 480}, 0});
    GraphicsSystem* graphics = make_gl_graphics_system_factory()->create(kGraphicsSystemVersion);
    GraphicsDevice* device = nullptr;
    PresentParams params{};
    params.windowed = 1;
    params.back_buffer_count = 1;
    params.device_window = window;
    if (window == 0 || graphics == nullptr ||
        graphics->create_device(0, kDeviceHal, window, kCreateHardwareVertexProcessing, params, &device) != kOk) {
        std::fprintf(stderr, "present_pacing_check: no window or device\n");
        return 2;
    }
    DisplayMode desktop{};
    graphics->get_adapter_display_mode(0, desktop);
    const uint32_t refresh = desktop.refresh_rate != 0 ? desktop.refresh_rate : 60;

    const double wall_start = seconds(CLOCK_MONOTONIC);
    const double cpu_start = seconds(CLOCK_PROCESS_CPUTIME_ID);
    uint32_t frames = 0;
    Message message{};
    while (seconds(CLOCK_MONOTONIC) - wall_start < 2.0) {
        while (windows->peek_message(message, true)) windows->dispatch_message(message);
        device->clear(0, nullptr, kClearTarget, 0xFF000028 + (frames & 0xFF), 1.0f, 0);
        device->present();
        ++frames;
    }
    const double wall = seconds(CLOCK_MONOTONIC) - wall_start;
    const double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu_start;
    const double fps = double(frames) / wall;
    std::printf("present_fps: %.1f fps\nrefresh_rate: %u Hz\ncpu_per_frame: %.0f us\ncpu_load: %.1f %%\n", fps,
                refresh, cpu / frames * 1e6, cpu / wall * 100.0);
    device->release();
    graphics->release();
    windows->destroy_window(window);
    SDL_Quit();
    xvfb.stop();
    return fps <= refresh * 1.25 ? 0 : 1;
}
