// The screen saver as an XScreenSaver display module. The host starts one
// module per monitor with -root (draw in the window XSCREENSAVER_WINDOW
// names, or on the root window when that is unset) or, for the preview in
// its settings program, with -window-id ID; it ends the module with SIGTERM
// when the user comes back, or takes the window away.
//
// The module flags are looked for before the screen saver's switches, so
// that the options a host adds (-sync, -pair, -count 3, -visual ...), which
// may hold those switches, are ignored like any other unknown option. Of
// the options XScreenSaver's modules share, -fps shows the information text
// (hidden otherwise) and -delay N keeps frames at least N microseconds
// apart.
//
// A module shows the run mode's scene inside that window, at the window's
// size, following its resizes. It never switches to full screen, never
// captures the pointer, takes no single-instance lock (there is one module
// per monitor) and leaves all input to the host. It reads the user's
// settings and writes nothing.
#pragma once

#include <cstdint>

#include "app/aquarium_app.h"

namespace app {

// The options XScreenSaver's modules share that this one takes.
struct ModuleOptions {
    bool show_fps = false;       // -fps: the information text, frame rate included
    uint32_t frame_delay_us = 0;  // -delay N: microseconds at least from frame to frame (0: the display's pace)
};

inline constexpr uint32_t kLargestFrameDelayUs = 10'000'000;  // ten seconds

struct ModuleRequest {
    enum class Kind {
        none,      // no module flags, or one of the screen saver's switches
        root,      // -root without XSCREENSAVER_WINDOW: the root window
        window,    // the window in `window`
        unusable,  // module flags without a usable window id; `problem` says why
    };
    Kind kind = Kind::none;
    platform::NativeWindow window = 0;
    bool from_host = false;  // the window came from XSCREENSAVER_WINDOW, which only a host sets
    const char* problem = nullptr;
    ModuleOptions options;
};

// A window id as XScreenSaver writes one: decimal, or hexadecimal after
// "0x", making up the whole text, from 1 to 0xFFFFFFFF. 0 for anything else.
platform::NativeWindow parse_window_number(const char* text);

// The number after -delay: decimal digits making up the whole text, at
// most kLargestFrameDelayUs. False (and `microseconds` untouched) otherwise.
bool parse_frame_delay(const char* text, uint32_t& microseconds);

// Looks for the module flags among the program's arguments (argv[1] on):
// -root or --root, and -window-id ID or --window-id ID (which wins when
// both are there), each a whole argument. With one of them, the command
// line is a module's whatever else it holds: the screen saver's switches
// are not looked for, -fps and -delay N (one dash or two) are read, and
// every other argument is ignored. Without them this is no module request.
// `xscreensaver_window`: the value of XSCREENSAVER_WINDOW, or null.
ModuleRequest find_module_request(int argc, const char* const* argv, const char* xscreensaver_window);

// Start-up of a module drawing in `host`: the title, the user's settings
// (read only), the graphics system and device table, the main window as the
// host's window, the scene and the device in the device table's windowed
// presentation at the host's size. Negative: the program ends (a start-up
// failure was reported; a missing host window is not reported). Otherwise
// the caller enters the message loop with run().
//
// The window system must be one that draws in `host` when asked for a
// window whose parent it is (platform::HostedWindowSystem), and the
// settings store one that writes nothing: the exit sequence of the run mode
// stores the settings.
//
// `options.show_fps` decides the information text (the saved choice is for
// the run mode); the frame delay is the graphics system's business and is
// not applied here.
Result create_module(AquariumApp& aquarium, platform::NativeWindow host, const ModuleOptions& options = {});

}  // namespace app
