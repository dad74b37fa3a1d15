// The body's skin: a grid of 101 rings of 19 points over the +x side of the
// body, mirrored for the -x side, bound to the spine segments so that it
// follows the spine as it bends.
#pragma once

#include "sim/body_profiles.h"
#include "sim/records.h"

namespace sim {

// Builds the rest grid from the profiles in head-tip coordinates, computes
// its normals and binds every point to the segment it lies in. spine_y holds
// the y of the 76 head-tip spine points (0 at the head, -L at the tail).
void build_skin_rest(Creature& creature, const BodyProfiles& profiles,
                     const double (&spine_y)[kSpinePoints]);

// Poses both half-skins on the spine from the segment axes (side, towards
// the tail, dorsal) and writes skin_pos and the two vertex arrays.
void pose_skin(const Creature& creature, SimWorld& world, const Vec3 (&side)[kSegments],
               const Vec3 (&back)[kSegments], const Vec3 (&up)[kSegments]);

// The side bulge on ring 23 (points 10 to 12), moved outwards on both sides;
// rewrites the positions of those vertices and keeps their normals.
void apply_side_bulge(const Creature& creature, SimWorld& world);

// A triangle list for a grid of `rows` x `cols` points (vertex r*cols + c):
// two triangles per cell, 6 (rows-1)(cols-1) indices.
void build_grid_indices(uint16_t* out, int rows, int cols);

// Converts a shape-frame point and normal into a drawing-frame vertex
// (y and z exchanged, texture coordinates 0).
inline Vertex make_vertex(const Vec3& p, const Vec3& n) {
    return Vertex{static_cast<float>(p.x), static_cast<float>(p.z), static_cast<float>(p.y),
                  static_cast<float>(n.x), static_cast<float>(n.z), static_cast<float>(n.y),
                  0.0f,                    0.0f};
}

}  // namespace sim
