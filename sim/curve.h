// Smooth curves read from knot tables: each span between two knots is a
// quadratic Bezier whose control point is where the two knot tangents meet.
#pragma once

namespace sim {

// A point of the plane: a knot (x, y) or a tangent direction (dx, dy).
struct CurvePoint {
    double x;  // abscissa, or the tangent's x direction
    double y;  // ordinate, or the tangent's y direction
};

// y of the curve at abscissa x. Knots have non-decreasing x; the last knot's
// x must not be less than any x asked for. Tangents give only a direction.
double curve_eval(const CurvePoint* knots, const CurvePoint* tangents, double x);

}  // namespace sim
