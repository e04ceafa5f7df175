// Arc length, point at a length and direction of travel of one cubic Bézier
// mask segment, for minihost's path data suite.
#include "minihost/bezier_path.h"

#include <algorithm>
#include <cmath>

namespace minihost {
namespace {

PathPoint add(PathPoint a, PathPoint b) { return {a.x + b.x, a.y + b.y}; }
PathPoint sub(PathPoint a, PathPoint b) { return {a.x - b.x, a.y - b.y}; }
PathPoint scale(PathPoint a, double k) { return {a.x * k, a.y * k}; }
double norm(PathPoint a) { return std::hypot(a.x, a.y); }
double dot(PathPoint a, PathPoint b) { return a.x * b.x + a.y * b.y; }
double cross(PathPoint a, PathPoint b) { return a.x * b.y - a.y * b.x; }

PathPoint unit(PathPoint a) {
    const double n = norm(a);
    return n > 0 ? PathPoint{a.x / n, a.y / n} : PathPoint{0, 0};
}

// Size of the control polygon: the reference for "negligibly small" vectors.
double polygonSize(const BezierSegment &s) {
    return norm(sub(s.p1, s.p0)) + norm(sub(s.p2, s.p1)) + norm(sub(s.p3, s.p2));
}

PathPoint secondDerivative(const BezierSegment &s, double t) {
    const PathPoint a = add(sub(s.p2, scale(s.p1, 2)), s.p0);
    const PathPoint b = add(sub(s.p3, scale(s.p2, 2)), s.p1);
    return scale(add(scale(a, 1 - t), scale(b, t)), 6);
}

PathPoint thirdDerivative(const BezierSegment &s) {
    return scale(sub(add(sub(s.p3, scale(s.p2, 3)), scale(s.p1, 3)), s.p0), 6);
}

double speed(const BezierSegment &s, double t) { return norm(bezierDerivative(s, t)); }

// Five-point Gauss-Legendre rule on [a, b]: exact for polynomials of degree 9.
double gaussLegendre5(const BezierSegment &s, double a, double b) {
    static const double nodes[5] = {0.0, -0.5384693101056831, 0.5384693101056831, -0.9061798459386640,
                                    0.9061798459386640};
    static const double weights[5] = {0.5688888888888889, 0.4786286704993665, 0.4786286704993665, 0.2369268850561891,
                                      0.2369268850561891};
    const double half = 0.5 * (b - a), mid = 0.5 * (a + b);
    double sum = 0;
    for (int i = 0; i < 5; ++i) sum += weights[i] * speed(s, mid + half * nodes[i]);
    return sum * half;
}

// Arc length between parameters a and b, refined until two halves agree with
// the whole to `tolerance` pixels. The speed is smooth except near cusps, where
// the refinement goes deeper. A length that is not finite (coordinates near
// the largest doubles, or NaN) cannot converge: it is returned as it is. Each
// split spends one of `splits`; once they are spent the halves are taken as
// they are, so that a curve whose rounding error stays above the tolerance
// (handles near the largest doubles) costs thousands of evaluations, not 2^40.
double arcLength(const BezierSegment &s, double a, double b, double whole, double tolerance, int depth, int &splits) {
    const double mid = 0.5 * (a + b);
    const double left = gaussLegendre5(s, a, mid), right = gaussLegendre5(s, mid, b);
    if (depth >= 40 || splits <= 0 || !std::isfinite(left + right) || std::fabs(left + right - whole) <= tolerance)
        return left + right;
    --splits;
    return arcLength(s, a, mid, left, 0.5 * tolerance, depth + 1, splits) +
           arcLength(s, mid, b, right, 0.5 * tolerance, depth + 1, splits);
}

double arcLength(const BezierSegment &s, double a, double b) {
    if (b <= a) return 0;
    // 1e-10 pixels, or 1e-13 of the length where that is more: the rounding
    // error of a long curve's length grows with it, and an absolute tolerance
    // below it is never met.
    const double whole = gaussLegendre5(s, a, b);
    int splits = 4096;
    return arcLength(s, a, b, whole, std::max(1e-10, 1e-13 * std::fabs(whole)), 0, splits);
}

// Control points on the chord and between its ends: the curve runs along the
// chord without turning back, so its length is the chord's.
bool isStraight(const BezierSegment &s) {
    const PathPoint chord = sub(s.p3, s.p0);
    const double length = norm(chord);
    const double tolerance = 1e-9 * (1 + polygonSize(s));
    if (length == 0) return norm(sub(s.p1, s.p0)) <= tolerance && norm(sub(s.p2, s.p3)) <= tolerance;
    for (const PathPoint &p : {s.p1, s.p2}) {
        const PathPoint v = sub(p, s.p0);
        const double along = dot(chord, v) / length;
        if (std::fabs(cross(chord, v)) / length > tolerance) return false;
        if (along < -tolerance || along > length + tolerance) return false;
    }
    return true;
}

double clampLength(const BezierMeasure &m, double length) {
    if (!(length > 0)) return 0;  // NaN too
    return std::min(length, m.length);
}

// Straight segment: the parameter whose projection on the chord is `along`
// pixels; the projection grows monotonically with t.
double straightParam(const BezierMeasure &m, double along) {
    const BezierSegment &s = m.segment;
    const PathPoint chord = sub(s.p3, s.p0);
    double lo = 0, hi = 1;
    for (int i = 0; i < 60 && hi - lo > 1e-16; ++i) {
        const double t = 0.5 * (lo + hi);
        const double projected = dot(sub(bezierPoint(s, t), s.p0), chord) / m.length;
        (projected < along ? lo : hi) = t;
    }
    return 0.5 * (lo + hi);
}

}  // namespace

BezierSegment makeBezierSegment(double ax, double ay, double outX, double outY, double bx, double by, double inX,
                                double inY) {
    return {{ax, ay}, {ax + outX, ay + outY}, {bx + inX, by + inY}, {bx, by}};
}

PathPoint bezierPoint(const BezierSegment &s, double t) {
    const double u = 1 - t;
    const double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
    return {b0 * s.p0.x + b1 * s.p1.x + b2 * s.p2.x + b3 * s.p3.x,
            b0 * s.p0.y + b1 * s.p1.y + b2 * s.p2.y + b3 * s.p3.y};
}

PathPoint bezierDerivative(const BezierSegment &s, double t) {
    const double u = 1 - t;
    const PathPoint d0 = sub(s.p1, s.p0), d1 = sub(s.p2, s.p1), d2 = sub(s.p3, s.p2);
    return scale(add(add(scale(d0, u * u), scale(d1, 2 * u * t)), scale(d2, t * t)), 3);
}

BezierMeasure measureBezier(const BezierSegment &segment, int intervals) {
    BezierMeasure m;
    m.segment = segment;
    m.straight = isStraight(segment);
    if (m.straight) {
        m.length = norm(sub(segment.p3, segment.p0));
        return m;
    }
    intervals = std::clamp(intervals, 4, 4096);
    m.cumulative.resize(intervals + 1);
    m.cumulative[0] = 0;
    for (int i = 0; i < intervals; ++i) {
        const double a = double(i) / intervals, b = double(i + 1) / intervals;
        m.cumulative[i + 1] = m.cumulative[i] + arcLength(segment, a, b);
    }
    m.length = m.cumulative.back();
    return m;
}

double bezierParamAtLength(const BezierMeasure &m, double length) {
    length = clampLength(m, length);
    if (length <= 0) return 0;
    if (length >= m.length) return 1;
    if (m.straight) return straightParam(m, length);

    // The table interval holding the length, then Newton steps on the partial
    // length, kept inside the interval by bisection where Newton strays.
    const int intervals = int(m.cumulative.size()) - 1;
    const auto it = std::upper_bound(m.cumulative.begin(), m.cumulative.end(), length);
    const int i = std::clamp(int(it - m.cumulative.begin()) - 1, 0, intervals - 1);
    const double base = m.cumulative[i];
    const double span = m.cumulative[i + 1] - base;
    double lo = double(i) / intervals, hi = double(i + 1) / intervals;
    if (span <= 0) return lo;
    double t = lo + (hi - lo) * (length - base) / span;
    for (int iteration = 0; iteration < 100; ++iteration) {
        const double error = base + arcLength(m.segment, double(i) / intervals, t) - length;
        if (std::fabs(error) <= 1e-9) break;
        (error < 0 ? lo : hi) = t;
        if (hi - lo <= 1e-15) break;
        const double v = speed(m.segment, t);
        double next = v > 0 ? t - error / v : lo - 1;
        if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
        t = next;
    }
    return t;
}

PathPoint bezierPointAtLength(const BezierMeasure &m, double length) {
    length = clampLength(m, length);
    if (length <= 0) return m.segment.p0;
    if (length >= m.length) return m.segment.p3;
    if (m.straight) return add(m.segment.p0, scale(sub(m.segment.p3, m.segment.p0), length / m.length));
    return bezierPoint(m.segment, bezierParamAtLength(m, length));
}

namespace {

// Direction of travel of a curved segment at parameter t (see
// bezierDirectionAtLength).
PathPoint directionAtParam(const BezierSegment &s, double t) {
    const double negligible = 1e-9 * polygonSize(s);
    const PathPoint first = bezierDerivative(s, t);
    if (norm(first) > negligible) return unit(first);
    // The curve stops for an instant: near t it moves along ±(t' - t)² B''(t),
    // so it leaves along B'' and arrives (at the end) against it.
    const PathPoint second = secondDerivative(s, t);
    if (norm(second) > negligible) return unit(t >= 1 ? scale(second, -1) : second);
    return unit(thirdDerivative(s));
}

}  // namespace

PathPoint bezierDirectionAtLength(const BezierMeasure &m, double length) {
    const BezierSegment &s = m.segment;
    if (m.straight) return unit(sub(s.p3, s.p0));
    return directionAtParam(s, bezierParamAtLength(m, length));
}

PathSample bezierSampleAtLength(const BezierMeasure &m, double length) {
    const BezierSegment &s = m.segment;
    if (m.straight) return {bezierPointAtLength(m, length), unit(sub(s.p3, s.p0))};
    const double t = bezierParamAtLength(m, length);
    const double along = clampLength(m, length);
    const PathPoint point = along <= 0 ? s.p0 : along >= m.length ? s.p3 : bezierPoint(s, t);
    return {point, directionAtParam(s, t)};
}

}  // namespace minihost
