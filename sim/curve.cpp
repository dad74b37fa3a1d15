#include "sim/curve.h"

namespace sim {

namespace {
constexpr int kMaxHalvings = 200;
}

double curve_eval(const CurvePoint* knots, const CurvePoint* tangents, double x) {
    // The span is the first one whose right knot is not left of x; the strict
    // test passes over zero-width spans.
    int i = 0;
    while (knots[i + 1].x < x) {
        ++i;
    }
    const CurvePoint p0 = knots[i];
    const CurvePoint p1 = knots[i + 1];
    const CurvePoint t0 = tangents[i];
    const CurvePoint t1 = tangents[i + 1];

    if (t0.y == 0.0 && t1.y == 0.0) {
        return p0.y;  // flat span
    }
    if (x == p0.x) {
        return p0.y;
    }
    if (x == p1.x) {
        return p1.y;
    }

    // Control point: the line through p0 along t0 meets the line through p1
    // along t1.
    const double dx = p1.x - p0.x;
    const double a = -t1.x;
    const double b = -t1.y;
    const double s = (b * dx - a * (p1.y - p0.y)) / (t0.x * b - a * t0.y);
    const CurvePoint c{p0.x + s * t0.x, p0.y + s * t0.y};

    // Solve Bx(t) = x by bisection on t in [0, 1]. A valid table reaches the
    // tolerance within a few dozen halvings; the cap only guards against a
    // table that breaks the rules (a NaN, an x beyond the last knot).
    const double tolerance = dx * 0.001 * 0.1;
    double lo = 0.0;
    double hi = 1.0;
    double t = 0.5;
    for (int halving = 0; halving < kMaxHalvings; ++halving) {
        t = (lo + hi) / 2.0;
        const double bx = (1.0 - t) * (1.0 - t) * p0.x + 2.0 * (1.0 - t) * t * c.x + t * t * p1.x;
        const double diff = bx - x;
        if ((diff < 0.0 ? -diff : diff) < tolerance) {
            break;
        }
        if (bx < x) {
            lo = t;
        } else {
            hi = t;
        }
    }
    return (1.0 - t) * (1.0 - t) * p0.y + 2.0 * (1.0 - t) * t * c.y + t * t * p1.y;
}

}  // namespace sim
