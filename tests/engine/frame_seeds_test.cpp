// Each seed moves only its own attribute in a rendered frame: the stroke
// colour seed never touches a fill pixel, the fill colour seed never a
// stroke pixel.
#include <gtest/gtest.h>

#include "tests/engine/frame_fixture.h"

namespace frametest {
namespace {

struct FrameSeeds : FrameTest {
    // Eight circles of radius 6 around a rectangle (corners and side middles),
    // 16 pixels or more apart, with random hue, lightness and saturation in
    // both fill and stroke.
    void SetUp() override {
        FrameTest::SetUp();
        host.masks = {polyline(true, {vertex(20, 16), vertex(76, 16), vertex(76, 48), vertex(20, 48)})};
        set("Mode", 1);  // "Vertex"
        set("Number", 1);
        set("First Radius", 6);
        setColor("Color", PF_Pixel{255, 200, 80, 40});
        setColor("Stroke Color", PF_Pixel{255, 40, 90, 210});
        for (const char *name : {"Hue Variance", "Lightness Variance", "Saturation Variance", "Stroke Hue Variance",
                                 "Stroke Lightness Variance", "Stroke Saturation Variance"})
            set(name, 40);
    }

    bool samePixel(const Image &a, const Image &b, int x, int y) {
        const Raw p = rawAt(a, x, y), q = rawAt(b, x, y);
        return p.alpha == q.alpha && p.red == q.red && p.green == q.green && p.blue == q.blue;
    }
};

const int kCentres[8][2] = {{20, 16}, {48, 16}, {76, 16}, {76, 32}, {76, 48}, {48, 48}, {20, 48}, {20, 32}};

TEST_P(FrameSeeds, StrokeSeedNeverChangesTheFill) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        SCOPED_TRACE(depthName(depth));
        host.depth = depth;
        // Without a stroke the frame is fill only and must not move at all.
        set("Stroke Thickness", 0);
        set("Stroke Color Seed", 0);
        const Image fill = render();
        set("Stroke Color Seed", 977);
        EXPECT_EQ(render().data, fill.data);
        set("Color Seed", 5);
        EXPECT_NE(render().data, fill.data);
        set("Color Seed", 0);

        // With a 3-pixel stroke the band (d 4.5 .. 7.5) follows the stroke seed
        // while the pure fill inside d = 3.5 stays.
        set("Stroke Thickness", 3);
        set("Stroke Color Seed", 0);
        const Image stroked = render();
        set("Stroke Color Seed", 977);
        const Image otherStroke = render();
        int strokeChanges = 0;
        for (const auto &c : kCentres) {
            for (int d = 0; d <= 3; ++d) {
                EXPECT_TRUE(samePixel(stroked, otherStroke, c[0] + d, c[1])) << c[0] << "," << c[1] << " d " << d;
                EXPECT_TRUE(samePixel(stroked, otherStroke, c[0], c[1] - d)) << c[0] << "," << c[1] << " d " << d;
            }
            strokeChanges += !samePixel(stroked, otherStroke, c[0] + 6, c[1]);
        }
        EXPECT_GE(strokeChanges, 6);
    }
}

TEST_P(FrameSeeds, ColourSeedNeverChangesTheStroke) {
    set("Stroke Thickness", 3);
    const Image first = render();
    set("Color Seed", 31);
    const Image other = render();
    int fillChanges = 0;
    for (const auto &c : kCentres) {
        // d = 5 .. 7 is pure stroke.
        for (int d = 5; d <= 7; ++d) {
            EXPECT_TRUE(samePixel(first, other, c[0] - d, c[1])) << c[0] << "," << c[1] << " d " << d;
            EXPECT_TRUE(samePixel(first, other, c[0], c[1] + d)) << c[0] << "," << c[1] << " d " << d;
        }
        fillChanges += !samePixel(first, other, c[0], c[1]);
    }
    EXPECT_GE(fillChanges, 6);
}

INSTANTIATE_TEST_SUITE_P(Profiles, FrameSeeds, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace frametest
