// Draws one placed point as an antialiased circle or regular polygon, with fill
// and stroke, laid over the output buffer with the plug-in's over composite.
#include "raster/shape_rasteriser.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "raster/pixel_kernels.h"
#include "raster/shape_coverage_inline.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kFourPi = 12.566370614359172;
constexpr int kMaxSides = 64;  // polygons with more sides are drawn with the angle form

// Margins that keep the squared-distance shortcuts on the safe side of the
// exact tests: a pixel is classed as full fill, pure stroke or empty only
// when it is so by a relative distance margin of 1e-9, far beyond rounding.
constexpr double kShrink = 1.0 - 1e-9;
constexpr double kGrow = 1.0 + 1e-9;

// A centre or half size beyond this many pixels is treated as off any frame.
constexpr double kCoordinateLimit = 1e9;

// Everything about one point that stays fixed across its pixels.
struct PointSetup {
    double centreX, centreY;  // output-buffer pixels
    int sides;                // 2 circle, 3 or more polygon
    double radius;            // drawing radius after the weight
    double thickness;         // effective stroke thickness
    double cornerFactor;      // 1 / cos(pi / sides)
    double phaseOffset;       // 4 pi - fmod(angle, 2 pi)
    double opacity;
    bool softEdge;
    int32_t halfSize;
    int32_t cx, cy;
};

bool setUpPoint(const RasterTarget &target, const RasterSettings &settings,
                const ShapePoint &point, A_long k, PointSetup &p)
{
    p.centreX = point.x - target.originX;
    p.centreY = point.y - target.originY;
    // Layer stamps are not drawn here; anything below 2 is a circle.
    p.sides = point.sides >= 3 ? point.sides : 2;
    p.thickness = settings.fillOverStroke ? settings.strokeThickness * 0.5
                                          : settings.strokeThickness;
    double radius = point.radius;
    if (settings.fillOverStroke) radius += p.thickness * 0.5;
    p.cornerFactor = 1.0 / std::cos(kPi / p.sides);
    p.phaseOffset = kFourPi - std::fmod(point.angle, kTwoPi);
    p.softEdge = settings.lineMode;

    radius *= point.weight;
    if (!(radius > 0.0)) return false;
    p.radius = radius;

    double opacity = point.opacity;
    if (settings.lineMode) {
        // Neighbouring points one pixel apart overlap about D times; each
        // gets the opacity that D layers of it add up to. Near an open end
        // fewer neighbours overlap.
        const double n = settings.pointCount;
        double overlap = 2.0 * radius - 1.0;
        if (settings.pathOpen) {
            if (radius > k) {
                overlap = k + radius - 1.0;
            } else if (radius > n - k) {
                overlap = n - k + radius - 1.0;
            }
        }
        if (opacity > 0.0) {
            opacity = std::min(opacity, 0.99999);
            opacity = 1.0 - std::pow(1.0 - opacity, 1.0 / overlap);
        }
    }
    if (!(opacity > 0.0)) return false;
    p.opacity = opacity;

    double half = p.sides == 2 ? p.thickness * 0.5 + radius
                               : p.thickness * 0.5 * p.cornerFactor + radius;
    if (!(std::fabs(p.centreX) < kCoordinateLimit && std::fabs(p.centreY) < kCoordinateLimit &&
          half < kCoordinateLimit)) {
        return false;
    }
    p.halfSize = static_cast<int32_t>(half) + 2;
    p.cx = static_cast<int32_t>(p.centreX);
    p.cy = static_cast<int32_t>(p.centreY);
    const int64_t hs = p.halfSize;
    if (p.cx < -hs || p.cx > target.width + hs || p.cy < -hs || p.cy > target.height + hs) {
        return false;
    }
    return true;
}

// Largest r with r * r <= v, for 0 <= v < 2^62.
int64_t integerSqrt(int64_t v)
{
    int64_t r = static_cast<int64_t>(std::sqrt(static_cast<double>(v)));
    while (r * r > v) --r;
    while ((r + 1) * (r + 1) <= v) ++r;
    return r;
}

// The per-depth pieces of a point: its colours and the alpha of a pixel from
// its coverage.
struct Colours8 {
    using Traits = Depth8Traits;
    using Pixel = PF_Pixel;
    static Pixel fill(const ShapePoint &p) { return p.fill8; }
    static Pixel stroke(const ShapePoint &p) { return p.stroke8; }
    struct Alpha {
        int32_t drawAlpha;
        explicit Alpha(double opacity)
            : drawAlpha(static_cast<int32_t>(std::min(std::ceil(opacity * 255.0), 255.0))) {}
        A_u_char full() const { return static_cast<A_u_char>(drawAlpha); }
        A_u_char scaled(double coverage) const
        {
            return static_cast<A_u_char>(static_cast<int32_t>(drawAlpha * coverage));
        }
    };
};

struct Colours16 {
    using Traits = Depth16Traits;
    using Pixel = PF_Pixel16;
    static Pixel fill(const ShapePoint &p) { return p.fill16; }
    static Pixel stroke(const ShapePoint &p) { return p.stroke16; }
    struct Alpha {
        int32_t drawAlpha;
        explicit Alpha(double opacity)
            : drawAlpha(static_cast<int32_t>(std::min(opacity, 1.0) * 32768.0)) {}
        A_u_short full() const { return static_cast<A_u_short>(drawAlpha); }
        A_u_short scaled(double coverage) const
        {
            return static_cast<A_u_short>(static_cast<int32_t>(drawAlpha * coverage));
        }
    };
};

struct ColoursFloat {
    using Traits = DepthFloatTraits;
    using Pixel = PF_PixelFloat;
    static Pixel fill(const ShapePoint &p) { return p.fillF; }
    static Pixel stroke(const ShapePoint &p) { return p.strokeF; }
    struct Alpha {
        float drawAlpha;
        explicit Alpha(double opacity) : drawAlpha(static_cast<float>(opacity)) {}
        float full() const { return drawAlpha; }
        float scaled(double coverage) const { return static_cast<float>(drawAlpha * coverage); }
    };
};

// Polygon distance from the edge normals: the projection of the pixel offset
// onto the nearest edge normal, times the corner factor. Equals
// d * cos(theta' - pi / n) * cornerFactor up to rounding.
struct EdgeNormals {
    int count;
    double nx[kMaxSides], ny[kMaxSides];

    double polygonDistance(double fx, double fy, double cornerFactor) const
    {
        double best = fx * nx[0] + fy * ny[0];
        for (int j = 1; j < count; ++j) best = std::max(best, fx * nx[j] + fy * ny[j]);
        return best * cornerFactor;
    }
};

// Squared-distance thresholds that class a pixel without its square root.
struct DistanceClasses {
    double inner;               // s <= inner: full coverage, all fill
    double outer;               // s >= outer: no coverage
    double bandLow, bandHigh;   // within: full coverage, all stroke
};

// For polygons the classes use d <= d' <= d * cornerFactor, where d' is the
// polygon distance: the nearest edge lies between the incircle and the
// circumcircle.
DistanceClasses distanceClasses(const PointSetup &p, bool polygon)
{
    const double r = p.radius;
    const double f = polygon ? p.cornerFactor : 1.0;
    double innerD, outerD;
    double bandLowD = 1.0, bandHighD = 0.0;  // empty unless set
    if (!polygon && p.softEdge) {
        innerD = r - 1.0;
        outerD = r + 1.0;
    } else {
        const double h = polygon ? p.thickness * 0.5 * f : p.thickness * 0.5;
        if (h == 0.0) {
            innerD = r / f;
            outerD = r + f;
        } else {
            innerD = std::min(r - h - 1.0, r) / f;
            outerD = std::max(h + r + f, r);
            bandLowD = r;
            bandHighD = (h + r) / f;
        }
    }
    DistanceClasses c;
    c.inner = innerD > 0.0 ? (innerD * kShrink) * (innerD * kShrink) : -1.0;
    c.outer = (outerD * kGrow) * (outerD * kGrow);
    c.bandLow = (bandLowD * kGrow) * (bandLowD * kGrow);
    c.bandHigh = bandHighD > 0.0 ? (bandHighD * kShrink) * (bandHighD * kShrink) : -1.0;
    return c;
}

// Polygon distance by the angle of the pixel around the centre.
double polygonDistanceByAngle(const PointSetup &p, double fx, double fy, double d)
{
    const double theta = std::atan2(fy, fx);
    const double reduced = std::fmod(theta + p.phaseOffset, kTwoPi / p.sides);
    return d * std::cos(reduced - kPi / p.sides) * p.cornerFactor;
}

template <class Colours, bool polygon>
void walkPixels(const RasterTarget &target, const PointSetup &p, const ShapePoint &point)
{
    using Pixel = typename Colours::Pixel;
    using Traits = typename Colours::Traits;
    const Pixel fill = Colours::fill(point);
    // A "Line" render has no stroke: its soft edge never weighs the stroke in.
    const Pixel stroke = Colours::stroke(point);
    const typename Colours::Alpha alpha(p.opacity);
    Pixel fullFill = fill;
    fullFill.alpha = alpha.full();
    Pixel fullStroke = stroke;
    fullStroke.alpha = alpha.full();

    EdgeNormals normals;
    normals.count = 0;
    if (polygon && p.sides <= kMaxSides) {
        normals.count = p.sides;
        for (int j = 0; j < p.sides; ++j) {
            const double phi = point.angle + (2 * j + 1) * kPi / p.sides;
            normals.nx[j] = std::cos(phi);
            normals.ny[j] = std::sin(phi);
        }
    }

    const DistanceClasses classes = distanceClasses(p, polygon);
    const int64_t hs = p.halfSize;
    const int64_t cut = (hs + 3) * (hs + 3);
    const int64_t yFirst = std::max<int64_t>(p.cy - hs, 0);
    const int64_t yLast = std::min<int64_t>(p.cy + hs, target.height - 1);
    for (int64_t y = yFirst; y <= yLast; ++y) {
        const double fy = static_cast<double>(y) - p.centreY;
        const double fy2 = fy * fy;
        if (fy2 >= classes.outer) continue;
        // Columns beyond the outer radius, widened by a pixel each side to
        // stay clear of rounding, hold no covered pixel.
        const double reach = std::sqrt(classes.outer - fy2);
        const int64_t dy = y - p.cy;
        const int64_t dxMax = integerSqrt(cut - dy * dy);
        int64_t xFirst = std::max<int64_t>({p.cx - hs, p.cx - dxMax, 0,
                                            static_cast<int64_t>(std::floor(p.centreX - reach)) - 1});
        int64_t xLast = std::min<int64_t>({p.cx + hs, p.cx + dxMax, target.width - 1,
                                           static_cast<int64_t>(std::ceil(p.centreX + reach)) + 1});
        Pixel *row = static_cast<Pixel *>(target.data) + y * target.rowPixels;
        for (int64_t x = xFirst; x <= xLast; ++x) {
            const double fx = static_cast<double>(x) - p.centreX;
            const double s = fx * fx + fy2;
            if (s <= classes.inner) {
                compositeOverInto(row[x], fullFill);
                continue;
            }
            if (s >= classes.outer) continue;
            if (s >= classes.bandLow && s <= classes.bandHigh) {
                compositeOverInto(row[x], fullStroke);
                continue;
            }
            const double d = std::sqrt(s);
            Coverage c;
            if constexpr (polygon) {
                const double dPolygon = normals.count ? normals.polygonDistance(fx, fy, p.cornerFactor)
                                                      : polygonDistanceByAngle(p, fx, fy, d);
                c = polygonCoverageInline(dPolygon, p.radius, p.thickness, p.cornerFactor);
            } else {
                c = circleCoverageInline(d, p.radius, p.thickness, p.softEdge);
            }
            if (c.coverage == 0.0) continue;
            Pixel top = mixPixel<Traits>(fill, stroke, c.fillWeight);
            top.alpha = alpha.scaled(c.coverage);
            compositeOverInto(row[x], top);
        }
    }
}

template <class Colours>
void drawAtDepth(const RasterTarget &target, const PointSetup &p, const ShapePoint &point)
{
    if (p.sides == 2) {
        walkPixels<Colours, false>(target, p, point);
    } else {
        walkPixels<Colours, true>(target, p, point);
    }
}

}  // namespace

bool drawShapePoint(const RasterTarget &target, const RasterSettings &settings,
                    const ShapePoint &point, A_long k)
{
    PointSetup p;
    if (!setUpPoint(target, settings, point, k, p)) return false;
    switch (target.depth) {
    case Depth16:
        drawAtDepth<Colours16>(target, p, point);
        break;
    case DepthFloat:
        drawAtDepth<ColoursFloat>(target, p, point);
        break;
    case Depth8:
    default:
        drawAtDepth<Colours8>(target, p, point);
        break;
    }
    return true;
}
