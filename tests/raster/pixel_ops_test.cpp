// Over composite, colour mix and depth conversions at the three pixel depths:
// worked values, and exhaustive or seeded sweeps against plain formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "raster/pixel_format.h"
#include "raster/pixel_ops.h"
#include "tests/raster/seeded_values.h"
#include "tests/support/same_pixel.h"

namespace {

// FNV-1a over the channels, to pin whole sweeps.
struct Checksum {
    uint64_t h = 1469598103934665603ull;
    void add(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            h ^= (v >> (8 * i)) & 0xffu;
            h *= 1099511628211ull;
        }
    }
};

// Plain reference of the integer over: real arithmetic with floor, no early
// outs except the two that replace the pixel whole. `full` is the opaque
// alpha; the bottom's weight is taken out of `base` (256 at 8 bits, 32768 at
// 16 bits).
template <class Pixel>
Pixel referenceOverInteger(Pixel b, Pixel t, double full, double base) {
    if (b.alpha == 0 || t.alpha == full) return t;
    if (t.alpha == 0) return b;
    using Channel = decltype(b.alpha);
    const double w = std::floor((base - t.alpha) * b.alpha / base);
    const double a = std::min(full, t.alpha + w);
    auto c = [&](double tc, double bc) {
        return static_cast<Channel>(std::min(full, std::floor((tc * t.alpha + bc * w) / a)));
    };
    return Pixel{static_cast<Channel>(a), c(t.red, b.red), c(t.green, b.green), c(t.blue, b.blue)};
}

PF_Pixel referenceOver8(PF_Pixel b, PF_Pixel t) { return referenceOverInteger(b, t, 255.0, 256.0); }
PF_Pixel16 referenceOver16(PF_Pixel16 b, PF_Pixel16 t) { return referenceOverInteger(b, t, 32768.0, 32768.0); }

TEST(CompositeOver8Test, WorkedValues) {
    const PF_Pixel half = compositeOver8(PF_Pixel{255, 0, 0, 0}, PF_Pixel{128, 255, 0, 0});
    EXPECT_TRUE(samePixel(half, PF_Pixel{255, 128, 0, 0}));
    // Transparent bottom and opaque top both return the top whole.
    const PF_Pixel top{77, 1, 2, 3};
    EXPECT_TRUE(samePixel(compositeOver8(PF_Pixel{0, 200, 200, 200}, top), top));
    const PF_Pixel opaque{255, 9, 8, 7};
    EXPECT_TRUE(samePixel(compositeOver8(PF_Pixel{200, 200, 200, 200}, opaque), opaque));
    // A transparent top leaves the bottom alone.
    const PF_Pixel bottom{10, 20, 30, 40};
    EXPECT_TRUE(samePixel(compositeOver8(bottom, PF_Pixel{0, 255, 255, 255}), bottom));
}

TEST(CompositeOver8Test, OpaqueBottomStaysOpaque) {
    for (int a = 1; a <= 254; ++a) {
        const PF_Pixel r = compositeOver8(PF_Pixel{255, 10, 20, 30}, PF_Pixel{static_cast<A_u_char>(a), 200, 100, 0});
        ASSERT_EQ(r.alpha, 255) << a;
    }
}

TEST(CompositeOver8Test, AllAlphaPairsMatchReference) {
    const PF_Pixel colours[][2] = {
        {{0, 0, 0, 0}, {0, 255, 255, 255}},
        {{0, 255, 128, 1}, {0, 0, 127, 254}},
        {{0, 17, 200, 99}, {0, 250, 3, 60}},
        {{0, 255, 255, 255}, {0, 255, 255, 255}},
    };
    Checksum sum;
    for (const auto &pair : colours) {
        for (int ba = 0; ba < 256; ++ba) {
            for (int ta = 0; ta < 256; ++ta) {
                PF_Pixel b = pair[0], t = pair[1];
                b.alpha = static_cast<A_u_char>(ba);
                t.alpha = static_cast<A_u_char>(ta);
                const PF_Pixel r = compositeOver8(b, t);
                ASSERT_TRUE(samePixel(r, referenceOver8(b, t))) << "bottom " << ba << " top " << ta;
                ASSERT_LE(r.alpha, 255);
                sum.add(uint32_t(r.alpha) | uint32_t(r.red) << 8 | uint32_t(r.green) << 16 | uint32_t(r.blue) << 24);
            }
        }
    }
    EXPECT_EQ(sum.h, 0x5a9353ed2a1e10b9ull);
}

TEST(CompositeOver16Test, WorkedValues) {
    const PF_Pixel16 top{32768, 1, 2, 3};
    EXPECT_TRUE(samePixel(compositeOver16(PF_Pixel16{20000, 5, 5, 5}, top), top));
    const PF_Pixel16 r = compositeOver16(PF_Pixel16{32768, 0, 0, 32768}, PF_Pixel16{16384, 32768, 0, 0});
    EXPECT_TRUE(samePixel(r, PF_Pixel16{32768, 16384, 0, 16384}));
}

TEST(CompositeOver16Test, SeededPairsMatchReference) {
    SeededValues rng{16};
    auto channel = [&](SeededValues &r) { return r.range(0, 32768); };
    Checksum sum;
    for (int i = 0; i < 200000; ++i) {
        auto pick = [&] {
            // Bias a quarter of the alphas to the exact bounds.
            int a = channel(rng);
            if (i % 8 == 1) a = 0;
            if (i % 8 == 2) a = 32768;
            return PF_Pixel16{static_cast<A_u_short>(a), static_cast<A_u_short>(channel(rng)),
                              static_cast<A_u_short>(channel(rng)), static_cast<A_u_short>(channel(rng))};
        };
        const PF_Pixel16 b = pick(), t = pick();
        const PF_Pixel16 r = compositeOver16(b, t);
        ASSERT_TRUE(samePixel(r, referenceOver16(b, t))) << i;
        sum.add(uint32_t(r.alpha) | uint32_t(r.red) << 16);
        sum.add(uint32_t(r.green) | uint32_t(r.blue) << 16);
    }
    EXPECT_EQ(sum.h, 0x05b3f63a34a670a7ull);
}

TEST(CompositeOverFloatTest, WorkedValues) {
    const PF_PixelFloat top{0.5f, 0.25f, 0.5f, 1.0f};
    EXPECT_TRUE(samePixel(compositeOverFloat(PF_PixelFloat{0.0f, 1.0f, 1.0f, 1.0f}, top), top));
    const PF_PixelFloat r =
        compositeOverFloat(PF_PixelFloat{1.0f, 0.0f, 0.0f, 1.0f}, PF_PixelFloat{0.5f, 1.0f, 0.0f, 0.0f});
    EXPECT_TRUE(samePixel(r, PF_PixelFloat{1.0f, 0.5f, 0.0f, 0.5f}));
    // Colour is not clamped: out-of-range channels pass through the weighting.
    const PF_PixelFloat hdr =
        compositeOverFloat(PF_PixelFloat{0.5f, 4.0f, -1.0f, 0.0f}, PF_PixelFloat{0.5f, 4.0f, -1.0f, 0.0f});
    EXPECT_FLOAT_EQ(hdr.red, 4.0f);
    EXPECT_FLOAT_EQ(hdr.green, -1.0f);
    EXPECT_EQ(hdr.alpha, 0.75f);
}

TEST(CompositeOverFloatTest, SeededPairsMatchSinglePrecisionFormula) {
    SeededValues rng{32};
    auto unit = [](SeededValues &r) { return static_cast<float>(r.unit()); };
    for (int i = 0; i < 100000; ++i) {
        const PF_PixelFloat b{unit(rng), unit(rng), unit(rng), unit(rng)};
        const PF_PixelFloat t{unit(rng), unit(rng), unit(rng), unit(rng)};
        const PF_PixelFloat r = compositeOverFloat(b, t);
        volatile float w = (1.0f - t.alpha) * b.alpha;  // keep every step in single precision
        volatile float a = w + t.alpha;
        const float aa = a > 1.0f ? 1.0f : a;
        ASSERT_EQ(r.alpha, aa) << i;
        volatile float red = b.red * w;
        volatile float redTop = t.red * t.alpha;
        volatile float redSum = red + redTop;
        ASSERT_EQ(r.red, redSum / aa) << i;
    }
}

TEST(MixPixelsTest, EndsReturnTheWholeColour) {
    const PF_Pixel fill{10, 200, 100, 50}, stroke{20, 0, 50, 250};
    EXPECT_TRUE(samePixel(mixPixels8(fill, stroke, 0.0), stroke));  // stroke keeps its alpha
    EXPECT_TRUE(samePixel(mixPixels8(fill, stroke, 1.0), fill));
    const PF_Pixel16 fill16{1, 32768, 0, 7}, stroke16{2, 0, 32768, 9};
    EXPECT_TRUE(samePixel(mixPixels16(fill16, stroke16, 0.0), stroke16));
    EXPECT_TRUE(samePixel(mixPixels16(fill16, stroke16, 1.0), fill16));
    const PF_PixelFloat fillF{0.1f, 0.2f, 0.3f, 0.4f}, strokeF{0.5f, 0.6f, 0.7f, 0.8f};
    EXPECT_TRUE(samePixel(mixPixelsFloat(fillF, strokeF, 0.0), strokeF));
    EXPECT_TRUE(samePixel(mixPixelsFloat(fillF, strokeF, 1.0), fillF));
}

TEST(MixPixelsTest, BetweenIsOpaqueAndTruncated) {
    EXPECT_TRUE(samePixel(mixPixels16(PF_Pixel16{3, 32768, 0, 0}, PF_Pixel16{4, 0, 0, 0}, 0.5),
                          PF_Pixel16{32768, 16384, 0, 0}));
    // 255 * 0.3 = 76.5 truncates to 76; 0 * 0.7 + 100 * 0.3 = 30 (from 29.99...).
    const PF_Pixel m = mixPixels8(PF_Pixel{0, 255, 100, 0}, PF_Pixel{0, 0, 0, 255}, 0.3);
    EXPECT_EQ(m.alpha, 255);
    EXPECT_EQ(m.red, static_cast<int>(255 * 0.3));
    EXPECT_EQ(m.green, static_cast<int>(100 * 0.3));
    EXPECT_EQ(m.blue, static_cast<int>(255 * 0.7));
    const PF_PixelFloat f =
        mixPixelsFloat(PF_PixelFloat{0.0f, 1.0f, 0.0f, 0.0f}, PF_PixelFloat{0.0f, 0.0f, 1.0f, 0.0f}, 0.25);
    EXPECT_TRUE(samePixel(f, PF_PixelFloat{1.0f, 0.25f, 0.75f, 0.0f}));
}

TEST(MixPixelsTest, SeededMixesMatchDoubleFormula) {
    SeededValues rng{8};
    auto c8 = [](SeededValues &r) { return r.range(0, 255); };
    auto unit = [](SeededValues &r) { return r.unit(); };
    for (int i = 0; i < 100000; ++i) {
        const PF_Pixel p1{0, static_cast<A_u_char>(c8(rng)), static_cast<A_u_char>(c8(rng)), 0};
        const PF_Pixel p0{0, static_cast<A_u_char>(c8(rng)), static_cast<A_u_char>(c8(rng)), 0};
        const double t = unit(rng);
        const PF_Pixel m = mixPixels8(p1, p0, t);
        ASSERT_EQ(m.red, static_cast<int>(std::trunc(p0.red * (1.0 - t) + p1.red * t))) << i;
        ASSERT_EQ(m.green, static_cast<int>(std::trunc(p0.green * (1.0 - t) + p1.green * t)));
    }
}

TEST(ConvertTest, EightToSixteen) {
    const int pairs[][2] = {{0, 0}, {1, 129}, {128, 16448}, {254, 32640}, {255, 32768}};
    for (const auto &p : pairs) {
        const A_u_char c = static_cast<A_u_char>(p[0]);
        const PF_Pixel16 r = convert8To16(PF_Pixel{c, c, c, c});
        EXPECT_TRUE(samePixel(r, PF_Pixel16{static_cast<A_u_short>(p[1]), static_cast<A_u_short>(p[1]),
                                            static_cast<A_u_short>(p[1]), static_cast<A_u_short>(p[1])}))
            << p[0];
    }
    for (int c = 0; c < 256; ++c) {
        const PF_Pixel16 r = convert8To16(PF_Pixel{0, static_cast<A_u_char>(c), 0, 0});
        ASSERT_EQ(r.red, static_cast<int>(std::floor((c * 32768.0 + 128.0) / 255.0))) << c;
    }
}

TEST(ConvertTest, EightToFloatAndBack) {
    for (int c = 0; c < 256; ++c) {
        const A_u_char v = static_cast<A_u_char>(c);
        const PF_PixelFloat f = convert8ToFloat(PF_Pixel{v, v, v, v});
        ASSERT_EQ(f.alpha, static_cast<float>(c) / 255.0f);
        ASSERT_EQ(f.blue, f.alpha);
    }
    // Truncation, not rounding: 0.999 of full is 254, and 0.5 of 32768 is 16384.
    const PF_Pixel p8 = convertFloatTo8(PF_PixelFloat{1.0f, 0.999f, 0.5f, 0.0f});
    EXPECT_TRUE(samePixel(p8, PF_Pixel{255, 254, 127, 0}));
    const PF_Pixel16 p16 = convertFloatTo16(PF_PixelFloat{1.0f, 0.999f, 0.5f, 0.0f});
    EXPECT_TRUE(samePixel(p16, PF_Pixel16{32768, 32735, 16384, 0}));
}

TEST(ConvertTest, OutOfRangeFloatsArePinnedNotWrapped) {
    const PF_Pixel p8 = convertFloatTo8(PF_PixelFloat{1.5f, -0.25f, NAN, 1.0001f});
    EXPECT_TRUE(samePixel(p8, PF_Pixel{255, 0, 0, 255}));
    const PF_Pixel16 p16 = convertFloatTo16(PF_PixelFloat{1.5f, -0.25f, 3.0f, 1.0f});
    EXPECT_TRUE(samePixel(p16, PF_Pixel16{49152, 0, 65535, 32768}));
}

TEST(PixelFormatTest, FormatCodesMapToDepths) {
    PixelDepth depth = Depth8;
    ASSERT_TRUE(pixelDepthFromFormat(PF_PixelFormat_ARGB128, depth));
    EXPECT_EQ(depth, DepthFloat);
    ASSERT_TRUE(pixelDepthFromFormat(PF_PixelFormat_ARGB64, depth));
    EXPECT_EQ(depth, Depth16);
    ASSERT_TRUE(pixelDepthFromFormat(PF_PixelFormat_ARGB32, depth));
    EXPECT_EQ(depth, Depth8);
    EXPECT_FALSE(pixelDepthFromFormat(PF_PixelFormat_INVALID, depth));
    EXPECT_FALSE(pixelDepthFromFormat(0, depth));
    EXPECT_EQ(depth, Depth8);  // untouched on failure
}

TEST(PixelFormatTest, RowPixelsDividesByPixelSize) {
    EXPECT_EQ(rowPixels(1920 * 4 + 12, Depth8), 1923);
    EXPECT_EQ(rowPixels(1920 * 8, Depth16), 1920);
    EXPECT_EQ(rowPixels(1920 * 16 + 16, DepthFloat), 1921);
}

}  // namespace
