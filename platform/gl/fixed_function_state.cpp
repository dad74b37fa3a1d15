#include "platform/gl/fixed_function_state.h"

#include <cmath>
#include <cstring>

namespace platform::gl {
namespace {

constexpr uint32_t kTextureOpSelectArg2 = 3;

Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 out{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            out.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
        }
    }
    return out;
}

// The normal transform for row vectors: the inverse transpose of the upper
// 3x3 part, which is the cofactor matrix divided by the determinant. A
// singular matrix keeps its own 3x3 part.
void normal_transform(const Matrix4& a, float out[3][3]) {
    const auto& m = a.m;
    float cofactor[3][3];
    cofactor[0][0] = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    cofactor[0][1] = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    cofactor[0][2] = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    cofactor[1][0] = m[0][2] * m[2][1] - m[0][1] * m[2][2];
    cofactor[1][1] = m[0][0] * m[2][2] - m[0][2] * m[2][0];
    cofactor[1][2] = m[0][1] * m[2][0] - m[0][0] * m[2][1];
    cofactor[2][0] = m[0][1] * m[1][2] - m[0][2] * m[1][1];
    cofactor[2][1] = m[0][2] * m[1][0] - m[0][0] * m[1][2];
    cofactor[2][2] = m[0][0] * m[1][1] - m[0][1] * m[1][0];
    const float determinant = m[0][0] * cofactor[0][0] + m[0][1] * cofactor[0][1] + m[0][2] * cofactor[0][2];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            out[i][j] = std::fabs(determinant) > 1e-30f ? cofactor[i][j] / determinant : m[i][j];
        }
    }
}

void copy_colour(const ColorValue& c, float out[4]) {
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

GLint min_filter(uint32_t minification, uint32_t mip) {
    const bool linear = minification >= kFilterLinear;
    if (mip == kFilterNone) return linear ? GL_LINEAR : GL_NEAREST;
    if (mip == kFilterPoint) return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

GLint address_mode(uint32_t value) {
    switch (value) {
        case 2: return GL_MIRRORED_REPEAT;
        case 3: return GL_CLAMP_TO_EDGE;
        case 4: return GL_CLAMP_TO_BORDER;
        case 5: return GL_MIRRORED_REPEAT;
        default: return GL_REPEAT;
    }
}

GLenum polygon_mode(uint32_t fill) {
    if (fill == 1) return GL_POINT;
    if (fill == 2) return GL_LINE;
    return GL_FILL;
}

void set_capability(GLenum capability, bool on) {
    if (on) {
        glEnable(capability);
    } else {
        glDisable(capability);
    }
}

// The fog formula the shaders apply: 0 none, 1 exponential, 2 squared
// exponential, 3 linear (the table mode before the vertex mode).
uint32_t fog_mode(const DeviceState& state) {
    const uint32_t* r = state.render;
    if (r[render_index(RenderState::FogEnable)] == 0) return 0;
    const uint32_t table_fog = r[render_index(RenderState::FogTableMode)];
    const uint32_t mode = table_fog != kFogNone ? table_fog : r[render_index(RenderState::FogVertexMode)];
    return mode <= 3 ? mode : 0;
}

// Whether texture stage 0 gives the interpolated colour's rgb unchanged:
// no texture (the stage then reads white for it), no alpha test, and
// operations that select the colour or multiply it by white (exact). The
// alpha is then white or the colour's own (`white_alpha`). Such draws take
// the program without the stage's switches; its pixels are the same.
bool stage_leaves_colour(const DeviceState& state, bool& white_alpha) {
    if (state.textures[0] != nullptr || state.render[render_index(RenderState::AlphaTestEnable)] != 0) return false;
    const uint32_t* stage = state.stage[0];
    auto white = [](uint32_t argument) { return (argument & 0xF) == 2 || (argument & 0xF) == 3; };
    // Which of the two arguments an operation leaves: 1 or 2 for the first
    // or second, 3 for white, 0 when it does something else.
    auto result = [&](uint32_t operation, uint32_t first, uint32_t second) -> int {
        if (operation == kTextureOpSelectArg1) return white(first) ? 3 : 1;
        if (operation == kTextureOpSelectArg2) return white(second) ? 3 : 2;
        if (operation == kTextureOpModulate) {
            if (white(first) && white(second)) return 3;
            if (white(first)) return 2;
            if (white(second)) return 1;
        }
        return 0;
    };
    const int colour =
        result(stage[stage_index(TextureStageState::ColorOp)], stage[stage_index(TextureStageState::ColorArg1)],
               stage[stage_index(TextureStageState::ColorArg2)]);
    if (colour != 1 && colour != 2) return false;
    const uint32_t alpha_operation = stage[stage_index(TextureStageState::AlphaOp)];
    if (alpha_operation == kTextureOpDisable) {
        white_alpha = false;
        return true;
    }
    const int alpha = result(alpha_operation, stage[stage_index(TextureStageState::AlphaArg1)],
                             stage[stage_index(TextureStageState::AlphaArg2)]);
    white_alpha = alpha == 3;
    return alpha != 0;
}

// World * view, its normal transform and the projection.
void fill_transforms(const DeviceState& state, FixedFunctionBlock& b) {
    const Matrix4 world_view = multiply(state.world, state.view);
    std::memcpy(b.world_view, world_view.m, sizeof b.world_view);
    std::memcpy(b.projection, state.projection.m, sizeof b.projection);
    float normal[3][3];
    normal_transform(world_view, normal);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) b.normal_matrix[i * 4 + j] = normal[i][j];
        b.normal_matrix[i * 4 + 3] = 0.0f;
    }
}

// Lighting: its switches, the directional lights that are on (in order,
// first in the light arrays), the ambient level and the material.
void fill_lighting(const DeviceState& state, FixedFunctionBlock& b) {
    const uint32_t* r = state.render;
    b.switches.lighting = r[render_index(RenderState::Lighting)] != 0 ? 1 : 0;
    b.switches.normalize_normals = r[render_index(RenderState::NormalizeNormals)] != 0 ? 1 : 0;
    const auto& v = state.view.m;
    uint32_t lights_on = 0;
    for (uint32_t i = 0; i < kLightCount; ++i) {
        const LightSlot& slot = state.lights[i];
        if (!slot.enabled || slot.light.type != kLightDirectional) continue;
        const uint32_t n = lights_on++;
        const Vector3f d = slot.light.direction;
        // Into view space (row vector times the view's 3x3), then reversed
        // and normalised: the direction towards the light.
        float x = d.x * v[0][0] + d.y * v[1][0] + d.z * v[2][0];
        float y = d.x * v[0][1] + d.y * v[1][1] + d.z * v[2][1];
        float z = d.x * v[0][2] + d.y * v[1][2] + d.z * v[2][2];
        const float length = std::sqrt(x * x + y * y + z * z);
        if (length > 0.0f) {
            x /= length;
            y /= length;
            z /= length;
        }
        b.light_direction[n][0] = -x;
        b.light_direction[n][1] = -y;
        b.light_direction[n][2] = -z;
        b.light_direction[n][3] = 0.0f;
        copy_colour(slot.light.diffuse, b.light_diffuse[n]);
        copy_colour(slot.light.ambient, b.light_ambient[n]);
    }
    b.lights_on.count = static_cast<int32_t>(lights_on);
    colour_from_argb(r[render_index(RenderState::Ambient)], b.ambient);
    copy_colour(state.material.diffuse, b.material_diffuse);
    copy_colour(state.material.ambient, b.material_ambient);
    copy_colour(state.material.emissive, b.material_emissive);
}

// The fog's formula, colour and distances.
void fill_fog(const DeviceState& state, FixedFunctionBlock& b) {
    const uint32_t* r = state.render;
    const uint32_t table_fog = r[render_index(RenderState::FogTableMode)];
    b.switches.fog_mode = static_cast<int32_t>(fog_mode(state));
    b.switches.range_fog = (table_fog == kFogNone && r[render_index(RenderState::RangeFogEnable)] != 0) ? 1 : 0;
    colour_from_argb(r[render_index(RenderState::FogColor)], b.fog_colour);
    b.fog.start = bits_float(r[render_index(RenderState::FogStart)]);
    b.fog.end = bits_float(r[render_index(RenderState::FogEnd)]);
    b.fog.density = bits_float(r[render_index(RenderState::FogDensity)]);
    b.fog.unused = 0.0f;
}

// Texture stage 0's operations and the alpha test.
void fill_texture_stage(const DeviceState& state, const VertexLayout& layout, FixedFunctionBlock& b) {
    const uint32_t* r = state.render;
    const uint32_t* stage = state.stage[0];
    b.alpha.test = r[render_index(RenderState::AlphaTestEnable)] != 0 ? 1 : 0;
    b.alpha.function = static_cast<int32_t>(r[render_index(RenderState::AlphaFunc)]);
    b.alpha.reference = static_cast<int32_t>(r[render_index(RenderState::AlphaRef)] & 0xFF);
    b.alpha.texture_bound = state.textures[0] != nullptr ? 1 : 0;
    b.colour_stage.operation = static_cast<int32_t>(stage[stage_index(TextureStageState::ColorOp)]);
    b.colour_stage.argument1 = static_cast<int32_t>(stage[stage_index(TextureStageState::ColorArg1)] & 0xF);
    b.colour_stage.argument2 = static_cast<int32_t>(stage[stage_index(TextureStageState::ColorArg2)] & 0xF);
    b.colour_stage.vertex_colour = layout.colour_offset >= 0 ? 1 : 0;
    b.alpha_stage.operation = static_cast<int32_t>(stage[stage_index(TextureStageState::AlphaOp)]);
    b.alpha_stage.argument1 = static_cast<int32_t>(stage[stage_index(TextureStageState::AlphaArg1)] & 0xF);
    b.alpha_stage.argument2 = static_cast<int32_t>(stage[stage_index(TextureStageState::AlphaArg2)] & 0xF);
}

}  // namespace

void colour_from_argb(uint32_t argb, float out[4]) {
    out[0] = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(argb & 0xFF) / 255.0f;
    out[3] = static_cast<float>((argb >> 24) & 0xFF) / 255.0f;
}

GLuint choose_program(const FixedFunctionPrograms& programs, const DeviceState& state, const VertexLayout& layout) {
    bool white_alpha = false;
    return layout.pretransformed
               ? programs.screen_space
               : programs.model_space[stage_leaves_colour(state, white_alpha) ? 1 : 0][fog_mode(state) == 0 ? 1 : 0];
}

void fill_fixed_function_block(const DeviceState& state, const VertexLayout& layout, const BlockTarget& target,
                               FixedFunctionBlock& block) {
    fill_transforms(state, block);
    fill_lighting(state, block);
    fill_fog(state, block);
    fill_texture_stage(state, layout, block);
    block.alpha_stage.remap_depth = target.remap_depth ? 1 : 0;
    block.screen.x_scale = target.width != 0 ? 2.0f / static_cast<float>(target.width) : 0.0f;
    block.screen.y_scale = target.height != 0 ? 2.0f / static_cast<float>(target.height) : 0.0f;
    bool white_alpha = false;
    block.screen.white_alpha = stage_leaves_colour(state, white_alpha) && white_alpha ? 1.0f : 0.0f;
    block.screen.unused = 0.0f;
}

void apply_raster_state(const DeviceState& state, bool has_depth_buffer, AppliedState& applied) {
    const uint32_t* r = state.render;
    const bool first = !applied.valid;

    const bool depth_test = r[render_index(RenderState::ZEnable)] != 0 && has_depth_buffer;
    if (first || depth_test != applied.depth_test) set_capability(GL_DEPTH_TEST, depth_test);
    const GLenum depth_function = compare_function(r[render_index(RenderState::ZFunc)]);
    if (first || depth_function != applied.depth_function) glDepthFunc(depth_function);
    const bool depth_write = r[render_index(RenderState::ZWriteEnable)] != 0;
    if (first || depth_write != applied.depth_write) glDepthMask(depth_write ? GL_TRUE : GL_FALSE);

    const bool blend = r[render_index(RenderState::AlphaBlendEnable)] != 0;
    if (first || blend != applied.blend) set_capability(GL_BLEND, blend);
    const GLenum source = blend_factor(r[render_index(RenderState::SrcBlend)]);
    const GLenum destination = blend_factor(r[render_index(RenderState::DestBlend)]);
    if (first || source != applied.blend_source || destination != applied.blend_destination) {
        glBlendFunc(source, destination);
    }

    // Culling goes by how a face appears on screen. OpenGL's window
    // coordinates show the picture the right way up, so a face that looks
    // counter-clockwise is wound counter-clockwise there: with OpenGL's
    // front faces counter-clockwise, "cull counter-clockwise" culls fronts.
    const uint32_t cull_mode = r[render_index(RenderState::CullMode)];
    const bool cull = cull_mode == kCullClockwise || cull_mode == kCullCounterClockwise;
    if (first || cull != applied.cull) set_capability(GL_CULL_FACE, cull);
    const GLenum cull_face = cull_mode == kCullCounterClockwise ? GL_FRONT : GL_BACK;
    if (cull && (first || cull_face != applied.cull_face)) glCullFace(cull_face);

    const GLenum fill = polygon_mode(r[render_index(RenderState::FillMode)]);
    if (first || fill != applied.polygon_mode) glPolygonMode(GL_FRONT_AND_BACK, fill);

    applied.depth_test = depth_test;
    applied.depth_function = depth_function;
    applied.depth_write = depth_write;
    applied.blend = blend;
    applied.blend_source = source;
    applied.blend_destination = destination;
    applied.cull = cull;
    if (cull) applied.cull_face = cull_face;
    applied.polygon_mode = fill;
    applied.valid = true;
}

void apply_sampler_state(GLuint sampler, const DeviceState& state) {
    const uint32_t* stage = state.stage[0];
    glSamplerParameteri(
        sampler, GL_TEXTURE_MIN_FILTER,
        min_filter(stage[stage_index(TextureStageState::MinFilter)], stage[stage_index(TextureStageState::MipFilter)]));
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                        stage[stage_index(TextureStageState::MagFilter)] >= kFilterLinear ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, address_mode(stage[stage_index(TextureStageState::AddressU)]));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, address_mode(stage[stage_index(TextureStageState::AddressV)]));
}

void point_attributes(GLuint buffer, const VertexLayout& layout, uint32_t fvf, uint32_t stride, uintptr_t offset,
                      AppliedState& applied) {
    if (applied.attribute_buffer == buffer && applied.attribute_fvf == fvf && applied.attribute_stride == stride &&
        applied.attribute_offset == offset) {
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const auto gl_stride = static_cast<GLsizei>(stride);
    auto at = [offset](int32_t part) { return reinterpret_cast<const void*>(offset + static_cast<uintptr_t>(part)); };
    glEnableVertexAttribArray(kAttributePosition);
    glVertexAttribPointer(kAttributePosition, layout.pretransformed ? 4 : 3, GL_FLOAT, GL_FALSE, gl_stride, at(0));
    if (layout.normal_offset >= 0) {
        glEnableVertexAttribArray(kAttributeNormal);
        glVertexAttribPointer(kAttributeNormal, 3, GL_FLOAT, GL_FALSE, gl_stride, at(layout.normal_offset));
    } else {
        glDisableVertexAttribArray(kAttributeNormal);
        glVertexAttrib3f(kAttributeNormal, 0.0f, 0.0f, 0.0f);
    }
    if (layout.texcoord_offset >= 0) {
        glEnableVertexAttribArray(kAttributeTexcoord);
        glVertexAttribPointer(kAttributeTexcoord, 2, GL_FLOAT, GL_FALSE, gl_stride, at(layout.texcoord_offset));
    } else {
        glDisableVertexAttribArray(kAttributeTexcoord);
        glVertexAttrib2f(kAttributeTexcoord, 0.0f, 0.0f);
    }
    if (layout.colour_offset >= 0) {
        // 0xAARRGGBB words are the bytes blue, green, red, alpha.
        glEnableVertexAttribArray(kAttributeColour);
        glVertexAttribPointer(kAttributeColour, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, gl_stride,
                              at(layout.colour_offset));
    } else {
        glDisableVertexAttribArray(kAttributeColour);
        glVertexAttrib4f(kAttributeColour, 1.0f, 1.0f, 1.0f, 1.0f);
    }
    applied.attribute_buffer = buffer;
    applied.attribute_fvf = fvf;
    applied.attribute_stride = stride;
    applied.attribute_offset = offset;
}

}  // namespace platform::gl
