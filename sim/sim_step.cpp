#include "sim/sim_step.h"

#include <cmath>

#include "sim/body.h"
#include "sim/cpu_features.h"
#include "sim/lanes.h"
#include "sim/motor_pattern.h"
#include "sim/skin.h"

namespace sim {

namespace {

constexpr int kReferenceSegment = 20;
constexpr double kQuadraticDrag = 1000.0;
constexpr double kBodyDragLinear = 16.2;
constexpr double kBodyDragQuadratic = 10.0;
constexpr double kEdgeShare = 2.0 / 3.0;  // share of the edge point in a half's force point
constexpr double kSpineShare = 1.0 / 3.0;

constexpr int kSegmentGroups = lane_groups(kSegments);
constexpr int kSectionGroups = lane_groups(kSections);

// Working state of one step, kept from one part of the step to the next. The per-segment and
// per-section loops run eight lanes at a time on component blocks (see
// lanes.h); the records are written once the values are final.
struct StepScratch {
    // ---- segments and spine, shape frame ----
    QuatBlock<kSegments> segment_quat;
    // Spine points, with room for the point after the last group's last
    // point, which the midpoints of that group read.
    Vec3Block<lane_padded(kSpinePoints) + 1> spine;
    Vec3Block<kSegments> segment_mid;
    Vec3Block<kSegments> axis;  // a per-segment direction between two passes
    alignas(64) double half_sin[lane_padded(kSegments)];  // sin and cos of half a rotation angle
    alignas(64) double half_cos[lane_padded(kSegments)];
    alignas(64) int64_t has_axis[lane_padded(kSegments)];  // the axis could be normalised

    // ---- sections, shape frame ----
    alignas(64) double mass[lane_padded(kSections)];
    Vec3Block<kSections> p_prev;  // poses after the previous step
    QuatBlock<kSections> q_prev;
    Vec3Block<kSections> p_new;  // uncorrected new poses
    QuatBlock<kSections> q_new;
    Vec3Block<kSections> pos;  // poses during the correction
    QuatBlock<kSections> quat;
    Vec3Block<kSections> spine_mid;      // midpoint of the section's segment
    Mat3Block<kSections> inertia_world;  // section inertia in its previous pose
    Vec3Block<kSections> spin;           // a section's two shares of the angular momentum
    Vec3Block<kSections> moment;
    // |vector part| of each section's rotation since the previous step,
    // clamped to 1, and its arcsine.
    alignas(64) double rotation_sine[lane_padded(kSections)];
    alignas(64) double rotation_asin[lane_padded(kSections)];

    // ---- section frames and surface motion ----
    alignas(64) double height_top[lane_padded(kSections)];  // copies of the section tables
    alignas(64) double height_bottom[lane_padded(kSections)];
    alignas(64) double drag_upper[lane_padded(kSections)];
    alignas(64) double drag_lower[lane_padded(kSections)];
    alignas(64) double drag_vertical[lane_padded(kSections)];
    Vec3Block<kSections> top;  // dorsal and ventral edge points, shape frame
    Vec3Block<kSections> bottom;
    Vec3Block<kSections> spine_w;  // the section points in world orientation
    Vec3Block<kSections> top_w;
    Vec3Block<kSections> bottom_w;
    Vec3Block<kSections> upper;  // dorsal and ventral force points
    Vec3Block<kSections> lower;
    Vec3Block<kSections> d_spine;  // displacements through the water during the step
    Vec3Block<kSections> d_upper;
    Vec3Block<kSections> d_lower;
    Vec3Block<kSections> n_upper;  // half-surface normals
    Vec3Block<kSections> n_lower;
    Vec3Block<kSections> force;  // force and torque of one kind of surface
    Vec3Block<kSections> torque;
};

// Lane i of group g holds item g * 8 + i; true for the items before `end`.
SIM_INLINE LaneMask lanes_before(int g, int end) {
    const LaneMask index = LaneMask{0, 1, 2, 3, 4, 5, 6, 7} + static_cast<int64_t>(g * kLaneCount);
    return index < static_cast<int64_t>(end);
}

// sin and cos of theta / 2, the two factors of the rotation quaternion by
// theta. A zero angle gives exactly sin 0 = 0 (with the angle's sign) and
// cos 0 = 1, without the library call.
SIM_INLINE void half_angle(double theta, double& s, double& c) {
    const double half = theta / 2.0;
    if (half == 0.0) {
        s = half;
        c = 1.0;
        return;
    }
    s = std::sin(half);
    c = std::cos(half);
}

// Rotation quaternion (cos, sin * axis) from the half-angle factors.
SIM_INLINE QuatLanes rotation_lanes(const Lanes& s, const Lanes& c, const Vec3Lanes& axis) {
    return QuatLanes{c, s * axis.x, s * axis.y, s * axis.z};
}

SIM_INLINE QuatLanes identity_lanes() { return QuatLanes{splat(1.0), Lanes{}, Lanes{}, Lanes{}}; }

// Segment orientations rebuilt from the angle arrays, then turned so that
// the reference segment keeps its previous orientation.
SIM_INLINE void rebuild_segments(const SimWorld& w, const Quat& reference_prev, StepScratch& s) {
    // Twist about the segment's y axis, from the wave start on.
    for (int i = 0; i < lane_padded(kSegments); ++i) {
        s.half_sin[i] = 0.0;
        s.half_cos[i] = 1.0;
    }
    for (int i = kWaveStart; i < kSegments; ++i) {
        const double theta = 0.5 * w.twist[i] * static_cast<double>(i - kWaveStart) /
                             static_cast<double>(kSegments - kWaveStart);
        half_angle(theta, s.half_sin[i], s.half_cos[i]);
    }
    const Vec3Lanes y_axis{Lanes{}, splat(1.0), Lanes{}};
    for (int g = 0; g < kSegmentGroups; ++g) {
        const int i = g * kLaneCount;
        const QuatLanes twist = quat_normalize(
            rotation_lanes(load_lanes(s.half_sin + i), load_lanes(s.half_cos + i), y_axis));
        const QuatLanes q = select(lanes_before(g, kWaveStart), identity_lanes(), twist);
        s.segment_quat.set_group(g, q);

        // The bend turns about the segment's dorsal axis after the twist.
        LaneMask has_axis;
        s.axis.set_group(g, vec_normalize(column2(mat3_from_quat(q)), &has_axis));
        std::memcpy(s.has_axis + i, &has_axis, sizeof has_axis);
    }
    for (int i = 0; i < kSegments; ++i) {
        if (s.has_axis[i] != 0) {
            half_angle(w.bend_a[i] + w.bend_b[i] + w.bend_c[i], s.half_sin[i], s.half_cos[i]);
        }
    }
    for (int g = 0; g < kSegmentGroups; ++g) {
        const int i = g * kLaneCount;
        LaneMask has_axis;
        std::memcpy(&has_axis, s.has_axis + i, sizeof has_axis);
        const QuatLanes bend =
            select(has_axis,
                   quat_normalize(rotation_lanes(load_lanes(s.half_sin + i),
                                                 load_lanes(s.half_cos + i), s.axis.group(g))),
                   identity_lanes());
        s.segment_quat.set_group(g, quat_normalize(quat_mul(bend, s.segment_quat.group(g))));
    }

    Quat carry;
    quat_conjugate(carry, s.segment_quat.get(kReferenceSegment));
    quat_mul(carry, reference_prev, carry);
    quat_normalize(carry, carry);
    const QuatLanes carry_lanes = splat(carry);
    for (int g = 0; g < kSegmentGroups; ++g) {
        s.segment_quat.set_group(g, quat_normalize(quat_mul(carry_lanes, s.segment_quat.group(g))));
    }
}

// The spine laid out from the head.
SIM_INLINE void lay_out_spine(const Creature& c, StepScratch& s) {
    // Each segment's step along its -y axis, then the running sum from the head.
    Vec3Block<kSegments>& step = s.axis;
    for (int g = 0; g < kSegmentGroups; ++g) {
        const Vec3Lanes along = vec_normalize(column1(mat3_from_quat(s.segment_quat.group(g))));
        step.set_group(g, vec_scale(splat(-c.segment_length), along));
    }
    Vec3 p{0.0, 0.0, 0.0};
    s.spine.set(0, p);
    for (int i = 0; i < kSegments; ++i) {
        p = Vec3{p.x + step.x[i], p.y + step.y[i], p.z + step.z[i]};
        s.spine.set(i + 1, p);
    }
    for (int g = 0; g < kSegmentGroups; ++g) {
        const int i = g * kLaneCount;
        const Vec3Lanes front = s.spine.group(g);
        const Vec3Lanes back{load_lanes(s.spine.x + i + 1), load_lanes(s.spine.y + i + 1),
                             load_lanes(s.spine.z + i + 1)};
        s.segment_mid.set_group(g, vec_lincomb2(0.5, front, 0.5, back));
    }
}

// Section lanes gathered from the records.
template <typename T, typename Get>
SIM_INLINE void gather_sections(T& block, Get get) {
    for (int k = 0; k < kSections; ++k) block.set(k, get(k));
}

// Sections placed on the new spine, origin moved to the centre of mass.
SIM_INLINE void place_sections(Creature& c, StepScratch& s) {
    gather_sections(s.p_prev, [&](int k) { return c.section_pos[k]; });
    gather_sections(s.q_prev, [&](int k) { return c.section_quat[k]; });
    std::memcpy(s.mass, c.section_mass, sizeof c.section_mass);
    std::memcpy(s.height_top, c.height_top, sizeof c.height_top);
    std::memcpy(s.height_bottom, c.height_bottom, sizeof c.height_bottom);
    std::memcpy(s.drag_upper, c.drag_upper, sizeof c.drag_upper);
    std::memcpy(s.drag_lower, c.drag_lower, sizeof c.drag_lower);
    std::memcpy(s.drag_vertical, c.drag_vertical, sizeof c.drag_vertical);

    // Each section's share of the total inertia, then their sum in order.
    Mat3Block<kSections> share{};
    Mat3Block<kSections> own{};
    for (int k = 0; k < kSections; ++k) {
        const Mat3& a = c.section_inertia[k];
        const double elements[9] = {a.m00, a.m01, a.m02, a.m10, a.m11, a.m12, a.m20, a.m21, a.m22};
        for (int e = 0; e < 9; ++e) own.m[e][k] = elements[e];
    }
    for (int g = 0; g < kSectionGroups; ++g) {
        const Mat3Lanes r = mat3_from_quat(s.q_prev.group(g));
        const Mat3Lanes world = mat3_mul(r, mat3_mul(own.group(g), mat3_transpose(r)));
        s.inertia_world.set_group(g, world);
        const Vec3Lanes p = s.p_prev.group(g);
        const Lanes x = p.x, y = p.y, z = p.z;
        const Lanes m = load_lanes(s.mass + g * kLaneCount);
        const Mat3Lanes point{y * y + z * z, -x * y,        -x * z,  //
                              -x * y,        z * z + x * x, -y * z,  //
                              -x * z,        -y * z,        x * x + y * y};
        const Mat3Lanes moved{m * point.m00, m * point.m01, m * point.m02,
                              m * point.m10, m * point.m11, m * point.m12,
                              m * point.m20, m * point.m21, m * point.m22};
        share.set_group(
            g, Mat3Lanes{world.m00 + moved.m00, world.m01 + moved.m01, world.m02 + moved.m02,
                         world.m10 + moved.m10, world.m11 + moved.m11, world.m12 + moved.m12,
                         world.m20 + moved.m20, world.m21 + moved.m21, world.m22 + moved.m22});
    }
    double total[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int k = 0; k < kSections; ++k) {
        for (int e = 0; e < 9; ++e) total[e] = total[e] + share.m[e][k];
    }
    c.inertia = Mat3{total[0], total[1], total[2], total[3], total[4],
                     total[5], total[6], total[7], total[8]};
    mat3_inverse(c.inertia_inv, c.inertia);

    // New poses: each section takes its segment's midpoint and orientation.
    for (int k = 0; k < kSections; ++k) {
        const int seg = c.section_segment[k];
        s.spine_mid.set(k, s.segment_mid.get(seg));
        s.quat.set(k, s.segment_quat.get(seg));
    }
    Vec3Block<kSections> com_local{};
    gather_sections(com_local, [&](int k) { return c.section_com_local[k]; });
    for (int g = 0; g < kSectionGroups; ++g) {
        const Mat3Lanes rot = mat3_from_quat(s.quat.group(g));
        const Vec3Lanes com = com_local.group(g);
        const Vec3Lanes offset =
            vec_lincomb3(com.x, column0(rot), com.y, column1(rot), com.z, column2(rot));
        s.pos.set_group(g, vec_add(s.spine_mid.group(g), offset));
    }

    Vec3 weighted{0.0, 0.0, 0.0};
    for (int k = 0; k < kSections; ++k) {
        vec_madd(weighted, weighted, c.section_mass[k], s.pos.get(k));
    }
    const Vec3 centre{weighted.x / c.total_mass, weighted.y / c.total_mass,
                      weighted.z / c.total_mass};
    const Vec3Lanes centre_lanes = splat(centre);
    for (int g = 0; g < lane_groups(kSpinePoints); ++g) {
        s.spine.set_group(g, vec_sub(s.spine.group(g), centre_lanes));
    }
    for (int g = 0; g < kSegmentGroups; ++g) {
        s.segment_mid.set_group(g, vec_sub(s.segment_mid.group(g), centre_lanes));
    }
    for (int g = 0; g < kSectionGroups; ++g) {
        s.pos.set_group(g, vec_sub(s.pos.group(g), centre_lanes));
        s.spine_mid.set_group(g, vec_sub(s.spine_mid.group(g), centre_lanes));
        s.p_new.set_group(g, s.pos.group(g));
        s.q_new.set_group(g, s.quat.group(g));
    }
}

// For the shape correction: angular momentum of the change from the
// previous section poses to the current ones.
SIM_INLINE Vec3 shape_change_momentum(StepScratch& s) {
    // Rotation of each section since the previous step: d = q q_prev*,
    // turned into a rotation vector (see rotation_vector) in two passes
    // around the library's asin.
    QuatLanes change[kSectionGroups];
    Lanes length[kSectionGroups];
    for (int g = 0; g < kSectionGroups; ++g) {
        change[g] = quat_normalize(quat_mul(s.quat.group(g), quat_conjugate(s.q_prev.group(g))));
        length[g] = vec_length(Vec3Lanes{change[g].x, change[g].y, change[g].z});
        store_lanes(s.rotation_sine + g * kLaneCount,
                    select(length[g] > 1.0, splat(1.0), length[g]));
    }
    for (int k = 0; k < kSections; ++k) {
        s.rotation_asin[k] = std::asin(s.rotation_sine[k]);
    }
    for (int g = 0; g < kSectionGroups; ++g) {
        const LaneMask turned = length[g] > kTinyLength;
        const Lanes factor = 2.0 * load_lanes(s.rotation_asin + g * kLaneCount) / length[g];
        const Vec3Lanes v{change[g].x, change[g].y, change[g].z};
        const Vec3Lanes phi = select(turned, vec_scale(factor, v), Vec3Lanes{});
        s.spin.set_group(g, mat3_mul_vec(s.inertia_world.group(g), phi));
        const Lanes m = load_lanes(s.mass + g * kLaneCount);
        s.moment.set_group(g, vec_scale(m, vec_cross(s.p_prev.group(g), s.pos.group(g))));
    }
    Vec3 lambda{0.0, 0.0, 0.0};
    for (int k = 0; k < kSections; ++k) {
        vec_add(lambda, lambda, s.spin.get(k));
        vec_add(lambda, lambda, s.moment.get(k));
    }
    return lambda;
}

// The matrix, axes and edge points of every section from its final pose
// (as update_section_frame does for one section).
SIM_INLINE void update_section_frames(Creature& c, StepScratch& s) {
    Mat3Block<kSections> rot{};
    for (int g = 0; g < kSectionGroups; ++g) {
        const int i = g * kLaneCount;
        const Mat3Lanes m = mat3_from_quat(s.quat.group(g));
        rot.set_group(g, m);
        const Vec3Lanes spine = s.spine_mid.group(g);
        s.top.set_group(g, vec_madd(spine, load_lanes(s.height_top + i), column2(m)));
        s.bottom.set_group(g, vec_madd(spine, -load_lanes(s.height_bottom + i), column2(m)));
    }
    for (int k = 0; k < kSections; ++k) {
        const Mat3 m{rot.m[0][k], rot.m[1][k], rot.m[2][k], rot.m[3][k], rot.m[4][k],
                     rot.m[5][k], rot.m[6][k], rot.m[7][k], rot.m[8][k]};
        c.section_pos[k] = s.pos.get(k);
        c.section_quat[k] = s.quat.get(k);
        c.section_spine[k] = s.spine_mid.get(k);
        c.section_rot[k] = m;
        mat3_columns(c.section_axis_x[k], c.section_axis_y[k], c.section_axis_z[k], m);
        c.section_top[k] = s.top.get(k);
        c.section_bottom[k] = s.bottom.get(k);
    }
}

// Turns the whole new shape until the change from the previous
// poses carries no angular momentum. Returns the number of iterations run;
// kMaxCorrectionIterations + 1 when the cap stopped it unconverged.
SIM_INLINE int correct_shape_spin(Creature& c, StepScratch& s) {
    quat_identity(c.shape_spin);
    Mat3 undo;
    mat3_identity(undo);
    int iterations = kMaxCorrectionIterations + 1;
    for (int iteration = 0; iteration < kMaxCorrectionIterations; ++iteration) {
        const Vec3 lambda = shape_change_momentum(s);
        Vec3 psi;
        mat3_mul_vec(psi, c.inertia_inv, lambda);
        const double angle = vec_length(psi);
        Quat e;
        if (angle > kTinyLength) {
            quat_from_axis_angle(e, Vec3{psi.x / angle, psi.y / angle, psi.z / angle}, angle);
            quat_normalize(e, e);
        } else {
            quat_identity(e);
        }
        quat_mul(c.shape_spin, e, c.shape_spin);
        quat_normalize(c.shape_spin, c.shape_spin);
        Quat inverse_spin;
        quat_conjugate(inverse_spin, c.shape_spin);
        mat3_from_quat(undo, inverse_spin);
        const Mat3Lanes undo_lanes = splat(undo);
        const QuatLanes inverse_lanes = splat(inverse_spin);
        for (int g = 0; g < kSectionGroups; ++g) {
            s.pos.set_group(g, mat3_mul_vec(undo_lanes, s.p_new.group(g)));
            s.quat.set_group(g, quat_normalize(quat_mul(inverse_lanes, s.q_new.group(g))));
        }
        if (angle < kCorrectionLimit) {
            iterations = iteration + 1;
            break;
        }
    }

    // The final correction applies to the rest of the shape.
    Quat inverse_spin;
    quat_conjugate(inverse_spin, c.shape_spin);
    const Mat3Lanes undo_lanes = splat(undo);
    const QuatLanes inverse_lanes = splat(inverse_spin);
    for (int g = 0; g < kSectionGroups; ++g) {
        s.spine_mid.set_group(g, mat3_mul_vec(undo_lanes, s.spine_mid.group(g)));
    }
    update_section_frames(c, s);
    for (int g = 0; g < kSegmentGroups; ++g) {
        s.segment_mid.set_group(g, mat3_mul_vec(undo_lanes, s.segment_mid.group(g)));
        s.segment_quat.set_group(g,
                                 quat_normalize(quat_mul(inverse_lanes, s.segment_quat.group(g))));
    }
    for (int g = 0; g < lane_groups(kSpinePoints); ++g) {
        s.spine.set_group(g, mat3_mul_vec(undo_lanes, s.spine.group(g)));
    }
    for (int i = 0; i < kSegments; ++i) {
        c.segment_mid[i] = s.segment_mid.get(i);
        c.segment_quat[i] = s.segment_quat.get(i);
    }
    for (int i = 0; i < kSpinePoints; ++i) c.spine_pt[i] = s.spine.get(i);
    return iterations;
}

// Unit axes of every segment, for the skin.
SIM_INLINE void update_segment_axes(SimWorld& w, const StepScratch& s) {
    Vec3Block<kSegments> side{}, back{}, up{};
    for (int g = 0; g < kSegmentGroups; ++g) {
        const Mat3Lanes m = mat3_from_quat(s.segment_quat.group(g));
        side.set_group(g, vec_normalize(column0(m)));
        back.set_group(g, vec_normalize(vec_scale(splat(-1.0), column1(m))));
        up.set_group(g, vec_normalize(column2(m)));
    }
    for (int i = 0; i < kSegments; ++i) {
        w.seg_side[i] = side.get(i);
        w.seg_back[i] = back.get(i);
        w.seg_up[i] = up.get(i);
    }
}

// The rigid body moved by semi-implicit Euler with the previous step's forces.
void integrate_rigid_body(Creature& c, double h) {
    vec_madd(c.momentum, c.momentum, h, c.force);
    c.velocity =
        Vec3{c.momentum.x / c.total_mass, c.momentum.y / c.total_mass, c.momentum.z / c.total_mass};
    vec_madd(c.position, c.position, h, c.velocity);
    c.speed = vec_length(c.velocity);

    vec_madd(c.angular_momentum, c.angular_momentum, h, c.torque);
    Mat3 r, rt, world_inverse;
    mat3_from_quat(r, c.orientation);
    mat3_transpose(rt, r);
    mat3_mul3(world_inverse, r, c.inertia_inv, rt);
    mat3_mul_vec(c.angular_velocity, world_inverse, c.angular_momentum);

    const double theta = vec_length(c.angular_velocity) * h;
    Vec3 axis;
    Quat turn;
    if (vec_normalize(axis, c.angular_velocity)) {
        quat_from_axis_angle(turn, axis, theta);
    } else {
        quat_identity(turn);
    }
    quat_mul(c.orientation, turn, c.orientation);
    quat_normalize(c.orientation, c.orientation);
    mat3_from_quat(c.rotation, c.orientation);
}

// Normal of a half-surface from its edge direction and the direction along
// the body, one-sided at the two ends.
SIM_INLINE void half_surface_normals(Vec3Block<kSections>& out, const Vec3Block<kSections>& from,
                                     const Vec3Block<kSections>& to,
                                     const Vec3Block<kSections>& points) {
    Vec3Block<kSections> along{};
    for (int k = 0; k < kSections; ++k) {
        const int ahead = k == kSections - 1 ? k : k + 1;
        const int behind = k == 0 ? k : k - 1;
        Vec3 d;
        vec_sub(d, points.get(ahead), points.get(behind));
        along.set(k, d);
    }
    for (int g = 0; g < kSectionGroups; ++g) {
        const Vec3Lanes edge = vec_sub(to.group(g), from.group(g));
        out.set_group(g, vec_normalize(vec_cross(edge, along.group(g))));
    }
}

// How the body surface moved through the water during the step.
SIM_INLINE void measure_surface_motion(Creature& c, StepScratch& s, double h) {
    Vec3Block<kSections> spine_old{}, top_old{}, bottom_old{};
    gather_sections(spine_old, [&](int k) { return c.section_spine_w[k]; });
    gather_sections(top_old, [&](int k) { return c.section_top_w[k]; });
    gather_sections(bottom_old, [&](int k) { return c.section_bottom_w[k]; });
    const Mat3Lanes rotation = splat(c.rotation);
    Vec3 delta;
    vec_scale(delta, h, c.velocity);
    const Vec3Lanes delta_lanes = splat(delta);
    for (int g = 0; g < kSectionGroups; ++g) {
        const Vec3Lanes upper_old =
            vec_lincomb2(kEdgeShare, top_old.group(g), kSpineShare, spine_old.group(g));
        const Vec3Lanes lower_old =
            vec_lincomb2(kEdgeShare, bottom_old.group(g), kSpineShare, spine_old.group(g));
        const Vec3Lanes spine_w = mat3_mul_vec(rotation, s.spine_mid.group(g));
        const Vec3Lanes top_w = mat3_mul_vec(rotation, s.top.group(g));
        const Vec3Lanes bottom_w = mat3_mul_vec(rotation, s.bottom.group(g));
        s.spine_w.set_group(g, spine_w);
        s.top_w.set_group(g, top_w);
        s.bottom_w.set_group(g, bottom_w);
        const Vec3Lanes upper = vec_lincomb2(kEdgeShare, top_w, kSpineShare, spine_w);
        const Vec3Lanes lower = vec_lincomb2(kEdgeShare, bottom_w, kSpineShare, spine_w);
        s.upper.set_group(g, upper);
        s.lower.set_group(g, lower);
        s.d_spine.set_group(g, vec_add(vec_sub(spine_w, spine_old.group(g)), delta_lanes));
        s.d_upper.set_group(g, vec_add(vec_sub(upper, upper_old), delta_lanes));
        s.d_lower.set_group(g, vec_add(vec_sub(lower, lower_old), delta_lanes));
    }
    for (int k = 0; k < kSections; ++k) {
        c.section_spine_w[k] = s.spine_w.get(k);
        c.section_top_w[k] = s.top_w.get(k);
        c.section_bottom_w[k] = s.bottom_w.get(k);
    }
    half_surface_normals(s.n_upper, s.spine_w, s.top_w, s.upper);
    half_surface_normals(s.n_lower, s.bottom_w, s.spine_w, s.lower);
}

// Water force on each section's surface of the given areas moving at
// normal velocity v along n, with its torque about the centre of mass at
// `point`: f1 + f2 and point x f1 + point x f2 go to s.force and s.torque.
SIM_INLINE void surface_forces(StepScratch& s, int g, double linear, const double* area,
                               const Lanes& v, const Vec3Lanes& n, const Vec3Lanes& point) {
    const Lanes a = load_lanes(area + g * kLaneCount);
    Lanes magnitude;
    for (int i = 0; i < kLaneCount; ++i) magnitude[i] = std::fabs(v[i]);
    const Lanes q = v * magnitude;
    const Vec3Lanes f1 = vec_scale(-linear * a * v, n);
    const Vec3Lanes f2 = vec_scale(-kQuadraticDrag * a * q, n);
    s.force.set_group(g, vec_add(f1, f2));
    s.torque.set_group(g, vec_add(vec_cross(point, f1), vec_cross(point, f2)));
}

// Adds the sections' forces and torques of one kind of surface in order.
SIM_INLINE void add_surface_forces(Creature& c, const StepScratch& s) {
    for (int k = 0; k < kSections; ++k) {
        vec_add(c.force, c.force, s.force.get(k));
        vec_add(c.torque, c.torque, s.torque.get(k));
    }
}

// The water forces that move the body in the next step.
SIM_INLINE void compute_water_forces(Creature& c, SimWorld& w, StepScratch& s, double h) {
    vec_zero(c.force);
    vec_zero(c.torque);
    const double linear = w.drag_linear;
    double last_upper_v = 0.0;
    for (int g = 0; g < kSectionGroups; ++g) {
        const Vec3Lanes n = s.n_upper.group(g);
        const Lanes v = vec_dot(s.d_upper.group(g), n) / h;
        if (g == kSectionGroups - 1) last_upper_v = v[(kSections - 1) % kLaneCount];
        surface_forces(s, g, linear, s.drag_upper, v, n, s.upper.group(g));
    }
    add_surface_forces(c, s);
    w.tail_load = -last_upper_v;
    for (int g = 0; g < kSectionGroups; ++g) {
        const Vec3Lanes n = s.n_lower.group(g);
        const Lanes v = vec_dot(s.d_lower.group(g), n) / h;
        surface_forces(s, g, linear, s.drag_lower, v, n, s.lower.group(g));
    }
    add_surface_forces(c, s);
    const QuatLanes orientation = splat(c.orientation);
    for (int g = 0; g < kSectionGroups; ++g) {
        const QuatLanes q = quat_normalize(quat_mul(orientation, s.quat.group(g)));
        const Vec3Lanes n = column2(mat3_from_quat(q));
        const Lanes v = vec_dot(s.d_spine.group(g), n) / h;
        surface_forces(s, g, linear, s.drag_vertical, v, n, s.spine_w.group(g));
    }
    add_surface_forces(c, s);
    Vec3 direction;
    vec_normalize(direction, c.velocity);
    const double magnitude = -kBodyDragLinear * c.body_drag * c.speed -
                             kBodyDragQuadratic * c.body_drag * (c.speed * c.speed);
    Vec3 drag;
    vec_scale(drag, magnitude, direction);
    vec_add(c.force, c.force, drag);
}

// The body's new shape from the motor pattern's angles, turned so that
// flexing carries no angular momentum.
SIM_INLINE void reshape_body(Creature& c, SimWorld& w, const Quat& reference_prev, StepScratch& scratch) {
    rebuild_segments(w, reference_prev, scratch);
    lay_out_spine(c, scratch);
    place_sections(c, scratch);
    w.correction_iterations = correct_shape_spin(c, scratch);
    if (w.correction_iterations > kMaxCorrectionIterations) {
        ++w.correction_cap_hits;
    }
    update_segment_axes(w, scratch);
}

// The body moves under the previous step's forces, the steering directions
// are taken from its new pose and the water answers with the forces for the
// next step.
SIM_INLINE void move_through_water(Creature& c, SimWorld& w, StepScratch& scratch, double h) {
    integrate_rigid_body(c, h);
    measure_surface_motion(c, scratch, h);
    c.head_pt_prev = c.head_pt;
    update_steering_frame(c, w);
    compute_water_forces(c, w, scratch, h);
}

// The whole step; built three times below, for the portable, the AVX2 and
// the AVX-512 instruction sets.
SIM_INLINE void run_step(Creature& c, SimWorld& w, double t, double h) {
    // The first step starts without a load on the tail.
    if (w.first_step) {
        w.tail_load = 0.0;
    }
    // The body's orientation carries over through the reference segment.
    const Quat reference_prev = c.segment_quat[kReferenceSegment];

    update_motor_pattern(c, w, t, h);
    StepScratch scratch{};  // zero-filled, so that padding lanes start from clean values
    reshape_body(c, w, reference_prev, scratch);
    move_through_water(c, w, scratch, h);
    pose_skin(c, w, w.seg_side, w.seg_back, w.seg_up);
    apply_side_bulge(c, w);
    w.first_step = 0;
}

SIM_AVX512_TARGET void run_step_avx512(Creature& c, SimWorld& w, double t, double h) {
    run_step(c, w, t, h);
}

SIM_AVX2_TARGET void run_step_avx2(Creature& c, SimWorld& w, double t, double h) { run_step(c, w, t, h); }

void run_step_portable(Creature& c, SimWorld& w, double t, double h) { run_step(c, w, t, h); }

}  // namespace

Vec3 rotation_vector(const Quat& d) {
    const Vec3 v{d.x, d.y, d.z};
    const double s = vec_length(v);
    if (!(s > kTinyLength)) {
        return Vec3{0.0, 0.0, 0.0};
    }
    const double sine = s > 1.0 ? 1.0 : s;
    Vec3 phi;
    vec_scale(phi, 2.0 * std::asin(sine) / s, v);
    return phi;
}

void sim_step(Creature& c, SimWorld& w, double t, double h) {
    switch (sim_path()) {
        case SimPath::Avx512: run_step_avx512(c, w, t, h); break;
        case SimPath::Avx2: run_step_avx2(c, w, t, h); break;
        default: run_step_portable(c, w, t, h); break;
    }
}

}  // namespace sim
