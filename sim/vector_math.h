// Double-precision vector, 3x3 matrix and quaternion math of the simulation.
//
// Every operation writes its result through the first argument, which may
// alias any input (callers write `A = A + B` as mat3_add(A, A, B)). Each one
// therefore reads all of its inputs into locals before it writes the output.
// Expressions are evaluated in the order they are written so that results
// are reproducible bit for bit across builds (the build disables FMA
// contraction).
//
// On x86-64 the arithmetic is plain IEEE double (SSE2); there is no x87
// control word to switch to 64-bit-mantissa intermediates, so intermediate
// results are rounded to double like the stored ones.
#pragma once

#include <cmath>

namespace sim {

// Smallest normal double: lengths at or below it count as zero.
inline constexpr double kTinyLength = 2.2250738585072014e-308;

struct Vec3 {
    double x;  // first component (world: east, segment frame: side)
    double y;  // second component (world: north, segment frame: towards head)
    double z;  // third component (world: up, segment frame: dorsal)
};

// Row-major 3x3 matrix; a rotation matrix holds the rotated axes as columns.
struct Mat3 {
    double m00, m01, m02;
    double m10, m11, m12;
    double m20, m21, m22;
};

// Quaternion (w, x, y, z); orientations are unit quaternions.
struct Quat {
    double w;  // scalar part
    double x;  // vector part
    double y;
    double z;
};

// ---- vectors --------------------------------------------------------------

inline void vec_zero(Vec3& out) { out = Vec3{0.0, 0.0, 0.0}; }

inline void vec_set(Vec3& out, double x, double y, double z) { out = Vec3{x, y, z}; }

inline double vec_dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline double vec_length(const Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

// v / |v| and true; the zero vector and false when |v| is not above the
// smallest normal double.
inline bool vec_normalize(Vec3& out, const Vec3& v) {
    const double len = vec_length(v);
    if (!(len > kTinyLength)) {
        out = Vec3{0.0, 0.0, 0.0};
        return false;
    }
    out = Vec3{v.x / len, v.y / len, v.z / len};
    return true;
}

inline void vec_scale(Vec3& out, double s, const Vec3& v) { out = Vec3{s * v.x, s * v.y, s * v.z}; }

inline void vec_add(Vec3& out, const Vec3& a, const Vec3& b) {
    out = Vec3{a.x + b.x, a.y + b.y, a.z + b.z};
}

inline void vec_add3(Vec3& out, const Vec3& a, const Vec3& b, const Vec3& c) {
    out = Vec3{a.x + b.x + c.x, a.y + b.y + c.y, a.z + b.z + c.z};
}

inline void vec_add4(Vec3& out, const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
    out = Vec3{a.x + b.x + c.x + d.x, a.y + b.y + c.y + d.y, a.z + b.z + c.z + d.z};
}

inline void vec_sub(Vec3& out, const Vec3& a, const Vec3& b) {
    out = Vec3{a.x - b.x, a.y - b.y, a.z - b.z};
}

// a + s*b
inline void vec_madd(Vec3& out, const Vec3& a, double s, const Vec3& b) {
    out = Vec3{a.x + s * b.x, a.y + s * b.y, a.z + s * b.z};
}

// s*a + t*b
inline void vec_lincomb2(Vec3& out, double s, const Vec3& a, double t, const Vec3& b) {
    out = Vec3{s * a.x + t * b.x, s * a.y + t * b.y, s * a.z + t * b.z};
}

// s*a + t*b + u*c
inline void vec_lincomb3(Vec3& out, double s, const Vec3& a, double t, const Vec3& b, double u,
                         const Vec3& c) {
    out = Vec3{s * a.x + t * b.x + u * c.x, s * a.y + t * b.y + u * c.y,
               s * a.z + t * b.z + u * c.z};
}

// A vector given in a local frame (axes e0, e1, e2) expressed in the parent frame.
inline void vec_from_basis(Vec3& out, const Vec3& v, const Vec3& e0, const Vec3& e1,
                           const Vec3& e2) {
    vec_lincomb3(out, v.x, e0, v.y, e1, v.z, e2);
}

inline void vec_cross(Vec3& out, const Vec3& a, const Vec3& b) {
    out = Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// ---- matrices -------------------------------------------------------------

inline void mat3_zero(Mat3& out) { out = Mat3{0, 0, 0, 0, 0, 0, 0, 0, 0}; }

inline void mat3_identity(Mat3& out) { out = Mat3{1, 0, 0, 0, 1, 0, 0, 0, 1}; }

inline void mat3_from_quat(Mat3& out, const Quat& q) {
    const double w = q.w, x = q.x, y = q.y, z = q.z;
    out = Mat3{1.0 - 2.0 * y * y - 2.0 * z * z, 2.0 * x * y - 2.0 * w * z,
               2.0 * x * z + 2.0 * w * y,       2.0 * x * y + 2.0 * w * z,
               1.0 - 2.0 * x * x - 2.0 * z * z, 2.0 * y * z - 2.0 * w * x,
               2.0 * x * z - 2.0 * w * y,       2.0 * y * z + 2.0 * w * x,
               1.0 - 2.0 * x * x - 2.0 * y * y};
}

// The three columns: the rotated x, y and z axes of a rotation matrix.
inline void mat3_columns(Vec3& c0, Vec3& c1, Vec3& c2, const Mat3& m) {
    const Mat3 a = m;
    c0 = Vec3{a.m00, a.m10, a.m20};
    c1 = Vec3{a.m01, a.m11, a.m21};
    c2 = Vec3{a.m02, a.m12, a.m22};
}

inline void mat3_mul_vec(Vec3& out, const Mat3& m, const Vec3& v) {
    const double x = v.x, y = v.y, z = v.z;
    out = Vec3{m.m00 * x + m.m01 * y + m.m02 * z, m.m10 * x + m.m11 * y + m.m12 * z,
               m.m20 * x + m.m21 * y + m.m22 * z};
}

inline void mat3_mul(Mat3& out, const Mat3& a, const Mat3& b) {
    const Mat3 p = a, q = b;
    out = Mat3{p.m00 * q.m00 + p.m01 * q.m10 + p.m02 * q.m20,
               p.m00 * q.m01 + p.m01 * q.m11 + p.m02 * q.m21,
               p.m00 * q.m02 + p.m01 * q.m12 + p.m02 * q.m22,
               p.m10 * q.m00 + p.m11 * q.m10 + p.m12 * q.m20,
               p.m10 * q.m01 + p.m11 * q.m11 + p.m12 * q.m21,
               p.m10 * q.m02 + p.m11 * q.m12 + p.m12 * q.m22,
               p.m20 * q.m00 + p.m21 * q.m10 + p.m22 * q.m20,
               p.m20 * q.m01 + p.m21 * q.m11 + p.m22 * q.m21,
               p.m20 * q.m02 + p.m21 * q.m12 + p.m22 * q.m22};
}

// a * (b * c)
inline void mat3_mul3(Mat3& out, const Mat3& a, const Mat3& b, const Mat3& c) {
    Mat3 bc;
    mat3_mul(bc, b, c);
    mat3_mul(out, a, bc);
}

inline void mat3_scale(Mat3& out, double s, const Mat3& m) {
    const Mat3 a = m;
    out = Mat3{s * a.m00, s * a.m01, s * a.m02, s * a.m10, s * a.m11,
               s * a.m12, s * a.m20, s * a.m21, s * a.m22};
}

inline void mat3_add(Mat3& out, const Mat3& a, const Mat3& b) {
    const Mat3 p = a, q = b;
    out = Mat3{p.m00 + q.m00, p.m01 + q.m01, p.m02 + q.m02, p.m10 + q.m10, p.m11 + q.m11,
               p.m12 + q.m12, p.m20 + q.m20, p.m21 + q.m21, p.m22 + q.m22};
}

inline void mat3_sub(Mat3& out, const Mat3& a, const Mat3& b) {
    const Mat3 p = a, q = b;
    out = Mat3{p.m00 - q.m00, p.m01 - q.m01, p.m02 - q.m02, p.m10 - q.m10, p.m11 - q.m11,
               p.m12 - q.m12, p.m20 - q.m20, p.m21 - q.m21, p.m22 - q.m22};
}

inline void mat3_transpose(Mat3& out, const Mat3& m) {
    const Mat3 a = m;
    out = Mat3{a.m00, a.m10, a.m20, a.m01, a.m11, a.m21, a.m02, a.m12, a.m22};
}

// Cofactor matrix divided by the determinant: element ij is C_ij / det.
// For the symmetric inertia tensors the simulation inverts this is the
// inverse. A singular matrix yields infinities or NaN; the simulation never
// inverts one (its inertia sums are positive definite).
inline void mat3_inverse(Mat3& out, const Mat3& m) {
    const Mat3 a = m;
    const double c00 = a.m11 * a.m22 - a.m12 * a.m21;
    const double c01 = -(a.m10 * a.m22 - a.m12 * a.m20);
    const double c02 = a.m10 * a.m21 - a.m11 * a.m20;
    const double c10 = -(a.m01 * a.m22 - a.m02 * a.m21);
    const double c11 = a.m00 * a.m22 - a.m02 * a.m20;
    const double c12 = -(a.m00 * a.m21 - a.m01 * a.m20);
    const double c20 = a.m01 * a.m12 - a.m02 * a.m11;
    const double c21 = -(a.m00 * a.m12 - a.m02 * a.m10);
    const double c22 = a.m00 * a.m11 - a.m01 * a.m10;
    const double det = a.m00 * c00 + a.m01 * c01 + a.m02 * c02;
    out = Mat3{c00 / det, c01 / det, c02 / det, c10 / det, c11 / det,
               c12 / det, c20 / det, c21 / det, c22 / det};
}

// Inertia tensor of a unit mass at offset r: |r|^2 I - r r^T.
inline void mat3_point_inertia(Mat3& out, const Vec3& r) {
    const double x = r.x, y = r.y, z = r.z;
    out = Mat3{y * y + z * z, -x * y,        -x * z,  //
               -x * y,        z * z + x * x, -y * z,  //
               -x * z,        -y * z,        x * x + y * y};
}

// ---- quaternions ----------------------------------------------------------

inline void quat_identity(Quat& out) { out = Quat{1.0, 0.0, 0.0, 0.0}; }

// Hamilton product a*b.
inline void quat_mul(Quat& out, const Quat& a, const Quat& b) {
    const Quat p = a, q = b;
    out = Quat{p.w * q.w - (p.x * q.x + p.y * q.y + p.z * q.z),
               p.w * q.x + q.w * p.x + (p.y * q.z - q.y * p.z),
               p.w * q.y + q.w * p.y + (q.x * p.z - p.x * q.z),
               p.w * q.z + q.w * p.z + (p.x * q.y - q.x * p.y)};
}

// q / |q|; a zero quaternion yields NaN (callers never pass one).
inline void quat_normalize(Quat& out, const Quat& q) {
    const Quat a = q;
    const double n = std::sqrt(a.w * a.w + a.x * a.x + a.y * a.y + a.z * a.z);
    out = Quat{a.w / n, a.x / n, a.y / n, a.z / n};
}

inline void quat_conjugate(Quat& out, const Quat& q) { out = Quat{q.w, -q.x, -q.y, -q.z}; }

// Rotation by angle theta (radians) about the unit axis a; not normalised.
inline void quat_from_axis_angle(Quat& out, const Vec3& a, double theta) {
    const double s = std::sin(theta / 2.0);
    out = Quat{std::cos(theta / 2.0), s * a.x, s * a.y, s * a.z};
}

}  // namespace sim
