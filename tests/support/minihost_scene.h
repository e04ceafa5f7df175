// Small pieces of a minihost scene shared by the tests: masks from corner
// points and circles, and the check that nothing is left outstanding.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"

namespace hosttest {

// A corner point without Bézier tangents, in layer pixels.
inline minihost::MaskVertex vertex(double x, double y) {
    minihost::MaskVertex v;
    v.x = x;
    v.y = y;
    return v;
}

inline minihost::Mask polyline(bool closed, std::vector<minihost::MaskVertex> vertices) {
    minihost::Mask m;
    m.closed = closed;
    m.vertices = std::move(vertices);
    return m;
}

// Tangent length, per unit of radius, of the usual four-segment Bézier circle.
constexpr double kCircleHandle = 0.5522847498307936;

// A circle of radius r from four Bézier quarters, starting at the right and
// running clockwise on screen (towards +y first).
inline minihost::Mask circle(double cx, double cy, double r) {
    const double k = r * kCircleHandle;
    minihost::MaskVertex right = vertex(cx + r, cy), bottom = vertex(cx, cy + r), left = vertex(cx - r, cy),
                         top = vertex(cx, cy - r);
    right.inY = -k, right.outY = k;
    bottom.inX = k, bottom.outX = -k;
    left.inY = k, left.outY = -k;
    top.inX = -k, top.outX = k;
    return polyline(true, {right, bottom, left, top});
}

// Parameter values for setParam and keyframes: a number in user units, a colour.
inline minihost::ParamValue numberValue(double number) {
    minihost::ParamValue value;
    value.number = number;
    return value;
}

inline minihost::ParamValue colorValue(PF_Pixel color) {
    minihost::ParamValue value;
    value.color = color;
    return value;
}

// Host functions whose failure nothing can see: the maths and string
// functions, and the handle calls without a result.
inline const std::set<std::string> &callsThatCannotFail() {
    static const std::set<std::string> calls = {"atan",
                                                "atan2",
                                                "ceil",
                                                "cos",
                                                "exp",
                                                "fabs",
                                                "floor",
                                                "fmod",
                                                "hypot",
                                                "log",
                                                "log10",
                                                "pow",
                                                "sin",
                                                "sqrt",
                                                "tan",
                                                "asin",
                                                "acos",
                                                "sprintf",
                                                "strcpy",
                                                "host_unlock_handle",
                                                "host_dispose_handle",
                                                "host_get_handle_size"};
    return calls;
}

// Every ledger count back at zero but the memory handles, of which `handles`
// may stay allocated (global and sequence data between commands), and the
// `invalidCalls` a test makes on purpose.
inline void expectNothingHeld(const minihost::Host &host, int handles = 0, int invalidCalls = 0) {
    EXPECT_EQ(host.ledger.suites, 0);
    EXPECT_EQ(host.ledger.handles, handles);
    EXPECT_EQ(host.ledger.lockedHandles, 0);
    EXPECT_EQ(host.ledger.worlds, 0);
    EXPECT_EQ(host.ledger.checkouts, 0);
    EXPECT_EQ(host.ledger.preRenderBlocks, 0);
    EXPECT_EQ(host.ledger.effects, 0);
    EXPECT_EQ(host.ledger.streams, 0);
    EXPECT_EQ(host.ledger.streamValues, 0);
    EXPECT_EQ(host.ledger.invalidCalls, invalidCalls);
}

}  // namespace hosttest
