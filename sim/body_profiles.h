// The three profile curves of the body's outer shape, functions of the
// distance d behind the head tip: height of the upper surface above the
// spine, height of the lower surface (negative) and half the body width.
#pragma once

#include "sim/curve.h"

namespace sim {

inline constexpr int kMaxProfileKnots = 6;

struct Profile {
    CurvePoint knots[kMaxProfileKnots];     // (d, value), world units
    CurvePoint tangents[kMaxProfileKnots];  // direction of the curve at each knot
    int knot_count;                         // knots in use
};

struct BodyProfiles {
    Profile top;         // height t of the upper surface, >= 0
    Profile bottom;      // height of the lower surface, <= 0
    Profile half_width;  // half the body width w, >= 0
};

// Builds the profiles for a body of length body_length: the tables are in
// units of body_length / 25, the last knot sits at exactly body_length.
void make_body_profiles(BodyProfiles& profiles, double body_length);

inline double profile_eval(const Profile& profile, double d) {
    return curve_eval(profile.knots, profile.tangents, d);
}

}  // namespace sim
