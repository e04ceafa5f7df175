// Layer stamps: the size a layer is scaled to, and the fixed-point map from
// output pixels to layer positions against a plain double evaluation.
#include <cmath>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "raster/layer_stamp.h"
#include "raster/shape_rasteriser.h"
#include "tests/raster/seeded_values.h"

namespace {

TEST(LayerStamp, TargetSizeFromTheLargestRadius) {
    struct Case {
        double radius;
        A_long w, h;
        A_long side, width, height;
    };
    const Case cases[] = {
        {20.3, 200, 100, 42, 42, 21},  // ceil 21, twice: 42; 100 * 42 / 200
        {20.3, 100, 200, 42, 21, 42},
        {20.3, 64, 64, 42, 42, 42},
        {0.4, 200, 100, 2, 2, 1},  // ceil 1: S = 2 stands
        {0, 200, 100, 10, 10, 5},  // S = 0 is raised to 10
        {-20, 30, 31, 10, 9, 10},  // 30 * 10 / 31 = 9.7
        {std::nan(""), 8, 8, 10, 10, 10},
        {20, 1000, 1, 40, 40, 1},  // 1 * 40 / 1000 = 0: held at one row
        {1e12, 4, 2, kLargestLayerSide, kLargestLayerSide, kLargestLayerSide / 2},
    };
    for (const Case &c : cases) {
        const LayerSize size = layerTargetSize(c.radius, c.w, c.h);
        EXPECT_EQ(size.side, c.side) << c.radius << " " << c.w << "x" << c.h;
        EXPECT_EQ(size.width, c.width) << c.radius << " " << c.w << "x" << c.h;
        EXPECT_EQ(size.height, c.height) << c.radius << " " << c.w << "x" << c.h;
    }
}

TEST(LayerStamp, TransformOfHandWorkedPoints) {
    // Radius 21, layer 42: s = 20 * 21 / 441 = 0.952..., nearest area no.
    LayerTransform t = layerTransform(0, false, 10.25, 20.5, 21, 42);
    EXPECT_EQ(t.cosF, 65536);
    EXPECT_EQ(t.sinF, 0);
    EXPECT_EQ(t.centreXF, 671744);     // 10.25 * 65536
    EXPECT_EQ(t.centreYF, 1343488);    // 20.5 * 65536
    EXPECT_EQ(t.scaleF, 62415);        // 0.95238 * 65536 = 62415.24
    EXPECT_EQ(t.sampleRadius, 31208);  // 31207.6
    EXPECT_FALSE(t.area);
    // "Depend On Path" turns a further quarter: theta = -pi/2.
    t = layerTransform(0, true, 0, 0, 21, 42);
    EXPECT_EQ(t.cosF, 0);
    EXPECT_EQ(t.sinF, -65536);
    // Radius 1: s = 0, every pixel reads the layer's centre.
    t = layerTransform(0.3, false, 5, 5, 1, 42);
    EXPECT_EQ(t.scaleF, 0);
    for (int64_t y : {0, 7})
        for (int64_t x : {-3, 0, 9}) {
            const LayerStep step = layerStep(t, layerRow(t, y), 1376256, 688128, x);
            EXPECT_EQ(step.x(), 1376256);
            EXPECT_EQ(step.y(), 688128);
        }
    // Shrunk more than 1.2 times: the area sample, half s as its radius.
    t = layerTransform(0, false, 0, 0, 4, 64);
    EXPECT_EQ(t.scaleF, 393216);  // s = 3 * 32 / 16 = 6
    EXPECT_EQ(t.sampleRadius, 196608);
    EXPECT_TRUE(t.area);
}

// The fixed-point positions against s x (dx cos theta - dy sin theta) and
// s x (dy cos theta + dx sin theta) from the pixel centre's offset (dx, dy).
// Each factor keeps 10 bits below the point after its shift by 6: cos, sin
// and s are off by up to 1/1024, the offset and each product by 1/1024
// pixel. So a position is off by at most (|s| (2 |offset| + 8) + |offset| +
// 1) / 1024 pixel, |offset| = |dx| + |dy|: a stamp 100 pixels across samples
// a neighbouring layer pixel where the exact position lies within about a
// quarter pixel of an edge.
TEST(LayerStamp, FixedPointPositionsFollowTheDoubleMap) {
    SeededValues v{2026};
    int compared = 0, samePixel = 0, stepsCompared = 0;
    double worst = 0;
    for (int point = 0; point < 400; ++point) {
        const double angle = v.between(-20, 20);
        const double radius = v.between(1.5, 300);
        const double layerSize = 2 * std::ceil(v.between(1, 300));
        const double centreX = v.between(-100, 2000), centreY = v.between(-100, 1200);
        const bool dependOnPath = point % 2;
        const LayerTransform t = layerTransform(angle, dependOnPath, centreX, centreY, radius, layerSize);
        const double theta = dependOnPath ? -(angle + 3.141592653589793 / 2) : -angle;
        const double s = (radius - 1) * (layerSize * 0.5) / (radius * radius);
        const int64_t lcx = nearestFixed(layerSize * 0.5 * 65536), lcy = nearestFixed(layerSize * 0.25 * 65536);
        const int64_t half = static_cast<int64_t>(std::ceil(std::sqrt(2.0) * radius));
        // A row stepped from its first column gives each column's own numbers.
        const int64_t rowY = static_cast<int64_t>(centreY) + v.range(-half, half);
        LayerStep stepped = layerStep(t, layerRow(t, rowY), lcx, lcy, static_cast<int64_t>(centreX) - half);
        for (int64_t x = static_cast<int64_t>(centreX) - half; x <= static_cast<int64_t>(centreX) + half; ++x) {
            const LayerStep fresh = layerStep(t, layerRow(t, rowY), lcx, lcy, x);
            ASSERT_EQ(stepped.x(), fresh.x()) << point << " " << x;
            ASSERT_EQ(stepped.y(), fresh.y()) << point << " " << x;
            stepped.next();
            ++stepsCompared;
        }
        for (int i = 0; i < 20; ++i) {
            const int64_t x = static_cast<int64_t>(centreX) + v.range(-half, half);
            const int64_t y = static_cast<int64_t>(centreY) + v.range(-half, half);
            const LayerStep step = layerStep(t, layerRow(t, y), lcx, lcy, x);
            const int64_t sx = step.x(), sy = step.y();
            const double dx = x + 0.5 - centreX, dy = y + 0.5 - centreY;
            const double ex = s * (dx * std::cos(theta) - dy * std::sin(theta)) + lcx / 65536.0;
            const double ey = s * (dy * std::cos(theta) + dx * std::sin(theta)) + lcy / 65536.0;
            const double offset = std::fabs(dx) + std::fabs(dy);
            const double bound = (std::fabs(s) * (2 * offset + 8) + offset + 1) / 1024;
            ASSERT_LE(std::fabs(sx / 65536.0 - ex), bound) << point << " " << x << "," << y;
            ASSERT_LE(std::fabs(sy / 65536.0 - ey), bound) << point << " " << x << "," << y;
            worst = std::max(worst, std::max(std::fabs(sx / 65536.0 - ex), std::fabs(sy / 65536.0 - ey)) / bound);
            samePixel += std::floor(sx / 65536.0) == std::floor(ex) && std::floor(sy / 65536.0) == std::floor(ey);
            ++compared;
        }
    }
    EXPECT_EQ(compared, 8000);
    EXPECT_GT(stepsCompared, 40000);
    EXPECT_GT(worst, 0.5);               // the bound is close, not loose
    EXPECT_GT(samePixel, 8000 * 3 / 4);  // 6490 here: most positions fall in the exact pixel
}

// A host sampler that notes every position asked and answers an opaque pixel
// wherever it is asked: a stamp shows exactly which pixels it asked for.
std::set<std::pair<PF_Fixed, PF_Fixed>> asked;
template <class Pixel>
PF_Err answerOpaque(PF_ProgPtr, PF_Fixed x, PF_Fixed y, const PF_SampPB *, Pixel *out) {
    asked.insert({x, y});
    *out = Pixel{200, 90, 90, 90};
    return PF_Err_NONE;
}

// Only positions near the layer go to the host; a stamp lays a transparent
// pixel everywhere else, as the host's sample there would be. The layer is
// wider than high, so a swapped axis shows.
template <class Pixel>
void checkStampReach(PixelDepth depth, PixelWrite write, double angle, double radius, double layerSize) {
    const PF_Sampling8Suite1 suite8{answerOpaque<PF_Pixel>, nullptr, answerOpaque<PF_Pixel>};
    const PF_Sampling16Suite1 suite16{answerOpaque<PF_Pixel16>, nullptr, answerOpaque<PF_Pixel16>};
    const PF_SamplingFloatSuite1 suiteFloat{answerOpaque<PF_PixelFloat>, nullptr, answerOpaque<PF_PixelFloat>};
    PF_EffectWorld layer{};
    layer.width = static_cast<A_long>(layerSize);
    layer.height = static_cast<A_long>(layerSize / 2);
    PF_Err pending = PF_Err_NONE;
    int ref = 0;
    const LayerSampler sampler{reinterpret_cast<PF_ProgPtr>(&ref),
                               &layer,
                               layer.width * 32768,
                               layer.height * 32768,
                               &suite8,
                               &suite16,
                               &suiteFloat,
                               &pending};
    const int size = 160;
    RasterShape s{};
    s.centreX = s.centreY = 80.3;
    s.cx = s.cy = 80;
    s.halfSize = static_cast<int32_t>(std::ceil(std::sqrt(2.0) * radius));
    s.sides = 1;
    s.radius = radius;
    s.opacity = 1;
    s.layer = layerTransform(angle, false, s.centreX, s.centreY, radius, layerSize);
    s.sampler = &sampler;
    const Pixel under{0, 7, 7, 7};  // transparent, coloured: a missing write shows
    std::vector<Pixel> frame(size * size, under);
    asked.clear();
    shapeDrawer(depth, write)(RasterTarget{frame.data(), size, size, size}, s);
    ASSERT_EQ(pending, PF_Err_NONE);

    const int64_t margin = 65536 + (s.layer.area ? s.layer.sampleRadius : 0);
    int inReach = 0, squarePixels = 0;
    for (int y = s.cy - s.halfSize; y <= s.cy + s.halfSize; ++y)
        for (int x = s.cx - s.halfSize; x <= s.cx + s.halfSize; ++x, ++squarePixels) {
            const LayerStep step = layerStep(s.layer, layerRow(s.layer, y), sampler.centreX, sampler.centreY, x);
            const std::pair<PF_Fixed, PF_Fixed> at{static_cast<PF_Fixed>(step.x()), static_cast<PF_Fixed>(step.y())};
            // Closer to the layer than the margin: the host must be asked.
            const bool near = at.first > -margin && at.first < layer.width * 65536 + margin && at.second > -margin &&
                              at.second < layer.height * 65536 + margin;
            const bool wasAsked = asked.count(at) > 0;
            inReach += near;
            EXPECT_TRUE(wasAsked || !near) << x << "," << y;
            const Pixel &p = frame[y * size + x];
            const Pixel expected = wasAsked ? Pixel{200, 90, 90, 90} : Pixel{0, 0, 0, 0};
            ASSERT_TRUE(p.alpha == expected.alpha && p.red == expected.red && p.green == expected.green &&
                        p.blue == expected.blue)
                << x << "," << y << " asked " << wasAsked;
        }
    // The host saw the layer and its margin, not the whole square.
    EXPECT_GT(inReach, 0);
    EXPECT_LT(static_cast<int>(asked.size()), squarePixels * 3 / 4);
}

TEST(LayerStamp, OnlyPositionsNearTheLayerAreSampled) {
    struct Case {
        double angle, radius, layerSize;  // layerSize 2 x the radius: nearest; 8 x: area
    };
    const Case cases[] = {{0.0, 20, 40}, {0.7, 20, 40}, {-2.2, 30, 60}, {0.4, 12, 96}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "angle " << c.angle << " radius " << c.radius << " layer " << c.layerSize);
        checkStampReach<PF_Pixel>(Depth8, PixelWrite::Over, c.angle, c.radius, c.layerSize);
        checkStampReach<PF_Pixel>(Depth8, PixelWrite::Replace, c.angle, c.radius, c.layerSize);
        checkStampReach<PF_Pixel16>(Depth16, PixelWrite::Over, c.angle, c.radius, c.layerSize);
        checkStampReach<PF_PixelFloat>(DepthFloat, PixelWrite::Over, c.angle, c.radius, c.layerSize);
    }
}

}  // namespace
