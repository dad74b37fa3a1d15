// One fixed time step of the creature: the motor pattern reshapes the spine,
// the sections follow, the shape is counter-rotated so that flexing carries
// no angular momentum, the rigid body moves under the previous step's water
// forces, new water forces are computed and the skin is posed.
#pragma once

#include "sim/records.h"

namespace sim {

// Convergence limit of the shape correction: 1e-4 degree, in radians.
inline constexpr double kCorrectionLimit = 1.7453292519943296e-6;
// The shape correction converges in a handful of iterations; this cap only
// bounds a step whose correction would otherwise never settle.
inline constexpr int kMaxCorrectionIterations = 64;

// Advances the creature by one step of length h seconds ending at time t.
void sim_step(Creature& creature, SimWorld& world, double t, double h);

// Rotation vector of the unit quaternion d: (2 asin(s) / s) v for its vector
// part v of length s; zero for a vanishing rotation. The asin argument is
// kept within [-1, 1], which rounding of a unit quaternion can overstep.
Vec3 rotation_vector(const Quat& d);

}  // namespace sim
