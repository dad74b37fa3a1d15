// Whether the X display's monitors are powered down, from the DPMS
// extension over an X connection of its own (opened at the first question,
// so that it costs nothing in a program that never asks, and kept until the
// end).
//
// Powered down means: DPMS is enabled and its power level is standby,
// suspend or off. A server without the extension (Xvfb, Xorg's dummy
// driver), one that cannot do DPMS, a connection that cannot be made or
// that broke: the display counts as on, which never stops the frames.
#pragma once

struct xcb_connection_t;

namespace platform::power {

class X11DisplayPower {
public:
    // `display`: the X display's name; null takes DISPLAY.
    explicit X11DisplayPower(const char* display = nullptr);
    ~X11DisplayPower();
    X11DisplayPower(const X11DisplayPower&) = delete;
    X11DisplayPower& operator=(const X11DisplayPower&) = delete;

    // One round trip to the server.
    bool dark();

private:
    void connect();

    const char* display_;
    bool tried_ = false;
    xcb_connection_t* connection_ = nullptr;  // null: none could be made
    bool dpms_ = false;                       // the server can tell; false: the display counts as on for good
};

}  // namespace platform::power
