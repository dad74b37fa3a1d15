#include "render/drawing_transforms.h"

namespace render {

glm::vec3 to_drawing_point(const sim::Vec3& point) {
    return glm::vec3(static_cast<float>(point.x), static_cast<float>(point.z), static_cast<float>(point.y));
}

glm::vec3 vertex_position(const sim::Vertex& vertex) { return glm::vec3(vertex.px, vertex.py, vertex.pz); }

glm::mat4 drawing_rotation(const sim::Quat& orientation) {
    sim::Mat3 r;
    sim::mat3_from_quat(r, orientation);
    // Simulation rows and columns (0, 1, 2) become drawing rows and columns
    // (0, 2, 1). GLM is indexed [column][row].
    const double rows[3][3] = {{r.m00, r.m01, r.m02}, {r.m10, r.m11, r.m12}, {r.m20, r.m21, r.m22}};
    constexpr int kDrawingAxis[3] = {0, 2, 1};
    glm::mat4 out(1.0f);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            out[kDrawingAxis[column]][kDrawingAxis[row]] = static_cast<float>(rows[row][column]);
        }
    }
    return out;
}

platform::Matrix4 to_device_matrix(const glm::mat4& matrix) {
    platform::Matrix4 out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out.m[r][c] = matrix[r][c];
        }
    }
    return out;
}

}  // namespace render
