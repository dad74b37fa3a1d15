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

struct ManoeuvreClock {
    double e;  // time since the manoeuvre started, s
    double d;  // duration parameter, s
    double a, b, c;
    bool left;
};

ManoeuvreClock manoeuvre_clock(const SimWorld& world, double t) {
    return ManoeuvreClock{t - world.manoeuvre_start, world.manoeuvre_duration, world.manoeuvre_a,
                          world.manoeuvre_b,         world.manoeuvre_c,        world.manoeuvre_left == 1};
}

// The turn profile of manoeuvres 2000 and 2200 at tau seconds after the
// turn's delay: an optional counter-swing, then the main turn and its release.
double turn_profile(const ManoeuvreClock& m, double amplitude, double tau) {
    double t1 = 0.0, hold = 0.0, p = 0.0;
    if (m.a >= 0.5) {
        t1 = 0.2;
        hold = 0.5;
        p = -m.a;
    }
    const double x1 = t1 + hold;
    const double x2 = x1 + 0.2;
    const double x3 = x2 + m.b;
    const double x4 = x3 + 2.0 * m.b + 2.0;
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

void run_turn(SimWorld& world, const ManoeuvreClock& m, double amplitude, double h) {
    const double y = turn_profile(m, amplitude, m.e - 2.0 * m.c);
    move_filter(world.auto_turn, y, 7.0, 3.0, std::min(m.e, 1.0), h);
    relax_filter(world.auto_wave_b, h);
    relax_filter(world.auto_wave_c, h);
    double twist = clamp(world.roll / kFiveDegrees, -3.0, 3.0) - 2.0 * world.target_climb * y;
    if (m.e > m.d) {
        twist = 0.0;
    }
    move_filter(world.auto_twist, twist, 30.0, 16.0, 1.0, h);
}

void run_cruise(SimWorld& world, const ManoeuvreClock& m, double h) {
    const double s = std::sin(kTwoPi * m.e);
    relax_filter(world.auto_turn, h);
    const double wave = (0.3 * m.a + 0.7) * (0.6 * world.target_side + 0.5 * s);
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

void run_bend_glide(SimWorld& world, const ManoeuvreClock& m, double h) {
    relax_filter(world.auto_turn, h);
    relax_filter(world.auto_wave_b, h);
    const double e = m.e - 0.5;
    double bend = 0.2 * m.a + 1.3;
    double stiffness = 9.0;
    if (e > 3.0 * m.c + 3.0) {
        bend = 0.0;
        stiffness = 0.5 * m.b + 1.0;
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

// sin(5 (i - 10) / 65) for segments 10..74, the shape of bend_c while
// tail_sign is +1. It depends on the segment alone, so it is evaluated once,
// on first use.
struct TailShape {
    double value[kSegments];
};

const TailShape& tail_shape() {
    static const TailShape table = [] {
        TailShape t{};
        for (int i = 10; i < kSegments; ++i) {
            t.value[i] = library_sin(5.0 * static_cast<double>(i - 10) / 65.0);
        }
        return t;
    }();
    return table;
}

// The front of the body takes piecewise-constant copies of entries 32..39.
void lay_out_front(double (&a)[kSegments]) {
    double copy[8];
    for (int i = 0; i < 8; ++i) copy[i] = a[kWaveStart + i];
    static constexpr int kFirst[9] = {10, 17, 22, 26, 30, 33, 36, 38, 40};
    for (int i = 0; i < 10; ++i) a[i] = 0.0;
    for (int c = 0; c < 8; ++c) {
        for (int i = kFirst[c]; i < kFirst[c + 1]; ++i) a[i] = copy[c];
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

    double p2200 = 0.13, p610 = 0.27, p2000 = 0.35;
    if (world.manoeuvre == kManoeuvreBendGlide) {
        p2200 = 0.3, p610 = 0.3, p2000 = 0.4;
    }
    const double hz = world.heading.z;
    if (hz < -kSin20 || hz > kSin20) {
        p2200 = 0.2, p610 = 0.2, p2000 = 0.6;
    }
    if (creature.position.z > 4.0 && hz > kSin10) {
        p2200 = 0.3, p610 = 0.0, p2000 = 0.7;
    }
    const double c1 = p2200;
    const double c2 = c1 + p610;
    const double c3 = c2 + p2000;
    const double r0 = draw(world);
    const uint8_t left = world.target_side > 0.0 ? 0 : 1;

    if (0.0 <= r0 && r0 < c1) {
        world.manoeuvre = kManoeuvreSmallTurn;
        world.manoeuvre_a = draw(world);
        world.manoeuvre_b = draw(world);
        world.manoeuvre_c = draw(world);
        world.manoeuvre_duration = 5.0;
        world.manoeuvre_left = left;
        world.manoeuvre_start = t;
        world.manoeuvre_end = t + 5.0 - 3.0 * draw(world);
    } else if (c1 <= r0 && r0 < c2) {
        world.manoeuvre = kManoeuvreCruise;
        world.manoeuvre_duration = 5.0 * draw(world) + 1.0;
        world.manoeuvre_a = draw(world);
        world.manoeuvre_start = t;
        world.manoeuvre_end = t + world.manoeuvre_duration - draw(world);
    } else if (c2 <= r0 && r0 < c3) {
        world.manoeuvre = kManoeuvreTurn;
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
    } else if (c3 <= r0 && r0 < 1.1) {
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
    world.recovering = 1;
    world.manoeuvre = kManoeuvreTurn;
    if (current == kManoeuvreSmallTurn) {
        world.manoeuvre_a = 1.0;
        world.manoeuvre_b = 0.9 + 0.1 * draw(world);
        world.manoeuvre_c = 0.0;
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
        case kManoeuvreTurn:
            run_turn(world, m, 0.3 * m.b + 1.2, h);
            break;
        case kManoeuvreSmallTurn:
            run_turn(world, m, 0.2 * m.b + 0.4, h);
            break;
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
    auto dist = [ds](int i) { return static_cast<double>(i - 10) * ds; };
    const double two_pi_third = kTwoPi / 3.0;

    for (int i = 10; i < kSegments; ++i) {
        a[i] = kTwoPi * dist(i) * a[i];
    }
    a[73] = a[72];
    a[74] = a[72];
    for (int i = 60; i < kSegments; ++i) {
        a[i] -= 0.01 * static_cast<double>(i - 60) * a[32];
    }
    for (int i = 60; i < kSegments; ++i) {
        const double q = static_cast<double>(i - 60) / 15.0;
        a[i] -= q * q * world.turn_rate * 0.1 * 0.25;
    }

    for (int i = 10; i < kSegments; ++i) {
        b[i] = kTwoPi * dist(i) * b[i];
        b[i] = two_pi_third * dist(i) * b[i];
    }
    for (int i = 60; i < kSegments; ++i) {
        b[i] -= 0.03 * static_cast<double>(i - 60) * b[32];
    }

    const TailShape& tail = tail_shape();
    for (int i = 10; i < kSegments; ++i) {
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
    for (int i = 60; i < kSegments; ++i) {
        const double q = static_cast<double>(i - 60) / 15.0;
        c[i] += std::sqrt(q) * q * world.tail_angle * 50.0;
    }
    for (int i = 60; i < kSegments; ++i) {
        c[i] -= 0.03 * static_cast<double>(i - 60) * c[32];
    }

    // After a bend-and-glide, once the tail is straight, use the other shape.
    if (world.manoeuvre != kManoeuvreBendGlide && world.tail_flip_armed == 1 &&
        std::fabs(c[74]) < 1e-6) {
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
