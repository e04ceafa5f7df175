// minihost's fill matte suite: whole worlds, clipped rectangles, depth checks.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/pf_suites.h"
#include "minihost/host_internals.h"

namespace minihost {
namespace {

struct FillMatte : ::testing::Test {
    Host host;
    PF_ProgPtr ref = refFromHost(host);
    const PF_FillMatteSuite2 &suite = *static_cast<const PF_FillMatteSuite2 *>(fillMatteSuite());
    const PF_WorldSuite2 &worlds = *static_cast<const PF_WorldSuite2 *>(worldSuite2());
    std::vector<PF_EffectWorld> made;

    ~FillMatte() override {
        for (PF_EffectWorld &w : made) worlds.PF_DisposeWorld(ref, &w);
    }

    PF_EffectWorld world(Depth depth, int width = 7, int height = 5) {
        PF_EffectWorld w{};
        EXPECT_EQ(worlds.PF_NewWorld(ref, width, height, true, pixelFormatOf(depth), &w), PF_Err_NONE);
        made.push_back(w);
        return w;
    }

    // Every byte of every row, padding included.
    static std::vector<unsigned char> bytes(const PF_EffectWorld &w) {
        const auto *p = reinterpret_cast<const unsigned char *>(w.data);
        return std::vector<unsigned char>(p, p + static_cast<size_t>(w.rowbytes) * static_cast<size_t>(w.height));
    }
};

template <typename Pixel>
const Pixel &pixelAt(const PF_EffectWorld &w, int x, int y) {
    return reinterpret_cast<const Pixel *>(reinterpret_cast<const unsigned char *>(w.data) +
                                           static_cast<size_t>(y) * static_cast<size_t>(w.rowbytes))[x];
}

template <typename Pixel>
bool samePixel(const Pixel &a, const Pixel &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct RectCase {
    const char *name;
    bool whole;
    PF_Rect rect;    // left, top, right, bottom
    PF_Rect filled;  // what must change
};

const RectCase rectCases[] = {
    {"whole world", true, {0, 0, 0, 0}, {0, 0, 7, 5}},
    {"inside", false, {1, 2, 4, 3}, {1, 2, 4, 3}},
    {"the full rectangle", false, {0, 0, 7, 5}, {0, 0, 7, 5}},
    {"past every edge", false, {-3, -2, 20, 9}, {0, 0, 7, 5}},
    {"past the right and bottom", false, {5, 3, 9, 8}, {5, 3, 7, 5}},
    {"empty", false, {3, 3, 3, 4}, {0, 0, 0, 0}},
    {"inverted", false, {4, 4, 2, 1}, {0, 0, 0, 0}},
    {"outside", false, {8, 0, 12, 5}, {0, 0, 0, 0}},
};

template <typename Pixel, typename Fill>
void checkRects(FillMatte &t, Depth depth, Pixel color, Fill fill) {
    for (const RectCase &c : rectCases) {
        SCOPED_TRACE(c.name);
        PF_EffectWorld w = t.world(depth);
        const std::vector<unsigned char> before = FillMatte::bytes(w);
        ASSERT_EQ(fill(t.ref, &color, c.whole ? nullptr : &c.rect, &w), PF_Err_NONE);
        for (int y = 0; y < w.height; ++y)
            for (int x = 0; x < w.width; ++x) {
                const bool inside =
                    x >= c.filled.left && x < c.filled.right && y >= c.filled.top && y < c.filled.bottom;
                const Pixel &p = pixelAt<Pixel>(w, x, y);
                const Pixel &old = *reinterpret_cast<const Pixel *>(
                    before.data() + static_cast<size_t>(y) * static_cast<size_t>(w.rowbytes) + x * sizeof(Pixel));
                EXPECT_TRUE(samePixel(p, inside ? color : old)) << x << "," << y;
            }
        // Row padding is never written.
        const std::vector<unsigned char> after = FillMatte::bytes(w);
        for (int y = 0; y < w.height; ++y)
            for (size_t i = static_cast<size_t>(w.width) * sizeof(Pixel); i < static_cast<size_t>(w.rowbytes); ++i)
                EXPECT_EQ(after[static_cast<size_t>(y) * static_cast<size_t>(w.rowbytes) + i],
                          before[static_cast<size_t>(y) * static_cast<size_t>(w.rowbytes) + i]);
    }
}

TEST_F(FillMatte, EightBitRectangles) { checkRects(*this, Depth::Bits8, PF_Pixel{200, 10, 20, 30}, suite.fill); }

TEST_F(FillMatte, SixteenBitRectangles) {
    checkRects(*this, Depth::Bits16, PF_Pixel16{32768, 1, 16384, 32767}, suite.fill16);
}

TEST_F(FillMatte, FloatRectangles) {
    checkRects(*this, Depth::Float, PF_PixelFloat{0.5f, 1.0f, -0.25f, 3.0f}, suite.fill_float);
}

TEST_F(FillMatte, AColourOfAnotherDepthIsRefused) {
    PF_EffectWorld w8 = world(Depth::Bits8), w16 = world(Depth::Bits16), wf = world(Depth::Float);
    const auto b8 = bytes(w8), b16 = bytes(w16), bf = bytes(wf);
    const PF_Pixel c8 = {255, 1, 2, 3};
    const PF_Pixel16 c16 = {32768, 1, 2, 3};
    const PF_PixelFloat cf = {1, 0.1f, 0.2f, 0.3f};
    EXPECT_EQ(suite.fill(ref, &c8, nullptr, &w16), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(suite.fill(ref, &c8, nullptr, &wf), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(suite.fill16(ref, &c16, nullptr, &w8), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(suite.fill16(ref, &c16, nullptr, &wf), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(suite.fill_float(ref, &cf, nullptr, &w8), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(suite.fill_float(ref, &cf, nullptr, &w16), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(bytes(w8), b8);
    EXPECT_EQ(bytes(w16), b16);
    EXPECT_EQ(bytes(wf), bf);
    EXPECT_EQ(host.ledger.invalidCalls, 6);
}

TEST_F(FillMatte, UnknownWorldsAndMissingArgumentsAreRefused) {
    std::vector<PF_Pixel> pixels(4 * 4, PF_Pixel{1, 1, 1, 1});
    PF_EffectWorld foreign{};
    foreign.data = pixels.data();
    foreign.width = foreign.height = 4;
    foreign.rowbytes = 4 * sizeof(PF_Pixel);
    const PF_Pixel c = {255, 9, 9, 9};
    EXPECT_EQ(suite.fill(ref, &c, nullptr, &foreign), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(pixels[0].red, 1);
    PF_EffectWorld w = world(Depth::Bits8);
    EXPECT_EQ(suite.fill(ref, nullptr, nullptr, &w), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(suite.fill(ref, &c, nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(suite.fill(nullptr, &c, nullptr, &w), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.ledger.invalidCalls, 3);  // the call without a host is nobody's to count
}

TEST_F(FillMatte, InjectedFaultsWriteNothing) {
    PF_EffectWorld w = world(Depth::Bits16);
    const auto before = bytes(w);
    const PF_Pixel16 c = {32768, 5, 5, 5};
    host.faults.failCall["FillMatte.fill16"] = {1, PF_Err_OUT_OF_MEMORY};
    EXPECT_EQ(suite.fill16(ref, &c, nullptr, &w), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(bytes(w), before);
    EXPECT_EQ(suite.fill16(ref, &c, nullptr, &w), PF_Err_NONE);
    EXPECT_TRUE(samePixel(pixelAt<PF_Pixel16>(w, 6, 4), c));
}

}  // namespace
}  // namespace minihost
