// Curve lookup from knot tables: span search, flat spans, exact knots and
// the accuracy of the quadratic-Bezier solve.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/curve.h"

namespace {

using sim::CurvePoint;
using sim::curve_eval;

TEST(CurveEval, KnotAbscissaReturnsTheKnotOrdinateExactly) {
    const CurvePoint knots[] = {{0.0, 0.0}, {0.3, 0.7}, {1.0, 0.4}, {2.5, -0.2}};
    const CurvePoint tangents[] = {{1.0, 3.0}, {1.0, 0.5}, {1.0, -1.0}, {1.0, 0.3}};
    for (const CurvePoint& k : knots) {
        EXPECT_EQ(curve_eval(knots, tangents, k.x), k.y) << "x = " << k.x;
    }
}

TEST(CurveEval, FlatSpanReturnsItsLeftKnotEverywhere) {
    // The shape of the lower body profile: a flat stretch from 5 to 7 made of
    // two spans whose tangents are horizontal.
    const CurvePoint knots[] = {{0, 0}, {5, -2}, {6, -2}, {7, -2}, {25, 0}};
    const CurvePoint tangents[] = {{1, -2}, {1, 0}, {1, 0}, {1, 0}, {1, 0.2}};
    for (double x = 5.0; x <= 7.0; x += 0.125) {
        EXPECT_EQ(curve_eval(knots, tangents, x), -2.0) << "x = " << x;
    }
    // A flat span whose knots differ in y still answers with the left one.
    const CurvePoint step_knots[] = {{0, 1}, {1, 3}};
    const CurvePoint step_tangents[] = {{1, 0}, {1, 0}};
    EXPECT_EQ(curve_eval(step_knots, step_tangents, 0.5), 1.0);
    EXPECT_EQ(curve_eval(step_knots, step_tangents, 1.0), 1.0);
}

TEST(CurveEval, ZeroWidthSpansAreNeverSelected) {
    // Knots 1 and 2 share x = 1 but not y: a lookup at 1 belongs to the span
    // that ends there, anything to the right to the span that starts at knot 2.
    const CurvePoint knots[] = {{0, 0}, {1, 1}, {1, 5}, {2, 5}};
    const CurvePoint tangents[] = {{1, 1}, {1, 0}, {1, 0}, {1, 0}};
    EXPECT_EQ(curve_eval(knots, tangents, 1.0), 1.0);
    EXPECT_EQ(curve_eval(knots, tangents, 1.0 + 1e-12), 5.0);
    EXPECT_EQ(curve_eval(knots, tangents, 1.5), 5.0);
    EXPECT_NEAR(curve_eval(knots, tangents, 1.0 - 1e-9), 1.0, 1e-4);  // solver tolerance
}

TEST(CurveEval, FollowsTheBezierThroughTheTangentIntersection) {
    // Tangents (1, 0) at (0, 0) and (0, 1) at (1, 1) meet at (1, 0), so the
    // span is x = 2t - t^2, y = t^2.
    const CurvePoint knots[] = {{0, 0}, {1, 1}};
    const CurvePoint tangents[] = {{1, 0}, {0, 1}};
    EXPECT_DOUBLE_EQ(curve_eval(knots, tangents, 0.75), 0.25);  // t = 1/2 exactly
    const double t = 1.0 - std::sqrt(0.75);                      // x = 0.25
    EXPECT_NEAR(curve_eval(knots, tangents, 0.25), t * t, 3e-5);
}

TEST(CurveEval, SolveIsAccurateToTheBisectionTolerance) {
    // Tangents (1, 1) at (0, 0) and (1, 0) at (1, 1) put the control point at
    // (1, 1): x and y share one polynomial, so the curve is the line y = x and
    // the error is the solver's stopping tolerance of dx / 10000.
    const CurvePoint knots[] = {{0, 0}, {1, 1}};
    const CurvePoint tangents[] = {{1, 1}, {1, 0}};
    for (double x = 0.01; x < 1.0; x += 0.0137) {
        EXPECT_NEAR(curve_eval(knots, tangents, x), x, 1e-4) << "x = " << x;
    }
    // Scaling the span scales the tolerance with it.
    const CurvePoint wide_knots[] = {{0, 0}, {1000, 1000}};
    for (double x = 10.0; x < 1000.0; x += 97.0) {
        EXPECT_NEAR(curve_eval(wide_knots, tangents, x), x, 0.1) << "x = " << x;
    }
}

}  // namespace
