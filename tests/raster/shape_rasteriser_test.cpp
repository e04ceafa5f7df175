// Drawing of circles and polygons, point set-up included: a plain
// pixel-by-pixel reference compared with setUpPoint and the drawer on seeded
// random points at every depth, worked edge values, point rejection, and
// whole frames by hash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/point_setup.h"
#include "raster/pixel_ops.h"
#include "raster/shape_coverage.h"
#include "raster/shape_rasteriser.h"
#include "tests/raster/seeded_values.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kFourPi = 12.566370614359172;

// ---- Reference: the drawing steps one by one, every pixel of the square.

PF_Pixel referenceMix(PF_Pixel f, PF_Pixel s, double t) { return mixPixels8(f, s, t); }
PF_Pixel16 referenceMix(PF_Pixel16 f, PF_Pixel16 s, double t) { return mixPixels16(f, s, t); }
PF_PixelFloat referenceMix(PF_PixelFloat f, PF_PixelFloat s, double t) { return mixPixelsFloat(f, s, t); }
PF_Pixel referenceOver(PF_Pixel b, PF_Pixel t) { return compositeOver8(b, t); }
PF_Pixel16 referenceOver(PF_Pixel16 b, PF_Pixel16 t) { return compositeOver16(b, t); }
PF_PixelFloat referenceOver(PF_PixelFloat b, PF_PixelFloat t) { return compositeOverFloat(b, t); }

void pickColours(const PointValues &p, PF_Pixel &f, PF_Pixel &s) { f = p.fill.color8, s = p.stroke.color8; }
void pickColours(const PointValues &p, PF_Pixel16 &f, PF_Pixel16 &s) { f = p.fill.color16, s = p.stroke.color16; }
void pickColours(const PointValues &p, PF_PixelFloat &f, PF_PixelFloat &s) { f = p.fill.colorF, s = p.stroke.colorF; }

// What a render fixes for all its points; the frame adds its size and origin.
struct DrawSettings {
    double strokeThickness;
    bool fillOverStroke, lineMode, pathOpen;
    A_long pointCount;
};

// A frame's pixels with the depth they are drawn at and the layer
// coordinates of pixel (0, 0).
struct DrawTarget {
    RasterTarget raster;
    PixelDepth depth;
    A_long originX, originY;
};

// The drawing of one point as a render does it: set-up, then the drawer of
// the depth laying the point over the frame.
bool drawPoint(const DrawTarget &target, const DrawSettings &d, const PointValues &point, A_long k) {
    const PointSettings settings{d.strokeThickness,   d.fillOverStroke,    d.lineMode,     d.lineMode,
                                 d.pathOpen,          d.pointCount,        target.originX, target.originY,
                                 target.raster.width, target.raster.height};
    RasterShape shape;
    if (!setUpPoint(settings, point, k, shape)) return false;
    shapeDrawer(target.depth, PixelWrite::Over)(target.raster, shape);
    return true;
}

template <class Pixel>
bool referenceDraw(const DrawTarget &target, const DrawSettings &settings, const PointValues &point, A_long k) {
    const double centreX = point.x - target.originX;
    const double centreY = point.y - target.originY;
    const int sides = point.sides >= 3 ? point.sides : 2;
    const double thickness = settings.fillOverStroke ? settings.strokeThickness * 0.5 : settings.strokeThickness;
    double r = point.radius;
    if (settings.fillOverStroke) r += thickness * 0.5;
    const double cornerFactor = 1.0 / std::cos(kPi / sides);
    const double phaseOffset = kFourPi - std::fmod(point.angle, kTwoPi);
    Pixel fill, stroke;
    pickColours(point, fill, stroke);
    r = r * point.weight;
    if (r <= 0) return false;
    double opacity = point.opacity;
    if (settings.lineMode) {
        double d = 2 * r - 1;
        if (settings.pathOpen) {
            if (r > k) {
                d = k + r - 1;
            } else if (r > settings.pointCount - k) {
                d = settings.pointCount - k + r - 1;
            }
        }
        if (opacity > 0) {
            opacity = std::min(opacity, 0.99999);
            opacity = 1 - std::pow(1 - opacity, 1 / d);
        }
    }
    if (opacity <= 0) return false;
    const int drawAlpha8 = static_cast<int>(std::ceil(opacity * 255));
    const int drawAlpha16 = static_cast<int>(opacity * 32768);
    const float drawAlphaF = static_cast<float>(opacity);
    const int halfSize = sides == 2 ? static_cast<int>(thickness * 0.5 + r) + 2
                                    : static_cast<int>(thickness * 0.5 * cornerFactor + r) + 2;
    const int cx = static_cast<int>(centreX), cy = static_cast<int>(centreY);
    if (cx < -halfSize || cx > target.raster.width + halfSize || cy < -halfSize ||
        cy > target.raster.height + halfSize) {
        return false;
    }
    for (int y = cy - halfSize; y <= cy + halfSize; ++y) {
        for (int x = cx - halfSize; x <= cx + halfSize; ++x) {
            if (x < 0 || x >= target.raster.width || y < 0 || y >= target.raster.height) continue;
            const int dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy > (halfSize + 3) * (halfSize + 3)) continue;
            const double d = std::sqrt((x - centreX) * (x - centreX) + (y - centreY) * (y - centreY));
            Coverage c;
            if (sides == 2) {
                c = circleCoverage(d, r, thickness, settings.lineMode);
            } else {
                const double theta = std::atan2(y - centreY, x - centreX);
                const double reduced = std::fmod(theta + phaseOffset, kTwoPi / sides);
                const double dp = d * std::cos(reduced - kPi / sides) * cornerFactor;
                c = polygonCoverage(dp, r, thickness, cornerFactor);
            }
            if (c.coverage == 0) continue;
            Pixel top = referenceMix(fill, stroke, c.fillWeight);
            if constexpr (sizeof(Pixel) == 4) {
                top.alpha = static_cast<A_u_char>(static_cast<int>(drawAlpha8 * c.coverage));
            } else if constexpr (sizeof(Pixel) == 8) {
                top.alpha = static_cast<A_u_short>(static_cast<int>(drawAlpha16 * c.coverage));
            } else {
                top.alpha = static_cast<float>(drawAlphaF * c.coverage);
            }
            Pixel *dst = static_cast<Pixel *>(target.raster.data) + y * target.raster.rowPixels + x;
            *dst = referenceOver(*dst, top);
        }
    }
    return true;
}

// ---- Frames and seeded inputs.

template <class Pixel>
struct Frame {
    int width, height, rowPixels;
    std::vector<Pixel> pixels;

    Frame(int w, int h, int padding) : width(w), height(h), rowPixels(w + padding) {
        pixels.resize(static_cast<size_t>(rowPixels) * h);
    }
    DrawTarget target(PixelDepth depth, A_long originX = 0, A_long originY = 0) {
        return DrawTarget{{pixels.data(), rowPixels, width, height}, depth, originX, originY};
    }
};

PF_Pixel randomPixel8(SeededValues &v) {
    return PF_Pixel{static_cast<A_u_char>(v.range(0, 255)), static_cast<A_u_char>(v.range(0, 255)),
                    static_cast<A_u_char>(v.range(0, 255)), static_cast<A_u_char>(v.range(0, 255))};
}

// Backgrounds: transparent, opaque, anything per pixel, one colour, or runs
// of equal pixels (which drawing recognises and reuses results for).
template <class Pixel>
void fillBackground(Frame<Pixel> &frame, SeededValues &v) {
    const int style = v.range(0, 4);
    PF_Pixel run = randomPixel8(v);
    for (Pixel &px : frame.pixels) {
        if ((style == 4 && v.range(0, 6) == 0)) run = randomPixel8(v);
        PF_Pixel p8 = style >= 3 ? run : randomPixel8(v);
        if (style == 0) p8.alpha = 0;
        if (style == 1) p8.alpha = 255;
        if constexpr (sizeof(Pixel) == 4) {
            px = p8;
        } else if constexpr (sizeof(Pixel) == 8) {
            px = convert8To16(p8);
        } else {
            px = convert8ToFloat(p8);
        }
    }
}

// Float frames also get a few bottoms that drawing must carry through as
// the reference does: NaN, infinite, negative and above-1 alphas and
// channels. Drawn from their own sequence, so the other depths' inputs stay.
template <class Pixel>
long sprinkleSpecials(Frame<Pixel> &frame, SeededValues &v) {
    long count = 0;
    if constexpr (sizeof(Pixel) == 16) {
        const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                                  std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity(),
                                  -0.5f,
                                  1.5f,
                                  -0.0f};
        for (Pixel &px : frame.pixels) {
            if (v.range(0, 39) != 0) continue;
            float *channels[] = {&px.alpha, &px.red, &px.green, &px.blue};
            *channels[v.range(0, 3)] = specials[v.range(0, 5)];
            ++count;
        }
    } else {
        (void)frame, (void)v;
    }
    return count;
}

PointValues randomPoint(SeededValues &v, int width, int height, bool polygon) {
    PointValues p{};
    p.x = v.between(-50.0, width + 50.0);
    p.y = v.between(-50.0, height + 50.0);
    if (v.range(0, 3) == 0) p.x = std::floor(p.x);  // integer centres hit exact distances
    p.sides = polygon ? v.range(3, 9) : (v.range(0, 3) == 0 ? 1 : 2);
    if (polygon && v.range(0, 9) == 0) p.sides = 70;
    p.radius = v.range(0, 5) == 0 ? v.between(0.0, 3.0) : v.between(0.0, 40.0);
    p.weight = v.range(0, 3) == 0 ? v.unit() : 1.0;
    if (v.range(0, 19) == 0) p.weight = 0.0;
    p.angle = v.between(-20.0, 20.0);
    p.opacity = v.range(0, 2) == 0 ? 1.0 : v.between(-0.05, 1.0);
    p.fill = pixelForms(randomPixel8(v));
    p.stroke = pixelForms(randomPixel8(v));
    return p;
}

DrawSettings randomSettings(SeededValues &v, bool polygon) {
    DrawSettings s{};
    s.lineMode = !polygon && v.range(0, 2) == 0;
    s.strokeThickness = s.lineMode || v.range(0, 3) == 0 ? 0.0 : v.between(0.0, 8.0);
    if (v.range(0, 4) == 0 && !s.lineMode) s.strokeThickness = v.range(1, 6);
    s.fillOverStroke = v.range(0, 1) == 1;
    s.pathOpen = v.range(0, 1) == 1;
    s.pointCount = v.range(1, 200);
    return s;
}

double channelDifference(PF_Pixel a, PF_Pixel b) {
    return std::max(
        {std::abs(a.alpha - b.alpha), std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
}
double channelDifference(PF_Pixel16 a, PF_Pixel16 b) {
    return std::max(
        {std::abs(a.alpha - b.alpha), std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
}
double channelDifference(PF_PixelFloat a, PF_PixelFloat b) {
    return std::max({std::fabs(a.alpha - b.alpha), std::fabs(a.red - b.red), std::fabs(a.green - b.green),
                     std::fabs(a.blue - b.blue)});
}

struct Comparison {
    int points = 0, drawn = 0;
    long pixels = 0, differing = 0, changed = 0, specials = 0;
    double largest = 0.0;
};

// Adds a frame pair to `result`: pixels whose bits differ between the fast
// and the reference drawing, their largest channel difference, and pixels
// the drawing changed from the background.
template <class Pixel>
void tally(Comparison &result, const Frame<Pixel> &fast, const Frame<Pixel> &reference,
           const Frame<Pixel> &background) {
    for (size_t j = 0; j < fast.pixels.size(); ++j) {
        result.pixels++;
        result.changed += std::memcmp(&fast.pixels[j], &background.pixels[j], sizeof(Pixel)) != 0;
        if (std::memcmp(&fast.pixels[j], &reference.pixels[j], sizeof(Pixel)) != 0) {
            result.differing++;
            result.largest = std::max(result.largest, channelDifference(fast.pixels[j], reference.pixels[j]));
        }
    }
}

// Draws seeded random points one at a time into two copies of a frame, with
// drawPoint and with the reference, and compares every pixel after each.
template <class Pixel>
Comparison compareWithReference(PixelDepth depth, bool polygon, uint64_t seed, int points) {
    SeededValues v{seed}, specials{seed + 1000};
    Comparison result;
    for (int i = 0; i < points; ++i) {
        Frame<Pixel> fast(61, 47, 3);
        fillBackground(fast, v);
        if (!polygon) result.specials += sprinkleSpecials(fast, specials);  // polygons compare within a step
        Frame<Pixel> reference = fast;
        const Frame<Pixel> background = fast;
        const DrawSettings settings = randomSettings(v, polygon);
        const PointValues point = randomPoint(v, fast.width, fast.height, polygon);
        const A_long k = v.range(0, settings.pointCount - 1);
        const A_long originX = v.range(-5, 5), originY = v.range(-5, 5);
        const bool drewFast = drawPoint(fast.target(depth, originX, originY), settings, point, k);
        const bool drewReference = referenceDraw<Pixel>(reference.target(depth, originX, originY), settings, point, k);
        EXPECT_EQ(drewFast, drewReference) << "point " << i;
        ++result.points;
        result.drawn += drewFast;
        tally(result, fast, reference, background);
    }
    return result;
}

TEST(ShapeRasteriserTest, CirclesMatchReferenceBitForBit) {
    const Comparison comparisons[] = {compareWithReference<PF_Pixel>(Depth8, false, 101, 3000),
                                      compareWithReference<PF_Pixel16>(Depth16, false, 102, 3000),
                                      compareWithReference<PF_PixelFloat>(DepthFloat, false, 103, 3000)};
    for (const Comparison &c : comparisons) {
        EXPECT_EQ(c.differing, 0) << "largest " << c.largest;
        EXPECT_GT(c.drawn, c.points / 4);
        EXPECT_GT(c.changed, c.pixels / 20);
        std::printf("circles drawn %d of %d, pixels changed %ld of %ld, special bottoms %ld\n", c.drawn, c.points,
                    c.changed, c.pixels, c.specials);
    }
}

// Polygons take the polygon distance from the edge normals rather than from
// the pixel's angle: equal up to rounding, so a pixel may differ by one step.
TEST(ShapeRasteriserTest, PolygonsMatchReferenceWithinOneStep) {
    const Comparison c8 = compareWithReference<PF_Pixel>(Depth8, true, 201, 2000);
    EXPECT_LE(c8.largest, 1.0);
    EXPECT_LE(c8.differing, c8.pixels / 100000) << c8.differing << " of " << c8.pixels;
    const Comparison c16 = compareWithReference<PF_Pixel16>(Depth16, true, 202, 2000);
    EXPECT_LE(c16.largest, 1.0);
    EXPECT_LE(c16.differing, c16.pixels / 100000) << c16.differing << " of " << c16.pixels;
    const Comparison cf = compareWithReference<PF_PixelFloat>(DepthFloat, true, 203, 2000);
    EXPECT_LE(cf.largest, 1.0 / 32768.0);
    EXPECT_LE(cf.differing, cf.pixels / 1000) << cf.differing << " of " << cf.pixels;
    EXPECT_GT(c8.changed, c8.pixels / 40);
    std::printf("polygon pixels differing: 8-bit %ld, 16-bit %ld, float %ld of %ld each\n", c8.differing, c16.differing,
                cf.differing, c8.pixels);
}

// "Line" renders: runs of overlapping soft-edged points with small alphas,
// one after the other into the same frame, the way a line is laid down,
// half of them in one fill colour, so that points land on their own colour.
// Centres on quarter pixels put pixels exactly on the distances where the
// truncated alpha steps; transparent backgrounds take the fill colour even
// where the alpha truncates to 0.
template <class Pixel>
Comparison compareLineWithReference(PixelDepth depth, uint64_t seed, int frames) {
    SeededValues v{seed}, specials{seed + 1000};
    Comparison result;
    for (int f = 0; f < frames; ++f) {
        Frame<Pixel> fast(71, 53, 2);
        fillBackground(fast, v);
        result.specials += sprinkleSpecials(fast, specials);
        Frame<Pixel> reference = fast;
        const Frame<Pixel> background = fast;
        DrawSettings settings{0.0, v.range(0, 1) == 1, true, v.range(0, 1) == 1, v.range(5, 400)};
        const double radius = v.range(0, 2) == 0 ? v.between(0.5, 30.0) : v.range(1, 24);
        const double opacity = v.range(0, 4) == 0 ? 1.0 : v.between(0.01, 0.9);
        double x = v.between(-10.0, 80.0), y = v.between(-10.0, 60.0);
        const double stepX = v.between(-1.0, 1.0), stepY = v.between(-1.0, 1.0);
        const int count = v.range(5, 40);
        const bool oneColour = v.range(0, 1) == 1;
        decltype(PointValues::fill) lineFill{};
        for (int i = 0; i < count; ++i) {
            PointValues p = randomPoint(v, fast.width, fast.height, false);
            if (i == 0) lineFill = p.fill;
            if (oneColour) p.fill = lineFill;
            p.sides = 2;
            p.radius = radius;
            p.weight = v.range(0, 5) == 0 ? v.between(0.2, 1.0) : 1.0;
            p.opacity = opacity;
            x += stepX, y += stepY;
            p.x = x, p.y = y;
            const int snap = v.range(0, 3);
            if (snap == 1) p.x = std::floor(x * 4) / 4, p.y = std::floor(y);
            if (snap == 2) p.x = std::floor(x), p.y = std::floor(y * 4) / 4;
            const A_long k = v.range(0, settings.pointCount - 1);
            const bool drewFast = drawPoint(fast.target(depth), settings, p, k);
            const bool drewReference = referenceDraw<Pixel>(reference.target(depth), settings, p, k);
            EXPECT_EQ(drewFast, drewReference) << "frame " << f << " point " << i;
            ++result.points;
            result.drawn += drewFast;
        }
        tally(result, fast, reference, background);
    }
    return result;
}

TEST(ShapeRasteriserTest, LineRunsMatchReferenceBitForBit) {
    const Comparison c8 = compareLineWithReference<PF_Pixel>(Depth8, 301, 400);
    EXPECT_EQ(c8.differing, 0) << "largest " << c8.largest;
    const Comparison c16 = compareLineWithReference<PF_Pixel16>(Depth16, 302, 400);
    EXPECT_EQ(c16.differing, 0) << "largest " << c16.largest;
    const Comparison cf = compareLineWithReference<PF_PixelFloat>(DepthFloat, 303, 400);
    EXPECT_EQ(cf.differing, 0) << "largest " << cf.largest;
    for (const Comparison *c : {&c8, &c16, &cf}) {
        EXPECT_GT(c->drawn, c->points / 2);
        EXPECT_GT(c->changed, c->pixels / 10);
        std::printf("line points drawn %d of %d, pixels changed %ld of %ld, special bottoms %ld\n", c->drawn, c->points,
                    c->changed, c->pixels, c->specials);
    }
}

// The replacing write, for drawing into a cleared scratch world: a point's
// walk writes each pixel once, so on a transparent frame it must give
// exactly what the over write gives, soft "Line" edges included.
template <class Pixel>
long replaceDifferences(PixelDepth depth, uint64_t seed, int points) {
    SeededValues v{seed};
    long differing = 0;
    for (int i = 0; i < points; ++i) {
        const bool polygon = v.range(0, 2) == 0;
        const DrawSettings d = randomSettings(v, polygon);
        const PointValues point = randomPoint(v, 61, 47, polygon);
        const PointSettings settings{
            d.strokeThickness, d.fillOverStroke, d.lineMode, d.lineMode, d.pathOpen, d.pointCount, 0, 0, 61, 47};
        RasterShape shape;
        if (!setUpPoint(settings, point, v.range(0, d.pointCount - 1), shape)) continue;
        Frame<Pixel> over(61, 47, 3), replaced(61, 47, 3);
        shapeDrawer(depth, PixelWrite::Over)(over.target(depth).raster, shape);
        shapeDrawer(depth, PixelWrite::Replace)(replaced.target(depth).raster, shape);
        differing += std::memcmp(over.pixels.data(), replaced.pixels.data(), over.pixels.size() * sizeof(Pixel)) != 0;
    }
    return differing;
}

TEST(ShapeRasteriserTest, ReplacingIntoAClearedWorldMatchesOverOnTransparent) {
    EXPECT_EQ(replaceDifferences<PF_Pixel>(Depth8, 401, 1500), 0);
    EXPECT_EQ(replaceDifferences<PF_Pixel16>(Depth16, 402, 1500), 0);
    EXPECT_EQ(replaceDifferences<PF_PixelFloat>(DepthFloat, 403, 1500), 0);
}

// ---- Worked values on a transparent 8-bit frame.

PointValues whitePoint(double x, double y, int sides, double radius, double opacity) {
    PointValues p{};
    p.x = x, p.y = y, p.sides = sides, p.radius = radius, p.weight = 1.0, p.opacity = opacity;
    p.fill = pixelForms(PF_Pixel{255, 255, 255, 255});
    p.stroke = pixelForms(PF_Pixel{255, 255, 0, 0});
    return p;
}

DrawSettings plainSettings(double thickness = 0.0) { return DrawSettings{thickness, false, false, true, 1}; }

TEST(ShapeRasteriserTest, CircleEdgeAlphaByDistance) {
    Frame<PF_Pixel> frame(64, 40, 0);
    // Centre (20.5, 20): pixel 30 lies 9.5 away, 31 lies 10.5, 32 lies 11.5.
    ASSERT_TRUE(drawPoint(frame.target(Depth8), plainSettings(), whitePoint(20.5, 20.0, 2, 10.0, 1.0), 0));
    const PF_Pixel *row = frame.pixels.data() + 20 * frame.rowPixels;
    EXPECT_EQ(row[30].alpha, 255);
    EXPECT_EQ(row[31].alpha, 127);  // coverage 0.5
    EXPECT_EQ(row[32].alpha, 0);
    EXPECT_EQ(row[32].red, 0);  // never written
    EXPECT_EQ(row[11].alpha, 255);
    EXPECT_EQ(row[10].alpha, 127);
    EXPECT_EQ(row[9].alpha, 0);
}

TEST(ShapeRasteriserTest, LineModeSoftEdgeAndCompensatedOpacity) {
    Frame<PF_Pixel> frame(64, 40, 0);
    DrawSettings settings{0.0, false, true, true, 100};
    // Point 50 of 100 on an open path: D = 2R - 1 = 19.
    ASSERT_TRUE(drawPoint(frame.target(Depth8), settings, whitePoint(20.0, 20.0, 2, 10.0, 0.45), 50));
    const double opacity = 1.0 - std::pow(0.55, 1.0 / 19.0);
    const int drawAlpha = static_cast<int>(std::ceil(opacity * 255.0));
    const PF_Pixel *row = frame.pixels.data() + 20 * frame.rowPixels;
    EXPECT_EQ(row[20].alpha, drawAlpha);
    EXPECT_EQ(row[29].alpha, drawAlpha);      // d = 9
    EXPECT_EQ(row[30].alpha, drawAlpha / 2);  // d = 10: coverage 0.5
    EXPECT_EQ(row[31].alpha, 0);              // d = 11
    // Near the start of an open path fewer neighbours overlap: D = k + R - 1.
    Frame<PF_Pixel> start(64, 40, 0);
    ASSERT_TRUE(drawPoint(start.target(Depth8), settings, whitePoint(20.0, 20.0, 2, 10.0, 0.45), 3));
    const int startAlpha = static_cast<int>(std::ceil((1.0 - std::pow(0.55, 1.0 / 12.0)) * 255.0));
    EXPECT_EQ(start.pixels[20 * start.rowPixels + 20].alpha, startAlpha);
    // Full opacity is held just below 1, so a line point never becomes opaque.
    Frame<PF_Pixel> full(64, 40, 0);
    ASSERT_TRUE(drawPoint(full.target(Depth8), settings, whitePoint(20.0, 20.0, 2, 10.0, 1.0), 50));
    EXPECT_LT(full.pixels[20 * full.rowPixels + 20].alpha, 255);
}

TEST(ShapeRasteriserTest, StrokeBandsAndFillOverStroke) {
    struct Case {
        bool fillOverStroke;
        int pureFillUpTo, strokeFrom, strokeTo;  // distances along the row
    };
    // Radius 10, thickness 4; "Fill Over Stroke" draws radius 11, thickness 2.
    const Case cases[] = {{false, 7, 8, 12}, {true, 9, 10, 12}};
    for (const Case &c : cases) {
        Frame<PF_Pixel> frame(64, 40, 0);
        const DrawSettings settings{4.0, c.fillOverStroke, false, true, 1};
        ASSERT_TRUE(drawPoint(frame.target(Depth8), settings, whitePoint(20.0, 20.0, 2, 10.0, 1.0), 0));
        const PF_Pixel *row = frame.pixels.data() + 20 * frame.rowPixels + 20;
        for (int d = 0; d <= c.pureFillUpTo; ++d) EXPECT_EQ(row[d].blue, 255) << d;
        for (int d = c.strokeFrom; d <= c.strokeTo; ++d) {
            EXPECT_EQ(row[d].alpha, 255) << d;
            EXPECT_EQ(row[d].blue, 0) << d;
            EXPECT_EQ(row[d].red, 255) << d;
        }
        EXPECT_EQ(row[13].alpha, 0);
    }
}

TEST(ShapeRasteriserTest, SquareVerticesFollowTheAngle) {
    // Vertices on the axes with angle 0: (20 + 10, 20) is inside, the diagonal
    // at distance 8.5 (beyond the edge at 7.07) is not.
    Frame<PF_Pixel> diamond(41, 41, 0);
    ASSERT_TRUE(drawPoint(diamond.target(Depth8), plainSettings(), whitePoint(20, 20, 4, 10, 1), 0));
    EXPECT_EQ(diamond.pixels[20 * 41 + 29].alpha, 255);
    EXPECT_EQ(diamond.pixels[26 * 41 + 26].alpha, 0);
    // An eighth of a turn later the edges are axis-parallel, 7.07 from the
    // centre: the corner (27, 27) is inside, and the ramp ends by 8.07.
    Frame<PF_Pixel> square(41, 41, 0);
    PointValues turned = whitePoint(20, 20, 4, 10, 1);
    turned.angle = kPi / 4;
    ASSERT_TRUE(drawPoint(square.target(Depth8), plainSettings(), turned, 0));
    EXPECT_EQ(square.pixels[27 * 41 + 27].alpha, 255);
    EXPECT_EQ(square.pixels[20 * 41 + 27].alpha, 255);
    EXPECT_EQ(square.pixels[20 * 41 + 28].alpha, 18);  // 0.93 of a pixel out: coverage 0.07
    EXPECT_EQ(square.pixels[20 * 41 + 29].alpha, 0);
}

TEST(ShapeRasteriserTest, RejectedPointsTouchNothing) {
    struct Case {
        const char *what;
        double x, radius, weight, opacity;
        bool drawn;
    };
    // halfSize of radius 10 is 12: a centre at -12 is still visited, -13 is not.
    const Case cases[] = {
        {"zero weight", 20, 10, 0.0, 1.0, false},
        {"negative radius", 20, -3, 1.0, 1.0, false},
        {"zero opacity", 20, 10, 1.0, 0.0, false},
        {"left of the frame", -13, 10, 1.0, 1.0, false},
        {"on the limit", -12, 10, 1.0, 1.0, true},
        {"right of the frame", 40 + 12 + 1, 10, 1.0, 1.0, false},
        {"right on the limit", 40 + 12, 10, 1.0, 1.0, true},
        {"far away", 1e300, 10, 1.0, 1.0, false},
        {"not a number", NAN, 10, 1.0, 1.0, false},
    };
    for (const Case &c : cases) {
        Frame<PF_Pixel> frame(40, 40, 2);
        PointValues p = whitePoint(c.x, 20.0, 2, c.radius, c.opacity);
        p.weight = c.weight;
        EXPECT_EQ(drawPoint(frame.target(Depth8), plainSettings(), p, 0), c.drawn) << c.what;
        if (!c.drawn) {
            EXPECT_TRUE(std::all_of(frame.pixels.begin(), frame.pixels.end(), [](PF_Pixel px) {
                return px.alpha == 0 && px.red == 0;
            })) << c.what;
        }
    }
    // A polygon needs a finite rotation; a circle ignores it.
    Frame<PF_Pixel> frame(40, 40, 0);
    PointValues hexagon = whitePoint(20, 20, 6, 10, 1);
    hexagon.angle = NAN;
    EXPECT_FALSE(drawPoint(frame.target(Depth8), plainSettings(), hexagon, 0));
    EXPECT_TRUE(std::all_of(frame.pixels.begin(), frame.pixels.end(), [](PF_Pixel px) { return px.alpha == 0; }));
    PointValues circle = whitePoint(20, 20, 2, 10, 1);
    circle.angle = INFINITY;
    EXPECT_TRUE(drawPoint(frame.target(Depth8), plainSettings(), circle, 0));
    EXPECT_EQ(frame.pixels[20 * 40 + 20].alpha, 255);
}

// ---- Whole frames by hash.

template <class Pixel>
uint64_t hashFrame(const Frame<Pixel> &frame) {
    uint64_t h = 1469598103934665603ull;
    const auto *bytes = reinterpret_cast<const unsigned char *>(frame.pixels.data());
    for (size_t i = 0; i < frame.pixels.size() * sizeof(Pixel); ++i) {
        h ^= bytes[i];
        h *= 1099511628211ull;
    }
    return h;
}

// A ring of overlapping circles over a half-transparent background, the way
// a render lays them down one after the other. Circles only: their pixels
// depend on nothing but exactly rounded arithmetic and square roots.
template <class Pixel>
uint64_t ringFrameHash(PixelDepth depth) {
    Frame<Pixel> frame(160, 120, 5);
    SeededValues v{7};
    for (Pixel &px : frame.pixels) {
        PF_Pixel p8 = randomPixel8(v);
        p8.alpha = static_cast<A_u_char>(p8.alpha & 0x80 ? 255 : 0);
        if constexpr (sizeof(Pixel) == 4) {
            px = p8;
        } else if constexpr (sizeof(Pixel) == 8) {
            px = convert8To16(p8);
        } else {
            px = convert8ToFloat(p8);
        }
    }
    const DrawSettings settings{3.0, false, false, false, 24};
    for (int i = 0; i < 24; ++i) {
        const double a = kTwoPi * i / 24;
        // Centres on a 1/8 pixel grid, whatever the library's cosine.
        const double x = std::round((80 + 45 * std::cos(a)) * 8) / 8;
        const double y = std::round((60 + 45 * std::sin(a)) * 8) / 8 + 0.3;
        PointValues p = whitePoint(x, y, 2, 6 + i % 9, 0.4 + 0.025 * i);
        p.fill = pixelForms(PF_Pixel{255, static_cast<A_u_char>(10 * i), 90, static_cast<A_u_char>(250 - 9 * i)});
        drawPoint(frame.target(depth, -3, 2), settings, p, i);
    }
    return hashFrame(frame);
}

TEST(ShapeRasteriserTest, RingFramesByHash) {
    EXPECT_EQ(ringFrameHash<PF_Pixel>(Depth8), 0xe16cd1ae9a06183full);
    EXPECT_EQ(ringFrameHash<PF_Pixel16>(Depth16), 0xa32da8cdf729bfe7ull);
    EXPECT_EQ(ringFrameHash<PF_PixelFloat>(DepthFloat), 0xb544aebe08b21931ull);
}

}  // namespace
