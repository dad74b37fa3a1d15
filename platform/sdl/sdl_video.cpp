#include "platform/sdl/sdl_video.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sdl/screen_saving.h"
#include "platform/sdl/video_start.h"
#include "platform/system/termination_signals.h"
#include "platform/wayland/wayland_globals.h"

namespace platform {
namespace {

constexpr uint32_t kVideoRetryPauseMilliseconds = 200;

sdl::VideoSession g_session = sdl::VideoSession::x11;

// Starts the video on the display (see video_start.h); a failure is said on
// standard error, once.
bool start_video() {
    // Only the session's driver is tried unless SDL_VIDEODRIVER asks for
    // another one.
    const char* wanted = sdl::video_driver_name(g_session);
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, wanted, SDL_HINT_DEFAULT);
    const sdl::VideoStartSteps steps{
        [] { return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0; },
        [] { return SDL_GetCurrentVideoDriver(); },
        [] { SDL_QuitSubSystem(SDL_INIT_VIDEO); },
        [] { SDL_Delay(kVideoRetryPauseMilliseconds); },
        [] { return SDL_GetError(); },
    };
    char problem[256] = "";
    if (sdl::start_video_on_display(steps, wanted, problem, sizeof problem)) return true;
    const char* variable = g_session == sdl::VideoSession::wayland ? "WAYLAND_DISPLAY" : "DISPLAY";
    const char* display = std::getenv(variable);
    std::fprintf(stderr, "aquarium: no display could be opened (%s=%s): %s\n", variable,
                 display != nullptr ? display : "unset", problem);
    return false;
}

}  // namespace

sdl::VideoSession choose_video_session(bool needs_x11, bool background) {
    static const char* const kDesktopWindows[] = {"xdg_wm_base"};
    static const char* const kBackgroundLayer[] = {"zwlr_layer_shell_v1"};
    sdl::VideoSessionFacts facts{std::getenv("AQUARIUM_VIDEO"), std::getenv("WAYLAND_DISPLAY"), needs_x11, false};
    if (!needs_x11 && facts.wayland_display != nullptr && facts.wayland_display[0] != '\0') {
        facts.compositor_fits = wayland::compositor_offers(background ? kBackgroundLayer : kDesktopWindows, 1);
    }
    g_session = sdl::choose_video_session(facts);
    return g_session;
}

sdl::VideoSession video_session() { return g_session; }

bool sdl_video_ready() {
    static bool failed_once = false;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
    if (failed_once) return false;
    // A screen saver must not minimise itself when another window takes
    // the focus, and closing its window is its own decision.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // SDL's own OpenGL windows (the settings dialog) use EGL like our devices.
    SDL_SetHintWithPriority(SDL_HINT_VIDEO_X11_FORCE_EGL, "1", SDL_HINT_DEFAULT);
    // Bitmaps are painted through the X server's own images, not a renderer.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    allow_screen_saving();
    if (!start_video()) {
        failed_once = true;
        return false;
    }
    SDL_StopTextInput();
    // SDL's own handlers now turn SIGTERM and SIGINT into a quit message;
    // make sure they also end a process stuck in a driver call.
    enforce_termination_deadline();
    return true;
}

}  // namespace platform
