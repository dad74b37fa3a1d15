#include "render/render_frame.h"

#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <glm/geometric.hpp>

#include "render/drawing_transforms.h"
#include "render/hsv_colour.h"

namespace render {

using platform::Result;

namespace {

constexpr uint32_t kBackground = 0xFF000028;  // clear and fog colour
constexpr int kEyeRing = 19;                  // skin grid point the eyes sit on
constexpr int kEyePoint = 8;
constexpr double kEyeTiltAngle = 0.19198621771937624;  // 11 degrees
constexpr float kMarkerScale = 0.05f;
constexpr double kBodyHue = 190.0;  // degrees
constexpr double kBodySaturation = 0.25;
constexpr double kBodyValue = 0.8;

constexpr int kBodyVertices = sim::kRings * sim::kRingPoints;                    // 1919
constexpr int kBodyTriangles = sim::kBodyIndices / 3;                            // 3600
constexpr int kSphereVertices = sim::kSphereLongitudes * sim::kSphereLatitudes;  // 190

platform::Material material_of(float r, float g, float b) {
    platform::Material m{};
    m.diffuse = platform::ColorValue{r, g, b, 1.0f};
    m.ambient = m.diffuse;
    return m;
}

void set_world(platform::GraphicsDevice& d, const glm::mat4& world) {
    d.set_transform(platform::TransformType::World, to_device_matrix(world));
}

void draw_lines(platform::GraphicsDevice& d, const sim::Vertex* vertices, uint32_t vertex_count,
                const uint16_t* indices, uint32_t lines) {
    d.draw_indexed_primitive_up(platform::PrimitiveType::LineList, 0, vertex_count, lines, indices,
                                platform::kFormatIndex16, vertices, sizeof(sim::Vertex));
}

void draw_triangles(platform::GraphicsDevice& d, const sim::Vertex* vertices, uint32_t vertex_count,
                    const uint16_t* indices, uint32_t triangles) {
    d.draw_indexed_primitive_up(platform::PrimitiveType::TriangleList, 0, vertex_count, triangles, indices,
                                platform::kFormatIndex16, vertices, sizeof(sim::Vertex));
}

// The eye's tilt: 11 degrees about (0, 1, -0.8), a simulation rotation.
glm::mat4 eye_tilt() {
    sim::Vec3 axis;
    sim::vec_normalize(axis, sim::Vec3{0.0, 1.0, -0.8});
    sim::Quat tilt;
    sim::quat_from_axis_angle(tilt, axis, kEyeTiltAngle);
    return drawing_rotation(tilt);
}

// World matrix of an eye on the skin point `skin_point` (shape frame,
// drawing coordinates); `mirrored` reflects it in the plane x = 0 for the
// +x side. In the device's row-vector order the factors are
// tilt, mirror, segment rotation, translation to the skin point, creature
// rotation, creature translation; GLM composes them right to left.
glm::mat4 eye_world(const sim::Creature& creature, const glm::mat4& body, const glm::vec3& skin_point, bool mirrored) {
    const int segment = creature.skin_segment[kEyeRing][kEyePoint];
    const glm::mat4 segment_rotation =
        segment >= 0 && segment < sim::kSegments ? drawing_rotation(creature.segment_quat[segment]) : glm::mat4(1.0f);
    const glm::mat4 mirror = glm::scale(glm::mat4(1.0f), glm::vec3(mirrored ? -1.0f : 1.0f, 1.0f, 1.0f));
    return body * glm::translate(glm::mat4(1.0f), skin_point) * segment_rotation * mirror * eye_tilt();
}

void draw_tank(platform::GraphicsDevice& d, const TankGeometry& tank) {
    const glm::mat4 identity(1.0f);
    set_world(d, identity);
    d.set_material(material_of(0.25f, 0.55f, 0.4f));
    d.set_texture(0, nullptr);
    draw_lines(d, tank.floor_along_x, kFloorVertices, tank.floor_indices, kFloorLines);
    draw_lines(d, tank.floor_along_z, kFloorVertices, tank.floor_indices, kFloorLines);

    set_world(d, identity);
    d.set_material(material_of(0.35f, 0.45f, 0.65f));
    d.set_texture(0, nullptr);
    draw_lines(d, tank.posts, kPostVertices, tank.post_indices, kWallPosts);
    draw_lines(d, tank.rings, kRingVertices, tank.ring_indices, kRingLines);
}

void draw_eyes(platform::GraphicsDevice& d, const sim::Creature& creature, const sim::SimWorld& world,
               const glm::mat4& body) {
    d.set_material(material_of(0.35f, 0.35f, 0.35f));
    const glm::vec3 minus_side = vertex_position(world.vertex_minus[kEyeRing][kEyePoint]);
    set_world(d, eye_world(creature, body, minus_side, false));
    d.set_render_state(platform::RenderState::CullMode, platform::kCullCounterClockwise);
    draw_triangles(d, world.eye_vertices, sim::kEyeVertices, world.eye_indices, sim::kEyeIndices / 3);

    // The mirror turns the triangles' winding round, hence the opposite culling.
    const glm::vec3 plus_side = vertex_position(world.vertex_plus[kEyeRing][kEyePoint]);
    set_world(d, eye_world(creature, body, plus_side, true));
    d.set_render_state(platform::RenderState::CullMode, platform::kCullClockwise);
    draw_triangles(d, world.eye_vertices, sim::kEyeVertices, world.eye_indices, sim::kEyeIndices / 3);
}

void draw_body(platform::GraphicsDevice& d, sim::SimWorld& world, const glm::mat4& body, RendererState& state) {
    set_world(d, body);
    d.set_texture(0, nullptr);
    if (!state.body_draw_started) {
        (void)sim::random_next(world.random);  // discarded; keeps the sequence of later draws
        state.body_draw_started = true;
    }
    const Rgb colour = hsv_to_rgb(kBodyHue, kBodySaturation, kBodyValue);
    d.set_material(material_of(colour.r, colour.g, colour.b));
    d.set_render_state(platform::RenderState::CullMode, platform::kCullCounterClockwise);
    draw_triangles(d, &world.vertex_plus[0][0], kBodyVertices, world.body_indices[0], kBodyTriangles);
    d.set_render_state(platform::RenderState::CullMode, platform::kCullClockwise);
    draw_triangles(d, &world.vertex_minus[0][0], kBodyVertices, world.body_indices[1], kBodyTriangles);
}

// A small sphere at the eye's reflection through the target, behind the viewer.
void draw_camera_marker(platform::GraphicsDevice& d, const sim::SimWorld& world, const glm::vec3& eye,
                        const glm::vec3& target) {
    d.set_render_state(platform::RenderState::AlphaBlendEnable, 0);
    d.set_render_state(platform::RenderState::NormalizeNormals, 1);
    d.set_texture(0, nullptr);
    d.set_material(material_of(1.0f, 1.0f, 1.0f));
    const glm::mat4 place = glm::translate(glm::mat4(1.0f), 2.0f * eye - target);
    set_world(d, glm::scale(place, glm::vec3(kMarkerScale)));
    draw_triangles(d, &world.sphere_vertices[0][0], kSphereVertices, world.sphere_indices, sim::kSphereIndices / 3);
}

}  // namespace

void reset_renderer_state(RendererState& state) {
    state.camera_started = false;
    state.camera = CameraFollow{glm::vec3(0.0f), glm::vec3(0.0f)};
    state.near_plane = 0.0f;
    state.far_plane = kFarPlane;
    state.body_draw_started = false;
    state.tank_built = false;
}

Result render_frame(const FrameContext& frame, RendererState& state) {
    if (frame.device == nullptr || frame.creature == nullptr || frame.world == nullptr || frame.settings == nullptr) {
        return platform::kFail;
    }
    platform::GraphicsDevice& d = *frame.device;
    const sim::Creature& creature = *frame.creature;
    sim::SimWorld& world = *frame.world;

    bound_camera_settings(*frame.settings);

    if (!state.camera_started) {
        state.camera.target = to_drawing_point(world.start_position);
        state.camera.velocity = glm::vec3(0.0f);
        state.camera_started = true;
    }
    smooth_camera_target(state.camera, to_drawing_point(creature.head_pt_prev), to_drawing_point(creature.head_pt),
                         world.step_dt);

    const glm::vec3 eye = eye_position(frame.view_level);
    const glm::mat4 view = glm::lookAtLH(eye, state.camera.target, glm::vec3(0.0f, 1.0f, 0.0f));
    d.set_transform(platform::TransformType::View, to_device_matrix(view));

    const float distance = glm::length(to_drawing_point(creature.position) - eye);
    state.near_plane = near_plane_distance(distance);
    state.far_plane = kFarPlane;
    // A back buffer without area (never seen while drawing) keeps the aspect finite.
    const float aspect =
        frame.back_buffer_width > 0 && frame.back_buffer_height > 0
            ? static_cast<float>(frame.back_buffer_width) / static_cast<float>(frame.back_buffer_height)
            : 1.0f;
    const glm::mat4 projection = glm::perspectiveLH_ZO(kFieldOfView, aspect, state.near_plane, state.far_plane);
    d.set_transform(platform::TransformType::Projection, to_device_matrix(projection));

    d.set_vertex_shader(platform::kFvfSceneVertex);
    d.clear(0, nullptr, platform::kClearTarget | platform::kClearZBuffer, kBackground, 1.0f, 0);
    d.set_render_state(platform::RenderState::FogColor, kBackground);

    if (!state.tank_built) {
        build_tank_geometry(state.tank);
        state.tank_built = true;
    }

    if (platform::failed(d.begin_scene())) {
        return platform::kOk;
    }
    d.set_render_state(platform::RenderState::CullMode, platform::kCullCounterClockwise);
    d.set_render_state(platform::RenderState::AlphaBlendEnable, 0);

    draw_tank(d, state.tank);

    const glm::mat4 body =
        glm::translate(glm::mat4(1.0f), to_drawing_point(creature.position)) * drawing_rotation(creature.orientation);
    draw_eyes(d, creature, world, body);
    draw_body(d, world, body, state);
    draw_camera_marker(d, world, eye, state.camera.target);

    if (frame.settings->d_show_info && frame.overlay != nullptr) {
        draw_information_text(*frame.overlay, frame.info);
    }

    d.end_scene();
    return platform::kOk;
}

}  // namespace render
