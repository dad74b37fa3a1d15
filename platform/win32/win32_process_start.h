// What Windows hands a program at its start, for the entry point: the
// command line after the program's own name, and how its first window is
// to be shown.
#pragma once

#include <cstdint>

namespace platform::win32 {

// The command line as Windows passed it, without the program's name (quoted
// or not) and the blanks after it; never null.
const char* command_line_after_program_name();

// The show command the starting program asked for (SW_*); SW_SHOWDEFAULT
// when it asked for none.
int32_t startup_show_command();

}  // namespace platform::win32
