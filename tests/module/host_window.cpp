// A stand-in for a screen-saver host: makes a plain X11 window, maps it,
// prints its id ("0x..." and a line feed) and then obeys commands read from
// standard input, one per line, answering each with "ok" or "failed":
//   resize W H   gives the window a new size
//   destroy      destroys the window
//   quit         ends (so does the end of the input)
// Usage: aquarium-test-host [WIDTH HEIGHT [RRGGBB]]
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    const int width = argc > 2 ? std::atoi(argv[1]) : 320;
    const int height = argc > 2 ? std::atoi(argv[2]) : 240;
    const unsigned long background = argc > 3 ? std::strtoul(argv[3], nullptr, 16) : 0xFFFFFFul;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "host: cannot open the display\n");
        return 1;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10,
                                              static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0,
                                              background);
    XMapWindow(display, window);
    XSync(display, False);
    std::printf("0x%lx\n", static_cast<unsigned long>(window));
    std::fflush(stdout);

    char line[128];
    bool exists = true;
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        int w = 0, h = 0;
        bool done = false;
        if (std::sscanf(line, "resize %d %d", &w, &h) == 2 && exists && w > 0 && h > 0) {
            XResizeWindow(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
            done = true;
        } else if (std::strncmp(line, "destroy", 7) == 0 && exists) {
            XDestroyWindow(display, window);
            exists = false;
            done = true;
        } else if (std::strncmp(line, "quit", 4) == 0) {
            break;
        }
        XSync(display, False);
        std::printf(done ? "ok\n" : "failed\n");
        std::fflush(stdout);
    }
    XCloseDisplay(display);
    return 0;
}
