// Keyframe-driven modes in whole frames: each instance drawn from its table
// entry is pixel for pixel the instance a render with that value as the
// parameter draws. Instances sit at the vertices of a straight open mask, far
// enough apart that their squares never meet.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/engine/frame_fixture.h"
#include "tests/support/plugin_paths.h"

namespace frametest {
namespace {

using minihost::Interpolation;
using minihost::Keyframe;

constexpr int kSpacing = 112;  // between instances, layer pixels
constexpr int kRow = 60;

struct Keyframes : FrameTest {
    int instances = 0;

    // `count` instances along a row, one per vertex ("Vertex", "Number" 0).
    void row(int count) {
        instances = count;
        std::vector<MaskVertex> vertices;
        for (int k = 0; k < count; ++k) vertices.push_back(vertex(kSpacing / 2 + kSpacing * k, kRow));
        host.masks = {polyline(false, vertices)};
        host.input = minihost::makeImage(kSpacing * count, 2 * kRow, Depth::Bits8);
        set("Mode", 1);
        set("Number", 0);
    }

    void keys(const char *name, std::vector<Keyframe> keyframes, Interpolation interpolation = Interpolation::Linear) {
        const int index = minihost::paramIndex(host, name);
        ASSERT_GT(index, 0) << name;
        minihost::setParamKeyframes(host, index, std::move(keyframes), interpolation);
    }

    // Instance k of `frame` equals instance k of `reference`, every pixel of
    // its cell (at the frame's resolution).
    void expectInstanceLike(const Image &frame, const Image &reference, int k, const char *what) {
        ASSERT_EQ(frame.width, reference.width);
        const int cell = frame.width / instances;
        int differing = 0;
        for (int y = 0; y < frame.height; ++y)
            for (int x = cell * k; x < cell * (k + 1); ++x) {
                const Raw a = rawAt(frame, x, y), b = rawAt(reference, x, y);
                differing += a.alpha != b.alpha || a.red != b.red || a.green != b.green || a.blue != b.blue;
            }
        EXPECT_EQ(differing, 0) << what << ": instance " << k;
    }

    // Renders once, then for each instance a reference with `parameter` set
    // to that instance's expected value and `mode` back to "Normal".
    template <class SetExpected>
    void expectEachInstance(const char *mode, int instanceCount, SetExpected setExpected) {
        const Image frame = render();
        const std::vector<minihost::ParamTrack> keyed = host.params;
        for (int k = 0; k < instanceCount; ++k) {
            set(mode, 1);
            setExpected(k);
            expectInstanceLike(frame, render(), k, mode);
            host.params = keyed;
        }
    }
};

TEST_P(Keyframes, RadiiByIndexRepeatAndByTimeFollowTheAnimation) {
    struct Case {
        const char *mode;
        std::vector<Keyframe> keys;
        int count;
        std::vector<double> radii;
        int downsample;
    };
    const std::vector<Case> cases = {
        {"Keyframe",
         {{0, numberValue(10)}, {1, numberValue(20)}, {2, numberValue(30)}},
         7,
         {10, 20, 30, 10, 20, 30, 10},
         1},
        {"Keyframe", {{0, numberValue(10)}, {1, numberValue(20)}, {2, numberValue(30)}}, 4, {10, 20, 30, 10}, 2},
        {"Keyframe",
         {{0, numberValue(5)},
          {1, numberValue(10)},
          {2, numberValue(15)},
          {3, numberValue(20)},
          {4, numberValue(25)},
          {5, numberValue(30)},
          {6, numberValue(35)},
          {7, numberValue(40)},
          {8, numberValue(45)},
          {9, numberValue(50)}},
         4,
         {5, 10, 15, 20},
         1},
        // 2 s at 30 000 ticks per second: four steps of 15 000 ticks.
        {"Keyframe 2", {{0, numberValue(10)}, {2, numberValue(50)}}, 5, {10, 20, 30, 40, 50}, 1},
        {"Keyframe 2", {{0, numberValue(10)}, {2, numberValue(50)}}, 5, {10, 20, 30, 40, 50}, 2},
        // One keyframe: the parameter's own value for every instance.
        {"Keyframe 2", {{1, numberValue(14)}}, 3, {14, 14, 14}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " over " + std::to_string(c.count));
        resetScene();
        row(c.count);
        host.downsampleX = host.downsampleY = c.downsample;
        set("Radius Mode", c.mode == std::string("Keyframe") ? 2 : 3);
        keys("First Radius", c.keys);
        expectEachInstance("Radius Mode", c.count, [&](int k) { set("First Radius", c.radii[size_t(k)]); });
    }
}

TEST_P(Keyframes, OpacityByTimeTruncatesStepsThatDoNotDivide) {
    // 10 ticks over three steps: samples at 0, 3, 6 and 10 ticks.
    row(4);
    set("First Radius", 9);
    set("Opacity Mode", 3);
    const double tick = 1.0 / 30000;
    keys("Opacity", {{0, numberValue(10)}, {10 * tick, numberValue(50)}});
    const double expected[] = {10, 22, 34, 50};
    expectEachInstance("Opacity Mode", 4, [&](int k) { set("Opacity", expected[k]); });
}

TEST_P(Keyframes, OpacityZeroLeavesEverySecondInstanceUndrawn) {
    row(5);
    set("Opacity Mode", 2);
    keys("Opacity", {{0, numberValue(100)}, {1, numberValue(0)}});
    const Image frame = render();
    for (int k = 0; k < 5; ++k) {
        const Raw centre = rawAt(frame, kSpacing / 2 + kSpacing * k, kRow);
        EXPECT_EQ(centre.alpha > 0, k % 2 == 0) << k;
    }
}

TEST_P(Keyframes, ShapesAlternateAndWithoutKeyframesAreCircles) {
    row(4);
    set("Shape Mode", 4);
    set("Side", 7);
    // No keyframes on "Keyframe": circles, whatever "Keyframe" and "Side" say.
    set("Keyframe", 5);
    expectEachInstance("Shape Mode", 4, [&](int) {});
    // 1 without a layer is a circle; 5 a pentagon.
    keys("Keyframe", {{0, numberValue(1)}, {1, numberValue(5)}});
    expectEachInstance("Shape Mode", 4, [&](int k) {
        set("Shape Mode", k % 2 ? 2 : 1);
        set("Side", 5);
    });
}

TEST_P(Keyframes, FillAndStrokeColoursAreNotVariedAndTheDependentStrokeFollows) {
    const PF_Pixel colours[] = {{255, 200, 100, 50}, {128, 13, 77, 250}, {255, 255, 1, 254}};
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        SCOPED_TRACE(depthName(depth));
        resetScene();
        row(4);
        host.depth = depth;
        set("Stroke Thickness", 4);
        set("Hue Variance", 40);
        set("Delta Lightness", 30);
        set("Stroke Hue Variance", 40);
        std::vector<Keyframe> colourKeys;
        for (int i = 0; i < 3; ++i) colourKeys.push_back({double(i), colorValue(colours[i])});
        keys("Color", colourKeys);
        keys("Stroke Color", colourKeys);

        // Keyframed fill and stroke: the variances and deltas play no part.
        set("Color Mode", 2);
        set("Stroke Mode", 2);
        expectEachInstance("Color Mode", 4, [&](int k) {
            set("Stroke Mode", 1);
            setColor("Color", colours[k % 3]);
            setColor("Stroke Color", colours[k % 3]);
            set("Hue Variance", 0);
            set("Delta Lightness", 0);
            set("Stroke Hue Variance", 0);
        });
        // A dependent stroke starts from the instance's keyframed fill.
        set("Stroke Mode", 4);
        set("Stroke Delta Hue", 90);
        expectEachInstance("Color Mode", 4, [&](int k) {
            setColor("Color", colours[k % 3]);
            set("Hue Variance", 0);
            set("Delta Lightness", 0);
        });
    }
}

TEST_P(Keyframes, ColourEntriesTruncateAtTheirDepth) {
    // Channel 200 reaches 8-bit as 200/255 * 255 truncated, 16-bit as
    // 200/255 * 32768 = 25700.39 truncated; float keeps 200/255.
    row(2);
    set("First Radius", 12);
    set("Color Mode", 2);
    keys("Color", {{0, colorValue({255, 200, 3, 128})}, {1, colorValue({255, 0, 255, 64})}});
    struct Case {
        Depth depth;
        double red, green, blue;
    };
    const Case cases[] = {{Depth::Bits8, 200, 3, 128},
                          {Depth::Bits16, 25700, 385, 16448},
                          {Depth::Float, 200.0f / 255.0f, 3.0f / 255.0f, 128.0f / 255.0f}};
    for (const Case &c : cases) {
        host.depth = c.depth;
        const Raw centre = rawAt(render(), kSpacing / 2, kRow);
        const double tolerance = c.depth == Depth::Float ? 1e-6 : 0;
        EXPECT_NEAR(centre.red, c.red, tolerance) << depthName(c.depth);
        EXPECT_NEAR(centre.green, c.green, tolerance) << depthName(c.depth);
        EXPECT_NEAR(centre.blue, c.blue, tolerance) << depthName(c.depth);
    }
}

// "Line" with "Sub Mode" "Dependent" on a closed square: five nodes, the last
// back at the first vertex. Its radius comes from the fifth keyframe, so the
// line swells towards the end of the last side instead of wrapping to the
// first keyframe's radius.
TEST_P(Keyframes, LineNodesOfAClosedMaskTakeTheirOwnEntries) {
    host.input = minihost::makeImage(96, 96, Depth::Bits8);
    host.masks = {polyline(true, {vertex(20, 20), vertex(76, 20), vertex(76, 76), vertex(20, 76)})};
    set("Mode", 3);
    set("Sub Mode", 2);
    set("Number", 0);
    set("Line Loop", 0);
    set("Radius Mode", 2);
    keys("First Radius",
         {{0, numberValue(2)}, {1, numberValue(2)}, {2, numberValue(2)}, {3, numberValue(2)}, {4, numberValue(12)}});
    const Image frame = render();
    // The last side runs up from (20, 76) to (20, 20): 8 px beside it, near
    // its end the line is wide; beside the middle of the first side it is not.
    EXPECT_GT(rawAt(frame, 28, 24).alpha, 0);
    EXPECT_EQ(rawAt(frame, 48, 28).alpha, 0);
}

TEST_P(Keyframes, KeyframedFramesArePinned) {
    row(6);
    set("Radius Mode", 3);
    set("Color Mode", 3);
    set("Opacity Mode", 2);
    set("Shape Mode", 4);
    set("Stroke Thickness", 3);
    set("Stroke Mode", 4);
    keys("First Radius", {{0, numberValue(8)}, {1, numberValue(40)}}, Interpolation::Hold);
    keys("Color", {{0, colorValue({255, 255, 0, 0})}, {2, colorValue({255, 0, 0, 255})}});
    keys("Opacity", {{0, numberValue(100)}, {1, numberValue(60)}, {2, numberValue(30)}});
    keys("Keyframe", {{0, numberValue(2)}, {1, numberValue(3)}, {2, numberValue(6)}, {3, numberValue(12)}});
    const uint64_t expected[] = {9488122944734809818ull, 15270427109680244186ull, 14042591243949565235ull};
    const Depth depths[] = {Depth::Bits8, Depth::Bits16, Depth::Float};
    for (int d = 0; d < 3; ++d) {
        host.depth = depths[d];
        EXPECT_EQ(frameHash(render()), expected[d]) << depthName(depths[d]);
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, Keyframes, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace frametest
