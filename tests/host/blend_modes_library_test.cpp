// "Blend Mode" through the host's transfer: which path a value takes, points
// blended with each other before the layer, stamps past the frame edges, and
// whole frames of every mode at every depth by hash.
#include <cinttypes>
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include "tests/engine/frame_fixture.h"

namespace frametest {
namespace {

constexpr Depth kDepths[] = {Depth::Bits8, Depth::Bits16, Depth::Float};

struct BlendModes : FrameTest {
    // Points along a line that runs past the left and right edges of the
    // frame, far enough apart not to overlap, stroked and partly opaque.
    void separatePoints() {
        host.masks = {polyline(false, {vertex(-4, 20), vertex(100, 44)})};
        set("Mode", 2);  // "Number"
        set("Number", 6);
        set("Sub Mode", 1);
        set("First Radius", 6);
        set("Stroke Thickness", 2);
        setColor("Color", PF_Pixel{255, 240, 120, 30});
        set("Delta Hue", 200);
        set("Opacity", 70);
    }

    // Two opaque points of radius 8 at (20, 24) and (30, 24), overlapping
    // around (25, 24), over a flat grey layer.
    void overlappingPoints() {
        host.input = minihost::solidImage(96, 64, PF_Pixel{255, 60, 60, 60}, Depth::Bits8);
        host.masks = {polyline(false, {vertex(20, 24), vertex(30, 24)})};
        set("Mode", 2);
        set("Number", 2);
        set("Sub Mode", 1);
        set("First Radius", 8);
        setColor("Color", PF_Pixel{255, 100, 20, 0});
    }

    // The frame with "Blend Mode" `mode` at `depth`.
    Image renderWith(int mode, Depth depth) {
        host.depth = depth;
        set("Blend Mode", mode);
        return render();
    }
};

TEST_P(BlendModes, NormalAndValuesOutsideTheModesDrawInPlace) {
    separatePoints();
    for (Depth depth : kDepths) {
        const Image normal = renderWith(1, depth);
        for (int value : {0, 20, -3, 1000}) {
            EXPECT_EQ(renderWith(value, depth).data, normal.data) << value << ", " << depthName(depth);
            EXPECT_EQ(minihost::callCount(host, "transfer_rect"), 0);
            EXPECT_EQ(minihost::callCount(host, "new_world") + minihost::callCount(host, "PF_NewWorld"), 0);
        }
    }
}

// On a transparent frame a point that overlaps nothing blends onto nothing:
// every mode leaves it as "Normal" draws it, alpha and straight colour, also
// where the point's square reaches past the frame's edges. (A pixel of alpha
// 0 keeps the drawn colour in place but comes back all zero from the host.)
TEST_P(BlendModes, SinglePointsOnATransparentFrameMatchNormalInEveryMode) {
    separatePoints();
    for (Depth depth : kDepths) {
        const Image normal = renderWith(1, depth);
        for (int mode = 2; mode <= 19; ++mode) {
            const Image blended = renderWith(mode, depth);
            EXPECT_EQ(minihost::callCount(host, "transfer_rect"), 6) << mode;
            int compared = 0;
            for (int y = 0; y < normal.height; ++y)
                for (int x = 0; x < normal.width; ++x) {
                    const Raw a = rawAt(normal, x, y), b = rawAt(blended, x, y);
                    ASSERT_EQ(a.alpha, b.alpha) << mode << " at " << x << "," << y << ", " << depthName(depth);
                    if (a.alpha == 0) continue;
                    ++compared;
                    ASSERT_EQ(a.red, b.red) << mode << " at " << x << "," << y << ", " << depthName(depth);
                    ASSERT_EQ(a.green, b.green) << mode << " at " << x << "," << y;
                    ASSERT_EQ(a.blue, b.blue) << mode << " at " << x << "," << y;
                }
            EXPECT_GT(compared, 500);
        }
    }
}

// "Add": the second point adds onto the first; with "On Original" the two are
// added together on a transparent frame first, and that frame is then added
// onto the layer.
TEST_P(BlendModes, AddBlendsThePointsWithEachOtherBeforeTheLayer) {
    overlappingPoints();
    set("Blend Mode", 2);
    struct Case {
        bool onOriginal;
        Raw overlap, single;  // at (25, 24) and at (14, 24)
    };
    const Case cases[] = {
        {false, {255, 200, 40, 0}, {255, 100, 20, 0}},
        {true, {255, 255, 100, 60}, {255, 160, 80, 60}},
    };
    for (const Case &c : cases) {
        set("On Original", c.onOriginal);
        const Image frame = render();
        for (const auto &[x, want] : {std::pair{25, c.overlap}, std::pair{14, c.single}}) {
            const Raw got = rawAt(frame, x, 24);
            EXPECT_EQ(got.alpha, want.alpha) << c.onOriginal << " " << x;
            EXPECT_EQ(got.red, want.red) << c.onOriginal << " " << x;
            EXPECT_EQ(got.green, want.green) << c.onOriginal << " " << x;
            EXPECT_EQ(got.blue, want.blue) << c.onOriginal << " " << x;
        }
        // The stamp for each point, and once the accumulation world.
        EXPECT_EQ(minihost::callCount(host, "transfer_rect"), c.onOriginal ? 3 : 2);
    }
}

// Overlapping points over a layer of varying colour and alpha, with and
// without "On Original", in every mode at every depth.
TEST_P(BlendModes, FramesByContentHash) {
    std::vector<uint64_t> hashes;
    for (int onOriginal : {0, 1})
        for (int mode = 2; mode <= 19; ++mode)
            for (Depth depth : kDepths) {
                resetScene();
                host.input = minihost::solidImage(96, 64, PF_Pixel{200, 90, 160, 220}, Depth::Bits8);
                host.masks = {polyline(true, {vertex(20, 14), vertex(76, 14), vertex(76, 50), vertex(20, 50)})};
                set("Mode", 2);
                set("Number", 9);
                set("First Radius", 11);
                set("Stroke Thickness", 3);
                setColor("Color", PF_Pixel{255, 30, 200, 90});
                set("Delta Hue", 270);
                set("Opacity", 80);
                set("On Original", onOriginal);
                set("Blend Mode", mode);
                host.depth = depth;
                hashes.push_back(frameHash(render()));
            }
    // One fold of all 108 frames; on a change of drawing, look at the frames
    // (pathbloom render) before taking the new value.
    const uint64_t folded = contentHash(hashes.data(), hashes.size() * sizeof(uint64_t), 1469598103934665603ull);
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, folded);
    EXPECT_EQ(folded, 0x71099faa067f10a2ull) << "folded frame hashes " << text;
}

INSTANTIATE_TEST_SUITE_P(Profiles, BlendModes, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace frametest
