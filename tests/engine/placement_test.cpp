// Placement along masks served by minihost's path suites: vertices, even
// spacing, spacing by radii, one point per pixel, offsets and directions.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/mask_measure.h"
#include "engine/placement.h"
#include "hostapi/pf_suites.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/host_services.h"
#include "tests/support/minihost_scene.h"

namespace {

using hosttest::circle;
using hosttest::polyline;
using hosttest::vertex;
using minihost::Mask;
using minihost::MaskVertex;

constexpr double kPi = 3.14159265358979323846;

// Corners (10, 20), (110, 20), (110, 120), (10, 120): four sides of 100.
Mask square() { return polyline(true, {vertex(10, 20), vertex(110, 20), vertex(110, 120), vertex(10, 120)}); }

// Two segments of 50 and 60 pixels.
Mask openPolyline() { return polyline(false, {vertex(0, 0), vertex(30, 40), vertex(30, 100)}); }

struct Point {
    double x, y;
};

struct Placement : ::testing::Test {
    minihost::Host host;
    hosttest::HostServices services{host};
    PF_ProgPtr ref = services.ref;
    const PF_PathQuerySuite1 &query = *services.pathQuery;
    const PF_PathDataSuite1 &data = *services.pathData;
    PF_PathOutlinePtr outline = nullptr;
    PF_PathID id = 0;
    MaskFacts facts;
    std::vector<PatternInstance> instances;
    PF_Err pending = PF_Err_NONE;

    ~Placement() override {
        if (outline) query.PF_CheckinPath(ref, id, false, outline);
        EXPECT_EQ(host.ledger.checkouts, 0);
        EXPECT_EQ(host.ledger.invalidCalls, 0);
    }

    PathAccess path() const { return PathAccess{&data, ref, outline, &libraryAnsi()}; }

    // The mask's outline at `time` ticks of 1/scale s.
    void useMask(const Mask &mask, A_long time = 0, A_u_long scale = 30) {
        if (outline) query.PF_CheckinPath(ref, id, false, outline);
        outline = nullptr;
        host.masks = {mask};
        id = hosttest::maskPathId(host, 1);
        ASSERT_EQ(query.PF_CheckoutPath(ref, id, time, 1, scale, &outline), PF_Err_NONE);
        ASSERT_NE(outline, nullptr);
        facts = measureMask(path(), pending);
        ASSERT_EQ(pending, PF_Err_NONE);
    }

    std::vector<Point> place(const PlacementPlan &plan, double radius = 0) {
        instances.assign(static_cast<size_t>(plan.count), PatternInstance{});
        for (PatternInstance &instance : instances) instance.radius = radius;
        return placeWith(plan);
    }

    std::vector<Point> placeWith(const PlacementPlan &plan) {
        PlacementList list;
        placeInstances(path(), facts, plan, instances.data(), list, pending);
        std::vector<Point> points;
        for (const PlacementPoint *p = list.head.next; p; p = p->next) points.push_back({p->x, p->y});
        EXPECT_EQ(static_cast<A_long>(points.size()), list.count);
        return points;
    }
};

PlacementPlan vertexPlan(A_long count, A_long number, double vertexOffset = 0) {
    PlacementPlan plan;
    plan.kind = PlacementKind::Vertex;
    plan.count = count;
    plan.number = number;
    plan.startSegment = true;
    plan.vertexOffset = vertexOffset;
    return plan;
}

PlacementPlan evenPlan(A_long count, double offset = 0) {
    PlacementPlan plan;
    plan.kind = PlacementKind::Even;
    plan.count = count;
    plan.offset = offset;
    return plan;
}

void expectPoints(const std::vector<Point> &actual, const std::vector<Point> &expected, double tolerance = 1e-9) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t k = 0; k < actual.size(); ++k) {
        EXPECT_NEAR(actual[k].x, expected[k].x, tolerance) << "point " << k;
        EXPECT_NEAR(actual[k].y, expected[k].y, tolerance) << "point " << k;
    }
}

TEST_F(Placement, MeasuresSegmentsAndTotal) {
    useMask(openPolyline());
    EXPECT_TRUE(facts.open);
    ASSERT_EQ(facts.segments, 2);
    EXPECT_NEAR(facts.lengths[0], 50, 1e-9);
    EXPECT_NEAR(facts.lengths[1], 60, 1e-9);
    EXPECT_NEAR(facts.total, 110, 1e-9);
}

TEST_F(Placement, VertexModeOnASquareTakesTheCorners) {
    useMask(square());
    expectPoints(place(vertexPlan(4, 0)), {{10, 20}, {110, 20}, {110, 120}, {10, 120}});
}

TEST_F(Placement, VertexOffsetStartsAtALaterCorner) {
    useMask(square());
    expectPoints(place(vertexPlan(4, 0, 0.25)), {{110, 20}, {110, 120}, {10, 120}, {10, 20}});
    expectPoints(place(vertexPlan(4, 0, 0.99)), {{10, 120}, {10, 20}, {110, 20}, {110, 120}});
}

TEST_F(Placement, VertexModeOnAnOpenPolylineAddsMiddlesAndTheEnd) {
    useMask(openPolyline());
    expectPoints(place(vertexPlan(5, 1)), {{0, 0}, {15, 20}, {30, 40}, {30, 70}, {30, 100}});
}

TEST_F(Placement, VertexModeSpreadsNumberPointsPerSegment) {
    useMask(square());
    const std::vector<Point> points = place(vertexPlan(12, 2));
    ASSERT_EQ(points.size(), 12u);
    expectPoints({points[0], points[1], points[2], points[3]},
                 {{10, 20}, {10 + 100.0 / 3, 20}, {10 + 200.0 / 3, 20}, {110, 20}});
}

TEST_F(Placement, NumberTwoOnAnOpenMaskSitsAtBothEnds) {
    useMask(openPolyline());
    expectPoints(place(evenPlan(2)), {{0, 0}, {30, 100}});
}

// A keyed open curve: from a straight (0,0)-(100,0) at 0 s to (20,10)-(120,10)
// with handles (0, 40) down from both ends at 1 s. Each shape is symmetric,
// so the middle of its length is the Bezier at t = 1/2,
// (p0 + 3 p1 + 3 p2 + p3) / 8, of the vertices and handles mixed by hand.
TEST_F(Placement, AKeyedMaskIsPlacedOnItsShapeAtTheCheckoutTime) {
    Mask mask;
    mask.closed = false;
    MaskVertex a1 = vertex(20, 10), b1 = vertex(120, 10);
    a1.outY = 40;
    b1.inY = 40;
    for (const auto &[seconds, vertices] :
         {std::pair{0.0, std::vector{vertex(0, 0), vertex(100, 0)}}, {1.0, {a1, b1}}}) {
        minihost::MaskKey key;
        key.seconds = seconds;
        key.vertices = vertices;
        mask.keys.push_back(key);
    }
    const struct {
        minihost::Interpolation interpolation;
        A_long time;
        A_u_long scale;
        std::vector<Point> expected;
    } cases[] = {
        // Mixed by a half: ends (10, 5) and (110, 5), handles 20 long.
        {minihost::Interpolation::Linear, 15, 30, {{10, 5}, {60, 20}, {110, 5}}},
        // A quarter of the way is 0.15625 eased: ends 1.5625 down, handles 6.25.
        {minihost::Interpolation::Ease, 1, 4, {{3.125, 1.5625}, {53.125, 6.25}, {103.125, 1.5625}}},
        {minihost::Interpolation::Hold, 29, 30, {{0, 0}, {50, 0}, {100, 0}}},
        {minihost::Interpolation::Linear, 60, 30, {{20, 10}, {70, 40}, {120, 10}}},
        {minihost::Interpolation::Linear, -30, 30, {{0, 0}, {50, 0}, {100, 0}}},
    };
    for (const auto &c : cases) {
        mask.interpolation = c.interpolation;
        useMask(mask, c.time, c.scale);
        SCOPED_TRACE(c.time);
        expectPoints(place(evenPlan(3)), c.expected, 1e-6);
    }
}

TEST_F(Placement, NumberModeSpacesEvenlyOverSegments) {
    useMask(openPolyline());
    // 110 pixels in 4 steps of 27.5: one point inside segment 0, two inside segment 1.
    expectPoints(place(evenPlan(5)), {{0, 0}, {16.5, 22}, {30, 40 + 5}, {30, 40 + 32.5}, {30, 100}});
    useMask(square());
    expectPoints(place(evenPlan(8)),
                 {{10, 20}, {60, 20}, {110, 20}, {110, 70}, {110, 120}, {60, 120}, {10, 120}, {10, 70}});
}

TEST_F(Placement, OffsetHalfWayStartsOppositeOnAClosedMask) {
    useMask(square());
    expectPoints(place(evenPlan(4, 0.5)), {{110, 120}, {10, 120}, {10, 20}, {110, 20}});
    expectPoints(place(evenPlan(1, 0.5)), {{110, 120}});
    expectPoints(place(evenPlan(2, 0.125)), {{60, 20}, {60, 120}});
}

TEST_F(Placement, OffsetDoesNothingOnAnOpenMask) {
    useMask(openPolyline());
    expectPoints(place(evenPlan(2, 0.5)), {{0, 0}, {30, 100}});
}

TEST_F(Placement, SingleInstanceSitsAtTheFirstVertex) {
    useMask(square());
    expectPoints(place(evenPlan(1)), {{10, 20}});
    useMask(openPolyline());
    expectPoints(place(evenPlan(1)), {{0, 0}});
}

TEST_F(Placement, LineModeOnTenAndAHalfPixelsPlacesElevenPoints) {
    useMask(polyline(false, {vertex(0, 5), vertex(10.5, 5)}));
    const std::vector<Point> points = place(evenPlan(11));
    ASSERT_EQ(points.size(), 11u);
    for (size_t k = 0; k < points.size(); ++k) {
        EXPECT_NEAR(points[k].x, 1.05 * k, 1e-9) << k;
        EXPECT_NEAR(points[k].y, 5, 1e-12);
    }
}

TEST_F(Placement, RadiusSpacingAddsTheSpareLengthAsGaps) {
    useMask(polyline(false, {vertex(0, 0), vertex(100, 0)}));
    PlacementPlan plan = evenPlan(3);
    plan.radiusSpacing = true;
    instances.assign(3, PatternInstance{});
    instances[0].radius = 0;
    instances[1].radius = 10;
    instances[2].radius = 20;
    // R = 10 + 30 = 40; gap (100 - 40) / 2 = 30: steps 40 and 60.
    expectPoints(placeWith(plan), {{0, 0}, {40, 0}, {100, 0}});
}

TEST_F(Placement, RadiusSpacingOverlapsInProportionAndStillEndsAtTheEnd) {
    useMask(polyline(false, {vertex(0, 0), vertex(100, 0)}));
    PlacementPlan plan = evenPlan(3);
    plan.radiusSpacing = true;
    // R = 160 > 100: each pair of 80 shrinks by 60/160 to 50.
    expectPoints(place(plan, 40), {{0, 0}, {50, 0}, {100, 0}});
    instances[0].radius = 60;
    instances[1].radius = 20;
    instances[2].radius = 20;
    // R = 80 + 40 = 120: pairs 80 and 40 shrink to 66.67 and 33.33.
    expectPoints(placeWith(plan), {{0, 0}, {200.0 / 3, 0}, {100, 0}}, 1e-9);
}

TEST_F(Placement, RadiusSpacingOnAClosedMaskGoesAllRound) {
    useMask(square());
    PlacementPlan plan = evenPlan(4);
    plan.radiusSpacing = true;
    // R = 80 over 400: gap 80, step 100.
    expectPoints(place(plan, 10), {{10, 20}, {110, 20}, {110, 120}, {10, 120}});
}

TEST_F(Placement, DependOnPathAddsTheDirection) {
    useMask(square());
    PlacementPlan plan = vertexPlan(4, 0);
    plan.dependOnPath = true;
    place(plan);
    const double expected[] = {0, kPi / 2, kPi, -kPi / 2};
    for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(instances[k].angle, expected[k], 1e-9) << k;

    useMask(openPolyline());
    plan = vertexPlan(3, 0);
    plan.dependOnPath = true;
    instances.assign(3, PatternInstance{});
    for (PatternInstance &instance : instances) instance.angle = 1.0;
    placeWith(plan);
    EXPECT_NEAR(instances[0].angle, 1 + std::atan2(40, 30), 1e-9);
    EXPECT_NEAR(instances[1].angle, 1 + kPi / 2, 1e-9);
    EXPECT_NEAR(instances[2].angle, 1 + kPi / 2, 1e-9);  // end vertex: along the last segment
}

TEST_F(Placement, CurvedMaskPointsLieOnTheCurveAndFollowIt) {
    useMask(circle(200, 150, 50));
    PlacementPlan plan = evenPlan(16);
    plan.dependOnPath = true;
    const std::vector<Point> points = place(plan);
    ASSERT_EQ(points.size(), 16u);
    for (size_t k = 0; k < points.size(); ++k) {
        const double dx = points[k].x - 200, dy = points[k].y - 150;
        EXPECT_NEAR(std::hypot(dx, dy), 50, 0.05) << k;
        // Clockwise on screen: the direction is the radius turned a quarter forward.
        const double tangent = std::atan2(dy, dx) + kPi / 2;
        EXPECT_NEAR(std::remainder(instances[k].angle - tangent, 2 * kPi), 0, 0.01) << k;
    }
    EXPECT_NEAR(points[0].x, 250, 1e-9);
    EXPECT_NEAR(points[0].y, 150, 1e-9);
    EXPECT_NEAR(points[4].x, 200, 0.05);  // a quarter of the way: the bottom
    EXPECT_NEAR(points[4].y, 200, 0.05);
}

TEST_F(Placement, ZeroLengthSegmentsArePassedOver) {
    useMask(polyline(false, {vertex(0, 0), vertex(0, 0), vertex(60, 0), vertex(60, 0)}));
    EXPECT_NEAR(facts.total, 60, 1e-9);
    expectPoints(place(evenPlan(4)), {{0, 0}, {20, 0}, {40, 0}, {60, 0}});
    expectPoints(place(vertexPlan(4, 0)), {{0, 0}, {0, 0}, {60, 0}, {60, 0}});
}

TEST_F(Placement, MasksWithoutLengthPlaceWithoutLooping) {
    // One vertex: no segments at all.
    useMask(polyline(false, {vertex(7, 8)}));
    EXPECT_EQ(facts.segments, 0);
    expectPoints(place(vertexPlan(1, 3)), {{7, 8}});
    expectPoints(place(evenPlan(1)), {{7, 8}});
    EXPECT_LE(place(evenPlan(5)).size(), 5u);
    useMask(polyline(true, {vertex(7, 8)}));
    EXPECT_TRUE(place(vertexPlan(4, 3)).empty());
    EXPECT_TRUE(place(evenPlan(3, 0.5)).empty());

    // Two vertices on one spot: a segment of length 0, radii summing to 0.
    useMask(polyline(false, {vertex(3, 3), vertex(3, 3)}));
    PlacementPlan plan = evenPlan(3);
    plan.radiusSpacing = true;
    const std::vector<Point> points = place(plan, 0);
    EXPECT_LE(points.size(), 3u);
    for (const Point &p : points) {
        EXPECT_EQ(p.x, 3);
        EXPECT_EQ(p.y, 3);
    }
    EXPECT_EQ(pending, PF_Err_NONE);
}

TEST_F(Placement, NegativeRadiiNeverPlacePastTheMask) {
    useMask(polyline(false, {vertex(0, 0), vertex(100, 0)}));
    PlacementPlan plan = evenPlan(4);
    plan.radiusSpacing = true;
    const std::vector<Point> points = place(plan, -40);
    ASSERT_EQ(points.size(), 4u);
    for (const Point &p : points) {
        EXPECT_GE(p.x, 0);
        EXPECT_LE(p.x, 100);
    }
}

TEST_F(Placement, EveryPreparedSegmentIsCleanedUp) {
    useMask(circle(100, 100, 40));
    host.logCalls = true;
    PlacementPlan plan = evenPlan(10, 0.3);
    plan.dependOnPath = true;
    place(plan);
    int prepared = 0, cleaned = 0;
    for (const minihost::CallRecord &call : host.calls) {
        prepared += call.function == "PF_PathPrepareSegLength";
        cleaned += call.function == "PF_PathCleanupSegLength";
    }
    EXPECT_GT(prepared, 0);
    EXPECT_EQ(prepared, cleaned);
}

TEST_F(Placement, AFailingEvaluationBecomesThePendingErrorAndSkipsTheRest) {
    useMask(square());
    host.logCalls = true;
    host.faults.failCall["PF_PathEvalSegLengthDeriv1"] = {2, PF_Err_INTERNAL_STRUCT_DAMAGED};
    const std::vector<Point> points = place(evenPlan(8));
    EXPECT_EQ(pending, PF_Err_INTERNAL_STRUCT_DAMAGED);
    // The walk runs to its end without asking the host again.
    EXPECT_EQ(points.size(), 8u);
    int evaluations = 0, prepared = 0, cleaned = 0;
    for (const minihost::CallRecord &call : host.calls) {
        evaluations += call.function == "PF_PathEvalSegLengthDeriv1";
        prepared += call.function == "PF_PathPrepareSegLength";
        cleaned += call.function == "PF_PathCleanupSegLength";
    }
    EXPECT_EQ(evaluations, 2);
    EXPECT_EQ(prepared, 1);
    EXPECT_EQ(cleaned, 1);
}

}  // namespace
