// Bézier mask segments with coordinates far beyond any frame: the length is
// measured in bounded work and stays accurate relative to its size, and a
// curved segment with a non-finite vertex gives a non-finite length.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "minihost/bezier_path.h"

namespace minihost {
namespace {

// A quarter circle of radius r from (r, 0) to (0, r); the handle length of
// the usual four-segment circle.
BezierSegment quarterCircle(double r) {
    const double handle = 0.5522847498307936 * r;
    return makeBezierSegment(r, 0, 0, handle, 0, r, handle, 0);
}

TEST(BezierPathExtremes, LongCurvesKeepTheirRelativeAccuracy) {
    const double unitLength = measureBezier(quarterCircle(1)).length;
    for (double radius : {1e3, 1e6, 1e9, 1e12, 1e15, 1e100, 1e300}) {
        SCOPED_TRACE(radius);
        const BezierMeasure measure = measureBezier(quarterCircle(radius));
        EXPECT_FALSE(measure.straight);
        EXPECT_NEAR(measure.length / radius, unitLength, 1e-9 * unitLength);
        // Half the length lies half way round, on the diagonal.
        const PathPoint middle = bezierPointAtLength(measure, 0.5 * measure.length);
        EXPECT_NEAR(middle.x / radius, middle.y / radius, 1e-9);
    }
}

TEST(BezierPathExtremes, NonFiniteVerticesGiveANonFiniteLength) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char *name;
        BezierSegment segment;
    } cases[] = {
        {"NaN start", makeBezierSegment(nan, 0, 0, 5, 10, 10, -5, 0)},
        {"NaN end", makeBezierSegment(0, 0, 0, 5, 10, nan, -5, 0)},
        {"infinite end", makeBezierSegment(0, 0, 0, 5, inf, 10, -5, 0)},
        {"infinite start", makeBezierSegment(0, -inf, 0, 5, 10, 10, -5, 0)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(std::isfinite(measureBezier(c.segment).length));
    }
}

// Segments of masks the parameter fuzzer made, with handles near the largest
// double: the speed overflows on part of the curve, or its rounding error
// stays above any tolerance. Measuring them once took up to 2^40 quadratures;
// now the length is infinite where the speed overflows and never shorter than
// the chord where it does not.
TEST(BezierPathExtremes, HandlesNearTheLargestDouble) {
    const struct {
        const char *name;
        BezierSegment segment;
        bool finite;
    } cases[] = {
        {"handle 2^1022 across",
         {{-0x1.46d12b88b6fdp+5, -0x1.e54550a04fe31p+46},
          {-0x1.0c2680de0c525p+5, -0x1.e54550a04fc1cp+46},
          {0x1.0c3c9f84aee84p+1022, 0x1.3ffffffffffffp+3},
          {-0x1.55555558p+29, 0x1.6aaaaaaaaaaaap+3}},
         false},
        {"handle -2^1021 back",
         {{-0x1.55555558p+29, 0x1.6aaaaaaaaaaaap+3},
          {-0x1.555554fd55555p+29, 0x1.6aaaaaaaaaaaap+3},
          {-0x1.95277fe4a6664p+1021, 0x1.5586aaaaaaaaap+14},
          {0x1.3de4355555555p+28, 0x1.8aaaaaaaaaaaap+3}},
         false},
        {"handle -2^1017 to a denormal end",
         {{0x1.3de4355555555p+28, 0x1.8aaaaaaaaaaaap+3},
          {0x1.3de435c555555p+28, -0x1.323b90d67009p+239},
          {-0x1.77e3d17e52e15p+1017, 0x1.1555555555555p+2},
          {-0x1.2a1c9d220738p-746, 0x1p+0}},
         true},
        {"end at 2^1021",
         {{0x1.7555555555555p+3, 0x1.0aaaaaaaaaaaap+3},
          {0x1.41de180c44c81p+8, 0x1.1ffffffffffffp+3},
          {-0x1.0813c24757a8p+7, 0x1.95d0e4d11b7c6p+1021},
          {0x1.5555555555555p+3, 0x1.95d0e4d11b7c6p+1021}},
         true},
        {"out to 2^1020 and back",
         {{0x0.5555555555555p-1022, -0x1.4p+2},
          {0x1.47d3206eaa1d1p+1020, -0x1.4p+3},
          {0x1.47d3206eaa1d1p+1020, 0x1.1p+5},
          {0x1.ap+3, 0x1.38p+5}},
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const BezierMeasure measure = measureBezier(c.segment);
        EXPECT_FALSE(measure.straight);
        EXPECT_EQ(std::isfinite(measure.length), c.finite);
        const double chord = std::hypot(c.segment.p3.x - c.segment.p0.x, c.segment.p3.y - c.segment.p0.y);
        EXPECT_GE(measure.length, chord);
    }
}

}  // namespace
}  // namespace minihost
