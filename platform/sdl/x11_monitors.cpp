#include "platform/sdl/x11_monitors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <poll.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform::x11 {
namespace {

constexpr double kLargestDpi = 2000.0;    // anything above is taken for a typing error
constexpr long kResourceBytes = 1 << 16;  // RESOURCE_MANAGER read at most this long (in 4-byte units)

struct Connection {
    Display* display;  // null without a display, and once the server has gone
    bool has_randr;    // RandR 1.3 or later
    int randr_event_base;
    bool listening;  // changes are selected on the root window
    Atom resources;  // RESOURCE_MANAGER
};

// One connection for the whole process, opened on first use and never
// closed (as the graphics system's own).
Connection& connection() {
    static Connection link = [] {
        Connection c{nullptr, false, 0, false, None};
        if (std::getenv("DISPLAY") == nullptr) return c;
        c.display = XOpenDisplay(nullptr);
        int error_base = 0;
        int major = 0, minor = 0;
        if (c.display == nullptr) return c;
        c.has_randr = XRRQueryExtension(c.display, &c.randr_event_base, &error_base) &&
                      XRRQueryVersion(c.display, &major, &minor) && (major > 1 || (major == 1 && minor >= 3));
        c.resources = XInternAtom(c.display, "RESOURCE_MANAGER", False);
        return c;
    }();
    return link;
}

// A request about a CRTC or output that went away meanwhile fails with an
// X error; Xlib's handler in force (SDL's) would end the program.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

// True once the server has hung up: any further Xlib call on the
// connection would end the program in Xlib's handler of lost connections.
bool server_gone(Connection& c) {
    pollfd socket{ConnectionNumber(c.display), POLLIN | POLLRDHUP, 0};
    if (poll(&socket, 1, 0) == 1 && (socket.revents & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL)) != 0) {
        c.display = nullptr;  // left open: Xlib may not close a dead connection cleanly
        return true;
    }
    return false;
}

// Xft.dpi of the root window's resources, read afresh: a desktop that
// changes its scale rewrites them.
int32_t desktop_dpi(Display* display, Atom resources) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, left = 0;
    unsigned char* data = nullptr;
    int32_t dpi = 0;
    if (XGetWindowProperty(display, DefaultRootWindow(display), resources, 0, kResourceBytes, False, XA_STRING, &type,
                           &format, &items, &left, &data) == Success &&
        data != nullptr && format == 8) {
        dpi = dpi_from_resources(reinterpret_cast<const char*>(data));
    }
    if (data != nullptr) XFree(data);
    return dpi > 0 ? dpi : kDefaultDpi;
}

void put_monitor(MonitorInfo& monitor, int x, int y, unsigned width, unsigned height, int32_t dpi, const char* name) {
    monitor = MonitorInfo{};
    monitor.bounds = Rect{x, y, x + static_cast<int32_t>(width), y + static_cast<int32_t>(height)};
    monitor.dpi = dpi;
    std::snprintf(monitor.name, sizeof monitor.name, "%s", name != nullptr ? name : "");
}

// Adds the output's monitor when it is connected and has a CRTC; false when
// the list is full.
bool add_output(Display* display, XRRScreenResources* resources, RROutput output, int32_t dpi, MonitorInfo* monitors,
                uint32_t capacity, uint32_t& count) {
    if (count >= capacity) return false;
    XRROutputInfo* info = XRRGetOutputInfo(display, resources, output);
    if (info == nullptr) return true;
    if (info->connection != RR_Disconnected && info->crtc != None) {
        if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, info->crtc)) {
            if (crtc->width > 0 && crtc->height > 0) {
                put_monitor(monitors[count++], crtc->x, crtc->y, crtc->width, crtc->height, dpi, info->name);
            }
            XRRFreeCrtcInfo(crtc);
        }
    }
    XRRFreeOutputInfo(info);
    return true;
}

}  // namespace

int32_t dpi_from_resources(const char* resources) {
    if (resources == nullptr) return 0;
    static constexpr char kName[] = "Xft.dpi";
    for (const char* line = resources; *line != '\0';) {
        const char* p = line;
        while (*p == ' ' || *p == '\t') ++p;
        if (std::strncmp(p, kName, sizeof kName - 1) == 0) {
            p += sizeof kName - 1;
            while (*p == ' ' || *p == '\t') ++p;
            if (*p == ':') {
                char* end = nullptr;
                const double value = std::strtod(p + 1, &end);
                const bool number = end != p + 1 && std::isfinite(value) && value >= 1.0 && value <= kLargestDpi;
                return number ? static_cast<int32_t>(std::lround(value)) : 0;
            }
        }
        const char* next = std::strchr(line, '\n');
        if (next == nullptr) break;
        line = next + 1;
    }
    return 0;
}

uint32_t read_monitors(MonitorInfo* monitors, uint32_t capacity) {
    Connection& c = connection();
    if (c.display == nullptr || monitors == nullptr || capacity == 0 || server_gone(c)) return 0;
    XErrorHandler previous = XSetErrorHandler(ignore_x_error);
    const int32_t dpi = desktop_dpi(c.display, c.resources);
    const Window root = DefaultRootWindow(c.display);
    uint32_t count = 0;
    if (c.has_randr) {
        if (XRRScreenResources* resources = XRRGetScreenResourcesCurrent(c.display, root)) {
            const RROutput primary = XRRGetOutputPrimary(c.display, root);
            bool room = true;
            for (int i = 0; i < resources->noutput && room; ++i) {
                if (resources->outputs[i] == primary) {
                    room = add_output(c.display, resources, primary, dpi, monitors, capacity, count);
                }
            }
            for (int i = 0; i < resources->noutput && room; ++i) {
                if (resources->outputs[i] != primary) {
                    room = add_output(c.display, resources, resources->outputs[i], dpi, monitors, capacity, count);
                }
            }
            XRRFreeScreenResources(resources);
        }
    }
    if (count == 0) {
        const int screen = DefaultScreen(c.display);
        put_monitor(monitors[count++], 0, 0, static_cast<unsigned>(DisplayWidth(c.display, screen)),
                    static_cast<unsigned>(DisplayHeight(c.display, screen)), dpi, "");
    }
    XSync(c.display, False);  // errors of the requests above arrive before the handler goes
    XSetErrorHandler(previous);
    return count;
}

bool monitors_changed() {
    Connection& c = connection();
    if (c.display == nullptr || server_gone(c)) return false;
    if (!c.listening) {
        c.listening = true;
        if (c.has_randr) {
            XRRSelectInput(c.display, DefaultRootWindow(c.display),
                           RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
        }
        // The scale of the desktop lives in the root's resources.
        XSelectInput(c.display, DefaultRootWindow(c.display), PropertyChangeMask);
        XFlush(c.display);
        return false;
    }
    bool changed = false;
    while (XPending(c.display) > 0) {
        XEvent event;
        XNextEvent(c.display, &event);
        if (c.has_randr &&
            (event.type == c.randr_event_base + RRScreenChangeNotify || event.type == c.randr_event_base + RRNotify)) {
            changed = true;
        }
        if (event.type == PropertyNotify && event.xproperty.atom == c.resources) {
            changed = true;
        }
    }
    return changed;
}

}  // namespace platform::x11
