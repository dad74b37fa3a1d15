// Eight doubles side by side, for the loops of the simulation step that do
// the same work for every segment or every section.
//
// Each lane performs the IEEE double operations of the scalar formula in the
// order they are written, so a lane's result is bit for bit what the scalar
// functions of vector_math.h give; the compiler only packs the lanes into
// SIMD instructions (one AVX-512 register, two AVX2 or four SSE2 registers). The
// formulas below are those of vector_math.h, operation for operation.
//
// Arrays of vectors and quaternions are kept as separate component arrays
// ("blocks") padded to whole groups of eight, so that a group of lanes is a
// plain load or store. Padding lanes hold zeros or whatever the arithmetic
// makes of them; nothing reads them back.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "sim/vector_math.h"

// The lane helpers must be inlined into the portable, the AVX2 and the
// AVX-512 builds of their callers, which then compile them for their
// instruction set.
#define SIM_INLINE inline __attribute__((always_inline))

namespace sim {

inline constexpr int kLaneCount = 8;

typedef double Lanes __attribute__((vector_size(64)));
typedef int64_t LaneMask __attribute__((vector_size(64)));  // all bits set where true

// Groups of lanes covering n items, and n rounded up to whole groups.
constexpr int lane_groups(int n) { return (n + kLaneCount - 1) / kLaneCount; }
constexpr int lane_padded(int n) { return lane_groups(n) * kLaneCount; }

SIM_INLINE Lanes splat(double v) { return Lanes{v, v, v, v, v, v, v, v}; }

SIM_INLINE Lanes load_lanes(const double* from) {
    Lanes v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

SIM_INLINE void store_lanes(double* to, const Lanes& v) { std::memcpy(to, &v, sizeof v); }

// Lane-wise IEEE square root (one SIMD instruction when the target has it).
SIM_INLINE Lanes lanes_sqrt(const Lanes& v) {
    Lanes r;
    for (int i = 0; i < kLaneCount; ++i) r[i] = std::sqrt(v[i]);
    return r;
}

SIM_INLINE Lanes select(const LaneMask& m, const Lanes& if_true, const Lanes& if_false) {
    return m ? if_true : if_false;
}

struct Vec3Lanes {
    Lanes x, y, z;
};

struct QuatLanes {
    Lanes w, x, y, z;
};

SIM_INLINE Vec3Lanes select(const LaneMask& m, const Vec3Lanes& a, const Vec3Lanes& b) {
    return Vec3Lanes{select(m, a.x, b.x), select(m, a.y, b.y), select(m, a.z, b.z)};
}

SIM_INLINE QuatLanes select(const LaneMask& m, const QuatLanes& a, const QuatLanes& b) {
    return QuatLanes{select(m, a.w, b.w), select(m, a.x, b.x), select(m, a.y, b.y),
                     select(m, a.z, b.z)};
}

struct Mat3Lanes {
    Lanes m00, m01, m02;
    Lanes m10, m11, m12;
    Lanes m20, m21, m22;
};

// n vectors as three component arrays.
template <int N>
struct Vec3Block {
    alignas(64) double x[lane_padded(N)];
    alignas(64) double y[lane_padded(N)];
    alignas(64) double z[lane_padded(N)];

    SIM_INLINE Vec3Lanes group(int g) const {
        const int i = g * kLaneCount;
        return Vec3Lanes{load_lanes(x + i), load_lanes(y + i), load_lanes(z + i)};
    }
    SIM_INLINE void set_group(int g, const Vec3Lanes& v) {
        const int i = g * kLaneCount;
        store_lanes(x + i, v.x);
        store_lanes(y + i, v.y);
        store_lanes(z + i, v.z);
    }
    SIM_INLINE Vec3 get(int i) const { return Vec3{x[i], y[i], z[i]}; }
    SIM_INLINE void set(int i, const Vec3& v) {
        x[i] = v.x;
        y[i] = v.y;
        z[i] = v.z;
    }
};

// n quaternions as four component arrays.
template <int N>
struct QuatBlock {
    alignas(64) double w[lane_padded(N)];
    alignas(64) double x[lane_padded(N)];
    alignas(64) double y[lane_padded(N)];
    alignas(64) double z[lane_padded(N)];

    SIM_INLINE QuatLanes group(int g) const {
        const int i = g * kLaneCount;
        return QuatLanes{load_lanes(w + i), load_lanes(x + i), load_lanes(y + i),
                         load_lanes(z + i)};
    }
    SIM_INLINE void set_group(int g, const QuatLanes& q) {
        const int i = g * kLaneCount;
        store_lanes(w + i, q.w);
        store_lanes(x + i, q.x);
        store_lanes(y + i, q.y);
        store_lanes(z + i, q.z);
    }
    SIM_INLINE Quat get(int i) const { return Quat{w[i], x[i], y[i], z[i]}; }
    SIM_INLINE void set(int i, const Quat& q) {
        w[i] = q.w;
        x[i] = q.x;
        y[i] = q.y;
        z[i] = q.z;
    }
};

// n matrices as nine component arrays.
template <int N>
struct Mat3Block {
    alignas(64) double m[9][lane_padded(N)];  // element (row, column) at m[3 * row + column]

    SIM_INLINE Mat3Lanes group(int g) const {
        const int i = g * kLaneCount;
        return Mat3Lanes{load_lanes(m[0] + i), load_lanes(m[1] + i), load_lanes(m[2] + i),
                         load_lanes(m[3] + i), load_lanes(m[4] + i), load_lanes(m[5] + i),
                         load_lanes(m[6] + i), load_lanes(m[7] + i), load_lanes(m[8] + i)};
    }
    SIM_INLINE void set_group(int g, const Mat3Lanes& a) {
        const int i = g * kLaneCount;
        const Lanes* elements[9] = {&a.m00, &a.m01, &a.m02, &a.m10, &a.m11,
                                    &a.m12, &a.m20, &a.m21, &a.m22};
        for (int e = 0; e < 9; ++e) store_lanes(m[e] + i, *elements[e]);
    }
};

// ---- vectors ----------------------------------------------------------------

SIM_INLINE Vec3Lanes splat(const Vec3& v) { return Vec3Lanes{splat(v.x), splat(v.y), splat(v.z)}; }

SIM_INLINE Lanes vec_dot(const Vec3Lanes& a, const Vec3Lanes& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

SIM_INLINE Lanes vec_length(const Vec3Lanes& v) {
    return lanes_sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// v / |v| where |v| is above the smallest normal double, else the zero
// vector; `ok` tells which.
SIM_INLINE Vec3Lanes vec_normalize(const Vec3Lanes& v, LaneMask* ok = nullptr) {
    const Lanes len = vec_length(v);
    const LaneMask long_enough = len > kTinyLength;
    if (ok != nullptr) *ok = long_enough;
    const Lanes zero{};
    return Vec3Lanes{select(long_enough, v.x / len, zero), select(long_enough, v.y / len, zero),
                     select(long_enough, v.z / len, zero)};
}

SIM_INLINE Vec3Lanes vec_scale(const Lanes& s, const Vec3Lanes& v) {
    return Vec3Lanes{s * v.x, s * v.y, s * v.z};
}

SIM_INLINE Vec3Lanes vec_add(const Vec3Lanes& a, const Vec3Lanes& b) {
    return Vec3Lanes{a.x + b.x, a.y + b.y, a.z + b.z};
}

SIM_INLINE Vec3Lanes vec_sub(const Vec3Lanes& a, const Vec3Lanes& b) {
    return Vec3Lanes{a.x - b.x, a.y - b.y, a.z - b.z};
}

// a + s*b
SIM_INLINE Vec3Lanes vec_madd(const Vec3Lanes& a, const Lanes& s, const Vec3Lanes& b) {
    return Vec3Lanes{a.x + s * b.x, a.y + s * b.y, a.z + s * b.z};
}

// s*a + t*b
SIM_INLINE Vec3Lanes vec_lincomb2(double s, const Vec3Lanes& a, double t, const Vec3Lanes& b) {
    return Vec3Lanes{s * a.x + t * b.x, s * a.y + t * b.y, s * a.z + t * b.z};
}

// s*a + t*b + u*c
SIM_INLINE Vec3Lanes vec_lincomb3(const Lanes& s, const Vec3Lanes& a, const Lanes& t,
                                  const Vec3Lanes& b, const Lanes& u, const Vec3Lanes& c) {
    return Vec3Lanes{s * a.x + t * b.x + u * c.x, s * a.y + t * b.y + u * c.y,
                     s * a.z + t * b.z + u * c.z};
}

SIM_INLINE Vec3Lanes vec_cross(const Vec3Lanes& a, const Vec3Lanes& b) {
    return Vec3Lanes{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// ---- matrices ---------------------------------------------------------------

SIM_INLINE Mat3Lanes splat(const Mat3& m) {
    return Mat3Lanes{splat(m.m00), splat(m.m01), splat(m.m02), splat(m.m10), splat(m.m11),
                     splat(m.m12), splat(m.m20), splat(m.m21), splat(m.m22)};
}

SIM_INLINE Mat3Lanes mat3_from_quat(const QuatLanes& q) {
    const Lanes w = q.w, x = q.x, y = q.y, z = q.z;
    return Mat3Lanes{1.0 - 2.0 * y * y - 2.0 * z * z, 2.0 * x * y - 2.0 * w * z,
                     2.0 * x * z + 2.0 * w * y,       2.0 * x * y + 2.0 * w * z,
                     1.0 - 2.0 * x * x - 2.0 * z * z, 2.0 * y * z - 2.0 * w * x,
                     2.0 * x * z - 2.0 * w * y,       2.0 * y * z + 2.0 * w * x,
                     1.0 - 2.0 * x * x - 2.0 * y * y};
}

SIM_INLINE Vec3Lanes column0(const Mat3Lanes& m) { return Vec3Lanes{m.m00, m.m10, m.m20}; }
SIM_INLINE Vec3Lanes column1(const Mat3Lanes& m) { return Vec3Lanes{m.m01, m.m11, m.m21}; }
SIM_INLINE Vec3Lanes column2(const Mat3Lanes& m) { return Vec3Lanes{m.m02, m.m12, m.m22}; }

SIM_INLINE Vec3Lanes mat3_mul_vec(const Mat3Lanes& m, const Vec3Lanes& v) {
    return Vec3Lanes{m.m00 * v.x + m.m01 * v.y + m.m02 * v.z,
                     m.m10 * v.x + m.m11 * v.y + m.m12 * v.z,
                     m.m20 * v.x + m.m21 * v.y + m.m22 * v.z};
}

SIM_INLINE Mat3Lanes mat3_mul(const Mat3Lanes& p, const Mat3Lanes& q) {
    return Mat3Lanes{p.m00 * q.m00 + p.m01 * q.m10 + p.m02 * q.m20,
                     p.m00 * q.m01 + p.m01 * q.m11 + p.m02 * q.m21,
                     p.m00 * q.m02 + p.m01 * q.m12 + p.m02 * q.m22,
                     p.m10 * q.m00 + p.m11 * q.m10 + p.m12 * q.m20,
                     p.m10 * q.m01 + p.m11 * q.m11 + p.m12 * q.m21,
                     p.m10 * q.m02 + p.m11 * q.m12 + p.m12 * q.m22,
                     p.m20 * q.m00 + p.m21 * q.m10 + p.m22 * q.m20,
                     p.m20 * q.m01 + p.m21 * q.m11 + p.m22 * q.m21,
                     p.m20 * q.m02 + p.m21 * q.m12 + p.m22 * q.m22};
}

SIM_INLINE Mat3Lanes mat3_transpose(const Mat3Lanes& a) {
    return Mat3Lanes{a.m00, a.m10, a.m20, a.m01, a.m11, a.m21, a.m02, a.m12, a.m22};
}

// ---- quaternions ------------------------------------------------------------

SIM_INLINE QuatLanes splat(const Quat& q) {
    return QuatLanes{splat(q.w), splat(q.x), splat(q.y), splat(q.z)};
}

// Hamilton product a*b.
SIM_INLINE QuatLanes quat_mul(const QuatLanes& p, const QuatLanes& q) {
    return QuatLanes{p.w * q.w - (p.x * q.x + p.y * q.y + p.z * q.z),
                     p.w * q.x + q.w * p.x + (p.y * q.z - q.y * p.z),
                     p.w * q.y + q.w * p.y + (q.x * p.z - p.x * q.z),
                     p.w * q.z + q.w * p.z + (p.x * q.y - q.x * p.y)};
}

SIM_INLINE QuatLanes quat_normalize(const QuatLanes& a) {
    const Lanes n = lanes_sqrt(a.w * a.w + a.x * a.x + a.y * a.y + a.z * a.z);
    return QuatLanes{a.w / n, a.x / n, a.y / n, a.z / n};
}

SIM_INLINE QuatLanes quat_conjugate(const QuatLanes& q) { return QuatLanes{q.w, -q.x, -q.y, -q.z}; }

}  // namespace sim
