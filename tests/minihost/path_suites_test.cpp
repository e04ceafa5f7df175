// minihost's path query and path data suites, called through their tables as
// the plug-in calls them.
#include <cmath>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "hostapi/pf_suites.h"
#include "minihost/host_internals.h"
#include "tests/support/minihost_scene.h"

namespace minihost {
namespace {

constexpr double kPi = 3.14159265358979323846;

using hosttest::circle;
using hosttest::kCircleHandle;
using hosttest::polyline;
using hosttest::vertex;

Mask square(double left, double top, double side) {
    return polyline(
        true, {vertex(left, top), vertex(left + side, top), vertex(left + side, top + side), vertex(left, top + side)});
}

Mask openPolyline() { return polyline(false, {vertex(0, 0), vertex(30, 40), vertex(30, 100)}); }

Mask singleVertex(bool closed) { return polyline(closed, {vertex(5, 5)}); }

struct PathSuites : ::testing::Test {
    Host host;
    PF_ProgPtr ref = refFromHost(host);
    const PF_PathQuerySuite1 &query = *static_cast<const PF_PathQuerySuite1 *>(pathQuerySuite());
    const PF_PathDataSuite1 &data = *static_cast<const PF_PathDataSuite1 *>(pathDataSuite());

    PathSuites() {
        host.logCalls = true;
        host.masks = {square(10, 20, 100), openPolyline(), circle(200, 200, 50), singleVertex(true),
                      singleVertex(false)};
    }

    // Makes the next call of `function` fail with `err`.
    void failNext(const char *function, PF_Err err) {
        int made = 0;
        for (const CallRecord &call : host.calls) made += call.function == function;
        host.faults.failCall.clear();
        host.faults.failCall[function] = {made + 1, err};
    }

    PF_PathOutlinePtr checkout(PF_PathID id) {
        PF_PathOutlinePtr outline = nullptr;
        EXPECT_EQ(query.PF_CheckoutPath(ref, id, 0, 1, 30, &outline), PF_Err_NONE);
        return outline;
    }

    double segmentLength(PF_PathOutlinePtr outline, A_long segment) {
        double length = -1;
        EXPECT_EQ(data.PF_PathGetSegLength(ref, outline, segment, nullptr, &length), PF_Err_NONE);
        return length;
    }
};

TEST_F(PathSuites, MasksAreNumberedFromTheirIdBase) {
    A_long count = 0;
    ASSERT_EQ(query.PF_NumPaths(ref, &count), PF_Err_NONE);
    EXPECT_EQ(count, 5);
    for (A_long i = 0; i < count; ++i) {
        PF_PathID id = 0;
        ASSERT_EQ(query.PF_PathInfo(ref, i, &id), PF_Err_NONE);
        EXPECT_EQ(id, pathIdBase + PF_PathID(i) + 1);
    }
    PF_PathID id = 77;
    EXPECT_EQ(query.PF_PathInfo(ref, 5, &id), PF_Err_INVALID_INDEX);
    EXPECT_EQ(query.PF_PathInfo(ref, -1, &id), PF_Err_INVALID_INDEX);
    EXPECT_EQ(id, 77u);
}

TEST_F(PathSuites, UnknownIdsCheckOutNothing) {
    for (PF_PathID id : {PF_PathID(0), PF_PathID(1), PF_PathID(999), pathIdBase + 6}) {
        PF_PathOutlinePtr outline = reinterpret_cast<PF_PathOutlinePtr>(&host);
        EXPECT_EQ(query.PF_CheckoutPath(ref, id, 0, 1, 30, &outline), PF_Err_NONE) << id;
        EXPECT_EQ(outline, nullptr) << id;
        EXPECT_EQ(query.PF_CheckinPath(ref, id, false, outline), PF_Err_NONE) << id;
    }
    EXPECT_EQ(host.ledger.checkouts, 0);
    EXPECT_EQ(host.ledger.invalidCalls, 0);
}

struct ShapeCase {
    int mask;
    bool open;
    A_long segments;
};

TEST_F(PathSuites, OpennessAndSegmentCounts) {
    const ShapeCase cases[] = {{1, false, 4}, {2, true, 2}, {3, false, 4}, {4, false, 0}, {5, true, 0}};
    for (const ShapeCase &c : cases) {
        SCOPED_TRACE(c.mask);
        PF_PathOutlinePtr outline = checkout(pathIdBase + PF_PathID(c.mask));
        ASSERT_NE(outline, nullptr);
        PF_Boolean open = 7;
        A_long segments = -1;
        EXPECT_EQ(data.PF_PathIsOpen(ref, outline, &open), PF_Err_NONE);
        EXPECT_EQ(open != 0, c.open);
        EXPECT_EQ(data.PF_PathNumSegments(ref, outline, &segments), PF_Err_NONE);
        EXPECT_EQ(segments, c.segments);
        EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + PF_PathID(c.mask), false, outline), PF_Err_NONE);
    }
    EXPECT_EQ(host.ledger.checkouts, 0);
}

TEST_F(PathSuites, VertexAfterTheLastSegmentEndsTheMask) {
    PF_PathVertex v{};
    PF_PathOutlinePtr closed = checkout(pathIdBase + 1);
    ASSERT_EQ(data.PF_PathVertexInfo(ref, closed, 2, &v), PF_Err_NONE);
    EXPECT_EQ(v.x, 110);
    EXPECT_EQ(v.y, 120);
    ASSERT_EQ(data.PF_PathVertexInfo(ref, closed, 4, &v), PF_Err_NONE);  // back at vertex 0
    EXPECT_EQ(v.x, 10);
    EXPECT_EQ(v.y, 20);
    EXPECT_EQ(data.PF_PathVertexInfo(ref, closed, 5, &v), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(data.PF_PathVertexInfo(ref, closed, -1, &v), PF_Err_BAD_CALLBACK_PARAM);

    PF_PathOutlinePtr open = checkout(pathIdBase + 2);
    ASSERT_EQ(data.PF_PathVertexInfo(ref, open, 2, &v), PF_Err_NONE);  // the last vertex
    EXPECT_EQ(v.x, 30);
    EXPECT_EQ(v.y, 100);
    EXPECT_EQ(data.PF_PathVertexInfo(ref, open, 3, &v), PF_Err_BAD_CALLBACK_PARAM);

    PF_PathOutlinePtr single = checkout(pathIdBase + 4);
    ASSERT_EQ(data.PF_PathVertexInfo(ref, single, 0, &v), PF_Err_NONE);
    EXPECT_EQ(v.x, 5);
    EXPECT_EQ(data.PF_PathVertexInfo(ref, single, 1, &v), PF_Err_BAD_CALLBACK_PARAM);

    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 1, false, closed), PF_Err_NONE);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 2, false, open), PF_Err_NONE);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 4, false, single), PF_Err_NONE);
}

TEST_F(PathSuites, DownsamplingScalesVerticesAndTangents) {
    host.downsampleX = 2;
    host.downsampleY = 4;
    PF_PathOutlinePtr outline = checkout(pathIdBase + 3);
    PF_PathVertex v{};
    ASSERT_EQ(data.PF_PathVertexInfo(ref, outline, 0, &v), PF_Err_NONE);
    EXPECT_DOUBLE_EQ(v.x, 250.0 / 2);
    EXPECT_DOUBLE_EQ(v.y, 200.0 / 4);
    EXPECT_DOUBLE_EQ(v.tan_in_x, 0);
    EXPECT_DOUBLE_EQ(v.tan_in_y, -50 * kCircleHandle / 4);
    EXPECT_DOUBLE_EQ(v.tan_out_y, 50 * kCircleHandle / 4);
    // The square's sides become 50 wide and 25 high.
    PF_PathOutlinePtr sq = checkout(pathIdBase + 1);
    EXPECT_EQ(segmentLength(sq, 0), 50);
    EXPECT_EQ(segmentLength(sq, 1), 25);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 3, false, outline), PF_Err_NONE);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 1, false, sq), PF_Err_NONE);
}

TEST_F(PathSuites, SegmentLengths) {
    PF_PathOutlinePtr sq = checkout(pathIdBase + 1);
    for (A_long s = 0; s < 4; ++s) EXPECT_EQ(segmentLength(sq, s), 100) << s;
    PF_PathOutlinePtr open = checkout(pathIdBase + 2);
    EXPECT_EQ(segmentLength(open, 0), 50);
    EXPECT_EQ(segmentLength(open, 1), 60);
    PF_PathOutlinePtr round = checkout(pathIdBase + 3);
    double total = 0;
    for (A_long s = 0; s < 4; ++s) total += segmentLength(round, s);
    EXPECT_NEAR(total, 2 * kPi * 50, 2.7e-4 * 2 * kPi * 50);
    double length = -1;
    EXPECT_EQ(data.PF_PathGetSegLength(ref, sq, 4, nullptr, &length), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(data.PF_PathGetSegLength(ref, open, 2, nullptr, &length), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(data.PF_PathGetSegLength(ref, open, -1, nullptr, &length), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(length, -1);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 1, false, sq), PF_Err_NONE);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 2, false, open), PF_Err_NONE);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 3, false, round), PF_Err_NONE);
}

TEST_F(PathSuites, PreparedAndUnpreparedQueriesAgree) {
    PF_PathOutlinePtr round = checkout(pathIdBase + 3);
    for (A_long s = 0; s < 4; ++s) {
        PF_PathSegPrepPtr prep = nullptr;
        ASSERT_EQ(data.PF_PathPrepareSegLength(ref, round, s, 100, &prep), PF_Err_NONE);
        ASSERT_NE(prep, nullptr);
        EXPECT_EQ(host.ledger.checkouts, 2);  // the outline and the preparation
        double prepared = 0, unprepared = 0;
        ASSERT_EQ(data.PF_PathGetSegLength(ref, round, s, &prep, &prepared), PF_Err_NONE);
        ASSERT_EQ(data.PF_PathGetSegLength(ref, round, s, nullptr, &unprepared), PF_Err_NONE);
        EXPECT_NEAR(prepared, unprepared, 1e-7);
        for (double f : {0.0, 0.25, 0.5, 1.0}) {
            double x1, y1, x2, y2, dx, dy;
            ASSERT_EQ(data.PF_PathEvalSegLengthDeriv1(ref, round, &prep, s, f * prepared, &x1, &y1, &dx, &dy),
                      PF_Err_NONE);
            ASSERT_EQ(data.PF_PathEvalSegLength(ref, round, nullptr, s, f * prepared, &x2, &y2), PF_Err_NONE);
            EXPECT_NEAR(x1, x2, 1e-7);
            EXPECT_NEAR(y1, y2, 1e-7);
            // On the circle, and moving clockwise on screen: the direction is
            // the radius turned a quarter towards increasing y at the right.
            EXPECT_NEAR(std::hypot(x1 - 200, y1 - 200), 50, 50 * 3e-4);
            const double rx = (x1 - 200) / 50, ry = (y1 - 200) / 50;
            EXPECT_NEAR(dx, -ry, 2e-3);
            EXPECT_NEAR(dy, rx, 2e-3);
        }
        ASSERT_EQ(data.PF_PathCleanupSegLength(ref, round, s, &prep), PF_Err_NONE);
        EXPECT_EQ(prep, nullptr);
        EXPECT_EQ(host.ledger.checkouts, 1);
    }
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 3, false, round), PF_Err_NONE);
    EXPECT_EQ(host.ledger.checkouts, 0);
}

TEST_F(PathSuites, EvaluationOnAStraightSideIsExactAndClamps) {
    PF_PathOutlinePtr sq = checkout(pathIdBase + 1);
    struct Case {
        A_long segment;
        double length, x, y, dx, dy;
    };
    const Case cases[] = {
        {0, 0, 10, 20, 1, 0},     {0, 25, 35, 20, 1, 0},   {0, 100, 110, 20, 1, 0}, {1, 40, 110, 60, 0, 1},
        {2, 10, 100, 120, -1, 0}, {3, 100, 10, 20, 0, -1}, {0, -5, 10, 20, 1, 0},   {0, 150, 110, 20, 1, 0},
    };
    for (const Case &c : cases) {
        double x, y, dx, dy;
        ASSERT_EQ(data.PF_PathEvalSegLengthDeriv1(ref, sq, nullptr, c.segment, c.length, &x, &y, &dx, &dy),
                  PF_Err_NONE);
        EXPECT_EQ(x, c.x) << c.segment << " " << c.length;
        EXPECT_EQ(y, c.y) << c.segment << " " << c.length;
        EXPECT_EQ(dx, c.dx) << c.segment << " " << c.length;
        EXPECT_EQ(dy, c.dy) << c.segment << " " << c.length;
    }
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 1, false, sq), PF_Err_NONE);
}

TEST_F(PathSuites, MisusedOutlinesAndPreparationsAreRefused) {
    PF_PathOutlinePtr sq = checkout(pathIdBase + 1);
    PF_PathOutlinePtr open = checkout(pathIdBase + 2);
    PF_PathSegPrepPtr prep = nullptr;
    ASSERT_EQ(data.PF_PathPrepareSegLength(ref, sq, 0, 100, &prep), PF_Err_NONE);
    double length = 0, x = 0, y = 0;
    // A preparation of another segment or of another outline.
    EXPECT_EQ(data.PF_PathGetSegLength(ref, sq, 1, &prep, &length), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(data.PF_PathEvalSegLength(ref, open, &prep, 0, 1, &x, &y), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(data.PF_PathCleanupSegLength(ref, sq, 1, &prep), PF_Err_BAD_CALLBACK_PARAM);
    // Preparing a segment that does not exist.
    PF_PathSegPrepPtr none = nullptr;
    EXPECT_EQ(data.PF_PathPrepareSegLength(ref, open, 2, 100, &none), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(none, nullptr);
    // Cleaning up twice: the pointer is null after the first, a stale copy is refused.
    PF_PathSegPrepPtr stale = prep;
    ASSERT_EQ(data.PF_PathCleanupSegLength(ref, sq, 0, &prep), PF_Err_NONE);
    EXPECT_EQ(data.PF_PathCleanupSegLength(ref, sq, 0, &prep), PF_Err_NONE);
    EXPECT_EQ(data.PF_PathCleanupSegLength(ref, sq, 0, &stale), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(data.PF_PathGetSegLength(ref, sq, 0, &stale, &length), PF_Err_BAD_CALLBACK_PARAM);
    // Checking in under the wrong id, then properly; afterwards the outline is gone.
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 2, false, sq), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 1, false, sq), PF_Err_NONE);
    PF_Boolean isOpen = 0;
    EXPECT_EQ(data.PF_PathIsOpen(ref, sq, &isOpen), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 1, false, sq), PF_Err_BAD_CALLBACK_PARAM);
    // Another host's outline.
    Host other;
    other.masks = host.masks;
    EXPECT_EQ(data.PF_PathIsOpen(refFromHost(other), open, &isOpen), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 2, false, open), PF_Err_NONE);
    EXPECT_EQ(host.ledger.checkouts, 0);
    EXPECT_EQ(other.ledger.checkouts, 0);
    // Every refusal above is counted against the host that was called.
    EXPECT_EQ(host.ledger.invalidCalls, 9);
    EXPECT_EQ(other.ledger.invalidCalls, 1);
}

TEST_F(PathSuites, CheckinWithAPreparationLeftOpenStillShowsIt) {
    PF_PathOutlinePtr sq = checkout(pathIdBase + 1);
    PF_PathSegPrepPtr prep = nullptr;
    ASSERT_EQ(data.PF_PathPrepareSegLength(ref, sq, 3, 100, &prep), PF_Err_NONE);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 1, false, sq), PF_Err_NONE);
    EXPECT_EQ(host.ledger.checkouts, 1);
    EXPECT_EQ(data.PF_PathCleanupSegLength(ref, sq, 3, &prep), PF_Err_BAD_CALLBACK_PARAM);
}

TEST_F(PathSuites, MasksEditedAfterCheckoutDoNotChangeTheOutline) {
    PF_PathOutlinePtr sq = checkout(pathIdBase + 1);
    host.masks[0].vertices[1].x = 1000;
    host.masks.clear();
    EXPECT_EQ(segmentLength(sq, 0), 100);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 1, false, sq), PF_Err_NONE);
}

TEST_F(PathSuites, EveryFunctionReturnsAnInjectedFault) {
    PF_PathOutlinePtr sq = checkout(pathIdBase + 1);
    PF_PathSegPrepPtr prep = nullptr;
    ASSERT_EQ(data.PF_PathPrepareSegLength(ref, sq, 0, 100, &prep), PF_Err_NONE);
    A_long n = 0;
    PF_PathID id = 0;
    PF_Boolean flag = 0;
    PF_PathVertex vertex{};
    double length = 0, x = 0, y = 0, dx = 0, dy = 0;
    PF_PathOutlinePtr outline = nullptr;
    PF_PathSegPrepPtr newPrep = nullptr;
    const std::pair<const char *, std::function<PF_Err()>> calls[] = {
        {"PF_NumPaths", [&] { return query.PF_NumPaths(ref, &n); }},
        {"PF_PathInfo", [&] { return query.PF_PathInfo(ref, 0, &id); }},
        {"PF_CheckoutPath", [&] { return query.PF_CheckoutPath(ref, pathIdBase + 2, 0, 1, 30, &outline); }},
        {"PF_CheckinPath", [&] { return query.PF_CheckinPath(ref, pathIdBase + 1, false, sq); }},
        {"PF_PathIsOpen", [&] { return data.PF_PathIsOpen(ref, sq, &flag); }},
        {"PF_PathNumSegments", [&] { return data.PF_PathNumSegments(ref, sq, &n); }},
        {"PF_PathVertexInfo", [&] { return data.PF_PathVertexInfo(ref, sq, 0, &vertex); }},
        {"PF_PathPrepareSegLength", [&] { return data.PF_PathPrepareSegLength(ref, sq, 1, 100, &newPrep); }},
        {"PF_PathGetSegLength", [&] { return data.PF_PathGetSegLength(ref, sq, 0, &prep, &length); }},
        {"PF_PathEvalSegLength", [&] { return data.PF_PathEvalSegLength(ref, sq, &prep, 0, 5, &x, &y); }},
        {"PF_PathEvalSegLengthDeriv1",
         [&] { return data.PF_PathEvalSegLengthDeriv1(ref, sq, &prep, 0, 5, &x, &y, &dx, &dy); }},
        {"PF_PathCleanupSegLength", [&] { return data.PF_PathCleanupSegLength(ref, sq, 0, &prep); }},
        {"PF_PathIsInverted", [&] { return data.PF_PathIsInverted(ref, pathIdBase + 1, &flag); }},
    };
    for (const auto &call : calls) {
        SCOPED_TRACE(call.first);
        failNext(call.first, PF_Err_OUT_OF_MEMORY);
        EXPECT_EQ(call.second(), PF_Err_OUT_OF_MEMORY);
    }
    // Nothing was handed out or taken back by the failed calls.
    EXPECT_EQ(outline, nullptr);
    EXPECT_EQ(newPrep, nullptr);
    EXPECT_NE(prep, nullptr);
    EXPECT_EQ(host.ledger.checkouts, 2);
    host.faults.failCall.clear();
    EXPECT_EQ(data.PF_PathCleanupSegLength(ref, sq, 0, &prep), PF_Err_NONE);
    EXPECT_EQ(query.PF_CheckinPath(ref, pathIdBase + 1, false, sq), PF_Err_NONE);
    EXPECT_EQ(host.ledger.checkouts, 0);
}

}  // namespace
}  // namespace minihost
