// The following camera: a fixed eye over the middle of the tank that looks
// at a smoothed point chasing the creature's head.
#pragma once

#include <glm/vec3.hpp>

#include "settings/settings.h"

namespace render {

inline constexpr int kCameraSubIterations = 256;    // smoothing sub-steps per frame
inline constexpr float kFarPlane = 18.0f;           // drawing units
inline constexpr float kMinNearPlane = 0.01f;       // drawing units
inline constexpr float kFieldOfView = 0.10471976f;  // vertical, radians (6 degrees)

// The point the camera looks at and how fast it moves.
struct CameraFollow {
    glm::vec3 target;    // drawing frame
    glm::vec3 velocity;  // drawing frame, units/s
};

// Brings the persisted camera values into range (elevation -5 ... 89.9
// degrees, distance 0.15 ... 500, height -50 ... 150); the others are kept.
void bound_camera_settings(settings::Settings& settings);

// Advances the followed point over one step of step_dt seconds, in
// kCameraSubIterations sub-steps, towards the tracked point as it moves
// linearly from `from` to `to` (drawing frame). A spring pulls the target,
// a stronger one acts along its direction of motion, and a damper slows it.
void smooth_camera_target(CameraFollow& camera, const glm::vec3& from, const glm::vec3& to, double step_dt);

// The eye: (0, 4 + 4 * view_level, 0) in the drawing frame.
glm::vec3 eye_position(int view_level);

// The near plane for a creature `distance` units from the eye: half the
// distance, but distance - 0.5 when it is closer than 1, and never below
// kMinNearPlane.
float near_plane_distance(float distance);

}  // namespace render
