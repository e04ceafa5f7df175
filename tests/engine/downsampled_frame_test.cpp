// Renders at reduced resolution: the points land at the scaled mask positions
// and radius and stroke shrink by the horizontal factor, on both axes.
#include <utility>

#include <gtest/gtest.h>

#include "tests/engine/frame_fixture.h"

namespace frametest {
namespace {

struct Downsampled : FrameTest {
    // Points at (20, 24) and (60, 40) of a 96 x 64 layer, radius 8 and
    // a 4-pixel stroke at full resolution.
    void SetUp() override {
        FrameTest::SetUp();
        host.masks = {polyline(false, {vertex(20, 24), vertex(60, 40)})};
        set("Mode", 1);  // "Vertex"
        set("First Radius", 8);
        set("Stroke Thickness", 4);
        setColor("Stroke Color", PF_Pixel{255, 255, 0, 0});
    }
};

// Fill (white), stroke (red) or nothing at a pixel.
enum Paint { Nothing, Fill, Stroke };

Paint paintAt(const Image &frame, int x, int y) {
    const Raw p = rawAt(frame, x, y);
    if (p.alpha == 0) return Nothing;
    if (p.alpha == 255 && p.red == 255 && p.green == 255 && p.blue == 255) return Fill;
    if (p.alpha == 255 && p.red == 255 && p.green == 0 && p.blue == 0) return Stroke;
    ADD_FAILURE() << "mixed pixel at " << x << "," << y;
    return Nothing;
}

struct Factor {
    int x, y;
};

TEST_P(Downsampled, CentresScaleAndRadiiFollowTheHorizontalFactor) {
    for (const Factor f : {Factor{1, 1}, Factor{2, 2}, Factor{2, 1}, Factor{1, 2}}) {
        SCOPED_TRACE(::testing::Message() << "downsample " << f.x << " x " << f.y);
        host.downsampleX = f.x;
        host.downsampleY = f.y;
        const Image frame = render();
        EXPECT_EQ(frame.width, (96 + f.x - 1) / f.x);
        EXPECT_EQ(frame.height, (64 + f.y - 1) / f.y);
        // Radius 8 / f.x with stroke 4 / f.x: pure fill up to r - t/2 - 1,
        // pure stroke from r - t/2 to r + t/2, nothing from r + t/2 + 1, the
        // same number of pixels across and down.
        const int r = 8 / f.x, h = 2 / f.x;
        for (const auto &c : {std::pair<int, int>{20, 24}, std::pair<int, int>{60, 40}}) {
            const int cx = c.first / f.x, cy = c.second / f.y;
            EXPECT_EQ(paintAt(frame, cx, cy), Fill);
            for (int sign : {-1, 1}) {
                EXPECT_EQ(paintAt(frame, cx + sign * (r - h - 1), cy), Fill);
                EXPECT_EQ(paintAt(frame, cx, cy + sign * (r - h - 1)), Fill);
                EXPECT_EQ(paintAt(frame, cx + sign * (r - h), cy), Stroke);
                EXPECT_EQ(paintAt(frame, cx, cy + sign * (r - h)), Stroke);
                EXPECT_EQ(paintAt(frame, cx + sign * (r + h), cy), Stroke);
                EXPECT_EQ(paintAt(frame, cx, cy + sign * (r + h)), Stroke);
                EXPECT_EQ(paintAt(frame, cx + sign * (r + h + 1), cy), Nothing);
                EXPECT_EQ(paintAt(frame, cx, cy + sign * (r + h + 1)), Nothing);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, Downsampled, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace frametest
