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

// Each depth's suite functions, and channel values from 0..255 "levels":
// 16-bit as level * 128, float as level / 255.
template <typename Pixel>
struct DepthOf;

template <>
struct DepthOf<PF_Pixel> {
    static constexpr Depth depth = Depth::Bits8;
    static PF_Pixel make(int a, int r, int g, int b) { return {A_u_char(a), A_u_char(r), A_u_char(g), A_u_char(b)}; }
    static double level(A_u_char v) { return v; }
    static PF_Err nn(PF_ProgPtr ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_Pixel *d) {
        return static_cast<const PF_Sampling8Suite1 *>(sampling8Suite())->nn_sample(ref, x, y, p, d);
    }
    static PF_Err bilinear(PF_ProgPtr ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_Pixel *d) {
        return static_cast<const PF_Sampling8Suite1 *>(sampling8Suite())->subpixel_sample(ref, x, y, p, d);
    }
    static PF_Err area(PF_ProgPtr ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_Pixel *d) {
        return static_cast<const PF_Sampling8Suite1 *>(sampling8Suite())->area_sample(ref, x, y, p, d);
    }
};

template <>
struct DepthOf<PF_Pixel16> {
    static constexpr Depth depth = Depth::Bits16;
    static PF_Pixel16 make(int a, int r, int g, int b) {
        return {A_u_short(a * 128), A_u_short(r * 128), A_u_short(g * 128), A_u_short(b * 128)};
    }
    static double level(A_u_short v) { return v / 128.0; }
    static PF_Err nn(PF_ProgPtr ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_Pixel16 *d) {
        return static_cast<const PF_Sampling16Suite1 *>(sampling16Suite())->nn_sample16(ref, x, y, p, d);
    }
    static PF_Err bilinear(PF_ProgPtr ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_Pixel16 *d) {
        return static_cast<const PF_Sampling16Suite1 *>(sampling16Suite())->subpixel_sample16(ref, x, y, p, d);
    }
    static PF_Err area(PF_ProgPtr ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_Pixel16 *d) {
        return static_cast<const PF_Sampling16Suite1 *>(sampling16Suite())->area_sample16(ref, x, y, p, d);
    }
};

template <>
struct DepthOf<PF_PixelFloat> {
    static constexpr Depth depth = Depth::Float;
    static PF_PixelFloat make(int a, int r, int g, int b) { return {a / 255.0f, r / 255.0f, g / 255.0f, b / 255.0f}; }
    static double level(A_FpShort v) { return v * 255.0; }
    static PF_Err nn(PF_ProgPtr ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_PixelFloat *d) {
        return static_cast<const PF_SamplingFloatSuite1 *>(samplingFloatSuite())->nn_sample_float(ref, x, y, p, d);
    }
    static PF_Err bilinear(PF_ProgPtr ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_PixelFloat *d) {
        return static_cast<const PF_SamplingFloatSuite1 *>(samplingFloatSuite())
            ->subpixel_sample_float(ref, x, y, p, d);
    }
    static PF_Err area(PF_ProgPtr ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_PixelFloat *d) {
        return static_cast<const PF_SamplingFloatSuite1 *>(samplingFloatSuite())->area_sample_float(ref, x, y, p, d);
    }
};

// Expected channels in levels; 8 and 16 bits are rounded to their own steps.
struct Levels {
    double a, r, g, b;
};

template <typename Pixel>
void expectLevels(const Pixel &p, Levels e, const char *what) {
    using D = DepthOf<Pixel>;
    const double tolerance = D::depth == Depth::Bits8 ? 0.5 : (D::depth == Depth::Bits16 ? 0.5 / 128 : 1e-4);
    EXPECT_NEAR(D::level(p.alpha), e.a, tolerance) << what;
    EXPECT_NEAR(D::level(p.red), e.r, tolerance) << what;
    EXPECT_NEAR(D::level(p.green), e.g, tolerance) << what;
    EXPECT_NEAR(D::level(p.blue), e.b, tolerance) << what;
}

template <typename Pixel>
struct Sampling : ::testing::Test {
    using D = DepthOf<Pixel>;
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

    Pixel nn(double x, double y) {
        Pixel p = D::make(1, 2, 3, 4);
        EXPECT_EQ(D::nn(ref, fx(x), fx(y), &params, &p), PF_Err_NONE);
        return p;
    }
    Pixel bilinear(double x, double y) {
        Pixel p = D::make(1, 2, 3, 4);
        EXPECT_EQ(D::bilinear(ref, fx(x), fx(y), &params, &p), PF_Err_NONE);
        return p;
    }
    Pixel area(double x, double y, double rx, double ry) {
        params.x_radius = fx(rx);
        params.y_radius = fx(ry);
        Pixel p = D::make(1, 2, 3, 4);
        EXPECT_EQ(D::area(ref, fx(x), fx(y), &params, &p), PF_Err_NONE);
        return p;
    }
};

using PixelTypes = ::testing::Types<PF_Pixel, PF_Pixel16, PF_PixelFloat>;
TYPED_TEST_SUITE(Sampling, PixelTypes);

TYPED_TEST(Sampling, NearestTakesThePixelUnderThePoint) {
    struct Case {
        double x, y;
        Levels expected;
    };
    const Case cases[] = {
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
    for (const Case &c : cases) expectLevels(this->nn(c.x, c.y), c.expected, "nearest");
}

TYPED_TEST(Sampling, BilinearBlendsPixelCentresByAlpha) {
    struct Case {
        double x, y;
        Levels expected;
    };
    const Case cases[] = {
        {0.5, 0.5, {255, 200, 0, 0}},    // a centre
        {1.0, 0.5, {255, 150, 0, 0}},    // half way between two opaque reds
        {2.0, 0.5, {127.5, 100, 0, 0}},  // opaque red 100 and a transparent pixel: no colour from it
        {0.5, 2.5, {255, 40, 40, 40}},   {1.0, 2.5, {255, 50, 50, 50}},
        {0.5, 3.0, {127.5, 40, 40, 40}},  // half off the bottom edge
        {10, 10, {0, 0, 0, 0}},
    };
    for (const Case &c : cases) expectLevels(this->bilinear(c.x, c.y), c.expected, "bilinear");
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
        {"zero y radius: one row", 1.0, 2.9, 1.0, 0, {255, 50, 50, 50}},
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
    for (const Case &c : cases) expectLevels(this->area(c.x, c.y, c.rx, c.ry), c.expected, c.name);
}

TYPED_TEST(Sampling, AWorldOfAnotherDepthOrNoWorldIsRefused) {
    using D = DepthOf<TypeParam>;
    PF_EffectWorld other{};
    const PF_PixelFormat otherFormat = pixelFormatOf(D::depth == Depth::Bits8 ? Depth::Float : Depth::Bits8);
    ASSERT_EQ(this->worlds.PF_NewWorld(this->ref, 2, 2, true, otherFormat, &other), PF_Err_NONE);
    TypeParam p = D::make(1, 2, 3, 4);
    PF_SampPB wrong{};
    wrong.src = &other;
    EXPECT_EQ(D::nn(this->ref, 0, 0, &wrong, &p), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(D::area(this->ref, 0, 0, &wrong, &p), PF_Err_BAD_CALLBACK_PARAM);
    wrong.src = nullptr;
    EXPECT_EQ(D::bilinear(this->ref, 0, 0, &wrong, &p), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(D::nn(this->ref, 0, 0, nullptr, &p), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(D::nn(this->ref, 0, 0, &this->params, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    expectLevels(p,
                 {D::level(D::make(1, 2, 3, 4).alpha), D::level(D::make(1, 2, 3, 4).red),
                  D::level(D::make(1, 2, 3, 4).green), D::level(D::make(1, 2, 3, 4).blue)},
                 "untouched");
    EXPECT_EQ(this->host.ledger.invalidCalls, 5);
    this->worlds.PF_DisposeWorld(this->ref, &other);
}

TYPED_TEST(Sampling, InjectedFaultsLeaveTheResultUntouched) {
    using D = DepthOf<TypeParam>;
    this->host.logCalls = true;
    TypeParam p = D::make(1, 2, 3, 4);
    ASSERT_EQ(D::area(this->ref, fx(0.5), fx(0.5), &this->params, &p), PF_Err_NONE);
    const std::string name = this->host.calls.back().function;
    this->host.faults.failCall[name] = {2, PF_Err_OUT_OF_MEMORY};
    p = D::make(1, 2, 3, 4);
    EXPECT_EQ(D::area(this->ref, fx(0.5), fx(0.5), &this->params, &p), PF_Err_OUT_OF_MEMORY);
    expectLevels(p,
                 {D::level(D::make(1, 2, 3, 4).alpha), D::level(D::make(1, 2, 3, 4).red),
                  D::level(D::make(1, 2, 3, 4).green), D::level(D::make(1, 2, 3, 4).blue)},
                 "untouched");
}

}  // namespace
}  // namespace minihost
