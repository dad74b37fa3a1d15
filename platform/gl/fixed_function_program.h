// The shaders that reproduce the fixed-function pipeline the program uses:
// row-vector transforms, directional lights with ambient and material,
// vertex fog, one texture stage with its colour and alpha operations, and
// the alpha test. Programs for model-space vertices (variants for draws
// whose texture stage leaves the interpolated colour as it is and for draws
// without fog) and one for vertices already in screen pixels; all read the
// same uniform block.
#pragma once

#include "platform/gl/gl_api.h"

#include <cstdint>

namespace platform::gl {

// The uniform block, laid out by the std140 rules (every member 16-byte
// aligned; matrices as columns). Each group of four named slots is one vec4
// or ivec4 of the shaders' block, its slots x, y, z and w in order.
struct FixedFunctionBlock {
    float world_view[16];          // rows of world * view, read as columns
    float projection[16];
    float normal_matrix[12];       // rows of the normal transform, one per vec4
    float light_direction[8][4];   // towards each light that is on, in order, view space
    float light_diffuse[8][4];
    float light_ambient[8][4];
    float ambient[4];              // the ambient render state
    float material_diffuse[4];
    float material_ambient[4];
    float material_emissive[4];
    float fog_colour[4];
    struct {
        float start, end;  // of linear fog, view-space distances
        float density;     // of the exponential formulas
        float unused;
    } fog;
    struct {
        float x_scale, y_scale;  // 2 / width, 2 / height of the render target, pixels
        float white_alpha;       // 1: the texture stage leaves white alpha (the program without its switches)
        float unused;
    } screen;
    struct {
        int32_t lighting, normalize_normals;
        int32_t fog_mode;   // 0 none, 1 exponential, 2 squared exponential, 3 linear
        int32_t range_fog;  // fog by distance from the eye rather than depth
    } switches;
    struct {
        int32_t count;  // lights on: the first entries of the light arrays
        int32_t unused[3];
    } lights_on;
    int32_t spare[4];
    struct {
        int32_t test;           // the alpha test is on
        int32_t function;       // its comparison
        int32_t reference;      // 0..255
        int32_t texture_bound;  // texture stage 0 has a texture
    } alpha;
    struct {
        int32_t operation, argument1, argument2;  // of texture stage 0's colour, arguments' low 4 bits
        int32_t vertex_colour;                    // the vertices carry a colour
    } colour_stage;
    struct {
        int32_t operation, argument1, argument2;  // of texture stage 0's alpha, arguments' low 4 bits
        int32_t remap_depth;                      // the driver's depth range is -1..1: clip z is remapped
    } alpha_stage;
};
static_assert(sizeof(FixedFunctionBlock) == 768, "std140 layout of the uniform block");

inline constexpr GLuint kFixedFunctionBinding = 0;

// Vertex attribute locations shared by both programs.
inline constexpr GLuint kAttributePosition = 0;
inline constexpr GLuint kAttributeNormal = 1;
inline constexpr GLuint kAttributeTexcoord = 2;
inline constexpr GLuint kAttributeColour = 3;

struct FixedFunctionPrograms {
    // Position, normal, colour, texture pair: [stage comes down to the
    // colour (screen[2]: white alpha)][fog off].
    GLuint model_space[2][2];
    GLuint screen_space;  // x, y in pixels, z, rhw, colour, texture pair
};

// Compiles and links the programs; false (and all zero) on failure, with
// the compiler's log on standard error.
bool build_fixed_function_programs(FixedFunctionPrograms& programs);
void destroy_fixed_function_programs(FixedFunctionPrograms& programs);

}  // namespace platform::gl
