// The creature's nervous system: steering measurements, the choice of
// manoeuvres, the filtered head signals and the travelling bending waves
// that turn them into per-segment bend and twist angles.
#pragma once

#include "sim/records.h"

namespace sim {

// Raised-cosine transition from y0 at x0 to y1 at x1.
double ease_cos(double x0, double x1, double y0, double y1, double x);

// One step of the motor pattern ending at time t (s) with step length h (s):
// fills bend_a, bend_b, bend_c and twist and advances hist_pos.
void update_motor_pattern(const Creature& creature, SimWorld& world, double t, double h);

// The parts of the step, exposed for testing.
void measure_steering(const Creature& creature, SimWorld& world);
void choose_manoeuvre(const Creature& creature, SimWorld& world, double t);
void check_climb_away(const Creature& creature, SimWorld& world, double t);
void run_manoeuvre_signals(SimWorld& world, double t, double h);
void read_travelling_waves(const Creature& creature, SimWorld& world, double h);
void shape_bends(const Creature& creature, SimWorld& world, double h);

}  // namespace sim
