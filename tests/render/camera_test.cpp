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
