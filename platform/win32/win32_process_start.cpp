#include "platform/win32/win32_process_start.h"

#include <windows.h>

namespace platform::win32 {

const char* command_line_after_program_name() {
    const char* text = GetCommandLineA();
    if (text == nullptr) return "";
    // The program's name: up to the closing quote when quoted, else up to
    // the first blank.
    if (*text == '"') {
        ++text;
        while (*text != '\0' && *text != '"') ++text;
        if (*text == '"') ++text;
    } else {
        while (*text != '\0' && *text != ' ' && *text != '\t') ++text;
    }
    while (*text == ' ' || *text == '\t') ++text;
    return text;
}

int32_t startup_show_command() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
}

}  // namespace platform::win32
