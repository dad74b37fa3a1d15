#include "sim/body_profiles.h"

namespace sim {

namespace {

struct ProfileTable {
    int knot_count;
    CurvePoint knots[kMaxProfileKnots];     // units of body_length / 25
    CurvePoint tangents[kMaxProfileKnots];
    double factor;                          // multiplies every knot y and tangent dy
};

// Repeated knots make empty spans that the knot search never selects.
constexpr ProfileTable kTop{
    5,
    {{0, 0}, {7, 1}, {7, 1}, {7, 1}, {25, 0}},
    {{1, 1}, {1, 0}, {1, 0}, {1, 0}, {1, -0.2}},
    1.0};

constexpr ProfileTable kBottom{
    5,
    {{0, 0}, {5, -2}, {6, -2}, {7, -2}, {25, 0}},
    {{1, -2}, {1, 0}, {1, 0}, {1, 0}, {1, 0.2}},
    1.1};

constexpr ProfileTable kHalfWidth{
    6,
    {{0, 0}, {7, 1}, {7, 1}, {7, 1}, {7, 1}, {25, 0}},
    {{1, 1}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, -0.1}},
    0.8};

void scale_profile(Profile& out, const ProfileTable& table, double body_length) {
    const double unit = body_length / 25.0;
    out.knot_count = table.knot_count;
    for (int i = 0; i < table.knot_count; ++i) {
        out.knots[i] = CurvePoint{table.knots[i].x * unit, table.knots[i].y * unit};
        out.tangents[i] = table.tangents[i];
    }
    out.knots[table.knot_count - 1].x = body_length;
    for (int i = 0; i < table.knot_count; ++i) {
        out.knots[i].y = out.knots[i].y * table.factor;
        out.tangents[i].y = out.tangents[i].y * table.factor;
    }
    for (int i = table.knot_count; i < kMaxProfileKnots; ++i) {
        out.knots[i] = out.knots[table.knot_count - 1];
        out.tangents[i] = out.tangents[table.knot_count - 1];
    }
}

}  // namespace

void make_body_profiles(BodyProfiles& profiles, double body_length) {
    scale_profile(profiles.top, kTop, body_length);
    scale_profile(profiles.bottom, kBottom, body_length);
    scale_profile(profiles.half_width, kHalfWidth, body_length);
}

}  // namespace sim
