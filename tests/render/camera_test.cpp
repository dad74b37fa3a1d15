#include "render/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/geometric.hpp>

namespace {

TEST(Camera, EyeHeightForBothViewLevels) {
    EXPECT_EQ(render::eye_position(0), glm::vec3(0.0f, 4.0f, 0.0f));
    EXPECT_EQ(render::eye_position(1), glm::vec3(0.0f, 8.0f, 0.0f));
}

TEST(Camera, NearPlaneIsHalfTheDistanceButBacksOffWhenTheCreatureIsClose) {
    EXPECT_FLOAT_EQ(render::near_plane_distance(4.0f), 2.0f);
    EXPECT_FLOAT_EQ(render::near_plane_distance(1.0f), 0.5f);
    EXPECT_FLOAT_EQ(render::near_plane_distance(0.8f), 0.3f);
    EXPECT_FLOAT_EQ(render::near_plane_distance(0.51f), 0.01f);
    EXPECT_FLOAT_EQ(render::near_plane_distance(0.3f), 0.01f);
    EXPECT_FLOAT_EQ(render::near_plane_distance(std::nanf("")), 0.01f);
}

TEST(Camera, PersistedCameraValuesAreBroughtIntoTheirRanges) {
    struct Case {
        float in, elevation, distance, height;  // the same input for all five values
    };
    for (const Case& k : {Case{-1000.0f, -5.0f, 0.15f, -50.0f}, Case{-5.0f, -5.0f, 0.15f, -5.0f},
                          Case{0.1f, 0.1f, 0.15f, 0.1f}, Case{0.15f, 0.15f, 0.15f, 0.15f},
                          Case{89.9f, 89.9f, 89.9f, 89.9f}, Case{90.0f, 89.9f, 90.0f, 90.0f},
                          Case{150.0f, 89.9f, 150.0f, 150.0f}, Case{151.0f, 89.9f, 151.0f, 150.0f},
                          Case{500.0f, 89.9f, 500.0f, 150.0f}, Case{1e9f, 89.9f, 500.0f, 150.0f}}) {
        SCOPED_TRACE(k.in);
        settings::Settings s{};
        s.camera_azimuth_deg = k.in;
        s.camera_elevation_deg = k.in;
        s.camera_distance = k.in;
        s.camera_look_angle_deg = k.in;
        s.camera_height = k.in;
        s.r_floor = 7;
        render::bound_camera_settings(s);
        EXPECT_EQ(s.camera_elevation_deg, k.elevation);
        EXPECT_EQ(s.camera_distance, k.distance);
        EXPECT_EQ(s.camera_height, k.height);
        // Azimuth, look angle and floor are not bounded here.
        EXPECT_EQ(s.camera_azimuth_deg, k.in);
        EXPECT_EQ(s.camera_look_angle_deg, k.in);
        EXPECT_EQ(s.r_floor, 7);
    }
}

// One frame worked by hand in single precision (256 sub-steps of 1/15360 s;
// spring 5, spring 4000 along the motion, damping 1500, mass 0.5): from the
// origin, moving at (0.3, 0, 0.2), while the tracked point runs from
// (0, 0.5, 0) to (1, 0.5, 0).
TEST(CameraSmoothing, OneFrameFromAKnownStateGivesTheWorkedValue) {
    render::CameraFollow camera{glm::vec3(0.0f), glm::vec3(0.3f, 0.0f, 0.2f)};
    render::smooth_camera_target(camera, glm::vec3(0.0f, 0.5f, 0.0f), glm::vec3(1.0f, 0.5f, 0.0f), 1.0 / 60.0);
    EXPECT_NEAR(camera.target.x, 0.0168266, 2e-7);
    EXPECT_NEAR(camera.target.y, 0.0021931, 2e-7);
    EXPECT_NEAR(camera.target.z, 0.0106486, 2e-7);
    EXPECT_NEAR(camera.velocity.x, 1.972347, 2e-5);
    EXPECT_NEAR(camera.velocity.y, 0.291638, 2e-5);
    EXPECT_NEAR(camera.velocity.z, 1.213153, 2e-5);
}

TEST(CameraSmoothing, ConvergesOnAStillPointWithoutVisibleOvershoot) {
    const glm::vec3 still(1.0f, 0.5f, -2.0f);
    render::CameraFollow camera{glm::vec3(0.0f), glm::vec3(0.0f)};
    float previous_gap = glm::length(still);
    for (int frame = 0; frame < 600; ++frame) {
        render::smooth_camera_target(camera, still, still, 1.0 / 60.0);
        // Closer every frame, and never past the point along the way it came.
        const float gap = glm::length(still - camera.target);
        EXPECT_LE(gap, previous_gap + 1e-6f) << "frame " << frame;
        EXPECT_LT(glm::dot(camera.target - still, glm::normalize(still)), 1e-3f) << "frame " << frame;
        previous_gap = gap;
    }
    EXPECT_LT(previous_gap, 1e-3f);
    EXPECT_LT(glm::length(camera.velocity), 1e-2f);

    // Resting on the point it stays exactly there.
    render::CameraFollow resting{still, glm::vec3(0.0f)};
    render::smooth_camera_target(resting, still, still, 1.0 / 60.0);
    EXPECT_EQ(resting.target, still);
}

TEST(CameraSmoothing, FollowsAMovingPointWithABoundedLag) {
    render::CameraFollow camera{glm::vec3(0.0f), glm::vec3(0.0f)};
    float lag = 0.0f;
    for (int frame = 0; frame < 1200; ++frame) {  // 0.5 units/s along x
        const glm::vec3 from(0.5f * frame / 60.0f, 0.0f, 0.0f), to(0.5f * (frame + 1) / 60.0f, 0.0f, 0.0f);
        render::smooth_camera_target(camera, from, to, 1.0 / 60.0);
        lag = to.x - camera.target.x;
    }
    EXPECT_GT(lag, 0.0f);
    EXPECT_LT(lag, 0.5f);
    EXPECT_NEAR(camera.velocity.x, 0.5f, 0.01f);
}

}  // namespace
