#include "render/tank_geometry.h"

namespace render {

namespace {

constexpr float kHalfSide = 10.0f;  // the tank spans -10 ... 10 in x and z
constexpr float kSide = 20.0f;
constexpr float kGridSpacing = 0.2f;
constexpr float kPostSpacing = 0.4f;
constexpr int kPostsPerWall = 50;
constexpr float kWallHeight = 5.0f;

sim::Vertex line_vertex(float x, float y, float z) { return sim::Vertex{x, y, z, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f}; }

}  // namespace

void build_tank_geometry(TankGeometry& tank) {
    for (int i = 0; i < kFloorLines; ++i) {
        const float offset = kGridSpacing * static_cast<float>(i) - kHalfSide;
        tank.floor_along_x[2 * i] = line_vertex(-kHalfSide, 0.0f, offset);
        tank.floor_along_x[2 * i + 1] = line_vertex(kHalfSide, 0.0f, offset);
        tank.floor_along_z[2 * i] = line_vertex(offset, 0.0f, -kHalfSide);
        tank.floor_along_z[2 * i + 1] = line_vertex(offset, 0.0f, kHalfSide);
    }
    for (int i = 0; i < kFloorVertices; ++i) {
        tank.floor_indices[i] = static_cast<uint16_t>(i);
    }

    // The walls run round the tank's corner square (0, 0) ... (20, 20) in
    // (x, z), which is then centred on the origin.
    int n = 0;
    for (int wall = 0; wall < 4; ++wall) {
        for (int k = 0; k < kPostsPerWall; ++k) {
            const float along = kPostSpacing * static_cast<float>(k);
            float x = 0.0f, z = 0.0f;
            switch (wall) {
                case 0:
                    x = along, z = 0.0f;
                    break;
                case 1:
                    x = kSide, z = along;
                    break;
                case 2:
                    x = kSide - along, z = kSide;
                    break;
                default:
                    x = 0.0f, z = kSide - along;
                    break;
            }
            tank.posts[n++] = line_vertex(x - kHalfSide, 0.0f, z - kHalfSide);
            tank.posts[n++] = line_vertex(x - kHalfSide, kWallHeight, z - kHalfSide);
        }
    }
    for (int i = 0; i < kPostVertices; ++i) {
        tank.post_indices[i] = static_cast<uint16_t>(i);
    }

    for (int j = 0; j < kWallRings; ++j) {
        const float h = kWallHeight * 0.125f * static_cast<float>(j + 1);
        const float corners[4][2] = {{0.0f, 0.0f}, {kSide, 0.0f}, {kSide, kSide}, {0.0f, kSide}};
        for (int c = 0; c < 4; ++c) {
            tank.rings[4 * j + c] = line_vertex(corners[c][0] - kHalfSide, h, corners[c][1] - kHalfSide);
            tank.ring_indices[8 * j + 2 * c] = static_cast<uint16_t>(4 * j + c);
            tank.ring_indices[8 * j + 2 * c + 1] = static_cast<uint16_t>(4 * j + (c + 1) % 4);
        }
    }
}

}  // namespace render
