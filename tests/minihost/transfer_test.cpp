// minihost's transfer_rect: every transfer mode at the three depths against
// values worked out with exact fractions, the composite's alpha, opacity and
// RGB-only rules, clipping, refusals and injected faults.
#include <array>
#include <climits>
#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/pf_suites.h"
#include "minihost/host_internals.h"
#include "tests/minihost/scripted_plugin.h"

namespace minihost {
namespace {

// Channels of one pixel, alpha first. Inputs are reals in 0..1; expected
// values are levels (0..255, 0..32768) or reals for float.
using Channels = std::array<double, 4>;

// Opaque pixels at full opacity: the result is the mode's blend itself.
struct BlendCase {
    PF_TransferMode mode;
    std::array<double, 3> backdrop, source, expected8, expected16, expectedFloat;
};

// clang-format off
const BlendCase blendCases[] = {
    {PF_Xfer_IN_FRONT, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {179, 0, 128}, {22938, 0, 16384}, {0.69999999, 0, 0.5}}, {PF_Xfer_IN_FRONT, {0, 0.8, 1}, {1, 0.3, 0}, {255, 77, 0}, {32768, 9830, 0}, {1, 0.30000001, 0}}, {PF_Xfer_ADD, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {230, 128, 255}, {29492, 16384, 32768}, {0.89999998, 0.5, 1}}, {PF_Xfer_ADD, {0, 0.8, 1}, {1, 0.3, 0}, {255, 255, 255}, {32768, 32768, 32768}, {1, 1, 1}}, {PF_Xfer_MULTIPLY, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {36, 0, 128}, {4588, 0, 16384}, {0.14, 0, 0.5}}, {PF_Xfer_MULTIPLY, {0, 0.8, 1}, {1, 0.3, 0}, {0, 62, 0}, {0, 7864, 0}, {0, 0.24000001, 0}}, {PF_Xfer_SCREEN, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {194, 128, 255}, {24904, 16384, 32768}, {0.75999999, 0.5, 1}}, {PF_Xfer_SCREEN, {0, 0.8, 1}, {1, 0.3, 0}, {255, 219, 255}, {32768, 28180, 32768}, {1, 0.86000001, 1}}, {PF_Xfer_OVERLAY, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {72, 1, 255}, {9176, 0, 32768}, {0.28, 0, 1}}, {PF_Xfer_OVERLAY, {0, 0.8, 1}, {1, 0.3, 0}, {0, 184, 255}, {0, 23592, 32768}, {0, 0.72000003, 1}}, {PF_Xfer_HARD_LIGHT, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {133, 0, 255}, {17040, 0, 32768}, {0.51999998, 0, 1}}, {PF_Xfer_HARD_LIGHT, {0, 0.8, 1}, {1, 0.3, 0}, {255, 123, 0}, {32768, 15728, 0}, {1, 0.48000002, 0}}, {PF_Xfer_DARKEN, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {51, 0, 128}, {6554, 0, 16384}, {0.2, 0, 0.5}}, {PF_Xfer_DARKEN, {0, 0.8, 1}, {1, 0.3, 0}, {0, 77, 0}, {0, 9830, 0}, {0, 0.30000001, 0}}, {PF_Xfer_LIGHTEN, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {179, 128, 255}, {22938, 16384, 32768}, {0.69999999, 0.5, 1}}, {PF_Xfer_LIGHTEN, {0, 0.8, 1}, {1, 0.3, 0}, {255, 204, 255}, {32768, 26214, 32768}, {1, 0.80000001, 1}}, {PF_Xfer_DIFFERENCE2, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {128, 128, 127}, {16384, 16384, 16384}, {0.5, 0.5, 0.5}}, {PF_Xfer_DIFFERENCE2, {0, 0.8, 1}, {1, 0.3, 0}, {255, 127, 255}, {32768, 16384, 32768}, {1, 0.5, 1}}, {PF_Xfer_COLOR_DODGE2, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {171, 128, 255}, {21848, 16384, 32768}, {0.66666663, 0.5, 1}},
    // cb = 0 with cs = 1 is 0; cs = 1 is 1 otherwise.
    {PF_Xfer_COLOR_DODGE2, {0, 0.8, 1}, {1, 0.3, 0}, {0, 255, 255}, {0, 32768, 32768}, {0, 1, 1}}, {PF_Xfer_COLOR_BURN2, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {0, 0, 255}, {0, 0, 32768}, {0, 0, 1}},
    // cb = 1 with cs = 0 is 1.
    {PF_Xfer_COLOR_BURN2, {0, 0.8, 1}, {1, 0.3, 0}, {0, 86, 255}, {0, 10920, 32768}, {0, 0.3333334, 1}}, {PF_Xfer_LINEAR_LIGHT, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {154, 0, 255}, {19662, 0, 32768}, {0.59999996, 0, 1}}, {PF_Xfer_LINEAR_LIGHT, {0, 0.8, 1}, {1, 0.3, 0}, {255, 103, 0}, {32768, 13106, 0}, {1, 0.40000004, 0}}, {PF_Xfer_VIVID_LIGHT, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {86, 0, 255}, {10924, 0, 32768}, {0.33333331, 0, 1}}, {PF_Xfer_VIVID_LIGHT, {0, 0.8, 1}, {1, 0.3, 0}, {0, 171, 255}, {0, 21844, 32768}, {0, 0.66666669, 1}}, {PF_Xfer_PIN_LIGHT, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {103, 0, 255}, {13108, 0, 32768}, {0.39999998, 0, 1}}, {PF_Xfer_PIN_LIGHT, {0, 0.8, 1}, {1, 0.3, 0}, {255, 154, 0}, {32768, 19660, 0}, {1, 0.60000002, 0}}, {PF_Xfer_HARD_MIX, {0.2, 0.5, 1}, {0.7, 0, 0.5}, {0, 0, 255}, {0, 0, 32768}, {0, 0, 1}}, {PF_Xfer_HARD_MIX, {0, 0.8, 1}, {1, 0.3, 0}, {255, 255, 255}, {32768, 32768, 32768}, {1, 1, 1}},
    // cb + cs exactly 1 in 8 and 16 bits (and in float for 0.75 + 0.25).
    {PF_Xfer_HARD_MIX, {0.75, 0.2, 0.4}, {0.25, 0.8, 0.5}, {255, 255, 0}, {32768, 32768, 0}, {1, 1, 0}}, {PF_Xfer_HUE, {0.6, 0.6, 0.6}, {0.2, 0.2, 0.2}, {153, 153, 153}, {19661, 19661, 19661}, {0.6, 0.6, 0.6}}, {PF_Xfer_HUE, {0.9, 0.2, 0.1}, {0.1, 0.6, 1}, {13, 126, 217}, {1599, 16162, 27813}, {0.04877777, 0.49322224, 0.84877777}}, {PF_Xfer_HUE, {0, 1, 0}, {0, 0, 1}, {138, 138, 255}, {17673, 17673, 32768}, {0.53932583, 0.53932583, 1}}, {PF_Xfer_SATURATION, {0.6, 0.6, 0.6}, {0.2, 0.2, 0.2}, {153, 153, 153}, {19661, 19661, 19661}, {0.6, 0.6, 0.6}}, {PF_Xfer_SATURATION, {0.9, 0.2, 0.1}, {0.1, 0.6, 1}, {246, 45, 17}, {31543, 5739, 2052}, {0.96262497, 0.175125, 0.062624991}}, {PF_Xfer_SATURATION, {0, 1, 0}, {0, 0, 1}, {0, 255, 0}, {0, 32768, 0}, {0, 1, 0}}, {PF_Xfer_COLOR, {0.6, 0.6, 0.6}, {0.2, 0.2, 0.2}, {153, 153, 153}, {19661, 19661, 19661}, {0.6, 0.6, 0.6}}, {PF_Xfer_COLOR, {0.9, 0.2, 0.1}, {0.1, 0.6, 1}, {2, 129, 231}, {164, 16548, 29655}, {0.0049999817, 0.505, 0.90499997}}, {PF_Xfer_COLOR, {0, 1, 0}, {0, 0, 1}, {138, 138, 255}, {17673, 17673, 32768}, {0.53932583, 0.53932583, 1}}, {PF_Xfer_LUMINOSITY, {0.6, 0.6, 0.6}, {0.2, 0.2, 0.2}, {51, 51, 51}, {6554, 6554, 6554}, {0.2, 0.2, 0.2}}, {PF_Xfer_LUMINOSITY, {0.9, 0.2, 0.1}, {0.1, 0.6, 1}, {254, 75, 50}, {32604, 9667, 6390}, {0.995, 0.29500002, 0.19500002}}, {PF_Xfer_LUMINOSITY, {0, 1, 0}, {0, 0, 1}, {0, 48, 0}, {0, 6109, 0}, {0, 0.18644068, 0}},
};
// clang-format on

// Alpha, opacity (a real; 8-bit opacity or 16-bit opacitySu at each depth)
// and the RGB-only flag.
struct CompositeCase {
    const char *name;
    PF_TransferMode mode;
    double opacity;
    bool rgbOnly;
    Channels backdrop, source, expected8, expected16, expectedFloat;
};

// clang-format off
const CompositeCase compositeCases[] = {
    {"half-transparent source", PF_Xfer_IN_FRONT, 1, false, {1, 0.2, 0.4, 0.6}, {0.5, 1, 0.5, 0},
     {255, 153, 115, 76}, {32768, 19661, 14746, 9831}, {1, 0.6, 0.45, 0.3}},
    {"both partly transparent", PF_Xfer_MULTIPLY, 1, false, {0.5, 0.8, 0.4, 1}, {0.6, 0.5, 1, 0.25},
     {204, 137, 159, 112}, {26215, 17613, 20480, 14336}, {0.8, 0.5375, 0.625, 0.4375}},
    {"half opacity", PF_Xfer_MULTIPLY, 0.5, false, {0.5, 0.8, 0.4, 1}, {0.6, 0.5, 1, 0.25},
     {166, 163, 137, 167}, {21299, 20921, 17644, 21425}, {0.65058821, 0.63797468, 0.53887886, 0.65280288}},
    {"no opacity", PF_Xfer_SCREEN, 0, false, {1, 0.2, 0.4, 0.6}, {1, 1, 1, 1},
     {255, 51, 102, 153}, {32768, 6554, 13107, 19661}, {1, 0.2, 0.4, 0.6}},
    {"onto a transparent backdrop", PF_Xfer_SCREEN, 1, false, {0, 0.9, 0.9, 0.9}, {0.4, 0.2, 0.4, 0.6},
     {102, 51, 102, 153}, {13107, 6554, 13107, 19661}, {0.4, 0.2, 0.4, 0.6}},
    {"both transparent", PF_Xfer_DIFFERENCE2, 1, false, {0, 0.9, 0.5, 0.1}, {0, 0.3, 0.3, 0.3},
     {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
    {"no opacity onto transparent", PF_Xfer_IN_FRONT, 0, false, {0, 0.5, 0.5, 0.5}, {1, 1, 1, 1},
     {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
    {"RGB only", PF_Xfer_SCREEN, 1, true, {0.25, 0.2, 0.4, 0.6}, {0.5, 0.5, 0.5, 1},
     {64, 102, 141, 204}, {8192, 13108, 18022, 26215}, {0.25, 0.4, 0.55, 0.8}},
    {"RGB only at half opacity", PF_Xfer_MULTIPLY, 0.5, true, {1, 0.8, 0.4, 1}, {1, 0.5, 1, 0.25},
     {255, 153, 102, 159}, {32768, 19661, 13107, 20480}, {1, 0.59921569, 0.4, 0.62352943}},
    {"RGB only onto transparent", PF_Xfer_IN_FRONT, 1, true, {0, 0.2, 0.2, 0.2}, {0.5, 1, 0, 0.6},
     {0, 153, 25, 102}, {0, 19661, 3277, 13108}, {0, 0.6, 0.1, 0.4}},
};
// clang-format on

struct Transfer : ::testing::Test {
    Host host;
    PF_ProgPtr ref = refFromHost(host);
    const PF_WorldSuite2 &worlds = *static_cast<const PF_WorldSuite2 *>(worldSuite2());
    std::vector<PF_EffectWorld> made;

    ~Transfer() override {
        for (PF_EffectWorld &w : made) worlds.PF_DisposeWorld(ref, &w);
    }

    PF_EffectWorld world(Depth depth, int width, int height) {
        PF_EffectWorld w{};
        EXPECT_EQ(worlds.PF_NewWorld(ref, width, height, true, pixelFormatOf(depth), &w), PF_Err_NONE);
        made.push_back(w);
        return w;
    }

    // transfer_rect called from inside a command, as the plug-in calls it.
    PF_Err transfer(const PF_Rect *rect, const PF_EffectWorld *src, const PF_CompositeMode *mode, A_long x, A_long y,
                    PF_EffectWorld *dst, const PF_MaskWorld *mask = nullptr) {
        return runInCommand(host, [&](PF_InData &in, PF_OutData &) {
            return in.utils->transfer_rect(in.effect_ref, PF_Quality_HI, 0, PF_Field_FRAME, rect, src, mode, mask, x, y,
                                           dst);
        });
    }
};

PF_CompositeMode compositeMode(PF_TransferMode mode, A_u_char opacity = 255, A_u_short opacitySu = 32768,
                               bool rgbOnly = false) {
    return {mode, 0, opacity, PF_Boolean(rgbOnly), opacitySu};
}

template <typename Pixel>
Pixel &pixelAt(const PF_EffectWorld &w, int x, int y) {
    return reinterpret_cast<Pixel *>(reinterpret_cast<unsigned char *>(w.data) + y * w.rowbytes)[x];
}

std::vector<unsigned char> bytes(const PF_EffectWorld &w) {
    const auto *p = reinterpret_cast<const unsigned char *>(w.data);
    return std::vector<unsigned char>(p, p + w.rowbytes * w.height);
}

// A real as the depth stores it: 8-bit floor(v * 255 + 0.5), 16-bit
// floor(v * 32768 + 0.5), float as it is.
template <typename Pixel>
Pixel pixelOf(const Channels &reals) {
    using Channel = decltype(Pixel::alpha);
    auto level = [](double v) {
        if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) return Channel(v);
        return Channel(std::floor(v * (sizeof(Channel) == 1 ? 255 : 32768) + 0.5));
    };
    return {level(reals[0]), level(reals[1]), level(reals[2]), level(reals[3])};
}

template <typename Pixel>
void expectPixel(const Pixel &p, const Channels &e) {
    const decltype(Pixel::alpha) got[] = {p.alpha, p.red, p.green, p.blue};
    for (int i = 0; i < 4; ++i) {
        if constexpr (std::is_same_v<Pixel, PF_PixelFloat>)
            EXPECT_FLOAT_EQ(got[i], float(e[i])) << "channel " << i;
        else
            EXPECT_EQ(got[i], e[i]) << "channel " << i;
    }
}

// Every case at one depth; `column` picks its expected values.
template <typename Pixel>
void checkDepth(Transfer &t, Depth depth, int column) {
    const bool deep = depth == Depth::Bits16;
    PF_EffectWorld src = t.world(depth, 1, 1), dst = t.world(depth, 1, 1);
    auto run = [&](const CompositeCase &c, const Channels &expected) {
        SCOPED_TRACE(c.name);
        pixelAt<Pixel>(src, 0, 0) = pixelOf<Pixel>(c.source);
        pixelAt<Pixel>(dst, 0, 0) = pixelOf<Pixel>(c.backdrop);
        // The opacity field of the other depths is 0, so that reading it shows.
        const A_u_char opacity = deep ? 0 : A_u_char(std::floor(c.opacity * 255 + 0.5));
        const A_u_short opacitySu = deep ? A_u_short(c.opacity * 32768) : 0;
        const PF_CompositeMode mode = compositeMode(c.mode, opacity, opacitySu, c.rgbOnly);
        ASSERT_EQ(t.transfer(nullptr, &src, &mode, 0, 0, &dst), PF_Err_NONE);
        expectPixel(pixelAt<Pixel>(dst, 0, 0), expected);
    };
    const double full = column == 0 ? 255 : column == 1 ? 32768 : 1;
    auto opaque = [](double alpha, const std::array<double, 3> &c) { return Channels{alpha, c[0], c[1], c[2]}; };
    for (const BlendCase &b : blendCases) {
        const std::string name = "mode " + std::to_string(b.mode);
        const CompositeCase c = {name.c_str(),        b.mode, 1,  false, opaque(1, b.backdrop),
                                 opaque(1, b.source), {},     {}, {}};
        run(c, opaque(full, column == 0 ? b.expected8 : column == 1 ? b.expected16 : b.expectedFloat));
    }
    for (const CompositeCase &c : compositeCases)
        run(c, column == 0 ? c.expected8 : column == 1 ? c.expected16 : c.expectedFloat);
}

TEST_F(Transfer, EveryModeAtEightBits) { checkDepth<PF_Pixel>(*this, Depth::Bits8, 0); }
TEST_F(Transfer, EveryModeAtSixteenBits) { checkDepth<PF_Pixel16>(*this, Depth::Bits16, 1); }
TEST_F(Transfer, EveryModeInFloat) { checkDepth<PF_PixelFloat>(*this, Depth::Float, 2); }

TEST_F(Transfer, ChannelsOutsideTheirRangeCountAsTheNearestEnd) {
    PF_EffectWorld src = world(Depth::Float, 1, 1), dst = world(Depth::Float, 1, 1);
    pixelAt<PF_PixelFloat>(src, 0, 0) = {2, 1.5f, -0.5f, std::numeric_limits<float>::quiet_NaN()};
    pixelAt<PF_PixelFloat>(dst, 0, 0) = {1, 0.5f, 3, 0.5f};
    const PF_CompositeMode lighten = compositeMode(PF_Xfer_LIGHTEN);
    ASSERT_EQ(transfer(nullptr, &src, &lighten, 0, 0, &dst), PF_Err_NONE);
    expectPixel(pixelAt<PF_PixelFloat>(dst, 0, 0), {1, 1, 1, 0.5});
    PF_EffectWorld src16 = world(Depth::Bits16, 1, 1), dst16 = world(Depth::Bits16, 1, 1);
    // Levels and opacitySu above 32768 count as 32768: half the source's red is 16384.
    pixelAt<PF_Pixel16>(src16, 0, 0) = {16384, 40000, 0, 16384};
    pixelAt<PF_Pixel16>(dst16, 0, 0) = {32768, 0, 16384, 32768};
    const PF_CompositeMode over = compositeMode(PF_Xfer_IN_FRONT, 0, 40000);
    ASSERT_EQ(transfer(nullptr, &src16, &over, 0, 0, &dst16), PF_Err_NONE);
    expectPixel(pixelAt<PF_Pixel16>(dst16, 0, 0), {32768, 16384, 8192, 24576});
}

// A source without alpha, or at opacity 0, changes nothing where the
// backdrop has alpha; where it has none the result is all zero, unless only
// the colour is blended. Out-of-range backdrop channels still read as the
// nearest end.
TEST_F(Transfer, ATransparentSourceLeavesTheBackdropAsItReads) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char *name;
        PF_PixelFloat source, backdrop;
        A_u_char opacity;
        bool rgbOnly;
        PF_PixelFloat expected;
    };
    const Case cases[] = {
        {"no alpha", {0, 1, 1, 1}, {0.6f, 0.2f, 0.4f, 0.8f}, 255, false, {0.6f, 0.2f, 0.4f, 0.8f}},
        {"opacity 0", {1, 1, 1, 1}, {0.6f, 0.2f, 0.4f, 0.8f}, 0, false, {0.6f, 0.2f, 0.4f, 0.8f}},
        {"on nothing", {0, 1, 1, 1}, {0, 0.2f, 0.4f, 0.8f}, 255, false, {0, 0, 0, 0}},
        {"colour only, on nothing", {0, 1, 1, 1}, {0, 0.2f, 0.4f, 0.8f}, 255, true, {0, 0.2f, 0.4f, 0.8f}},
        {"out of range", {0, 1, 1, 1}, {0.5f, 1.5f, -0.25f, 0.5f}, 255, false, {0.5f, 1, 0, 0.5f}},
        // Float alphas that read as 0 add nothing either; a NaN backdrop channel reads as 0.
        {"NaN alpha", {kNaN, 1, 1, 1}, {0.6f, 0.2f, 0.4f, 0.8f}, 255, false, {0.6f, 0.2f, 0.4f, 0.8f}},
        {"negative alpha", {-1, 1, 1, 1}, {0.6f, 0.2f, 0.4f, 0.8f}, 255, false, {0.6f, 0.2f, 0.4f, 0.8f}},
        {"NaN backdrop", {0, 1, 1, 1}, {0.6f, kNaN, 0.4f, 0.8f}, 255, false, {0.6f, 0, 0.4f, 0.8f}},
    };
    PF_EffectWorld src = world(Depth::Float, 1, 1), dst = world(Depth::Float, 1, 1);
    PF_EffectWorld src8 = world(Depth::Bits8, 1, 1), dst8 = world(Depth::Bits8, 1, 1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PF_CompositeMode mode = compositeMode(PF_Xfer_MULTIPLY, c.opacity, 32768, c.rgbOnly);
        pixelAt<PF_PixelFloat>(src, 0, 0) = c.source;
        pixelAt<PF_PixelFloat>(dst, 0, 0) = c.backdrop;
        ASSERT_EQ(transfer(nullptr, &src, &mode, 0, 0, &dst), PF_Err_NONE);
        expectPixel(pixelAt<PF_PixelFloat>(dst, 0, 0),
                    {c.expected.alpha, c.expected.red, c.expected.green, c.expected.blue});
        // The same at 8 bits, every level of the in-range cases read back as itself.
        const Channels back = {c.backdrop.alpha, c.backdrop.red, c.backdrop.green, c.backdrop.blue};
        const Channels want = {c.expected.alpha, c.expected.red, c.expected.green, c.expected.blue};
        pixelAt<PF_Pixel>(src8, 0, 0) =
            pixelOf<PF_Pixel>({c.source.alpha, c.source.red, c.source.green, c.source.blue});
        pixelAt<PF_Pixel>(dst8, 0, 0) = pixelOf<PF_Pixel>(back);
        if (&c >= &cases[4]) continue;  // float channels out of the 8-bit range
        ASSERT_EQ(transfer(nullptr, &src8, &mode, 0, 0, &dst8), PF_Err_NONE);
        const PF_Pixel expected = pixelOf<PF_Pixel>(want);
        expectPixel(pixelAt<PF_Pixel>(dst8, 0, 0),
                    {double(expected.alpha), double(expected.red), double(expected.green), double(expected.blue)});
    }
}

// Source 6x5 with distinct opaque pixels, destination 4x3 of one colour;
// IN_FRONT at full opacity copies, so every pixel tells where it came from.
TEST_F(Transfer, ClipsToBothWorlds) {
    struct Case {
        const char *name;
        bool whole;
        PF_Rect rect;
        A_long x, y;
    };
    const Case cases[] = {
        {"a part inside", false, {1, 1, 3, 3}, 1, 0},
        {"the source's far edges, at the destination's", false, {3, 3, 6, 5}, 1, 1},
        {"past the left and top", true, {}, -2, -1},
        {"past the right and bottom", false, {0, 0, 3, 3}, 2, 1},
        {"past every edge", true, {}, -1, -1},
        {"just past the right", true, {}, 4, 0},
        {"just past the bottom", true, {}, 0, 3},
        {"just past the left", true, {}, -6, 0},
        {"just past the top", true, {}, 0, -5},
        {"at the ends of A_long", true, {}, INT_MAX, INT_MIN},
        {"at the other ends", true, {}, INT_MIN, INT_MAX},
        {"empty", false, {2, 2, 2, 4}, 0, 0},
    };
    const PF_CompositeMode over = compositeMode(PF_Xfer_IN_FRONT);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PF_EffectWorld src = world(Depth::Bits8, 6, 5), dst = world(Depth::Bits8, 4, 3);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) pixelAt<PF_Pixel>(src, x, y) = {255, A_u_char(10 * x + 1), A_u_char(y + 1), 7};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) pixelAt<PF_Pixel>(dst, x, y) = {255, 200, 200, 200};
        const PF_Rect r = c.whole ? PF_Rect{0, 0, 6, 5} : c.rect;
        const auto before = bytes(dst);
        ASSERT_EQ(transfer(c.whole ? nullptr : &c.rect, &src, &over, c.x, c.y, &dst), PF_Err_NONE);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                const long long sx = r.left + (x - (long long)c.x), sy = r.top + (y - (long long)c.y);
                const bool covered = sx >= r.left && sx < r.right && sy >= r.top && sy < r.bottom;
                const PF_Pixel &p = pixelAt<PF_Pixel>(dst, x, y);
                EXPECT_EQ(p.red, covered ? 10 * sx + 1 : 200) << x << "," << y;
                EXPECT_EQ(p.green, covered ? sy + 1 : 200) << x << "," << y;
            }
        // Row padding stays as it was.
        const auto after = bytes(dst);
        for (int y = 0; y < 3; ++y)
            for (int i = 4 * 4; i < dst.rowbytes; ++i)
                EXPECT_EQ(after[y * dst.rowbytes + i], before[y * dst.rowbytes + i]);
    }
}

TEST_F(Transfer, ASourceOverlappingItsDestinationIsReadBeforeItIsWritten) {
    PF_EffectWorld w = world(Depth::Bits8, 4, 1);
    for (int x = 0; x < 4; ++x) pixelAt<PF_Pixel>(w, x, 0) = {255, A_u_char(10 * (x + 1)), 0, 0};
    const PF_Rect first3 = {0, 0, 3, 1};
    const PF_CompositeMode over = compositeMode(PF_Xfer_IN_FRONT);
    ASSERT_EQ(transfer(&first3, &w, &over, 1, 0, &w), PF_Err_NONE);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(pixelAt<PF_Pixel>(w, x, 0).red, x ? 10 * x : 10);
}

TEST_F(Transfer, RefusesWhatTheHostCannotDoAndWritesNothing) {
    PF_EffectWorld src = world(Depth::Bits8, 4, 3), dst = world(Depth::Bits8, 4, 3);
    PF_EffectWorld deep = world(Depth::Bits16, 4, 3);
    std::vector<PF_Pixel> pixels(7 * 3, PF_Pixel{1, 2, 3, 4});  // rows as long as src's
    PF_EffectWorld foreign = src;
    foreign.data = pixels.data();
    PF_EffectWorld wider = dst;
    ++wider.width;
    PF_MaskWorld mask{};
    mask.mask = src;
    const PF_CompositeMode over = compositeMode(PF_Xfer_IN_FRONT);
    const PF_Rect left = {-1, 0, 2, 2}, top = {0, -1, 2, 2}, right = {2, 0, 5, 2}, bottom = {0, 1, 2, 4},
                  inverted = {3, 0, 1, 2};
    struct Case {
        const char *name;
        const PF_Rect *rect;
        const PF_EffectWorld *src;
        const PF_CompositeMode *mode;
        const PF_MaskWorld *mask;
        PF_EffectWorld *dst;
    };
    std::vector<Case> cases = {
        {"no source", nullptr, nullptr, &over, nullptr, &dst},
        {"no destination", nullptr, &src, &over, nullptr, nullptr},
        {"no record", nullptr, &src, nullptr, nullptr, &dst},
        {"a rectangle past the left", &left, &src, &over, nullptr, &dst},
        {"past the top", &top, &src, &over, nullptr, &dst},
        {"past the right", &right, &src, &over, nullptr, &dst},
        {"past the bottom", &bottom, &src, &over, nullptr, &dst},
        {"inverted", &inverted, &src, &over, nullptr, &dst},
        {"depths differ", nullptr, &src, &over, nullptr, &deep},
        {"an unknown source", nullptr, &foreign, &over, nullptr, &dst},
        {"an unknown destination", nullptr, &src, &over, nullptr, &foreign},
        {"a record wider than its world", nullptr, &src, &over, nullptr, &wider},
        {"a mask", nullptr, &src, &over, &mask, &dst},
    };
    // clang-format off
    const PF_TransferMode unknownModes[] = {PF_Xfer_NONE, PF_Xfer_COPY, PF_Xfer_BEHIND, PF_Xfer_DISSOLVE,
        PF_Xfer_SOFT_LIGHT, PF_Xfer_DIFFERENCE, PF_Xfer_COLOR_DODGE, PF_Xfer_COLOR_BURN, PF_Xfer_LINEAR_DODGE,
        PF_Xfer_LINEAR_BURN, 17, 35};
    // clang-format on
    std::vector<PF_CompositeMode> modes;
    for (PF_TransferMode m : unknownModes) modes.push_back(compositeMode(m));
    for (const PF_CompositeMode &m : modes) cases.push_back({"an unknown mode", nullptr, &src, &m, nullptr, &dst});
    const auto before = bytes(dst), beforeDeep = bytes(deep);
    int refusals = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(transfer(c.rect, c.src, c.mode, 0, 0, c.dst, c.mask), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(host.ledger.invalidCalls, ++refusals);
        EXPECT_EQ(bytes(dst), before);
        EXPECT_EQ(bytes(deep), beforeDeep);
        EXPECT_EQ(pixels[0].red, 2);
    }
    EXPECT_EQ(callCount(host, "transfer_rect"), refusals);
    // A call without an effect reference is nobody's to count.
    runInCommand(host, [&](PF_InData &in) {
        EXPECT_EQ(in.utils->transfer_rect(nullptr, PF_Quality_HI, 0, PF_Field_FRAME, nullptr, &src, &over, nullptr, 0,
                                          0, &dst),
                  PF_Err_BAD_CALLBACK_PARAM);
    });
    EXPECT_EQ(host.ledger.invalidCalls, refusals);
}

TEST_F(Transfer, AnInjectedFaultWritesNothing) {
    PF_EffectWorld src = world(Depth::Float, 2, 2), dst = world(Depth::Float, 2, 2);
    pixelAt<PF_PixelFloat>(src, 1, 1) = {1, 1, 1, 1};
    const auto before = bytes(dst);
    host.logCalls = true;
    host.faults.failCall["transfer_rect"] = {1, PF_Err_OUT_OF_MEMORY};
    const PF_CompositeMode add = compositeMode(PF_Xfer_ADD);
    EXPECT_EQ(transfer(nullptr, &src, &add, 0, 0, &dst), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(bytes(dst), before);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].function, "transfer_rect");
    EXPECT_EQ(host.calls[0].result, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(transfer(nullptr, &src, &add, 0, 0, &dst), PF_Err_NONE);
    expectPixel(pixelAt<PF_PixelFloat>(dst, 1, 1), {1, 1, 1, 1});
    EXPECT_EQ(host.ledger.invalidCalls, 0);
}

}  // namespace
}  // namespace minihost
