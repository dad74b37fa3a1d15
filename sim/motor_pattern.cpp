#include "sim/motor_pattern.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kFiveDegrees = 0.08726646259971647;
constexpr double kTenDegrees = 0.17453292519943295;
constexpr double kTwentyDegrees = 0.3490658503988659;
const double kSin5 = std::sin(kFiveDegrees);
const double kSin10 = std::sin(kTenDegrees);
const double kSin20 = std::sin(kTwentyDegrees);
constexpr double kFortyFiveDegrees = 0.7853981633974483;
constexpr double kSteepAttitude = 1.5533430342749532;  // 89 degrees

// The segments the bend arrays shape. Segments before the first bending
// segment stay straight; the bend grows with the distance from it.
constexpr int kFirstBendingSegment = 10;
constexpr int kBendingSegments = kSegments - kFirstBendingSegment;  // 65
// The front of the bending part, up to the last segment fed from the rings'
// first eight values, takes piecewise-constant copies of those values.
constexpr int kFrontCopies = 8;                         // ring-fed values copied forward
constexpr int kEndOfFront = kWaveStart + kFrontCopies;  // 40: first segment not overwritten
// The tail: from here on the bends get their tail corrections.
constexpr int kFirstTailSegment = 60;
constexpr int kTailSegments = kSegments - kFirstTailSegment;  // 15
// The turn bend of the last two segments repeats the one before them.
constexpr int kLastFreeTurnSegment = kSegments - 3;  // 72

// Oldest delay, in steps, that the history rings can still answer: the
// sample k + 1 steps back must not have been overwritten.
constexpr double kMaxRingDelay = static_cast<double>(kHistory - 2);

double draw(SimWorld& world) { return random_unit(world.random); }

double clamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Moves a filter one step towards target T with stiffness k, damping c and gain g.
void move_filter(Filter& f, double target, double k, double c, double g, double h) {
    f.velocity += ((target - f.position) * k - f.velocity * c) * g * h;
    f.position += f.velocity * h;
}

void relax_filter(Filter& f, double h) { move_filter(f, 0.0, 3.0, 3.0, 1.0, h); }

// The running manoeuvre as its signal generator sees it.
struct ManoeuvreClock {
    double e;        // time since the manoeuvre started, s
    double d;        // duration parameter, s
    double a, b, c;  // manoeuvre_a, _b, _c: each generator says what they mean to it
    bool left;       // the turn is mirrored
};

ManoeuvreClock manoeuvre_clock(const SimWorld& world, double t) {
    return ManoeuvreClock{t - world.manoeuvre_start, world.manoeuvre_duration, world.manoeuvre_a,
                          world.manoeuvre_b,         world.manoeuvre_c,        world.manoeuvre_left == 1};
}

// The turn profile of the small and the large turn at tau seconds after the
// turn's delay: an optional counter-swing, then the main turn and its release.
// manoeuvre_a is the counter-swing (from 0.5 on, the turn first swings the
// other way by that much); manoeuvre_b is how long the turn is held (s), and
// it also slows the release and, a little, widens the turn (see the
// amplitudes below).
double turn_profile(const ManoeuvreClock& m, double amplitude, double tau) {
    const double counter_swing = m.a;
    const double hold_time = m.b;
    double t1 = 0.0, hold = 0.0, p = 0.0;
    if (counter_swing >= 0.5) {
        t1 = 0.2;
        hold = 0.5;
        p = -counter_swing;
    }
    const double x1 = t1 + hold;
    const double x2 = x1 + 0.2;
    const double x3 = x2 + hold_time;
    const double x4 = x3 + 2.0 * hold_time + 2.0;
    double y = 0.0;
    if (tau <= 0.0) {
        y = 0.0;
    } else if (tau <= t1) {
        y = ease_cos(0.0, t1, 0.0, p, tau);
    } else if (tau <= x1) {
        y = p;
    } else if (tau <= x2) {
        y = ease_cos(x1, x2, p, amplitude, tau);
    } else if (tau <= x3) {
        y = amplitude;
    } else if (tau <= x4) {
        y = ease_cos(x3, x4, amplitude, 0.0, tau);
    }
    return m.left ? -y : y;
}

// The small and the large turn: the turn signal follows the turn profile,
// which starts after a delay set by manoeuvre_c, and the twist rights the
// roll and adds the climb towards the target.
void run_turn(SimWorld& world, const ManoeuvreClock& m, double amplitude, double h) {
    const double delay = 2.0 * m.c;  // s
    const double y = turn_profile(m, amplitude, m.e - delay);
    move_filter(world.auto_turn, y, 7.0, 3.0, std::min(m.e, 1.0), h);
    relax_filter(world.auto_wave_b, h);
    relax_filter(world.auto_wave_c, h);
    double twist = clamp(world.roll / kFiveDegrees, -3.0, 3.0) - 2.0 * world.target_climb * y;
    if (m.e > m.d) {
        twist = 0.0;
    }
    move_filter(world.auto_twist, twist, 30.0, 16.0, 1.0, h);
}

// The amplitude of the small turn's and of the large turn's profile; b is
// the turn's manoeuvre_b.
double small_turn_amplitude(double b) { return 0.2 * b + 0.4; }
double large_turn_amplitude(double b) { return 0.3 * b + 1.2; }

// The cruise: a side-to-side wave of one beat per second, steered towards
// the target, whose strength grows with manoeuvre_a; the twist rights the
// roll and fades out over the manoeuvre's duration.
void run_cruise(SimWorld& world, const ManoeuvreClock& m, double h) {
    const double strength = m.a;
    const double s = std::sin(kTwoPi * m.e);
    relax_filter(world.auto_turn, h);
    const double wave = (0.3 * strength + 0.7) * (0.6 * world.target_side + 0.5 * s);
    const double stiffness = m.e < 0.2 ? 20.0 * m.e / 0.2 : 20.0;
    move_filter(world.auto_wave_b, wave, stiffness, 4.0, 1.0, h);
    relax_filter(world.auto_wave_c, h);
    double twist = clamp(world.roll / kFortyFiveDegrees, -1.0, 1.0) - 6.0 * world.target_climb * s;
    if (m.e > m.d) {
        twist = 0.0;
    }
    const double fraction = m.e / m.d;
    twist = twist * std::max(0.0, 1.0 - fraction * fraction * fraction);
    move_filter(world.auto_twist, twist, 30.0, 16.0, 1.0, h);
}

// The bend-and-glide: after half a second the tail bends strongly
// (manoeuvre_a: how strongly), holds the bend while it eases off for
// 3 manoeuvre_c + 3 seconds, then lets go with a stiffness that grows with
// manoeuvre_b while the creature glides.
void run_bend_glide(SimWorld& world, const ManoeuvreClock& m, double h) {
    const double strength = m.a;
    const double release = m.b;
    const double hold_time = 3.0 * m.c + 3.0;  // s from the start of the bend
    relax_filter(world.auto_turn, h);
    relax_filter(world.auto_wave_b, h);
    const double e = m.e - 0.5;
    double bend = 0.2 * strength + 1.3;
    double stiffness = 9.0;
    if (e > hold_time) {
        bend = 0.0;
        stiffness = 0.5 * release + 1.0;
    }
    if (e < 0.0) {
        bend = 0.0;
    } else if (e < 0.2) {
        bend = bend * e / 0.2;
    } else {
        bend = bend / ((e - 0.2) * 0.1 + 1.0);
    }
    if (m.left) {
        bend = -bend;
    }
    move_filter(world.auto_wave_c, bend, stiffness, 5.0, 1.0, h);
    double twist = clamp(world.roll / kTwentyDegrees, -1.5, 1.5);
    if (m.e > m.d) {
        twist = 0.0;
    }
    move_filter(world.auto_twist, twist, 30.0, 16.0, 1.0, h);
}

// Where a delayed read of the history rings falls: the two neighbouring
// samples and the weight of the older one.
struct RingRead {
    int newer[kSegments];    // ring index of the sample k steps back
    int older[kSegments];    // and of the one k + 1 steps back
    double frac[kSegments];  // share of the older sample
};

void locate_ring_reads(RingRead& out, int32_t hist_pos, const double (&delay_steps)[kSegments]) {
    for (int i = kWaveStart; i < kSegments; ++i) {
        const double n = delay_steps[i];
        const int k = static_cast<int>(n);
        out.frac[i] = n - static_cast<double>(k);
        int i0 = hist_pos - k;
        int i1 = hist_pos - k - 1;
        if (i0 < 0) i0 += kHistory;
        if (i1 < 0) i1 += kHistory;
        out.newer[i] = i0;
        out.older[i] = i1;
    }
}

// Delayed, interpolated read of one history ring into segments 32..74.
void read_ring(const double (&ring)[kHistory], double (&out)[kSegments], const RingRead& at) {
    for (int i = kWaveStart; i < kSegments; ++i) {
        const double f = at.frac[i];
        out[i] = (1.0 - f) * ring[at.newer[i]] + f * ring[at.older[i]];
    }
}

// sin(x) from the C library at run time. The empty asm hides x from the
// optimiser, which would otherwise work out constant sines at compile time,
// correctly rounded, where the library may differ in the last bit.
double library_sin(double x) {
    asm volatile("" : "+m"(x));
    return std::sin(x);
}

// sin(5 (i - 10) / 65) over the bending segments, the shape of bend_c while
// tail_sign is +1. It depends on the segment alone, so it is evaluated once,
// on first use.
struct TailShape {
    double value[kSegments];
};

const TailShape& tail_shape() {
    static const TailShape table = [] {
        TailShape t{};
        for (int i = kFirstBendingSegment; i < kSegments; ++i) {
            t.value[i] = library_sin(5.0 * static_cast<double>(i - kFirstBendingSegment) /
                                     static_cast<double>(kBendingSegments));
        }
        return t;
    }();
    return table;
}

// The segments before the first bending one are straight; the front of the
// bending part takes piecewise-constant copies of the first eight ring-fed
// entries (32..39), fewer segments per copy towards the back.
void lay_out_front(double (&a)[kSegments]) {
    double copy[kFrontCopies];
    for (int i = 0; i < kFrontCopies; ++i) copy[i] = a[kWaveStart + i];
    static constexpr int kFirst[kFrontCopies + 1] = {kFirstBendingSegment, 17, 22, 26, 30, 33, 36, 38, kEndOfFront};
    for (int i = 0; i < kFirstBendingSegment; ++i) a[i] = 0.0;
    for (int c = 0; c < kFrontCopies; ++c) {
        for (int i = kFirst[c]; i < kFirst[c + 1]; ++i) a[i] = copy[c];
    }
}

// The chances of the next manoeuvre. Normally any may follow; after a
// bend-and-glide another one does not; a steep creature mostly takes a
// large turn, and a high creature that climbs never cruises on. The
// bend-and-glide takes whatever the other three leave.
struct ManoeuvreChances {
    double small_turn, cruise, large_turn;
};

ManoeuvreChances manoeuvre_chances(const Creature& creature, const SimWorld& world) {
    ManoeuvreChances chances{0.13, 0.27, 0.35};
    if (world.manoeuvre == kManoeuvreBendGlide) {
        chances = ManoeuvreChances{0.3, 0.3, 0.4};
    }
    const double hz = world.heading.z;
    if (hz < -kSin20 || hz > kSin20) {
        chances = ManoeuvreChances{0.2, 0.2, 0.6};
    }
    if (creature.position.z > 4.0 && hz > kSin10) {
        chances = ManoeuvreChances{0.3, 0.0, 0.7};
    }
    return chances;
}

// Each start_* draws its manoeuvre's parameters from the random source in
// the order written; `left` mirrors a turn towards the target's side.

// Small turn: counter-swing, hold time and delay at random (manoeuvre_a,
// _b, _c); it ends between 2 and 5 seconds on.
void start_small_turn(SimWorld& world, double t, uint8_t left) {
    world.manoeuvre = kManoeuvreSmallTurn;
    world.manoeuvre_a = draw(world);
    world.manoeuvre_b = draw(world);
    world.manoeuvre_c = draw(world);
    world.manoeuvre_duration = 5.0;
    world.manoeuvre_left = left;
    world.manoeuvre_start = t;
    world.manoeuvre_end = t + 5.0 - 3.0 * draw(world);
}

// Cruise: 1 to 6 seconds long, wave strength manoeuvre_a; it may end up to
// a second early. manoeuvre_b, _c and the side are left as they were.
void start_cruise(SimWorld& world, double t) {
    world.manoeuvre = kManoeuvreCruise;
    world.manoeuvre_duration = 5.0 * draw(world) + 1.0;
    world.manoeuvre_a = draw(world);
    world.manoeuvre_start = t;
    world.manoeuvre_end = t + world.manoeuvre_duration - draw(world);
}

// Large turn: counter-swing and hold time at random, except that a high
// creature heading down takes a fixed turn and a low creature heading up
// one with a counter-swing and a short hold (two more draws); then the
// delay; five seconds long.
void start_large_turn(const Creature& creature, SimWorld& world, double t, uint8_t left) {
    const double hz = world.heading.z;
    world.manoeuvre = kManoeuvreLargeTurn;
    world.manoeuvre_a = draw(world);
    world.manoeuvre_b = 0.7 * draw(world) + 0.3;
    if (creature.position.z > 2.0 && hz < -kSin10) {
        world.manoeuvre_a = 0.7;
        world.manoeuvre_b = 0.25;
    }
    if (creature.position.z < 2.0 && hz > kSin10) {
        world.manoeuvre_a = 0.5 * draw(world) + 0.5;
        world.manoeuvre_b = 0.2 * draw(world) + 0.24;
    }
    world.manoeuvre_c = draw(world);
    world.manoeuvre_duration = 5.0;
    world.manoeuvre_left = left;
    world.manoeuvre_start = t;
    world.manoeuvre_end = t + 5.0;
}

// Bend-and-glide: hold time, bend strength and release (manoeuvre_c, _a,
// _b, drawn in that order); 5 to 20 seconds long, stronger bends glide
// longer; three times in ten it is cut short after 2 to 4 seconds.
void start_bend_glide(SimWorld& world, double t, uint8_t left) {
    world.manoeuvre = kManoeuvreBendGlide;
    world.manoeuvre_c = draw(world);
    world.manoeuvre_a = draw(world);
    world.manoeuvre_b = draw(world);
    world.manoeuvre_left = left;
    world.manoeuvre_duration = 10.0 * draw(world) + 5.0 + 5.0 * world.manoeuvre_a;
    world.manoeuvre_start = t;
    world.manoeuvre_end = t + world.manoeuvre_duration;
    if (draw(world) < 0.3) {
        world.manoeuvre_end = t + 2.0 + 2.0 * draw(world);
    }
}

}  // namespace

double ease_cos(double x0, double x1, double y0, double y1, double x) {
    const double k = kPi / (x1 - x0);
    return std::cos((x - (x0 + x1) / 2.0) * k + kPi / 2.0) * (y0 - y1) / 2.0 + (y0 + y1) / 2.0;
}

void measure_steering(const Creature& creature, SimWorld& world) {
    // Roll: the angle between the body's up direction and the vertical
    // plane through the heading.
    Vec3 right{1.0, 0.0, 0.0};
    const Vec3& heading = world.heading;
    if (std::fabs(std::asin(clamp(heading.z, -1.0, 1.0))) < kSteepAttitude) {
        right = Vec3{heading.y, -heading.x, 0.0};
    }
    vec_normalize(right, right);
    Vec3 up_ref;
    vec_cross(up_ref, right, heading);
    vec_normalize(up_ref, up_ref);
    const double c = clamp(vec_dot(world.body_up, up_ref), -1.0, 1.0);
    world.roll = std::acos(c);
    if (vec_dot(world.body_up, right) < 0.0) {
        world.roll = -world.roll;
    }

    // Direction to the swim target.
    Vec3 d;
    vec_sub(d, creature.swim_target, creature.head_pt);
    if (vec_length(d) > 0.001) {
        Vec3 u;
        vec_normalize(u, d);
        world.target_side = vec_dot(u, world.side);
        const double g = std::sqrt(std::fabs(d.z));
        if (d.z > 0.0) {
            world.target_climb = (u.z - heading.z) + 0.25 * g;
        } else {
            world.target_climb = (u.z - heading.z) - 0.25 * g;
        }
    } else {
        world.target_side = 0.0;
        world.target_climb = 0.0;
    }
}

void choose_manoeuvre(const Creature& creature, SimWorld& world, double t) {
    if (!(t > 1.0 && t > world.manoeuvre_end)) {
        return;
    }
    world.recovering = 0;

    const ManoeuvreChances chances = manoeuvre_chances(creature, world);
    const double up_to_small_turn = chances.small_turn;
    const double up_to_cruise = up_to_small_turn + chances.cruise;
    const double up_to_large_turn = up_to_cruise + chances.large_turn;
    const double r0 = draw(world);
    const uint8_t left = world.target_side > 0.0 ? 0 : 1;

    // The bounds are tested one after the other on the same draw; the last
    // range ends above 1, so a draw of exactly 1 always picks the
    // bend-and-glide.
    if (0.0 <= r0 && r0 < up_to_small_turn) {
        start_small_turn(world, t, left);
    } else if (up_to_small_turn <= r0 && r0 < up_to_cruise) {
        start_cruise(world, t);
    } else if (up_to_cruise <= r0 && r0 < up_to_large_turn) {
        start_large_turn(creature, world, t, left);
    } else if (up_to_large_turn <= r0 && r0 < 1.1) {
        start_bend_glide(world, t, left);
    }
}

void check_climb_away(const Creature& creature, SimWorld& world, double t) {
    if (!(t > 1.0) || world.recovering != 0) {
        return;
    }
    const int32_t current = world.manoeuvre;
    if (current != kManoeuvreCruise && current != kManoeuvreBendGlide &&
        current != kManoeuvreSmallTurn) {
        return;
    }
    if (!(creature.position.z < 0.5 && world.heading.z < -kSin5)) {
        return;
    }
    // A large turn replaces the manoeuvre: at once (no delay), with a full
    // counter-swing after a small turn and none after the others.
    world.recovering = 1;
    world.manoeuvre = kManoeuvreLargeTurn;
    if (current == kManoeuvreSmallTurn) {
        world.manoeuvre_a = 1.0;                      // counter-swing
        world.manoeuvre_b = 0.9 + 0.1 * draw(world);  // hold time
        world.manoeuvre_c = 0.0;                      // delay
    } else {
        world.manoeuvre_a = 0.0;
        world.manoeuvre_b = 0.7 + 0.3 * draw(world);
        world.manoeuvre_c = current == kManoeuvreBendGlide ? 0.5 : 0.0;
    }
    world.manoeuvre_duration = 5.0;
    world.manoeuvre_left = world.side.z > 0.0 ? 0 : 1;
    world.manoeuvre_start = t;
    world.manoeuvre_end = t + 5.0;
}

void run_manoeuvre_signals(SimWorld& world, double t, double h) {
    if (!(t > 1.0)) {
        return;
    }
    const ManoeuvreClock m = manoeuvre_clock(world, t);
    switch (world.manoeuvre) {
        case kManoeuvreLargeTurn: run_turn(world, m, large_turn_amplitude(m.b), h); break;
        case kManoeuvreSmallTurn: run_turn(world, m, small_turn_amplitude(m.b), h); break;
        case kManoeuvreCruise:
            run_cruise(world, m, h);
            break;
        case kManoeuvreBendGlide:
            run_bend_glide(world, m, h);
            break;
        default:
            return;  // no manoeuvre yet: nothing is written
    }
    const int p = world.hist_pos;
    world.hist_turn[p] = world.auto_turn.position;
    world.hist_wave_b[p] = world.auto_wave_b.position;
    world.hist_wave_c[p] = world.auto_wave_c.position;
    world.hist_twist[p] = world.auto_twist.position;
    world.turn_rate = world.auto_turn.velocity;
}

void read_travelling_waves(const Creature& creature, SimWorld& world, double h) {
    // The wave travels at the larger of 1.25 times the swimming speed and
    // 0.8 body lengths per second.
    double v = 1.25 * creature.speed;
    const double slowest = 0.8 * creature.body_length;
    if (!(v >= slowest)) {
        v = slowest;
    }
    // Delays first (a loop the compiler can vectorise), then the clamp.
    double delay_steps[kSegments];
    for (int i = kWaveStart; i < kSegments; ++i) {
        const double x = static_cast<double>(i - kWaveStart) * creature.segment_length;
        delay_steps[i] = (x / v) / h;
    }
    for (int i = kWaveStart; i < kSegments; ++i) {
        if (!(delay_steps[i] <= kMaxRingDelay)) {
            delay_steps[i] = kMaxRingDelay;  // only at step rates the ring is too short for
            ++world.delay_cap_hits;
        }
    }
    RingRead at;
    locate_ring_reads(at, world.hist_pos, delay_steps);
    read_ring(world.hist_turn, world.bend_a, at);
    read_ring(world.hist_wave_b, world.bend_b, at);
    read_ring(world.hist_twist, world.twist, at);
    read_ring(world.hist_wave_c, world.bend_c, at);
}

void shape_bends(const Creature& creature, SimWorld& world, double h) {
    double(&a)[kSegments] = world.bend_a;
    double(&b)[kSegments] = world.bend_b;
    double(&c)[kSegments] = world.bend_c;
    lay_out_front(a);
    lay_out_front(b);
    lay_out_front(c);
    const double ds = creature.segment_length;
    // Distance along the body from the first bending segment.
    auto dist = [ds](int i) { return static_cast<double>(i - kFirstBendingSegment) * ds; };
    // How far into the tail a segment lies, 0 at its first segment.
    auto into_tail = [](int i) { return static_cast<double>(i - kFirstTailSegment); };
    const double two_pi_third = kTwoPi / 3.0;

    // The turn bend (from the turn signal).
    for (int i = kFirstBendingSegment; i < kSegments; ++i) {
        a[i] = kTwoPi * dist(i) * a[i];
    }
    for (int i = kLastFreeTurnSegment + 1; i < kSegments; ++i) {
        a[i] = a[kLastFreeTurnSegment];
    }
    for (int i = kFirstTailSegment; i < kSegments; ++i) {
        a[i] -= 0.01 * into_tail(i) * a[kWaveStart];
    }
    for (int i = kFirstTailSegment; i < kSegments; ++i) {
        const double q = into_tail(i) / static_cast<double>(kTailSegments);
        a[i] -= q * q * world.turn_rate * 0.1 * 0.25;
    }

    // The side wave (from wave b).
    for (int i = kFirstBendingSegment; i < kSegments; ++i) {
        b[i] = kTwoPi * dist(i) * b[i];
        b[i] = two_pi_third * dist(i) * b[i];
    }
    for (int i = kFirstTailSegment; i < kSegments; ++i) {
        b[i] -= 0.03 * into_tail(i) * b[kWaveStart];
    }

    // The tail bend (from wave c), in one of its two shapes.
    const TailShape& tail = tail_shape();
    for (int i = kFirstBendingSegment; i < kSegments; ++i) {
        if (world.tail_sign == 1) {
            c[i] = tail.value[i] * (125.0 * dist(i) * kPi / 180.0) * c[i];
        } else {
            c[i] = kTwoPi * dist(i) * c[i];
            c[i] = two_pi_third * dist(i) * c[i];
        }
    }

    // Tail oscillator, loaded by the water on the tail during a bend-and-glide.
    double force;
    if (world.manoeuvre == kManoeuvreBendGlide) {
        force = 15.0 * world.tail_load - 50.0 * world.tail_angle - world.tail_vel;
    } else {
        force = -10.0 * world.tail_angle - 4.0 * world.tail_vel;
    }
    world.tail_vel += force * h;
    world.tail_angle += world.tail_vel * h;
    for (int i = kFirstTailSegment; i < kSegments; ++i) {
        const double q = into_tail(i) / static_cast<double>(kTailSegments);
        c[i] += std::sqrt(q) * q * world.tail_angle * 50.0;
    }
    for (int i = kFirstTailSegment; i < kSegments; ++i) {
        c[i] -= 0.03 * into_tail(i) * c[kWaveStart];
    }

    // After a bend-and-glide, once the tail is straight, use the other shape.
    if (world.manoeuvre != kManoeuvreBendGlide && world.tail_flip_armed == 1 && std::fabs(c[kSegments - 1]) < 1e-6) {
        world.tail_sign = -world.tail_sign;
        world.tail_flip_armed = 0;
    }
    if (world.manoeuvre == kManoeuvreBendGlide) {
        world.tail_flip_armed = 1;
    }
}

void update_motor_pattern(const Creature& creature, SimWorld& world, double t, double h) {
    measure_steering(creature, world);
    choose_manoeuvre(creature, world, t);
    check_climb_away(creature, world, t);
    run_manoeuvre_signals(world, t, h);
    read_travelling_waves(creature, world, h);
    shape_bends(creature, world, h);
    world.hist_pos += 1;
    if (world.hist_pos >= kHistory) {
        world.hist_pos = 0;
    }
}

}  // namespace sim
