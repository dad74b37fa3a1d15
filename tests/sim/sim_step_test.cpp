// The simulation step: shape rebuilt from the angle arrays, the shape
// correction, rigid-body integration, water forces, the skin and the vertex
// arrays, plus the invariants that hold while the creature swims.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>

#include "sim/motor_pattern.h"
#include "sim/records.h"
#include "sim/sim_step.h"
#include "sim_test_support.h"

namespace {

using sim::Quat;
using sim::Vec3;

constexpr double kH = 1.0 / 60.0;
constexpr uint32_t kSeed = 1234567u;

Vec3 column(const Quat& q, int index) {
    sim::Mat3 m;
    Vec3 c[3];
    sim::mat3_from_quat(m, q);
    sim::mat3_columns(c[0], c[1], c[2], m);
    return c[index];
}

double distance(const Vec3& a, const Vec3& b) {
    Vec3 d;
    sim::vec_sub(d, a, b);
    return sim::vec_length(d);
}

double quat_distance(const Quat& a, const Quat& b) {
    return std::fabs(a.w - b.w) + std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z);
}

class SimStep : public ::testing::Test {
protected:
    simtest::Scene scene = simtest::make_scene(kSeed);
    sim::Creature& c = *scene.creature;
    sim::SimWorld& w = *scene.world;

    // One step ending at step number k (t = k h); with k h <= 1 no manoeuvre
    // runs, so the angle arrays come from whatever the rings hold.
    void step(int k) { sim::sim_step(c, w, k * kH, kH); }

    // Rings holding one constant value each: the angle arrays then stay the
    // same from step to step.
    void hold_rings(double turn, double wave_b, double twist, double wave_c) {
        for (int i = 0; i < sim::kHistory; ++i) {
            w.hist_turn[i] = turn;
            w.hist_wave_b[i] = wave_b;
            w.hist_twist[i] = twist;
            w.hist_wave_c[i] = wave_c;
        }
    }

    Vec3 centre_of_mass() const {
        Vec3 m{0, 0, 0};
        for (int k = 0; k < sim::kSections; ++k) sim::vec_madd(m, m, c.section_mass[k], c.section_pos[k]);
        return Vec3{m.x / c.total_mass, m.y / c.total_mass, m.z / c.total_mass};
    }
};

// ---- shape ------------------------------------------------------------------

TEST_F(SimStep, RestingBodyStaysWhereItIs) {
    const Vec3 start = c.position;
    const Quat orientation = c.orientation;
    Vec3 section_pos[sim::kSections];
    std::memcpy(section_pos, c.section_pos, sizeof section_pos);
    for (int k = 1; k <= 50; ++k) step(k);
    EXPECT_LT(distance(c.position, start), 1e-15);
    EXPECT_LT(sim::vec_length(c.momentum), 1e-15);
    EXPECT_LT(quat_distance(c.orientation, orientation), 1e-15);
    for (int k = 0; k < sim::kSections; ++k) EXPECT_LT(distance(c.section_pos[k], section_pos[k]), 1e-15);
    EXPECT_EQ(w.correction_cap_hits, 0);
    EXPECT_EQ(w.first_step, 0);
}

TEST_F(SimStep, UnchangingAnglesKeepTheShapeWithoutCorrection) {
    hold_rings(0.05, 0.1, 0.3, 0.2);
    step(1);  // from straight to bent: the correction has work to do
    EXPECT_GT(std::fabs(c.shape_spin.x) + std::fabs(c.shape_spin.y) + std::fabs(c.shape_spin.z), 1e-4);
    Vec3 pos[sim::kSections];
    Quat quat[sim::kSections], segments[sim::kSegments];
    std::memcpy(pos, c.section_pos, sizeof pos);
    std::memcpy(quat, c.section_quat, sizeof quat);
    std::memcpy(segments, c.segment_quat, sizeof segments);
    for (int k = 2; k <= 5; ++k) {
        step(k);
        SCOPED_TRACE(k);
        const double spin = sim::vec_length(Vec3{c.shape_spin.x, c.shape_spin.y, c.shape_spin.z});
        EXPECT_LT(2.0 * spin, sim::kCorrectionLimit);  // the first iteration already converged
        for (int s = 0; s < sim::kSections; ++s) {
            EXPECT_LT(distance(c.section_pos[s], pos[s]), 1e-14);
            EXPECT_LT(quat_distance(c.section_quat[s], quat[s]), 1e-13);
        }
        for (int s = 0; s < sim::kSegments; ++s) EXPECT_LT(quat_distance(c.segment_quat[s], segments[s]), 1e-13);
    }
    EXPECT_EQ(w.correction_cap_hits, 0);
}

TEST_F(SimStep, SegmentOrientationsFollowTheAngleArrays) {
    // Relative to segment 20, segment i is turned by its summed bend about
    // its dorsal axis, after a twist about its long axis that grows from 0 at
    // segment 32 to half the twist signal at the tail.
    hold_rings(0.2, -0.15, 0.6, 0.1);
    step(1);
    auto own = [&](int i) {
        Quat twist{1.0, 0.0, 0.0, 0.0}, bend;
        if (i >= 32) {
            sim::quat_from_axis_angle(twist, Vec3{0, 1, 0}, 0.5 * w.twist[i] * (i - 32) / 43.0);
        }
        sim::quat_from_axis_angle(bend, column(twist, 2), w.bend_a[i] + w.bend_b[i] + w.bend_c[i]);
        sim::quat_mul(bend, bend, twist);
        return bend;
    };
    Quat ref_inverse, expected_ref_inverse;
    sim::quat_conjugate(ref_inverse, c.segment_quat[20]);
    sim::quat_conjugate(expected_ref_inverse, own(20));
    for (int i = 0; i < sim::kSegments; ++i) {
        Quat relative, expected;
        sim::quat_mul(relative, ref_inverse, c.segment_quat[i]);
        sim::quat_mul(expected, expected_ref_inverse, own(i));
        // Compared as matrices: q and -q are the same rotation.
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_LT(distance(column(relative, axis), column(expected, axis)), 1e-12) << i;
        }
    }
}

TEST_F(SimStep, StraightSpineAlongTheReferenceSegment) {
    hold_rings(0.1, -0.1, 0.5, 0.2);
    step(1);
    step(2);
    hold_rings(0.0, 0.0, 0.0, 0.0);  // all angles zero from here on
    step(3);
    const Vec3 back = column(c.segment_quat[20], 1);
    for (int i = 0; i < sim::kSegments; ++i) {
        SCOPED_TRACE(i);
        EXPECT_LT(quat_distance(c.segment_quat[i], c.segment_quat[20]), 1e-15);
        Vec3 expected;
        sim::vec_madd(expected, c.spine_pt[i], -c.segment_length, back);
        EXPECT_LT(distance(c.spine_pt[i + 1], expected), 1e-15);
    }
}

TEST_F(SimStep, CentreOfMassStaysAtTheShapeOrigin) {
    hold_rings(0.3, 0.2, -0.4, 0.5);
    for (int k = 1; k <= 3; ++k) {
        step(k);
        const Vec3 centre = centre_of_mass();
        EXPECT_LT(sim::vec_length(centre), 1e-16) << k;
    }
}

TEST_F(SimStep, CorrectedShapeChangeCarriesNoAngularMomentum) {
    simtest::run_frames(scene, 1, 200);  // swimming: the shape changes every step
    double largest_correction = 0.0;
    for (int64_t k = 201; k <= 260; ++k) {
        Vec3 p_prev[sim::kSections];
        Quat q_prev[sim::kSections];
        std::memcpy(p_prev, c.section_pos, sizeof p_prev);
        std::memcpy(q_prev, c.section_quat, sizeof q_prev);
        sim::advance_frame(c, w, simtest::frame_time(k));
        // Angular momentum of the change from the previous to the final poses.
        Vec3 lambda{0, 0, 0};
        for (int s = 0; s < sim::kSections; ++s) {
            sim::Mat3 r, rt, inertia;
            sim::mat3_from_quat(r, q_prev[s]);
            sim::mat3_transpose(rt, r);
            sim::mat3_mul3(inertia, r, c.section_inertia[s], rt);
            Quat d, prev_inverse;
            sim::quat_conjugate(prev_inverse, q_prev[s]);
            sim::quat_mul(d, c.section_quat[s], prev_inverse);
            sim::quat_normalize(d, d);
            Vec3 spin, moved;
            sim::mat3_mul_vec(spin, inertia, sim::rotation_vector(d));
            sim::vec_cross(moved, p_prev[s], c.section_pos[s]);
            sim::vec_add(lambda, lambda, spin);
            sim::vec_madd(lambda, lambda, c.section_mass[s], moved);
        }
        Vec3 residual;
        sim::mat3_mul_vec(residual, c.inertia_inv, lambda);
        EXPECT_LT(sim::vec_length(residual), sim::kCorrectionLimit) << k;
        largest_correction = std::max(
            largest_correction, 2.0 * sim::vec_length(Vec3{c.shape_spin.x, c.shape_spin.y, c.shape_spin.z}));
    }
    EXPECT_GT(largest_correction, 100.0 * sim::kCorrectionLimit);  // there was work to do
}

TEST_F(SimStep, FirstStepStartsWithoutTailLoad) {
    // During a bend-and-glide the tail oscillator is driven by tail_load.
    w.manoeuvre = sim::kManoeuvreBendGlide;
    w.tail_load = 5.0;
    step(1);
    EXPECT_EQ(w.tail_vel, 0.0);
    w.tail_load = 5.0;
    step(2);
    EXPECT_NEAR(w.tail_vel, 15.0 * 5.0 * kH, 1e-15);
}

// ---- rigid body ------------------------------------------------------------

TEST_F(SimStep, ConstantForceAndTorqueGrowMomentaLinearly) {
    const Vec3 force{0.02, -0.01, 0.005};
    const Vec3 torque{0.0, 0.0, 1e-5};
    for (int k = 1; k <= 20; ++k) {
        const Vec3 momentum = c.momentum;
        const Vec3 angular = c.angular_momentum;
        const Vec3 position = c.position;
        c.force = force;  // replaces the water forces of the previous step
        c.torque = torque;
        step(k);
        SCOPED_TRACE(k);
        EXPECT_NEAR(c.momentum.x - momentum.x, kH * force.x, 1e-17);
        EXPECT_NEAR(c.momentum.y - momentum.y, kH * force.y, 1e-17);
        EXPECT_NEAR(c.momentum.z - momentum.z, kH * force.z, 1e-17);
        EXPECT_NEAR(c.angular_momentum.z - angular.z, kH * torque.z, 1e-19);
        EXPECT_EQ(c.velocity.x, c.momentum.x / c.total_mass);
        EXPECT_EQ(c.speed, sim::vec_length(c.velocity));
        EXPECT_NEAR(c.position.x - position.x, kH * c.velocity.x, 1e-15);
    }
    EXPECT_NEAR(c.momentum.y, 20 * kH * force.y, 1e-15);
    EXPECT_GT(sim::vec_dot(c.angular_velocity, c.angular_momentum), 0.0);
    const Quat& q = c.orientation;
    EXPECT_NEAR(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z, 1.0, 1e-15);
}

// The orientation turns by the angle |w| h about w, applied on the world
// side: R' = Rot(w, |w| h) R, with w = R I^-1 R^T L the world angular
// velocity. Built here with plain arrays and Rodrigues' formula.
TEST_F(SimStep, OrientationTurnsAboutTheWorldAngularVelocity) {
    using Matrix = std::array<std::array<double, 3>, 3>;
    auto from = [](const sim::Mat3& m) {
        return Matrix{{{m.m00, m.m01, m.m02}, {m.m10, m.m11, m.m12}, {m.m20, m.m21, m.m22}}};
    };
    auto product = [](const Matrix& a, const Matrix& b) {
        Matrix p{};
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col)
                for (int k = 0; k < 3; ++k) p[r][col] += a[r][k] * b[k][col];
        return p;
    };
    auto transposed = [](const Matrix& a) {
        Matrix t{};
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col) t[r][col] = a[col][r];
        return t;
    };
    auto apply = [](const Matrix& a, const Vec3& v) {
        return Vec3{a[0][0] * v.x + a[0][1] * v.y + a[0][2] * v.z, a[1][0] * v.x + a[1][1] * v.y + a[1][2] * v.z,
                    a[2][0] * v.x + a[2][1] * v.y + a[2][2] * v.z};
    };

    step(1);  // the body's inertia is known from the first step on
    // A tilted body (unit quaternion written out) spinning about an oblique axis.
    const double half = 0.35, n = std::sqrt(14.0);
    c.orientation = Quat{std::cos(half), std::sin(half) / n, 2.0 * std::sin(half) / n, -3.0 * std::sin(half) / n};
    sim::mat3_from_quat(c.rotation, c.orientation);
    const Matrix r0 = from(c.rotation);
    const Matrix to_world = product(product(r0, from(c.inertia_inv)), transposed(r0));
    const Vec3 direction{0.4, -0.7, 0.2};
    const double spin = sim::vec_length(apply(to_world, direction));
    const Vec3 l{direction.x / spin, direction.y / spin, direction.z / spin};  // |w| = 1 rad/s
    c.angular_momentum = l;
    c.torque = Vec3{0.0, 0.0, 0.0};
    c.force = Vec3{0.0, 0.0, 0.0};
    step(2);

    EXPECT_EQ(c.angular_momentum.x, l.x);
    const Matrix inertia_inv = from(c.inertia_inv);  // the body's shape did not change
    const Vec3 omega = apply(product(product(r0, inertia_inv), transposed(r0)), l);
    EXPECT_NEAR(c.angular_velocity.x, omega.x, 1e-12);
    EXPECT_NEAR(c.angular_velocity.y, omega.y, 1e-12);
    EXPECT_NEAR(c.angular_velocity.z, omega.z, 1e-12);

    const double theta = sim::vec_length(omega) * kH;
    ASSERT_NEAR(theta, kH, 1e-12);
    const Vec3 a{omega.x / sim::vec_length(omega), omega.y / sim::vec_length(omega), omega.z / sim::vec_length(omega)};
    const Matrix k{{{0.0, -a.z, a.y}, {a.z, 0.0, -a.x}, {-a.y, a.x, 0.0}}};
    const Matrix k2 = product(k, k);
    Matrix turn{};
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col)
            turn[r][col] = (r == col ? 1.0 : 0.0) + std::sin(theta) * k[r][col] + (1.0 - std::cos(theta)) * k2[r][col];
    const Matrix expected = product(turn, r0);
    sim::Mat3 from_orientation;
    sim::mat3_from_quat(from_orientation, c.orientation);
    const Matrix actual = from(c.rotation), actual_q = from(from_orientation);
    for (int r = 0; r < 3; ++r) {
        for (int col = 0; col < 3; ++col) {
            EXPECT_NEAR(actual[r][col], expected[r][col], 1e-13) << r << "," << col;
            EXPECT_NEAR(actual_q[r][col], expected[r][col], 1e-13) << r << "," << col;
        }
    }
    const Quat& q = c.orientation;
    EXPECT_NEAR(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z, 1.0, 1e-15);
}

// ---- water forces ---------------------------------------------------------

TEST_F(SimStep, ForwardMotionMeetsOnlyTheWholeBodyDrag) {
    const double s = 0.3;
    const Vec3 heading = w.heading;
    sim::vec_scale(c.momentum, c.total_mass * s, heading);
    step(1);
    EXPECT_NEAR(c.speed, s, 1e-15);
    const double drag = 16.2 * c.body_drag * s + 10.0 * c.body_drag * s * s;
    EXPECT_NEAR(c.force.x, -drag * heading.x, 1e-12 * drag);
    EXPECT_NEAR(c.force.y, -drag * heading.y, 1e-12 * drag);
    EXPECT_NEAR(c.force.z, -drag * heading.z, 1e-12 * drag);
    EXPECT_LT(sim::vec_length(c.torque), 1e-15);
}

TEST_F(SimStep, SidewaysAndVerticalMotionMeetTheSideAndPlanAreas) {
    const double s = 0.1;
    const double body_drag = 16.2 * c.body_drag * s + 10.0 * c.body_drag * s * s;

    simtest::Scene other = simtest::make_scene(kSeed);
    const Vec3 side = w.side;
    sim::vec_scale(c.momentum, c.total_mass * s, side);
    step(1);
    EXPECT_LT(sim::vec_dot(c.force, side), -5.0 * body_drag);
    // The last dorsal half moves through the water at the full speed.
    EXPECT_NEAR(w.tail_load, -s, 1e-12);

    const Vec3 up = other.w().body_up;
    sim::vec_scale(other.c().momentum, other.c().total_mass * s, up);
    sim::sim_step(other.c(), other.w(), kH, kH);
    EXPECT_LT(sim::vec_dot(other.c().force, up), -5.0 * body_drag);
}

TEST_F(SimStep, WaterResistsSpinning) {
    const Vec3 l{0.0, 0.0, 2e-4};
    c.angular_momentum = l;
    step(1);
    EXPECT_GT(sim::vec_length(c.angular_velocity), 0.0);
    EXPECT_LT(sim::vec_dot(c.torque, l), 0.0);
}

// ---- skin and vertices ------------------------------------------------------

class Swimming : public SimStep {
protected:
    void SetUp() override { simtest::run_frames(scene, 1, 400); }
};

TEST_F(Swimming, SkinHalvesMirrorEachOtherExceptTheBulge) {
    ASSERT_NE(w.manoeuvre, 0);
    for (int r = 0; r < sim::kRings; ++r) {
        for (int j = 0; j < sim::kRingPoints; ++j) {
            if (r == 23 && j >= 10 && j <= 12) continue;
            const int s = c.skin_segment[r][j];
            const Vec3& p1 = w.skin_pos[1][r][j];
            Vec3 rel, mirrored;
            sim::vec_sub(rel, p1, c.spine_pt[s]);
            sim::vec_madd(mirrored, p1, -2.0 * sim::vec_dot(rel, w.seg_side[s]), w.seg_side[s]);
            ASSERT_LT(distance(mirrored, w.skin_pos[0][r][j]), 1e-15) << "ring " << r << " point " << j;
        }
    }
    // The bulge moves ring 23's side points outwards on both halves.
    const int s = c.skin_segment[23][10];
    for (int j = 10; j <= 12; ++j) {
        SCOPED_TRACE(j);
        Vec3 rel1, rel0;
        sim::vec_sub(rel1, w.skin_pos[1][23][j], c.spine_pt[s]);
        sim::vec_sub(rel0, w.skin_pos[0][23][j], c.spine_pt[s]);
        const double unbulged = c.skin_offset_local[23][j].x;
        EXPECT_GT(sim::vec_dot(rel1, w.seg_side[s]), unbulged);
        EXPECT_LT(sim::vec_dot(rel0, w.seg_side[s]), -unbulged);
    }
    for (int side = 0; side < 2; ++side) {
        Vec3 mid;
        sim::vec_lincomb2(mid, 0.5, w.skin_pos[side][23][10], 0.5, w.skin_pos[side][23][12]);
        EXPECT_EQ(std::memcmp(&mid, &w.skin_pos[side][23][11], sizeof mid), 0);
    }
}

TEST_F(Swimming, VertexArraysHoldSwappedPositionsAndNormals) {
    for (int r = 0; r < sim::kRings; ++r) {
        for (int j = 0; j < sim::kRingPoints; ++j) {
            SCOPED_TRACE(testing::Message() << "ring " << r << " point " << j);
            const int s = c.skin_segment[r][j];
            const Vec3& n = c.skin_normal_local[r][j];
            for (int side = 0; side < 2; ++side) {
                const sim::Vertex& v = side == 1 ? w.vertex_plus[r][j] : w.vertex_minus[r][j];
                const Vec3& p = w.skin_pos[side][r][j];
                ASSERT_EQ(v.px, static_cast<float>(p.x));
                ASSERT_EQ(v.py, static_cast<float>(p.z));
                ASSERT_EQ(v.pz, static_cast<float>(p.y));
                Vec3 normal;
                const double nx = side == 1 ? n.x : -n.x;
                sim::vec_lincomb3(normal, nx, w.seg_side[s], n.y, w.seg_back[s], n.z, w.seg_up[s]);
                ASSERT_NEAR(v.nx, normal.x, 1e-6);
                ASSERT_NEAR(v.ny, normal.z, 1e-6);
                ASSERT_NEAR(v.nz, normal.y, 1e-6);
                ASSERT_EQ(v.u, 0.0f);
                ASSERT_EQ(v.v, 0.0f);
            }
        }
    }
}

// ---- invariants while swimming ----------------------------------------------

TEST_F(SimStep, InvariantsHoldOverAMinuteOfSwimming) {
    bool seen[4] = {false, false, false, false};
    const int32_t kinds[4] = {sim::kManoeuvreSmallTurn, sim::kManoeuvreCruise, sim::kManoeuvreLargeTurn,
                              sim::kManoeuvreBendGlide};
    double path = 0.0;
    for (int64_t k = 1; k <= 3600; ++k) {
        Quat q20_prev = c.segment_quat[20];
        sim::advance_frame(c, w, simtest::frame_time(k));
        path += c.speed * w.step_dt;
        // Segment 20 carries its orientation over; only the correction turns it.
        Quat spin_inverse, expected20;
        sim::quat_conjugate(spin_inverse, c.shape_spin);
        sim::quat_mul(expected20, spin_inverse, q20_prev);
        sim::quat_normalize(expected20, expected20);
        ASSERT_LT(quat_distance(c.segment_quat[20], expected20), 1e-14) << k;
        for (int i = 0; i < 4; ++i) seen[i] = seen[i] || w.manoeuvre == kinds[i];
        if (k % 10 != 0) continue;
        SCOPED_TRACE(k);

        ASSERT_GE(w.hist_pos, 0);
        ASSERT_LT(w.hist_pos, sim::kHistory);
        ASSERT_TRUE(w.manoeuvre == sim::kManoeuvreNone ||
                    std::find(std::begin(kinds), std::end(kinds), w.manoeuvre) != std::end(kinds));
        const Quat& q = c.orientation;
        ASSERT_NEAR(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z, 1.0, 1e-15);
        sim::Mat3 r;
        sim::mat3_from_quat(r, q);
        ASSERT_EQ(std::memcmp(&r, &c.rotation, sizeof r), 0);
        ASSERT_EQ(c.velocity.z, c.momentum.z / c.total_mass);
        ASSERT_EQ(c.speed, sim::vec_length(c.velocity));
        ASSERT_LT(sim::vec_length(centre_of_mass()), 1e-15);
        for (int i = 0; i < sim::kSegments; ++i) {
            ASSERT_NEAR(distance(c.spine_pt[i + 1], c.spine_pt[i]), c.segment_length, 1e-15) << i;
            ASSERT_NEAR(sim::vec_dot(w.seg_side[i], w.seg_back[i]), 0.0, 1e-15);
            ASSERT_NEAR(sim::vec_dot(w.seg_up[i], w.seg_back[i]), 0.0, 1e-15);
        }
        for (int s = 0; s < sim::kSections; ++s) {
            const int seg = c.section_segment[s];
            ASSERT_EQ(seg, 3 * s + 1);
            ASSERT_EQ(std::memcmp(&c.section_quat[s], &c.segment_quat[seg], sizeof(Quat)), 0) << s;
            ASSERT_EQ(std::memcmp(&c.section_spine[s], &c.segment_mid[seg], sizeof(Vec3)), 0) << s;
        }
        Vec3 head;
        sim::vec_lincomb2(head, 0.5, c.section_spine_w[1], 0.5, c.section_spine_w[10]);
        sim::vec_add(head, head, c.position);
        ASSERT_LT(distance(head, c.head_pt), 1e-15);
    }
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(seen[i]) << "manoeuvre " << kinds[i] << " never ran";
    EXPECT_EQ(w.correction_cap_hits, 0);
    EXPECT_EQ(w.delay_cap_hits, 0);
    // Undulation alone has carried the creature several body lengths.
    EXPECT_GT(path, 2.0);
}

TEST(SimReproducibility, SameSeedGivesBitIdenticalRuns) {
    simtest::Scene a = simtest::make_scene(kSeed);
    simtest::Scene b = simtest::make_scene(kSeed);
    simtest::run_frames(a, 1, 600);
    simtest::run_frames(b, 1, 600);
    EXPECT_EQ(simtest::first_differing_field(a.c(), a.w(), b.c(), b.w()), nullptr);
    EXPECT_NE(a.w().manoeuvre, 0);
}

// ---- rotation vector --------------------------------------------------------

TEST(RotationVector, SmallRotationsGiveAngleTimesAxis) {
    Quat q;
    const Vec3 axis{0.6, 0.0, -0.8};
    sim::quat_from_axis_angle(q, axis, 0.3);
    const Vec3 phi = sim::rotation_vector(q);
    EXPECT_NEAR(phi.x, 0.3 * axis.x, 1e-15);
    EXPECT_NEAR(phi.y, 0.0, 1e-15);
    EXPECT_NEAR(phi.z, 0.3 * axis.z, 1e-15);

    const Vec3 none = sim::rotation_vector(Quat{1.0, 0.0, 0.0, 0.0});
    EXPECT_EQ(none.x, 0.0);
    const Vec3 subnormal = sim::rotation_vector(Quat{1.0, 1e-320, 0.0, 0.0});
    EXPECT_EQ(subnormal.x, 0.0);
}

TEST(RotationVector, VectorPartRoundedAboveOneStaysFinite) {
    const Vec3 direct = sim::rotation_vector(Quat{0.0, 1.0000000000000002, 0.0, 0.0});
    EXPECT_TRUE(std::isfinite(direct.x));
    EXPECT_NEAR(direct.x, 3.141592653589793, 1e-15);

    // Half-turn quaternions straight out of normalisation whose vector part
    // rounds to a length above 1.
    std::mt19937_64 gen(5);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    int found = 0;
    for (int i = 0; i < 100000 && found < 20; ++i) {
        Quat q;
        sim::quat_normalize(q, Quat{0.0, u(gen), u(gen), u(gen)});
        if (!(sim::vec_length(Vec3{q.x, q.y, q.z}) > 1.0)) continue;
        ++found;
        const Vec3 phi = sim::rotation_vector(q);
        ASSERT_TRUE(std::isfinite(phi.x) && std::isfinite(phi.y) && std::isfinite(phi.z));
        EXPECT_NEAR(sim::vec_length(phi), 3.141592653589793, 1e-14);
    }
    EXPECT_GT(found, 0);
}

}  // namespace
