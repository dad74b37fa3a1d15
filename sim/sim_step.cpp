#include "sim/sim_step.h"

#include <cmath>

#include "sim/body.h"
#include "sim/motor_pattern.h"
#include "sim/skin.h"

namespace sim {

namespace {

constexpr int kReferenceSegment = 20;
constexpr double kQuadraticDrag = 1000.0;
constexpr double kBodyDragLinear = 16.2;
constexpr double kBodyDragQuadratic = 10.0;
constexpr double kEdgeShare = 2.0 / 3.0;   // share of the edge point in a half's force point
constexpr double kSpineShare = 1.0 / 3.0;

// Section state of the previous and the uncorrected new shape, kept across
// the phases of one step.
struct StepScratch {
    Vec3 p_prev[kSections];
    Quat q_prev[kSections];
    Vec3 p_new[kSections];
    Quat q_new[kSections];
    Mat3 inertia_world[kSections];  // section inertia in its previous pose, shape frame
    Vec3 upper[kSections];          // dorsal force points, world orientation
    Vec3 lower[kSections];          // ventral force points
    Vec3 d_spine[kSections];        // displacements through the water during the step
    Vec3 d_upper[kSections];
    Vec3 d_lower[kSections];
    Vec3 n_upper[kSections];        // half-surface normals
    Vec3 n_lower[kSections];
};

void rotation_about(Quat& out, const Vec3& axis, double angle) {
    quat_from_axis_angle(out, axis, angle);
}

Vec3 column(const Quat& q, int index) {
    Mat3 m;
    Vec3 c[3];
    mat3_from_quat(m, q);
    mat3_columns(c[0], c[1], c[2], m);
    return c[index];
}

// Phase 3: segment orientations rebuilt from the angle arrays, then turned so
// that the reference segment keeps its previous orientation.
void rebuild_segments(Creature& c, const SimWorld& w, const Quat& q20_prev) {
    for (int i = 0; i < kSegments; ++i) {
        if (i < kWaveStart) {
            quat_identity(c.segment_quat[i]);
            continue;
        }
        const double theta =
            0.5 * w.twist[i] * static_cast<double>(i - kWaveStart) / static_cast<double>(kSegments - kWaveStart);
        rotation_about(c.segment_quat[i], Vec3{0.0, 1.0, 0.0}, theta);
        quat_normalize(c.segment_quat[i], c.segment_quat[i]);
    }
    for (int i = 0; i < kSegments; ++i) {
        Vec3 axis;
        Quat bend;
        const bool has_axis = vec_normalize(axis, column(c.segment_quat[i], 2));
        if (has_axis) {
            rotation_about(bend, axis, w.bend_a[i] + w.bend_b[i] + w.bend_c[i]);
            quat_normalize(bend, bend);
        } else {
            quat_identity(bend);
        }
        quat_mul(c.segment_quat[i], bend, c.segment_quat[i]);
        quat_normalize(c.segment_quat[i], c.segment_quat[i]);
    }
    Quat carry;
    quat_conjugate(carry, c.segment_quat[kReferenceSegment]);
    quat_mul(carry, q20_prev, carry);
    quat_normalize(carry, carry);
    for (int i = 0; i < kSegments; ++i) {
        quat_mul(c.segment_quat[i], carry, c.segment_quat[i]);
        quat_normalize(c.segment_quat[i], c.segment_quat[i]);
    }
}

// Phase 4: the spine laid out from the head.
void lay_out_spine(Creature& c) {
    vec_zero(c.spine_pt[0]);
    for (int i = 0; i < kSegments; ++i) {
        Vec3 along;
        vec_normalize(along, column(c.segment_quat[i], 1));
        vec_madd(c.spine_pt[i + 1], c.spine_pt[i], -c.segment_length, along);
        vec_lincomb2(c.segment_mid[i], 0.5, c.spine_pt[i], 0.5, c.spine_pt[i + 1]);
    }
}

// Phase 5: sections placed on the new spine, origin moved to the centre of mass.
void place_sections(Creature& c, StepScratch& s) {
    for (int k = 0; k < kSections; ++k) {
        s.p_prev[k] = c.section_pos[k];
        s.q_prev[k] = c.section_quat[k];
    }
    Mat3 total;
    mat3_zero(total);
    for (int k = 0; k < kSections; ++k) {
        Mat3 r, rt, point;
        mat3_from_quat(r, s.q_prev[k]);
        mat3_transpose(rt, r);
        mat3_mul3(s.inertia_world[k], r, c.section_inertia[k], rt);
        mat3_point_inertia(point, s.p_prev[k]);
        mat3_scale(point, c.section_mass[k], point);
        mat3_add(point, s.inertia_world[k], point);
        mat3_add(total, total, point);
    }
    c.inertia = total;
    mat3_inverse(c.inertia_inv, c.inertia);

    for (int k = 0; k < kSections; ++k) {
        const int seg = c.section_segment[k];
        c.section_spine[k] = c.segment_mid[seg];
        c.section_quat[k] = c.segment_quat[seg];
        mat3_from_quat(c.section_rot[k], c.section_quat[k]);
        mat3_columns(c.section_axis_x[k], c.section_axis_y[k], c.section_axis_z[k], c.section_rot[k]);
        Vec3 offset;
        vec_from_basis(offset, c.section_com_local[k], c.section_axis_x[k], c.section_axis_y[k],
                       c.section_axis_z[k]);
        vec_add(c.section_pos[k], c.section_spine[k], offset);
    }

    Vec3 weighted{0.0, 0.0, 0.0};
    for (int k = 0; k < kSections; ++k) {
        vec_madd(weighted, weighted, c.section_mass[k], c.section_pos[k]);
    }
    const Vec3 centre{weighted.x / c.total_mass, weighted.y / c.total_mass, weighted.z / c.total_mass};
    for (Vec3& p : c.spine_pt) vec_sub(p, p, centre);
    for (Vec3& p : c.segment_mid) vec_sub(p, p, centre);
    for (Vec3& p : c.section_pos) vec_sub(p, p, centre);
    for (Vec3& p : c.section_spine) vec_sub(p, p, centre);

    for (int k = 0; k < kSections; ++k) {
        s.p_new[k] = c.section_pos[k];
        s.q_new[k] = c.section_quat[k];
    }
}

// Phase 6: turn the whole new shape until the change from the previous
// poses carries no angular momentum. Returns the number of iterations run;
// kMaxCorrectionIterations + 1 when the cap stopped it unconverged.
int correct_shape_spin(Creature& c, const StepScratch& s) {
    quat_identity(c.shape_spin);
    Mat3 undo;
    mat3_identity(undo);
    int iterations = kMaxCorrectionIterations + 1;
    for (int iteration = 0; iteration < kMaxCorrectionIterations; ++iteration) {
        Vec3 lambda{0.0, 0.0, 0.0};
        for (int k = 0; k < kSections; ++k) {
            Quat d, inverse_prev;
            quat_conjugate(inverse_prev, s.q_prev[k]);
            quat_mul(d, c.section_quat[k], inverse_prev);
            quat_normalize(d, d);
            const Vec3 phi = rotation_vector(d);
            Vec3 spin, moved;
            mat3_mul_vec(spin, s.inertia_world[k], phi);
            vec_add(lambda, lambda, spin);
            vec_cross(moved, s.p_prev[k], c.section_pos[k]);
            vec_madd(lambda, lambda, c.section_mass[k], moved);
        }
        Vec3 psi;
        mat3_mul_vec(psi, c.inertia_inv, lambda);
        const double angle = vec_length(psi);
        Quat e;
        if (angle > kTinyLength) {
            rotation_about(e, Vec3{psi.x / angle, psi.y / angle, psi.z / angle}, angle);
            quat_normalize(e, e);
        } else {
            quat_identity(e);
        }
        quat_mul(c.shape_spin, e, c.shape_spin);
        quat_normalize(c.shape_spin, c.shape_spin);
        Quat inverse_spin;
        quat_conjugate(inverse_spin, c.shape_spin);
        mat3_from_quat(undo, inverse_spin);
        for (int k = 0; k < kSections; ++k) {
            mat3_mul_vec(c.section_pos[k], undo, s.p_new[k]);
            quat_mul(c.section_quat[k], inverse_spin, s.q_new[k]);
            quat_normalize(c.section_quat[k], c.section_quat[k]);
        }
        if (angle < kCorrectionLimit) {
            iterations = iteration + 1;
            break;
        }
    }

    // The final correction applies to the rest of the shape.
    Quat inverse_spin;
    quat_conjugate(inverse_spin, c.shape_spin);
    for (int k = 0; k < kSections; ++k) {
        mat3_mul_vec(c.section_spine[k], undo, c.section_spine[k]);
        update_section_frame(c, k);
    }
    for (int i = 0; i < kSegments; ++i) {
        mat3_mul_vec(c.segment_mid[i], undo, c.segment_mid[i]);
        quat_mul(c.segment_quat[i], inverse_spin, c.segment_quat[i]);
        quat_normalize(c.segment_quat[i], c.segment_quat[i]);
    }
    for (Vec3& p : c.spine_pt) mat3_mul_vec(p, undo, p);
    return iterations;
}

// Phase 7: unit axes of every segment for the skin.
void update_segment_axes(const Creature& c, SimWorld& w) {
    for (int i = 0; i < kSegments; ++i) {
        Mat3 m;
        Vec3 c0, c1, c2;
        mat3_from_quat(m, c.segment_quat[i]);
        mat3_columns(c0, c1, c2, m);
        vec_normalize(w.seg_side[i], c0);
        vec_scale(c1, -1.0, c1);
        vec_normalize(w.seg_back[i], c1);
        vec_normalize(w.seg_up[i], c2);
    }
}

// Phase 8: semi-implicit Euler with the previous step's forces.
void integrate_rigid_body(Creature& c, double h) {
    vec_madd(c.momentum, c.momentum, h, c.force);
    c.velocity = Vec3{c.momentum.x / c.total_mass, c.momentum.y / c.total_mass,
                      c.momentum.z / c.total_mass};
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
        rotation_about(turn, axis, theta);
    } else {
        quat_identity(turn);
    }
    quat_mul(c.orientation, turn, c.orientation);
    quat_normalize(c.orientation, c.orientation);
    mat3_from_quat(c.rotation, c.orientation);
}

// Normal of a half-surface from its edge direction and the direction along
// the body, one-sided at the two ends.
void half_surface_normals(Vec3 (&out)[kSections], const Vec3 (&from)[kSections],
                          const Vec3 (&to)[kSections], const Vec3 (&points)[kSections]) {
    for (int k = 0; k < kSections; ++k) {
        const int ahead = k == kSections - 1 ? k : k + 1;
        const int behind = k == 0 ? k : k - 1;
        Vec3 edge, along, n;
        vec_sub(edge, to[k], from[k]);
        vec_sub(along, points[ahead], points[behind]);
        vec_cross(n, edge, along);
        vec_normalize(out[k], n);
    }
}

// Phase 9: how the body surface moved through the water during the step.
void measure_surface_motion(Creature& c, StepScratch& s, double h) {
    Vec3 spine_old[kSections], upper_old[kSections], lower_old[kSections];
    for (int k = 0; k < kSections; ++k) {
        spine_old[k] = c.section_spine_w[k];
        vec_lincomb2(upper_old[k], kEdgeShare, c.section_top_w[k], kSpineShare, c.section_spine_w[k]);
        vec_lincomb2(lower_old[k], kEdgeShare, c.section_bottom_w[k], kSpineShare, c.section_spine_w[k]);
    }
    update_section_world_points(c);
    Vec3 delta;
    vec_scale(delta, h, c.velocity);
    for (int k = 0; k < kSections; ++k) {
        vec_lincomb2(s.upper[k], kEdgeShare, c.section_top_w[k], kSpineShare, c.section_spine_w[k]);
        vec_lincomb2(s.lower[k], kEdgeShare, c.section_bottom_w[k], kSpineShare, c.section_spine_w[k]);
        vec_sub(s.d_spine[k], c.section_spine_w[k], spine_old[k]);
        vec_add(s.d_spine[k], s.d_spine[k], delta);
        vec_sub(s.d_upper[k], s.upper[k], upper_old[k]);
        vec_add(s.d_upper[k], s.d_upper[k], delta);
        vec_sub(s.d_lower[k], s.lower[k], lower_old[k]);
        vec_add(s.d_lower[k], s.d_lower[k], delta);
    }
    half_surface_normals(s.n_upper, c.section_spine_w, c.section_top_w, s.upper);
    half_surface_normals(s.n_lower, c.section_bottom_w, c.section_spine_w, s.lower);
}

// Resistive force on a surface of the given area moving at normal velocity v
// along n, added with its torque about the centre of mass at `point`.
void add_water_force(Creature& c, double linear, double area, double v, const Vec3& n,
                     const Vec3& point) {
    const double q = v * std::fabs(v);
    Vec3 f1, f2, sum, t1, t2;
    vec_scale(f1, -linear * area * v, n);
    vec_scale(f2, -kQuadraticDrag * area * q, n);
    vec_add(sum, f1, f2);
    vec_add(c.force, c.force, sum);
    vec_cross(t1, point, f1);
    vec_cross(t2, point, f2);
    vec_add(sum, t1, t2);
    vec_add(c.torque, c.torque, sum);
}

// Phase 11: the water forces that move the body in the next step.
void compute_water_forces(Creature& c, SimWorld& w, const StepScratch& s, double h) {
    vec_zero(c.force);
    vec_zero(c.torque);
    double v = 0.0;
    for (int k = 0; k < kSections; ++k) {
        v = vec_dot(s.d_upper[k], s.n_upper[k]) / h;
        add_water_force(c, w.drag_linear, c.drag_upper[k], v, s.n_upper[k], s.upper[k]);
    }
    w.tail_load = -v;
    for (int k = 0; k < kSections; ++k) {
        v = vec_dot(s.d_lower[k], s.n_lower[k]) / h;
        add_water_force(c, w.drag_linear, c.drag_lower[k], v, s.n_lower[k], s.lower[k]);
    }
    for (int k = 0; k < kSections; ++k) {
        Quat q;
        quat_mul(q, c.orientation, c.section_quat[k]);
        quat_normalize(q, q);
        const Vec3 n = column(q, 2);
        v = vec_dot(s.d_spine[k], n) / h;
        add_water_force(c, w.drag_linear, c.drag_vertical[k], v, n, c.section_spine_w[k]);
    }
    Vec3 direction;
    vec_normalize(direction, c.velocity);
    const double magnitude = -kBodyDragLinear * c.body_drag * c.speed -
                             kBodyDragQuadratic * c.body_drag * (c.speed * c.speed);
    Vec3 drag;
    vec_scale(drag, magnitude, direction);
    vec_add(c.force, c.force, drag);
}

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
    // Phase 1: entry.
    if (w.first_step) {
        w.tail_load = 0.0;
    }
    const Quat q20_prev = c.segment_quat[kReferenceSegment];

    // Phase 2: motor pattern.
    update_motor_pattern(c, w, t, h);

    // Phases 3 to 6: the new shape, free of spin.
    rebuild_segments(c, w, q20_prev);
    lay_out_spine(c);
    StepScratch scratch;
    place_sections(c, scratch);
    w.correction_iterations = correct_shape_spin(c, scratch);
    if (w.correction_iterations > kMaxCorrectionIterations) {
        ++w.correction_cap_hits;
    }
    update_segment_axes(c, w);

    // Phases 8 to 11: the body moves and the water answers.
    integrate_rigid_body(c, h);
    measure_surface_motion(c, scratch, h);
    c.head_pt_prev = c.head_pt;
    update_steering_frame(c, w);
    compute_water_forces(c, w, scratch, h);

    // Phases 12 and 13: skin and vertex arrays.
    pose_skin(c, w, w.seg_side, w.seg_back, w.seg_up);
    apply_side_bulge(c, w);

    // Phase 14: exit.
    w.first_step = 0;
}

}  // namespace sim
