// Body construction: the profile curves, the mass model, the straight spine,
// the random placement in the tank and the skin grid with its binding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sim/body.h"
#include "sim/body_profiles.h"
#include "sim/records.h"
#include "sim_test_support.h"

namespace {

using sim::Vec3;

constexpr double kL = 0.5;
constexpr double kDs = kL / 75.0;
constexpr double kPi = 3.141592653589793;
constexpr double kPitch = 0.3839724354387525;  // 22 degrees
constexpr uint32_t kSeed = 1300000007u;

sim::BodyProfiles profiles() {
    sim::BodyProfiles p;
    sim::make_body_profiles(p, kL);
    return p;
}

// Integral of f over [0, L] by Simpson's rule on n (even) intervals.
template <typename F>
double simpson(F f, int n = 20000) {
    const double h = kL / n;
    double sum = f(0.0) + f(kL);
    for (int i = 1; i < n; ++i) sum += (i % 2 ? 4.0 : 2.0) * f(i * h);
    return sum * h / 3.0;
}

// ---- profiles ---------------------------------------------------------------

TEST(BodyProfiles, MatchTheWorkedValues) {
    const sim::BodyProfiles p = profiles();
    struct Row {
        double d, top, bottom, width;
        double tol_top, tol_bottom, tol_width;  // half a unit of the last quoted digit
    };
    const Row rows[] = {
        {0.05, 0.01567, -0.03825, 0.01254, 5e-6, 5e-6, 5e-6},
        {0.14, 0.02, -0.044, 0.016, 1e-15, 1e-15, 1e-15},  // the knot at 7 L/25
        {0.30, 0.01763, -0.03419, 0.01243, 5e-6, 5e-6, 5e-6},
        {0.49, 0.001878, -0.002185, 0.0007946, 5e-7, 5e-7, 5e-8},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.d);
        EXPECT_NEAR(sim::profile_eval(p.top, r.d), r.top, r.tol_top);
        EXPECT_NEAR(sim::profile_eval(p.bottom, r.d), r.bottom, r.tol_bottom);
        EXPECT_NEAR(sim::profile_eval(p.half_width, r.d), r.width, r.tol_width);
    }
}

TEST(BodyProfiles, HeadAndTailTipsAreSinglePoints) {
    const sim::BodyProfiles p = profiles();
    for (double d : {0.0, kL}) {
        EXPECT_EQ(sim::profile_eval(p.top, d), 0.0) << d;
        EXPECT_EQ(sim::profile_eval(p.bottom, d), 0.0) << d;
        EXPECT_EQ(sim::profile_eval(p.half_width, d), 0.0) << d;
    }
    // Everywhere in between the body has thickness, and the lower profile is
    // flat at its deepest from 5 to 7 section lengths.
    for (double d = 0.005; d < kL; d += 0.005) {
        EXPECT_GT(sim::profile_eval(p.top, d), 0.0) << d;
        EXPECT_LT(sim::profile_eval(p.bottom, d), 0.0) << d;
        EXPECT_GT(sim::profile_eval(p.half_width, d), 0.0) << d;
    }
    for (double d = 0.1; d <= 0.14; d += 0.005) {
        EXPECT_EQ(sim::profile_eval(p.bottom, d), -2.2 * kL / 25.0) << d;
    }
}

// ---- records before construction -------------------------------------------

TEST(Records, FreshRecordsHoldZerosAndTheInitialValues) {
    simtest::Scene s = simtest::make_records();
    EXPECT_EQ(s.c().body_length, 0.0);
    EXPECT_EQ(s.c().total_mass, 0.0);
    EXPECT_EQ(s.w().step_dt, 1.0 / 60.0);
    EXPECT_EQ(s.w().step_rate, 60.0);
    EXPECT_EQ(s.w().manoeuvre_end, 1.0);
    EXPECT_EQ(s.w().manoeuvre_duration, 1.0);
    EXPECT_EQ(s.w().manoeuvre_a, 0.5);
    EXPECT_EQ(s.w().manoeuvre_b, 0.5);
    EXPECT_EQ(s.w().manoeuvre_c, 0.5);
    EXPECT_EQ(s.w().drag_linear, 120.0);
    EXPECT_EQ(s.w().tail_sign, 1);
    EXPECT_EQ(s.w().tail_flip_armed, 1);
    EXPECT_EQ(s.w().first_step, 1);
    EXPECT_EQ(s.w().manoeuvre, 0);
    EXPECT_EQ(s.w().hist_pos, 0);
    EXPECT_EQ(s.w().next_target_time, 0.0);
}

// ---- sections, mass and spine --------------------------------------------

class BuiltBody : public ::testing::Test {
protected:
    simtest::Scene scene = simtest::make_scene(kSeed);
    const sim::Creature& c = *scene.creature;
    const sim::SimWorld& w = *scene.world;
};

TEST_F(BuiltBody, DimensionsAndSectionLayout) {
    EXPECT_EQ(c.body_length, kL);
    EXPECT_EQ(c.segment_length, kDs);
    for (int k = 0; k < sim::kSections; ++k) {
        EXPECT_EQ(c.section_segment[k], 3 * k + 1);
        EXPECT_EQ(c.section_com_local[k].x, 0.0);
        EXPECT_EQ(c.height_top[k], c.drag_upper[k] / (kL / 25.0));
        EXPECT_EQ(c.height_bottom[k], c.drag_lower[k] / (kL / 25.0));
    }
}

TEST_F(BuiltBody, MassMatchesTheProfilesAndCentresOnTheOrigin) {
    EXPECT_NEAR(c.total_mass, 0.463, 5e-4);
    double sum = 0.0;
    Vec3 moment{0, 0, 0};
    for (int k = 0; k < sim::kSections; ++k) {
        EXPECT_GT(c.section_mass[k], 0.0);
        sum += c.section_mass[k];
        sim::vec_madd(moment, moment, c.section_mass[k], c.section_pos[k]);
    }
    EXPECT_DOUBLE_EQ(sum, c.total_mass);
    EXPECT_NEAR(moment.x / c.total_mass, 0.0, 1e-15);
    EXPECT_NEAR(moment.y / c.total_mass, 0.0, 1e-15);
    EXPECT_NEAR(moment.z / c.total_mass, 0.0, 1e-15);

    // The same quantities integrated independently over the two half-ellipses
    // of every cross-section (density 1000).
    const sim::BodyProfiles p = profiles();
    auto t = [&](double d) { return sim::profile_eval(p.top, d); };
    auto b = [&](double d) { return -sim::profile_eval(p.bottom, d); };
    auto w2 = [&](double d) { return sim::profile_eval(p.half_width, d); };
    const double mass = simpson([&](double d) { return 1000.0 * kPi / 2.0 * (t(d) + b(d)) * w2(d); });
    const double y_moment =
        simpson([&](double d) { return -d * 1000.0 * kPi / 2.0 * (t(d) + b(d)) * w2(d); });
    const double z_moment = simpson([&](double d) {
        const double m_up = 1000.0 * kPi / 2.0 * t(d) * w2(d);
        const double m_lo = 1000.0 * kPi / 2.0 * b(d) * w2(d);
        return m_up * 4.0 * t(d) / (3.0 * kPi) - m_lo * 4.0 * b(d) / (3.0 * kPi);
    });
    EXPECT_NEAR(c.total_mass, mass, 1e-5 * mass);
    // The head tip sits at minus the centre of mass of the head-tip frame.
    EXPECT_NEAR(c.spine_pt[0].y, -y_moment / mass, 1e-6);
    EXPECT_NEAR(c.spine_pt[0].z, -z_moment / mass, 1e-7);
    EXPECT_EQ(c.spine_pt[0].x, 0.0);
}

TEST_F(BuiltBody, DragAreasIntegrateTheProfiles) {
    const sim::BodyProfiles p = profiles();
    double upper = 0.0, lower = 0.0, plan = 0.0;
    for (int k = 0; k < sim::kSections; ++k) {
        upper += c.drag_upper[k];
        lower += c.drag_lower[k];
        plan += c.drag_vertical[k];
    }
    EXPECT_NEAR(upper, simpson([&](double d) { return sim::profile_eval(p.top, d); }), 1e-3 * upper);
    EXPECT_NEAR(lower, simpson([&](double d) { return -sim::profile_eval(p.bottom, d); }), 1e-3 * lower);
    EXPECT_NEAR(plan, simpson([&](double d) { return 2.0 * sim::profile_eval(p.half_width, d); }),
                1e-3 * plan);
    // The largest cross-section is at 7 section lengths: half-ellipses of
    // height 0.02 and depth 0.044 on a half width of 0.016.
    EXPECT_NEAR(c.body_drag, kPi / 2.0 * (0.02 + 0.044) * 0.016, 1e-7);
}

TEST_F(BuiltBody, SpineIsStraightWithIdentityFrames) {
    for (int s = 0; s < sim::kSegments; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(c.segment_quat[s].w, 1.0);
        EXPECT_EQ(c.segment_quat[s].x, 0.0);
        EXPECT_EQ(c.segment_quat[s].y, 0.0);
        EXPECT_EQ(c.segment_quat[s].z, 0.0);
        EXPECT_NEAR(c.spine_pt[s + 1].y - c.spine_pt[s].y, -kDs, 1e-16);
        EXPECT_EQ(c.spine_pt[s + 1].x, c.spine_pt[s].x);
        EXPECT_EQ(c.spine_pt[s + 1].z, c.spine_pt[s].z);
        EXPECT_NEAR(c.segment_mid[s].y, 0.5 * (c.spine_pt[s].y + c.spine_pt[s + 1].y), 1e-16);
    }
    EXPECT_NEAR(c.spine_pt[0].y - c.spine_pt[75].y, kL, 1e-15);
    for (int k = 0; k < sim::kSections; ++k) {
        SCOPED_TRACE(k);
        const Vec3& mid = c.segment_mid[3 * k + 1];
        EXPECT_EQ(c.section_spine[k].y, mid.y);
        EXPECT_EQ(c.section_spine[k].z, mid.z);
        EXPECT_NEAR(c.section_pos[k].y, mid.y + c.section_com_local[k].y, 1e-16);
        EXPECT_NEAR(c.section_pos[k].z, mid.z + c.section_com_local[k].z, 1e-16);
        EXPECT_EQ(c.section_top[k].z, c.section_spine[k].z + c.height_top[k]);
        EXPECT_EQ(c.section_bottom[k].z, c.section_spine[k].z - c.height_bottom[k]);
    }
}

// ---- placement -------------------------------------------------------------

TEST_F(BuiltBody, PlacementFollowsTheFourDraws) {
    sim::RandomSource r{kSeed};
    for (int i = 0; i < 25; ++i) sim::random_next(r);  // discarded by the scene set-up
    const double u1 = sim::random_unit(r);
    const double u2 = sim::random_unit(r);
    sim::random_next(r);  // drawn and discarded by the body
    const double yaw = sim::random_unit(r) * 6.281439977927592;
    EXPECT_EQ(w.random.state, r.state);

    EXPECT_EQ(w.start_position.x, u1 * 8.0 - 4.0);
    EXPECT_EQ(w.start_position.y, 1.8);
    EXPECT_EQ(w.start_position.z, u2 + 2.0);
    EXPECT_EQ(c.position.x, w.start_position.x);
    EXPECT_EQ(c.position.y, w.start_position.y);
    EXPECT_EQ(c.position.z, w.start_position.z);

    // Pitched up by 22 degrees, then turned by the yaw about the vertical.
    const double cp = std::cos(kPitch), sp = std::sin(kPitch);
    const double cy = std::cos(yaw), sy = std::sin(yaw);
    EXPECT_NEAR(w.heading.x, -cp * sy, 1e-12);
    EXPECT_NEAR(w.heading.y, cp * cy, 1e-12);
    EXPECT_NEAR(w.heading.z, sp, 1e-12);
    EXPECT_NEAR(w.body_up.x, sp * sy, 1e-12);
    EXPECT_NEAR(w.body_up.y, -sp * cy, 1e-12);
    EXPECT_NEAR(w.body_up.z, cp, 1e-12);
    EXPECT_NEAR(w.side.x, cy, 1e-12);
    EXPECT_NEAR(w.side.y, sy, 1e-12);
    EXPECT_NEAR(w.side.z, 0.0, 1e-12);

    sim::Mat3 m;
    sim::mat3_from_quat(m, c.orientation);
    EXPECT_EQ(std::memcmp(&m, &c.rotation, sizeof m), 0);
    EXPECT_NEAR(c.head_pt.x,
                c.position.x + 0.5 * c.section_spine_w[1].x + 0.5 * c.section_spine_w[10].x, 1e-15);
    for (const Vec3* v : {&c.momentum, &c.angular_momentum, &c.force, &c.torque, &c.velocity}) {
        EXPECT_EQ(v->x, 0.0);
        EXPECT_EQ(v->y, 0.0);
        EXPECT_EQ(v->z, 0.0);
    }
}

TEST(BodyPlacement, SameSeedSamePlacementOtherSeedOtherPlacement) {
    simtest::Scene a = simtest::make_scene(kSeed);
    simtest::Scene b = simtest::make_scene(kSeed);
    simtest::Scene other = simtest::make_scene(kSeed + 1);
    EXPECT_EQ(simtest::first_differing_field(a.c(), a.w(), b.c(), b.w()), nullptr);
    EXPECT_NE(a.c().position.x, other.c().position.x);
    EXPECT_NE(a.c().orientation.w, other.c().orientation.w);
}

// ---- skin --------------------------------------------------------------------

TEST_F(BuiltBody, SkinTipsAreSinglePointsWithFixedNormals) {
    for (int side = 0; side < 2; ++side) {
        for (int j = 0; j < sim::kRingPoints; ++j) {
            SCOPED_TRACE(testing::Message() << "side " << side << " point " << j);
            const Vec3& head = w.skin_pos[side][0][j];
            const Vec3& tail = w.skin_pos[side][100][j];
            EXPECT_EQ(std::memcmp(&head, &c.spine_pt[0], sizeof head), 0);
            EXPECT_EQ(std::memcmp(&tail, &w.skin_pos[0][100][0], sizeof tail), 0);
            EXPECT_NEAR(tail.y, c.spine_pt[75].y, 1e-15);
        }
    }
    for (int j = 0; j < sim::kRingPoints; ++j) {
        // Drawing frame (x, z, y): the head normal points forward (+y), the
        // tail normal sideways, mirrored on the -x side.
        const sim::Vertex& hp = w.vertex_plus[0][j];
        const sim::Vertex& hm = w.vertex_minus[0][j];
        const sim::Vertex& tp = w.vertex_plus[100][j];
        const sim::Vertex& tm = w.vertex_minus[100][j];
        EXPECT_EQ(hp.nx, 0.0f);
        EXPECT_EQ(hp.ny, 0.0f);
        EXPECT_EQ(hp.nz, 1.0f);
        EXPECT_EQ(hm.nz, 1.0f);
        EXPECT_EQ(tp.nx, 1.0f);
        EXPECT_EQ(tm.nx, -1.0f);
        EXPECT_EQ(tp.ny, 0.0f);
        EXPECT_EQ(tp.nz, 0.0f);
    }
}

TEST_F(BuiltBody, SkinNormalsAreUnitOutwardAndCreaseFreeOnTheMidlines) {
    for (int i = 1; i < 100; ++i) {
        EXPECT_EQ(c.skin_normal_local[i][0].x, 0.0) << i;
        EXPECT_EQ(c.skin_normal_local[i][18].x, 0.0) << i;
        EXPECT_EQ(w.vertex_plus[i][0].nx, 0.0f) << i;
        EXPECT_EQ(w.vertex_minus[i][0].nx, 0.0f) << i;
        EXPECT_EQ(w.vertex_plus[i][18].nx, 0.0f) << i;
        EXPECT_EQ(w.vertex_minus[i][18].nx, 0.0f) << i;
        for (int j = 0; j < sim::kRingPoints; ++j) {
            SCOPED_TRACE(testing::Message() << "ring " << i << " point " << j);
            const Vec3& n = c.skin_normal_local[i][j];
            const Vec3& o = c.skin_offset_local[i][j];
            EXPECT_NEAR(sim::vec_length(n), 1.0, 1e-12);
            EXPECT_GT(n.x * o.x + n.z * o.z, 0.0);  // away from the spine
        }
    }
}

TEST_F(BuiltBody, SkinPointsBindToTheSegmentTheyLieIn) {
    for (int j = 0; j < sim::kRingPoints; ++j) {
        EXPECT_EQ(c.skin_segment[0][j], 0);
        EXPECT_EQ(c.skin_offset_local[0][j].y, 0.0);
        EXPECT_EQ(c.skin_segment[100][j], 74);
        EXPECT_NEAR(c.skin_offset_local[100][j].y, kDs, 1e-15);
    }
    for (int i = 1; i < sim::kRings; ++i) {
        const double d = c.spine_pt[0].y - w.skin_pos[1][i][0].y;  // distance behind the head tip
        const int s = c.skin_segment[i][0];
        EXPECT_GE(s, 0);
        EXPECT_LE(s, 74);
        EXPECT_GE(s, c.skin_segment[i - 1][0]) << i;
        EXPECT_GT(c.skin_offset_local[i][0].y, 0.0) << i;
        EXPECT_LE(c.skin_offset_local[i][0].y, kDs * (1.0 + 1e-12)) << i;
        EXPECT_NEAR(s * kDs + c.skin_offset_local[i][0].y, d, 1e-15) << i;
        for (int j = 1; j < sim::kRingPoints; ++j) EXPECT_EQ(c.skin_segment[i][j], s);
    }
}

TEST_F(BuiltBody, SkinRingsFollowTheSpacingAndTheProfiles) {
    const sim::BodyProfiles p = profiles();
    auto ring_d = [&](int i) { return c.spine_pt[0].y - w.skin_pos[1][i][0].y; };
    EXPECT_NEAR(ring_d(10), 0.04 * kL * 0.5, 1e-15);   // denser near the head
    EXPECT_NEAR(ring_d(20), 0.08 * kL, 1e-15);
    EXPECT_NEAR(ring_d(30), 0.24 * kL, 1e-15);
    EXPECT_NEAR(ring_d(40), 0.40 * kL, 1e-15);
    EXPECT_NEAR(ring_d(41), 0.41 * kL, 1e-15);          // even spacing from here on
    EXPECT_NEAR(ring_d(75), 0.75 * kL, 1e-15);
    for (int i : {5, 23, 50, 90}) {
        SCOPED_TRACE(i);
        const double d = ring_d(i);
        const int s = c.skin_segment[i][0];
        const Vec3& axis = c.spine_pt[s];
        EXPECT_NEAR(w.skin_pos[1][i][0].z - axis.z, sim::profile_eval(p.top, d), 1e-15);
        EXPECT_NEAR(w.skin_pos[1][i][9].x - axis.x, sim::profile_eval(p.half_width, d), 1e-15);
        EXPECT_NEAR(w.skin_pos[0][i][9].x - axis.x, -sim::profile_eval(p.half_width, d), 1e-15);
        EXPECT_NEAR(w.skin_pos[1][i][18].z - axis.z, sim::profile_eval(p.bottom, d), 1e-15);
    }
}

TEST_F(BuiltBody, BodyIndicesTileTheGridTwice) {
    const uint16_t first[] = {0, 1, 19, 19, 1, 20};
    const uint16_t last[] = {1898, 1899, 1917, 1917, 1899, 1918};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(w.body_indices[0][i], first[i]);
        EXPECT_EQ(w.body_indices[0][sim::kBodyIndices - 6 + i], last[i]);
    }
    int largest = 0;
    for (int i = 0; i < sim::kBodyIndices; ++i) {
        largest = std::max<int>(largest, w.body_indices[0][i]);
        ASSERT_EQ(w.body_indices[1][i], w.body_indices[0][i]) << i;
    }
    EXPECT_EQ(sim::kBodyIndices, 10800);
    EXPECT_EQ(largest, 1918);
}

}  // namespace
