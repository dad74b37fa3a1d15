// The tank's wire frame: a floor grid, the posts of the four walls and
// horizontal rings around them, as line lists in drawing coordinates. The
// tank is 20 x 20 units, centred on the origin, with walls 5 high.
#pragma once

#include <cstdint>

#include "sim/records.h"

namespace render {

inline constexpr int kFloorLines = 101;                 // per direction
inline constexpr int kFloorVertices = 2 * kFloorLines;  // 202
inline constexpr int kWallPosts = 4 * 50;               // 50 posts per wall
inline constexpr int kPostVertices = 2 * kWallPosts;    // 400
inline constexpr int kWallRings = 8;
inline constexpr int kRingVertices = 4 * kWallRings;  // 32
inline constexpr int kRingLines = 4 * kWallRings;     // 32

struct TankGeometry {
    sim::Vertex floor_along_x[kFloorVertices];  // lines of constant z
    sim::Vertex floor_along_z[kFloorVertices];  // lines of constant x
    uint16_t floor_indices[kFloorVertices];     // 0, 1, ..., 201; shared by both floor sets
    sim::Vertex posts[kPostVertices];           // vertical lines, height 0 to 5
    uint16_t post_indices[kPostVertices];       // 0, 1, ..., 399
    sim::Vertex rings[kRingVertices];           // corners of the squares, heights 0.625 to 5
    uint16_t ring_indices[2 * kRingLines];      // four sides per square
};

// Fills every array; normals point up, texture coordinates are 0.
void build_tank_geometry(TankGeometry& tank);

}  // namespace render
