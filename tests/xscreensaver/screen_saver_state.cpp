// The X server's own screen saver, for the tests: `--arm SECONDS` sets its
// timeout and restarts the idle time; without arguments it prints whether
// it is on, off or disabled. Exits 2 without a display or the extension.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 2;
    if (argc == 3 && std::strcmp(argv[1], "--arm") == 0) {
        XSetScreenSaver(display, std::atoi(argv[2]), 0, DontPreferBlanking, AllowExposures);
        XForceScreenSaver(display, ScreenSaverReset);
        XSync(display, False);
        XCloseDisplay(display);
        return 0;
    }
    int event_base = 0, error_base = 0;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    if (!XScreenSaverQueryExtension(display, &event_base, &error_base) || info == nullptr ||
        !XScreenSaverQueryInfo(display, DefaultRootWindow(display), info)) {
        return 2;
    }
    const char* state = info->state == ScreenSaverOn ? "on" : info->state == ScreenSaverOff ? "off" : "disabled";
    std::printf("%s\n", state);
    XFree(info);
    XCloseDisplay(display);
    return 0;
}
