// The screen-saver host's command line: the run mode it selects and, for the
// preview, the window to draw in.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"

namespace app {

enum class ScreenSaverMode : int32_t {
    configure = 0,    // settings dialog over a hidden main window, then end
    preview = 1,      // a fixed picture inside the host's window
    run = 2,          // full screen until the user interrupts
    unsupported = 3,  // end at once without a window
};

struct CommandLineResult {
    ScreenSaverMode mode;                // unchanged when no switch was found
    platform::NativeWindow host_window;  // the window named after the switch (0: one that cannot exist);
                                         // the foreground window when none was named
    bool window_named = false;           // a number followed the switch
};

// A window handle as written after a switch.
struct WindowNumber {
    bool written;                   // digits followed the switch
    platform::NativeWindow window;  // the handle they spell; 0 when they spell none
};

// The program's arguments (after the program name) joined by single spaces.
// Writes at most capacity - 1 characters and a terminating zero.
void join_arguments(int argc, const char* const* argv, char* out, int capacity);

// The window handle written after a switch ("/p 123", "/c:123"): blanks, an
// optional colon, blanks, an optional sign and decimal digits up to the
// first other character. A handle is pointer-sized, but only its low 32 bits
// count and the system widens them with their sign; hosts write it signed or
// unsigned, widened or not, so -5, 4294967291 and 18446744073709551611 all
// name the window 0x...FFFFFFFB. A number in none of these forms (or 0)
// spells no window.
WindowNumber read_window_number(const char* text);

// Finds the first of the sixteen switches (-c -C /c /C, -p -P /p /P,
// -s -S /s /S, -a -A /a /A, searched in that order anywhere in the text) and
// sets the mode and host window; with no number after the switch the host
// window is `foreground`. The empty command line means configure. False
// when no switch was found.
bool parse_command_line(const char* command_line, platform::NativeWindow foreground,
                        CommandLineResult& result);

}  // namespace app
