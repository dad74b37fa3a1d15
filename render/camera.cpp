#include "render/camera.h"

#include <glm/geometric.hpp>

namespace render {

namespace {

constexpr float kSpring = 5.0f;
constexpr float kAlongMotionSpring = 4000.0f;
constexpr float kDamping = 1500.0f;
constexpr float kMass = 0.5f;
constexpr float kMovingSpeed = 0.0001f;  // below this speed the target has no direction of motion

float bounded(float value, float low, float high) {
    if (value < low) return low;
    if (value > high) return high;
    return value;
}

}  // namespace

void bound_camera_settings(settings::Settings& settings) {
    settings.camera_elevation_deg = bounded(settings.camera_elevation_deg, -5.0f, 89.9f);
    settings.camera_distance = bounded(settings.camera_distance, 0.15f, 500.0f);
    settings.camera_height = bounded(settings.camera_height, -50.0f, 150.0f);
}

void smooth_camera_target(CameraFollow& camera, const glm::vec3& from, const glm::vec3& to, double step_dt) {
    const float h = static_cast<float>(step_dt / kCameraSubIterations);
    for (int k = 1; k <= kCameraSubIterations; ++k) {
        const float u = static_cast<float>(k) / static_cast<float>(kCameraSubIterations);
        const glm::vec3 tracked = u * to + (1.0f - u) * from;
        const glm::vec3 r = tracked - camera.target;
        const float speed = glm::length(camera.velocity);
        const glm::vec3 s = speed > kMovingSpeed ? camera.velocity / speed : glm::vec3(0.0f);
        const glm::vec3 a =
            (kSpring * r + kAlongMotionSpring * glm::dot(r, s) * s - kDamping * camera.velocity) / kMass;
        camera.velocity += a * h;
        camera.target += camera.velocity * h;
    }
}

glm::vec3 eye_position(int view_level) { return glm::vec3(0.0f, 4.0f + 4.0f * static_cast<float>(view_level), 0.0f); }

float near_plane_distance(float distance) {
    float near_plane = distance * 0.5f;
    if (distance < 1.0f) {
        near_plane = distance - 0.5f;
    }
    // Written so that a distance that is not a number also gives the minimum.
    return near_plane >= kMinNearPlane ? near_plane : kMinNearPlane;
}

}  // namespace render
