#include "app/program_info.h"

#include <cstring>

#ifndef AQUARIUM_VERSION
#error "the build defines AQUARIUM_VERSION"
#endif

namespace app {

namespace {

constexpr const char* kUsage =
    "Usage: aquarium [-c | -s | -p WINDOW | -a]\n"
    "       aquarium -root | -window-id WINDOW [-fps] [-delay MICROSECONDS]\n"
    "       aquarium --background [--output NAME]\n"
    "       aquarium --help | --version\n"
    "\n"
    "A soft-bodied fish swimming in a wire-frame tank: a screen saver.\n"
    "\n"
    "Screen-saver switches (looked for anywhere in the joined arguments, also\n"
    "in upper case and with / for -; the first of c, p, s, a found wins):\n"
    "  -c, no arguments   the settings dialog (display device, mode, multisampling)\n"
    "  -s                 run full screen until a key, a click or the mouse ends it\n"
    "  -p WINDOW          a preview picture inside the X11 window WINDOW (decimal)\n"
    "  -a                 end at once (not supported)\n"
    "\n"
    "As an XScreenSaver display module (one or two dashes; other options are\n"
    "ignored):\n"
    "  -root              draw in the window XSCREENSAVER_WINDOW names, or on the\n"
    "                     root window\n"
    "  -window-id WINDOW  draw in the window WINDOW (decimal, or hexadecimal after 0x)\n"
    "  -fps               show the information text with the frame rate\n"
    "  -delay N           at least N microseconds from one frame to the next\n"
    "\n"
    "As the desktop's background (until SIGTERM or SIGINT; on Wayland through the\n"
    "layer shell, a fish on every output or only on output NAME; on X11 on the\n"
    "root window):\n"
    "  --background [--output NAME]\n"
    "\n"
    "While it runs full screen: H and L raise and lower the camera, S shows or\n"
    "hides the information text, Alt+Enter switches to a window.\n"
    "\n"
    "Settings: $XDG_CONFIG_HOME/aquarium/settings.ini (~/.config/aquarium/).\n"
    "AQUARIUM_SEED=N starts the fish from seed N instead of the clock.\n"
    "AQUARIUM_VIDEO=wayland|x11 chooses the window system of -s and -c.\n"
    "See aquarium(6x).\n";

bool is_one_of(const char* argument, const char* const* names) {
    for (; *names != nullptr; ++names) {
        if (std::strcmp(argument, *names) == 0) return true;
    }
    return false;
}

}  // namespace

InfoRequest find_info_request(int argc, const char* const* argv) {
    static const char* const kHelp[] = {"--help", "-help", "-h", nullptr};
    static const char* const kVersion[] = {"--version", "-version", nullptr};
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        if (is_one_of(argv[i], kHelp)) return InfoRequest::help;
        if (is_one_of(argv[i], kVersion)) return InfoRequest::version;
    }
    return InfoRequest::none;
}

bool print_usage(std::FILE* out) { return std::fputs(kUsage, out) >= 0 && std::fflush(out) == 0; }

bool print_version(std::FILE* out) {
    return std::fprintf(out, "aquarium %s\n", AQUARIUM_VERSION) > 0 && std::fflush(out) == 0;
}

const char* program_version() { return AQUARIUM_VERSION; }

}  // namespace app
