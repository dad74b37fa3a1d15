// Pixels drawn by the OpenGL device on the offscreen graphics system,
// compared with colours worked out from the fixed-function formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/egl/egl_headless_graphics.h"
#include "platform/gl/gl_device.h"
#include "tests/support/present_params.h"

namespace {

using namespace platform;
using test_support::windowed_params;

constexpr uint32_t kSize = 64;
constexpr uint32_t kBackground = 0xFF000028;

struct SceneVertex {
    float x, y, z, nx, ny, nz, u, v;
};

struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 28);

struct Rgb {
    int r, g, b;
};

::testing::AssertionResult near(const Rgb& actual, const Rgb& expected, int tolerance = 2) {
    if (std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
        std::abs(actual.b - expected.b) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "got (" << actual.r << ", " << actual.g << ", " << actual.b
                                         << ") expected (" << expected.r << ", " << expected.g << ", " << expected.b
                                         << ")";
}

Rgb rgb_of(uint32_t argb) { return Rgb{int((argb >> 16) & 255), int((argb >> 8) & 255), int(argb & 255)}; }

int to_byte(float value) { return int(std::lround(std::fmin(std::fmax(value, 0.0f), 1.0f) * 255.0f)); }

Matrix4 identity() { return Matrix4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}; }

// The program's two lights, as its device hook sets them.
Light directional_light(float x, float y, float z, float level) {
    Light light{};
    light.type = kLightDirectional;
    const float length = std::sqrt(x * x + y * y + z * z);
    light.direction = Vector3f{x / length, y / length, z / length};
    light.position = Vector3f{x, y, z};
    light.diffuse = ColorValue{level, level, level, 0};
    light.range = 1000.0f;
    return light;
}

class HeadlessDevice : public ::testing::Test {
protected:
    void SetUp() override { open(kDeviceHal, windowed_params({.width = kSize, .height = kSize})); }

    void open(DeviceType type, PresentParams params) {
        system_ = make_headless_graphics_system_factory(kSize, kSize)->create(kGraphicsSystemVersion);
        ASSERT_NE(system_, nullptr) << "no offscreen OpenGL (EGL surfaceless)";
        ASSERT_EQ(system_->create_device(0, type, 0, kCreateHardwareVertexProcessing, params, &device_), kOk);
        width_ = params.back_buffer_width;
        height_ = params.back_buffer_height;
    }

    void TearDown() override {
        if (device_ != nullptr) device_->release();
        if (system_ != nullptr) {
            EXPECT_EQ(system_->release(), 0u);
        }
    }

    void clear_background() {
        ASSERT_EQ(device_->clear(0, nullptr, kClearTarget | kClearZBuffer, kBackground, 1.0f, 0), kOk);
    }

    void read() {
        pixels_.assign(size_t{width_} * height_ * 4, 0);
        ASSERT_EQ(read_pixels(device_, pixels_.data(), width_, height_), kOk);
    }

    // Pixel (x, y) counted from the top-left corner.
    Rgb at(uint32_t x, uint32_t y) const {
        const uint8_t* p = &pixels_[(size_t{y} * width_ + x) * 4];
        return Rgb{p[0], p[1], p[2]};
    }

    // The pixel under a point in clip space (x, y in -1..1, y up).
    Rgb at_ndc(float x, float y) const {
        const auto column = static_cast<uint32_t>((x + 1.0f) * 0.5f * float(width_));
        const auto row = static_cast<uint32_t>((1.0f - y) * 0.5f * float(height_));
        return at(column, row);
    }

    void draw_triangles(const SceneVertex* vertices, uint32_t vertex_count, const uint16_t* indices,
                        uint32_t triangles) {
        ASSERT_EQ(device_->set_vertex_shader(kFvfSceneVertex), kOk);
        ASSERT_EQ(device_->draw_indexed_primitive_up(PrimitiveType::TriangleList, 0, vertex_count, triangles, indices,
                                                     kFormatIndex16, vertices, sizeof(SceneVertex)),
                  kOk);
    }

    void unlit() { ASSERT_EQ(device_->set_render_state(RenderState::Lighting, 0), kOk); }

    GraphicsSystem* system_ = nullptr;
    GraphicsDevice* device_ = nullptr;
    uint32_t width_ = 0, height_ = 0;
    std::vector<uint8_t> pixels_;
};

// A triangle that covers the whole target, at depth z, with one normal.
void covering_triangle(SceneVertex out[3], float z, float nx, float ny, float nz) {
    out[0] = SceneVertex{-1, -1, z, nx, ny, nz, 0, 0};
    out[1] = SceneVertex{3, -1, z, nx, ny, nz, 0, 0};
    out[2] = SceneVertex{-1, 3, z, nx, ny, nz, 0, 0};
}

const uint16_t kOneTriangle[] = {0, 1, 2};

TEST_F(HeadlessDevice, ClearFillsTheTargetOrOnlyTheGivenRectangles) {
    clear_background();
    const int32_t rect[4] = {8, 4, 16, 12};  // x1, y1, x2, y2 from the top-left
    ASSERT_EQ(device_->clear(1, rect, kClearTarget, 0xFFFF0000, 1.0f, 0), kOk);
    read();
    EXPECT_TRUE(near(at(0, 0), rgb_of(kBackground)));
    EXPECT_TRUE(near(at(63, 63), rgb_of(kBackground)));
    EXPECT_TRUE(near(at(8, 4), Rgb{255, 0, 0}));
    EXPECT_TRUE(near(at(15, 11), Rgb{255, 0, 0}));
    EXPECT_TRUE(near(at(16, 11), rgb_of(kBackground)));
    EXPECT_TRUE(near(at(15, 12), rgb_of(kBackground)));
    // No depth buffer asked for: clearing depth is refused.
    EXPECT_EQ(device_->clear(0, nullptr, kClearStencil, 0, 1.0f, 0), kInvalidCall);
}

TEST_F(HeadlessDevice, TwoDirectionalLightsAmbientAndMaterialGiveTheFixedFunctionColour) {
    const Light light0 = directional_light(-0.5f, -1.0f, -1.5f, 0.5f);
    const Light light1 = directional_light(1.0f, -1.5f, 1.0f, 0.4f);
    ASSERT_EQ(device_->set_light(0, light0), kOk);
    ASSERT_EQ(device_->set_light(1, light1), kOk);
    ASSERT_EQ(device_->light_enable(0, true), kOk);
    ASSERT_EQ(device_->light_enable(1, true), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::Ambient, 0x00404040), kOk);
    Material material{};
    material.diffuse = material.ambient = ColorValue{0.25f, 0.55f, 0.4f, 1.0f};
    ASSERT_EQ(device_->set_material(material), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullNone), kOk);
    // World: a quarter turn about z, row-vector convention, so the model
    // normal (1, 0, 0) becomes (0, 1, 0).
    Matrix4 world = identity();
    world.m[0][0] = 0, world.m[0][1] = 1, world.m[1][0] = -1, world.m[1][1] = 0;
    ASSERT_EQ(device_->set_transform(TransformType::World, world), kOk);

    const float n[3] = {0, 1, 0};
    float sum = 64.0f / 255.0f;
    for (const Light* light : {&light0, &light1}) {
        const float n_dot_l = -(n[0] * light->direction.x + n[1] * light->direction.y + n[2] * light->direction.z);
        sum += std::fmax(0.0f, n_dot_l) * light->diffuse.r;
    }
    const Rgb expected{to_byte(0.25f * sum), to_byte(0.55f * sum), to_byte(0.4f * sum)};

    clear_background();
    SceneVertex triangle[3];
    covering_triangle(triangle, 0.5f, 1, 0, 0);
    draw_triangles(triangle, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at(32, 32), expected));
    EXPECT_TRUE(near(at(1, 62), expected));

    // A shorter normal with normalisation on lights the same.
    ASSERT_EQ(device_->set_render_state(RenderState::NormalizeNormals, 1), kOk);
    covering_triangle(triangle, 0.5f, 0.25f, 0, 0);
    draw_triangles(triangle, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at(32, 32), expected));

    // Lighting off: the vertex has no colour, so white.
    unlit();
    draw_triangles(triangle, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at(32, 32), Rgb{255, 255, 255}));
}

TEST_F(HeadlessDevice, LinearVertexFogBlendsTowardsTheFogColourByDepthOrRange) {
    unlit();
    ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullNone), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::FogEnable, 1), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::FogVertexMode, kFogLinear), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::FogColor, 0xFF0000FF), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::FogStart, gl::float_bits(0.0f)), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::FogEnd, gl::float_bits(2.0f)), kOk);
    clear_background();

    // By depth: a plane at z = 0.5 is fogged by (2 - 0.5) / 2 = 0.75.
    SceneVertex plane[3];
    covering_triangle(plane, 0.5f, 0, 0, -1);
    draw_triangles(plane, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at(10, 10), Rgb{191, 191, 255}));

    // By range: every corner lies at distance 1 from the eye (though at
    // depths 1, 0.8, 0.8), so the whole triangle is fogged by 0.5.
    ASSERT_EQ(device_->set_render_state(RenderState::RangeFogEnable, 1), kOk);
    clear_background();
    const SceneVertex on_sphere[3] = {{0, 0, 1, 0, 0, -1, 0, 0}, {0.6f, 0, 0.8f, 0, 0, -1, 0, 0},
                                      {0, 0.6f, 0.8f, 0, 0, -1, 0, 0}};
    draw_triangles(on_sphere, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at_ndc(0.15f, 0.15f), Rgb{128, 128, 255}));
}

TEST_F(HeadlessDevice, LineListsDrawEachPairAsItsOwnSegment) {
    unlit();
    clear_background();
    // Rows 16 and 40 from the top; the second segment covers only the right half.
    auto row_y = [](float row) { return 1.0f - (row + 0.5f) * 2.0f / float(kSize); };
    const SceneVertex lines[4] = {{-1, row_y(16), 0.5f, 0, 1, 0, 0, 0}, {1, row_y(16), 0.5f, 0, 1, 0, 0, 0},
                                  {0, row_y(40), 0.5f, 0, 1, 0, 0, 0}, {1, row_y(40), 0.5f, 0, 1, 0, 0, 0}};
    const uint16_t indices[4] = {0, 1, 2, 3};
    ASSERT_EQ(device_->set_vertex_shader(kFvfSceneVertex), kOk);
    ASSERT_EQ(device_->draw_indexed_primitive_up(PrimitiveType::LineList, 0, 4, 2, indices, kFormatIndex16, lines,
                                                 sizeof(SceneVertex)),
              kOk);
    read();
    EXPECT_TRUE(near(at(5, 16), Rgb{255, 255, 255}));
    EXPECT_TRUE(near(at(60, 16), Rgb{255, 255, 255}));
    EXPECT_TRUE(near(at(5, 15), rgb_of(kBackground)));
    EXPECT_TRUE(near(at(50, 40), Rgb{255, 255, 255}));
    EXPECT_TRUE(near(at(10, 40), rgb_of(kBackground)));  // nothing joins the two segments
    EXPECT_TRUE(near(at(32, 28), rgb_of(kBackground)));
}

// A triangle list longer than the driver takes in one pass is drawn in
// batches: every triangle of every batch lands where it should, and a draw
// whose indices leave the vertices it gives is refused.
TEST_F(HeadlessDevice, LongTriangleListsDrawWholeAndStrayIndicesAreRefused) {
    unlit();
    clear_background();
    constexpr uint32_t kCells = 32;  // per side: 2,048 triangles, 6,144 indices
    constexpr uint32_t kSide = kCells + 1;
    std::vector<SceneVertex> grid;
    for (uint32_t row = 0; row < kSide; ++row) {
        for (uint32_t column = 0; column < kSide; ++column) {
            const float x = -1.0f + 2.0f * float(column) / float(kCells), y = 1.0f - 2.0f * float(row) / float(kCells);
            grid.push_back(SceneVertex{x, y, 0.5f, 0, 0, -1, 0, 0});
        }
    }
    std::vector<uint16_t> indices;
    for (uint32_t row = 0; row < kCells; ++row) {
        for (uint32_t column = 0; column < kCells; ++column) {
            const auto corner = static_cast<uint16_t>(row * kSide + column);
            const uint16_t cell[6] = {corner, static_cast<uint16_t>(corner + 1), static_cast<uint16_t>(corner + kSide),
                                      static_cast<uint16_t>(corner + 1), static_cast<uint16_t>(corner + kSide + 1),
                                      static_cast<uint16_t>(corner + kSide)};
            indices.insert(indices.end(), cell, cell + 6);
        }
    }
    ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullNone), kOk);
    draw_triangles(grid.data(), kSide * kSide, indices.data(), kCells * kCells * 2);
    read();
    int uncovered = 0;
    for (uint32_t y = 0; y < height_; ++y) {
        for (uint32_t x = 0; x < width_; ++x) uncovered += near(at(x, y), Rgb{255, 255, 255}) ? 0 : 1;
    }
    EXPECT_EQ(uncovered, 0);

    // The last index names a vertex past the count given; then one below
    // the first vertex given.
    ASSERT_EQ(device_->draw_indexed_primitive_up(PrimitiveType::TriangleList, 0, kSide * kSide - 1, kCells * kCells * 2,
                                                 indices.data(), kFormatIndex16, grid.data(), sizeof(SceneVertex)),
              kInvalidCall);
    ASSERT_EQ(device_->draw_indexed_primitive_up(PrimitiveType::TriangleList, 1, kSide * kSide - 1, kCells * kCells * 2,
                                                 indices.data(), kFormatIndex16, grid.data(), sizeof(SceneVertex)),
              kInvalidCall);
}

TEST_F(HeadlessDevice, CullingGoesByHowAFaceWindsOnScreen) {
    unlit();
    // Left: counter-clockwise as seen on screen (left, right, top).
    // Right: the same shape wound clockwise.
    const SceneVertex faces[6] = {{-0.9f, -0.5f, 0.5f, 0, 0, -1, 0, 0}, {-0.1f, -0.5f, 0.5f, 0, 0, -1, 0, 0},
                                  {-0.5f, 0.5f, 0.5f, 0, 0, -1, 0, 0},  {0.1f, -0.5f, 0.5f, 0, 0, -1, 0, 0},
                                  {0.5f, 0.5f, 0.5f, 0, 0, -1, 0, 0},   {0.9f, -0.5f, 0.5f, 0, 0, -1, 0, 0}};
    const uint16_t indices[6] = {0, 1, 2, 3, 4, 5};
    const Rgb white{255, 255, 255}, background = rgb_of(kBackground);
    struct Case {
        uint32_t mode;
        Rgb left, right;
    } cases[] = {{kCullCounterClockwise, background, white}, {kCullClockwise, white, background}, {kCullNone, white, white}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        clear_background();
        ASSERT_EQ(device_->set_render_state(RenderState::CullMode, c.mode), kOk);
        draw_triangles(faces, 6, indices, 2);
        read();
        EXPECT_TRUE(near(at_ndc(-0.5f, -0.2f), c.left));
        EXPECT_TRUE(near(at_ndc(0.5f, -0.2f), c.right));
    }
}

TEST_F(HeadlessDevice, DepthTestKeepsTheNearerSurfaceOnlyWhileEnabled) {
    ASSERT_EQ(device_->set_render_state(RenderState::ZEnable, 1), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullNone), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::Ambient, 0x00FFFFFF), kOk);
    Material red{}, green{};
    red.ambient = ColorValue{1, 0, 0, 1};
    green.ambient = ColorValue{0, 1, 0, 1};
    SceneVertex near_plane[3], far_plane[3];
    covering_triangle(near_plane, 0.2f, 0, 0, -1);
    covering_triangle(far_plane, 0.8f, 0, 0, -1);

    clear_background();
    ASSERT_EQ(device_->set_material(red), kOk);
    draw_triangles(near_plane, 3, kOneTriangle, 1);
    ASSERT_EQ(device_->set_material(green), kOk);
    draw_triangles(far_plane, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at(32, 32), Rgb{255, 0, 0}));

    ASSERT_EQ(device_->set_render_state(RenderState::ZEnable, 0), kOk);
    draw_triangles(far_plane, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at(32, 32), Rgb{0, 255, 0}));

    // Depth beyond the far plane (z > 1) is clipped away.
    ASSERT_EQ(device_->set_render_state(RenderState::ZEnable, 1), kOk);
    clear_background();
    SceneVertex beyond[3];
    covering_triangle(beyond, 1.5f, 0, 0, -1);
    draw_triangles(beyond, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at(32, 32), rgb_of(kBackground)));
}

// Many draws from memory, each carrying far more vertices than it uses and
// its own material, run the vertex ring round several times and the uniform
// ring at least once; one draw larger than the vertex ring makes it grow.
// Every cell must show its own draw's colour.
TEST_F(HeadlessDevice, DrawsFromMemoryKeepTheirVerticesAndMaterialsAcrossRingWraps) {
    ASSERT_EQ(device_->set_render_state(RenderState::Ambient, 0), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullNone), kOk);
    constexpr uint32_t kCells = 8;             // per side, 8 x 8 pixels each
    constexpr uint32_t kPadded = 4096;         // vertices sent per draw (128 KB)
    constexpr uint32_t kLarge = 40000;         // vertices of the draw larger than the ring
    std::vector<SceneVertex> vertices(kLarge);
    auto colour_of = [](uint32_t cell, uint32_t pass) {
        return ColorValue{float((cell * 37 + pass * 11) % 256) / 255.0f, float((cell * 91 + pass) % 256) / 255.0f,
                          float((cell * 13 + pass * 53) % 256) / 255.0f, 1.0f};
    };
    // A quad over one cell, its four vertices at `base` in the array.
    auto draw_cell = [&](uint32_t cell, uint32_t pass, uint32_t base, uint32_t vertex_count) {
        const float size = 2.0f / kCells;
        const float x = -1.0f + float(cell % kCells) * size, y = 1.0f - float(cell / kCells + 1) * size;
        vertices[base + 0] = SceneVertex{x, y, 0.5f, 0, 0, 1, 0, 0};
        vertices[base + 1] = SceneVertex{x + size, y, 0.5f, 0, 0, 1, 0, 0};
        vertices[base + 2] = SceneVertex{x + size, y + size, 0.5f, 0, 0, 1, 0, 0};
        vertices[base + 3] = SceneVertex{x, y + size, 0.5f, 0, 0, 1, 0, 0};
        const uint16_t indices[6] = {uint16_t(base), uint16_t(base + 1), uint16_t(base + 2),
                                     uint16_t(base), uint16_t(base + 2), uint16_t(base + 3)};
        Material material{};
        material.emissive = colour_of(cell, pass);
        ASSERT_EQ(device_->set_material(material), kOk);
        draw_triangles(vertices.data(), vertex_count, indices, 2);
    };
    auto expect_cells = [&](uint32_t pass, uint32_t large_cell) {
        read();
        for (uint32_t cell = 0; cell < kCells * kCells; ++cell) {
            const ColorValue c = colour_of(cell, cell == large_cell ? pass + 1 : pass);
            EXPECT_TRUE(near(at(cell % kCells * 8 + 4, cell / kCells * 8 + 4), Rgb{to_byte(c.r), to_byte(c.g), to_byte(c.b)}))
                << "cell " << cell << " pass " << pass;
        }
    };

    clear_background();
    for (uint32_t pass = 0; pass < 6; ++pass) {
        for (uint32_t cell = 0; cell < kCells * kCells; ++cell) draw_cell(cell, pass, (cell * 61) % (kPadded - 4), kPadded);
    }
    expect_cells(5, kCells * kCells);

    // 40000 vertices of 32 bytes: more than the ring holds.
    draw_cell(9, 6, kLarge - 4, kLarge);
    for (uint32_t cell = 10; cell < 20; ++cell) draw_cell(cell, 5, cell, kPadded);
    expect_cells(5, 9);
}

// A dynamic buffer rewritten between draws: each draw shows what the
// unlock before it left, from where it starts.
TEST_F(HeadlessDevice, ADynamicBufferRewrittenBetweenDrawsDrawsWhatEachUnlockLeft) {
    VertexBuffer* buffer = nullptr;
    ASSERT_EQ(device_->create_vertex_buffer(12 * sizeof(ScreenVertex), kUsageWriteOnly | kUsageDynamic, 0,
                                            kPoolDefault, &buffer),
              kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::ZEnable, 0), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullNone), kOk);
    ASSERT_EQ(device_->set_vertex_shader(kFvfScreenVertex), kOk);
    const uint32_t colours[4] = {0xFFC02010, 0xFF10C020, 0xFF2010C0, 0xFFC0C010};
    clear_background();
    for (uint32_t quadrant = 0; quadrant < 4; ++quadrant) {
        const float x = float(quadrant % 2) * 32 - 0.5f, y = float(quadrant / 2) * 32 - 0.5f;
        const uint32_t c = colours[quadrant];
        const ScreenVertex quad[6] = {{x, y, 0.5f, 1, c, 0, 0},           {x + 32, y, 0.5f, 1, c, 0, 0},
                                      {x + 32, y + 32, 0.5f, 1, c, 0, 0}, {x, y, 0.5f, 1, c, 0, 0},
                                      {x + 32, y + 32, 0.5f, 1, c, 0, 0}, {x, y + 32, 0.5f, 1, c, 0, 0}};
        const uint32_t start = (quadrant % 2) * 6;  // odd quadrants are drawn from the second half
        void* data = nullptr;
        ASSERT_EQ(buffer->lock(0, 0, &data, kLockDiscard), kOk);
        std::memset(data, 0, 12 * sizeof(ScreenVertex));
        std::memcpy(static_cast<ScreenVertex*>(data) + start, quad, sizeof quad);
        ASSERT_EQ(buffer->unlock(), kOk);
        ASSERT_EQ(device_->set_stream_source(0, buffer, sizeof(ScreenVertex)), kOk);
        ASSERT_EQ(device_->draw_primitive(PrimitiveType::TriangleList, start, 2), kOk);
    }
    read();
    for (uint32_t quadrant = 0; quadrant < 4; ++quadrant) {
        EXPECT_TRUE(near(at(quadrant % 2 * 32 + 16, quadrant / 2 * 32 + 16), rgb_of(colours[quadrant])))
            << "quadrant " << quadrant;
    }
    ASSERT_EQ(device_->set_stream_source(0, nullptr, 0), kOk);
    EXPECT_EQ(buffer->release(), 0u);
}

// The text overlay's way of drawing: an A4R4G4B4 texture modulated with the
// vertex colour, alpha-tested (greater or equal) and blended over the scene,
// from a dynamic vertex buffer of screen-space vertices.
class TexturedQuad : public HeadlessDevice {
protected:
    void SetUp() override {
        HeadlessDevice::SetUp();
        ASSERT_EQ(device_->create_texture(4, 1, 1, 0, kFormatA4R4G4B4, kPoolManaged, &texture_), kOk);
        LockedRect locked{};
        ASSERT_EQ(texture_->lock_rect(0, locked, 0), kOk);
        const uint16_t texels[4] = {0x0000, 0xFFFF, 0x8FFF, 0x1FFF};  // alpha 0, 15, 8 and 1 of 15
        std::memcpy(locked.bits, texels, sizeof texels);
        ASSERT_EQ(texture_->unlock_rect(0), kOk);
        ASSERT_EQ(device_->create_vertex_buffer(6 * sizeof(ScreenVertex), kUsageWriteOnly | kUsageDynamic, 0,
                                                kPoolDefault, &buffer_),
                  kOk);
    }

    void TearDown() override {
        if (buffer_ != nullptr) buffer_->release();
        if (texture_ != nullptr) texture_->release();
        HeadlessDevice::TearDown();
    }

    void set_overlay_state(uint32_t alpha_reference) {
        ASSERT_EQ(device_->set_texture(0, texture_), kOk);
        ASSERT_EQ(device_->set_render_state(RenderState::ZEnable, 0), kOk);
        ASSERT_EQ(device_->set_render_state(RenderState::AlphaBlendEnable, 1), kOk);
        ASSERT_EQ(device_->set_render_state(RenderState::SrcBlend, kBlendSourceAlpha), kOk);
        ASSERT_EQ(device_->set_render_state(RenderState::DestBlend, kBlendInverseSourceAlpha), kOk);
        ASSERT_EQ(device_->set_render_state(RenderState::AlphaTestEnable, 1), kOk);
        ASSERT_EQ(device_->set_render_state(RenderState::AlphaRef, alpha_reference), kOk);
        ASSERT_EQ(device_->set_render_state(RenderState::AlphaFunc, kCompareGreaterEqual), kOk);
        ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullCounterClockwise), kOk);
        ASSERT_EQ(device_->set_texture_stage_state(0, TextureStageState::ColorOp, kTextureOpModulate), kOk);
        ASSERT_EQ(device_->set_texture_stage_state(0, TextureStageState::ColorArg1, kTextureArgTexture), kOk);
        ASSERT_EQ(device_->set_texture_stage_state(0, TextureStageState::ColorArg2, kTextureArgDiffuse), kOk);
        ASSERT_EQ(device_->set_texture_stage_state(0, TextureStageState::AlphaOp, kTextureOpModulate), kOk);
        ASSERT_EQ(device_->set_texture_stage_state(0, TextureStageState::AlphaArg1, kTextureArgTexture), kOk);
        ASSERT_EQ(device_->set_texture_stage_state(0, TextureStageState::AlphaArg2, kTextureArgDiffuse), kOk);
    }

    // A 64 x 16 quad at the top-left corner, one texel per 16 pixels.
    void draw_quad() {
        void* data = nullptr;
        ASSERT_EQ(buffer_->lock(0, 0, &data, kLockDiscard), kOk);
        const float x = 0, y = 0, w = 64, h = 16;
        const ScreenVertex quad[6] = {
            {x - 0.5f, y + h - 0.5f, 0.9f, 1.0f, kColour, 0, 1}, {x - 0.5f, y - 0.5f, 0.9f, 1.0f, kColour, 0, 0},
            {x + w - 0.5f, y + h - 0.5f, 0.9f, 1.0f, kColour, 1, 1}, {x + w - 0.5f, y - 0.5f, 0.9f, 1.0f, kColour, 1, 0},
            {x + w - 0.5f, y + h - 0.5f, 0.9f, 1.0f, kColour, 1, 1}, {x - 0.5f, y - 0.5f, 0.9f, 1.0f, kColour, 0, 0}};
        std::memcpy(data, quad, sizeof quad);
        ASSERT_EQ(buffer_->unlock(), kOk);
        ASSERT_EQ(device_->set_vertex_shader(kFvfScreenVertex), kOk);
        ASSERT_EQ(device_->set_stream_source(0, buffer_, sizeof(ScreenVertex)), kOk);
        ASSERT_EQ(device_->draw_primitive(PrimitiveType::TriangleList, 0, 2), kOk);
    }

    static Rgb blended(float alpha) {
        const Rgb colour = rgb_of(kColour), background = rgb_of(kBackground);
        auto mix = [alpha](int c, int b) { return int(std::lround(float(c) * alpha + float(b) * (1.0f - alpha))); };
        return Rgb{mix(colour.r, background.r), mix(colour.g, background.g), mix(colour.b, background.b)};
    }

    static constexpr uint32_t kColour = 0xFF828296;
    Texture* texture_ = nullptr;
    VertexBuffer* buffer_ = nullptr;
};

TEST_F(TexturedQuad, AlphaTestAndBlendingFollowTheTexelAlpha) {
    clear_background();
    set_overlay_state(17);  // exactly the alpha of the faintest texel (1/15)
    draw_quad();
    read();
    EXPECT_TRUE(near(at(8, 8), rgb_of(kBackground)));           // alpha 0: tested away
    EXPECT_TRUE(near(at(24, 8), rgb_of(kColour)));              // opaque white times the colour
    EXPECT_TRUE(near(at(40, 8), blended(8.0f / 15.0f)));        // half transparent
    EXPECT_TRUE(near(at(56, 8), blended(1.0f / 15.0f)));        // passes: 17 >= 17
    EXPECT_TRUE(near(at(24, 16), rgb_of(kBackground)));         // below the quad

    clear_background();
    set_overlay_state(18);
    draw_quad();
    read();
    EXPECT_TRUE(near(at(56, 8), rgb_of(kBackground)));          // fails: 17 < 18
    EXPECT_TRUE(near(at(24, 8), rgb_of(kColour)));
}

TEST_F(TexturedQuad, ADeviceWhoseContextWasLostIsResetAndDrawsTheSameAgain) {
    auto* gl_device = dynamic_cast<gl::GlDevice*>(device_);
    ASSERT_NE(gl_device, nullptr);
    gl_device->simulate_context_loss();
    EXPECT_EQ(device_->test_cooperative_level(), kDeviceNotReset);
    EXPECT_EQ(device_->present(), kDeviceLost);
    EXPECT_EQ(device_->clear(0, nullptr, kClearTarget, 0, 1.0f, 0), kOk);  // ignored while lost

    // Default-pool resources must go before a reset; managed ones survive it.
    PresentParams params = windowed_params({.width = kSize, .height = kSize});
    EXPECT_EQ(device_->reset(params), kInvalidCall);
    EXPECT_EQ(buffer_->release(), 0u);
    buffer_ = nullptr;
    ASSERT_EQ(device_->reset(params), kOk);
    EXPECT_EQ(device_->test_cooperative_level(), kOk);
    ASSERT_EQ(device_->create_vertex_buffer(6 * sizeof(ScreenVertex), kUsageWriteOnly | kUsageDynamic, 0,
                                            kPoolDefault, &buffer_),
              kOk);
    clear_background();
    set_overlay_state(17);
    draw_quad();
    read();
    EXPECT_TRUE(near(at(24, 8), rgb_of(kColour)));
    EXPECT_TRUE(near(at(40, 8), blended(8.0f / 15.0f)));
}

TEST_F(HeadlessDevice, StateBlocksRecordWithoutApplyingThenApplyAndCapture) {
    unlit();
    const SceneVertex counter_clockwise[3] = {{-0.9f, -0.9f, 0.5f, 0, 0, -1, 0, 0},
                                              {0.9f, -0.9f, 0.5f, 0, 0, -1, 0, 0},
                                              {0.0f, 0.9f, 0.5f, 0, 0, -1, 0, 0}};
    ASSERT_EQ(device_->begin_state_block(), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullNone), kOk);
    uint32_t handle = 0;
    ASSERT_EQ(device_->end_state_block(&handle), kOk);
    ASSERT_NE(handle, 0u);

    // Recording left the device as it was: counter-clockwise faces are culled.
    clear_background();
    draw_triangles(counter_clockwise, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at(32, 40), rgb_of(kBackground)));

    ASSERT_EQ(device_->apply_state_block(handle), kOk);
    draw_triangles(counter_clockwise, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at(32, 40), Rgb{255, 255, 255}));

    // Capture takes the current value of the recorded state.
    ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullCounterClockwise), kOk);
    ASSERT_EQ(device_->capture_state_block(handle), kOk);
    ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullNone), kOk);
    ASSERT_EQ(device_->apply_state_block(handle), kOk);
    clear_background();
    draw_triangles(counter_clockwise, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at(32, 40), rgb_of(kBackground)));

    EXPECT_EQ(device_->delete_state_block(handle), kOk);
    EXPECT_EQ(device_->delete_state_block(handle), kInvalidCall);
    EXPECT_EQ(device_->end_state_block(&handle), kInvalidCall);
}

TEST_F(HeadlessDevice, ResetResizesTheBackBufferAndRestoresDefaultStates) {
    unlit();
    PresentParams params = windowed_params({.width = 32, .height = 16});
    ASSERT_EQ(device_->reset(params), kOk);
    SurfaceDesc desc{};
    ASSERT_EQ(device_->get_back_buffer_desc(desc), kOk);
    EXPECT_EQ(desc.width, 32u);
    EXPECT_EQ(desc.height, 16u);
    EXPECT_EQ(desc.format, kFormatX8R8G8B8);
    width_ = 32, height_ = 16;
    // Lighting is on again after the reset; with no lights and no ambient a
    // lit surface is black.
    clear_background();
    SceneVertex plane[3];
    covering_triangle(plane, 0.5f, 0, 0, -1);
    ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullNone), kOk);
    draw_triangles(plane, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at(16, 8), Rgb{0, 0, 0}));
    EXPECT_EQ(read_pixels(device_, pixels_.data(), kSize, kSize), kInvalidCall);  // not the back buffer's size
}

TEST_F(HeadlessDevice, ResourcesKeepTheirDeviceUntilReleased) {
    Texture* texture = nullptr;
    ASSERT_EQ(device_->create_texture(8, 8, 1, 0, kFormatA4R4G4B4, kPoolManaged, &texture), kOk);
    ASSERT_EQ(device_->set_texture(0, texture), kOk);
    EXPECT_EQ(device_->release(), 1u);      // the texture still holds the device
    EXPECT_EQ(texture->release(), 0u);      // bound, but no longer the program's
    device_ = nullptr;                      // both are gone now
    EXPECT_EQ(system_->release(), 0u);
    system_ = nullptr;
}

TEST_F(HeadlessDevice, TheOffscreenSystemReportsOneAdapterWithItsDesktopAndChecks) {
    EXPECT_EQ(system_->get_adapter_count(), 1u);
    DisplayMode desktop{};
    ASSERT_EQ(system_->get_adapter_display_mode(0, desktop), kOk);
    EXPECT_EQ(desktop.width, kSize);
    EXPECT_EQ(desktop.height, kSize);
    EXPECT_EQ(desktop.format, kFormatX8R8G8B8);
    bool listed = false;
    for (uint32_t i = 0; i < system_->get_adapter_mode_count(0); ++i) {
        DisplayMode mode{};
        ASSERT_EQ(system_->enum_adapter_modes(0, i, mode), kOk);
        listed = listed || (mode.width == kSize && mode.height == kSize);
    }
    EXPECT_TRUE(listed);
    EXPECT_EQ(system_->get_adapter_display_mode(1, desktop), kInvalidCall);

    EXPECT_EQ(system_->check_device_type(0, kDeviceHal, kFormatX8R8G8B8, kFormatX8R8G8B8, true), kOk);
    EXPECT_LT(system_->check_device_type(0, kDeviceHal, kFormatR5G6B5, kFormatR5G6B5, true), 0);
    EXPECT_EQ(system_->check_device_format(0, kDeviceHal, kFormatX8R8G8B8, kUsageDepthStencil, kResourceSurface,
                                           kFormatD16),
              kOk);
    EXPECT_LT(system_->check_device_format(0, kDeviceHal, kFormatX8R8G8B8, kUsageDepthStencil, kResourceSurface,
                                           kFormatD15S1),
              0);
    EXPECT_EQ(system_->check_depth_stencil_match(0, kDeviceHal, kFormatX8R8G8B8, kFormatX8R8G8B8, kFormatD24S8), kOk);
    EXPECT_EQ(system_->check_device_multisample_type(0, kDeviceHal, kFormatX8R8G8B8, true, 0), kOk);
    EXPECT_LT(system_->check_device_multisample_type(0, kDeviceHal, kFormatX8R8G8B8, true, 1), 0);

    DeviceCaps hal{}, ref{};
    ASSERT_EQ(system_->get_device_caps(0, kDeviceHal, hal), kOk);
    ASSERT_EQ(system_->get_device_caps(0, kDeviceRef, ref), kOk);
    EXPECT_NE(hal.caps2 & kCaps2CanRenderWindowed, 0u);
    EXPECT_NE(hal.texture_caps & kTextureCapsAlpha, 0u);
    EXPECT_NE(hal.dev_caps & kDevCapsPureDevice, 0u);
    EXPECT_EQ(ref.dev_caps & kDevCapsPureDevice, 0u);
    EXPECT_EQ(ref.primitive_misc_caps & kMiscCapsNullReference, 0u);
    EXPECT_GE(hal.max_texture_width, 256u);

    // A pure device needs hardware vertex processing; one kind of vertex
    // processing must be chosen.
    PresentParams params = windowed_params({.width = kSize, .height = kSize});
    GraphicsDevice* other = nullptr;
    EXPECT_EQ(system_->create_device(0, kDeviceHal, 0, kCreatePureDevice | kCreateSoftwareVertexProcessing, params,
                                     &other),
              kInvalidCall);
    EXPECT_EQ(system_->create_device(0, kDeviceHal, 0, 0, params, &other), kInvalidCall);
    EXPECT_EQ(other, nullptr);
}

// Two devices in one thread, as the main one and another monitor's: every
// call that reaches OpenGL goes to the calling device's own context,
// whichever device drew last.
TEST_F(HeadlessDevice, TwoDevicesDrawingInTurnKeepTheirOwnPictures) {
    GraphicsDevice* other = nullptr;
    PresentParams params = windowed_params({.width = kSize, .height = kSize});
    ASSERT_EQ(system_->create_device(0, kDeviceHal, 0, kCreateHardwareVertexProcessing, params, &other), kOk);
    unlit();
    ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullNone), kOk);
    ASSERT_EQ(device_->clear(0, nullptr, kClearTarget | kClearZBuffer, 0xFF336699, 1.0f, 0), kOk);
    ASSERT_EQ(other->clear(0, nullptr, kClearTarget | kClearZBuffer, 0xFF993300, 1.0f, 0), kOk);
    SceneVertex whole[3];
    covering_triangle(whole, 0.5f, 0, 0, -1);
    draw_triangles(whole, 3, kOneTriangle, 1);
    ASSERT_EQ(other->present(), kOk);
    ASSERT_EQ(device_->present(), kOk);
    read();
    EXPECT_TRUE(near(at(10, 10), Rgb{255, 255, 255}));
    std::vector<uint8_t> rgba(size_t{kSize} * kSize * 4);
    ASSERT_EQ(read_pixels(other, rgba.data(), kSize, kSize), kOk);
    EXPECT_TRUE(near(Rgb{rgba[0], rgba[1], rgba[2]}, Rgb{0x99, 0x33, 0x00}));
    EXPECT_EQ(other->release(), 0u);
}

TEST_F(HeadlessDevice, TheSoftwareReferenceDeviceAndMultisampledBackBuffersDraw) {
    GraphicsDevice* reference = nullptr;
    PresentParams params = windowed_params({.width = kSize, .height = kSize});
    ASSERT_EQ(system_->create_device(0, kDeviceRef, 0, kCreateSoftwareVertexProcessing, params, &reference), kOk);
    ASSERT_EQ(reference->clear(0, nullptr, kClearTarget, 0xFF336699, 1.0f, 0), kOk);
    ASSERT_EQ(reference->present(), kOk);
    std::vector<uint8_t> rgba(size_t{kSize} * kSize * 4);
    ASSERT_EQ(read_pixels(reference, rgba.data(), kSize, kSize), kOk);
    EXPECT_EQ(rgba[0], 0x33);
    EXPECT_EQ(rgba[1], 0x66);
    EXPECT_EQ(rgba[2], 0x99);
    EXPECT_EQ(frames_presented(reference), 1u);
    EXPECT_EQ(reference->release(), 0u);

    if (system_->check_device_multisample_type(0, kDeviceHal, kFormatX8R8G8B8, true, 4) != kOk) {
        GTEST_SKIP() << "the driver offers no 4-sample back buffer";
    }
    params = windowed_params({.width = kSize, .height = kSize, .samples = 4});
    ASSERT_EQ(device_->reset(params), kOk);
    SurfaceDesc desc{};
    device_->get_back_buffer_desc(desc);
    EXPECT_EQ(desc.multisample_type, 4u);
    unlit();
    clear_background();
    const SceneVertex half[3] = {{-1, -1, 0.5f, 0, 0, -1, 0, 0}, {1, -1, 0.5f, 0, 0, -1, 0, 0},
                                 {1, 1, 0.5f, 0, 0, -1, 0, 0}};
    ASSERT_EQ(device_->set_render_state(RenderState::CullMode, kCullNone), kOk);
    draw_triangles(half, 3, kOneTriangle, 1);
    read();
    EXPECT_TRUE(near(at(60, 60), Rgb{255, 255, 255}));
    EXPECT_TRUE(near(at(3, 3), rgb_of(kBackground)));
    // On the diagonal the samples are shared between both colours.
    const Rgb edge = at(31, 32);
    EXPECT_GT(edge.r, 10);
    EXPECT_LT(edge.r, 245);
}

}  // namespace
