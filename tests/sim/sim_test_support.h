// Helpers shared by the simulation tests: heap-allocated records (they are
// far too large for the stack), a built scene, frame driving, control of
// the random source and field-by-field walks over the two records.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "sim/scene_setup.h"
#include "sim/records.h"
#include "sim/scheduling.h"

namespace simtest {

struct Scene {
    std::unique_ptr<sim::Creature> creature;
    std::unique_ptr<sim::SimWorld> world;
    sim::Creature& c() { return *creature; }
    sim::SimWorld& w() { return *world; }
};

// Both records zero-filled with the initial values set, nothing built.
inline Scene make_records() {
    Scene scene{std::make_unique<sim::Creature>(), std::make_unique<sim::SimWorld>()};
    sim::reset_records(*scene.creature, *scene.world);
    return scene;
}

// Records with the whole scene built from `seed`, as at start-up.
inline Scene make_scene(uint32_t seed) {
    Scene scene = make_records();
    sim::setup_scene(*scene.creature, *scene.world, seed);
    return scene;
}

// Application time of frame k of a steady 60 Hz display.
inline float frame_time(int64_t k) { return static_cast<float>(static_cast<double>(k) / 60.0); }

// Runs frames first .. last (inclusive) through the frame-move work.
inline void run_frames(Scene& scene, int64_t first, int64_t last) {
    for (int64_t k = first; k <= last; ++k) {
        sim::advance_frame(*scene.creature, *scene.world, frame_time(k));
    }
}

// ---- random source control ---------------------------------------------

inline constexpr uint32_t kLcgMultiplier = 214013u;
inline constexpr uint32_t kLcgIncrement = 2531011u;

// Multiplicative inverse of the generator's multiplier modulo 2^32 (Newton
// iteration; every step doubles the number of correct low bits).
inline constexpr uint32_t lcg_inverse_multiplier() {
    uint32_t x = kLcgMultiplier;
    for (int i = 0; i < 5; ++i) x *= 2u - kLcgMultiplier * x;
    return x;
}
static_assert(kLcgMultiplier * lcg_inverse_multiplier() == 1u);

// The state that one draw turns into `next`.
inline constexpr uint32_t state_before(uint32_t next) {
    return (next - kLcgIncrement) * lcg_inverse_multiplier();
}

// A state whose next draw returns `value` (0 .. 32767); `low` picks one of
// the 65536 states that do (they differ in the bits the draw ignores).
inline constexpr uint32_t state_drawing(int value, uint16_t low = 0) {
    return state_before((static_cast<uint32_t>(value) << 16) | low);
}

// ---- field walks over the records ----------------------------------------
//
// Every field appears in exactly one list; the static_asserts at the end of
// this header catch a field added to a record but not to the lists.

#define SIMTEST_CREATURE_DOUBLE_FIELDS(X)                                                        \
    X(body_length) X(segment_length) X(spine_pt) X(segment_quat) X(segment_mid) X(shape_spin)     \
    X(section_mass) X(total_mass) X(section_pos) X(section_quat) X(section_rot)                   \
    X(section_axis_x) X(section_axis_y) X(section_axis_z) X(section_spine) X(section_top)         \
    X(section_bottom) X(section_spine_w) X(section_top_w) X(section_bottom_w)                     \
    X(section_com_local) X(section_inertia) X(height_top) X(height_bottom) X(drag_upper)          \
    X(drag_lower) X(drag_vertical) X(inertia) X(inertia_inv) X(position) X(velocity) X(speed)     \
    X(momentum) X(orientation) X(rotation) X(angular_momentum) X(angular_velocity) X(force)       \
    X(torque) X(body_drag) X(head_pt) X(head_pt_prev) X(swim_target) X(skin_offset_local)         \
    X(skin_normal_local)

#define SIMTEST_CREATURE_OTHER_FIELDS(X) X(section_segment) X(skin_segment)

#define SIMTEST_WORLD_DOUBLE_FIELDS(X)                                                           \
    X(step_dt) X(step_rate) X(rate_time_sum) X(sim_time) X(next_target_time) X(drag_linear)       \
    X(start_position) X(heading) X(body_up) X(side) X(roll) X(target_side) X(target_climb)        \
    X(manoeuvre_start) X(manoeuvre_end) X(manoeuvre_duration) X(manoeuvre_a) X(manoeuvre_b)       \
    X(manoeuvre_c) X(auto_turn) X(auto_twist) X(auto_wave_b) X(auto_wave_c) X(turn_rate)          \
    X(tail_angle) X(tail_vel) X(tail_load) X(hist_turn) X(hist_twist) X(hist_wave_b)              \
    X(hist_wave_c) X(bend_a) X(bend_b) X(bend_c) X(twist) X(seg_side) X(seg_back) X(seg_up)       \
    X(skin_pos)

#define SIMTEST_WORLD_FLOAT_FIELDS(X)                                                            \
    X(last_app_time) X(vertex_plus) X(vertex_minus) X(eye_vertices) X(sphere_vertices)

#define SIMTEST_WORLD_OTHER_FIELDS(X)                                                            \
    X(rate_frames) X(first_step) X(manoeuvre) X(manoeuvre_left) X(recovering) X(tail_sign)        \
    X(tail_flip_armed) X(hist_pos) X(body_indices) X(eye_indices) X(sphere_indices) X(random)     \
    X(correction_cap_hits) X(delay_cap_hits)

// True when none of the doubles stored in the `size` bytes at `bytes` is an
// infinity or a NaN. Works on the bit patterns so that the loop vectorises.
inline bool doubles_finite(const void* bytes, std::size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    const std::size_t count = size / 8;
    constexpr uint64_t kExponent = 0x7FF0000000000000ull;
    bool bad = false;
    for (std::size_t i = 0; i < count; ++i) {
        uint64_t bits;
        std::memcpy(&bits, p + 8 * i, 8);
        bad |= (bits & kExponent) == kExponent;
    }
    return !bad;
}

inline bool floats_finite(const void* bytes, std::size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    const std::size_t count = size / 4;
    constexpr uint32_t kExponent = 0x7F800000u;
    bool bad = false;
    for (std::size_t i = 0; i < count; ++i) {
        uint32_t bits;
        std::memcpy(&bits, p + 4 * i, 4);
        bad |= (bits & kExponent) == kExponent;
    }
    return !bad;
}

// Name of the first record field that holds a non-finite value, or nullptr.
inline const char* first_non_finite_field(const sim::Creature& c, const sim::SimWorld& w) {
#define SIMTEST_CHECK_DOUBLES(rec, field) \
    if (!doubles_finite(&rec.field, sizeof(rec.field))) return #field;
#define SIMTEST_CHECK_FLOATS(rec, field) \
    if (!floats_finite(&rec.field, sizeof(rec.field))) return #field;
#define SIMTEST_C(field) SIMTEST_CHECK_DOUBLES(c, field)
#define SIMTEST_W(field) SIMTEST_CHECK_DOUBLES(w, field)
#define SIMTEST_WF(field) SIMTEST_CHECK_FLOATS(w, field)
    SIMTEST_CREATURE_DOUBLE_FIELDS(SIMTEST_C)
    SIMTEST_WORLD_DOUBLE_FIELDS(SIMTEST_W)
    SIMTEST_WORLD_FLOAT_FIELDS(SIMTEST_WF)
#undef SIMTEST_C
#undef SIMTEST_W
#undef SIMTEST_WF
#undef SIMTEST_CHECK_DOUBLES
#undef SIMTEST_CHECK_FLOATS
    return nullptr;
}

// Name of the first field whose bytes differ between two states, or nullptr.
// Fields are compared one by one so that padding between them never counts.
inline const char* first_differing_field(const sim::Creature& c1, const sim::SimWorld& w1,
                                         const sim::Creature& c2, const sim::SimWorld& w2) {
#define SIMTEST_C(field) \
    if (std::memcmp(&c1.field, &c2.field, sizeof(c1.field)) != 0) return "Creature::" #field;
#define SIMTEST_W(field) \
    if (std::memcmp(&w1.field, &w2.field, sizeof(w1.field)) != 0) return "SimWorld::" #field;
    SIMTEST_CREATURE_DOUBLE_FIELDS(SIMTEST_C)
    SIMTEST_CREATURE_OTHER_FIELDS(SIMTEST_C)
    SIMTEST_WORLD_DOUBLE_FIELDS(SIMTEST_W)
    SIMTEST_WORLD_FLOAT_FIELDS(SIMTEST_W)
    SIMTEST_WORLD_OTHER_FIELDS(SIMTEST_W)
#undef SIMTEST_C
#undef SIMTEST_W
    return nullptr;
}

// Sum of the sizes of the listed fields, to compare with the record's size.
#define SIMTEST_SIZE_C(field) +sizeof(sim::Creature::field)
#define SIMTEST_SIZE_W(field) +sizeof(sim::SimWorld::field)
inline constexpr std::size_t kListedCreatureBytes =
    0 SIMTEST_CREATURE_DOUBLE_FIELDS(SIMTEST_SIZE_C) SIMTEST_CREATURE_OTHER_FIELDS(SIMTEST_SIZE_C);
inline constexpr std::size_t kListedWorldBytes =
    0 SIMTEST_WORLD_DOUBLE_FIELDS(SIMTEST_SIZE_W) SIMTEST_WORLD_FLOAT_FIELDS(SIMTEST_SIZE_W)
        SIMTEST_WORLD_OTHER_FIELDS(SIMTEST_SIZE_W);
#undef SIMTEST_SIZE_C
#undef SIMTEST_SIZE_W

// What is left over is the alignment padding between fields (8 and 40
// bytes on x86-64); anything more is a field the lists do not name.
static_assert(sizeof(sim::Creature) - kListedCreatureBytes <= 8,
              "a Creature field is missing from the test field lists");
static_assert(sizeof(sim::SimWorld) - kListedWorldBytes <= 40,
              "a SimWorld field is missing from the test field lists");

}  // namespace simtest
