// Layer stamps in whole frames: the tint's host calls, the turn with "Depend
// On Path", radius 1, the fall-back to circles, the weighted scale, the
// stamp world with "Fill Over Stroke", and pinned frames at three depths.
#include <algorithm>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/engine/frame_fixture.h"
#include "tests/support/plugin_paths.h"

namespace frametest {
namespace {

// A 12 x 8 layer: blue, a red bar across the middle rows, a white pixel at
// the top left, so that turns and flips show.
Image stampLayer() {
    Image image = minihost::solidImage(12, 8, PF_Pixel{255, 0, 0, 255}, Depth::Bits8);
    auto at = [&](int x, int y) { return image.data.data() + 4 * (size_t(y) * 12 + x); };
    for (int x = 0; x < 12; ++x)
        for (int y = 3; y < 5; ++y) std::memcpy(at(x, y), "\xff\xff\x00\x00", 4);
    std::memcpy(at(0, 0), "\xff\xff\xff\xff", 4);
    return image;
}

struct Stamps : FrameTest {
    void SetUp() override {
        FrameTest::SetUp();
        host.layers = {stampLayer()};
        host.masks = {polyline(false, {vertex(16, 32), vertex(80, 32)})};
        set("Mode", 2);
        set("Number", 3);
        set("Shape Mode", 3);
        set("Layer", 1);
        set("First Radius", 9);
    }

    long calls(const char *function) { return minihost::callCount(host, function); }
};

TEST_P(Stamps, TheTintRunsOncePerColourAndAlwaysFromTheBase) {
    struct Case {
        double colorOpacity, hueVariance;
        long fills, transfers, copies;
    };
    const Case cases[] = {
        {0, 20, 0, 0, 2},   // the layer into layerBase, layerBase into layerSource
        {50, 0, 1, 1, 3},   // one colour: tinted by the first stamp only
        {50, 20, 3, 3, 5},  // each stamp tinted afresh from layerBase
    };
    for (const Case &c : cases) {
        set("Color Opacity", c.colorOpacity);
        set("Hue Variance", c.hueVariance);
        render();
        EXPECT_EQ(calls("FillMatte.fill"), c.fills) << c.colorOpacity << " " << c.hueVariance;
        EXPECT_EQ(calls("transfer_rect"), c.transfers) << c.colorOpacity << " " << c.hueVariance;
        EXPECT_EQ(calls("copy"), c.copies) << c.colorOpacity << " " << c.hueVariance;
    }
}

TEST_P(Stamps, ShapesThatDifferOnlyWhereTheyShould) {
    struct Case {
        const char *what;
        std::vector<std::pair<const char *, double>> a, b;
        bool same;
    };
    const std::vector<Case> cases = {
        // The mask runs along +x: "Depend On Path" adds a quarter turn.
        {"depend on path", {{"Depend On Path", 1}}, {{"Phase", 90}}, true},
        {"a quarter turn shows", {}, {{"Phase", 90}}, false},
        // The weighted radius scales the stamp: the second of two stamps half
        // revealed ("End" 75 %, weight 0.5) is the layer at half size.
        {"half revealed", {{"Number", 2}, {"End", 75}}, {{"Number", 2}, {"Delta Radius", -4.5}}, true},
        // No layer: circles, stroke and all.
        {"no layer", {{"Layer", 0}, {"Stroke Thickness", 3}}, {{"Shape Mode", 1}, {"Stroke Thickness", 3}}, true},
    };
    for (const Case &c : cases) {
        const std::vector<minihost::ParamTrack> start = host.params;
        for (const auto &[name, value] : c.a) set(name, value);
        const Image a = render();
        host.params = start;
        for (const auto &[name, value] : c.b) set(name, value);
        const Image b = render();
        host.params = start;
        EXPECT_EQ(a.data == b.data, c.same) << c.what;
    }
}

TEST_P(Stamps, RadiusOneShowsTheLayerCentreEverywhere) {
    set("Number", 1);
    set("First Radius", 1);  // s = 0; the square is ceil(sqrt 2) = 2 pixels each way
    const Image frame = render();
    int drawn = 0, left = frame.width, top = frame.height, right = -1, bottom = -1;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            if (rawAt(frame, x, y).alpha == 0) continue;
            ++drawn;
            left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        }
    EXPECT_EQ(drawn, 25);
    EXPECT_EQ(right - left, 4);
    EXPECT_EQ(bottom - top, 4);
    const Raw first = rawAt(frame, left, top);
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            const Raw p = rawAt(frame, x, y);
            EXPECT_TRUE(p.alpha == first.alpha && p.red == first.red && p.blue == first.blue) << x << "," << y;
        }
}

// With "Fill Over Stroke" a stamp grows by a quarter of the stroke; the
// stamp world of a blend mode holds it, so "Add" onto transparent black
// draws what "Normal" draws.
TEST_P(Stamps, AThickStrokeStampFitsTheStampWorld) {
    set("Stroke Over", 2);
    set("Stroke Thickness", 40);
    set("First Radius", 6);
    const Image normal = render();
    set("Blend Mode", 2);
    const Image added = render();
    EXPECT_GT(rawAt(normal, 48, 32).alpha, 0);
    EXPECT_EQ(normal.data, added.data);
}

TEST_P(Stamps, StampedFramesArePinned) {
    set("Depend On Path", 1);
    set("Delta Phase", 200);
    set("Delta Radius", 8);  // the smaller stamps shrink the layer enough for the area sample
    set("Color Opacity", 70);
    set("Layer Blend Mode", 12);  // "Color"
    set("Delta Hue", 240);
    set("Opacity", 80);
    const uint64_t expected[] = {8413550915353438756ull, 12587636392841011993ull, 2363442049421148646ull};
    const Depth depths[] = {Depth::Bits8, Depth::Bits16, Depth::Float};
    for (int d = 0; d < 3; ++d) {
        host.depth = depths[d];
        EXPECT_EQ(frameHash(render()), expected[d]) << depthName(depths[d]);
        EXPECT_GT(calls(depths[d] == Depth::Bits8    ? "area_sample"
                        : depths[d] == Depth::Bits16 ? "area_sample16"
                                                     : "area_sample_float"),
                  0);
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, Stamps, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace frametest
