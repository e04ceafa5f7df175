// Arc length, point and direction of single Bézier mask segments.
#include "minihost/bezier_path.h"

#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "tests/support/minihost_scene.h"

namespace minihost {
namespace {

using hosttest::kCircleHandle;

constexpr double kPi = 3.14159265358979323846;

// A reference length by composite Simpson over many intervals of the speed.
double referenceLength(const BezierSegment &s) {
    const int n = 200000;
    auto speed = [&](double t) {
        const PathPoint d = bezierDerivative(s, t);
        return std::hypot(d.x, d.y);
    };
    double sum = speed(0) + speed(1);
    for (int i = 1; i < n; ++i) sum += speed(double(i) / n) * (i % 2 ? 4 : 2);
    return sum / (3.0 * n);
}

BezierSegment quarterCircle(double r) {
    // From (r, 0) to (0, r) around the origin.
    return makeBezierSegment(r, 0, 0, r * kCircleHandle, 0, r, r * kCircleHandle, 0);
}

struct StraightCase {
    const char *name;
    BezierSegment segment;
    double length;
};

TEST(BezierPath, StraightSegmentsAreExact) {
    const StraightCase cases[] = {
        {"no tangents", makeBezierSegment(0, 0, 0, 0, 3, 4, 0, 0), 5},
        {"tangents along the chord", makeBezierSegment(1, 1, 0.6, 0.8, 4, 5, -1.2, -1.6), 5},
        {"handles reaching the far end", makeBezierSegment(0, 0, 3, 4, 3, 4, -3, -4), 5},
        {"horizontal", makeBezierSegment(-7.5, 2, 0, 0, 12.5, 2, 0, 0), 20},
        {"a single point", makeBezierSegment(2, 3, 0, 0, 2, 3, 0, 0), 0},
    };
    for (const StraightCase &c : cases) {
        SCOPED_TRACE(c.name);
        const BezierMeasure m = measureBezier(c.segment);
        EXPECT_TRUE(m.straight);
        EXPECT_EQ(m.length, c.length);
        if (c.length == 0) continue;
        // Points lie on the chord at exactly the asked distance.
        for (double f : {0.0, 0.2, 0.5, 0.75, 1.0}) {
            const PathPoint p = bezierPointAtLength(m, f * c.length);
            const double dx = p.x - c.segment.p0.x, dy = p.y - c.segment.p0.y;
            EXPECT_NEAR(std::hypot(dx, dy), f * c.length, 1e-12);
            EXPECT_NEAR(dx * (c.segment.p3.y - c.segment.p0.y) - dy * (c.segment.p3.x - c.segment.p0.x), 0, 1e-12);
        }
    }
}

TEST(BezierPath, HandlesOffTheChordOrBeyondItAreCurved) {
    // Collinear but overshooting: the curve runs past the end and comes back.
    const BezierMeasure overshoot = measureBezier(makeBezierSegment(0, 0, 10, 0, 5, 0, 0, 0));
    EXPECT_FALSE(overshoot.straight);
    EXPECT_GT(overshoot.length, 5.0);
    EXPECT_NEAR(overshoot.length, referenceLength(overshoot.segment), 1e-6);

    const BezierMeasure bent = measureBezier(makeBezierSegment(0, 0, 0, 1e-3, 5, 0, 0, 0));
    EXPECT_FALSE(bent.straight);
    EXPECT_GT(bent.length, 5.0);
}

TEST(BezierPath, CurvedLengthsMatchAFineReference) {
    const BezierSegment cases[] = {
        quarterCircle(100),
        quarterCircle(1),
        makeBezierSegment(0, 0, 50, -80, 100, 0, 40, 90),    // S-curve
        makeBezierSegment(0, 0, 0, 0, 30, 0, 0, 40),         // zero handle at the start
        makeBezierSegment(0, 0, 100, 100, 0, 0, -100, 100),  // closed loop, chord 0
        makeBezierSegment(0, 0, 60, 40, 40, 0, -60, 40),     // cusp-like crossing handles
    };
    for (const BezierSegment &s : cases) {
        const BezierMeasure m = measureBezier(s, 100);
        EXPECT_FALSE(m.straight);
        EXPECT_NEAR(m.length, referenceLength(s), 1e-4);
    }
}

TEST(BezierPath, FourSegmentCircleIsCloseToItsCircumference) {
    const double r = 50;
    double total = 0;
    for (int i = 0; i < 4; ++i) {
        // The quarter rotated by i quarter turns has the same length; measure each anyway.
        const double c = std::cos(i * kPi / 2), s = std::sin(i * kPi / 2);
        BezierSegment q = quarterCircle(r);
        for (PathPoint *p : {&q.p0, &q.p1, &q.p2, &q.p3}) *p = {c * p->x - s * p->y, s * p->x + c * p->y};
        total += measureBezier(q).length;
    }
    // The approximation lies at most 0.027 % outside the circle.
    EXPECT_NEAR(total, 2 * kPi * r, 2.7e-4 * 2 * kPi * r);
    EXPECT_GT(total, 2 * kPi * r);
}

TEST(BezierPath, HalfLengthOfASymmetricCurveIsItsMiddle) {
    const BezierSegment cases[] = {
        quarterCircle(30),
        makeBezierSegment(0, 0, 10, 40, 60, 0, -10, 40),
        makeBezierSegment(0, 0, 0, 0, 60, 0, 0, 0),
    };
    for (const BezierSegment &s : cases) {
        const BezierMeasure m = measureBezier(s);
        const PathPoint mid = bezierPointAtLength(m, m.length / 2);
        const PathPoint expected = bezierPoint(s, 0.5);
        EXPECT_NEAR(mid.x, expected.x, 1e-7);
        EXPECT_NEAR(mid.y, expected.y, 1e-7);
    }
}

TEST(BezierPath, PointsAreAtTheAskedArcLength) {
    const BezierSegment s = makeBezierSegment(0, 0, 50, -80, 100, 0, 40, 90);
    const BezierMeasure m = measureBezier(s, 100);
    for (double f : {0.01, 0.1, 0.333, 0.5, 0.9, 0.999}) {
        const double t = bezierParamAtLength(m, f * m.length);
        // Length up to t by the fine reference on the sub-curve [0, t] (de Casteljau split).
        const PathPoint a = s.p0;
        const PathPoint b = {s.p0.x + t * (s.p1.x - s.p0.x), s.p0.y + t * (s.p1.y - s.p0.y)};
        const PathPoint mid12 = {s.p1.x + t * (s.p2.x - s.p1.x), s.p1.y + t * (s.p2.y - s.p1.y)};
        const PathPoint c = {b.x + t * (mid12.x - b.x), b.y + t * (mid12.y - b.y)};
        const PathPoint d = bezierPoint(s, t);
        EXPECT_NEAR(referenceLength({a, b, c, d}), f * m.length, 1e-4) << f;
    }
}

TEST(BezierPath, PositionsMoveForwardAlongTheLength) {
    const BezierSegment s = makeBezierSegment(0, 0, 50, -80, 100, 0, 40, 90);
    const BezierMeasure m = measureBezier(s);
    PathPoint previous = bezierPointAtLength(m, 0);
    double previousT = 0;
    for (int i = 1; i <= 200; ++i) {
        const double length = m.length * i / 200;
        const double t = bezierParamAtLength(m, length);
        EXPECT_GT(t, previousT);
        const PathPoint p = bezierPointAtLength(m, length);
        // Consecutive points one step of arc apart are never further apart than that step.
        EXPECT_LE(std::hypot(p.x - previous.x, p.y - previous.y), m.length / 200 + 1e-9);
        EXPECT_GT(std::hypot(p.x - previous.x, p.y - previous.y), 0);
        previous = p;
        previousT = t;
    }
}

TEST(BezierPath, LengthsOutsideTheSegmentClamp) {
    const BezierSegment cases[] = {quarterCircle(10), makeBezierSegment(0, 0, 0, 0, 3, 4, 0, 0)};
    for (const BezierSegment &s : cases) {
        const BezierMeasure m = measureBezier(s);
        const PathPoint before = bezierPointAtLength(m, -5);
        const PathPoint after = bezierPointAtLength(m, m.length + 5);
        EXPECT_EQ(before.x, s.p0.x);
        EXPECT_EQ(before.y, s.p0.y);
        EXPECT_EQ(after.x, s.p3.x);
        EXPECT_EQ(after.y, s.p3.y);
        EXPECT_EQ(bezierParamAtLength(m, -1), 0);
        EXPECT_EQ(bezierParamAtLength(m, m.length * 2), 1);
    }
}

struct DirectionCase {
    const char *name;
    BezierSegment segment;
    double length;       // fraction of the segment's length
    PathPoint expected;  // unit direction
};

TEST(BezierPath, DirectionsFollowTheTravel) {
    const double r = std::sqrt(0.5);
    const DirectionCase cases[] = {
        {"straight start", makeBezierSegment(0, 0, 0, 0, 3, 4, 0, 0), 0, {0.6, 0.8}},
        {"straight end", makeBezierSegment(0, 0, 0, 0, 3, 4, 0, 0), 1, {0.6, 0.8}},
        {"straight backwards", makeBezierSegment(3, 4, 0, 0, 0, 0, 0, 0), 0.5, {-0.6, -0.8}},
        {"quarter circle start", quarterCircle(10), 0, {0, 1}},
        {"quarter circle end", quarterCircle(10), 1, {-1, 0}},
        {"quarter circle middle", quarterCircle(10), 0.5, {-r, r}},
        // Zero handle at the start: the curve leaves towards the end's handle point.
        {"zero start handle", makeBezierSegment(0, 0, 0, 0, 10, 0, 0, 10), 0, {r, r}},
        // Zero handle at the end: it arrives from the start's handle point.
        {"zero end handle", makeBezierSegment(0, 0, 0, 10, 10, 0, 0, 0), 1, {r, -r}},
    };
    for (const DirectionCase &c : cases) {
        SCOPED_TRACE(c.name);
        const BezierMeasure m = measureBezier(c.segment);
        const PathPoint d = bezierDirectionAtLength(m, c.length * m.length);
        EXPECT_NEAR(d.x, c.expected.x, 1e-6);
        EXPECT_NEAR(d.y, c.expected.y, 1e-6);
    }
}

TEST(BezierPath, DirectionsAreNeverZeroAndAgreeWithNeighbouringPoints) {
    const BezierSegment cases[] = {
        makeBezierSegment(0, 0, 0, 0, 10, 0, 0, 10),
        makeBezierSegment(0, 0, 0, 10, 10, 0, 0, 0),
        makeBezierSegment(0, 0, 50, -80, 100, 0, 40, 90),
        quarterCircle(5),
    };
    for (const BezierSegment &s : cases) {
        const BezierMeasure m = measureBezier(s);
        for (int i = 0; i <= 50; ++i) {
            const double length = m.length * i / 50;
            const PathPoint d = bezierDirectionAtLength(m, length);
            EXPECT_NEAR(std::hypot(d.x, d.y), 1, 1e-12);
            // A short step forward (or backward at the end) moves along d.
            const double step = 1e-4 * m.length;
            const PathPoint a = bezierPointAtLength(m, i == 50 ? length - step : length);
            const PathPoint b = bezierPointAtLength(m, i == 50 ? length : length + step);
            EXPECT_GT((b.x - a.x) * d.x + (b.y - a.y) * d.y, 0.99 * std::hypot(b.x - a.x, b.y - a.y));
        }
    }
}

// Point and direction found together are the ones found apart, bit for bit,
// before, along and past straight, curved, cusped and single-point segments.
TEST(BezierPath, ASampleIsThePointAndTheDirection) {
    const BezierSegment cases[] = {
        makeBezierSegment(0, 0, 0, 0, 3, 4, 0, 0),
        makeBezierSegment(0, 0, 0, 0, 10, 0, 0, 10),
        makeBezierSegment(0, 0, 0, 10, 10, 0, 0, 0),
        makeBezierSegment(0, 0, 50, -80, 100, 0, 40, 90),
        makeBezierSegment(0, 0, 10, 10, 0, 10, 10, 10),
        makeBezierSegment(4, 4, 0, 0, 4, 4, 0, 0),
        quarterCircle(5),
    };
    for (const BezierSegment &s : cases) {
        const BezierMeasure m = measureBezier(s);
        for (int i = -2; i <= 42; ++i) {
            const double length = m.length * i / 40;
            const PathSample sample = bezierSampleAtLength(m, length);
            const PathPoint p = bezierPointAtLength(m, length), d = bezierDirectionAtLength(m, length);
            EXPECT_EQ(std::memcmp(&sample.point, &p, sizeof p), 0) << i;
            EXPECT_EQ(std::memcmp(&sample.direction, &d, sizeof d), 0) << i;
        }
    }
}

TEST(BezierPath, APointSegmentHasNoDirection) {
    const BezierMeasure m = measureBezier(makeBezierSegment(4, 4, 0, 0, 4, 4, 0, 0));
    const PathPoint d = bezierDirectionAtLength(m, 0);
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
}

}  // namespace
}  // namespace minihost
