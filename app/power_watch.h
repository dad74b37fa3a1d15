// How the power state paces the frames.
//
// While the display is powered down nothing is drawn or presented: the
// message loop waits for messages instead, waking a few times a second to
// ask the power service again, so input still ends the run at once. The
// frame timer stands still meanwhile, and the picture goes on from where it
// was when the display comes back. (The simulation takes one fixed step
// per displayed frame; catching up would mean a burst of thousands of steps
// at wake-up for a swim nobody saw.)
//
// While the computer runs on its battery, frames begin at least a
// thirtieth of a second apart, on every device and backend, whatever the
// display's own pace.
//
// The power service is asked at most every kPowerReadSeconds; a missing
// service means a display that is always on and a computer on mains.
#pragma once

#include <cstdint>

#include "platform/power_status.h"

namespace app {

struct RenderApp;

inline constexpr double kPowerReadSeconds = 0.25;         // between two questions to the power service
inline constexpr double kBatteryFrameSeconds = 1.0 / 30;  // least time from frame to frame on battery

// What the message loop keeps of the power state. Times are seconds of the
// frame timer's clock (live, never stopped).
struct PowerWatch {
    platform::PowerState state{};  // the service's last answer
    bool asked = false;            // `state` holds an answer
    double asked_at = 0.0;         // when the service was last asked
    bool frame_begun = false;      // `frame_at` holds a frame's start
    double frame_at = 0.0;         // when the last frame began
    bool holding_time = false;     // the frame timer stands still for a dark display
};

// Called by the message loop when no message waits and a frame could be
// drawn. Answers how many milliseconds to wait for messages before asking
// again, or 0 when the frame may be drawn now (it then counts as begun).
// Stops the frame timer when the display goes dark and starts it again
// when the display comes back.
uint32_t wait_before_frame(RenderApp& app);

}  // namespace app
