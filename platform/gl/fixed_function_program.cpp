#include "platform/gl/fixed_function_program.h"

#include <cstdio>

namespace platform::gl {
namespace {

constexpr const char* kBlock = R"(
layout(std140) uniform FixedFunction {
    mat4 u_world_view;
    mat4 u_projection;
    mat3 u_normal_matrix;
    vec4 u_light_direction[8];
    vec4 u_light_diffuse[8];
    vec4 u_light_ambient[8];
    vec4 u_ambient;
    vec4 u_material_diffuse;
    vec4 u_material_ambient;
    vec4 u_material_emissive;
    vec4 u_fog_colour;
    vec4 u_fog;
    vec4 u_screen;
    ivec4 u_switches;
    ivec4 u_light_count;
    ivec4 u_spare;
    ivec4 u_alpha;
    ivec4 u_colour_stage;
    ivec4 u_alpha_stage;
};
)";

// Matrices arrive as rows read as columns, so `m * v` is the row-vector
// product v * M of the interfaces.
constexpr const char* kModelSpaceVertex = R"(
layout(location = 0) in vec3 a_position;
layout(location = 1) in vec3 a_normal;
layout(location = 2) in vec2 a_texcoord;
layout(location = 3) in vec4 a_colour;
out vec4 v_colour;
out vec2 v_texcoord;
out float v_fog;

float fog_factor(float distance) {
    int mode = u_switches.z;
    if (mode == 3) return clamp((u_fog.y - distance) / (u_fog.y - u_fog.x), 0.0, 1.0);
    if (mode == 1) return clamp(exp(-u_fog.z * distance), 0.0, 1.0);
    if (mode == 2) { float d = u_fog.z * distance; return clamp(exp(-d * d), 0.0, 1.0); }
    return 1.0;
}

void main() {
    vec4 view_position = u_world_view * vec4(a_position, 1.0);
    vec4 clip = u_projection * view_position;
    if (u_alpha_stage.w != 0) clip.z = 2.0 * clip.z - clip.w;
    gl_Position = clip;

    bool vertex_colour = u_colour_stage.w != 0;
    if (u_switches.x != 0) {
        vec3 normal = u_normal_matrix * a_normal;
        if (u_switches.y != 0) {
            float len = length(normal);
            if (len > 0.0) normal /= len;
        }
        vec3 diffuse = vec3(0.0);
        vec3 ambient = u_ambient.rgb;
        // The lights that are on, in order, come first: a loop over them
        // alone, since a driver may run every turn of a loop for every vertex.
        for (int i = 0; i < u_light_count.x; ++i) {
            diffuse += max(dot(normal, u_light_direction[i].xyz), 0.0) * u_light_diffuse[i].rgb;
            ambient += u_light_ambient[i].rgb;
        }
        vec4 material_diffuse = vertex_colour ? a_colour : u_material_diffuse;
        vec3 lit = u_material_emissive.rgb + u_material_ambient.rgb * ambient + material_diffuse.rgb * diffuse;
        v_colour = clamp(vec4(lit, material_diffuse.a), 0.0, 1.0);
    } else {
        v_colour = vertex_colour ? a_colour : vec4(1.0);
    }
    v_texcoord = a_texcoord;
#ifdef FOGLESS
    v_fog = 1.0;  // what fog_factor gives with fog off
#else
    float distance = u_switches.w != 0 ? length(view_position.xyz) : abs(view_position.z);
    v_fog = fog_factor(distance);
#endif
}
)";

// Pixel centres sit on whole coordinates, y grows downwards and z is
// already the 0..1 depth.
constexpr const char* kScreenSpaceVertex = R"(
layout(location = 0) in vec4 a_position;
layout(location = 2) in vec2 a_texcoord;
layout(location = 3) in vec4 a_colour;
out vec4 v_colour;
out vec2 v_texcoord;
out float v_fog;

void main() {
    float w = a_position.w != 0.0 ? 1.0 / a_position.w : 1.0;
    vec2 ndc = vec2((a_position.x + 0.5) * u_screen.x - 1.0, 1.0 - (a_position.y + 0.5) * u_screen.y);
    float z = u_alpha_stage.w != 0 ? 2.0 * a_position.z - 1.0 : a_position.z;
    gl_Position = vec4(ndc, z, 1.0) * w;
    v_colour = u_colour_stage.w != 0 ? a_colour : vec4(1.0);
    v_texcoord = a_texcoord;
    v_fog = 1.0;
}
)";

constexpr const char* kFragment = R"(
in vec4 v_colour;
in vec2 v_texcoord;
in float v_fog;
uniform sampler2D u_texture;
out vec4 o_colour;

vec4 argument(int which, vec4 texel) {
    if (which == 2) return texel;     // texture
    if (which == 3) return vec4(1.0); // texture factor (never set: white)
    return v_colour;                  // diffuse, and the current colour of stage 0
}

vec4 combine(int operation, vec4 first, vec4 second) {
    if (operation == 2) return first;
    if (operation == 3) return second;
    if (operation == 4) return first * second;
    if (operation == 5) return first * second * 2.0;
    if (operation == 6) return first * second * 4.0;
    if (operation == 7) return first + second;
    if (operation == 8) return first + second - 0.5;
    if (operation == 9) return (first + second - 0.5) * 2.0;
    if (operation == 10) return first - second;
    return v_colour;
}

bool alpha_passes(float alpha) {
    int value = int(floor(alpha * 255.0 + 0.5));
    int reference = u_alpha.z;
    int function = u_alpha.y;
    if (function == 1) return false;
    if (function == 2) return value < reference;
    if (function == 3) return value == reference;
    if (function == 4) return value <= reference;
    if (function == 5) return value > reference;
    if (function == 6) return value != reference;
    if (function == 7) return value >= reference;
    return true;
}

void main() {
    vec4 texel = u_alpha.w != 0 ? texture(u_texture, v_texcoord) : vec4(1.0);
    vec4 colour = v_colour;
    if (u_colour_stage.x != 1) {
        vec3 rgb = combine(u_colour_stage.x, argument(u_colour_stage.y, texel), argument(u_colour_stage.z, texel)).rgb;
        float a = u_alpha_stage.x == 1
            ? v_colour.a
            : combine(u_alpha_stage.x, argument(u_alpha_stage.y, texel), argument(u_alpha_stage.z, texel)).a;
        colour = clamp(vec4(rgb, a), 0.0, 1.0);
    }
    if (u_alpha.x != 0 && !alpha_passes(colour.a)) discard;
    colour.rgb = mix(u_fog_colour.rgb, colour.rgb, v_fog);
    o_colour = colour;
}
)";

// For draws whose texture stage comes down to the interpolated colour (no
// texture, no alpha test, see the device's choice): the general shader's
// operations on the values it would have, without its switches, which the
// driver may otherwise evaluate for every pixel. u_screen.z tells whether
// the stage's alpha is white (1) or the colour's own (0).
constexpr const char* kDiffuseFragment = R"(
in vec4 v_colour;
in vec2 v_texcoord;
in float v_fog;
out vec4 o_colour;

void main() {
    vec4 colour = clamp(vec4(v_colour.rgb, u_screen.z != 0.0 ? 1.0 : v_colour.a), 0.0, 1.0);
    colour.rgb = mix(u_fog_colour.rgb, colour.rgb, v_fog);
    o_colour = colour;
}
)";

// The model-space vertex shader for draws without fog: the fog factor is
// then 1 for every vertex, without the distance and the three formulas.
constexpr const char* kFogless = "#define FOGLESS 1\n";

GLuint compile(GLenum kind, const char* body, const char* defines = "") {
    const char* parts[] = {"#version 330 core\n", defines, kBlock, body};
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 4, parts, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        char log[2048];
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "aquarium: shader compilation failed:\n%s\n", log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

GLuint link(const char* vertex_body, GLuint fragment, const char* vertex_defines = "") {
    const GLuint vertex = compile(GL_VERTEX_SHADER, vertex_body, vertex_defines);
    if (vertex == 0) return 0;
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        char log[2048];
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        std::fprintf(stderr, "aquarium: shader link failed:\n%s\n", log);
        glDeleteProgram(program);
        return 0;
    }
    const GLuint block = glGetUniformBlockIndex(program, "FixedFunction");
    if (block != GL_INVALID_INDEX) glUniformBlockBinding(program, block, kFixedFunctionBinding);
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "u_texture"), 0);
    glUseProgram(0);
    return program;
}

}  // namespace

bool build_fixed_function_programs(FixedFunctionPrograms& programs) {
    programs = FixedFunctionPrograms{};
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, kFragment);
    const GLuint diffuse = compile(GL_FRAGMENT_SHADER, kDiffuseFragment);
    bool complete = fragment != 0 && diffuse != 0;
    for (int leaves_colour = 0; complete && leaves_colour < 2; ++leaves_colour) {
        for (int fogless = 0; complete && fogless < 2; ++fogless) {
            GLuint& program = programs.model_space[leaves_colour][fogless];
            program = link(kModelSpaceVertex, leaves_colour != 0 ? diffuse : fragment, fogless != 0 ? kFogless : "");
            complete = program != 0;
        }
    }
    if (complete) programs.screen_space = link(kScreenSpaceVertex, fragment);
    if (fragment != 0) glDeleteShader(fragment);
    if (diffuse != 0) glDeleteShader(diffuse);
    if (!complete || programs.screen_space == 0) {
        destroy_fixed_function_programs(programs);
        return false;
    }
    return true;
}

void destroy_fixed_function_programs(FixedFunctionPrograms& programs) {
    for (auto& pair : programs.model_space) {
        for (GLuint program : pair) {
            if (program != 0) glDeleteProgram(program);
        }
    }
    if (programs.screen_space != 0) glDeleteProgram(programs.screen_space);
    programs = FixedFunctionPrograms{};
}

}  // namespace platform::gl
