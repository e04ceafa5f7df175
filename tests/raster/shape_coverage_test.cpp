// Edge coverage and fill/stroke weight of circles and polygons by distance.
#include <gtest/gtest.h>

#include <cmath>

#include "raster/shape_coverage.h"

namespace {

struct CoverageCase {
    double d;
    double coverage;
    double fillWeight;
};

void expectCircle(double radius, double thickness, bool softEdge, std::initializer_list<CoverageCase> cases) {
    for (const CoverageCase &c : cases) {
        const Coverage got = circleCoverage(c.d, radius, thickness, softEdge);
        EXPECT_EQ(got.coverage, c.coverage) << "d " << c.d;
        EXPECT_EQ(got.fillWeight, c.fillWeight) << "d " << c.d;
    }
}

TEST(CircleCoverageTest, PlainCircleHasOnePixelRamp) {
    expectCircle(
        10.0, 0.0, false,
        {{0.0, 1, 1}, {9.9, 1, 1}, {10.0, 1, 1}, {10.5, 0.5, 1}, {10.75, 0.25, 1}, {11.0, 0, 1}, {30.0, 0, 1}});
}

TEST(CircleCoverageTest, SoftEdgeRampsOverTwoPixelsWithoutStroke) {
    // The thickness is ignored with a soft edge.
    expectCircle(
        10.0, 4.0, true,
        {{0.0, 1, 1}, {9.0, 1, 1}, {9.5, 0.75, 1}, {10.0, 0.5, 1}, {10.5, 0.25, 1}, {11.0, 0, 1}, {12.0, 0, 1}});
}

TEST(CircleCoverageTest, StrokeBandTakesTheStrokeColour) {
    // Radius 10, thickness 4: fill up to 7, fading into stroke by 8, stroke to
    // 12, outer edge fading out by 13.
    expectCircle(10.0, 4.0, false,
                 {{0.0, 1, 1},
                  {7.0, 1, 1},
                  {7.25, 1, 0.75},
                  {7.5, 1, 0.5},
                  {8.0, 1, 0},
                  {9.99, 1, 0},
                  {10.0, 1, 0},
                  {12.0, 1, 0},
                  {12.5, 0.5, 0},
                  {13.0, 0, 0},
                  {14.0, 0, 0}});
}

TEST(CircleCoverageTest, FillOverStrokeNumbers) {
    // "Fill Over Stroke" with radius 10 and thickness 4 is drawn as radius 11, thickness 2.
    expectCircle(11.0, 2.0, false,
                 {{9.0, 1, 1}, {9.5, 1, 0.5}, {10.0, 1, 0}, {11.0, 1, 0}, {12.0, 1, 0}, {12.5, 0.5, 0}, {13.0, 0, 0}});
}

TEST(PolygonCoverageTest, RampIsOnePixelAcrossTheEdge) {
    const double f = 1.0 / std::cos(3.141592653589793 / 4.0);  // square
    const double cases[][3] = {{5.0, 1, 1}, {20.0, 1, 1}, {20.0 + f * 0.5, 0.5, 1}, {20.0 + f, 0, 1}, {25.0, 0, 1}};
    for (const auto &c : cases) {
        const Coverage got = polygonCoverage(c[0], 20.0, 0.0, f);
        EXPECT_NEAR(got.coverage, c[1], 1e-12) << c[0];
        EXPECT_EQ(got.fillWeight, c[2]) << c[0];
    }
}

TEST(PolygonCoverageTest, StrokeBandIsWidenedByTheCornerFactor) {
    const double f = 2.0;  // triangle: 1 / cos(pi / 3)
    // Thickness 3: h = 3 in polygon distance, the stroke runs from 17 to 23.
    const double cases[][3] = {{15.0, 1, 1}, {16.0, 1, 1},   {17.0, 1, 0.5}, {18.0, 1, 0},  {20.0, 1, 0},
                               {23.0, 1, 0}, {24.0, 0.5, 0}, {25.0, 0, 0},   {19.99, 1, 0}, {16.5, 1, 0.75}};
    for (const auto &c : cases) {
        const Coverage got = polygonCoverage(c[0], 20.0, 3.0, f);
        EXPECT_EQ(got.coverage, c[1]) << c[0];
        EXPECT_EQ(got.fillWeight, c[2]) << c[0];
    }
}

}  // namespace
