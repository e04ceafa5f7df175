// Radius, angle, opacity, extent and colours of the instances, the colours
// converted by minihost's float colour suite.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "engine/instance_attributes.h"
#include "engine/instance_colors.h"
#include "hostapi/pf_suites.h"
#include "raster/pixel_ops.h"
#include "tests/engine/engine_params.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/host_services.h"
#include "tests/support/same_pixel.h"

namespace {

constexpr double kPi = 3.141592653589793;

struct Attributes : ::testing::Test {
    minihost::Host host;
    hosttest::HostServices services{host};
    PatternParams params = defaultPatternParams();
    KeyframeTables tables;
    PixelDepth depth = Depth8;
    std::vector<PatternInstance> instances;
    PF_Err pending = PF_Err_NONE;
    A_long largest = -1;

    ColorConverter converter() { return ColorConverter{services.color, services.ref}; }

    void compute(A_long n, A_long sides = 2) {
        instances.resize(static_cast<size_t>(std::max<A_long>(n, 1)));
        AttributeSettings settings;
        settings.count = n;
        settings.window = makeRevealWindow(n, params.start, params.end, params.delay);
        settings.tables = tables;
        settings.frameSides = sides;
        settings.ansi = &libraryAnsi();
        InstanceColoring coloring = makeInstanceColoring(converter(), params, depth, n, tables, pending);
        largest = computeInstanceAttributes(params, settings, coloring, instances.data(), pending);
    }
};

TEST_F(Attributes, RadiusStepsToZeroOverThreeInstances) {
    params.firstRadius = 10;
    params.deltaRadius = -10;
    compute(3);
    EXPECT_EQ(instances[0].radius, 10);
    EXPECT_EQ(instances[1].radius, 5);
    EXPECT_EQ(instances[2].radius, 0);
}

TEST_F(Attributes, MinRadiusLeavesARandomShare) {
    params.minRadius = 0.5;
    params.radiusSeed = 1;  // first draw 0.5138700781390071
    compute(1);
    EXPECT_DOUBLE_EQ(instances[0].radius, 20 - 0.5138700781390071 * 0.5 * 20);
    params.radiusSeed = 2;
    compute(1);
    EXPECT_NE(instances[0].radius, 20 - 0.5138700781390071 * 0.5 * 20);
    EXPECT_GT(instances[0].radius, 10);
    EXPECT_LE(instances[0].radius, 20);
}

TEST_F(Attributes, OpacityStepsAndClampsAtOne) {
    params.opacity = 0.8;
    params.deltaOpacity = 0.5;
    compute(2);
    EXPECT_DOUBLE_EQ(instances[0].opacity, 0.8);
    EXPECT_EQ(instances[1].opacity, 1);
}

TEST_F(Attributes, PhaseStepsOverTheInstances) {
    params.phase = kPi / 2;
    params.deltaPhase = kPi;
    compute(3);
    EXPECT_DOUBLE_EQ(instances[0].angle, kPi / 2);
    EXPECT_DOUBLE_EQ(instances[1].angle, kPi);
    EXPECT_DOUBLE_EQ(instances[2].angle, 3 * kPi / 2);
}

TEST_F(Attributes, OneInstanceTakesTheFirstValues) {
    params.firstRadius = 7;
    params.deltaRadius = 100;
    params.phase = 0.25;
    params.deltaPhase = 3;
    params.opacity = 0.5;
    params.deltaOpacity = 0.5;
    params.deltaHue = 0.5;
    compute(1);
    EXPECT_EQ(instances[0].radius, 7);
    EXPECT_EQ(instances[0].angle, 0.25);
    EXPECT_EQ(instances[0].opacity, 0.5);
    EXPECT_TRUE(samePixel(instances[0].fillColor8, params.color));
    EXPECT_EQ(pending, PF_Err_NONE);
}

TEST_F(Attributes, WeightsFollowTheWindow) {
    params.start = 0.4;
    compute(5);
    const double expected[] = {0, 0, 1, 1, 1};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(instances[i].weight, expected[i]) << i;
}

TEST_F(Attributes, LargestExtentPerShape) {
    params.firstRadius = 10;
    params.deltaRadius = -5;
    params.strokeThickness = 3;
    compute(3, 2);
    EXPECT_EQ(largest, 13);  // 2 + floor(1.5 + 10)
    compute(3, 4);
    EXPECT_EQ(largest, 14);  // floor(1.5 / cos(pi / 4) + 10) + 2
    compute(3, 1);
    EXPECT_EQ(largest, 15);  // ceil(sqrt(2) * 10)
    params.firstRadius = -4;
    params.deltaRadius = 0;
    params.strokeThickness = 0;
    compute(2, 2);
    EXPECT_EQ(largest, 0);  // never below 0
}

TEST_F(Attributes, HueStepsThroughTheHostConversion) {
    params.color = PF_Pixel{255, 255, 0, 0};
    params.deltaHue = 240.0 / 360;
    compute(3);
    EXPECT_TRUE(samePixel(instances[0].fillColor8, PF_Pixel{255, 255, 0, 0}));
    EXPECT_TRUE(samePixel(instances[1].fillColor8, PF_Pixel{255, 0, 255, 0}));
    EXPECT_TRUE(samePixel(instances[2].fillColor8, PF_Pixel{255, 0, 0, 255}));
    EXPECT_EQ(instances[1].fillColorF.green, 1.0f);
    EXPECT_EQ(pending, PF_Err_NONE);
}

TEST_F(Attributes, LightnessClampsOnTheRunningColour) {
    params.color = PF_Pixel{255, 255, 0, 0};  // lightness 0.5
    params.deltaLightness = 1.0;              // +0.5 per step of 3 instances
    compute(3);
    EXPECT_TRUE(samePixel(instances[0].fillColor8, PF_Pixel{255, 255, 0, 0}));
    EXPECT_TRUE(samePixel(instances[1].fillColor8, PF_Pixel{255, 255, 255, 255}));
    EXPECT_TRUE(samePixel(instances[2].fillColor8, PF_Pixel{255, 255, 255, 255}));
}

TEST_F(Attributes, NoVariationGivesTheParameterColour) {
    params.color = PF_Pixel{200, 12, 200, 77};
    compute(4);
    const PF_Pixel expected = convertFloatTo8(convert8ToFloat(params.color));
    for (const PatternInstance &instance : instances) {
        EXPECT_TRUE(samePixel(instance.fillColor8, expected));
        EXPECT_EQ(instance.fillColorF.alpha, convert8ToFloat(params.color).alpha);
    }
}

TEST_F(Attributes, SixteenBitFormsTruncateAndKeepTheEightBitParameter) {
    depth = Depth16;
    params.color = PF_Pixel{255, 0, 255, 0};
    compute(2);
    EXPECT_EQ(instances[1].fillColor16.alpha, 32768);
    EXPECT_EQ(instances[1].fillColor16.green, 32768);
    EXPECT_EQ(instances[1].fillColor16.red, 0);
    EXPECT_TRUE(samePixel(instances[1].fillColor8, params.color));
}

TEST_F(Attributes, DependentStrokeFollowsTheFill) {
    params.color = PF_Pixel{255, 255, 0, 0};
    params.deltaHue = 240.0 / 360;
    params.strokeMode = StrokeMode::Dependent;
    params.strokeColor = PF_Pixel{128, 1, 2, 3};
    compute(3);
    for (const PatternInstance &instance : instances) {
        EXPECT_EQ(instance.strokeColor8.red, instance.fillColor8.red);
        EXPECT_EQ(instance.strokeColor8.green, instance.fillColor8.green);
        EXPECT_EQ(instance.strokeColor8.blue, instance.fillColor8.blue);
        EXPECT_EQ(instance.strokeColorF.alpha, convert8ToFloat(params.strokeColor).alpha);
    }
    params.strokeDeltaHue = 0.5;  // the opposite hue, not divided over the instances
    compute(3);
    const A_u_char alpha = convertFloatTo8(convert8ToFloat(params.strokeColor)).alpha;
    EXPECT_TRUE(samePixel(instances[0].strokeColor8, PF_Pixel{alpha, 0, 255, 255}));
    EXPECT_TRUE(samePixel(instances[1].strokeColor8, PF_Pixel{alpha, 255, 0, 255}));
    EXPECT_TRUE(samePixel(instances[2].strokeColor8, PF_Pixel{alpha, 255, 255, 0}));
}

TEST_F(Attributes, StrokeSeedNeverChangesAFill) {
    params.hueVariance = 0.3;
    params.strokeHueVariance = 0.3;
    compute(6);
    const std::vector<PatternInstance> first = instances;
    params.strokeColorSeed = 99;
    compute(6);
    bool strokeChanged = false;
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_TRUE(samePixel(instances[i].fillColor8, first[i].fillColor8)) << i;
        strokeChanged |= !samePixel(instances[i].strokeColor8, first[i].strokeColor8);
    }
    EXPECT_TRUE(strokeChanged);
}

TEST_F(Attributes, KeyframedFillRepeatsTheTable) {
    params.colorMode = ValueMode::Keyframe;
    tables.fillLength = 2;
    instances.assign(5, PatternInstance{});
    const PF_Pixel a{255, 10, 20, 30}, b{255, 40, 50, 60};
    instances[0].fillColor8 = a;
    instances[1].fillColor8 = b;
    AttributeSettings settings;
    settings.count = 5;
    settings.window = makeRevealWindow(5, 0, 1, 1);
    settings.tables = tables;
    settings.ansi = &libraryAnsi();
    InstanceColoring coloring = makeInstanceColoring(converter(), params, depth, 5, tables, pending);
    computeInstanceAttributes(params, settings, coloring, instances.data(), pending);
    const PF_Pixel expected[] = {a, b, a, b, a};
    for (size_t i = 0; i < 5; ++i) EXPECT_TRUE(samePixel(instances[i].fillColor8, expected[i])) << i;
}

TEST_F(Attributes, AFailedConversionSkipsTheLaterOnesAndFillsEveryRecord) {
    host.logCalls = true;
    host.faults.failCall["HLStoRGB"] = {2, PF_Err_OUT_OF_MEMORY};
    params.firstRadius = 10;
    params.deltaRadius = 10;
    compute(4);
    EXPECT_EQ(pending, PF_Err_OUT_OF_MEMORY);
    int conversions = 0;
    for (const minihost::CallRecord &call : host.calls) conversions += call.function == "HLStoRGB";
    EXPECT_EQ(conversions, 2);
    EXPECT_EQ(instances[3].radius, 20);
}

}  // namespace
