// Geometry of one cubic Bézier segment of a mask: its arc length, the point at
// a given length along it and the direction of travel there. Pure, no host state.
#pragma once

#include <vector>

namespace minihost {

struct PathPoint {
    double x = 0, y = 0;
};

// Absolute control points: p0 the start vertex, p1 = p0 + its out tangent,
// p2 = p3 + the end vertex's in tangent, p3 the end vertex.
struct BezierSegment {
    PathPoint p0, p1, p2, p3;
};

BezierSegment makeBezierSegment(double ax, double ay, double outX, double outY, double bx, double by, double inX,
                                double inY);

// A segment measured once for repeated length queries. A straight segment
// (control points on the chord, between its ends) is exact: its points are
// measured along the chord. A curved one carries the cumulative arc length at
// evenly spaced parameters t[i] = i / intervals, each interval integrated
// adaptively to well under 1e-6 pixel.
struct BezierMeasure {
    BezierSegment segment;
    bool straight = false;
    double length = 0;               // pixels
    std::vector<double> cumulative;  // curved only: length from t = 0 to t = i / intervals
};

// `intervals` is the table resolution (clamped to 4..4096); it changes only
// the speed of later queries, not their accuracy.
BezierMeasure measureBezier(const BezierSegment &segment, int intervals = 64);

// The parameter t in [0, 1] at `length` pixels from the start; lengths
// outside [0, measure.length] clamp to the ends.
double bezierParamAtLength(const BezierMeasure &measure, double length);

// The point `length` pixels along the segment (clamped to the ends).
PathPoint bezierPointAtLength(const BezierMeasure &measure, double length);

// The unit direction of travel at `length` pixels along the segment (clamped
// to the ends). Where the curve's parametric derivative vanishes (a zero
// tangent handle at an end, a cusp) the direction comes from the next
// non-vanishing derivative. (0, 0) only for a segment that is a single point.
PathPoint bezierDirectionAtLength(const BezierMeasure &measure, double length);

// Both at one length, the parameter found once: the values of
// bezierPointAtLength and bezierDirectionAtLength, in half the time.
struct PathSample {
    PathPoint point, direction;
};
PathSample bezierSampleAtLength(const BezierMeasure &measure, double length);

// Plain evaluation by parameter, t in [0, 1].
PathPoint bezierPoint(const BezierSegment &segment, double t);
PathPoint bezierDerivative(const BezierSegment &segment, double t);

}  // namespace minihost
