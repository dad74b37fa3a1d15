// Fixed-step scheduling: one simulation step per displayed frame, with the
// step length taken from the display's measured frame rate, and the wander
// target drawn anew every 45 to 75 seconds of simulated time.
#pragma once

#include "sim/records.h"

namespace sim {

// The frame-move work: measures the frame rate until it settles, draws a new
// swim target when due and runs exactly one step. app_time is the
// framework's application time in seconds.
void advance_frame(Creature& creature, SimWorld& world, float app_time);

// Draws a new swim target when t (the time at the end of the coming step)
// is past next_target_time.
void pick_swim_target(Creature& creature, SimWorld& world, double t);

}  // namespace sim
