// From the simulation's frame to the drawing frame, and from GLM matrices to
// the device's.
//
// The simulation has z up; drawing is left-handed with y up. A simulation
// point (x, y, z) is drawn at (x, z, y), and a simulation rotation R is drawn
// as S R S, where S exchanges the second and third axes (applied to rows and
// columns).
//
// GLM matrices here act on column vectors (v' = M v, the rightmost factor
// acts first). The device takes row-major matrices for row vectors
// (v' = v M), the transpose; since GLM indexes [column][row], the device
// element m[r][c] is the GLM element [r][c].
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include "platform/graphics_types.h"
#include "sim/records.h"
#include "sim/vector_math.h"

namespace render {

// A simulation point in drawing coordinates, single precision.
glm::vec3 to_drawing_point(const sim::Vec3& point);

// The position of a vertex of the scene's meshes (already in drawing coordinates).
glm::vec3 vertex_position(const sim::Vertex& vertex);

// The rotation of a simulation orientation, in drawing coordinates.
glm::mat4 drawing_rotation(const sim::Quat& orientation);

// The GLM matrix as the device's row-vector matrix.
platform::Matrix4 to_device_matrix(const glm::mat4& matrix);

}  // namespace render
