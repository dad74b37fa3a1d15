// The shaders that reproduce the fixed-function pipeline the program uses:
// row-vector transforms, directional lights with ambient and material,
// vertex fog, one texture stage with its colour and alpha operations, and
// the alpha test. One program for model-space vertices and one for vertices
// already in screen pixels; both read the same uniform block.
#pragma once

#include "platform/gl/gl_api.h"

#include <cstdint>

namespace platform::gl {

// The uniform block, laid out by the std140 rules (every member 16-byte
// aligned; matrices as columns).
struct FixedFunctionBlock {
    float world_view[16];          // rows of world * view, read as columns
    float projection[16];
    float normal_matrix[12];       // rows of the normal transform, one per vec4
    float light_direction[8][4];   // towards each light, view space
    float light_diffuse[8][4];
    float light_ambient[8][4];
    float ambient[4];              // the ambient render state
    float material_diffuse[4];
    float material_ambient[4];
    float material_emissive[4];
    float fog_colour[4];
    float fog[4];                  // start, end, density, unused
    float screen[4];               // 2 / width, 2 / height of the render target
    int32_t switches[4];           // lighting, normalise normals, fog mode, range fog
    int32_t light_enabled[2][4];   // one flag per light
    int32_t alpha[4];              // alpha test on, function, reference, texture bound
    int32_t colour_stage[4];       // operation, argument 1, argument 2, vertex has colour
    int32_t alpha_stage[4];        // operation, argument 1, argument 2, remap depth to -1..1
};
static_assert(sizeof(FixedFunctionBlock) == 768, "std140 layout of the uniform block");

inline constexpr GLuint kFixedFunctionBinding = 0;

// Vertex attribute locations shared by both programs.
inline constexpr GLuint kAttributePosition = 0;
inline constexpr GLuint kAttributeNormal = 1;
inline constexpr GLuint kAttributeTexcoord = 2;
inline constexpr GLuint kAttributeColour = 3;

struct FixedFunctionPrograms {
    GLuint model_space;   // position, normal, colour, texture pair
    GLuint screen_space;  // x, y in pixels, z, rhw, colour, texture pair
};

// Compiles and links both programs; false (and both zero) on failure, with
// the compiler's log on standard error.
bool build_fixed_function_programs(FixedFunctionPrograms& programs);
void destroy_fixed_function_programs(FixedFunctionPrograms& programs);

}  // namespace platform::gl
