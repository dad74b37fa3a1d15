#include "sim/skin.h"

#include <immintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "sim/cpu_features.h"
#include "sim/lanes.h"

namespace sim {

namespace {

constexpr double kTenDegrees = 0.17453292519943295;

// Normalised cross product u x v (zero when the product is degenerate).
Vec3 unit_cross(const Vec3& u, const Vec3& v) {
    Vec3 c;
    vec_cross(c, u, v);
    vec_normalize(c, c);
    return c;
}

// y of ring i in the rest grid: even spacing over the body, denser near
// the head for rings 0 to 40.
double ring_y(int i, double length) {
    if (i <= 20) {
        const double d = 0.005 * static_cast<double>(i * i);
        return -0.04 * length * d;
    }
    if (i <= 40) {
        const double d = 2.0 + 0.4 * static_cast<double>(i - 20);
        return -0.04 * length * d;
    }
    return -(static_cast<double>(i) / 100.0) * length;
}

}  // namespace

void build_skin_rest(Creature& creature, const BodyProfiles& profiles,
                     const double (&spine_y)[kSpinePoints]) {
    const double length = creature.body_length;
    Vec3 grid[kRings][kRingPoints];    // rest points, head-tip frame
    Vec3 normal[kRings][kRingPoints];  // rest normals

    // Ring grid and shape.
    for (int i = 0; i < kRings; ++i) {
        const double y = ring_y(i, length);
        const double d = std::fabs(y);
        const double t = profile_eval(profiles.top, d);
        const double p = profile_eval(profiles.bottom, d);
        const double w = profile_eval(profiles.half_width, d);
        for (int j = 0; j < kRingPoints; ++j) {
            const double theta = static_cast<double>(j) * kTenDegrees;
            double x = std::sin(theta);
            double z = std::cos(theta);
            if (z > 0.0) {
                z = t * z;
            } else {
                z = std::fabs(p) * z;
            }
            x = w * x;
            grid[i][j] = Vec3{x, y, z};
        }
    }

    // Normals from the four neighbours; the midlines keep x = 0 so the two
    // halves meet without a crease.
    for (int j = 0; j < kRingPoints; ++j) {
        normal[0][j] = Vec3{0.0, 1.0, 0.0};
        normal[kRings - 1][j] = Vec3{1.0, 0.0, 0.0};
    }
    for (int i = 1; i < kRings - 1; ++i) {
        for (int j = 0; j < kRingPoints; ++j) {
            const Vec3& centre = grid[i][j];
            Vec3 a, c;
            vec_sub(a, grid[i - 1][j], centre);
            vec_sub(c, grid[i + 1][j], centre);
            Vec3 n;
            if (j == 0) {
                Vec3 e;
                vec_sub(e, grid[i][j + 1], centre);
                vec_add(n, unit_cross(c, e), unit_cross(e, a));
                n.x = 0.0;
            } else if (j == kRingPoints - 1) {
                Vec3 b;
                vec_sub(b, grid[i][j - 1], centre);
                vec_add(n, unit_cross(a, b), unit_cross(b, c));
                n.x = 0.0;
            } else {
                Vec3 b, e;
                vec_sub(b, grid[i][j - 1], centre);
                vec_sub(e, grid[i][j + 1], centre);
                vec_add4(n, unit_cross(a, b), unit_cross(b, c), unit_cross(c, e), unit_cross(e, a));
            }
            vec_normalize(normal[i][j], n);
        }
    }

    // Binding: each point belongs to the segment whose span of distances
    // behind the head tip contains it.
    for (int i = 0; i < kRings; ++i) {
        for (int j = 0; j < kRingPoints; ++j) {
            const Vec3& point = grid[i][j];
            const double d = std::fabs(point.y);
            int segment = 0;
            if (d != 0.0) {
                segment = kSegments - 1;
                for (int s = 0; s < kSegments; ++s) {
                    if (std::fabs(spine_y[s]) < d && d <= std::fabs(spine_y[s + 1])) {
                        segment = s;
                        break;
                    }
                }
            }
            const Vec3& n = normal[i][j];
            creature.skin_segment[i][j] = segment;
            creature.skin_offset_local[i][j] = Vec3{point.x, d - std::fabs(spine_y[segment]), point.z};
            creature.skin_normal_local[i][j] = Vec3{n.x, -n.y, n.z};
        }
    }
}

namespace {

// Every point of a ring lies at the same distance behind the head tip, so
// the binding gives the whole ring one segment and one offset along it: the
// ring is posed with the segment frame and the offset of its first point.

// ---- portable version ----------------------------------------------------

// Two-lane double vector for the x and y components; z goes alongside as a
// scalar. Every lane does exactly the IEEE operation of the scalar formula,
// so the results are bit for bit those of the written expressions.
typedef double Pair __attribute__((vector_size(16)));

struct XyzLanes {
    Pair xy;
    double z;
};

SIM_INLINE XyzLanes xyz_lanes(const Vec3& v) { return XyzLanes{Pair{v.x, v.y}, v.z}; }
SIM_INLINE XyzLanes scaled(double s, const XyzLanes& v) { return XyzLanes{Pair{s, s} * v.xy, s * v.z}; }
SIM_INLINE XyzLanes operator+(const XyzLanes& a, const XyzLanes& b) {
    return XyzLanes{a.xy + b.xy, a.z + b.z};
}
SIM_INLINE XyzLanes operator-(const XyzLanes& a, const XyzLanes& b) {
    return XyzLanes{a.xy - b.xy, a.z - b.z};
}

// Drawing-frame vertex (y and z exchanged) from shape-frame position and normal.
SIM_INLINE void store_vertex(Vertex& out, const XyzLanes& p, const XyzLanes& n) {
    out = Vertex{static_cast<float>(p.xy[0]), static_cast<float>(p.z), static_cast<float>(p.xy[1]),
                 static_cast<float>(n.xy[0]), static_cast<float>(n.z), static_cast<float>(n.xy[1]),
                 0.0f, 0.0f};
}

SIM_INLINE void store_point(Vec3& out, const XyzLanes& p) { out = Vec3{p.xy[0], p.xy[1], p.z}; }

// Built for the portable and the AVX2 instruction sets below.
SIM_INLINE void pose_skin_pairs(const Creature& creature, SimWorld& world, const Vec3 (&side)[kSegments],
                                const Vec3 (&back)[kSegments], const Vec3 (&up)[kSegments]) {
    for (int r = 0; r < kRings; ++r) {
        const int s = creature.skin_segment[r][0];
        const XyzLanes base = xyz_lanes(creature.spine_pt[s]);
        const XyzLanes e0 = xyz_lanes(side[s]);
        const XyzLanes e1 = xyz_lanes(back[s]);
        const XyzLanes e2 = xyz_lanes(up[s]);
        const XyzLanes along_back = scaled(creature.skin_offset_local[r][0].y, e1);
        for (int j = 0; j < kRingPoints; ++j) {
            const Vec3& o = creature.skin_offset_local[r][j];
            const Vec3& n = creature.skin_normal_local[r][j];

            // Side 1 is the +x side, side 0 its mirror image.
            const XyzLanes along_side = scaled(o.x, e0);
            const XyzLanes along_up = scaled(o.z, e2);
            const XyzLanes plus = ((base + along_side) + along_back) + along_up;
            const XyzLanes minus = ((base - along_side) + along_back) + along_up;

            const XyzLanes n_side = scaled(n.x, e0);
            const XyzLanes n_back = scaled(n.y, e1);
            const XyzLanes n_up = scaled(n.z, e2);
            const XyzLanes n_plus = (n_side + n_back) + n_up;
            const XyzLanes n_minus = (n_back - n_side) + n_up;

            store_point(world.skin_pos[1][r][j], plus);
            store_point(world.skin_pos[0][r][j], minus);
            store_vertex(world.vertex_plus[r][j], plus, n_plus);
            store_vertex(world.vertex_minus[r][j], minus, n_minus);
        }
    }
}

void pose_skin_portable(const Creature& creature, SimWorld& world, const Vec3 (&side)[kSegments],
                        const Vec3 (&back)[kSegments], const Vec3 (&up)[kSegments]) {
    pose_skin_pairs(creature, world, side, back, up);
}

SIM_AVX2_TARGET void pose_skin_avx2(const Creature& creature, SimWorld& world, const Vec3 (&side)[kSegments],
                                    const Vec3 (&back)[kSegments], const Vec3 (&up)[kSegments]) {
    pose_skin_pairs(creature, world, side, back, up);
}

// ---- AVX-512 version -----------------------------------------------------
//
// Two points of one side share the eight lanes of a Lanes vector (lanes.h):
// x, y, z of the first point, x, y, z of the second and two spare lanes that
// are never stored. A ring takes ten pairs, the last one holding point 18
// alone.

typedef float FloatLanes __attribute__((vector_size(32)));

constexpr __mmask8 kTwoPoints = 0x3F;
constexpr __mmask8 kOnePoint = 0x07;

// A segment-frame vector for both points of a pair.
SIM_AVX512_TARGET inline Lanes pair_lanes(const Vec3& v) {
    return Lanes{v.x, v.y, v.z, v.x, v.y, v.z, 0.0, 0.0};
}

// The table entries of points j and j + 1 (j + 1 only when `two`).
SIM_AVX512_TARGET inline Lanes load_pair(const Vec3* table, bool two) {
    if (two) {
        // Not load_lanes: clang refuses a call from this instruction set to a
        // helper built without it that returns a wide vector.
        Lanes v;
        std::memcpy(&v, &table[0].x, sizeof v);
        return v;
    }
    return Lanes{table[0].x, table[0].y, table[0].z, 0.0, 0.0, 0.0, 0.0, 0.0};
}

// Component `comp` of each point of a pair, spread over the point's lanes.
SIM_AVX512_TARGET inline Lanes component(const Lanes& pair, int comp) {
    const int a = comp, b = comp + 3;
    return Lanes{pair[a], pair[a], pair[a], pair[b], pair[b], pair[b], pair[a], pair[a]};
}

// Vertices of a pair in the drawing frame, (px, pz, py, nx, nz, ny, 0, 0)
// each, from the positions and normals in pair lanes.
SIM_AVX512_TARGET inline void store_vertices(Vertex* out, const Lanes& position,
                                             const Lanes& normal, bool two) {
    const __m512 p = _mm512_castps256_ps512(__builtin_convertvector(position, FloatLanes));
    const __m512 n = _mm512_castps256_ps512(__builtin_convertvector(normal, FloatLanes));
    const __m512i order = _mm512_setr_epi32(0, 2, 1, 16, 18, 17, 0, 0, 3, 5, 4, 19, 21, 20, 0, 0);
    const __m512 v = _mm512_maskz_permutex2var_ps(0x3F3F, p, order, n);
    _mm512_mask_storeu_ps(&out->px, two ? 0xFFFF : 0x00FF, v);
}

SIM_AVX512_TARGET void pose_skin_avx512(const Creature& creature, SimWorld& world,
                                        const Vec3 (&side)[kSegments],
                                        const Vec3 (&back)[kSegments],
                                        const Vec3 (&up)[kSegments]) {
    for (int r = 0; r < kRings; ++r) {
        const int s = creature.skin_segment[r][0];
        const Lanes base = pair_lanes(creature.spine_pt[s]);
        const Lanes e0 = pair_lanes(side[s]);
        const Lanes e1 = pair_lanes(back[s]);
        const Lanes e2 = pair_lanes(up[s]);
        const double b = creature.skin_offset_local[r][0].y;
        const Lanes along_back = b * e1;  // b in every lane
        for (int j = 0; j < kRingPoints; j += 2) {
            const bool two = j + 1 < kRingPoints;
            const Lanes o = load_pair(&creature.skin_offset_local[r][j], two);
            const Lanes n = load_pair(&creature.skin_normal_local[r][j], two);

            // Side 1 is the +x side, side 0 its mirror image.
            const Lanes along_side = component(o, 0) * e0;
            const Lanes along_up = component(o, 2) * e2;
            const Lanes plus = ((base + along_side) + along_back) + along_up;
            const Lanes minus = ((base - along_side) + along_back) + along_up;

            const Lanes n_side = component(n, 0) * e0;
            const Lanes n_back = component(n, 1) * e1;
            const Lanes n_up = component(n, 2) * e2;
            const Lanes n_plus = (n_side + n_back) + n_up;
            const Lanes n_minus = (n_back - n_side) + n_up;

            const __mmask8 points = two ? kTwoPoints : kOnePoint;
            _mm512_mask_storeu_pd(&world.skin_pos[1][r][j].x, points, plus);
            _mm512_mask_storeu_pd(&world.skin_pos[0][r][j].x, points, minus);
            store_vertices(&world.vertex_plus[r][j], plus, n_plus, two);
            store_vertices(&world.vertex_minus[r][j], minus, n_minus, two);
        }
    }
}

}  // namespace

void pose_skin(const Creature& creature, SimWorld& world, const Vec3 (&side)[kSegments],
               const Vec3 (&back)[kSegments], const Vec3 (&up)[kSegments]) {
    switch (sim_path()) {
        case SimPath::Avx512: pose_skin_avx512(creature, world, side, back, up); break;
        case SimPath::Avx2: pose_skin_avx2(creature, world, side, back, up); break;
        default: pose_skin_portable(creature, world, side, back, up); break;
    }
}

void apply_side_bulge(const Creature& creature, SimWorld& world) {
    constexpr int kRing = 23;
    const double outwards = creature.body_length * 0.03 / 25.0;
    const Vec3& axis = world.seg_side[creature.skin_segment[kRing][10]];
    for (int side = 0; side < 2; ++side) {
        Vec3(&ring)[kRingPoints] = world.skin_pos[side][kRing];
        const Vec3(&prev)[kRingPoints] = world.skin_pos[side][kRing - 1];
        const Vec3(&next)[kRingPoints] = world.skin_pos[side][kRing + 1];
        vec_lincomb2(ring[10], 0.4, prev[10], 0.6, ring[10]);
        vec_lincomb2(ring[12], 0.4, next[12], 0.6, ring[12]);
        const double shift = side == 0 ? -outwards : outwards;
        vec_madd(ring[10], ring[10], shift, axis);
        vec_madd(ring[12], ring[12], shift, axis);
        vec_lincomb2(ring[11], 0.5, ring[10], 0.5, ring[12]);

        Vertex(&vertices)[kRingPoints] = side == 0 ? world.vertex_minus[kRing] : world.vertex_plus[kRing];
        for (int j = 10; j <= 12; ++j) {
            vertices[j].px = static_cast<float>(ring[j].x);
            vertices[j].py = static_cast<float>(ring[j].z);
            vertices[j].pz = static_cast<float>(ring[j].y);
        }
    }
}

void build_grid_indices(uint16_t* out, int rows, int cols) {
    int k = 0;
    for (int r = 0; r < rows - 1; ++r) {
        for (int c = 0; c < cols - 1; ++c) {
            const int v = r * cols + c;
            out[k++] = static_cast<uint16_t>(v);
            out[k++] = static_cast<uint16_t>(v + 1);
            out[k++] = static_cast<uint16_t>(v + cols);
            out[k++] = static_cast<uint16_t>(v + cols);
            out[k++] = static_cast<uint16_t>(v + 1);
            out[k++] = static_cast<uint16_t>(v + cols + 1);
        }
    }
}

}  // namespace sim
