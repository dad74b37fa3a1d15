// Helpers shared by the rendering tests: a recording device with chosen
// texture limits, a built and swimming scene, and row-vector matrix
// arithmetic on device matrices.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/graphics_types.h"
#include "sim/scene_setup.h"
#include "sim/records.h"
#include "sim/scheduling.h"
#include "tests/support/fake_graphics.h"

namespace rendertest {

inline std::unique_ptr<test_support::FakeGraphicsDevice> make_device(uint32_t max_texture = 4096, uint32_t width = 640,
                                                                     uint32_t height = 480) {
    platform::DeviceCaps caps{};
    caps.device_type = platform::kDeviceHal;
    caps.max_texture_width = max_texture;
    caps.max_texture_height = max_texture;
    caps.texture_caps = platform::kTextureCapsAlpha;
    platform::PresentParams params{};
    params.back_buffer_width = width;
    params.back_buffer_height = height;
    params.back_buffer_format = platform::kFormatX8R8G8B8;
    params.windowed = 1;
    return std::make_unique<test_support::FakeGraphicsDevice>(caps, params);
}

struct Scene {
    std::unique_ptr<sim::Creature> creature = std::make_unique<sim::Creature>();
    std::unique_ptr<sim::SimWorld> world = std::make_unique<sim::SimWorld>();
};

// The scene built from `seed` and advanced `frames` frames at 60 Hz.
inline Scene make_swimming_scene(uint32_t seed, int frames) {
    Scene scene;
    sim::reset_records(*scene.creature, *scene.world);
    sim::setup_scene(*scene.creature, *scene.world, seed);
    for (int k = 1; k <= frames; ++k) {
        sim::advance_frame(*scene.creature, *scene.world, static_cast<float>(k / 60.0));
    }
    return scene;
}

struct Point4 {
    double x, y, z, w;
};

// v * M for the row vector (x, y, z, w).
inline Point4 transform(const platform::Matrix4& m, double x, double y, double z, double w = 1.0) {
    const double v[4] = {x, y, z, w};
    double out[4] = {0, 0, 0, 0};
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) out[c] += v[r] * m.m[r][c];
    }
    return Point4{out[0], out[1], out[2], out[3]};
}

// Determinant of the upper-left 3x3 block.
inline double determinant3(const platform::Matrix4& m) {
    const auto& a = m.m;
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}

// A simulation point (z up) as a drawing point (y up).
inline sim::Vec3 drawing(const sim::Vec3& p) { return sim::Vec3{p.x, p.z, p.y}; }

// The world point of a shape-frame point.
inline sim::Vec3 world_point(const sim::Creature& c, const sim::Vec3& shape_point) {
    sim::Vec3 out;
    sim::mat3_mul_vec(out, c.rotation, shape_point);
    sim::vec_add(out, c.position, out);
    return out;
}

}  // namespace rendertest
