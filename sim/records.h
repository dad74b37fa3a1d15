// The two plain records that hold all simulation state: the creature's body
// (`Creature`) and everything else kept between steps (`SimWorld`). Every
// array has a fixed size; nothing is allocated or freed after start-up.
//
// Frames: the world frame has z up. The shape frame holds the body layout
// with its origin at the centre of mass; a shape point p lies at
// position + rotation * p in the world. A segment's frame has x to the side,
// y from tail to head and z dorsal. Spine point 0 is at the head.
#pragma once

#include <cstdint>

#include "sim/random_source.h"
#include "sim/vector_math.h"

namespace sim {

inline constexpr int kSegments = 75;       // spine segments; segment i runs from point i to i+1
inline constexpr int kSpinePoints = 76;    // spine points, 0 at the head tip
inline constexpr int kSections = 25;       // mass sections; section k lies on segment 3k+1
inline constexpr int kRings = 101;         // skin rings, head (0) to tail (100)
inline constexpr int kRingPoints = 19;     // skin points per ring and side, dorsal (0) to ventral (18)
inline constexpr int kHistory = 300;       // samples in each history ring
inline constexpr int kWaveStart = 32;      // first segment fed from the history rings
inline constexpr int kBodyIndices = 6 * (kRings - 1) * (kRingPoints - 1);  // 10800
inline constexpr int kEyeVertices = 37;
inline constexpr int kEyeIndices = 162;
inline constexpr int kSphereLongitudes = 19;
inline constexpr int kSphereLatitudes = 10;
inline constexpr int kSphereIndices = 972;

// The values of SimWorld::manoeuvre: the kind of manoeuvre the creature is
// swimming (the numbers also appear in traces).
inline constexpr int32_t kManoeuvreNone = 0;          // none chosen yet
inline constexpr int32_t kManoeuvreSmallTurn = 2200;  // a short turn of small amplitude
inline constexpr int32_t kManoeuvreCruise = 610;      // swimming on with a side-to-side beat
inline constexpr int32_t kManoeuvreLargeTurn = 2000;  // a wide turn, also the climb-away from the floor
inline constexpr int32_t kManoeuvreBendGlide = 320;   // one strong bend of the tail, then a glide

// The vertex record of every mesh of the scene, in the drawing frame (y up):
// a simulation point (x, y, z) is stored as (x, z, y).
struct Vertex {
    float px, py, pz;  // position, drawing frame
    float nx, ny, nz;  // normal, drawing frame (not necessarily unit)
    float u, v;        // texture coordinates
};
static_assert(sizeof(Vertex) == 32, "the device reads 32-byte vertices");

// A damped second-order filter of the manoeuvre signals.
struct Filter {
    double position;  // signal value
    double velocity;  // signal rate, per second
};

struct Creature {
    // ---- body shape and spine (shape frame) ----
    double body_length;                    // L, world units; 0.5 once built
    double segment_length;                 // L / 75
    Vec3 spine_pt[kSpinePoints];           // spine points
    Quat segment_quat[kSegments];          // segment orientations
    Vec3 segment_mid[kSegments];           // segment midpoints
    Quat shape_spin;                       // counter-rotation of this step's shape correction

    // ---- sections ----
    int32_t section_segment[kSections];    // segment carrying the section: 3k+1
    double section_mass[kSections];        // kg (density 1000)
    double total_mass;                     // sum of the section masses
    Vec3 section_pos[kSections];           // centre of mass, shape frame, relative to the body's
    Quat section_quat[kSections];          // section orientation, shape frame
    Mat3 section_rot[kSections];           // its matrix
    Vec3 section_axis_x[kSections];        // columns of section_rot
    Vec3 section_axis_y[kSections];
    Vec3 section_axis_z[kSections];
    Vec3 section_spine[kSections];         // midpoint of the section's segment, shape frame
    Vec3 section_top[kSections];           // dorsal edge point, shape frame
    Vec3 section_bottom[kSections];        // ventral edge point, shape frame
    Vec3 section_spine_w[kSections];       // the three points rotated into world orientation
    Vec3 section_top_w[kSections];         //   (origin at the centre of mass)
    Vec3 section_bottom_w[kSections];
    Vec3 section_com_local[kSections];     // centre of mass in the section frame, from section_spine
    Mat3 section_inertia[kSections];       // inertia about the section's centre of mass, section frame
    double height_top[kSections];          // mean dorsal extent, world units
    double height_bottom[kSections];       // mean ventral extent, world units
    double drag_upper[kSections];          // side area above the spine, units^2
    double drag_lower[kSections];          // side area below the spine, units^2
    double drag_vertical[kSections];       // plan area (seen from above), units^2
    Mat3 inertia;                          // total inertia about the centre of mass, shape frame
    Mat3 inertia_inv;                      // its inverse

    // ---- rigid body (world frame) ----
    Vec3 position;                         // centre of mass
    Vec3 velocity;                         // of the centre of mass, units/s
    double speed;                          // |velocity|
    Vec3 momentum;                         // linear momentum
    Quat orientation;                      // body orientation, unit
    Mat3 rotation;                         // its matrix
    Vec3 angular_momentum;                 // world frame
    Vec3 angular_velocity;                 // world frame, rad/s
    Vec3 force;                            // built during a step, integrated in the next
    Vec3 torque;
    double body_drag;                      // largest cross-section area, units^2
    Vec3 head_pt;                          // world point midway between sections 1 and 10
    Vec3 head_pt_prev;                     // head_pt of the previous step
    Vec3 swim_target;                      // wander target, world

    // ---- skin tables, built once ----
    int32_t skin_segment[kRings][kRingPoints];      // segment (0..74) each skin point is bound to
    Vec3 skin_offset_local[kRings][kRingPoints];    // point in the segment frame, from its front spine point (+x side)
    Vec3 skin_normal_local[kRings][kRingPoints];    // normal in the segment frame (+x side)
};

struct SimWorld {
    // ---- timing ----
    double step_dt;              // step length, s
    double step_rate;            // steps per second
    int32_t rate_frames;         // frame counter of the rate measurement; negative once settled
    double rate_time_sum;        // sum of measured frame intervals, s
    float last_app_time;         // application time at the previous frame, s
    double sim_time;             // simulated time, s
    double next_target_time;     // time after which a new swim target is drawn, s

    // ---- flags and parameters ----
    uint8_t first_step;          // set until the end of the first step
    double drag_linear;          // linear water-drag coefficient
    Vec3 start_position;         // initial position, world

    // ---- steering and manoeuvres ----
    Vec3 heading;                // unit, towards the head, world orientation
    Vec3 body_up;                // unit, spine to dorsal edge at section 5
    Vec3 side;                   // normalised heading x body_up
    double roll;                 // rad
    double target_side;          // direction to the target along `side`
    double target_climb;         // climb wanted towards the target
    int32_t manoeuvre;           // one of the kManoeuvre* codes
    double manoeuvre_start;      // s
    double manoeuvre_end;        // s; the next manoeuvre is chosen after it
    double manoeuvre_duration;   // s
    double manoeuvre_a;          // random parameters in [0, 1]; what each one sets
    double manoeuvre_b;          //   depends on the manoeuvre (see motor_pattern.cpp)
    double manoeuvre_c;
    uint8_t manoeuvre_left;      // mirror the manoeuvre's turn
    uint8_t recovering;          // a climb-away has replaced the manoeuvre
    Filter auto_turn;            // manoeuvre filters
    Filter auto_twist;
    Filter auto_wave_b;
    Filter auto_wave_c;
    double turn_rate;            // auto_turn velocity after its last update
    double tail_angle;           // tail oscillator, rad
    double tail_vel;             // rad/s
    double tail_load;            // minus the normal velocity of the last dorsal half
    int32_t tail_sign;           // shape of bend_c: +1 or -1
    uint8_t tail_flip_armed;     // a flip of tail_sign is pending
    double hist_turn[kHistory];  // history rings of the four head signals
    double hist_twist[kHistory];
    double hist_wave_b[kHistory];
    double hist_wave_c[kHistory];
    int32_t hist_pos;            // common write index, 0..299
    double bend_a[kSegments];    // per-segment bend angles about the dorsal axis, rad
    double bend_b[kSegments];
    double bend_c[kSegments];
    double twist[kSegments];     // per-segment twist signal (32..74 used)

    // ---- shape output of the step (shape frame) ----
    Vec3 seg_side[kSegments];    // unit x axis of each segment
    Vec3 seg_back[kSegments];    // unit -y axis (towards the tail)
    Vec3 seg_up[kSegments];      // unit z axis
    Vec3 skin_pos[2][kRings][kRingPoints];  // side 0 the -x side, side 1 the +x side
    Vertex vertex_plus[kRings][kRingPoints];   // render vertices of side 1
    Vertex vertex_minus[kRings][kRingPoints];  // render vertices of side 0

    // ---- meshes ----
    uint16_t body_indices[2][kBodyIndices];  // skin triangle list, two identical copies
    Vertex eye_vertices[kEyeVertices];
    uint16_t eye_indices[kEyeIndices];
    Vertex sphere_vertices[kSphereLongitudes][kSphereLatitudes];
    uint16_t sphere_indices[kSphereIndices];

    // ---- the program's random source ----
    RandomSource random;

    // ---- soundness counters (diagnostics, not part of the motion) ----
    int32_t correction_iterations;  // iterations of the last step's shape correction
    int64_t correction_cap_hits;  // steps whose shape correction stopped at its iteration cap
    int64_t delay_cap_hits;       // ring reads whose delay was clamped to the ring's length
};

// Zero-fills both records and sets the initial values of SimWorld.
void reset_records(Creature& creature, SimWorld& world);

}  // namespace sim
