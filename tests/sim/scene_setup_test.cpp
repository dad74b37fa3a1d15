// Scene set-up: seeding order, the eye mesh and the unit sphere.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>

#include "sim/scene_setup.h"
#include "sim/records.h"
#include "sim_test_support.h"

namespace {

using sim::Vertex;

class SceneSetup : public ::testing::Test {
protected:
    simtest::Scene scene = simtest::make_scene(424242);
    const sim::Creature& c = *scene.creature;
    const sim::SimWorld& w = *scene.world;
};

TEST_F(SceneSetup, TwentyFiveDrawsAreDiscardedBeforeTheBody) {
    sim::RandomSource r{424242};
    for (int i = 0; i < 25; ++i) sim::random_next(r);
    EXPECT_EQ(w.start_position.x, sim::random_unit(r) * 8.0 - 4.0);
    for (int i = 0; i < 3; ++i) sim::random_next(r);  // the body's other draws
    EXPECT_EQ(w.random.state, r.state);
}

TEST_F(SceneSetup, EyeIsAScaledShiftedCylinderWithADomedFront) {
    // Ring radius 0.3 L/25 = 0.006; everything shifted by 0.09 L/25 = 0.0018.
    const float scale = 0.006f / 0.63f;
    const Vertex& centre = w.eye_vertices[0];
    EXPECT_NEAR(centre.px, -0.3f * scale + 0.0018f, 1e-7);
    EXPECT_EQ(centre.py, 0.0f);
    EXPECT_EQ(centre.pz, 0.0f);
    EXPECT_EQ(centre.nx, -1.0f);
    EXPECT_NEAR(centre.u, 0.092f, 1e-7);
    EXPECT_NEAR(centre.v, 0.6f, 1e-7);
    for (int k = 1; k <= 18; ++k) {
        SCOPED_TRACE(k);
        const Vertex& front = w.eye_vertices[k];
        const Vertex& back = w.eye_vertices[18 + k];
        const float a = static_cast<float>(k) * 6.2831855f / 18.0f;
        EXPECT_NEAR(std::hypot(front.py, front.pz), 0.006f, 1e-8);
        EXPECT_NEAR(std::hypot(back.py, back.pz), 0.006f, 1e-8);
        EXPECT_NEAR(front.px, -0.2f * scale + 0.0018f, 1e-8);
        EXPECT_NEAR(back.px, 0.5f * scale + 0.0018f, 1e-8);
        EXPECT_NEAR(front.py, 0.006f * std::sin(a), 1e-8);
        EXPECT_NEAR(front.pz, -0.006f * std::cos(a), 1e-8);
        EXPECT_EQ(back.py, front.py);
        EXPECT_EQ(back.u, front.u);
        EXPECT_EQ(back.v, front.v);
        // Front normals lean forwards away from a focus 3.969 behind the
        // front (before scaling); the back ring's normals point straight out.
        EXPECT_NEAR(std::sqrt(front.nx * front.nx + front.ny * front.ny + front.nz * front.nz), 1.0f, 1e-6);
        EXPECT_NEAR(front.ny / -front.nx, 0.63f * std::sin(a) / 3.969f, 1e-6);
        EXPECT_EQ(back.nx, 0.0f);
        EXPECT_NEAR(back.ny, std::sin(a), 1e-7);
        EXPECT_NEAR(back.nz, -std::cos(a), 1e-7);
    }
}

TEST_F(SceneSetup, EyeIndicesCapAndSideRuns) {
    const uint16_t* e = w.eye_indices;
    // First cap triangle, first of each side run, last side triangle.
    EXPECT_EQ(e[0], 0);
    EXPECT_EQ(e[1], 1);
    EXPECT_EQ(e[2], 18);
    EXPECT_EQ(e[3], 0);
    EXPECT_EQ(e[4], 2);
    EXPECT_EQ(e[5], 1);
    EXPECT_EQ(e[54], 1);
    EXPECT_EQ(e[55], 19);
    EXPECT_EQ(e[56], 18);
    EXPECT_EQ(e[108], 1);
    EXPECT_EQ(e[109], 20);
    EXPECT_EQ(e[110], 19);
    EXPECT_EQ(e[159], 18);
    EXPECT_EQ(e[160], 19);
    EXPECT_EQ(e[161], 36);
    for (int i = 0; i < sim::kEyeIndices; ++i) EXPECT_LT(e[i], sim::kEyeVertices) << i;

    // Front and side form one consistently wound surface open only at the
    // back ring: every edge is shared by two triangles in opposite
    // directions, except the back ring's edges, which have one triangle.
    std::map<std::pair<int, int>, int> directed;
    for (int t = 0; t < sim::kEyeIndices / 3; ++t) {
        for (int k = 0; k < 3; ++k) ++directed[{e[3 * t + k], e[3 * t + (k + 1) % 3]}];
    }
    auto back_ring = [](int v) { return v >= 19; };
    for (const auto& [edge, count] : directed) {
        SCOPED_TRACE(testing::Message() << edge.first << "->" << edge.second);
        EXPECT_EQ(count, 1);
        const bool reverse = directed.count({edge.second, edge.first}) != 0;
        EXPECT_EQ(reverse, !(back_ring(edge.first) && back_ring(edge.second)));
    }
}

TEST_F(SceneSetup, SphereIsAUnitSphereWithClosedSeamAndPoles) {
    for (int i = 0; i < sim::kSphereLongitudes; ++i) {
        for (int j = 0; j < sim::kSphereLatitudes; ++j) {
            SCOPED_TRACE(testing::Message() << i << "," << j);
            const Vertex& v = w.sphere_vertices[i][j];
            EXPECT_NEAR(std::sqrt(v.px * v.px + v.py * v.py + v.pz * v.pz), 1.0f, 1e-6);
            EXPECT_EQ(v.nx, v.px);
            EXPECT_EQ(v.ny, v.py);
            EXPECT_EQ(v.nz, v.pz);
            EXPECT_EQ(v.u, 0.0f);
            EXPECT_EQ(v.v, 0.0f);
        }
        // Poles: j = 0 at +y and j = 9 at -y, whatever the longitude.
        EXPECT_EQ(w.sphere_vertices[i][0].py, 1.0f);
        EXPECT_EQ(w.sphere_vertices[i][0].px, 0.0f);
        EXPECT_EQ(w.sphere_vertices[i][9].py, -1.0f);
        EXPECT_NEAR(w.sphere_vertices[i][9].px, 0.0f, 1e-6);
        EXPECT_NEAR(w.sphere_vertices[i][9].pz, 0.0f, 1e-6);
    }
    for (int j = 0; j < sim::kSphereLatitudes; ++j) {  // the seam closes at 360 degrees
        const Vertex& first = w.sphere_vertices[0][j];
        const Vertex& last = w.sphere_vertices[18][j];
        EXPECT_NEAR(first.px, last.px, 1e-6);
        EXPECT_NEAR(first.py, last.py, 1e-6);
        EXPECT_NEAR(first.pz, last.pz, 1e-6);
    }
    // Longitude 1 is 20 degrees round from longitude 0 towards +z.
    const Vertex& equator = w.sphere_vertices[1][4];
    EXPECT_NEAR(std::atan2(equator.pz, equator.px), 0.3490658503988659, 1e-6);
}

TEST_F(SceneSetup, SphereIndicesRunOverTheGrid) {
    const uint16_t first[] = {0, 11, 1, 0, 10, 11};
    const uint16_t last[] = {178, 189, 179, 178, 188, 189};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(w.sphere_indices[i], first[i]);
        EXPECT_EQ(w.sphere_indices[sim::kSphereIndices - 6 + i], last[i]);
    }
    for (int i = 0; i < sim::kSphereIndices; ++i) {
        EXPECT_LT(w.sphere_indices[i], sim::kSphereLongitudes * sim::kSphereLatitudes) << i;
    }
}

}  // namespace
