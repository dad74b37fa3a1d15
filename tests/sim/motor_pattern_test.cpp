// The motor pattern: steering measurements, the random choice of
// manoeuvres, the climb-away, the manoeuvre signals, the delayed reading of
// the history rings and the shaping of the bend arrays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "sim/motor_pattern.h"
#include "sim/records.h"
#include "sim_test_support.h"

namespace {

using sim::SimWorld;
using sim::Vec3;

constexpr double kH = 1.0 / 60.0;
constexpr double kTwoPi = 6.283185307179586;

// ---- helpers ----------------------------------------------------------------

// The target a filter step moved towards, recovered from a filter that
// started at rest at zero: v = T k g h.
double filter_target(const sim::Filter& after, double k, double g, double h) {
    return after.velocity / (k * g * h);
}

class MotorPattern : public ::testing::Test {
protected:
    simtest::Scene scene = simtest::make_records();
    sim::Creature& c = *scene.creature;
    SimWorld& w = *scene.world;

    // Level (or pitched by `pitch_deg`) creature at height z.
    void attitude(double z, double pitch_deg) {
        const double a = pitch_deg * 3.141592653589793 / 180.0;
        c.position = Vec3{0.0, 0.0, z};
        w.heading = Vec3{0.0, std::cos(a), std::sin(a)};
    }

    // The manoeuvre chosen at t = 10 when the next draw is `value`, after
    // `previous` has ended.
    int32_t choose(int value, int32_t previous = 0) {
        w.manoeuvre = previous;
        w.manoeuvre_end = 5.0;
        w.random.state = simtest::state_drawing(value);
        sim::choose_manoeuvre(c, w, 10.0);
        return w.manoeuvre;
    }
};

// ---- steering measurements ------------------------------------------------

TEST_F(MotorPattern, RollIsSignedAngleFromTheUprightPlane) {
    c.swim_target = Vec3{0, 0, 0};
    c.head_pt = Vec3{0, 0, 0};
    w.heading = Vec3{0, 1, 0};
    w.body_up = Vec3{0, 0, 1};
    sim::measure_steering(c, w);
    EXPECT_NEAR(w.roll, 0.0, 1e-15);

    const double a = 0.5;  // rolled towards +x (the right of a creature heading +y)
    w.body_up = Vec3{std::sin(a), 0, std::cos(a)};
    sim::measure_steering(c, w);
    EXPECT_NEAR(w.roll, a, 1e-12);
    w.body_up = Vec3{-std::sin(a), 0, std::cos(a)};
    sim::measure_steering(c, w);
    EXPECT_NEAR(w.roll, -a, 1e-12);

    // Heading straight up: the reference side falls back to +x.
    w.heading = Vec3{0, 0, 1};
    w.body_up = Vec3{0, -1, 0};
    sim::measure_steering(c, w);
    EXPECT_NEAR(w.roll, 0.0, 1e-7);
}

TEST_F(MotorPattern, TargetDirectionMeasuresSideAndClimb) {
    w.heading = Vec3{0, 1, 0};
    w.side = Vec3{1, 0, 0};
    w.body_up = Vec3{0, 0, 1};
    c.head_pt = Vec3{1, 1, 2};
    c.swim_target = Vec3{3, 1, 3};  // d = (2, 0, 1)
    sim::measure_steering(c, w);
    EXPECT_NEAR(w.target_side, 2.0 / std::sqrt(5.0), 1e-15);
    EXPECT_NEAR(w.target_climb, 1.0 / std::sqrt(5.0) + 0.25, 1e-15);

    c.swim_target = Vec3{1, 1, 0};  // straight below: d = (0, 0, -2)
    sim::measure_steering(c, w);
    EXPECT_NEAR(w.target_side, 0.0, 1e-15);
    EXPECT_NEAR(w.target_climb, -1.0 - 0.25 * std::sqrt(2.0), 1e-15);

    c.swim_target = Vec3{1.0005, 1, 2};  // too close to steer by
    sim::measure_steering(c, w);
    EXPECT_EQ(w.target_side, 0.0);
    EXPECT_EQ(w.target_climb, 0.0);
}

// ---- manoeuvre choice -------------------------------------------------------

TEST_F(MotorPattern, DrawRangesFollowTheAttitudeRules) {
    // The first draw value from which a cruise, a large turn and a
    // bend-and-glide are chosen; the ranges are checked for every one of the
    // 32768 possible draws.
    struct Case {
        const char* what;
        double z, pitch;
        int32_t previous;
        int first_cruise, first_large_turn, first_bend_glide;
    };
    const Case cases[] = {
        {"default", 3.0, 0.0, sim::kManoeuvreNone, 4260, 13107, 24576},        // 0.13 0.27 0.35 0.25
        {"nearly steep", 3.0, 19.0, sim::kManoeuvreNone, 4260, 13107, 24576},  // still the default
        {"high, level", 4.5, 5.0, sim::kManoeuvreNone, 4260, 13107, 24576},
        // A draw of exactly 1 picks a bend-and-glide even at chance 0: the
        // bound below it is exactly 1 and the last range is [1, 1.1).
        {"after a bend-and-glide", 3.0, 0.0, sim::kManoeuvreBendGlide, 9831, 19661, 32767},  // 0.3 0.3 0.4 0
        {"diving", 3.0, -30.0, sim::kManoeuvreNone, 6554, 13107, 32767},                     // 0.2 0.2 0.6 0
        {"climbing", 3.0, 30.0, sim::kManoeuvreNone, 6554, 13107, 32767},
        {"high, climbing", 4.5, 15.0, sim::kManoeuvreNone, 9831, 9831, 32767},  // 0.3 0 0.7 0: never a cruise
        {"high, steep", 4.5, 40.0, sim::kManoeuvreNone, 9831, 9831, 32767},     // the height rule wins
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        attitude(k.z, k.pitch);
        for (int v = 0; v <= sim::kRandomMax; ++v) {
            const int32_t expected = v < k.first_cruise       ? sim::kManoeuvreSmallTurn
                                     : v < k.first_large_turn ? sim::kManoeuvreCruise
                                     : v < k.first_bend_glide ? sim::kManoeuvreLargeTurn
                                                              : sim::kManoeuvreBendGlide;
            ASSERT_EQ(choose(v, k.previous), expected) << "draw " << v;
        }
    }
}

TEST_F(MotorPattern, ChoiceWaitsForTheEndOfTheCurrentManoeuvre) {
    attitude(3.0, 0.0);
    w.random.state = 77;
    w.manoeuvre = sim::kManoeuvreCruise;
    w.manoeuvre_end = 5.0;
    sim::choose_manoeuvre(c, w, 5.0);  // not past the end yet
    w.manoeuvre_end = 0.5;
    sim::choose_manoeuvre(c, w, 1.0);  // nothing before t > 1
    EXPECT_EQ(w.manoeuvre, sim::kManoeuvreCruise);
    EXPECT_EQ(w.random.state, 77u);
    w.recovering = 1;
    sim::choose_manoeuvre(c, w, 1.0 + 1e-9);
    EXPECT_NE(w.random.state, 77u);
    EXPECT_EQ(w.recovering, 0);
}

TEST_F(MotorPattern, SmallTurnTurnsTowardsTheTargetsSideByABoundedAmountAndEnds) {
    // Small turns from many random states, for a target on either side: the
    // turn signal swings mainly towards the target's side, stays within the
    // small turn's reach, and is over well within ten seconds.
    attitude(3.0, 0.0);
    for (double target_side : {0.2, -0.2}) {
        for (uint16_t low = 0; low < 40000; low += 2000) {
            SCOPED_TRACE(testing::Message() << "side " << target_side << " state " << low);
            w.target_side = target_side;
            w.manoeuvre = sim::kManoeuvreNone;
            w.manoeuvre_end = 5.0;
            w.random.state = simtest::state_drawing(100, low);
            sim::choose_manoeuvre(c, w, 10.0);
            ASSERT_EQ(w.manoeuvre, sim::kManoeuvreSmallTurn);
            EXPECT_GE(w.manoeuvre_end, 12.0);
            EXPECT_LE(w.manoeuvre_end, 15.0);

            w.auto_turn = sim::Filter{0.0, 0.0};
            double towards = 0.0, away = 0.0;  // largest swing each way
            for (int k = 1; k <= 600; ++k) {
                sim::run_manoeuvre_signals(w, 10.0 + k * kH, kH);
                const double turn = target_side > 0.0 ? w.auto_turn.position : -w.auto_turn.position;
                towards = std::max(towards, turn);
                away = std::max(away, -turn);
            }
            EXPECT_GT(towards, 0.3);
            EXPECT_LT(towards, 0.9);  // a large turn aims at 1.2 and more
            EXPECT_LT(away, 1.05);    // a counter-swing reaches at most back to -1
            EXPECT_LT(std::fabs(w.auto_turn.position), 0.01);
        }
    }
}

TEST_F(MotorPattern, LargeTurnFollowsTheAttitudeAndKeepsItsDrawCount) {
    // Level: parameters at random. High and diving: one fixed turn. Low and
    // climbing: always a counter-swing and a short hold, two more draws.
    struct Case {
        const char* what;
        double z, pitch;
        int draws;  // the choice's draw and the turn's own
    };
    for (const Case& k :
         {Case{"level", 3.0, 0.0, 4}, Case{"high, diving", 3.0, -15.0, 4}, Case{"low, climbing", 1.0, 15.0, 6}}) {
        SCOPED_TRACE(k.what);
        attitude(k.z, k.pitch);
        w.manoeuvre = sim::kManoeuvreNone;
        w.manoeuvre_end = 5.0;
        w.random.state = simtest::state_drawing(20000);
        sim::RandomSource after = w.random;
        for (int i = 0; i < k.draws; ++i) sim::random_next(after);
        sim::choose_manoeuvre(c, w, 10.0);
        ASSERT_EQ(w.manoeuvre, sim::kManoeuvreLargeTurn);
        EXPECT_EQ(w.random.state, after.state);
        EXPECT_EQ(w.manoeuvre_start, 10.0);
        EXPECT_EQ(w.manoeuvre_end, 15.0);
        for (double parameter : {w.manoeuvre_a, w.manoeuvre_b, w.manoeuvre_c}) {
            EXPECT_GE(parameter, 0.0);
            EXPECT_LE(parameter, 1.0);
        }
        if (k.pitch < 0.0) {
            EXPECT_EQ(w.manoeuvre_a, 0.7);
            EXPECT_EQ(w.manoeuvre_b, 0.25);
        }
        if (k.pitch > 0.0) {
            EXPECT_GE(w.manoeuvre_a, 0.5);
            EXPECT_LE(w.manoeuvre_b, 0.44);
        }
    }
}

TEST_F(MotorPattern, BendAndGlideSometimesEndsEarly) {
    attitude(3.0, 0.0);
    // Find one state whose early-end draw (the sixth) is below 0.3 and one
    // whose is not, both with a first draw in the bend-and-glide range.
    bool seen_early = false, seen_full = false;
    for (uint32_t low = 0; low < 65536 && !(seen_early && seen_full); ++low) {
        w.random.state = simtest::state_drawing(30000, static_cast<uint16_t>(low));
        sim::RandomSource r = w.random;
        sim::random_next(r);
        const double cc = sim::random_unit(r), a = sim::random_unit(r), b = sim::random_unit(r);
        const double duration = 10.0 * sim::random_unit(r) + 5.0 + 5.0 * a;
        const bool early = sim::random_unit(r) < 0.3;
        if ((early && seen_early) || (!early && seen_full)) continue;
        w.manoeuvre = 0;
        w.manoeuvre_end = 5.0;
        sim::choose_manoeuvre(c, w, 10.0);
        ASSERT_EQ(w.manoeuvre, sim::kManoeuvreBendGlide);
        EXPECT_EQ(w.manoeuvre_c, cc);
        EXPECT_EQ(w.manoeuvre_a, a);
        EXPECT_EQ(w.manoeuvre_b, b);
        EXPECT_EQ(w.manoeuvre_duration, duration);
        if (early) {
            EXPECT_EQ(w.manoeuvre_end, 10.0 + 2.0 + 2.0 * sim::random_unit(r));
            seen_early = true;
        } else {
            EXPECT_EQ(w.manoeuvre_end, 10.0 + duration);
            seen_full = true;
        }
        EXPECT_EQ(w.random.state, r.state);
    }
    EXPECT_TRUE(seen_early && seen_full);
}

// ---- climb-away -------------------------------------------------------------

TEST_F(MotorPattern, ClimbAwayReplacesTheManoeuvreNearTheFloor) {
    struct Case {
        int32_t from;
        double a, b_lo, b_hi, c;
    };
    for (const Case& k :
         {Case{sim::kManoeuvreCruise, 0.0, 0.7, 1.0, 0.0}, Case{sim::kManoeuvreBendGlide, 0.0, 0.7, 1.0, 0.5},
          Case{sim::kManoeuvreSmallTurn, 1.0, 0.9, 1.0, 0.0}}) {
        SCOPED_TRACE(k.from);
        attitude(0.3, -10.0);
        w.side = Vec3{0.0, 0.0, -0.1};
        w.manoeuvre = k.from;
        w.recovering = 0;
        w.random.state = simtest::state_drawing(16384);
        sim::check_climb_away(c, w, 20.0);
        EXPECT_EQ(w.manoeuvre, sim::kManoeuvreLargeTurn);
        EXPECT_EQ(w.recovering, 1);
        EXPECT_EQ(w.manoeuvre_a, k.a);
        EXPECT_NEAR(w.manoeuvre_b, k.b_lo + (k.b_hi - k.b_lo) * 16384.0 / 32767.0, 1e-15);
        EXPECT_EQ(w.manoeuvre_c, k.c);
        EXPECT_EQ(w.manoeuvre_duration, 5.0);
        EXPECT_EQ(w.manoeuvre_start, 20.0);
        EXPECT_EQ(w.manoeuvre_end, 25.0);
        EXPECT_EQ(w.manoeuvre_left, 1);  // side axis pointing down
    }
}

TEST_F(MotorPattern, ClimbAwayHappensOnceUntilTheNextChoice) {
    attitude(0.3, -10.0);
    w.side = Vec3{0.0, 0.0, 0.1};
    w.manoeuvre = sim::kManoeuvreCruise;
    sim::check_climb_away(c, w, 20.0);
    ASSERT_EQ(w.recovering, 1);
    EXPECT_EQ(w.manoeuvre_left, 0);
    const uint32_t state = w.random.state;
    w.manoeuvre = sim::kManoeuvreCruise;  // even if a cruise were running again
    sim::check_climb_away(c, w, 20.1);
    EXPECT_EQ(w.manoeuvre, sim::kManoeuvreCruise);
    EXPECT_EQ(w.random.state, state);
    // The next choice clears the flag; a cruise may then be replaced again.
    w.random.state = simtest::state_drawing(8000);
    sim::choose_manoeuvre(c, w, 26.0);
    ASSERT_EQ(w.manoeuvre, sim::kManoeuvreCruise);
    EXPECT_EQ(w.recovering, 0);
    sim::check_climb_away(c, w, 26.0);
    EXPECT_EQ(w.manoeuvre, sim::kManoeuvreLargeTurn);
}

TEST_F(MotorPattern, ClimbAwayNeedsLowHeightAndADownwardHeading) {
    struct Case {
        int32_t manoeuvre;
        double z, pitch, t;
    };
    const Case cases[] = {
        {sim::kManoeuvreCruise, 0.5, -10.0, 20.0},     // not below 0.5
        {sim::kManoeuvreCruise, 0.3, -4.0, 20.0},      // not steeper than 5 degrees down
        {sim::kManoeuvreCruise, 0.3, -10.0, 1.0},      // not after t = 1
        {sim::kManoeuvreLargeTurn, 0.3, -10.0, 20.0},  // already a turn
        {sim::kManoeuvreNone, 0.3, -10.0, 20.0},       // no manoeuvre yet
    };
    for (const Case& k : cases) {
        attitude(k.z, k.pitch);
        w.manoeuvre = k.manoeuvre;
        w.recovering = 0;
        sim::check_climb_away(c, w, k.t);
        EXPECT_EQ(w.recovering, 0) << k.manoeuvre << " " << k.z << " " << k.pitch << " " << k.t;
        EXPECT_EQ(w.manoeuvre, k.manoeuvre);
    }
}

// ---- manoeuvre signals ----------------------------------------------------

class ManoeuvreSignals : public MotorPattern {
protected:
    // Target of auto_turn at time e after the start of the manoeuvre.
    double turn_target(double e) {
        w.auto_turn = sim::Filter{0.0, 0.0};
        sim::run_manoeuvre_signals(w, w.manoeuvre_start + e, kH);
        return filter_target(w.auto_turn, 7.0, std::min(e, 1.0), kH);
    }
    void start(int32_t manoeuvre, double a, double b, double cc, bool left) {
        w.manoeuvre = manoeuvre;
        w.manoeuvre_start = 0.0;
        w.manoeuvre_duration = 5.0;
        w.manoeuvre_a = a;
        w.manoeuvre_b = b;
        w.manoeuvre_c = cc;
        w.manoeuvre_left = left ? 1 : 0;
    }
};

TEST_F(ManoeuvreSignals, TurnSwingsBackBeforeTheMainTurn) {
    // a = 0.8: counter-swing to -0.8 within 0.2 s, hold to 0.7 s, main turn
    // of 0.3 b + 1.2 = 1.35 reached at 0.9 s, released over 2 b + 2 = 3 s.
    // c = 0.6 delays everything by 1.2 s.
    struct Point {
        double tau, y;
    };
    const Point profile[] = {{-0.1, 0.0}, {0.1, -0.4},  {0.2, -0.8}, {0.45, -0.8},
                             {0.7, -0.8}, {0.8, 0.275}, {0.9, 1.35}, {1.2, 1.35},
                             {1.4, 1.35}, {2.9, 0.675}, {4.4, 0.0},  {6.0, 0.0}};
    for (bool left : {false, true}) {
        start(sim::kManoeuvreLargeTurn, 0.8, 0.5, 0.6, left);
        for (const Point& p : profile) {
            EXPECT_NEAR(turn_target(1.2 + p.tau), left ? -p.y : p.y, 1e-9)
                << "tau " << p.tau << (left ? " left" : "");
        }
    }
}

TEST_F(ManoeuvreSignals, SmallTurnWithoutCounterSwing) {
    // a < 0.5: straight to 0.2 b + 0.4 = 0.5 within 0.2 s; released over 3 s
    // after holding until 0.2 + b = 0.7 s.
    start(sim::kManoeuvreSmallTurn, 0.3, 0.5, 0.6, false);
    EXPECT_NEAR(turn_target(1.2 + 0.1), 0.25, 1e-9);
    EXPECT_NEAR(turn_target(1.2 + 0.2), 0.5, 1e-9);
    EXPECT_NEAR(turn_target(1.2 + 0.5), 0.5, 1e-9);
    EXPECT_NEAR(turn_target(1.2 + 2.2), 0.25, 1e-9);
    // During the first second the filter's gain ramps up with e.
    start(sim::kManoeuvreSmallTurn, 0.3, 0.5, 0.0, false);
    w.manoeuvre_start = 10.0;
    w.auto_turn = sim::Filter{0.0, 0.0};
    sim::run_manoeuvre_signals(w, 10.5, kH);
    EXPECT_NEAR(filter_target(w.auto_turn, 7.0, 0.5, kH), 0.5, 1e-9);
    EXPECT_EQ(w.hist_turn[w.hist_pos], w.auto_turn.position);
    EXPECT_EQ(w.turn_rate, w.auto_turn.velocity);
}

TEST_F(ManoeuvreSignals, BendAndGlideBendsThenReleases) {
    start(sim::kManoeuvreBendGlide, 0.5, 0.4, 0.5, false);  // bend 0.2 a + 1.3 = 1.4, released after 3 c + 3 = 4.5 s
    w.manoeuvre_start = 10.0;
    auto bend_target = [&](double e, double k) {
        w.auto_wave_c = sim::Filter{0.0, 0.0};
        sim::run_manoeuvre_signals(w, 10.0 + e, kH);
        return filter_target(w.auto_wave_c, k, 1.0, kH);
    };
    EXPECT_NEAR(bend_target(0.3, 9.0), 0.0, 1e-12);
    EXPECT_NEAR(bend_target(0.6, 9.0), 0.7, 1e-9);
    EXPECT_NEAR(bend_target(1.7, 9.0), 1.4 / 1.1, 1e-9);
    EXPECT_NEAR(bend_target(4.5, 9.0), 1.4 / 1.38, 1e-9);  // e' = 4: still held
    w.manoeuvre_left = 1;
    EXPECT_NEAR(bend_target(1.7, 9.0), -1.4 / 1.1, 1e-9);
    // Released: target 0 with the softer stiffness 0.5 b + 1.
    w.auto_wave_c = sim::Filter{1.0, 0.0};
    sim::run_manoeuvre_signals(w, 10.0 + 5.5, kH);
    EXPECT_NEAR(-w.auto_wave_c.velocity / kH, 1.2, 1e-9);
}

TEST_F(ManoeuvreSignals, CruiseBeatsOncePerSecondAndItsTwistFadesWithTheCubeOfTime) {
    start(sim::kManoeuvreCruise, 1.0, 0.0, 0.0, false);
    w.manoeuvre_start = 10.0;
    w.manoeuvre_duration = 3.0;
    w.roll = 0.0;
    w.target_side = 0.0;
    w.target_climb = 0.1;
    auto run_at = [&](double e) {
        w.auto_wave_b = sim::Filter{0.0, 0.0};
        w.auto_twist = sim::Filter{0.0, 0.0};
        sim::run_manoeuvre_signals(w, 10.0 + e, kH);
    };
    // Side wave (0.3 a + 0.7) (0.6 side + 0.5 sin 2 pi e): one beat per second.
    const double beat[][2] = {{0.25, 0.5}, {0.5, 0.0}, {0.75, -0.5}, {1.25, 0.5}, {2.75, -0.5}};
    for (const auto& point : beat) {
        run_at(point[0]);
        EXPECT_NEAR(filter_target(w.auto_wave_b, 20.0, 1.0, kH), point[1], 1e-9) << "e " << point[0];
    }
    // Twist -6 climb sin(2 pi e), faded by 1 - (e / d)^3 and gone after d.
    run_at(2.25);  // sin = 1, e / d = 0.75
    EXPECT_NEAR(filter_target(w.auto_twist, 30.0, 1.0, kH), -0.6 * (1.0 - 0.421875), 1e-9);
    run_at(0.25);
    EXPECT_NEAR(filter_target(w.auto_twist, 30.0, 1.0, kH), -0.6 * (1.0 - 1.0 / 1728.0), 1e-9);
    run_at(3.25);
    EXPECT_EQ(filter_target(w.auto_twist, 30.0, 1.0, kH), 0.0);
    // The roll is corrected within +-45 degrees, faded alike.
    w.target_climb = 0.0;
    w.roll = 3.141592653589793 / 8.0;  // 22.5 degrees
    run_at(1.5);
    EXPECT_NEAR(filter_target(w.auto_twist, 30.0, 1.0, kH), 0.5 * (1.0 - 0.125), 1e-9);
    // The side wave's stiffness ramps up over the first 0.2 s.
    w.target_side = 0.5;
    run_at(0.1);
    EXPECT_NEAR(filter_target(w.auto_wave_b, 10.0, 1.0, kH), 0.3 + 0.5 * std::sin(kTwoPi * 0.1), 1e-9);
}

// ---- travelling waves -----------------------------------------------------

class TravellingWaves : public ::testing::Test {
protected:
    simtest::Scene scene = simtest::make_scene(7);
    sim::Creature& c = *scene.creature;
    SimWorld& w = *scene.world;

    // Every ring holds, at each slot, how many steps ago it was written.
    void fill_with_age(int hist_pos) {
        w.hist_pos = hist_pos;
        for (int m = 0; m < sim::kHistory; ++m) {
            const int slot = (hist_pos - m + sim::kHistory) % sim::kHistory;
            w.hist_turn[slot] = m;
            w.hist_wave_b[slot] = m + 1000.0;
            w.hist_twist[slot] = m + 2000.0;
            w.hist_wave_c[slot] = m + 3000.0;
        }
    }
};

TEST_F(TravellingWaves, SegmentThirtyTwoReadsThisStepsSample) {
    for (int p : {0, 17, 299}) {
        w.hist_pos = p;
        w.hist_turn[p] = 0.31;
        w.hist_wave_b[p] = -0.42;
        w.hist_twist[p] = 0.53;
        w.hist_wave_c[p] = -0.64;
        sim::read_travelling_waves(c, w, kH);
        EXPECT_EQ(w.bend_a[32], 0.31);
        EXPECT_EQ(w.bend_b[32], -0.42);
        EXPECT_EQ(w.twist[32], 0.53);
        EXPECT_EQ(w.bend_c[32], -0.64);
    }
}

TEST_F(TravellingWaves, DelayGrowsWithDistanceAndInterpolatesAcrossTheWrap) {
    // The wave travels at max(1.25 speed, 0.8 L) = 0.4 when at rest and at
    // 1.25 when the creature swims at 1: the delay is distance / speed.
    for (double speed : {0.0, 1.0}) {
        SCOPED_TRACE(speed);
        c.speed = speed;
        const double wave_speed = std::max(1.25 * speed, 0.4);
        const double h = 1.0 / 75.0;
        fill_with_age(5);
        sim::read_travelling_waves(c, w, h);
        for (int i = 32; i < sim::kSegments; ++i) {
            const double delay_steps = (i - 32) * c.segment_length / wave_speed / h;
            EXPECT_NEAR(w.bend_a[i], delay_steps, 1e-9) << i;
            EXPECT_NEAR(w.bend_b[i], delay_steps + 1000.0, 1e-9) << i;
            EXPECT_NEAR(w.twist[i], delay_steps + 2000.0, 1e-9) << i;
            EXPECT_NEAR(w.bend_c[i], delay_steps + 3000.0, 1e-9) << i;
        }
    }
    EXPECT_EQ(w.delay_cap_hits, 0);
}

TEST_F(TravellingWaves, DelayBeyondTheRingIsCapped) {
    // At 1000 steps per second the tail would need 700 samples; the ring
    // answers with its oldest usable one and the event is counted.
    fill_with_age(123);
    sim::read_travelling_waves(c, w, 0.001);
    EXPECT_EQ(w.bend_a[74], 298.0);
    EXPECT_EQ(w.bend_c[74], 3298.0);
    EXPECT_NEAR(w.bend_a[40], 8 * c.segment_length / 0.4 / 0.001, 1e-9);  // within reach
    EXPECT_GT(w.delay_cap_hits, 0);
    for (int i = 32; i < sim::kSegments; ++i) EXPECT_LE(w.bend_a[i], 298.0);
}

// ---- bend shaping -----------------------------------------------------------

class BendShaping : public TravellingWaves {
protected:
    static constexpr int kSource[40] = {  // entry each front segment copies (0: none)
        0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  32, 32, 32, 32, 32, 32, 32, 33, 33, 33,
        33, 33, 34, 34, 34, 34, 35, 35, 35, 35, 36, 36, 36, 37, 37, 37, 38, 38, 39, 39};

    void fill(double (&a)[sim::kSegments], double base) {
        for (int i = 0; i < sim::kSegments; ++i) a[i] = i < 32 ? 99.0 : base + 0.01 * i;
    }
    void reset_tail() {
        w.turn_rate = 0.0;
        w.tail_angle = 0.0;
        w.tail_vel = 0.0;
        w.tail_load = 0.0;
        w.manoeuvre = sim::kManoeuvreCruise;
        w.tail_flip_armed = 0;
    }
    double d(int i) const { return (i - 10) * c.segment_length; }
};

TEST_F(BendShaping, FrontIsZeroThenPiecewiseConstantBeforeScaling) {
    reset_tail();
    fill(w.bend_a, 0.1);
    fill(w.bend_b, 0.2);
    fill(w.bend_c, 0.3);
    double raw_a[sim::kSegments], raw_b[sim::kSegments], raw_c[sim::kSegments];
    std::copy(std::begin(w.bend_a), std::end(w.bend_a), raw_a);
    std::copy(std::begin(w.bend_b), std::end(w.bend_b), raw_b);
    std::copy(std::begin(w.bend_c), std::end(w.bend_c), raw_c);
    sim::shape_bends(c, w, kH);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(w.bend_a[i], 0.0);
        EXPECT_EQ(w.bend_b[i], 0.0);
        EXPECT_EQ(w.bend_c[i], 0.0);
    }
    for (int i = 11; i < 40; ++i) {
        SCOPED_TRACE(i);
        const int src = kSource[i];
        EXPECT_NEAR(w.bend_a[i] / (kTwoPi * d(i)), raw_a[src], 1e-12);
        EXPECT_NEAR(w.bend_b[i] / (kTwoPi * d(i) * kTwoPi / 3.0 * d(i)), raw_b[src], 1e-12);
        const double sine_shape =
            std::sin(5.0 * (i - 10) / 65.0) * 125.0 * d(i) * 3.141592653589793 / 180.0;
        EXPECT_NEAR(w.bend_c[i] / sine_shape, raw_c[src], 1e-12);
    }
    EXPECT_EQ(w.bend_a[10], 0.0);  // no distance from the bend's origin
    // Middle of the body: plain scaling of the delayed values.
    EXPECT_NEAR(w.bend_a[50], kTwoPi * d(50) * raw_a[50], 1e-15);
}

TEST_F(BendShaping, TailTermsOfTheTurnBend) {
    reset_tail();
    fill(w.bend_a, 0.1);
    // Entry 36 lands on segment 32 in the front layout; zero there means no
    // tail correction proportional to it.
    w.bend_a[36] = 0.0;
    sim::shape_bends(c, w, kH);
    EXPECT_EQ(w.bend_a[73], w.bend_a[72]);
    EXPECT_EQ(w.bend_a[74], w.bend_a[72]);
    double plain[sim::kSegments];
    std::copy(std::begin(w.bend_a), std::end(w.bend_a), plain);

    reset_tail();
    fill(w.bend_a, 0.1);
    w.bend_a[36] = 0.0;
    w.turn_rate = 2.0;
    sim::shape_bends(c, w, kH);
    for (int i = 0; i < 60; ++i) EXPECT_EQ(w.bend_a[i], plain[i]) << i;
    for (int i = 60; i < sim::kSegments; ++i) {
        const double q = (i - 60) / 15.0;
        EXPECT_NEAR(w.bend_a[i] - plain[i], -q * q * 2.0 * 0.025, 1e-15) << i;
    }
}

TEST_F(BendShaping, OtherTailShapeMatchesTheWaveBend) {
    // With tail_sign -1 and the tail oscillator at rest, bend_c is shaped
    // exactly like bend_b.
    reset_tail();
    w.tail_sign = -1;
    fill(w.bend_b, 0.2);
    fill(w.bend_c, 0.2);
    sim::shape_bends(c, w, kH);
    for (int i = 0; i < sim::kSegments; ++i) EXPECT_EQ(w.bend_c[i], w.bend_b[i]) << i;
}

TEST_F(BendShaping, TailOscillatorIsASpringThatTheWaterLoadsOnlyInABendAndGlide) {
    // Outside a bend-and-glide: stiffness 10, damping 4, no load.
    reset_tail();
    w.tail_angle = 0.1;
    w.tail_vel = 0.2;
    w.tail_load = 0.3;
    sim::shape_bends(c, w, kH);
    double vel = 0.2 + (-10.0 * 0.1 - 4.0 * 0.2) * kH;
    EXPECT_NEAR(w.tail_vel, vel, 1e-15);
    EXPECT_NEAR(w.tail_angle, 0.1 + vel * kH, 1e-15);

    // In a bend-and-glide: load 15, stiffness 50, damping 1.
    reset_tail();
    w.manoeuvre = sim::kManoeuvreBendGlide;
    w.tail_angle = 0.1;
    w.tail_vel = 0.2;
    w.tail_load = 0.3;
    sim::shape_bends(c, w, kH);
    vel = 0.2 + (15.0 * 0.3 - 50.0 * 0.1 - 0.2) * kH;
    EXPECT_NEAR(w.tail_vel, vel, 1e-15);
    EXPECT_NEAR(w.tail_angle, 0.1 + vel * kH, 1e-15);
}

TEST_F(BendShaping, TailSignFlipsOnceAfterEachBendAndGlide) {
    reset_tail();
    std::fill(std::begin(w.bend_c), std::end(w.bend_c), 0.0);
    w.tail_sign = 1;
    w.manoeuvre = sim::kManoeuvreBendGlide;
    sim::shape_bends(c, w, kH);
    EXPECT_EQ(w.tail_sign, 1);  // no flip during the bend-and-glide
    EXPECT_EQ(w.tail_flip_armed, 1);
    w.manoeuvre = sim::kManoeuvreCruise;
    sim::shape_bends(c, w, kH);  // tail straight: flip
    EXPECT_EQ(w.tail_sign, -1);
    EXPECT_EQ(w.tail_flip_armed, 0);
    sim::shape_bends(c, w, kH);
    EXPECT_EQ(w.tail_sign, -1);  // only once
    w.manoeuvre = sim::kManoeuvreBendGlide;
    sim::shape_bends(c, w, kH);
    w.manoeuvre = sim::kManoeuvreLargeTurn;
    fill(w.bend_c, 0.2);  // tail bent: the flip waits
    sim::shape_bends(c, w, kH);
    EXPECT_EQ(w.tail_sign, -1);
    std::fill(std::begin(w.bend_c), std::end(w.bend_c), 0.0);
    sim::shape_bends(c, w, kH);
    EXPECT_EQ(w.tail_sign, 1);
}

}  // namespace
