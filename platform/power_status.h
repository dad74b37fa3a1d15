// The power state the screen saver adapts to: whether the display is dark
// (powered down: off, suspend or standby) and whether the computer runs on
// its battery. A reading may cost a few system calls or a round trip to
// the display server, so callers ask a few times a second, not every frame.
#pragma once

namespace platform {

struct PowerState {
    bool display_dark;  // the display is powered down: off, suspend or standby
    bool on_battery;    // the computer draws on its battery; no mains supply is online
};

class PowerStatus {
public:
    // The state now. A reader that cannot tell answers "on" and "mains":
    // the safe answer, which never stops the frames.
    virtual PowerState read() = 0;

protected:
    virtual ~PowerStatus() = default;
};

}  // namespace platform
