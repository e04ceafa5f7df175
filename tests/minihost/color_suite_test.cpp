// minihost's float colour suite: RGB <-> hue, lightness, saturation and luminance.
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "hostapi/pf_suites.h"
#include "minihost/host_internals.h"

namespace minihost {
namespace {

constexpr PF_Fixed fixedOf(double v) { return static_cast<PF_Fixed>(v * 65536 + (v >= 0 ? 0.5 : -0.5)); }

struct ColorSuite : ::testing::Test {
    Host host;
    PF_ProgPtr ref = refFromHost(host);
    const PF_ColorCallbacksFloatSuite1 &suite = *static_cast<const PF_ColorCallbacksFloatSuite1 *>(colorFloatSuite());

    void toHls(PF_PixelFloat p, PF_HLS_Pixel hls) { ASSERT_EQ(suite.RGBtoHLS(ref, &p, hls), PF_Err_NONE); }
    PF_PixelFloat toRgb(double h, double l, double s, float alpha = 0.25f) {
        PF_HLS_Pixel hls = {fixedOf(h), fixedOf(l), fixedOf(s)};
        PF_PixelFloat p = {alpha, -1, -1, -1};
        EXPECT_EQ(suite.HLStoRGB(ref, hls, &p), PF_Err_NONE);
        return p;
    }
    PF_PixelFloat roundTrip(PF_PixelFloat p) {
        PF_HLS_Pixel hls;
        EXPECT_EQ(suite.RGBtoHLS(ref, &p, hls), PF_Err_NONE);
        PF_PixelFloat back = p;
        EXPECT_EQ(suite.HLStoRGB(ref, hls, &back), PF_Err_NONE);
        return back;
    }
};

bool sameBits(const PF_PixelFloat &a, const PF_PixelFloat &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct KnownColor {
    const char *name;
    PF_PixelFloat rgb;  // alpha, red, green, blue
    double hue, lightness, saturation;
};

const KnownColor knownColors[] = {
    {"black", {1, 0, 0, 0}, 0, 0, 0},
    {"white", {1, 1, 1, 1}, 0, 1, 0},
    {"grey", {1, 0.5f, 0.5f, 0.5f}, 0, 0.5, 0},
    {"red", {1, 1, 0, 0}, 0, 0.5, 1},
    {"yellow", {1, 1, 1, 0}, 60, 0.5, 1},
    {"green", {1, 0, 1, 0}, 120, 0.5, 1},
    {"cyan", {1, 0, 1, 1}, 180, 0.5, 1},
    {"blue", {1, 0, 0, 1}, 240, 0.5, 1},
    {"magenta", {1, 1, 0, 1}, 300, 0.5, 1},
    {"dark red", {1, 0.5f, 0, 0}, 0, 0.25, 1},
    {"pale blue", {1, 0.75f, 0.75f, 1}, 240, 0.875, 1},
    {"orange", {1, 1, 0.5f, 0}, 30, 0.5, 1},
    {"muted violet", {1, 0.5f, 0.25f, 0.75f}, 270, 0.5, 0.5},
};

TEST_F(ColorSuite, KnownColorsConvertToTheirHueLightnessAndSaturation) {
    for (const KnownColor &c : knownColors) {
        SCOPED_TRACE(c.name);
        PF_HLS_Pixel hls = {-1, -1, -1};
        toHls(c.rgb, hls);
        EXPECT_EQ(hls[0], fixedOf(c.hue));
        EXPECT_EQ(hls[1], fixedOf(c.lightness));
        EXPECT_EQ(hls[2], fixedOf(c.saturation));
    }
}

TEST_F(ColorSuite, KnownHueLightnessAndSaturationConvertBackExactly) {
    for (const KnownColor &c : knownColors) {
        SCOPED_TRACE(c.name);
        const PF_PixelFloat p = toRgb(c.hue, c.lightness, c.saturation);
        EXPECT_EQ(p.red, c.rgb.red);
        EXPECT_EQ(p.green, c.rgb.green);
        EXPECT_EQ(p.blue, c.rgb.blue);
    }
}

TEST_F(ColorSuite, AlphaIsLeftAlone) {
    for (float alpha : {0.0f, 0.25f, 1.0f, 7.5f}) {
        EXPECT_EQ(toRgb(120, 0.5, 1, alpha).alpha, alpha);
    }
    PF_PixelFloat p = {0.3f, 1, 0, 0};
    PF_HLS_Pixel hls;
    ASSERT_EQ(suite.RGBtoHLS(ref, &p, hls), PF_Err_NONE);
    EXPECT_EQ(p.alpha, 0.3f);
}

TEST_F(ColorSuite, EveryEightBitGreyAndPureHueSurvivesTheRoundTrip) {
    for (int level = 0; level <= 255; ++level) {
        const float v = level / 255.0f;
        const PF_PixelFloat cases[] = {
            {0.5f, v, v, v}, {0.5f, v, 0, 0}, {0.5f, 0, v, 0}, {0.5f, 0, 0, v},
            {0.5f, v, v, 0}, {0.5f, 0, v, v}, {0.5f, v, 0, v}, {0.5f, 1, v, 0},
        };
        for (const PF_PixelFloat &p : cases) {
            const PF_PixelFloat back = roundTrip(p);
            EXPECT_TRUE(sameBits(back, p)) << level << ": " << back.red << " " << back.green << " " << back.blue;
        }
    }
}

TEST_F(ColorSuite, EightBitColoursSurviveTheRoundTrip) {
    int failures = 0;
    for (int r = 0; r < 256; r += 3)
        for (int g = 1; g < 256; g += 5)
            for (int b = 2; b < 256; b += 7) {
                const PF_PixelFloat p = {1, r / 255.0f, g / 255.0f, b / 255.0f};
                failures += !sameBits(roundTrip(p), p);
            }
    EXPECT_EQ(failures, 0);
}

TEST_F(ColorSuite, SixteenBitGreysSurviveExceptNextToAnEightBitLevel) {
    // 16.16 holds a 16-bit channel exactly; only those within 2^-15 of an
    // 8-bit level are taken as that level.
    for (int k = 0; k <= 32768; k += 37) {
        const float v = k / 32768.0f;
        const PF_PixelFloat back = roundTrip({1, v, v, v});
        const double level = std::floor(v * 255.0 + 0.5) / 255.0;
        if (std::fabs(v - level) > 2.0 / 65536)
            EXPECT_EQ(back.red, v) << k;
        else
            EXPECT_EQ(back.red, static_cast<float>(level)) << k;
        EXPECT_EQ(back.red, back.green);
        EXPECT_EQ(back.red, back.blue);
    }
}

TEST_F(ColorSuite, HueWrapsIntoOneTurn) {
    struct Case {
        double hue;
        PF_PixelFloat expected;
    };
    const Case cases[] = {
        {360, {0.25f, 1, 0, 0}},  {480, {0.25f, 0, 1, 0}},      {-120, {0.25f, 0, 0, 1}},
        {-360, {0.25f, 1, 0, 0}}, {720 + 60, {0.25f, 1, 1, 0}}, {-60, {0.25f, 1, 0, 1}},
    };
    for (const Case &c : cases) {
        EXPECT_TRUE(sameBits(toRgb(c.hue, 0.5, 1), c.expected)) << c.hue;
    }
}

TEST_F(ColorSuite, HueJustBelowATurnStaysBelowIt) {
    // A red a hair towards magenta: hue just under 360, never 360 itself.
    PF_HLS_Pixel hls;
    toHls({1, 1, 0, 1e-6f}, hls);
    EXPECT_LT(hls[0], fixedOf(360));
    EXPECT_GE(hls[0], 0);
}

TEST_F(ColorSuite, LightnessAndSaturationOutOfRangeClamp) {
    EXPECT_TRUE(sameBits(toRgb(0, 1.5, 1), PF_PixelFloat{0.25f, 1, 1, 1}));
    EXPECT_TRUE(sameBits(toRgb(0, -0.5, 1), PF_PixelFloat{0.25f, 0, 0, 0}));
    EXPECT_TRUE(sameBits(toRgb(0, 0.5, 2), PF_PixelFloat{0.25f, 1, 0, 0}));
    EXPECT_TRUE(sameBits(toRgb(0, 0.5, -1), PF_PixelFloat{0.25f, 0.5f, 0.5f, 0.5f}));
}

TEST_F(ColorSuite, ChannelsOutsideTheUnitRangeAreTakenAtTheBound) {
    PF_HLS_Pixel hls;
    toHls({1, 2.5f, -1, std::nanf("")}, hls);
    EXPECT_EQ(hls[0], 0);
    EXPECT_EQ(hls[1], fixedOf(0.5));
    EXPECT_EQ(hls[2], fixedOf(1));
}

TEST_F(ColorSuite, LuminanceInPercent) {
    struct Case {
        PF_PixelFloat rgb;
        float percent;
    };
    const Case cases[] = {
        {{1, 0, 0, 0}, 0}, {{1, 1, 1, 1}, 100}, {{1, 1, 0, 0}, 29.9f}, {{1, 0, 1, 0}, 58.7f}, {{1, 0, 0, 1}, 11.4f}};
    for (const Case &c : cases) {
        PF_PixelFloat p = c.rgb;
        A_FpShort lum = -1;
        ASSERT_EQ(suite.Luminance(ref, &p, &lum), PF_Err_NONE);
        EXPECT_NEAR(lum, c.percent, 1e-4);
    }
}

TEST_F(ColorSuite, InjectedFaultsLeaveTheResultsUntouched) {
    host.logCalls = true;
    PF_PixelFloat p = {1, 1, 0, 0};
    PF_HLS_Pixel hls = {7, 8, 9};
    host.faults.failCall["RGBtoHLS"] = {1, PF_Err_INTERNAL_STRUCT_DAMAGED};
    EXPECT_EQ(suite.RGBtoHLS(ref, &p, hls), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(hls[0], 7);
    EXPECT_EQ(hls[1], 8);
    EXPECT_EQ(hls[2], 9);
    host.faults.failCall["HLStoRGB"] = {1, PF_Err_OUT_OF_MEMORY};
    EXPECT_EQ(suite.HLStoRGB(ref, hls, &p), PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(sameBits(p, PF_PixelFloat{1, 1, 0, 0}));
    // The second calls go through.
    EXPECT_EQ(suite.RGBtoHLS(ref, &p, hls), PF_Err_NONE);
    EXPECT_EQ(suite.HLStoRGB(ref, hls, &p), PF_Err_NONE);
    ASSERT_EQ(host.calls.size(), 4u);
    EXPECT_EQ(host.calls[0].function, "RGBtoHLS");
    EXPECT_EQ(host.calls[0].result, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(host.calls[1].function, "HLStoRGB");
}

}  // namespace
}  // namespace minihost
