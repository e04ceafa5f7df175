// Whole frames of small scenes: the 8-bit, 16-bit and float renders of one
// scene agree up to their truncations, and each frame's content hash is pinned so that any change of
// output shows.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <functional>

#include <gtest/gtest.h>

#include "tests/engine/frame_fixture.h"

namespace frametest {
namespace {

// A layer with colour and alpha that vary across it, for "On Original".
Image patchwork(int width, int height) {
    Image image = minihost::makeImage(width, height, Depth::Bits8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t *p = image.data.data() + 4 * (y * width + x);
            p[0] = uint8_t(x < width / 2 ? 255 : 60 + 2 * y);
            p[1] = uint8_t(3 * x);
            p[2] = uint8_t(200 - 2 * y);
            p[3] = uint8_t((x / 8 + y / 8) % 2 ? 240 : 30);
        }
    return image;
}

struct Scene {
    const char *name;
    std::function<void(FrameTest &)> apply;
    // Largest difference in 8-bit steps between the 8-bit frame and a deeper
    // one (see DepthsAgree).
    double agreement;
};

// How far apart the depths may land, in 8-bit steps. Every depth truncates
// its own colours and alphas, so one truncation may put the same real value
// one step apart; the converted deep value carries its own truncation of up
// to 255/32768 of a step on top. A stroke mix truncates the already truncated
// fill and stroke colours once more (under 2 steps), and every 8-bit over
// operation onto a partly covered pixel truncates again, with a stack of
// faint "Line" stamps losing a step or so every few stamps.
constexpr double kOneStep = 1.0 + 2 * 255.0 / 32768.0;
constexpr double kTwoSteps = 2.0 + 2 * 255.0 / 32768.0;
// Blended through the host: each transfer rounds to its depth, and "Overlay"
// doubles a step of either input where it is dark (measured 2.92).
constexpr double kBlendedSteps = 3.0 + 2 * 255.0 / 32768.0;

// Straight masks and circles only in the scenes whose hashes are pinned, so
// the frames depend on correctly rounded arithmetic and square roots and not
// on the last bits of a maths library's cosine or arc tangent.
const Scene kScenes[] = {
    {"plain circles apart",
     [](FrameTest &t) {
         t.host.masks = {polyline(false, {vertex(12, 14), vertex(84.5, 14), vertex(84.5, 50.25), vertex(12, 50)})};
         t.set("Mode", 2);  // "Number"
         t.set("Number", 6);
         t.set("Sub Mode", 1);
         t.set("First Radius", 6);
         t.set("Delta Radius", 3.5);
         t.setColor("Color", PF_Pixel{255, 230, 120, 35});
         t.set("Delta Hue", 300);
         t.set("Lightness Variance", 30);
         t.set("Color Seed", 4);
         t.set("Opacity", 35);
         t.set("Delta Opacity", 65);
     },
     kOneStep},
    {"stroked circles on a square",
     [](FrameTest &t) {
         t.host.masks = {polyline(true, {vertex(14, 12), vertex(82, 12), vertex(82, 52), vertex(14, 52)})};
         t.set("Mode", 2);
         t.set("Number", 10);
         t.set("Sub Mode", 1);
         t.set("First Radius", 7);
         t.set("Delta Radius", 4);
         t.set("Min Radius", 60);
         t.set("Radius Seed", 3);
         t.set("Stroke Thickness", 3);
         t.setColor("Color", PF_Pixel{255, 200, 60, 20});
         t.setColor("Stroke Color", PF_Pixel{255, 20, 40, 220});
         t.set("Delta Hue", 120);
         t.set("Hue Variance", 30);
         t.set("Lightness Variance", 20);
         t.set("Color Seed", 11);
         t.set("Opacity", 70);
         t.set("Delta Opacity", 30);
     },
     kTwoSteps},
    {"fill over stroke on the layer",
     [](FrameTest &t) {
         t.host.input = patchwork(96, 64);
         t.set("On Original", 1);
         t.host.masks = {polyline(false, {vertex(10, 50), vertex(40, 14), vertex(86, 40)})};
         t.set("Mode", 1);  // "Vertex"
         t.set("Number", 2);
         t.set("First Radius", 9);
         t.set("Delta Radius", -5);
         t.set("Stroke Thickness", 4);
         t.set("Stroke Over", 2);
         t.set("Stroke Mode", 4);  // "Dependent"
         t.set("Stroke Delta Lightness", -40);
         t.setColor("Color", PF_Pixel{255, 90, 200, 140});
         t.set("Delta Saturation", -50);
         t.set("Opacity", 55);
         t.set("Min Opacity", 40);
         t.set("Opacity Seed", 5);
     },
     2.5},
    {"line on the layer",
     [](FrameTest &t) {
         t.host.input = patchwork(96, 64);
         t.set("On Original", 1);
         t.host.masks = {polyline(false, {vertex(8, 30), vertex(48, 10), vertex(88, 54)})};
         t.set("Mode", 3);  // "Line"
         t.set("First Radius", 4);
         t.set("Delta Radius", 3);
         t.setColor("Color", PF_Pixel{255, 250, 250, 40});
         t.set("Delta Hue", 200);
         t.set("Opacity", 90);
     },
     6.5},
};

// Hexagons turned by the phase and the mask: in the agreement check only.
const Scene kPolygonScene = {
    "turned hexagons",
    [](FrameTest &t) {
        t.host.masks = {polyline(true, {vertex(16, 14), vertex(80, 14), vertex(80, 50), vertex(16, 50)})};
        t.set("Mode", 2);
        t.set("Number", 7);
        t.set("Shape Mode", 2);
        t.set("Side", 6);
        t.set("First Radius", 10);
        t.set("Delta Phase", 180);
        t.set("Depend On Path", 1);
        t.set("Stroke Thickness", 2.5);
        t.setColor("Color", PF_Pixel{255, 30, 160, 250});
        t.set("Saturation Variance", 40);
        t.set("Opacity", 85);
    },
    kTwoSteps};

// Overlapping stroked circles blended with "Overlay" among themselves, then
// onto the layer: in the agreement check only (the blend modes pin their
// frames by hash in their own test).
const Scene kBlendScene = {
    "overlay on the layer",
    [](FrameTest &t) {
        t.host.input = patchwork(96, 64);
        t.set("On Original", 1);
        t.set("Blend Mode", 5);
        t.host.masks = {polyline(true, {vertex(18, 14), vertex(78, 14), vertex(78, 50), vertex(18, 50)})};
        t.set("Mode", 2);
        t.set("Number", 8);
        t.set("First Radius", 12);
        t.set("Stroke Thickness", 3);
        t.setColor("Color", PF_Pixel{255, 40, 190, 120});
        t.set("Delta Hue", 240);
        t.set("Opacity", 75);
    },
    kBlendedSteps};

struct WholeFrame : FrameTest {
    Image renderAt(const Scene &scene, Depth depth) {
        resetScene();
        scene.apply(*this);
        host.depth = depth;
        return render();
    }
};

struct Disagreement {
    double largest = 0;
    int drawn = 0;  // pixels of the 8-bit frame that differ from the prepared frame
};

// Compares a 16-bit or float frame with the 8-bit one in 8-bit steps: alpha
// everywhere, straight colour only where both alphas are at least 32. The
// over operation divides by the new alpha, so on a faint pixel one step of
// alpha moves the straight colour by several steps, and a pixel left
// transparent at one depth may take a faint colour at the other.
Disagreement compare(const Image &eight, const Image &deep, const Image &prepared) {
    Disagreement d;
    for (int y = 0; y < eight.height; ++y)
        for (int x = 0; x < eight.width; ++x) {
            const Steps a = stepsAt(eight, x, y), b = stepsAt(deep, x, y), p = stepsAt(prepared, x, y);
            const bool drawn = a.alpha != p.alpha || a.red != p.red || a.green != p.green || a.blue != p.blue;
            d.drawn += drawn;
            double worst = std::fabs(a.alpha - b.alpha);
            if (std::min(a.alpha, b.alpha) >= 32)
                worst = std::max(
                    {worst, std::fabs(a.red - b.red), std::fabs(a.green - b.green), std::fabs(a.blue - b.blue)});
            d.largest = std::max(d.largest, worst);
        }
    return d;
}

TEST_P(WholeFrame, DepthsAgreeWithinTheirTruncations) {
    std::vector<Scene> scenes(std::begin(kScenes), std::end(kScenes));
    scenes.push_back(kPolygonScene);
    scenes.push_back(kBlendScene);
    for (const Scene &scene : scenes) {
        const Image eight = renderAt(scene, Depth::Bits8);
        set("Path", 0);
        const Image prepared = render();
        for (Depth depth : {Depth::Bits16, Depth::Float}) {
            const Disagreement d = compare(eight, renderAt(scene, depth), prepared);
            SCOPED_TRACE(::testing::Message() << scene.name << ", " << depthName(depth));
            EXPECT_LE(d.largest, scene.agreement);
            EXPECT_GT(d.drawn, 300);
        }
    }
}

TEST_P(WholeFrame, FramesByContentHash) {
    // When drawing changes on purpose: look at the new frames (pathbloom
    // render of an equivalent scene), then copy the hashes from the failure
    // messages into this table.
    const uint64_t expected[std::size(kScenes)][3] = {
        // 8-bit, 16-bit, float
        {0x100c792d16715b61ull, 0x28dc1a2df7c0b456ull, 0x0510c7cea4308f6aull},  // plain circles
        {0x9218ef01e52783c2ull, 0x3ff5f9e2a6b7a538ull, 0x0849c3d55254fafbull},  // stroked circles
        {0xdd141075e8a53ec3ull, 0x2624b3d14dc8a23cull, 0x9e6a5a8beb51236bull},  // fill over stroke
        {0x71fe5fbec3823771ull, 0x1643d8d5825b1491ull, 0x24cf33bfe931274bull},  // line
    };
    const Depth depths[] = {Depth::Bits8, Depth::Bits16, Depth::Float};
    for (size_t s = 0; s < std::size(kScenes); ++s)
        for (size_t d = 0; d < 3; ++d) {
            const uint64_t hash = frameHash(renderAt(kScenes[s], depths[d]));
            char text[24];
            std::snprintf(text, sizeof text, "0x%016" PRIx64, hash);
            EXPECT_EQ(hash, expected[s][d])
                << kScenes[s].name << ", " << depthName(depths[d]) << ": frame hash " << text;
        }
}

INSTANTIATE_TEST_SUITE_P(Profiles, WholeFrame, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace frametest
