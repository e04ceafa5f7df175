// "Line" with "Sub Mode" "Dependent": node positions, node attributes, the
// "Line Loop" closure and the interpolation per pixel of length.
#include <vector>

#include <gtest/gtest.h>

#include "engine/line_nodes.h"
#include "hostapi/pf_suites.h"
#include "tests/engine/engine_params.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/host_services.h"

namespace {

MaskFacts squareFacts() {
    MaskFacts mask;
    mask.open = false;
    mask.segments = 4;
    mask.lengths = {100, 100, 100, 100};
    mask.total = 400;
    return mask;
}

// A fill run starting at hue 0, lightness 0.5, saturation 1, without variance.
ColorRun redRun() {
    ColorRun run{};
    run.running = HslColor{0, 32768, 65536};
    run.parameter = PF_Pixel{255, 255, 0, 0};
    run.pixel = PF_PixelFloat{1, 1, 0, 0};
    run.random = makePatternRandom(0);
    return run;
}

struct LineNodes : ::testing::Test {
    PatternParams params = defaultPatternParams();
    AttributeSettings settings;
    std::vector<LineNode> nodes;
    std::vector<PatternInstance> instances = std::vector<PatternInstance>(8);

    LineNodes() { settings.ansi = &libraryAnsi(); }

    void computeNodes(const MaskFacts &mask, A_long number) {
        nodes.assign(static_cast<size_t>(lineNodeCount(number, mask.segments)), LineNode{});
        fillLineNodePositions(nodes.data(), number, mask);
        ColorRun run = redRun();
        computeLineNodeAttributes(params, settings, mask.open, run, instances.data(), nodes.data(),
                                  static_cast<A_long>(nodes.size()));
    }
};

TEST_F(LineNodes, PositionsSplitEverySegment) {
    EXPECT_EQ(lineNodeCount(1, 4), 9);
    EXPECT_EQ(lineNodeCount(50000, 50000), int64_t(50001) * 50000 + 1);
    computeNodes(squareFacts(), 1);
    const double expected[] = {0, 50, 100, 150, 200, 250, 300, 350, 400};
    ASSERT_EQ(nodes.size(), 9u);
    for (size_t m = 0; m < 9; ++m) EXPECT_EQ(nodes[m].position, expected[m]) << m;
}

TEST_F(LineNodes, ClosedMaskStepsOverOneNodeFewer) {
    params.firstRadius = 10;
    params.deltaRadius = 30;
    params.deltaHue = 0.9;  // 324 degrees over 3 steps
    computeNodes(squareFacts(), 0);
    ASSERT_EQ(nodes.size(), 5u);
    const double radii[] = {10, 20, 30, 40, 50};
    const double hues[] = {0, 108, 216, 324, 432};
    for (size_t m = 0; m < 5; ++m) {
        EXPECT_DOUBLE_EQ(nodes[m].radius, radii[m]) << m;
        EXPECT_NEAR(nodes[m].hue, hues[m], 1e-9) << m;
        EXPECT_EQ(nodes[m].lightness, 0.5);
    }
}

TEST_F(LineNodes, LineLoopClosesOnTheFirstNode) {
    params.firstRadius = 10;
    params.deltaRadius = 30;
    params.phase = 0.5;
    params.deltaPhase = 3;
    params.opacity = 0.5;
    params.deltaOpacity = 0.3;
    params.deltaHue = 0.9;
    params.lineLoop = 1;
    computeNodes(squareFacts(), 0);
    const LineNode &first = nodes.front();
    const LineNode &last = nodes.back();
    EXPECT_EQ(last.position, 400);
    EXPECT_EQ(last.radius, first.radius);
    EXPECT_EQ(last.angle, first.angle);
    EXPECT_EQ(last.opacity, first.opacity);
    // From 324 the shorter way to 0 is +36, not -324: the hue ends at 360.
    EXPECT_NEAR(last.hue, 360, 1e-9);

    MaskFacts open = squareFacts();
    open.open = true;
    computeNodes(open, 0);
    EXPECT_EQ(nodes.back().radius, 40);  // no loop on an open mask: the whole delta over N - 1 steps
}

TEST_F(LineNodes, InstancesInterpolateBetweenTheirNodes) {
    minihost::Host host;
    hosttest::HostServices services{host};
    const ColorConverter converter{services.color, services.ref};
    params.firstRadius = 10;
    params.deltaRadius = 30;
    params.deltaHue = 240.0 / 360 * 3;  // 240 degrees per node
    MaskFacts mask = squareFacts();
    computeNodes(mask, 0);
    settings.count = 400;
    settings.window = makeRevealWindow(400, 0, 1, 1);
    instances.assign(400, PatternInstance{});
    ColorRun run = redRun();
    PF_Err pending = PF_Err_NONE;
    const A_long largest =
        interpolateLineInstances(params, settings, nodes.data(), 5, converter, Depth8, run, instances.data(), pending);
    EXPECT_EQ(pending, PF_Err_NONE);
    EXPECT_EQ(instances[0].radius, 10);
    EXPECT_EQ(instances[100].radius, 20);
    EXPECT_DOUBLE_EQ(instances[150].radius, 25);
    EXPECT_DOUBLE_EQ(instances[399].radius, 40 + 0.99 * 10);
    EXPECT_EQ(largest, 51);  // floor(49.9) + 2
    // Hue 0 at node 0, 240 at node 1: half-way is 120, green.
    EXPECT_EQ(instances[50].fillColor8.green, 255);
    EXPECT_EQ(instances[50].fillColor8.red, 0);
    EXPECT_EQ(instances[100].fillColor8.blue, 255);
}

TEST_F(LineNodes, KeyframedColoursInterpolateInRgbWithTheColourAlpha) {
    minihost::Host host;
    const ColorConverter converter{nullptr, hosttest::HostServices(host).ref};
    params.colorMode = 2;
    params.color = PF_Pixel{51, 0, 0, 0};
    settings.tables.fillLength = 2;
    instances[0].fillColorF = PF_PixelFloat{1, 0, 0, 0};
    instances[1].fillColorF = PF_PixelFloat{1, 1, 0.5f, 0};
    MaskFacts mask;
    mask.open = true;
    mask.segments = 1;
    mask.lengths = {10};
    mask.total = 10;
    computeNodes(mask, 0);
    ASSERT_EQ(nodes.size(), 2u);
    settings.count = 10;
    settings.window = makeRevealWindow(10, 0, 1, 1);
    instances.assign(10, PatternInstance{});
    ColorRun run = redRun();
    PF_Err pending = PF_Err_NONE;
    interpolateLineInstances(params, settings, nodes.data(), 2, converter, Depth8, run, instances.data(), pending);
    EXPECT_EQ(pending, PF_Err_NONE);
    EXPECT_EQ(instances[5].fillColorF.red, 0.5f);
    EXPECT_EQ(instances[5].fillColorF.green, 0.25f);
    EXPECT_EQ(instances[5].fillColorF.alpha, 0.2f);
    EXPECT_EQ(instances[5].fillColor8.red, 127);
}

}  // namespace
