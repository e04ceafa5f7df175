// Hue, lightness and saturation steps, random offsets and normalisation in 16.16.
#include <gtest/gtest.h>

#include "engine/hsl_color.h"

namespace {

constexpr int32_t kOne = 65536;

int32_t degrees(int d) { return d * kOne; }

TEST(HslStepTest, HueWrapsThroughZero) {
    // Base hue 350, a total change of 40 degrees over three instances.
    HslColor c{degrees(350), kOne / 2, kOne / 2};
    const double stepTurns = (40.0 / 360.0) / 2.0;
    const int32_t expected[] = {degrees(350), degrees(10), degrees(30)};
    for (int32_t hue : expected) {
        EXPECT_EQ(c.hue, hue);
        applyHslStep(c, stepTurns, 0.0, 0.0);
    }
    EXPECT_EQ(c.lightness, kOne / 2);
    EXPECT_EQ(c.saturation, kOne / 2);
}

TEST(HslStepTest, LightnessClampsAndStaysAtTheBound) {
    HslColor c{0, 58982, 0};  // lightness 0.9
    applyHslStep(c, 0.0, 0.25, 0.0);
    EXPECT_EQ(c.lightness, kOne);
    applyHslStep(c, 0.0, 0.25, 0.0);
    EXPECT_EQ(c.lightness, kOne);
    // A later step back starts from the clamped value, not from 1.15.
    applyHslStep(c, 0.0, -0.25, 0.0);
    EXPECT_EQ(c.lightness, kOne * 3 / 4);
}

TEST(HslStepTest, SaturationClampsAtZero) {
    HslColor c{0, 0, kOne / 4};
    applyHslStep(c, 0.0, 0.0, -0.5);
    EXPECT_EQ(c.saturation, 0);
    applyHslStep(c, 0.0, 0.0, 0.125);
    EXPECT_EQ(c.saturation, kOne / 8);
}

TEST(HslStepTest, TinyNegativeHueIsStoredAsExactly360) {
    // 360 + (-1e-6) rounds back to 360 in single precision.
    HslColor c{0, 0, 0};
    applyHslStep(c, -1e-6 / 360.0, 0.0, 0.0);
    EXPECT_EQ(c.hue, degrees(360));
}

TEST(HslStepTest, WholeTurnsWrapBothWays) {
    HslColor c{degrees(90), 0, 0};
    applyHslStep(c, 2.0, 0.0, 0.0);  // 720 degrees
    EXPECT_EQ(c.hue, degrees(90));
    applyHslStep(c, -0.5, 0.0, 0.0);
    EXPECT_EQ(c.hue, degrees(270));
}

TEST(HslVarianceTest, LightnessReflectsAtOne) {
    // The second draw of seed 0 times this variance is an offset of +0.1.
    PatternRandom random = makePatternRandom(0);
    HslColor c{degrees(200), 62259, kOne / 2};  // lightness 0.95
    applyHslVariance(c, 0.0, 0.32226036313333545, 0.0, random);
    EXPECT_EQ(c.lightness, 62259);  // 1.05 reflected to 0.95, not clamped to 1
    EXPECT_EQ(c.hue, degrees(200));
    EXPECT_EQ(c.saturation, kOne / 2);
}

TEST(HslVarianceTest, NegativeValuesReflectAtZero) {
    // Seed 1's third draw is 0.3086...: with variance 1 the offset is -0.3827.
    PatternRandom random = makePatternRandom(1);
    HslColor c{0, kOne / 2, kOne / 8};
    applyHslVariance(c, 0.0, 0.0, 1.0, random);
    const double offset = 0.3086515162140131 * 2.0 - 1.0;
    EXPECT_NEAR(c.saturation / 65536.0, -(0.125 + offset), 1.0 / 65536.0);
}

struct HueVarianceCase {
    int32_t seed;
    int32_t hue;  // base hue 0, hue variance 100 %
};

TEST(HslVarianceTest, FullHueVarianceSpansMinus360To360) {
    // Offsets for seeds 0, 1, 50000: -359.9959, +9.9865, -204.1320 degrees.
    const HueVarianceCase cases[] = {{0, 272}, {1, 654472}, {50000, 10214962}};
    for (const HueVarianceCase &c : cases) {
        PatternRandom random = makePatternRandom(c.seed);
        HslColor color{0, kOne / 2, kOne / 2};
        applyHslVariance(color, 1.0, 0.0, 0.0, random);
        EXPECT_EQ(color.hue, c.hue) << "seed " << c.seed;
        EXPECT_EQ(color.lightness, kOne / 2);
    }
}

TEST(HslVarianceTest, AlwaysTakesThreeDraws) {
    PatternRandom random = makePatternRandom(42);
    PatternRandom expected = makePatternRandom(42);
    for (int i = 0; i < 3; ++i) nextRandom(expected);
    HslColor c{degrees(123), kOne / 3, kOne / 5};
    const HslColor before = c;
    applyHslVariance(c, 0.0, 0.0, 0.0, random);
    EXPECT_EQ(random.state, expected.state);
    EXPECT_EQ(c.hue, before.hue);
    EXPECT_EQ(c.lightness, before.lightness);
    EXPECT_EQ(c.saturation, before.saturation);
}

TEST(HslVarianceTest, FullVariancesStayInRange) {
    PatternRandom random = makePatternRandom(9);
    for (int i = 0; i < 10000; ++i) {
        HslColor c{degrees(i % 361), (i * 7) % (kOne + 1), (i * 13) % (kOne + 1)};
        applyHslVariance(c, 1.0, 1.0, 1.0, random);
        ASSERT_GE(c.hue, 0);
        ASSERT_LE(c.hue, degrees(360));
        ASSERT_GE(c.lightness, 0);
        ASSERT_LE(c.lightness, kOne);
        ASSERT_GE(c.saturation, 0);
        ASSERT_LE(c.saturation, kOne);
    }
}

struct MakeCase {
    double hue, lightness, saturation;
    HslColor expected;
};

TEST(MakeHslColorTest, NormalisesAndRoundsHalfAwayFromZero) {
    const MakeCase cases[] = {
        {-30.0, 1.5, -0.2, {degrees(330), kOne, 0}},
        {725.0, 0.5, 0.25, {degrees(5), kOne / 2, kOne / 4}},
        {360.0, 0.0, 1.0, {0, 0, kOne}},
        {1.5 / 65536.0, 0.5 / 65536.0, 0.49 / 65536.0, {2, 1, 0}},
        {-720.0 + 2.5 / 65536.0, 1.0, 1.0, {3, kOne, kOne}},
    };
    for (const MakeCase &c : cases) {
        const HslColor got = makeHslColor(c.hue, c.lightness, c.saturation);
        EXPECT_EQ(got.hue, c.expected.hue) << c.hue;
        EXPECT_EQ(got.lightness, c.expected.lightness) << c.lightness;
        EXPECT_EQ(got.saturation, c.expected.saturation) << c.saturation;
    }
}

}  // namespace
