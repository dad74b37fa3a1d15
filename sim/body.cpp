#include "sim/body.h"

#include <cmath>

#include "sim/body_profiles.h"
#include "sim/skin.h"

namespace sim {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kThreePi = 9.42477796076938;
constexpr double kPitch = 0.3839724354387525;       // 22 degrees
constexpr double kFullTurn = 6.281439977927592;     // 359.9 degrees

struct SliceHalves {
    double m_up, m_lo;  // masses of the upper and lower half-slice
    Vec3 c_up, c_lo;    // their centroids, head-tip frame
    double t, b, w;     // height, depth and half width at the slice
    double area;        // full cross-section area
};

// One thin slice across the spine: two half-ellipses on a common axis.
SliceHalves slice_at(const BodyProfiles& profiles, int slice, double h) {
    SliceHalves s{};
    const double y = -(static_cast<double>(slice) + 0.5) * h;
    const double d = std::fabs(y);
    s.t = profile_eval(profiles.top, d);
    s.b = std::fabs(profile_eval(profiles.bottom, d));
    s.w = profile_eval(profiles.half_width, d);
    const double a_up = kPi * s.t * s.w / 2.0;
    const double a_lo = kPi * s.b * s.w / 2.0;
    s.m_up = a_up * h * kDensity;
    s.m_lo = a_lo * h * kDensity;
    s.c_up = Vec3{0.0, y, 4.0 * s.t / kThreePi};
    s.c_lo = Vec3{0.0, y, -4.0 * s.b / kThreePi};
    s.area = a_up + a_lo;
    return s;
}

// Inertia of a half-slice (thin elliptic lamina with semi-axes w and
// `height`) about the point p, given its own tensor about the slice centre o.
void add_half_inertia(Mat3& sum, double m, double height, double w, const Vec3& o, const Vec3& c,
                      const Vec3& p) {
    Mat3 own{m * (height * height) / 4.0, 0, 0, 0, m * (height * height + w * w) / 4.0, 0, 0, 0,
             m * (w * w) / 4.0};
    Vec3 r;
    Mat3 shift;
    vec_sub(r, o, c);
    mat3_point_inertia(shift, r);
    mat3_scale(shift, m, shift);
    mat3_sub(own, own, shift);
    vec_sub(r, p, c);
    mat3_point_inertia(shift, r);
    mat3_scale(shift, m, shift);
    mat3_add(own, own, shift);
    mat3_add(sum, sum, own);
}

void rotate_about(Quat& orientation, const Vec3& axis, double angle) {
    Quat q;
    quat_from_axis_angle(q, axis, angle);
    quat_normalize(q, q);
    quat_mul(orientation, q, orientation);
    quat_normalize(orientation, orientation);
}

// The body's dimensions, before anything is built.
void set_dimensions(Creature& c) {
    quat_identity(c.shape_spin);
    c.body_length = kBodyLength;
    c.segment_length = c.body_length / 75.0;
}

// The y of the 76 spine points of the straight body, head tip at 0, by
// repeated subtraction; the tail tip at exactly -L.
void lay_out_straight_spine(double (&spine_y)[kSpinePoints], double ds, double length) {
    spine_y[0] = 0.0;
    for (int s = 1; s < kSpinePoints; ++s) {
        spine_y[s] = spine_y[s - 1] - ds;
    }
    spine_y[kSpinePoints - 1] = -length;
}

// Side and plan areas of each section by the trapezoid rule over its three
// segments, and the mean height and depth they give.
void integrate_drag_areas(Creature& c, const BodyProfiles& profiles, const double (&spine_y)[kSpinePoints]) {
    const double ds = c.segment_length;
    const double section_unit = c.body_length / 25.0;
    for (int k = 0; k < kSections; ++k) {
        c.drag_upper[k] = 0.0;
        c.drag_lower[k] = 0.0;
        c.drag_vertical[k] = 0.0;
        for (int s = 3 * k; s < 3 * k + 3; ++s) {
            const double d0 = std::fabs(spine_y[s]);
            const double d1 = std::fabs(spine_y[s + 1]);
            const double t0 = profile_eval(profiles.top, d0);
            const double t1 = profile_eval(profiles.top, d1);
            const double b0 = std::fabs(profile_eval(profiles.bottom, d0));
            const double b1 = std::fabs(profile_eval(profiles.bottom, d1));
            const double w0 = profile_eval(profiles.half_width, d0);
            const double w1 = profile_eval(profiles.half_width, d1);
            c.drag_upper[k] += 0.5 * (t0 + t1) * ds;
            c.drag_lower[k] += 0.5 * (b0 + b1) * ds;
            c.drag_vertical[k] += 0.5 * (2.0 * w0 + 2.0 * w1) * ds;
        }
        c.height_top[k] = c.drag_upper[k] / section_unit;
        c.height_bottom[k] = c.drag_lower[k] / section_unit;
    }
}

// Mass, centre (head-tip frame, into `section_centre`) and inertia of each
// section from its 40 thin slices; the total mass and the largest
// cross-section area.
void weigh_sections(Creature& c, const BodyProfiles& profiles, Vec3 (&section_centre)[kSections]) {
    const double h = c.body_length / static_cast<double>(kMassSlices);
    constexpr int kSlicesPerSection = kMassSlices / kSections;
    c.total_mass = 0.0;
    c.body_drag = 0.0;
    for (int k = 0; k < kSections; ++k) {
        double mass = 0.0;
        Vec3 moment{0.0, 0.0, 0.0};
        for (int i = kSlicesPerSection * k; i < kSlicesPerSection * (k + 1); ++i) {
            const SliceHalves s = slice_at(profiles, i, h);
            mass += s.m_up;
            mass += s.m_lo;
            vec_madd(moment, moment, s.m_up, s.c_up);
            vec_madd(moment, moment, s.m_lo, s.c_lo);
            if (s.area > c.body_drag) {
                c.body_drag = s.area;
            }
        }
        c.section_mass[k] = mass;
        section_centre[k] = Vec3{moment.x / mass, moment.y / mass, moment.z / mass};

        const Vec3& p = section_centre[k];
        Mat3 sum;
        mat3_zero(sum);
        for (int i = kSlicesPerSection * k; i < kSlicesPerSection * (k + 1); ++i) {
            const SliceHalves s = slice_at(profiles, i, h);
            const Vec3 o{0.0, s.c_up.y, 0.0};
            add_half_inertia(sum, s.m_up, s.t, s.w, o, s.c_up, p);
            add_half_inertia(sum, s.m_lo, s.b, s.w, o, s.c_lo, p);
        }
        c.section_inertia[k] = sum;
    }
    for (int k = 0; k < kSections; ++k) {
        c.total_mass += c.section_mass[k];
    }
}

// The spine built from the (identity) segment frames and every section set
// on its middle segment, its centre of mass kept in the section's frame.
void place_sections_on_spine(Creature& c, const Vec3 (&section_centre)[kSections]) {
    const double ds = c.segment_length;
    const double section_unit = c.body_length / 25.0;
    for (int k = 0; k < kSections; ++k) {
        c.section_segment[k] = static_cast<int32_t>((static_cast<double>(k) + 0.5) * 3.0);
        Vec3 spine_at{0.0, -(static_cast<double>(k) + 0.5) * section_unit, 0.0};
        vec_sub(c.section_com_local[k], section_centre[k], spine_at);
        c.section_com_local[k].x = 0.0;
    }
    for (int s = 0; s < kSegments; ++s) {
        quat_identity(c.segment_quat[s]);
    }
    vec_zero(c.spine_pt[0]);
    for (int s = 0; s < kSegments; ++s) {
        Mat3 m;
        Vec3 c0, c1, c2;
        mat3_from_quat(m, c.segment_quat[s]);
        mat3_columns(c0, c1, c2, m);
        vec_madd(c.spine_pt[s + 1], c.spine_pt[s], -ds, c1);
        vec_lincomb2(c.segment_mid[s], 0.5, c.spine_pt[s], 0.5, c.spine_pt[s + 1]);
    }
    for (int k = 0; k < kSections; ++k) {
        const int s = c.section_segment[k];
        c.section_spine[k] = c.segment_mid[s];
        c.section_quat[k] = c.segment_quat[s];
        update_section_frame(c, k);
        Vec3 offset;
        vec_from_basis(offset, c.section_com_local[k], c.section_axis_x[k], c.section_axis_y[k],
                       c.section_axis_z[k]);
        vec_add(c.section_pos[k], c.section_spine[k], offset);
    }
}

// Moves the origin of the body's frame to its centre of mass.
void centre_on_mass(Creature& c) {
    Vec3 weighted{0.0, 0.0, 0.0};
    for (int k = 0; k < kSections; ++k) {
        vec_madd(weighted, weighted, c.section_mass[k], c.section_pos[k]);
    }
    const Vec3 centre{weighted.x / c.total_mass, weighted.y / c.total_mass,
                      weighted.z / c.total_mass};
    for (Vec3& p : c.spine_pt) vec_sub(p, p, centre);
    for (Vec3& p : c.segment_mid) vec_sub(p, p, centre);
    for (Vec3& p : c.section_pos) vec_sub(p, p, centre);
    for (Vec3& p : c.section_spine) vec_sub(p, p, centre);
}

void clear_histories(SimWorld& world) {
    for (int i = 0; i < kHistory; ++i) {
        world.hist_wave_b[i] = 0.0;
        world.hist_wave_c[i] = 0.0;
        world.hist_turn[i] = 0.0;
        world.hist_twist[i] = 0.0;
    }
}

// Random placement in the tank, at rest, pitched up by 22 degrees and
// turned to a random heading: four draws, the third discarded.
void place_in_tank(Creature& c, SimWorld& world) {
    const double x_draw = random_unit(world.random);
    const double z_draw = random_unit(world.random);
    world.start_position = Vec3{x_draw * 8.0 - 4.0, 1.8, z_draw + 2.0};
    c.position = world.start_position;
    vec_zero(c.momentum);
    vec_zero(c.angular_momentum);
    quat_identity(c.orientation);
    (void)random_next(world.random);  // drawn and discarded
    rotate_about(c.orientation, Vec3{1.0, 0.0, 0.0}, kPitch);
    rotate_about(c.orientation, Vec3{0.0, 0.0, 1.0}, random_unit(world.random) * kFullTurn);
    vec_zero(c.force);
    vec_zero(c.torque);
}

// The sections' world points and the steering directions of the starting
// pose, then the skin posed on it and its index lists.
void pose_at_start(Creature& c, SimWorld& world) {
    for (int k = 0; k < kSections; ++k) {
        update_section_frame(c, k);
    }
    mat3_from_quat(c.rotation, c.orientation);
    update_section_world_points(c);
    update_steering_frame(c, world);

    Vec3 side[kSegments], back[kSegments], up[kSegments];
    for (int s = 0; s < kSegments; ++s) {
        Mat3 m;
        mat3_from_quat(m, c.segment_quat[s]);
        mat3_columns(side[s], back[s], up[s], m);
        vec_scale(back[s], -1.0, back[s]);
    }
    pose_skin(c, world, side, back, up);
    build_grid_indices(world.body_indices[0], kRings, kRingPoints);
    build_grid_indices(world.body_indices[1], kRings, kRingPoints);
}

}  // namespace

void update_section_frame(Creature& creature, int k) {
    mat3_from_quat(creature.section_rot[k], creature.section_quat[k]);
    mat3_columns(creature.section_axis_x[k], creature.section_axis_y[k], creature.section_axis_z[k],
                 creature.section_rot[k]);
    vec_madd(creature.section_top[k], creature.section_spine[k], creature.height_top[k], creature.section_axis_z[k]);
    vec_madd(creature.section_bottom[k], creature.section_spine[k], -creature.height_bottom[k],
             creature.section_axis_z[k]);
}

void update_section_world_points(Creature& creature) {
    for (int k = 0; k < kSections; ++k) {
        mat3_mul_vec(creature.section_spine_w[k], creature.rotation, creature.section_spine[k]);
        mat3_mul_vec(creature.section_top_w[k], creature.rotation, creature.section_top[k]);
        mat3_mul_vec(creature.section_bottom_w[k], creature.rotation, creature.section_bottom[k]);
    }
}

void update_steering_frame(Creature& creature, SimWorld& world) {
    Vec3 v;
    vec_lincomb2(v, 0.5, creature.section_spine_w[1], 0.5, creature.section_spine_w[10]);
    vec_add(creature.head_pt, creature.position, v);
    vec_sub(v, creature.section_spine_w[1], creature.section_spine_w[10]);
    vec_normalize(world.heading, v);
    vec_sub(v, creature.section_top_w[5], creature.section_spine_w[5]);
    vec_normalize(world.body_up, v);
    vec_cross(v, world.heading, world.body_up);
    vec_normalize(world.side, v);
}

void build_body(Creature& c, SimWorld& world) {
    set_dimensions(c);
    BodyProfiles profiles;
    make_body_profiles(profiles, c.body_length);
    double spine_y[kSpinePoints];
    lay_out_straight_spine(spine_y, c.segment_length, c.body_length);
    build_skin_rest(c, profiles, spine_y);
    integrate_drag_areas(c, profiles, spine_y);
    Vec3 section_centre[kSections];
    weigh_sections(c, profiles, section_centre);
    place_sections_on_spine(c, section_centre);
    centre_on_mass(c);
    clear_histories(world);
    place_in_tank(c, world);
    pose_at_start(c, world);
}

}  // namespace sim
