#include "render/render_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "render/tank_geometry.h"
#include "tests/render/render_test_support.h"
#include "tests/support/fake_glyph_rasterizer.h"

namespace {

using platform::RenderState;
using rendertest::Point4;
using rendertest::transform;
using test_support::DeviceCall;
using test_support::DeviceOp;

constexpr uint32_t kLineList = static_cast<uint32_t>(platform::PrimitiveType::LineList);
constexpr uint32_t kTriangleList = static_cast<uint32_t>(platform::PrimitiveType::TriangleList);

// One application's worth of frame inputs around a swimming creature.
struct Frame {
    rendertest::Scene scene = rendertest::make_swimming_scene(3, 120);
    std::unique_ptr<test_support::FakeGraphicsDevice> device = rendertest::make_device(4096, 640, 480);
    test_support::FakeGlyphRasterizer glyphs;
    render::TextOverlay overlay{"Arial", 12, render::kTextBold, &glyphs};
    settings::Settings settings{};
    std::unique_ptr<render::RendererState> state = std::make_unique<render::RendererState>();
    int32_t view_level = 0;

    Frame() {
        settings.d_show_info = true;
        settings.camera_distance = 2.0f;
        render::reset_renderer_state(*state);
        overlay.build_glyph_texture(device.get());
        overlay.prepare_for_drawing();
        device->clear_calls();
    }
    render::FrameContext context() {
        return render::FrameContext{device.get(),
                                    640,
                                    480,
                                    scene.creature.get(),
                                    scene.world.get(),
                                    &settings,
                                    view_level,
                                    &overlay,
                                    render::InformationText{"Aquarium", "60.00 fps", "HAL", 12.0f}};
    }
    platform::Result render() { return render::render_frame(context(), *state); }
};

// The device state in force at one draw call, read back from the call log.
struct Draw {
    DeviceCall call;
    uint32_t cull;
    uint32_t alpha_blend;
    platform::Material material;
    platform::Matrix4 world;
    const void* texture;
    bool texture_set;
};

std::vector<Draw> indexed_draws(const test_support::FakeGraphicsDevice& device) {
    std::vector<Draw> draws;
    Draw now{};
    for (const DeviceCall& c : device.calls) {
        if (c.op == DeviceOp::SetRenderState && c.a == static_cast<uint32_t>(RenderState::CullMode)) now.cull = c.b;
        if (c.op == DeviceOp::SetRenderState && c.a == static_cast<uint32_t>(RenderState::AlphaBlendEnable))
            now.alpha_blend = c.b;
        if (c.op == DeviceOp::SetMaterial) now.material = c.material;
        if (c.op == DeviceOp::SetTransform && c.a == static_cast<uint32_t>(platform::TransformType::World))
            now.world = c.matrix;
        if (c.op == DeviceOp::SetTexture) now.texture = c.object, now.texture_set = true;
        if (c.op == DeviceOp::DrawIndexedPrimitiveUp) {
            now.call = c;
            draws.push_back(now);
            now.texture_set = false;
        }
    }
    return draws;
}

void expect_colour(const platform::Material& m, float r, float g, float b) {
    EXPECT_FLOAT_EQ(m.diffuse.r, r);
    EXPECT_FLOAT_EQ(m.diffuse.g, g);
    EXPECT_FLOAT_EQ(m.diffuse.b, b);
    EXPECT_FLOAT_EQ(m.diffuse.a, 1.0f);
    EXPECT_FLOAT_EQ(m.ambient.r, r);
    EXPECT_FLOAT_EQ(m.ambient.g, g);
    EXPECT_FLOAT_EQ(m.ambient.b, b);
    EXPECT_FLOAT_EQ(m.specular.r + m.specular.g + m.specular.b + m.specular.a, 0.0f);
    EXPECT_FLOAT_EQ(m.emissive.r + m.emissive.g + m.emissive.b + m.emissive.a + m.power, 0.0f);
}

void expect_near(const Point4& p, const sim::Vec3& expected, double tolerance) {
    EXPECT_NEAR(p.x / p.w, expected.x, tolerance);
    EXPECT_NEAR(p.y / p.w, expected.y, tolerance);
    EXPECT_NEAR(p.z / p.w, expected.z, tolerance);
}

bool is_identity(const platform::Matrix4& m) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (m.m[r][c] != (r == c ? 1.0f : 0.0f)) return false;
        }
    }
    return true;
}

TEST(RenderFrame, ViewProjectionAndClearComeBeforeTheSceneWhichHoldsEveryDraw) {
    Frame f;
    ASSERT_EQ(f.render(), platform::kOk);
    const auto& calls = f.device->calls;
    auto first = [&](DeviceOp op) {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i].op == op) return i;
        return calls.size();
    };
    const size_t begin = first(DeviceOp::BeginScene);
    ASSERT_LT(begin, calls.size());
    EXPECT_EQ(f.device->scenes_begun, 1);
    EXPECT_EQ(calls.back().op, DeviceOp::EndScene);
    EXPECT_LT(first(DeviceOp::Clear), begin);
    EXPECT_FALSE(f.device->in_scene);
    // Nothing is drawn outside the scene, and the scene's transforms and
    // vertex format are in place before it.
    for (size_t i = 0; i < begin; ++i) {
        EXPECT_NE(calls[i].op, DeviceOp::DrawIndexedPrimitiveUp) << i;
        EXPECT_NE(calls[i].op, DeviceOp::DrawPrimitive) << i;
    }
    bool view = false, projection = false;
    uint32_t vertex_format = 0;
    for (size_t i = 0; i < begin; ++i) {
        if (calls[i].op == DeviceOp::SetVertexShader) vertex_format = calls[i].a;
        if (calls[i].op != DeviceOp::SetTransform) continue;
        view |= calls[i].a == static_cast<uint32_t>(platform::TransformType::View);
        projection |= calls[i].a == static_cast<uint32_t>(platform::TransformType::Projection);
    }
    EXPECT_TRUE(view && projection);
    EXPECT_EQ(vertex_format, platform::kFvfSceneVertex);

    // The whole target and depth buffer are cleared to the water's colour,
    // and the fog fades into that same colour.
    const DeviceCall clear = f.device->calls_of(DeviceOp::Clear).at(0);
    EXPECT_EQ(clear.a, platform::kClearTarget | platform::kClearZBuffer);
    EXPECT_EQ(clear.b, 0xFF000028u);
    EXPECT_EQ(clear.f, 1.0f);
    EXPECT_EQ(f.device->render_state[static_cast<int>(RenderState::FogColor)], clear.b);
}

TEST(RenderFrame, EveryMeshIsDrawnWholeAndOnceWithoutBlending) {
    Frame f;
    ASSERT_EQ(f.render(), platform::kOk);
    const sim::SimWorld& w = *f.scene.world;
    const render::TankGeometry& tank = f.state->tank;
    struct Mesh {
        const char* name;
        const void* vertices;
        const void* indices;
        uint32_t type, vertex_count, primitives, times;
    };
    const Mesh meshes[] = {
        {"floor along x", tank.floor_along_x, tank.floor_indices, kLineList, render::kFloorVertices,
         render::kFloorLines, 1},
        {"floor along z", tank.floor_along_z, tank.floor_indices, kLineList, render::kFloorVertices,
         render::kFloorLines, 1},
        {"posts", tank.posts, tank.post_indices, kLineList, render::kPostVertices, render::kWallPosts, 1},
        {"rings", tank.rings, tank.ring_indices, kLineList, render::kRingVertices, render::kRingLines, 1},
        {"eye", w.eye_vertices, w.eye_indices, kTriangleList, sim::kEyeVertices, sim::kEyeIndices / 3, 2},
        {"body +x", &w.vertex_plus[0][0], w.body_indices[0], kTriangleList, sim::kRings * sim::kRingPoints,
         sim::kBodyIndices / 3, 1},
        {"body -x", &w.vertex_minus[0][0], w.body_indices[1], kTriangleList, sim::kRings * sim::kRingPoints,
         sim::kBodyIndices / 3, 1},
        {"marker", &w.sphere_vertices[0][0], w.sphere_indices, kTriangleList,
         sim::kSphereLongitudes * sim::kSphereLatitudes, sim::kSphereIndices / 3, 1},
    };
    const std::vector<Draw> draws = indexed_draws(*f.device);
    uint32_t expected_draws = 0;
    for (const Mesh& mesh : meshes) {
        SCOPED_TRACE(mesh.name);
        expected_draws += mesh.times;
        uint32_t seen = 0;
        for (const Draw& d : draws) {
            if (d.call.vertices != mesh.vertices) continue;
            ++seen;
            EXPECT_EQ(d.call.indices, mesh.indices);
            EXPECT_EQ(d.call.a, mesh.type);
            EXPECT_EQ(d.call.b, 0u);  // from the first vertex
            EXPECT_EQ(d.call.c, mesh.vertex_count);
            EXPECT_EQ(d.call.d, mesh.primitives);
            EXPECT_EQ(d.call.e, sizeof(sim::Vertex));
            EXPECT_EQ(d.alpha_blend, 0u);
        }
        EXPECT_EQ(seen, mesh.times);
    }
    EXPECT_EQ(draws.size(), expected_draws);
}

TEST(RenderFrame, TankLinesStayPutAndTheTextComesLast) {
    Frame f;
    ASSERT_EQ(f.render(), platform::kOk);
    const std::vector<Draw> draws = indexed_draws(*f.device);
    ASSERT_FALSE(draws.empty());
    for (const Draw& d : draws) {
        if (d.call.a != kLineList) continue;
        EXPECT_TRUE(is_identity(d.world));
        EXPECT_EQ(d.texture, nullptr);
    }
    // The information text is drawn over everything else: after the last mesh.
    const auto& calls = f.device->calls;
    size_t last_indexed = 0, first_text = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].op == DeviceOp::DrawIndexedPrimitiveUp) last_indexed = i;
        if (calls[i].op == DeviceOp::CaptureStateBlock && first_text == 0) first_text = i;
    }
    EXPECT_GT(first_text, last_indexed);
    EXPECT_GE(f.device->count_of(DeviceOp::DrawPrimitive), 1);
}

TEST(RenderFrame, ColoursOfTheTankTheEyesTheBodyAndTheMarker) {
    Frame f;
    ASSERT_EQ(f.render(), platform::kOk);
    const sim::SimWorld& w = *f.scene.world;
    const render::TankGeometry& tank = f.state->tank;
    const std::vector<Draw> draws = indexed_draws(*f.device);
    int checked = 0;
    for (const Draw& d : draws) {
        const void* v = d.call.vertices;
        if (v == tank.floor_along_x || v == tank.floor_along_z) {
            expect_colour(d.material, 0.25f, 0.55f, 0.4f);
        } else if (v == tank.posts || v == tank.rings) {
            expect_colour(d.material, 0.35f, 0.45f, 0.65f);
        } else if (v == w.eye_vertices) {
            expect_colour(d.material, 0.35f, 0.35f, 0.35f);
        } else if (v == &w.vertex_plus[0][0] || v == &w.vertex_minus[0][0]) {
            // hue 190 degrees, saturation 0.25, value 0.8
            expect_colour(d.material, 0.6f, static_cast<float>(0.8 * (1.0 - 0.25 * (190.0 / 60.0 - 3.0))), 0.8f);
            EXPECT_EQ(d.texture, nullptr);
        } else if (v == &w.sphere_vertices[0][0]) {
            expect_colour(d.material, 1.0f, 1.0f, 1.0f);
            EXPECT_EQ(d.texture, nullptr);
        } else {
            ADD_FAILURE() << "a draw of unknown vertices";
            continue;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 9);
    // The scaled marker sphere keeps unit normals for its lighting.
    EXPECT_EQ(f.device->render_state[static_cast<int>(RenderState::NormalizeNormals)], 1u);
}

// The draws of the eye mesh, in drawing order.
std::vector<Draw> eye_draws(const Frame& f) {
    std::vector<Draw> eyes;
    for (const Draw& d : indexed_draws(*f.device))
        if (d.call.vertices == f.scene.world->eye_vertices) eyes.push_back(d);
    return eyes;
}

// The side axis of the eyes' segment, in the world, drawn.
sim::Vec3 eye_side_drawn(const sim::Creature& c) {
    sim::Mat3 g;
    sim::mat3_from_quat(g, c.segment_quat[c.skin_segment[19][8]]);
    sim::Vec3 side;
    sim::mat3_mul_vec(side, c.rotation, sim::Vec3{g.m00, g.m10, g.m20});
    return rendertest::drawing(side);
}

TEST(RenderFrame, EyesMirrorEachOtherAcrossTheBodyAndMoveWithIt) {
    Frame f;
    ASSERT_EQ(f.render(), platform::kOk);
    std::vector<Draw> eyes = eye_draws(f);
    ASSERT_EQ(eyes.size(), 2u);
    sim::Creature& c = *f.scene.creature;
    const sim::SimWorld& w = *f.scene.world;

    // Every point of the second eye, seen from its own centre, is the first
    // eye's point mirrored across the body's side plane.
    const sim::Vec3 n = eye_side_drawn(c);
    const Point4 o0 = transform(eyes[0].world, 0, 0, 0), o1 = transform(eyes[1].world, 0, 0, 0);
    for (const sim::Vertex& v : w.eye_vertices) {
        const Point4 p0 = transform(eyes[0].world, v.px, v.py, v.pz);
        const Point4 p1 = transform(eyes[1].world, v.px, v.py, v.pz);
        const sim::Vec3 a{p0.x - o0.x, p0.y - o0.y, p0.z - o0.z};
        const double along = a.x * n.x + a.y * n.y + a.z * n.z;
        EXPECT_NEAR(p1.x - o1.x, a.x - 2.0 * along * n.x, 1e-5);
        EXPECT_NEAR(p1.y - o1.y, a.y - 2.0 * along * n.y, 1e-5);
        EXPECT_NEAR(p1.z - o1.z, a.z - 2.0 * along * n.z, 1e-5);
    }
    // The mirror turns the second eye's winding round: it is culled the other way.
    EXPECT_EQ(eyes[0].cull, platform::kCullCounterClockwise);
    EXPECT_EQ(eyes[1].cull, platform::kCullClockwise);

    // Moved and turned, the body carries its eyes with it: they stay on
    // their skin points.
    c.position = sim::Vec3{c.position.x + 0.3, c.position.y - 0.2, c.position.z + 0.4};
    sim::Quat turn;
    sim::quat_from_axis_angle(turn, sim::Vec3{0.0, 0.0, 1.0}, 1.0);
    sim::quat_mul(c.orientation, turn, c.orientation);
    sim::mat3_from_quat(c.rotation, c.orientation);
    f.device->clear_calls();
    ASSERT_EQ(f.render(), platform::kOk);
    eyes = eye_draws(f);
    ASSERT_EQ(eyes.size(), 2u);
    for (int eye = 0; eye < 2; ++eye) {
        SCOPED_TRACE(eye);
        const sim::Vec3 skin = rendertest::drawing(rendertest::world_point(c, w.skin_pos[eye][19][8]));
        const Point4 moved = transform(eyes[eye].world, 0, 0, 0);
        expect_near(moved, skin, 1e-5);
        const Point4& before = eye == 0 ? o0 : o1;
        EXPECT_GT(std::hypot(moved.x - before.x, moved.y - before.y, moved.z - before.z), 0.2);
    }
}

TEST(RenderFrame, EyesSitOnTheirSkinPointsLookingOutwardsTheSecondMirrored) {
    Frame f;
    ASSERT_EQ(f.render(), platform::kOk);
    const std::vector<Draw> draws = indexed_draws(*f.device);
    ASSERT_EQ(draws.size(), 9u);
    const sim::Creature& c = *f.scene.creature;
    const sim::SimWorld& w = *f.scene.world;

    // Eyes look along the segment's -x (first) and +x (second).
    const sim::Vec3 side_drawn = eye_side_drawn(c);

    for (int eye = 0; eye < 2; ++eye) {
        SCOPED_TRACE(eye);
        const platform::Matrix4& m = draws[4 + eye].world;
        // The mesh's origin lands on the skin point in the tank.
        const sim::Vec3 skin = rendertest::drawing(rendertest::world_point(c, w.skin_pos[eye][19][8]));
        expect_near(transform(m, 0, 0, 0), skin, 1e-5);
        // The eye's front faces -x in its mesh; the mirror turns the second one round.
        const Point4 front = transform(m, -1, 0, 0, 0);
        const double along = front.x * side_drawn.x + front.y * side_drawn.y + front.z * side_drawn.z;
        if (eye == 0) {
            EXPECT_LT(along, -0.95);
            EXPECT_GT(rendertest::determinant3(m), 0.0);
        } else {
            EXPECT_GT(along, 0.95);
            EXPECT_LT(rendertest::determinant3(m), 0.0);
        }
        EXPECT_LT(along * along, 1.0);  // tilted by 11 degrees, so not exactly along the side
    }
}

TEST(RenderFrame, BodyAndMarkerAreWhereTheSimulationPutsThem) {
    Frame f;
    ASSERT_EQ(f.render(), platform::kOk);
    const std::vector<Draw> draws = indexed_draws(*f.device);
    const sim::Creature& c = *f.scene.creature;
    const sim::SimWorld& w = *f.scene.world;

    for (int ring : {0, 50, 100}) {
        for (int point : {0, 9, 18}) {
            const sim::Vertex& v = w.vertex_plus[ring][point];
            expect_near(transform(draws[6].world, v.px, v.py, v.pz),
                        rendertest::drawing(rendertest::world_point(c, w.skin_pos[1][ring][point])), 1e-5);
            const sim::Vertex& u = w.vertex_minus[ring][point];
            expect_near(transform(draws[7].world, u.px, u.py, u.pz),
                        rendertest::drawing(rendertest::world_point(c, w.skin_pos[0][ring][point])), 1e-5);
        }
    }

    // The marker: a sphere of radius 0.05 at 2 * eye - target.
    const glm::vec3 target = f.state->camera.target;
    const sim::Vec3 centre{-target.x, 8.0 - target.y, -target.z};
    expect_near(transform(draws[8].world, 0, 0, 0), centre, 1e-5);
    expect_near(transform(draws[8].world, 0, 1, 0), sim::Vec3{centre.x, centre.y + 0.05, centre.z}, 1e-5);
}

TEST(RenderFrame, ViewLooksFromTheEyeAtTheSmoothedTarget) {
    for (int level : {0, 1}) {
        SCOPED_TRACE(level);
        Frame f;
        f.view_level = level;
        ASSERT_EQ(f.render(), platform::kOk);
        const platform::Matrix4& view = f.device->view;
        const Point4 eye = transform(view, 0, 4 + 4 * level, 0);
        EXPECT_NEAR(eye.x, 0, 1e-5);
        EXPECT_NEAR(eye.y, 0, 1e-5);
        EXPECT_NEAR(eye.z, 0, 1e-5);
        const glm::vec3 t = f.state->camera.target;
        const Point4 ahead = transform(view, t.x, t.y, t.z);
        EXPECT_NEAR(ahead.x, 0, 1e-4);
        EXPECT_NEAR(ahead.y, 0, 1e-4);
        EXPECT_GT(ahead.z, 0);
        EXPECT_FLOAT_EQ(f.state->far_plane, 18.0f);
    }
}

TEST(RenderFrame, CameraStartsAtTheStartPositionOnTheFirstFrame) {
    Frame f;
    sim::Creature& c = *f.scene.creature;
    const sim::Vec3 start = f.scene.world->start_position;
    c.head_pt = c.head_pt_prev = start;
    ASSERT_EQ(f.render(), platform::kOk);
    EXPECT_FLOAT_EQ(f.state->camera.target.x, static_cast<float>(start.x));
    EXPECT_FLOAT_EQ(f.state->camera.target.y, static_cast<float>(start.z));
    EXPECT_FLOAT_EQ(f.state->camera.target.z, static_cast<float>(start.y));

    // Later frames keep the smoothed target rather than starting again.
    c.head_pt = c.head_pt_prev = sim::Vec3{start.x + 1.0, start.y, start.z};
    ASSERT_EQ(f.render(), platform::kOk);
    EXPECT_GT(f.state->camera.target.x, static_cast<float>(start.x));
    EXPECT_LT(f.state->camera.target.x, static_cast<float>(start.x) + 1.0f);
}

TEST(RenderFrame, ProjectionFollowsTheCreaturesDistance) {
    struct Case {
        sim::Vec3 position;  // simulation frame: the eye is at (0, 0, 4)
        float near_plane;
    };
    for (const Case& k : {Case{{0.0, 3.0, 0.0}, 2.5f}, Case{{0.0, 0.0, 3.2}, 0.3f}, Case{{0.3, 0.0, 4.0}, 0.01f}}) {
        Frame f;
        f.scene.creature->position = k.position;
        ASSERT_EQ(f.render(), platform::kOk);
        EXPECT_NEAR(f.state->near_plane, k.near_plane, 1e-6);
        const auto& p = f.device->projection.m;
        EXPECT_NEAR(-p[3][2] / p[2][2], k.near_plane, 1e-5);         // near plane
        EXPECT_NEAR(p[1][1], 1.0 / std::tan(0.10471976 / 2), 1e-3);  // 6 degrees vertical
        EXPECT_NEAR(p[0][0], p[1][1] * 480.0 / 640.0, 1e-3);         // aspect of the back buffer
        EXPECT_EQ(p[2][3], 1.0f);
    }
}

TEST(RenderFrame, FirstFrameBuildsTheTankAndDrawsOneDiscardedRandomNumber) {
    Frame f;
    sim::RandomSource expected = f.scene.world->random;
    (void)sim::random_next(expected);
    ASSERT_EQ(f.render(), platform::kOk);
    EXPECT_TRUE(f.state->tank_built);
    EXPECT_EQ(f.scene.world->random.state, expected.state);
    ASSERT_EQ(f.render(), platform::kOk);
    EXPECT_EQ(f.scene.world->random.state, expected.state);  // only once
}

TEST(RenderFrame, RefusedSceneDrawsNothingAndStillSucceeds) {
    Frame f;
    f.device->begin_scene_answer = platform::kDeviceLost;
    const uint32_t random_before = f.scene.world->random.state;
    EXPECT_EQ(f.render(), platform::kOk);
    EXPECT_EQ(f.device->count_of(DeviceOp::DrawIndexedPrimitiveUp), 0);
    EXPECT_EQ(f.device->count_of(DeviceOp::DrawPrimitive), 0);
    EXPECT_EQ(f.device->count_of(DeviceOp::EndScene), 0);
    EXPECT_EQ(f.scene.world->random.state, random_before);

    // The next frame that draws is complete, with the one discarded draw.
    f.device->begin_scene_answer = platform::kOk;
    f.device->clear_calls();
    EXPECT_EQ(f.render(), platform::kOk);
    EXPECT_EQ(f.device->count_of(DeviceOp::DrawIndexedPrimitiveUp), 9);
    EXPECT_NE(f.scene.world->random.state, random_before);
}

TEST(RenderFrame, InformationTextOnlyWhileShown) {
    Frame f;
    f.settings.d_show_info = false;
    ASSERT_EQ(f.render(), platform::kOk);
    EXPECT_EQ(f.device->count_of(DeviceOp::DrawPrimitive), 0);
    EXPECT_EQ(f.device->count_of(DeviceOp::CaptureStateBlock), 0);

    f.settings.d_show_info = true;
    f.device->clear_calls();
    ASSERT_EQ(f.render(), platform::kOk);
    EXPECT_GE(f.device->count_of(DeviceOp::DrawPrimitive), 1);
}

}  // namespace
