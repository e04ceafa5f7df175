// Draws one placed point as an antialiased circle or regular polygon, with fill
// and stroke, laid over the output buffer with the plug-in's over composite.
#include "raster/shape_rasteriser.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

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

bool setUpPoint(const RasterTarget &target, const RasterSettings &settings, const ShapePoint &point, A_long k,
                PointSetup &p) {
    p.centreX = point.x - target.originX;
    p.centreY = point.y - target.originY;
    // Layer stamps are not drawn here; anything below 2 is a circle.
    p.sides = point.sides >= 3 ? point.sides : 2;
    p.thickness = settings.fillOverStroke ? settings.strokeThickness * 0.5 : settings.strokeThickness;
    double radius = point.radius;
    if (settings.fillOverStroke) radius += p.thickness * 0.5;
    p.cornerFactor = 1.0 / std::cos(kPi / p.sides);
    p.phaseOffset = kFourPi - std::fmod(point.angle, kTwoPi);
    // A polygon without a finite rotation has no edges to draw.
    if (p.sides >= 3 && !std::isfinite(point.angle)) return false;
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

    double half = p.sides == 2 ? p.thickness * 0.5 + radius : p.thickness * 0.5 * p.cornerFactor + radius;
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

// The per-depth pieces of a point: its colours and the alpha of a pixel from
// its coverage.
struct Colours8 {
    using Traits = Depth8Traits;
    using Pixel = PF_Pixel;
    static Pixel fill(const ShapePoint &p) { return p.fill8; }
    static Pixel stroke(const ShapePoint &p) { return p.stroke8; }
    struct Alpha {
        double drawAlpha;  // whole number 0..255
        explicit Alpha(double opacity) : drawAlpha(std::min(std::ceil(opacity * 255.0), 255.0)) {}
        A_u_char full() const { return static_cast<A_u_char>(drawAlpha); }
        A_u_char scaled(double coverage) const {
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
        double drawAlpha;  // whole number 0..32768
        explicit Alpha(double opacity) : drawAlpha(std::trunc(std::min(opacity, 1.0) * 32768.0)) {}
        A_u_short full() const { return static_cast<A_u_short>(drawAlpha); }
        A_u_short scaled(double coverage) const {
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
    double inverseNx[kMaxSides];  // 0 where nx is 0 to within 1e-12

    // Index of the normal with the largest projection.
    int nearest(double fx, double fy) const {
        int best = 0;
        double most = fx * nx[0] + fy * ny[0];
        for (int j = 1; j < count; ++j) {
            const double v = fx * nx[j] + fy * ny[j];
            if (v > most) most = v, best = j;
        }
        return best;
    }

    double polygonDistance(double fx, double fy, double cornerFactor) const {
        double best = fx * nx[0] + fy * ny[0];
        for (int j = 1; j < count; ++j) best = std::max(best, fx * nx[j] + fy * ny[j]);
        return best * cornerFactor;
    }
};

// The rings of a point in its own distance: the circle distance d, or the
// polygon distance d' of polygons. Closer than inner: full coverage, all fill;
// at least outer: no coverage; within the band: full coverage, all stroke.
struct Rings {
    double inner, outer, bandLow, bandHigh;
};

Rings ringsOf(const PointSetup &p, bool polygon) {
    const double r = p.radius;
    Rings rings{0.0, 0.0, 1.0, 0.0};  // band empty unless set
    if (!polygon && p.softEdge) {
        rings.inner = r - 1.0;
        rings.outer = r + 1.0;
        return rings;
    }
    const double f = polygon ? p.cornerFactor : 1.0;
    const double h = polygon ? p.thickness * 0.5 * f : p.thickness * 0.5;
    if (h == 0.0) {
        rings.inner = r;
        rings.outer = r + f;
    } else {
        rings.inner = std::min(r - h - 1.0, r);
        rings.outer = std::max(h + r + f, r);
        rings.bandLow = r;
        rings.bandHigh = h + r;
    }
    return rings;
}

// The same rings as squared circle distances, with the margins applied. For
// polygons they bound d' through d <= d' <= d * cornerFactor.
struct SquaredRings {
    double inner, outer, bandLow, bandHigh;
};

SquaredRings squaredRingsOf(const Rings &rings, double cornerFactor) {
    auto below = [](double v) { return v > 0.0 ? (v * kShrink) * (v * kShrink) : -1.0; };
    auto above = [](double v) { return (v * kGrow) * (v * kGrow); };
    return SquaredRings{below(rings.inner / cornerFactor), above(rings.outer), above(rings.bandLow),
                        below(rings.bandHigh / cornerFactor)};
}

// Polygon distance by the angle of the pixel around the centre.
double polygonDistanceByAngle(const PointSetup &p, double fx, double fy, double d) {
    const double theta = std::atan2(fy, fx);
    const double reduced = std::fmod(theta + p.phaseOffset, kTwoPi / p.sides);
    return d * std::cos(reduced - kPi / p.sides) * p.cornerFactor;
}

// Offsets fx (pixels from the centre, along the row) where every edge
// normal's projection fx * nx + fy * ny stays at most limit: low..high, empty
// when low > high. Only bounds the row, so reciprocals serve for divisions.
struct RowBounds {
    double low, high;
};

inline RowBounds halfPlaneSpan(const EdgeNormals &normals, double fy, double limit) {
    RowBounds b{-1e12, 1e12};
    for (int j = 0; j < normals.count; ++j) {
        const double room = limit - fy * normals.ny[j];
        const double bound = room * normals.inverseNx[j];
        if (normals.nx[j] > 1e-12) {
            b.high = std::min(b.high, bound);
        } else if (normals.nx[j] < -1e-12) {
            b.low = std::max(b.low, bound);
        } else if (room < 0.0) {
            return RowBounds{1.0, 0.0};
        }
    }
    return b;
}

// Columns first..last inclusive; empty when first > last.
struct Span {
    int64_t first, last;
};

// Column bounds from pixel positions; clamped far outside any frame.
int64_t floorToColumn(double v) {
    v = std::max(-1e12, std::min(v, 1e12));
    const int64_t t = static_cast<int64_t>(v);
    return t > v ? t - 1 : t;
}

int64_t ceilToColumn(double v) {
    v = std::max(-1e12, std::min(v, 1e12));
    const int64_t t = static_cast<int64_t>(v);
    return t < v ? t + 1 : t;
}

// Lays one pixel over a run of the row (float). Overlapping shapes leave long
// runs of equal pixels, so the result for the previous bottom pixel is reused
// when the next one has the same bits.
template <class Pixel>
void compositeRun(Pixel *row, int64_t first, int64_t last, Pixel top, bool opaque) {
    auto samePixel = [](const Pixel &a, const Pixel &b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    if (first > last) return;
    if (opaque) {
        std::fill(row + first, row + last + 1, top);
        return;
    }
    Pixel seen = row[first];
    compositeOverInto(row[first], top);
    Pixel made = row[first];
    for (int64_t x = first + 1; x <= last; ++x) {
        if (samePixel(row[x], seen)) {
            row[x] = made;
            continue;
        }
        seen = row[x];
        compositeOverInto(row[x], top);
        made = row[x];
    }
}

// 8-bit runs go four pixels at a time; 16-bit runs keep the weights of the
// last bottom alpha.
void compositeRun(PF_Pixel *row, int64_t first, int64_t last, PF_Pixel top, bool opaque) {
    if (first > last) return;
    if (opaque) {
        std::fill(row + first, row + last + 1, top);
        return;
    }
    compositeRunOver(row + first, last - first + 1, top);
}

void compositeRun(PF_Pixel16 *row, int64_t first, int64_t last, PF_Pixel16 top, bool opaque) {
    if (first > last) return;
    if (opaque) {
        std::fill(row + first, row + last + 1, top);
        return;
    }
    compositeRunOver(row + first, last - first + 1, top);
}

template <class Colours, bool polygon>
void walkPixels(const RasterTarget &target, const PointSetup &p, const ShapePoint &point) {
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
    const bool opaque = fullFill.alpha == Traits::full;

    EdgeNormals normals;
    normals.count = 0;
    if (polygon && p.sides <= kMaxSides) {
        normals.count = p.sides;
        for (int j = 0; j < p.sides; ++j) {
            const double phi = point.angle + (2 * j + 1) * kPi / p.sides;
            normals.nx[j] = std::cos(phi);
            normals.ny[j] = std::sin(phi);
            normals.inverseNx[j] = std::fabs(normals.nx[j]) > 1e-12 ? 1.0 / normals.nx[j] : 0.0;
        }
    }
    const bool byNormals = normals.count > 0;
    const double f = polygon ? p.cornerFactor : 1.0;
    const Rings rings = ringsOf(p, polygon);
    const SquaredRings squared = squaredRingsOf(rings, f);
    // Polygon rings in projection units (d' / cornerFactor) for the row spans,
    // pulled in (inner) or pushed out (outer) by a margin far beyond rounding.
    const double innerProjection = rings.inner / f * (1.0 - 1e-7);
    const double outerProjection = rings.outer / f * (1.0 + 1e-7);
    // Polygon rings with the margins of the per-pixel classes.
    const double innerP = rings.inner * kShrink, outerP = rings.outer * kGrow;
    const double bandLowP = rings.bandLow * kGrow, bandHighP = rings.bandHigh * kShrink;

    // Full evaluation of a pixel off the interior run, from its coverage.
    auto drawCoverage = [&](Pixel &dst, Coverage c) {
        if (c.coverage == 0.0) return;
        Pixel top = mixPixel<Traits>(fill, stroke, c.fillWeight);
        top.alpha = alpha.scaled(c.coverage);
        compositeOverInto(dst, top);
    };
    // dp: the pixel's polygon distance.
    auto polygonPixel = [&](Pixel &dst, double dp) {
        if (dp <= innerP) {
            compositeOverInto(dst, fullFill);
        } else if (dp >= outerP) {
            return;
        } else if (dp >= bandLowP && dp <= bandHighP) {
            compositeOverInto(dst, fullStroke);
        } else {
            drawCoverage(dst, polygonCoverageInline(dp, p.radius, p.thickness, p.cornerFactor));
        }
    };
    // s: the pixel's squared distance from the centre.
    auto circlePixel = [&](Pixel &dst, double s) {
        if (s <= squared.inner) {
            compositeOverInto(dst, fullFill);
        } else if (s >= squared.outer) {
            return;
        } else if (s >= squared.bandLow && s <= squared.bandHigh) {
            compositeOverInto(dst, fullStroke);
        } else {
            drawCoverage(dst, circleCoverageInline(std::sqrt(s), p.radius, p.thickness, p.softEdge));
        }
    };

    const int64_t hs = p.halfSize;
    const int64_t cut = (hs + 3) * (hs + 3);
    const int64_t yFirst = std::max<int64_t>(p.cy - hs, 0);
    const int64_t yLast = std::min<int64_t>(p.cy + hs, target.height - 1);
    for (int64_t y = yFirst; y <= yLast; ++y) {
        const double fy = static_cast<double>(y) - p.centreY;
        const double fy2 = fy * fy;
        if (fy2 >= squared.outer) continue;
        // The square clipped to the frame.
        const int64_t dy = y - p.cy;
        Span walk{std::max<int64_t>(p.cx - hs, 0), std::min<int64_t>(p.cx + hs, target.width - 1)};
        // Columns clear of the outer ring hold no covered pixel; the bound is
        // widened by a pixel each side to stay clear of rounding.
        Span inner{1, 0};
        if (polygon && byNormals) {
            const RowBounds outer = halfPlaneSpan(normals, fy, outerProjection);
            if (outer.low > outer.high) continue;
            walk.first = std::max(walk.first, floorToColumn(p.centreX + outer.low) - 1);
            walk.last = std::min(walk.last, ceilToColumn(p.centreX + outer.high) + 1);
            if (innerProjection > 0.0) {
                const RowBounds within = halfPlaneSpan(normals, fy, innerProjection);
                if (within.low <= within.high) {
                    inner = Span{ceilToColumn(p.centreX + within.low), floorToColumn(p.centreX + within.high)};
                }
            }
        } else {
            const double reach = std::sqrt(squared.outer - fy2);
            walk.first = std::max(walk.first, floorToColumn(p.centreX - reach) - 1);
            walk.last = std::min(walk.last, ceilToColumn(p.centreX + reach) + 1);
            if (squared.inner > fy2) {
                // Every column between two that pass the squared test passes it.
                const double within = std::sqrt(squared.inner - fy2);
                inner = Span{ceilToColumn(p.centreX - within), floorToColumn(p.centreX + within)};
                auto passes = [&](int64_t x) {
                    const double fx = static_cast<double>(x) - p.centreX;
                    return fx * fx + fy2 <= squared.inner;
                };
                while (inner.first <= inner.last && !passes(inner.first)) ++inner.first;
                while (inner.last >= inner.first && !passes(inner.last)) --inner.last;
            }
        }
        // Less the corners beyond hs + 3 (integer test; most rows end short of them).
        const int64_t room = cut - dy * dy;
        while (walk.first <= walk.last && (walk.first - p.cx) * (walk.first - p.cx) > room) ++walk.first;
        while (walk.last >= walk.first && (walk.last - p.cx) * (walk.last - p.cx) > room) --walk.last;
        inner.first = std::max(inner.first, walk.first);
        inner.last = std::min(inner.last, walk.last);
        Pixel *row = static_cast<Pixel *>(target.data) + y * target.rowPixels;
        auto edgeRun = [&](int64_t first, int64_t last) {
            if (first > last) return;
            if constexpr (polygon) {
                if (!byNormals) {
                    for (int64_t x = first; x <= last; ++x) {
                        const double fx = static_cast<double>(x) - p.centreX;
                        polygonPixel(row[x], polygonDistanceByAngle(p, fx, fy, std::sqrt(fx * fx + fy2)));
                    }
                    return;
                }
                // The nearest edge is one and the same across the run when it
                // is so at both ends: the projections are linear along the row.
                const int j = normals.nearest(static_cast<double>(first) - p.centreX, fy);
                if (j == normals.nearest(static_cast<double>(last) - p.centreX, fy)) {
                    const double nx = normals.nx[j], ny = normals.ny[j];
                    for (int64_t x = first; x <= last; ++x) {
                        const double fx = static_cast<double>(x) - p.centreX;
                        polygonPixel(row[x], (fx * nx + fy * ny) * p.cornerFactor);
                    }
                    return;
                }
                for (int64_t x = first; x <= last; ++x) {
                    const double fx = static_cast<double>(x) - p.centreX;
                    polygonPixel(row[x], normals.polygonDistance(fx, fy, p.cornerFactor));
                }
            } else {
                for (int64_t x = first; x <= last; ++x) {
                    const double fx = static_cast<double>(x) - p.centreX;
                    circlePixel(row[x], fx * fx + fy2);
                }
            }
        };
        if (inner.first > inner.last) {
            edgeRun(walk.first, walk.last);
        } else {
            edgeRun(walk.first, inner.first - 1);
            compositeRun(row, inner.first, inner.last, fullFill, opaque);
            edgeRun(inner.last + 1, walk.last);
        }
    }
}

// "Line" circles at 8 bits: a pixel's alpha trunc(drawAlpha * coverage) takes
// only drawAlpha + 1 values, and each is reached below a threshold of the
// squared distance s (the alpha never grows with s). Pixels fall into classes:
// 0 no coverage (left alone), 1 coverage with alpha 0, j + 1 alpha j. The
// class of a pixel is guessed in single precision and taken when the squared
// distance lies clear of both thresholds around the guess by a margin far
// beyond rounding; otherwise it comes from the exact coverage. So most edge
// pixels need neither the double square root nor the coverage arithmetic.
constexpr int kMaxSoftLevels = 64;  // drawAlpha above this takes the general walk

struct SoftCircleLevels {
    int drawAlpha;
    // Class >= k for sure when s <= low[k]; class < k for sure when s > high[k].
    // Index 0 always holds (+inf), drawAlpha + 2 never (-inf).
    double low[kMaxSoftLevels + 3], high[kMaxSoftLevels + 3];
    PF_Pixel top[kMaxSoftLevels + 2];        // fill colour with the class's alpha
    uint32_t topSum[kMaxSoftLevels + 2][3];  // top channel * alpha
};

bool softCircleFits(const PointSetup &p, const Colours8::Alpha &alpha) {
    return p.sides == 2 && p.softEdge && alpha.full() >= 1 && alpha.full() <= kMaxSoftLevels && p.radius >= 2.0 &&
           p.radius <= 1e6;
}

void setUpSoftLevels(SoftCircleLevels &l, const PointSetup &p, PF_Pixel fill, int drawAlpha) {
    l.drawAlpha = drawAlpha;
    const double r = p.radius;
    // Rounding moves the true thresholds by about 1e-15 of r; the margin is
    // a million times that.
    const double margin = 1e-9 * (r + 2.0);
    const double inf = std::numeric_limits<double>::infinity();
    l.low[0] = l.high[0] = inf;
    for (int k = 1; k <= drawAlpha + 1; ++k) {
        // Coverage > 0 up to d = r + 1; alpha >= j up to d = r + 1 - 2 j / drawAlpha.
        const double v = r + 1.0 - 2.0 * (k - 1) / drawAlpha;  // >= r - 1 >= 1
        l.low[k] = (v - margin) * (v - margin);
        l.high[k] = (v + margin) * (v + margin);
    }
    l.low[drawAlpha + 2] = l.high[drawAlpha + 2] = -inf;
    for (int k = 0; k <= drawAlpha + 1; ++k) {
        const uint32_t a = k >= 1 ? static_cast<uint32_t>(k - 1) : 0;
        l.top[k] = fill;
        l.top[k].alpha = static_cast<A_u_char>(a);
        l.topSum[k][0] = fill.red * a;
        l.topSum[k][1] = fill.green * a;
        l.topSum[k][2] = fill.blue * a;
    }
}

void walkSoftCircle8(const RasterTarget &target, const PointSetup &p, const ShapePoint &point,
                     const Colours8::Alpha &alpha) {
    SoftCircleLevels l;
    const int drawAlpha = alpha.full();
    setUpSoftLevels(l, p, point.fill8, drawAlpha);
    const int lastClass = drawAlpha + 1;
    PF_Pixel fullFill = l.top[lastClass];
    const double anyCover = l.high[1], fullCover = l.low[lastClass];
    // Class guess: 1 + drawAlpha * (r + 1 - d) / 2, floored, within 0..lastClass.
    const float guessScale = static_cast<float>(drawAlpha) * 0.5f;
    const float guessBase = static_cast<float>(p.radius + 1.0);
    const float guessTop = static_cast<float>(lastClass);

    auto exactClass = [&](double s) {
        const Coverage c = circleCoverageInline(std::sqrt(s), p.radius, 0.0, true);
        if (c.coverage == 0.0) return 0;
        return 1 + static_cast<int>(alpha.scaled(c.coverage));
    };
    auto edgePixel = [&](PF_Pixel &dst, double s) {
        const float d = std::sqrt(static_cast<float>(s));
        float t = (guessBase - d) * guessScale + 1.0f;
        t = t < 0.0f ? 0.0f : (t > guessTop ? guessTop : t);
        int k = static_cast<int>(t);
        if (!(s <= l.low[k] && s > l.high[k + 1])) k = exactClass(s);
        if (k == 0) return;
        const uint32_t ba = dst.alpha;
        if (ba == 0) {
            dst = l.top[k];
            return;
        }
        const uint32_t ta = static_cast<uint32_t>(k - 1);
        if (ta == 0) return;
        // As compositeOverInto: ta < 255, so no cap applies.
        const uint32_t w = ((256 - ta) * ba) >> 8;
        const uint32_t a = ta + w;
        const uint64_t m = kReciprocal8.value[a];
        dst = PF_Pixel{static_cast<A_u_char>(a), static_cast<A_u_char>(((l.topSum[k][0] + dst.red * w) * m) >> 24),
                       static_cast<A_u_char>(((l.topSum[k][1] + dst.green * w) * m) >> 24),
                       static_cast<A_u_char>(((l.topSum[k][2] + dst.blue * w) * m) >> 24)};
    };

    const int64_t hs = p.halfSize;
    const int64_t cut = (hs + 3) * (hs + 3);
    const int64_t yFirst = std::max<int64_t>(p.cy - hs, 0);
    const int64_t yLast = std::min<int64_t>(p.cy + hs, target.height - 1);
    for (int64_t y = yFirst; y <= yLast; ++y) {
        const double fy = static_cast<double>(y) - p.centreY;
        const double fy2 = fy * fy;
        if (fy2 > anyCover) continue;
        const int64_t dy = y - p.cy;
        Span walk{std::max<int64_t>(p.cx - hs, 0), std::min<int64_t>(p.cx + hs, target.width - 1)};
        Span inner{1, 0};
        const double reach = std::sqrt(anyCover - fy2);
        walk.first = std::max(walk.first, floorToColumn(p.centreX - reach) - 1);
        walk.last = std::min(walk.last, ceilToColumn(p.centreX + reach) + 1);
        if (fullCover > fy2) {
            const double within = std::sqrt(fullCover - fy2);
            inner = Span{ceilToColumn(p.centreX - within), floorToColumn(p.centreX + within)};
            auto passes = [&](int64_t x) {
                const double fx = static_cast<double>(x) - p.centreX;
                return fx * fx + fy2 <= fullCover;
            };
            while (inner.first <= inner.last && !passes(inner.first)) ++inner.first;
            while (inner.last >= inner.first && !passes(inner.last)) --inner.last;
        }
        const int64_t room = cut - dy * dy;
        while (walk.first <= walk.last && (walk.first - p.cx) * (walk.first - p.cx) > room) ++walk.first;
        while (walk.last >= walk.first && (walk.last - p.cx) * (walk.last - p.cx) > room) --walk.last;
        // Columns of class 0 at the ends touch nothing: the walk starts and
        // ends at the first and last pixel with coverage.
        auto uncovered = [&](int64_t x) {
            const double fx = static_cast<double>(x) - p.centreX;
            const double s = fx * fx + fy2;
            return s > anyCover || (s > l.low[1] && exactClass(s) == 0);
        };
        while (walk.first <= walk.last && uncovered(walk.first)) ++walk.first;
        while (walk.last >= walk.first && uncovered(walk.last)) --walk.last;
        inner.first = std::max(inner.first, walk.first);
        inner.last = std::min(inner.last, walk.last);
        PF_Pixel *row = static_cast<PF_Pixel *>(target.data) + y * target.rowPixels;
        auto edgeRun = [&](int64_t first, int64_t last) {
            for (int64_t x = first; x <= last; ++x) {
                const double fx = static_cast<double>(x) - p.centreX;
                edgePixel(row[x], fx * fx + fy2);
            }
        };
        if (inner.first > inner.last) {
            edgeRun(walk.first, walk.last);
        } else {
            edgeRun(walk.first, inner.first - 1);
            compositeRun(row, inner.first, inner.last, fullFill, false);
            edgeRun(inner.last + 1, walk.last);
        }
    }
}

template <class Colours>
void drawAtDepth(const RasterTarget &target, const PointSetup &p, const ShapePoint &point) {
    if constexpr (std::is_same_v<Colours, Colours8>) {
        const Colours8::Alpha alpha(p.opacity);
        if (softCircleFits(p, alpha)) {
            walkSoftCircle8(target, p, point, alpha);
            return;
        }
    }
    if (p.sides == 2) {
        walkPixels<Colours, false>(target, p, point);
    } else {
        walkPixels<Colours, true>(target, p, point);
    }
}

}  // namespace

bool drawShapePoint(const RasterTarget &target, const RasterSettings &settings, const ShapePoint &point, A_long k) {
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
