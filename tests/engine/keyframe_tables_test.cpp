// Keyframe tables: lengths, sample times, entry conversions and the largest radius.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "engine/keyframe_tables.h"
#include "tests/engine/engine_params.h"

namespace {

TEST(KeyframeTables, LengthByRuleKeyframesAndCount) {
    struct Case {
        A_long rule, keyframes, count;
        A_long length;
        bool fallback, sampled;
    };
    const Case cases[] = {
        {ValueMode::Keyframe, 3, 7, 3, false, false},   // instances repeat the table
        {ValueMode::Keyframe, 10, 4, 4, false, false},  // only the first four keyframes
        {ValueMode::Keyframe, 1, 4, 1, false, false},   // one keyframe is a table of one
        {ValueMode::Keyframe, 0, 4, 1, true, false},   {ValueMode::Keyframe2, 2, 5, 5, false, true},
        {ValueMode::Keyframe2, 1, 5, 1, true, false},  // nothing to sample between
        {ValueMode::Keyframe2, 5, 1, 1, true, false},  // one instance: no step
    };
    for (const Case &c : cases) {
        const KeyframeTablePlan plan = planKeyframeTable(c.rule, c.keyframes, c.count);
        EXPECT_EQ(plan.length, c.length) << c.rule << " " << c.keyframes << " " << c.count;
        EXPECT_EQ(plan.fallback, c.fallback) << c.rule << " " << c.keyframes << " " << c.count;
        EXPECT_EQ(plan.sampled, c.sampled) << c.rule << " " << c.keyframes << " " << c.count;
    }
}

TEST(KeyframeTables, SampleTimesTruncateEachStepFromTheFirstKeyframe) {
    struct Case {
        A_Time first, last;
        A_long count;
        std::vector<A_long> values;
    };
    const Case cases[] = {
        {{0, 30000}, {60000, 30000}, 5, {0, 15000, 30000, 45000, 60000}},
        {{0, 30000}, {10, 30000}, 4, {0, 3, 6, 10}},                           // 10/3 per step: 3.33, 6.67 truncated
        {{100, 30000}, {-20, 30000}, 4, {100, 60, 20, -20}},                   // backwards in time
        {{5, 30000}, {-6, 30000}, 3, {5, 0, -6}},                              // -5.5 truncates towards zero
        {{-2000000000, 1}, {2000000000, 1}, 3, {-2000000000, 0, 2000000000}},  // span beyond 32 bits
    };
    for (const Case &c : cases) {
        for (A_long e = 0; e < c.count; ++e) {
            const A_Time t = sampleTime(c.first, c.last, e, c.count);
            EXPECT_EQ(t.value, c.values[static_cast<size_t>(e)]) << c.first.value << ".." << c.last.value << " " << e;
            EXPECT_EQ(t.scale, c.first.scale);
        }
    }
    // Many instances over a long span: the product e * span needs 64 bits.
    const A_Time t = sampleTime({0, 1}, {2000000000, 1}, 1000000, 1000001);
    EXPECT_EQ(t.value, 2000000000);
}

AEGP_StreamVal2 oneD(double v) {
    AEGP_StreamVal2 value{};
    value.one_d = v;
    return value;
}

TEST(KeyframeTables, RadiusOpacityAndShapeEntries) {
    struct Case {
        KeyframedAttribute attribute;
        double value;
        bool layer;
        double radius, opacity;
        A_long sides;
    };
    const Case cases[] = {
        {KeyframedAttribute::Radius, 30, false, 15, 0, 0},  // half resolution
        {KeyframedAttribute::Opacity, 50, false, 0, 0.5, 0},
        {KeyframedAttribute::Opacity, 0, false, 0, 0, 0},
        {KeyframedAttribute::Shape, 5.9, false, 0, 0, 5},  // truncated
        {KeyframedAttribute::Shape, 1, false, 0, 0, 2},    // no layer: a circle
        {KeyframedAttribute::Shape, 1, true, 0, 0, 1},
        {KeyframedAttribute::Shape, 1e12, false, 0, 0, std::numeric_limits<A_long>::max()},
        {KeyframedAttribute::Shape, std::nan(""), false, 0, 0, std::numeric_limits<A_long>::min()},
    };
    for (const Case &c : cases) {
        PatternInstance entry{};
        storeKeyframeValue(c.attribute, oneD(c.value), KeyframeConversion{0.5, c.layer}, entry);
        EXPECT_EQ(entry.radius, c.radius) << c.value;
        EXPECT_DOUBLE_EQ(entry.opacity, c.opacity) << c.value;
        EXPECT_EQ(entry.shapeSides, c.sides) << c.value;
    }
}

TEST(KeyframeTables, ColourEntriesTruncateEachIntegerForm) {
    AEGP_StreamVal2 value{};
    value.color = {1.0, 0.5, 0.999, 2.0 / 255.0};
    PatternInstance entry{};
    storeKeyframeValue(KeyframedAttribute::Stroke, value, KeyframeConversion{1, false}, entry);
    EXPECT_EQ(entry.strokeColorF.red, 0.5f);
    EXPECT_EQ(entry.strokeColorF.green, 0.999f);
    const PF_Pixel p8 = entry.strokeColor8;
    EXPECT_EQ(p8.alpha, 255);
    EXPECT_EQ(p8.red, 127);    // 127.5
    EXPECT_EQ(p8.green, 254);  // 254.745
    EXPECT_EQ(p8.blue, 2);
    const PF_Pixel16 p16 = entry.strokeColor16;
    EXPECT_EQ(p16.alpha, 32768);
    EXPECT_EQ(p16.red, 16384);
    EXPECT_EQ(p16.green, 32735);  // 32735.2
    EXPECT_EQ(p16.blue, 257);     // 257.004
    // The fill form of the record stays as it was.
    EXPECT_EQ(entry.fillColor8.alpha, 0);
}

TEST(KeyframeTables, FallbackEntriesAreTheParameters) {
    PatternParams params = defaultPatternParams();
    params.firstRadius = 12.5;
    params.opacity = 0.25;
    params.color = {255, 10, 128, 200};
    PatternInstance entry{};
    for (KeyframedAttribute attribute : kKeyframedAttributes) storeFallbackEntry(attribute, params, entry);
    EXPECT_EQ(entry.radius, 12.5);
    EXPECT_EQ(entry.opacity, 0.25);
    EXPECT_EQ(entry.shapeSides, 2);
    EXPECT_EQ(entry.fillColor8.green, 128);
    EXPECT_EQ(entry.fillColor16.green, 16448);  // 128 -> 16-bit by the host's 8-to-16 rule
    EXPECT_EQ(entry.fillColorF.green, 128.0f / 255.0f);
    EXPECT_EQ(entry.strokeColor8.red, params.strokeColor.red);
}

TEST(KeyframeTables, LargestRadiusIsTheLargestEntryOrTheDeltaBound) {
    PatternParams params = defaultPatternParams();
    params.firstRadius = 10.2;
    params.deltaRadius = 5;
    std::vector<PatternInstance> instances(4);
    instances[0].radius = 7;
    instances[1].radius = 31.5;
    instances[2].radius = 3;
    instances[3].radius = 90;  // beyond the table: not an entry
    KeyframeTables tables;
    tables.radiusLength = 3;
    EXPECT_EQ(largestRadius(params, tables, instances.data()), 16);  // "Normal": ceil(10.2 + 5)
    params.radiusMode = ValueMode::Keyframe2;
    EXPECT_EQ(largestRadius(params, tables, instances.data()), 32);
    params.deltaRadius = -5;
    params.radiusMode = ValueMode::Normal;
    EXPECT_EQ(largestRadius(params, tables, instances.data()), 11);
}

TEST(KeyframeTables, RulesFollowTheModes) {
    PatternParams params = defaultPatternParams();
    EXPECT_FALSE(readsKeyframes(params));
    params.strokeMode = StrokeMode::Dependent;
    params.shapeMode = ShapeMode::Layer;
    EXPECT_FALSE(readsKeyframes(params));
    params.opacityMode = ValueMode::Keyframe2;
    EXPECT_EQ(keyframeRule(params, KeyframedAttribute::Opacity), ValueMode::Keyframe2);
    params.shapeMode = ShapeMode::Keyframe;
    EXPECT_EQ(keyframeRule(params, KeyframedAttribute::Shape), ValueMode::Keyframe);
    EXPECT_TRUE(readsKeyframes(params));
    EXPECT_EQ(keyframeCount(1000, true, 13), 13);
    EXPECT_EQ(keyframeCount(1000, false, 13), 1000);
}

}  // namespace
