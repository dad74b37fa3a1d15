#include "sim/scene_setup.h"

#include <cmath>

#include "sim/body.h"

namespace sim {

namespace {

constexpr int kDiscardedDraws = 25;
constexpr int kEyeRing = 18;  // points on each of the eye's two rings

Vertex vertex_at(float px, float py, float pz, float nx, float ny, float nz, float u, float v) {
    return Vertex{px, py, pz, nx, ny, nz, u, v};
}

}  // namespace

void build_eye_mesh(const Creature& creature, SimWorld& world) {
    const float cx = -0.3f;           // centre of the eye's front, nominal size
    const float radius = 0.63f;
    const float front = 0.1f;
    const float depth = 0.7f;
    Vertex(&v)[kEyeVertices] = world.eye_vertices;

    v[0] = vertex_at(cx, 0.0f, 0.0f, -1.0f, 0.0f, 0.0f, 2.3f / 25.0f, (12.5f - 5.0f) / 12.5f);
    // The front normals point away from a focus on the axis, which domes the front.
    const float focus_x = cx + front + radius * radius / front;
    for (int k = 1; k <= kEyeRing; ++k) {
        const float a = static_cast<float>(k) * 1.0f * 6.2831855f / 18.0f;
        const float s = std::sin(a);
        const float c = std::cos(a);
        const float y = radius * s;
        const float z = -radius * c;
        const float u = (radius * c + 2.3f) / 25.0f;
        const float tv = (12.5f - (radius * s + 5.0f)) / 12.5f;

        float nx = (cx + front) - focus_x;
        float ny = y;
        float nz = z;
        const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
        nx /= len, ny /= len, nz /= len;
        v[k] = vertex_at(cx + front, y, z, nx, ny, nz, u, tv);
        v[kEyeRing + k] = vertex_at(cx + front + depth, y, z, 0.0f, s, -c, u, tv);
    }

    uint16_t* out = world.eye_indices;
    int n = 0;
    auto previous = [](int k) { return static_cast<uint16_t>(k == 1 ? kEyeRing : k - 1); };
    for (int k = 1; k <= kEyeRing; ++k) {  // front cap
        out[n++] = 0;
        out[n++] = static_cast<uint16_t>(k);
        out[n++] = previous(k);
    }
    for (int k = 1; k <= kEyeRing; ++k) {  // side, first half
        out[n++] = static_cast<uint16_t>(k);
        out[n++] = static_cast<uint16_t>(kEyeRing + k);
        out[n++] = previous(k);
    }
    for (int k = 1; k <= kEyeRing; ++k) {  // side, second half
        out[n++] = static_cast<uint16_t>(k);
        out[n++] = static_cast<uint16_t>(k == kEyeRing ? kEyeRing + 1 : kEyeRing + 1 + k);
        out[n++] = static_cast<uint16_t>(kEyeRing + k);
    }

    // Ring radius 0.3 L/25 (eye diameter 0.6 L/25), shifted forward.
    const float length = static_cast<float>(creature.body_length);
    const float scale = (length / 25.0f * 1.0f * 0.6f * 0.5f) / radius;
    const float shift = length / 25.0f * 0.09f;
    for (Vertex& e : v) {
        e.px = e.px * scale + shift;
        e.py *= scale;
        e.pz *= scale;
    }
}

void build_sphere_mesh(SimWorld& world) {
    constexpr double kTwentyDegrees = 0.3490658503988659;
    for (int i = 0; i < kSphereLongitudes; ++i) {
        const double phi = static_cast<double>(i) * kTwentyDegrees;
        for (int j = 0; j < kSphereLatitudes; ++j) {
            const double theta = static_cast<double>(j) * kTwentyDegrees;
            const float x = static_cast<float>(std::cos(phi) * std::sin(theta));
            const float y = static_cast<float>(std::cos(theta));
            const float z = static_cast<float>(std::sin(phi) * std::sin(theta));
            world.sphere_vertices[i][j] = vertex_at(x, y, z, x, y, z, 0.0f, 0.0f);
        }
    }
    int n = 0;
    for (int i = 0; i < kSphereLongitudes - 1; ++i) {
        for (int j = 0; j < kSphereLatitudes - 1; ++j) {
            const int v = kSphereLatitudes * i + j;
            const uint16_t tri[6] = {static_cast<uint16_t>(v), static_cast<uint16_t>(v + 11),
                                     static_cast<uint16_t>(v + 1), static_cast<uint16_t>(v),
                                     static_cast<uint16_t>(v + 10), static_cast<uint16_t>(v + 11)};
            for (uint16_t index : tri) world.sphere_indices[n++] = index;
        }
    }
}

void setup_scene(Creature& creature, SimWorld& world, uint32_t seed) {
    random_seed(world.random, seed);
    for (int i = 0; i < kDiscardedDraws; ++i) {
        (void)random_next(world.random);
    }
    build_body(creature, world);
    build_eye_mesh(creature, world);
    build_sphere_mesh(world);
}

}  // namespace sim
