// Body construction: the outer shape, the spine of 75 segments, the 25 mass
// sections with their inertia and drag areas, the skin, and the creature's
// random initial placement in the tank.
#pragma once

#include "sim/records.h"

namespace sim {

inline constexpr double kBodyLength = 0.5;    // world units
inline constexpr int kMassSlices = 1000;      // slices across the spine for mass integration
inline constexpr double kDensity = 1000.0;

// Builds the creature once, before the first step. Expects `creature` to be
// all zeros and `world` to hold its initial values; draws four numbers from
// world.random.
void build_body(Creature& creature, SimWorld& world);

// Refreshes a section's matrix, axes and edge points from its orientation
// and spine point.
void update_section_frame(Creature& creature, int k);

// Rotates the three points of every section into world orientation.
void update_section_world_points(Creature& creature);

// head_pt, heading, body_up and side from the world-oriented section points.
void update_steering_frame(Creature& creature, SimWorld& world);

}  // namespace sim
