// Circles, stroke bands, squares and "Line" stamps as they come out of a whole
// render at each depth: pixels at known distances from the point centres.
#include <cmath>

#include <gtest/gtest.h>

#include "tests/engine/frame_fixture.h"

namespace frametest {
namespace {

// Full intensity and half of it (trunc(full × 0.5)) at each depth.
struct DepthScale {
    Depth depth;
    double full, half;
};

const DepthScale kDepths[] = {{Depth::Bits8, 255, 127}, {Depth::Bits16, 32768, 16384}, {Depth::Float, 1.0, 0.5}};

struct RenderedShapes : FrameTest {
    // Two points, vertex 0 at (20, 24) and vertex 1 at (70.5, 24): integer
    // and half-pixel centres, far enough apart never to overlap.
    void SetUp() override {
        FrameTest::SetUp();
        host.masks = {polyline(false, {vertex(20, 24), vertex(70.5, 24)})};
        set("Mode", 1);  // "Vertex"
        set("Number", 0);
        set("First Radius", 10);
    }
};

TEST_P(RenderedShapes, CircleRingsAtTenTenAndAHalfAndEleven) {
    for (const DepthScale &s : kDepths) {
        host.depth = s.depth;
        const Image frame = render();
        SCOPED_TRACE(depthName(s.depth));
        // Centre (20, 24): d = 10 on both axes and along (28, 30); d = 11 beyond.
        EXPECT_EQ(rawAt(frame, 30, 24).alpha, s.full);
        EXPECT_EQ(rawAt(frame, 20, 34).alpha, s.full);
        EXPECT_EQ(rawAt(frame, 28, 30).alpha, s.full);
        EXPECT_EQ(rawAt(frame, 31, 24).alpha, 0);
        EXPECT_EQ(rawAt(frame, 20, 13).alpha, 0);
        // Centre (70.5, 24): d = 10.5 at columns 60 and 81 is half covered.
        EXPECT_EQ(rawAt(frame, 60, 24).alpha, s.half);
        EXPECT_EQ(rawAt(frame, 81, 24).alpha, s.half);
        EXPECT_EQ(rawAt(frame, 80, 24).alpha, s.full);
        EXPECT_EQ(rawAt(frame, 82, 24).alpha, 0);
        // Coverage changes alpha only: the edge keeps the whole fill colour.
        const Raw edge = rawAt(frame, 81, 24);
        EXPECT_EQ(edge.red, s.full);
        EXPECT_EQ(edge.green, s.full);
        EXPECT_EQ(edge.blue, s.full);
        // Untouched pixels stay transparent black.
        const Raw outside = rawAt(frame, 82, 24);
        EXPECT_EQ(outside.red + outside.green + outside.blue, 0);
    }
}

// Radius 10, "Stroke Thickness" 4, white fill and red stroke. Distances are
// taken along the row of the point centres; the point at 70.5 gives the
// half-pixel distances.
struct Band {
    double distance;
    double alpha, red, green, blue;  // fractions of full intensity
};

struct BandCase {
    int strokeOver;  // 1 "Stroke Over Fill", 2 "Fill Over Stroke"
    std::vector<Band> bands;
};

const BandCase kBandCases[] = {
    // The band R - 2 .. R + 2 is pure stroke; the fill fades into it over the
    // pixel inside it (7 .. 8) and the outer edge fades over 12 .. 13.
    {1,
     {{0, 1, 1, 1, 1},
      {7, 1, 1, 1, 1},
      {7.5, 1, 1, 0.5, 0.5},
      {8, 1, 1, 0, 0},
      {10, 1, 1, 0, 0},
      {12, 1, 1, 0, 0},
      {12.5, 0.5, 1, 0, 0},
      {13, 0, 0, 0, 0}}},
    // Drawn as radius 11 with thickness 2: the stroke stays outside the radius.
    {2,
     {{0, 1, 1, 1, 1},
      {9, 1, 1, 1, 1},
      {9.5, 1, 1, 0.5, 0.5},
      {10, 1, 1, 0, 0},
      {12, 1, 1, 0, 0},
      {12.5, 0.5, 1, 0, 0},
      {13, 0, 0, 0, 0}}},
};

TEST_P(RenderedShapes, StrokeBandsOverAndUnderTheFill) {
    set("Stroke Thickness", 4);
    setColor("Stroke Color", PF_Pixel{255, 255, 0, 0});
    for (const BandCase &c : kBandCases) {
        set("Stroke Over", c.strokeOver);
        for (const DepthScale &s : kDepths) {
            host.depth = s.depth;
            const Image frame = render();
            for (const Band &b : c.bands) {
                const bool half = b.distance != std::floor(b.distance);
                const int x = half ? int(70.5 + b.distance) : int(20 + b.distance);
                const Raw p = rawAt(frame, x, 24);
                auto expected = [&](double fraction) { return fraction == 0.5 ? s.half : fraction * s.full; };
                SCOPED_TRACE(::testing::Message()
                             << "stroke over " << c.strokeOver << ", " << depthName(s.depth) << ", d = " << b.distance);
                EXPECT_EQ(p.alpha, expected(b.alpha));
                EXPECT_EQ(p.red, expected(b.red));
                EXPECT_EQ(p.green, expected(b.green));
                EXPECT_EQ(p.blue, expected(b.blue));
            }
        }
    }
}

TEST_P(RenderedShapes, SquareVerticesFollowThePhase) {
    // One square of circumradius 10 centred at (20, 24).
    set("Shape Mode", 2);  // "Polygon"
    set("Side", 4);
    set("Mode", 2);  // "Number"
    set("Number", 1);
    struct Probe {
        int x, y;
        int alphaAt0, alphaAt45;
    };
    const Probe probes[] = {
        // On the axes: inside the vertex at phase 0; beyond the edge (at 7.07)
        // at 45 degrees. 11 pixels out along an axis is 1 / sqrt(2) of a pixel
        // past the vertex's edges: coverage 1 - 1/sqrt(2), alpha 74.
        {29, 24, 255, 0},
        {31, 24, 74, 0},
        {20, 33, 255, 0},
        {11, 24, 255, 0},
        {20, 15, 255, 0},
        // On the diagonals: outside the diamond at phase 0, inside the corner of
        // the axis-parallel square at 45 degrees.
        {27, 31, 0, 255},
        {13, 17, 0, 255},
        // Axis-parallel edge at 45 degrees: 8 pixels out is 0.93 past it.
        {27, 24, 255, 255},
        {28, 24, 255, 18},
        {20, 32, 255, 18},
    };
    set("Phase", 0);
    const Image at0 = render();
    set("Phase", 45);
    const Image at45 = render();
    for (const Probe &p : probes) {
        EXPECT_EQ(rawAt(at0, p.x, p.y).alpha, p.alphaAt0) << p.x << "," << p.y;
        EXPECT_EQ(rawAt(at45, p.x, p.y).alpha, p.alphaAt45) << p.x << "," << p.y;
    }
    // A whole turn more is the same square.
    set("Phase", 405);
    EXPECT_EQ(render().data, at45.data);
}

TEST_P(RenderedShapes, LineStampHasTheTwoPixelRampAndCompensatedOpacity) {
    // A "Line" along a mask half a pixel long is one point at vertex 0 of an
    // open mask: k = 0 < R, so D = k + R - 1 = 9, and opacity 1 is held at
    // 0.99999: 1 - 0.00001^(1/9) = 0.72174, ceil(0.72174 × 255) = 185.
    host.masks = {polyline(false, {vertex(20, 24), vertex(20.5, 24)})};
    set("Mode", 3);
    set("Stroke Thickness", 6);  // ignored in "Line" mode
    const Image frame = render();
    const int alphas[] = {185, 185, 185, 92, 0};  // d = 0, 5, 9, 10, 11
    const int distances[] = {0, 5, 9, 10, 11};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rawAt(frame, 20 + distances[i], 24).alpha, alphas[i]) << distances[i];
        EXPECT_EQ(rawAt(frame, 20, 24 - distances[i]).alpha, alphas[i]) << distances[i];
    }
    // Only the fill colour, even where a stroke would have been.
    const Raw ramp = rawAt(frame, 30, 24);
    EXPECT_EQ(ramp.red, 255);
    EXPECT_EQ(ramp.green, 255);
    EXPECT_EQ(ramp.blue, 255);
}

TEST_P(RenderedShapes, OverlappingLineStampsAddUpToTheOpacity) {
    // 60 pixels of line, 60 stamps of radius 10 spaced 60/59 apart: away from
    // the ends each stamp has 1 - (1 - o)^(1/19), so the stack along the centre
    // line comes back to about the opacity o, not to the sum of 19 stamps.
    host.masks = {polyline(false, {vertex(18, 32), vertex(78, 32)})};
    set("Mode", 3);
    for (double opacity : {25.0, 50.0, 80.0}) {
        set("Opacity", opacity);
        const Image frame = render();
        double lowest = 255, highest = 0;
        for (int x = 38; x <= 58; ++x) {
            lowest = std::min(lowest, rawAt(frame, x, 32).alpha);
            highest = std::max(highest, rawAt(frame, x, 32).alpha);
        }
        // Each of the 19 or so 8-bit composites truncates, so the stack may
        // fall a few steps short; uncompensated it would be nearly opaque.
        EXPECT_NEAR(lowest, opacity / 100 * 255, 8) << opacity;
        EXPECT_NEAR(highest, opacity / 100 * 255, 8) << opacity;
        EXPECT_LE(highest - lowest, 4) << opacity;  // even along the middle
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, RenderedShapes, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace frametest
