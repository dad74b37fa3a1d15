// The tank's lines, the body colour and the conventions that carry
// simulation points and rotations to the device.
#include <gtest/gtest.h>

#include <cmath>
#include <glm/ext/matrix_transform.hpp>
#include <glm/geometric.hpp>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "render/drawing_transforms.h"
#include "render/hsv_colour.h"
#include "render/tank_geometry.h"
#include "tests/render/render_test_support.h"

namespace {

TEST(TankGeometry, FloorGridWallPostsAndRings) {
    auto tank = std::make_unique<render::TankGeometry>();
    render::build_tank_geometry(*tank);

    for (int i = 0; i < render::kFloorLines; ++i) {
        const float offset = 0.2f * static_cast<float>(i) - 10.0f;
        const sim::Vertex* x = &tank->floor_along_x[2 * i];
        const sim::Vertex* z = &tank->floor_along_z[2 * i];
        EXPECT_EQ(std::make_tuple(x[0].px, x[1].px, x[0].pz, x[1].pz), std::make_tuple(-10.0f, 10.0f, offset, offset));
        EXPECT_EQ(std::make_tuple(z[0].pz, z[1].pz, z[0].px, z[1].px), std::make_tuple(-10.0f, 10.0f, offset, offset));
        EXPECT_EQ(x[0].py + x[1].py + z[0].py + z[1].py, 0.0f);
    }
    EXPECT_NEAR(tank->floor_along_x[201].pz, 10.0f, 1e-5f);

    // 200 distinct posts on the tank's edge, each from the floor to height 5.
    std::set<std::pair<float, float>> feet;
    for (int p = 0; p < render::kWallPosts; ++p) {
        const sim::Vertex& foot = tank->posts[2 * p];
        const sim::Vertex& top = tank->posts[2 * p + 1];
        EXPECT_EQ(std::make_tuple(foot.py, top.py, top.px, top.pz), std::make_tuple(0.0f, 5.0f, foot.px, foot.pz));
        EXPECT_TRUE(std::fabs(std::fabs(foot.px) - 10.0f) < 1e-5f || std::fabs(std::fabs(foot.pz) - 10.0f) < 1e-5f);
        feet.insert({foot.px, foot.pz});
    }
    EXPECT_EQ(feet.size(), 200u);

    // Eight closed squares, 0.625 apart, the top one at the wall height.
    for (int j = 0; j < render::kWallRings; ++j) {
        for (int c = 0; c < 4; ++c) {
            const sim::Vertex& corner = tank->rings[4 * j + c];
            EXPECT_FLOAT_EQ(corner.py, 0.625f * static_cast<float>(j + 1));
            EXPECT_EQ(std::make_pair(std::fabs(corner.px), std::fabs(corner.pz)), std::make_pair(10.0f, 10.0f));
        }
    }
}

// The lines a line list draws, each as its two end points in either order.
using Point = std::tuple<float, float, float>;
using Line = std::pair<Point, Point>;

std::vector<Line> drawn_lines(const sim::Vertex* vertices, int vertex_count, const uint16_t* indices, int lines) {
    std::vector<Line> out;
    for (int i = 0; i < 2 * lines; i += 2) {
        EXPECT_LT(indices[i], vertex_count);
        EXPECT_LT(indices[i + 1], vertex_count);
        if (indices[i] >= vertex_count || indices[i + 1] >= vertex_count) continue;
        const sim::Vertex& a = vertices[indices[i]];
        const sim::Vertex& b = vertices[indices[i + 1]];
        const Point p{a.px, a.py, a.pz}, q{b.px, b.py, b.pz};
        out.push_back(p < q ? Line{p, q} : Line{q, p});
    }
    return out;
}

float length(const Line& line) {
    const auto [x0, y0, z0] = line.first;
    const auto [x1, y1, z1] = line.second;
    return std::hypot(x1 - x0, y1 - y0, z1 - z0);
}

TEST(TankGeometry, IndicesNameOnlyTheirVerticesAndDrawEveryEdgeOnce) {
    auto tank = std::make_unique<render::TankGeometry>();
    render::build_tank_geometry(*tank);
    struct Set {
        const char* what;
        const sim::Vertex* vertices;
        int vertex_count;
        const uint16_t* indices;
        int lines;
        float line_length;
    };
    const Set sets[] = {
        {"floor along x", tank->floor_along_x, render::kFloorVertices, tank->floor_indices, render::kFloorLines, 20.0f},
        {"floor along z", tank->floor_along_z, render::kFloorVertices, tank->floor_indices, render::kFloorLines, 20.0f},
        {"posts", tank->posts, render::kPostVertices, tank->post_indices, render::kWallPosts, 5.0f},
        {"rings", tank->rings, render::kRingVertices, tank->ring_indices, render::kRingLines, 20.0f},
    };
    for (const Set& set : sets) {
        SCOPED_TRACE(set.what);
        const std::vector<Line> lines = drawn_lines(set.vertices, set.vertex_count, set.indices, set.lines);
        ASSERT_EQ(lines.size(), static_cast<size_t>(set.lines));
        EXPECT_EQ(std::set<Line>(lines.begin(), lines.end()).size(), lines.size());  // none drawn twice
        for (const Line& line : lines) EXPECT_NEAR(length(line), set.line_length, 1e-4f);
    }
    // The rings are closed squares: every corner ends exactly two sides.
    std::map<Point, int> ends;
    for (const Line& line : drawn_lines(tank->rings, render::kRingVertices, tank->ring_indices, render::kRingLines)) {
        ++ends[line.first];
        ++ends[line.second];
    }
    EXPECT_EQ(ends.size(), static_cast<size_t>(render::kRingVertices));
    for (const auto& [corner, count] : ends) EXPECT_EQ(count, 2);
}

TEST(HsvColour, BodyColourAndTheSpecialCases) {
    const render::Rgb body = render::hsv_to_rgb(190.0, 0.25, 0.8);
    EXPECT_FLOAT_EQ(body.r, 0.6f);
    EXPECT_FLOAT_EQ(body.g, static_cast<float>(0.8 * (1.0 - 0.25 * (190.0 / 60.0 - 3.0))));
    EXPECT_FLOAT_EQ(body.b, 0.8f);
    const render::Rgb grey = render::hsv_to_rgb(123.0, 0.0, 0.4);
    EXPECT_EQ(std::make_tuple(grey.r, grey.g, grey.b), std::make_tuple(0.4f, 0.4f, 0.4f));
    const render::Rgb last_sector = render::hsv_to_rgb(330.0, 1.0, 1.0);
    EXPECT_EQ(std::make_tuple(last_sector.r, last_sector.g, last_sector.b), std::make_tuple(1.0f, 0.0f, 0.5f));
    for (double hue : {360.0, 1e300, std::nan("")}) {
        const render::Rgb black = render::hsv_to_rgb(hue, 0.5, 0.5);
        EXPECT_EQ(std::make_tuple(black.r, black.g, black.b), std::make_tuple(0.0f, 0.0f, 0.0f)) << hue;
    }
}

TEST(DrawingTransforms, DeviceMatricesAreTheGlmMatricesForRowVectors) {
    const glm::mat4 move = glm::translate(glm::mat4(1.0f), glm::vec3(1.0f, 2.0f, 3.0f));
    const glm::mat4 turn = glm::rotate(glm::mat4(1.0f), 0.7f, glm::vec3(0.3f, -0.5f, 0.8f));
    const platform::Matrix4 m = render::to_device_matrix(move * turn);  // turn first, then move
    // The translation sits in the last row, as row vectors need it.
    EXPECT_EQ(std::make_tuple(m.m[3][0], m.m[3][1], m.m[3][2], m.m[0][3]), std::make_tuple(1.0f, 2.0f, 3.0f, 0.0f));
    const glm::vec4 expected = move * turn * glm::vec4(0.4f, -1.5f, 2.5f, 1.0f);
    const rendertest::Point4 got = rendertest::transform(m, 0.4, -1.5, 2.5);
    EXPECT_NEAR(got.x, expected.x, 1e-5);
    EXPECT_NEAR(got.y, expected.y, 1e-5);
    EXPECT_NEAR(got.z, expected.z, 1e-5);
    EXPECT_NEAR(got.w, 1.0, 1e-6);
}

TEST(DrawingTransforms, SimulationRotationsAreDrawnWithYAndZExchanged) {
    // A quarter turn about the simulation's up axis takes x to y; drawn, x goes to z.
    sim::Quat quarter;
    sim::quat_from_axis_angle(quarter, sim::Vec3{0, 0, 1}, M_PI / 2);
    const glm::vec4 turned = render::drawing_rotation(quarter) * glm::vec4(1, 0, 0, 0);
    EXPECT_NEAR(glm::length(glm::vec3(turned) - glm::vec3(0, 0, 1)), 0.0f, 1e-6f);

    // For any rotation R and point p: drawing(R p) == drawing_rotation(R) drawing(p).
    sim::Quat q{0.3, -0.5, 0.7, 0.2};
    sim::quat_normalize(q, q);
    const sim::Vec3 p{0.25, -1.5, 0.75};
    sim::Mat3 r;
    sim::mat3_from_quat(r, q);
    sim::Vec3 rp;
    sim::mat3_mul_vec(rp, r, p);
    const glm::vec4 got = render::drawing_rotation(q) * glm::vec4(render::to_drawing_point(p), 1.0f);
    EXPECT_NEAR(glm::length(glm::vec3(got) - render::to_drawing_point(rp)), 0.0f, 1e-6f);
    EXPECT_EQ(got.w, 1.0f);
}

}  // namespace
