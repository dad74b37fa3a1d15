// One-time scene set-up: seeds the program's random source, builds the
// creature and the two small fixed meshes drawn beside it (the eye and a
// unit sphere). Nothing here touches the graphics device.
#pragma once

#include <cstdint>

#include "sim/records.h"

namespace sim {

// Seeds the random source with `seed`, discards 25 draws, builds the body
// and its skin, then the eye and sphere meshes. Expects freshly reset records.
void setup_scene(Creature& creature, SimWorld& world, uint32_t seed);

// The eye: a short open cylinder with a domed front, scaled to the body.
void build_eye_mesh(const Creature& creature, SimWorld& world);

// Unit sphere of 19 longitudes by 10 latitudes.
void build_sphere_mesh(SimWorld& world);

}  // namespace sim
