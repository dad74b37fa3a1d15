// The message loop, one frame, and the counted pause.
#pragma once

#include <cstdint>

#include "app/render_app.h"

namespace app {

// Runs the message loop until the quit message and answers its exit code.
// Frames are drawn only while no message waits and the application is
// active and ready; otherwise the loop waits for the next message. The
// power state may hold frames back (power_watch.h): the loop then waits for
// messages until the next frame is due.
int32_t run(RenderApp& app);

// One frame: device test, timer readings, advance_frame, render_frame,
// frame statistics, present; then the fish of the other monitors. A lost
// device draws nothing; a device that can be reset is reset in place of
// the frame.
Result step_frame(RenderApp& app);

// Counted pause: ready only while every pause(true) has its pause(false).
// The frame timer stops at the first pause and starts again at the last
// resume.
void pause(RenderApp& app, bool on);

}  // namespace app
