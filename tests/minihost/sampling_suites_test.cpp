// minihost's sampling suites at the three depths: nearest-neighbour,
// bilinear and area samples, transparent outside the world.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/pf_suites.h"
#include "minihost/host_internals.h"

namespace minihost {
namespace {

constexpr PF_Fixed fx(double v) { return static_cast<PF_Fixed>(v * 65536); }

// One depth under test: its pixel, its suite, and the channel value of
// level 255. Tests give channels in 0..255 "levels": 16-bit channels hold
// level * 128, float channels level / 255.
template <typename PixelType, typename Suite, const void *(*table)(), Depth worldDepth, int levelFull>
struct DepthCase {
    using Pixel = PixelType;
    using Channel = decltype(Pixel::alpha);
    static constexpr Depth depth = worldDepth;

    static Channel channel(int level) {
        return static_cast<Channel>(Channel(level) * Channel(levelFull) / Channel(255));
    }
    static Pixel make(int a, int r, int g, int b) { return {channel(a), channel(r), channel(g), channel(b)}; }
    static double level(double channel) { return channel * 255 / levelFull; }

    // The suite's functions in table order: nearest, bilinear, area.
    using Function = PF_Err (*)(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB *, Pixel *);
    static Function function(int filter) {
        const auto &[nearest, bilinear, area] = *static_cast<const Suite *>(table());
        const Function functions[] = {nearest, bilinear, area};
        return functions[filter];
    }
};

enum { Nearest, Bilinear, Area };

// Expected channels in levels; 8 and 16 bits are rounded to their own steps.
struct Levels {
    double a, r, g, b;
};

template <typename D>
Levels levelsOf(const typename D::Pixel &p) {
    return {D::level(p.alpha), D::level(p.red), D::level(p.green), D::level(p.blue)};
}

template <typename D>
void expectLevels(const typename D::Pixel &p, Levels e, const char *what) {
    const double tolerance = D::depth == Depth::Bits8 ? 0.5 : (D::depth == Depth::Bits16 ? 0.5 / 128 : 1e-4);
    const Levels got = levelsOf<D>(p);
    EXPECT_NEAR(got.a, e.a, tolerance) << what;
    EXPECT_NEAR(got.r, e.r, tolerance) << what;
    EXPECT_NEAR(got.g, e.g, tolerance) << what;
    EXPECT_NEAR(got.b, e.b, tolerance) << what;
}

template <typename D>
struct Sampling : ::testing::Test {
    using Pixel = typename D::Pixel;
    Host host;
    PF_ProgPtr ref = refFromHost(host);
    const PF_WorldSuite2 &worlds = *static_cast<const PF_WorldSuite2 *>(worldSuite2());
    PF_EffectWorld src{};
    PF_SampPB params{};

    // 4 x 3 world:
    //   row 0: opaque red 200, opaque red 100, transparent (red 50), opaque blue 240
    //   row 1: opaque green 80, half-opaque (128) white, opaque black, opaque grey 100
    //   row 2: all opaque 40, 60, 80, 100 grey
    Sampling() {
        EXPECT_EQ(worlds.PF_NewWorld(ref, 4, 3, false, pixelFormatOf(D::depth), &src), PF_Err_NONE);
        const Pixel rows[3][4] = {
            {D::make(255, 200, 0, 0), D::make(255, 100, 0, 0), D::make(0, 50, 0, 0), D::make(255, 0, 0, 240)},
            {D::make(255, 0, 80, 0), D::make(128, 255, 255, 255), D::make(255, 0, 0, 0), D::make(255, 100, 100, 100)},
            {D::make(255, 40, 40, 40), D::make(255, 60, 60, 60), D::make(255, 80, 80, 80), D::make(255, 100, 100, 100)},
        };
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                reinterpret_cast<Pixel *>(reinterpret_cast<unsigned char *>(src.data) + y * src.rowbytes)[x] =
                    rows[y][x];
        params.src = &src;
    }
    ~Sampling() override { worlds.PF_DisposeWorld(ref, &src); }

    // Area samples take their radii from `params`.
    Pixel sample(int filter, double x, double y) {
        Pixel p = D::make(1, 2, 3, 4);
        EXPECT_EQ(D::function(filter)(ref, fx(x), fx(y), &params, &p), PF_Err_NONE);
        return p;
    }
    Pixel area(double x, double y, double rx, double ry) {
        params.x_radius = fx(rx);
        params.y_radius = fx(ry);
        return sample(Area, x, y);
    }
};

using Depths = ::testing::Types<DepthCase<PF_Pixel, PF_Sampling8Suite1, sampling8Suite, Depth::Bits8, 255>,
                                DepthCase<PF_Pixel16, PF_Sampling16Suite1, sampling16Suite, Depth::Bits16, 32640>,
                                DepthCase<PF_PixelFloat, PF_SamplingFloatSuite1, samplingFloatSuite, Depth::Float, 1>>;
TYPED_TEST_SUITE(Sampling, Depths);

// A sample at a point and what it should give.
struct PointCase {
    double x, y;
    Levels expected;
};

TYPED_TEST(Sampling, NearestTakesThePixelUnderThePoint) {
    const PointCase cases[] = {
        {0.5, 0.5, {255, 200, 0, 0}},
        {0.0, 0.0, {255, 200, 0, 0}},
        {0.999, 0.999, {255, 200, 0, 0}},
        {1.0, 0.0, {255, 100, 0, 0}},
        {3.7, 0.2, {255, 0, 0, 240}},
        {1.5, 1.5, {128, 255, 255, 255}},
        {3.99, 2.99, {255, 100, 100, 100}},
        // Outside: transparent black.
        {-0.01, 0.5, {0, 0, 0, 0}},
        {4.0, 0.5, {0, 0, 0, 0}},
        {0.5, 3.0, {0, 0, 0, 0}},
        {-100, -100, {0, 0, 0, 0}},
    };
    for (const PointCase &c : cases) expectLevels<TypeParam>(this->sample(Nearest, c.x, c.y), c.expected, "nearest");
}

TYPED_TEST(Sampling, BilinearBlendsPixelCentresByAlpha) {
    const PointCase cases[] = {
        {0.5, 0.5, {255, 200, 0, 0}},    // a centre
        {1.0, 0.5, {255, 150, 0, 0}},    // half way between two opaque reds
        {2.0, 0.5, {127.5, 100, 0, 0}},  // opaque red 100 and a transparent pixel: no colour from it
        {0.5, 2.5, {255, 40, 40, 40}},   {1.0, 2.5, {255, 50, 50, 50}},
        {0.5, 3.0, {127.5, 40, 40, 40}},  // half off the bottom edge
        {10, 10, {0, 0, 0, 0}},
    };
    for (const PointCase &c : cases) expectLevels<TypeParam>(this->sample(Bilinear, c.x, c.y), c.expected, "bilinear");
}

TYPED_TEST(Sampling, AreaAveragesTheBoxWithStraightAlpha) {
    struct Case {
        const char *name;
        double x, y, rx, ry;
        Levels expected;
    };
    const Case cases[] = {
        {"one pixel", 0.5, 0.5, 0.5, 0.5, {255, 200, 0, 0}},
        {"two reds", 1.0, 0.5, 1.0, 0.5, {255, 150, 0, 0}},
        {"red and a transparent pixel", 2.0, 0.5, 1.0, 0.5, {127.5, 100, 0, 0}},
        {"a row of greys", 2.0, 2.5, 2.0, 0.5, {255, 70, 70, 70}},
        {"quarter pixels", 2.5, 2.5, 0.25, 0.25, {255, 80, 80, 80}},
        {"half outside on the left", 0.0, 2.5, 1.0, 0.5, {127.5, 40, 40, 40}},
        {"zero radius is nearest", 3.2, 0.7, 0, 0, {255, 0, 0, 240}},
        {"zero y radius: no area, so nearest", 1.0, 2.9, 1.0, 0, {255, 60, 60, 60}},
        {"all outside", 20, 20, 2, 2, {0, 0, 0, 0}},
        {"everything",
         2.0,
         1.5,
         2.0,
         1.5,
         // alpha: ten opaque pixels, one transparent, one at 128, over 12; colour weighted by alpha.
         {(10 * 255.0 + 128) / 12,
          (255 * (200 + 100 + 0 + 0 + 0 + 100 + 40 + 60 + 80 + 100) + 128 * 255.0) / (10 * 255 + 128),
          (255 * (80 + 100 + 40 + 60 + 80 + 100) + 128 * 255.0) / (10 * 255 + 128),
          (255 * (240 + 100 + 40 + 60 + 80 + 100) + 128 * 255.0) / (10 * 255 + 128)}},
    };
    for (const Case &c : cases) expectLevels<TypeParam>(this->area(c.x, c.y, c.rx, c.ry), c.expected, c.name);
}

// Exact results on the same world: 8-bit and 16-bit channels as stored
// (means rounded to nearest, halves up), float channels the exact mean in
// levels / 255 to float precision. Positions and radii in 16.16.
TYPED_TEST(Sampling, ExactValuesOnPixelEdgesAndOutside) {
    using D = TypeParam;
    constexpr PF_Fixed one = 1 << 16, half = one / 2, quarter = one / 4;
    struct Case {
        const char *name;
        int filter;
        PF_Fixed x, y, rx, ry;
        Levels mean;
        int bits8[4], bits16[4];
    };
    constexpr Levels none = {0, 0, 0, 0};
    // clang-format off
    const Case cases[] = {
        {"nearest: left edge of pixel 1", Nearest, one, 0, 0, 0,
         {255, 100, 0, 0}, {255, 100, 0, 0}, {32640, 12800, 0, 0}},
        {"nearest: last position in (0, 1)", Nearest, one - 1, 2 * one - 1, 0, 0,
         {255, 0, 80, 0}, {255, 0, 80, 0}, {32640, 0, 10240, 0}},
        {"nearest: just left of the world", Nearest, -1, 0, 0, 0, none, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"nearest: the right edge", Nearest, 4 * one, 3 * one - 1, 0, 0, none, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"a half-transparent pixel alone", Area, 3 * half, 3 * half, half, half,
         {128, 255, 255, 255}, {128, 255, 255, 255}, {16384, 32640, 32640, 32640}},
        {"half-transparent white and opaque black", Area, 2 * one, 3 * half, one, half,
         {191.5, 32640 / 383.0, 32640 / 383.0, 32640 / 383.0}, {192, 85, 85, 85}, {24512, 10908, 10908, 10908}},
        {"a quarter and three quarters", Area, one + quarter, half, half, half,
         {255, 125, 0, 0}, {255, 125, 0, 0}, {32640, 16000, 0, 0}},
        {"a transparent pixel alone", Area, 5 * half, half, half, half, none, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"half outside: 127.5 rounds up", Area, 0, 5 * half, half, half,
         {127.5, 40, 40, 40}, {128, 40, 40, 40}, {16320, 5120, 5120, 5120}},
        {"three quarters outside, bottom right", Area, 4 * one, 3 * one, one, one,
         {63.75, 100, 100, 100}, {64, 100, 100, 100}, {8160, 12800, 12800, 12800}},
        {"a sixteenth of four pixels each", Area, 2 * one, one, quarter, quarter,
         {159.5, 58140 / 638.0, 32640 / 638.0, 32640 / 638.0}, {160, 91, 51, 51}, {20416, 11664, 6548, 6548}},
        {"wholly outside", Area, -2 * one, 3 * half, one, half, none, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"zero width, some height: nearest", Area, one + quarter, 7 * quarter, 0, 2 * one,
         {128, 255, 255, 255}, {128, 255, 255, 255}, {16384, 32640, 32640, 32640}},
        {"a negative radius: nearest", Area, 7 * half, half, one, -one,
         {255, 0, 0, 240}, {255, 0, 0, 240}, {32640, 0, 0, 30720}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        this->params.x_radius = c.rx;
        this->params.y_radius = c.ry;
        typename D::Pixel p = D::make(1, 2, 3, 4);
        ASSERT_EQ(D::function(c.filter)(this->ref, c.x, c.y, &this->params, &p), PF_Err_NONE);
        const double got[4] = {double(p.alpha), double(p.red), double(p.green), double(p.blue)};
        const double mean[4] = {c.mean.a, c.mean.r, c.mean.g, c.mean.b};
        for (int k = 0; k < 4; ++k) {
            if constexpr (D::depth == Depth::Bits8)
                EXPECT_EQ(got[k], c.bits8[k]) << "channel " << k;
            else if constexpr (D::depth == Depth::Bits16)
                EXPECT_EQ(got[k], c.bits16[k]) << "channel " << k;
            else
                EXPECT_NEAR(got[k], mean[k] / 255, 1e-6) << "channel " << k;
        }
    }
}

TYPED_TEST(Sampling, AWorldOfAnotherDepthOrNoWorldIsRefused) {
    using D = TypeParam;
    PF_EffectWorld other{};
    const PF_PixelFormat otherFormat = pixelFormatOf(D::depth == Depth::Bits8 ? Depth::Float : Depth::Bits8);
    ASSERT_EQ(this->worlds.PF_NewWorld(this->ref, 2, 2, true, otherFormat, &other), PF_Err_NONE);
    typename D::Pixel p = D::make(1, 2, 3, 4);
    PF_SampPB wrong{};
    wrong.src = &other;
    EXPECT_EQ(D::function(Nearest)(this->ref, 0, 0, &wrong, &p), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(D::function(Area)(this->ref, 0, 0, &wrong, &p), PF_Err_BAD_CALLBACK_PARAM);
    wrong.src = nullptr;
    EXPECT_EQ(D::function(Bilinear)(this->ref, 0, 0, &wrong, &p), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(D::function(Nearest)(this->ref, 0, 0, nullptr, &p), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(D::function(Nearest)(this->ref, 0, 0, &this->params, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    expectLevels<D>(p, levelsOf<D>(D::make(1, 2, 3, 4)), "untouched");
    EXPECT_EQ(this->host.ledger.invalidCalls, 5);
    this->worlds.PF_DisposeWorld(this->ref, &other);
}

// The host remembers the world it checked last; a world disposed of must
// not be sampled through a record the plug-in kept.
TYPED_TEST(Sampling, AWorldDisposedOfIsRefusedThroughAKeptRecord) {
    using D = TypeParam;
    PF_EffectWorld world{};
    ASSERT_EQ(this->worlds.PF_NewWorld(this->ref, 2, 2, true, pixelFormatOf(D::depth), &world), PF_Err_NONE);
    PF_EffectWorld kept = world;
    PF_SampPB params{};
    params.src = &kept;
    typename D::Pixel p = D::make(1, 2, 3, 4);
    EXPECT_EQ(D::function(Nearest)(this->ref, 0, 0, &params, &p), PF_Err_NONE);
    EXPECT_EQ(this->worlds.PF_DisposeWorld(this->ref, &world), PF_Err_NONE);
    EXPECT_EQ(D::function(Nearest)(this->ref, 0, 0, &params, &p), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(this->host.ledger.invalidCalls, 1);
}

TYPED_TEST(Sampling, InjectedFaultsLeaveTheResultUntouched) {
    using D = TypeParam;
    this->host.logCalls = true;
    typename D::Pixel p = D::make(1, 2, 3, 4);
    ASSERT_EQ(D::function(Area)(this->ref, fx(0.5), fx(0.5), &this->params, &p), PF_Err_NONE);
    const std::string name = this->host.calls.back().function;
    this->host.faults.failCall[name] = {2, PF_Err_OUT_OF_MEMORY};
    p = D::make(1, 2, 3, 4);
    EXPECT_EQ(D::function(Area)(this->ref, fx(0.5), fx(0.5), &this->params, &p), PF_Err_OUT_OF_MEMORY);
    expectLevels<D>(p, levelsOf<D>(D::make(1, 2, 3, 4)), "untouched");
}

}  // namespace
}  // namespace minihost
