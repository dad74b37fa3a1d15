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
    ScreenSaverMode mode;              // unchanged when no switch was found
    platform::NativeWindow host_window;  // 0 unless a switch was found
};

// The program's arguments (after the program name) joined by single spaces.
// Writes at most capacity - 1 characters and a terminating zero.
void join_arguments(int argc, const char* const* argv, char* out, int capacity);

// The window id written after a switch, read the way the C library's atol
// reads a number: leading blanks, an optional sign, digits up to the first
// other character. Anything that is not a usable window id (no digits, a
// sign, a value beyond 32 bits, however many digits) reads as 0.
platform::NativeWindow read_window_id(const char* text);

// Finds the first of the sixteen switches (-c -C /c /C, -p -P /p /P,
// -s -S /s /S, -a -A /a /A, searched in that order anywhere in the text) and
// sets the mode and host window; an id of 0 becomes `foreground`. The empty
// command line means configure. False when no switch was found.
bool parse_command_line(const char* command_line, platform::NativeWindow foreground,
                        CommandLineResult& result);

}  // namespace app
