// The pixel walk of one point and the shapes it walks: circles, regular
// polygons, the soft-edged "Line" circles at the integer depths, whose alpha
// levels are known ahead of the pixels, and layer stamps.
#include "raster/shape_rasteriser.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "raster/depth_traits.h"
#include "raster/fixed_point.h"
#include "raster/pixel_kernels.h"
#include "raster/shape_coverage_inline.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kFourPi = 12.566370614359172;
constexpr int kMaxSides = 64;  // polygons with more sides take the angle form of the distance

// ---- Columns of a row.

// Columns first..last inclusive; empty when first > last.
struct Span {
    int64_t first, last;
};

// A row of the drawing square: the columns to visit and, inside them, the
// interior run of full coverage and pure fill.
struct RowSpans {
    Span walk, inner;
};

// Column bounds from pixel positions, clamped far outside any frame.
int64_t floorToColumn(double v) {
    v = std::max(-kColumnClamp, std::min(v, kColumnClamp));
    const int64_t t = static_cast<int64_t>(v);
    return t > v ? t - 1 : t;
}

int64_t ceilToColumn(double v) {
    v = std::max(-kColumnClamp, std::min(v, kColumnClamp));
    const int64_t t = static_cast<int64_t>(v);
    return t < v ? t + 1 : t;
}

// A run of columns trimmed to those within squared distance `inner` (>
// fy2) of the centre: each end checked by the squared test, since every
// column between two that pass it passes it.
[[gnu::always_inline]] inline void trimToInner(double centreX, double fy2, double inner, Span &run) {
    auto passes = [&](int64_t x) {
        const double fx = static_cast<double>(x) - centreX;
        return fx * fx + fy2 <= inner;
    };
    while (run.first <= run.last && !passes(run.first)) ++run.first;
    while (run.last >= run.first && !passes(run.last)) --run.last;
}

// The columns of a row within squared distance `inner` (> fy2) of the
// centre: the square root's bounds, trimmed.
[[gnu::always_inline]] inline Span innerRun(double centreX, double fy2, double inner) {
    const double within = std::sqrt(inner - fy2);
    Span run{ceilToColumn(centreX - within), floorToColumn(centreX + within)};
    trimToInner(centreX, fy2, inner, run);
    return run;
}

// Rows of a round outline: the columns within squared distance outer of the
// centre (widened by a pixel each side, clear of rounding) and the interior
// run within squared distance inner. False when the row holds nothing.
// Inlined into each walk: as a call it costs the soft circles 9 % more.
[[gnu::always_inline]] inline bool roundRow(double centreX, double fy2, double outer, double inner, RowSpans &row) {
    if (fy2 >= outer) return false;
    const double reach = std::sqrt(outer - fy2);
    row.walk.first = std::max(row.walk.first, floorToColumn(centreX - reach) - 1);
    row.walk.last = std::min(row.walk.last, ceilToColumn(centreX + reach) + 1);
    if (inner > fy2) row.inner = innerRun(centreX, fy2, inner);
    return true;
}

// ---- The one walk.

// Visits the point's square row by row, clipped to the target: the shape
// bounds each row and fills its interior run; the edge pixels either side go
// to the shape one by one. The corners beyond halfSize + 3 are never visited
// (an integer test; most rows end short of them).
template <class Shape>
[[gnu::always_inline]] inline void walkSquare(const RasterTarget &target, const RasterShape &s, const Shape &shape) {
    using Pixel = typename Shape::Pixel;
    // Locals: a pixel store could alias anything reached through a reference.
    const int64_t hs = s.halfSize, cx = s.cx, cy = s.cy;
    const double centreY = s.centreY;
    const int64_t cut = (hs + 3) * (hs + 3);
    const int64_t yFirst = std::max<int64_t>(cy - hs, 0);
    const int64_t yLast = std::min<int64_t>(cy + hs, target.height - 1);
    const int64_t xFirst = std::max<int64_t>(cx - hs, 0), xLast = std::min<int64_t>(cx + hs, target.width - 1);
    Pixel *const data = static_cast<Pixel *>(target.data);
    const int64_t rowPixels = target.rowPixels, left = target.left, top = target.top;
    for (int64_t y = yFirst; y <= yLast; ++y) {
        const double fy = static_cast<double>(y) - centreY;
        RowSpans row{{xFirst, xLast}, {1, 0}};
        if (!shape.row(y, fy, row)) continue;
        Span &walk = row.walk;
        if constexpr (Shape::cornerCut) {
            const int64_t dy = y - cy;
            const int64_t room = cut - dy * dy;
            while (walk.first <= walk.last && (walk.first - cx) * (walk.first - cx) > room) ++walk.first;
            while (walk.last >= walk.first && (walk.last - cx) * (walk.last - cx) > room) --walk.last;
        }
        if constexpr (!Shape::wholeRows) shape.trim(fy, walk);
        Span inner{std::max(row.inner.first, walk.first), std::min(row.inner.last, walk.last)};
        // Column x of the walk is stored at pixel x - left of the row.
        Pixel *stored = data + (y - top) * rowPixels;
        auto at = [&](int64_t x) { return stored + (x - left); };
        if constexpr (sizeof(Pixel) == 16) {
            // Float rows lie far apart: the next row's ends, near this
            // row's, are fetched while this one is drawn.
            if (y < yLast) {
                __builtin_prefetch(at(walk.first) + rowPixels, 1);
                __builtin_prefetch(at(walk.last) + rowPixels, 1);
            }
        }
        if constexpr (Shape::wholeRows) {
            shape.wholeRow(at(walk.first), walk, inner, fy);
        } else if (inner.first > inner.last) {
            shape.edges(at(walk.first), walk.first, walk.last, fy);
        } else {
            shape.edges(at(walk.first), walk.first, inner.first - 1, fy);
            shape.interior(at(inner.first), inner.last - inner.first + 1);
            shape.edges(at(inner.last + 1), inner.last + 1, walk.last, fy);
        }
    }
    if constexpr (Shape::wholeRows) shape.finish();
}

// ---- Circles and polygons at any depth.

// The rings of a point in its own distance (the circle distance d, or the
// polygon distance d'): closer than inner, full coverage and all fill; from
// outer on, no coverage; within the band, full coverage and all stroke.
struct Rings {
    double inner, outer, bandLow, bandHigh;
};

Rings ringsOf(const RasterShape &s, bool polygon) {
    const double r = s.radius;
    Rings rings{0.0, 0.0, 1.0, 0.0};  // band empty unless set
    if (!polygon && s.edge == EdgeProfile::Soft) {
        rings.inner = r - 1.0;
        rings.outer = r + 1.0;
        return rings;
    }
    const double f = polygon ? s.cornerFactor : 1.0;
    const double h = polygon ? s.thickness * 0.5 * f : s.thickness * 0.5;
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

// The same rings as squared circle distances, with the class margins. For
// polygons they bound d' through d <= d' <= d * cornerFactor.
Rings squaredRingsOf(const Rings &rings, double cornerFactor) {
    auto below = [](double v) { return v > 0.0 ? (v * kClassShrink) * (v * kClassShrink) : -1.0; };
    auto above = [](double v) { return (v * kClassGrow) * (v * kClassGrow); };
    return Rings{below(rings.inner / cornerFactor), above(rings.outer), above(rings.bandLow),
                 below(rings.bandHigh / cornerFactor)};
}

// What circles and polygons share: the point's colours and alpha, its rings
// as squared distances, its interior run, and the pixel that takes its
// coverage whole.
template <class Traits, class Write>
struct Outline {
    using Pixel = typename Traits::Pixel;
    using Top = typename Write::Top;

    Pixel fill, stroke;
    typename Traits::DrawAlpha alpha;
    Top fullFill, fullStroke;
    Rings squared;

    Outline(const RasterShape &shape, bool polygon)
        : fill(Traits::pick(shape.fill)), stroke(Traits::pick(shape.stroke)), alpha(Traits::drawAlpha(shape.opacity)) {
        Pixel f = fill, t = stroke;
        f.alpha = t.alpha = fullAlpha<Traits>(alpha);
        fullFill = Write::prepare(f);
        fullStroke = Write::prepare(t);
        squared = squaredRingsOf(ringsOf(shape, polygon), polygon ? shape.cornerFactor : 1.0);
    }

    void interior(Pixel *run, int64_t count) const { Write::run(run, count, fullFill); }

    // A pixel off the rings: the fill and stroke mixed by its fill weight, at
    // the point's alpha times its coverage.
    void cover(Pixel &dst, Coverage c) const {
        if (c.coverage == 0.0) return;
        Pixel top = mixReference<Traits>(fill, stroke, c.fillWeight);
        top.alpha = scaledAlpha<Traits>(alpha, c.coverage);
        Write::put(dst, Write::prepare(top));
    }
};

template <class Traits, class Write>
struct CircleShape {
    using Pixel = typename Traits::Pixel;
    static constexpr bool cornerCut = true;
    static constexpr bool wholeRows = false;

    const RasterShape s;
    Outline<Traits, Write> o;

    explicit CircleShape(const RasterShape &shape) : s(shape), o(shape, false) {}

    bool row(int64_t, double fy, RowSpans &row) const {
        return roundRow(s.centreX, fy * fy, o.squared.outer, o.squared.inner, row);
    }
    void trim(double, Span &) const {}
    void interior(Pixel *run, int64_t count) const { o.interior(run, count); }

    // sq: the pixel's squared distance from the centre.
    void pixel(Pixel &dst, double sq) const {
        if (sq <= o.squared.inner) {
            Write::put(dst, o.fullFill);
        } else if (sq >= o.squared.outer) {
            return;
        } else if (sq >= o.squared.bandLow && sq <= o.squared.bandHigh) {
            Write::put(dst, o.fullStroke);
        } else {
            o.cover(dst, circleCoverageInline(std::sqrt(sq), s.radius, s.thickness, s.edge == EdgeProfile::Soft));
        }
    }

    void edges(Pixel *at, int64_t first, int64_t last, double fy) const {
        const double fy2 = fy * fy;
        for (int64_t x = first; x <= last; ++x, ++at) {
            const double fx = static_cast<double>(x) - s.centreX;
            pixel(*at, fx * fx + fy2);
        }
    }
};

// Polygon distance from the edge normals: the projection of the pixel offset
// onto the nearest edge normal, times the corner factor. Equals
// d * cos(theta' - pi / n) * cornerFactor up to rounding.
struct EdgeNormals {
    int count = 0;
    double nx[kMaxSides], ny[kMaxSides];
    double inverseNx[kMaxSides];  // 0 where nx is 0 to within kNormalEpsilon

    // Index of the normal with the largest projection (the first of equal
    // ones) at offsets a and b of one row.
    void nearest(double a, double b, double fy, int &atA, int &atB) const {
        atA = atB = 0;
        double mostA = a * nx[0] + fy * ny[0], mostB = b * nx[0] + fy * ny[0];
        for (int j = 1; j < count; ++j) {
            const double fyNy = fy * ny[j];
            const double va = a * nx[j] + fyNy, vb = b * nx[j] + fyNy;
            if (va > mostA) mostA = va, atA = j;
            if (vb > mostB) mostB = vb, atB = j;
        }
    }

    // Offsets fx (pixels from the centre, along the row) where every normal's
    // projection fx * nx + fy * ny stays at most limit: low..high, empty when
    // low > high. Only bounds the row, so reciprocals serve for divisions.
    bool rowBounds(double fy, double limit, double &low, double &high) const {
        low = -kColumnClamp;
        high = kColumnClamp;
        for (int j = 0; j < count; ++j) {
            const double room = limit - fy * ny[j];
            const double bound = room * inverseNx[j];
            if (nx[j] > kNormalEpsilon) {
                high = std::min(high, bound);
            } else if (nx[j] < -kNormalEpsilon) {
                low = std::max(low, bound);
            } else if (room < 0.0) {
                return false;
            }
        }
        return low <= high;
    }
};

template <class Traits, class Write>
struct PolygonShape {
    using Pixel = typename Traits::Pixel;
    static constexpr bool cornerCut = true;
    static constexpr bool wholeRows = false;

    const RasterShape s;
    Outline<Traits, Write> o;
    EdgeNormals normals;
    double phaseOffset;  // 4 pi - fmod(angle, 2 pi), for the angle form
    // Rings in projection units (d' / cornerFactor) for the row bounds, with
    // the span margin, and in polygon distance with the class margins.
    double innerProjection, outerProjection;
    double inner, outer, bandLow, bandHigh;

    explicit PolygonShape(const RasterShape &shape) : s(shape), o(shape, true) {
        if (s.sides <= kMaxSides) {
            normals.count = s.sides;
            for (int j = 0; j < s.sides; ++j) {
                const double phi = s.angle + (2 * j + 1) * kPi / s.sides;
                normals.nx[j] = std::cos(phi);
                normals.ny[j] = std::sin(phi);
                normals.inverseNx[j] = std::fabs(normals.nx[j]) > kNormalEpsilon ? 1.0 / normals.nx[j] : 0.0;
            }
        }
        phaseOffset = kFourPi - std::fmod(s.angle, kTwoPi);
        const Rings rings = ringsOf(s, true);
        const double f = s.cornerFactor;
        innerProjection = rings.inner / f * (1.0 - kSpanMargin);
        outerProjection = rings.outer / f * (1.0 + kSpanMargin);
        inner = rings.inner * kClassShrink;
        outer = rings.outer * kClassGrow;
        bandLow = rings.bandLow * kClassGrow;
        bandHigh = rings.bandHigh * kClassShrink;
    }

    bool row(int64_t, double fy, RowSpans &row) const {
        const double fy2 = fy * fy;
        if (fy2 >= o.squared.outer) return false;
        if (normals.count == 0) return roundRow(s.centreX, fy2, o.squared.outer, o.squared.inner, row);
        double low, high;
        if (!normals.rowBounds(fy, outerProjection, low, high)) return false;
        row.walk.first = std::max(row.walk.first, floorToColumn(s.centreX + low) - 1);
        row.walk.last = std::min(row.walk.last, ceilToColumn(s.centreX + high) + 1);
        if (innerProjection > 0.0 && normals.rowBounds(fy, innerProjection, low, high)) {
            row.inner = Span{ceilToColumn(s.centreX + low), floorToColumn(s.centreX + high)};
        }
        return true;
    }
    void trim(double, Span &) const {}
    void interior(Pixel *run, int64_t count) const { o.interior(run, count); }

    // dp: the pixel's polygon distance.
    void pixel(Pixel &dst, double dp) const {
        if (dp <= inner) {
            Write::put(dst, o.fullFill);
        } else if (dp >= outer) {
            return;
        } else if (dp >= bandLow && dp <= bandHigh) {
            Write::put(dst, o.fullStroke);
        } else {
            o.cover(dst, polygonCoverageInline(dp, s.radius, s.thickness, s.cornerFactor));
        }
    }

    // Polygon distance by the angle of the pixel around the centre.
    double distanceByAngle(double fx, double fy, double d) const {
        const double theta = std::atan2(fy, fx);
        const double reduced = std::fmod(theta + phaseOffset, kTwoPi / s.sides);
        return d * std::cos(reduced - kPi / s.sides) * s.cornerFactor;
    }

    void edges(Pixel *at, int64_t first, int64_t last, double fy) const {
        if (first > last) return;
        if (normals.count == 0) {
            for (int64_t x = first; x <= last; ++x, ++at) {
                const double fx = static_cast<double>(x) - s.centreX;
                pixel(*at, distanceByAngle(fx, fy, std::sqrt(fx * fx + fy * fy)));
            }
            return;
        }
        // The nearest edge is one and the same across the run when it is so
        // at both ends: the projections are linear along the row.
        int j, atLast;
        normals.nearest(static_cast<double>(first) - s.centreX, static_cast<double>(last) - s.centreX, fy, j, atLast);
        if (j == atLast) {
            const double nx = normals.nx[j], ny = normals.ny[j];
            for (int64_t x = first; x <= last; ++x, ++at) {
                const double fx = static_cast<double>(x) - s.centreX;
                pixel(*at, (fx * nx + fy * ny) * s.cornerFactor);
            }
            return;
        }
        // The row's part of each projection, fy * ny, taken once: the same
        // products and sums as polygonDistance, in locals that no pixel store
        // can alias.
        const int count = normals.count;
        const double centreX = s.centreX, cornerFactor = s.cornerFactor;
#if defined(__SSE2__)
        // Two normals a vector; an odd count repeats the first, which leaves
        // the largest as it is. The largest of the same values in another
        // order is the same value.
        const int pairs = (count + 1) / 2;
        __m128d nx[kMaxSides / 2], fyNy[kMaxSides / 2];
        for (int k = 0; k < pairs; ++k) {
            const int second = 2 * k + 1 < count ? 2 * k + 1 : 0;
            nx[k] = _mm_setr_pd(normals.nx[2 * k], normals.nx[second]);
            fyNy[k] = _mm_setr_pd(fy * normals.ny[2 * k], fy * normals.ny[second]);
        }
        for (int64_t x = first; x <= last; ++x, ++at) {
            const __m128d fx = _mm_set1_pd(static_cast<double>(x) - centreX);
            __m128d best = _mm_add_pd(_mm_mul_pd(fx, nx[0]), fyNy[0]);
            for (int k = 1; k < pairs; ++k) best = _mm_max_pd(best, _mm_add_pd(_mm_mul_pd(fx, nx[k]), fyNy[k]));
            pixel(*at, _mm_cvtsd_f64(_mm_max_sd(best, _mm_unpackhi_pd(best, best))) * cornerFactor);
        }
#else
        double nx[kMaxSides], fyNy[kMaxSides];
        for (int k = 0; k < count; ++k) nx[k] = normals.nx[k], fyNy[k] = fy * normals.ny[k];
        for (int64_t x = first; x <= last; ++x, ++at) {
            const double fx = static_cast<double>(x) - centreX;
            double best = fx * nx[0] + fyNy[0];
            for (int k = 1; k < count; ++k) best = std::max(best, fx * nx[k] + fyNy[k]);
            pixel(*at, best * cornerFactor);
        }
#endif
    }
};

// ---- Soft-edged circles at the integer depths.

#if defined(__SSE2__)
// A soft circle has one colour, the fill, and its alpha depends on the
// distance alone. The interior run of each row takes the full alpha; the
// edge pixels either side go four at a time: the coverage in double
// precision two lanes at a time, with the same operations in the same order
// as circleCoverageInline (IEEE square roots, products and sums are exact to
// the bit in either form), then the over composite of compositeEight8 or
// compositeEight16. Pixels without coverage keep their bits.
bool softCircleFits(const RasterShape &s) { return s.sides == 2 && s.edge == EdgeProfile::Soft; }

// What the rows of a soft circle need at any depth: its centre, where its
// coverage ramp starts, its draw alpha, and the squared distances beyond
// which it has no coverage (anyCover) and within which it has full coverage
// (fullCover), each with the class margin.
struct SoftRing {
    double centreX, centreY, innerRadius, drawAlpha;
    double anyCover, fullCover;

    SoftRing(const RasterShape &s, double alpha)
        : centreX(s.centreX), centreY(s.centreY), innerRadius(s.radius - 1.0), drawAlpha(alpha) {
        const double outer = (s.radius + 1.0) * kClassGrow, inner = innerRadius * kClassShrink;
        anyCover = outer * outer;
        fullCover = inner > 0.0 ? inner * inner : -1.0;
    }

    // The walk: the columns within anyCover. The interior run: the columns
    // within fullCover, every one checked at the ends as roundRow does.
    // Inlined into the walks, as roundRow is.
    [[gnu::always_inline]] bool oneRow(double fy, RowSpans &row) const {
        const double fy2 = fy * fy;
        if (fy2 >= anyCover) return false;
        const double reach = std::sqrt(anyCover - fy2);
        row.walk.first = std::max(row.walk.first, ceilToColumn(centreX - reach));
        row.walk.last = std::min(row.walk.last, floorToColumn(centreX + reach));
        if (fullCover > fy2) row.inner = innerRun(centreX, fy2, fullCover);
        return true;
    }

    // oneRow() for rows y to y + 3 at once with AVX2 (one by one, the rows
    // took a tenth of a line dab's instructions), each lane with the same
    // operations. A bound is held within a column of the walk's
    // columns, NaN going below them as the scalar clamps send it: that
    // moves no part of a span that lies among them. The interior run's
    // ends are checked here too; a row whose ends fail is trimmed column
    // by column, as innerRun trims.
    struct RowBatch {
        int64_t first = -4;  // rows first .. first + 3; rows are never negative, so none before the first fill
        alignas(16) int32_t walkFirst[4], walkLast[4], innerFirst[4], innerLast[4];
        int drawn, inner, innerEndsPass;  // lane masks
    };
    bool batched = hasAvx2();
    mutable RowBatch batch;

    // v held to low .. high, NaN to low.
    [[gnu::target("avx2"), gnu::always_inline]] static __m256d held(__m256d v, __m256d low, __m256d high) {
        return _mm256_min_pd(_mm256_max_pd(v, low), high);
    }

    [[gnu::target("avx2"), gnu::always_inline]] __m256d passes(__m256d x, __m256d fy2) const {
        const __m256d fx = _mm256_sub_pd(x, _mm256_set1_pd(centreX));
        return _mm256_cmp_pd(_mm256_add_pd(_mm256_mul_pd(fx, fx), fy2), _mm256_set1_pd(fullCover), _CMP_LE_OQ);
    }

    [[gnu::target("avx2")]] void fillBatch(int64_t y, Span columns) const {
        const __m256d rows =
            _mm256_cvtepi32_pd(_mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(y)), _mm_setr_epi32(0, 1, 2, 3)));
        const __m256d fy = _mm256_sub_pd(rows, _mm256_set1_pd(centreY));
        const __m256d fy2 = _mm256_mul_pd(fy, fy), centre = _mm256_set1_pd(centreX);
        const __m256d any = _mm256_set1_pd(anyCover), full = _mm256_set1_pd(fullCover);
        const __m256d first = _mm256_set1_pd(static_cast<double>(columns.first));
        const __m256d last = _mm256_set1_pd(static_cast<double>(columns.last));
        const __m256d one = _mm256_set1_pd(1.0);
        const __m256d reach = _mm256_sqrt_pd(_mm256_sub_pd(any, fy2));
        const __m256d walkFirst = _mm256_ceil_pd(held(_mm256_sub_pd(centre, reach), first, _mm256_add_pd(last, one)));
        const __m256d walkLast = _mm256_floor_pd(held(_mm256_add_pd(centre, reach), _mm256_sub_pd(first, one), last));
        const __m256d within = _mm256_sqrt_pd(_mm256_sub_pd(full, fy2));
        const __m256d low = _mm256_sub_pd(walkFirst, one), high = _mm256_add_pd(walkLast, one);
        const __m256d innerFirst = _mm256_ceil_pd(held(_mm256_sub_pd(centre, within), low, high));
        const __m256d innerLast = _mm256_floor_pd(held(_mm256_add_pd(centre, within), low, high));
        batch.first = y;
        _mm_store_si128(reinterpret_cast<__m128i *>(batch.walkFirst), _mm256_cvtpd_epi32(walkFirst));
        _mm_store_si128(reinterpret_cast<__m128i *>(batch.walkLast), _mm256_cvtpd_epi32(walkLast));
        _mm_store_si128(reinterpret_cast<__m128i *>(batch.innerFirst), _mm256_cvtpd_epi32(innerFirst));
        _mm_store_si128(reinterpret_cast<__m128i *>(batch.innerLast), _mm256_cvtpd_epi32(innerLast));
        batch.drawn = _mm256_movemask_pd(_mm256_cmp_pd(fy2, any, _CMP_LT_OQ));
        batch.inner = _mm256_movemask_pd(_mm256_cmp_pd(fy2, full, _CMP_LT_OQ));
        batch.innerEndsPass = _mm256_movemask_pd(_mm256_and_pd(passes(innerFirst, fy2), passes(innerLast, fy2)));
    }

    // The spans of row y at fy, from the batch with AVX2.
    [[gnu::always_inline]] bool row(int64_t y, double fy, RowSpans &row) const {
        if (!batched) return oneRow(fy, row);
        if (y < batch.first || y >= batch.first + 4) fillBatch(y, row.walk);
        const int k = static_cast<int>(y - batch.first), lane = 1 << k;
        if (!(batch.drawn & lane)) return false;
        row.walk = Span{batch.walkFirst[k], batch.walkLast[k]};
        if (batch.inner & lane) {
            row.inner = Span{batch.innerFirst[k], batch.innerLast[k]};
            if (!(batch.innerEndsPass & lane)) trimToInner(centreX, fy * fy, fullCover, row.inner);
        }
        return true;
    }
};

template <class Traits, class Write>
struct SoftCircleShape {
    using Pixel = typename Traits::Pixel;
    static constexpr bool is8 = std::is_same_v<Traits, Depth8Traits>;
    // A group of eight pixels fills this many vectors.
    static constexpr int kVectors = is8 ? 2 : 4;
    using Colour = std::conditional_t<is8, TopColour8, TopColour16>;
    // Covered pixels lie within radius + 1 of the centre, so their integer
    // offsets from (cx, cy) stay below radius + 2.5 < halfSize + 3: the
    // corner cut never takes one, and uncovered pixels are left alone anyway.
    static constexpr bool cornerCut = false;
    static constexpr bool wholeRows = true;

    SoftRing ring;
    Colour colour;  // the fill colour

    explicit SoftCircleShape(const RasterShape &s) : ring(s, Traits::drawAlpha(s.opacity)) {
        if constexpr (is8) {
            colour = topColour8(s.fill.color8);
        } else {
            colour = topColour16(s.fill.color16);
        }
    }

    [[gnu::always_inline]] bool row(int64_t y, double fy, RowSpans &row) const { return ring.row(y, fy, row); }
    // One row in groups of eight pixels, from column `first` at `at`:
    // groups from offset 0 in steps of eight; then, when the walk is not a
    // whole number of eights, the last eight, reaching back into the walk
    // (the lanes drawn already kept), or all of a walk narrower than eight
    // through `copy`.
    struct RowGroups {
        Pixel *at;
        int64_t first, count, whole;  // columns of the walk, groups of eight in it
        int64_t innerFrom, innerTo;   // offsets of the fours wholly in the interior run
        double fy;
        Pixel copy[8];

        int64_t groups() const { return count < 8 ? 1 : whole + (count % 8 != 0); }
        Pixel *base() { return count < 8 ? copy : at; }
        // Offset and lanes of group k.
        int64_t offset(int64_t k, __m128i &lanes0, __m128i &lanes1) const {
            const __m128i index = _mm_setr_epi32(0, 1, 2, 3), four = _mm_set1_epi32(4);
            if (k < whole) {
                lanes0 = lanes1 = _mm_set1_epi32(-1);
                return 8 * k;
            }
            // The lanes from `from` to before `to` are fresh.
            const int64_t i = count < 8 ? 0 : count - 8;
            const __m128i from = _mm_set1_epi32(static_cast<int32_t>(count < 8 ? 0 : 8 * whole - i) - 1);
            const __m128i to = _mm_set1_epi32(static_cast<int32_t>(count < 8 ? count : 8));
            const __m128i index1 = _mm_add_epi32(index, four);
            lanes0 = _mm_and_si128(_mm_cmpgt_epi32(index, from), _mm_cmpgt_epi32(to, index));
            lanes1 = _mm_and_si128(_mm_cmpgt_epi32(index1, from), _mm_cmpgt_epi32(to, index1));
            return i;
        }
    };

    RowGroups rowGroups(Pixel *at, Span walk, Span inner, double fy) const {
        RowGroups r;
        r.at = at;
        r.first = walk.first;
        r.count = walk.last - walk.first + 1;
        r.whole = r.count / 8;
        r.innerFrom = inner.first - walk.first;
        r.innerTo = inner.last - walk.first - 3;
        r.fy = fy;
        if (r.count > 0 && r.count < 8) std::memcpy(r.copy, at, static_cast<size_t>(r.count) * sizeof(Pixel));
        return r;
    }

    static void rowDone(RowGroups &r) {
        if (r.count > 0 && r.count < 8) std::memcpy(r.at, r.copy, static_cast<size_t>(r.count) * sizeof(Pixel));
    }

    // Top alphas of the eight pixels from offset i of row r, and the lanes
    // of `lanes` that have coverage: fours wholly inside the interior run at
    // the full alpha, the others by their coverage.
    [[gnu::always_inline]] __m128i tops(const RowGroups &r, int64_t i, __m128i &lanes0, __m128i &lanes1) const {
        const __m128d zero = _mm_setzero_pd(), one = _mm_set1_pd(1.0), half = _mm_set1_pd(0.5);
        const __m128d innerRadii = _mm_set1_pd(ring.innerRadius), level = _mm_set1_pd(ring.drawAlpha);
        const __m128d fy2 = _mm_set1_pd(r.fy * r.fy), centre = _mm_set1_pd(ring.centreX);
        auto four = [&](int64_t j, __m128i & lanes) __attribute__((always_inline)) {
            if (j >= r.innerFrom && j <= r.innerTo) return _mm_set1_epi32(static_cast<int32_t>(ring.drawAlpha));
            const double x = static_cast<double>(r.first + j);
            auto coverage = [&](double column) {
                const __m128d fx = _mm_sub_pd(_mm_setr_pd(column, column + 1.0), centre);
                const __m128d d = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(fx, fx), fy2));
                return _mm_sub_pd(one, _mm_mul_pd(_mm_sub_pd(d, innerRadii), half));
            };
            const __m128d c01 = coverage(x), c23 = coverage(x + 2.0);
            auto levels = [&](__m128d c) {
                return _mm_cvttpd_epi32(_mm_mul_pd(level, _mm_min_pd(_mm_max_pd(c, zero), one)));
            };
            lanes = _mm_and_si128(lanes, _mm_castps_si128(_mm_shuffle_ps(_mm_castpd_ps(_mm_cmpgt_pd(c01, zero)),
                                                                         _mm_castpd_ps(_mm_cmpgt_pd(c23, zero)),
                                                                         _MM_SHUFFLE(2, 0, 2, 0))));
            return _mm_unpacklo_epi64(levels(c01), levels(c23));
        };
        const __m128i ta0 = four(i, lanes0), ta1 = four(i + 4, lanes1);
        return packAlphas(ta0, ta1);
    }

    // Eight 32-bit alphas to 16-bit lanes: 8-bit ones by the signed pack,
    // 16-bit ones (up to 32768) offset by 32768 through it and back.
    [[gnu::always_inline]] static __m128i packAlphas(__m128i ta0, __m128i ta1) {
        if constexpr (is8) {
            return _mm_packs_epi32(ta0, ta1);
        } else {
            const __m128i bias = _mm_set1_epi32(32768);
            return _mm_xor_si128(_mm_packs_epi32(_mm_sub_epi32(ta0, bias), _mm_sub_epi32(ta1, bias)),
                                 _mm_set1_epi16(static_cast<short>(0x8000)));
        }
    }

    // tops() with four lanes of doubles at a time, for the AVX2 rows: the
    // same operations on each lane. The coverage masks come back as
    // `Masks`: 32-bit lanes for eight 8-bit pixels in two vectors (the
    // lanes given), or 64-bit lanes for eight 16-bit ones in two 256-bit
    // vectors, pixels 0-3 and 4-7 (from the lanes given, widened).
    template <class Masks>
    [[gnu::target("avx2"), gnu::always_inline]] __m128i topsWide(const RowGroups &r, int64_t i, __m128i lanes0,
                                                                 __m128i lanes1, Masks *masks) const {
        const __m256d zero = _mm256_setzero_pd(), one = _mm256_set1_pd(1.0), half = _mm256_set1_pd(0.5);
        const __m256d innerRadii = _mm256_set1_pd(ring.innerRadius), level = _mm256_set1_pd(ring.drawAlpha);
        const __m256d fy2 = _mm256_set1_pd(r.fy * r.fy), centre = _mm256_set1_pd(ring.centreX);
        const __m256d steps = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);  // x + k as the scalar sums give it
        const __m256i evenLanes = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
        const __m128i given[2] = {lanes0, lanes1};
        constexpr bool kWideMasks = sizeof(Masks) == 32;
        __m128i ta[2];
        for (int h = 0; h < 2; ++h) {
            const int64_t j = i + 4 * h;
            if constexpr (kWideMasks) {
                masks[h] = _mm256_cvtepi32_epi64(given[h]);
            } else {
                masks[h] = given[h];
            }
            if (j >= r.innerFrom && j <= r.innerTo) {
                ta[h] = _mm_set1_epi32(static_cast<int32_t>(ring.drawAlpha));
                continue;
            }
            const double x = static_cast<double>(r.first + j);
            const __m256d fx = _mm256_sub_pd(_mm256_add_pd(_mm256_set1_pd(x), steps), centre);
            const __m256d d = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(fx, fx), fy2));
            const __m256d c = _mm256_sub_pd(one, _mm256_mul_pd(_mm256_sub_pd(d, innerRadii), half));
            ta[h] = _mm256_cvttpd_epi32(_mm256_mul_pd(level, _mm256_min_pd(_mm256_max_pd(c, zero), one)));
            const __m256i positive = _mm256_castpd_si256(_mm256_cmp_pd(c, zero, _CMP_GT_OQ));
            if constexpr (kWideMasks) {
                masks[h] = _mm256_and_si256(masks[h], positive);
            } else {
                masks[h] =
                    _mm_and_si128(masks[h], _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(positive, evenLanes)));
            }
        }
        // Alphas up to 32768: the unsigned pack keeps them.
        return _mm_packus_epi32(ta[0], ta[1]);
    }

    // The coverage masks of pixels 0-3 and 4-7 (32-bit lanes) per vector of pixels.
    [[gnu::always_inline]] static void coveredLanes(__m128i lanes0, __m128i lanes1, __m128i *covered) {
        if constexpr (is8) {
            covered[0] = lanes0, covered[1] = lanes1;
        } else {
            covered[0] = _mm_unpacklo_epi32(lanes0, lanes0), covered[1] = _mm_unpackhi_epi32(lanes0, lanes0);
            covered[2] = _mm_unpacklo_epi32(lanes1, lanes1), covered[3] = _mm_unpackhi_epi32(lanes1, lanes1);
        }
    }

    // Group k of row r, alone.
    [[gnu::always_inline]] void group(RowGroups &r, int64_t k) const {
        __m128i lanes0, lanes1;
        const int64_t i = r.offset(k, lanes0, lanes1);
        const __m128i ta = tops(r, i, lanes0, lanes1);
        __m128i *p = reinterpret_cast<__m128i *>(r.base() + i);
        const __m128i zero = _mm_setzero_si128();
        __m128i bottom[kVectors], drawn[kVectors], covered[kVectors];
        for (int v = 0; v < kVectors; ++v) bottom[v] = _mm_loadu_si128(p + v);
        // Each pixel's lane of the coverage masks, its top alpha, and the
        // colour it is put as by the replacing write.
        coveredLanes(lanes0, lanes1, covered);
        if constexpr (is8) {
            drawn[0] = _mm_or_si128(colour.bits, _mm_unpacklo_epi16(ta, zero));
            drawn[1] = _mm_or_si128(colour.bits, _mm_unpackhi_epi16(ta, zero));
        } else {
            const __m128i low = _mm_unpacklo_epi16(ta, zero), high = _mm_unpackhi_epi16(ta, zero);
            drawn[0] = _mm_or_si128(colour.bits, _mm_unpacklo_epi32(low, zero));
            drawn[1] = _mm_or_si128(colour.bits, _mm_unpackhi_epi32(low, zero));
            drawn[2] = _mm_or_si128(colour.bits, _mm_unpacklo_epi32(high, zero));
            drawn[3] = _mm_or_si128(colour.bits, _mm_unpackhi_epi32(high, zero));
        }
        if constexpr (Write::laysOver) {
            for (int v = 0; v < kVectors; ++v) drawn[v] = bottom[v];
            if constexpr (is8) {
                compositeEight8<true>(drawn[0], drawn[1], colour, ta);
            } else {
                compositeEight16<true>(drawn, colour, ta);
            }
        }
        for (int v = 0; v < kVectors; ++v) _mm_storeu_si128(p + v, selectLanes(covered[v], drawn[v], bottom[v]));
    }

    static void rowAlone(const SoftCircleShape &shape, RowGroups &r) {
        const int64_t groups = r.groups();
        for (int64_t k = 0; k < groups; ++k) shape.group(r, k);
        rowDone(r);
    }

    // A 16-bit row laid over with AVX2: group() with the coverage four
    // lanes at a time and the composite eight.
    [[gnu::target("avx2"), gnu::always_inline]] static void groupWide(const SoftCircleShape &shape, RowGroups &r,
                                                                      int64_t k) {
        __m128i lanes0, lanes1;
        const int64_t i = r.offset(k, lanes0, lanes1);
        __m256i masks[2];
        const __m128i ta = shape.topsWide(r, i, lanes0, lanes1, masks);
        __m128i *p = reinterpret_cast<__m128i *>(r.base() + i);
        __m128i bottom[kVectors], drawn[kVectors];
        for (int v = 0; v < kVectors; ++v) drawn[v] = bottom[v] = _mm_loadu_si128(p + v);
        compositeEight16Wide(drawn, shape.colour, ta);
        for (int v = 0; v < kVectors; ++v) {
            const __m128i covered =
                v % 2 == 0 ? _mm256_castsi256_si128(masks[v / 2]) : _mm256_extracti128_si256(masks[v / 2], 1);
            _mm_storeu_si128(p + v, selectLanes(covered, drawn[v], bottom[v]));
        }
    }

    // Group k of row r alone with AVX2: group() at 8 bits, groupWide() at 16.
    [[gnu::target("avx2"), gnu::always_inline]] static void alone(const SoftCircleShape &shape, RowGroups &r,
                                                                  int64_t k) {
        if constexpr (is8) {
            shape.group(r, k);
        } else {
            groupWide(shape, r, k);
        }
    }

    [[gnu::target("avx2")]] static void rowAloneWide(const SoftCircleShape &shape, RowGroups &r) {
        const int64_t groups = r.groups();
        for (int64_t k = 0; k < groups; ++k) alone(shape, r, k);
        rowDone(r);
    }

    // A group of eight from each of two rows, its coverage known, waiting
    // for the composite: the coverage (square roots, branches on the
    // interior run) runs ahead of the composites rather than between them,
    // as the float eights' do (W2 at 16 bits took 0.85 of its time, at 8
    // bits 0.96). A shape draws each pixel once (a row's last group keeps
    // the lanes drawn before it), so the composites may wait until the
    // queue is full, a row drawn in its copy goes back, or finish().
    struct QueuedPair {
        __m256i *at[2];             // the group of row a, of row b
        __m256i ta;                 // top alphas in the composite's order
        __m256i covered[kVectors];  // coverage masks per vector of pixels
    };
    static constexpr int kQueued = 16;
    mutable QueuedPair queuedPairs[kQueued];
    mutable int queued = 0;

    [[gnu::target("avx2")]] void compositeQueued() const {
        if constexpr (is8) {
            for (int n = 0; n < queued; ++n) {
                const QueuedPair &q = queuedPairs[n];
                const __m256i bottom0 = _mm256_loadu_si256(q.at[0]), bottom1 = _mm256_loadu_si256(q.at[1]);
                __m256i p0 = bottom0, p1 = bottom1;
                compositeSixteen8(p0, p1, colour, q.ta);
                _mm256_storeu_si256(q.at[0], _mm256_blendv_epi8(bottom0, p0, q.covered[0]));
                _mm256_storeu_si256(q.at[1], _mm256_blendv_epi8(bottom1, p1, q.covered[1]));
            }
        } else {
            const TopSixteen16 top = topSixteen16(colour);
            for (int n = 0; n < queued; ++n) {
                const QueuedPair &q = queuedPairs[n];
                __m256i *at[kVectors] = {q.at[0], q.at[0] + 1, q.at[1], q.at[1] + 1};
                __m256i bottom[kVectors], drawn[kVectors];
                for (int v = 0; v < kVectors; ++v) drawn[v] = bottom[v] = _mm256_loadu_si256(at[v]);
                compositeSixteen16<false, true>(drawn, top, q.ta);
                // The lanes with coverage from the composite, the others as they were.
                for (int v = 0; v < kVectors; ++v) {
                    _mm256_storeu_si256(at[v], _mm256_blendv_epi8(bottom[v], drawn[v], q.covered[v]));
                }
            }
        }
        queued = 0;
    }

    // Two rows side by side, group k of each queued together while both
    // have one, the rest alone (groupWide at 16 bits).
    [[gnu::target("avx2")]] static void rowPair(const SoftCircleShape &shape, RowGroups &a, RowGroups &b) {
        const int64_t groupsA = a.groups(), groupsB = b.groups(), both = std::min(groupsA, groupsB);
        for (int64_t k = 0; k < both; ++k) {
            __m128i lanesA0, lanesA1, lanesB0, lanesB1;
            const int64_t i = a.offset(k, lanesA0, lanesA1), j = b.offset(k, lanesB0, lanesB1);
            QueuedPair &q = shape.queuedPairs[shape.queued];
            q.at[0] = reinterpret_cast<__m256i *>(a.base() + i);
            q.at[1] = reinterpret_cast<__m256i *>(b.base() + j);
            if constexpr (is8) {
                __m128i masksA[2], masksB[2];
                const __m128i taA = shape.topsWide(a, i, lanesA0, lanesA1, masksA);
                const __m128i taB = shape.topsWide(b, j, lanesB0, lanesB1, masksB);
                // The low halves hold pixels 0-3 of row a and of row b, the
                // high halves pixels 4-7: the top alphas in that order.
                q.ta = _mm256_set_m128i(_mm_unpackhi_epi64(taA, taB), _mm_unpacklo_epi64(taA, taB));
                q.covered[0] = _mm256_set_m128i(masksA[1], masksA[0]);
                q.covered[1] = _mm256_set_m128i(masksB[1], masksB[0]);
            } else {
                const __m128i taA = shape.topsWide(a, i, lanesA0, lanesA1, q.covered);
                const __m128i taB = shape.topsWide(b, j, lanesB0, lanesB1, q.covered + 2);
                // Each half of the vectors holds pixels 0, 1, 4 and 5 (low) or
                // 2, 3, 6 and 7 (high) of row a, then of row b: the top alphas
                // in that order.
                q.ta =
                    _mm256_permutevar8x32_epi32(_mm256_set_m128i(taB, taA), _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
            }
            if (++shape.queued == kQueued) shape.compositeQueued();
        }
        for (int64_t k = both; k < groupsA; ++k) alone(shape, a, k);
        for (int64_t k = both; k < groupsB; ++k) alone(shape, b, k);
        // A row narrower than eight was queued in its copy, which rowDone puts back.
        if (a.count < 8 || b.count < 8) shape.compositeQueued();
        rowDone(a);
        rowDone(b);
    }

    // With AVX2 and the over write, rows go in pairs: a row waits for the
    // next, and finish() draws one left waiting. Rows never share pixels.
    bool pairs = Write::laysOver && hasAvx2();
    mutable bool waiting = false;
    mutable RowGroups waitingRow;

    void wholeRow(Pixel *at, Span walk, Span inner, double fy) const {
        if (walk.first > walk.last) return;
        RowGroups r = rowGroups(at, walk, inner, fy);
        if (!pairs) {
            rowAlone(*this, r);
        } else if (waiting) {
            rowPair(*this, waitingRow, r);
            waiting = false;
        } else {
            waitingRow = r;
            waiting = true;
        }
    }

    void finish() const {
        if (waiting) rowAloneWide(*this, waitingRow);
        waiting = false;
        if (queued) compositeQueued();
    }
};

// ---- Soft-edged circles in float.

// The soft circle of the integer depths, its ring and rows, each row drawn
// four pixels at a time by compositeFourFloat: the coverage of each lane in
// double precision, the same operations in the same order as
// circleCoverageInline, and its top alpha float(ring.drawAlpha * c) as
// scaledAlpha takes it (the conversion rounds to nearest as a cast does).
// Fours wholly inside the interior run take the full alpha; a row not a
// whole number of fours ends with the last four, reaching back into the row
// with the lanes drawn already kept, or, narrower than four, through a copy.
template <class Write>
struct SoftCircleFloatShape {
    using Pixel = PF_PixelFloat;
    static constexpr bool cornerCut = false;  // as for SoftCircleShape
    static constexpr bool wholeRows = true;

    SoftRing ring;
    TopColourFloat fill;

    explicit SoftCircleFloatShape(const RasterShape &s)
        : ring(s, DepthFloatTraits::drawAlpha(s.opacity)), fill(topColourFloat(s.fill.colorF)) {}

    [[gnu::always_inline]] bool row(int64_t y, double fy, RowSpans &row) const { return ring.row(y, fy, row); }

    // Top alphas of the four pixels from column x, and in `drawn` those
    // with coverage.
    [[gnu::always_inline]] __m128 tops(double x, double fy2, __m128 &drawn) const {
        const __m128d zero = _mm_setzero_pd(), one = _mm_set1_pd(1.0), half = _mm_set1_pd(0.5);
        const __m128d innerRadii = _mm_set1_pd(ring.innerRadius), level = _mm_set1_pd(ring.drawAlpha);
        const __m128d rows = _mm_set1_pd(fy2), centre = _mm_set1_pd(ring.centreX);
        auto two = [&](double column, __m128d &c) {
            const __m128d fx = _mm_sub_pd(_mm_setr_pd(column, column + 1.0), centre);
            const __m128d d = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(fx, fx), rows));
            c = _mm_sub_pd(one, _mm_mul_pd(_mm_sub_pd(d, innerRadii), half));
            return _mm_cvtpd_ps(_mm_mul_pd(level, _mm_min_pd(_mm_max_pd(c, zero), one)));
        };
        __m128d c01, c23;
        const __m128 t01 = two(x, c01), t23 = two(x + 2.0, c23);
        drawn = _mm_shuffle_ps(_mm_castpd_ps(_mm_cmpgt_pd(c01, zero)), _mm_castpd_ps(_mm_cmpgt_pd(c23, zero)),
                               _MM_SHUFFLE(2, 0, 2, 0));
        return _mm_movelh_ps(t01, t23);
    }

    // Eights whose coverage is known, waiting for their composite. The
    // coverage (square roots, branches on the interior run) runs ahead of
    // the composites rather than between them, so the two overlap: a W2
    // float frame took 0.85 of its time. A shape draws each pixel once (a
    // row's last eight keeps the lanes drawn before it), so the composites
    // may wait; the queue is emptied when full and by finish(), before the
    // next shape.
    static constexpr int kQueued = 32;
    mutable __m256 queuedTa[kQueued], queuedDrawn[kQueued];
    mutable float *queuedAt[kQueued];
    mutable int queued = 0;

    [[gnu::target("avx2")]] void compositeQueued() const {
        for (int k = 0; k < queued; ++k) {
            float *p = queuedAt[k];
            __m256 px[4];
            for (int v = 0; v < 4; ++v) px[v] = _mm256_loadu_ps(p + 8 * v);
            compositeEightFloat<Write::laysOver>(px, fill, queuedTa[k], queuedDrawn[k]);
            for (int v = 0; v < 4; ++v) _mm256_storeu_ps(p + 8 * v, px[v]);
        }
        queued = 0;
    }

    // With AVX2, a row of at least eight pixels in eights by
    // compositeEightFloat, the last eight reaching back as the fours do;
    // returns the count queued. The coverage goes four columns at a time,
    // then into the composite's lane order (even columns, then odd); four
    // columns within the interior run take the full alpha without their
    // square roots, as the integer depths' rows do (the roots hold up a
    // dab's edge eights: this took a W2 float frame to 0.95 of its time).
    [[gnu::target("avx2")]] int64_t eights(Pixel *at, int64_t count, double x0, int64_t innerFrom, int64_t innerTo,
                                           double fy2) const {
        const __m256d zero = _mm256_setzero_pd(), one = _mm256_set1_pd(1.0), half = _mm256_set1_pd(0.5);
        const __m256d innerRadii = _mm256_set1_pd(ring.innerRadius), level = _mm256_set1_pd(ring.drawAlpha);
        const __m256d rows = _mm256_set1_pd(fy2), centre = _mm256_set1_pd(ring.centreX);
        const __m256i evenLanes = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
        const __m256 full = _mm256_set1_ps(static_cast<float>(ring.drawAlpha));
        const __m256 all = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
        // Pixel offsets of the lanes: the last eight's fresh lanes, and
        // where each lane's coverage comes from.
        const __m256i laneIndex = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
        for (int64_t next = 0; next < count; next += 8) {
            // The last eight reach back into the row when it is not a whole
            // number of eights, the lanes drawn already kept.
            const int64_t i = std::min(next, count - 8);
            __m256 ta = full, fresh = all;
            if (i < next) {
                const __m256i from = _mm256_set1_epi32(static_cast<int32_t>(next - i) - 1);
                fresh = _mm256_castsi256_ps(_mm256_cmpgt_epi32(laneIndex, from));
            }
            __m256 drawn = fresh;
            if (i < innerFrom || i + 4 > innerTo) {
                __m128 tops[2], lanes[2];
                for (int h = 0; h < 2; ++h) {  // columns i to i + 3, then i + 4 to i + 7
                    const int64_t j = i + 4 * h;
                    if (j >= innerFrom && j <= innerTo) {
                        tops[h] = _mm256_castps256_ps128(full);
                        lanes[h] = _mm256_castps256_ps128(all);
                        continue;
                    }
                    const double x = x0 + static_cast<double>(j);
                    const __m256d columns = _mm256_add_pd(_mm256_set1_pd(x), _mm256_setr_pd(0.0, 1.0, 2.0, 3.0));
                    const __m256d fx = _mm256_sub_pd(columns, centre);
                    const __m256d d = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(fx, fx), rows));
                    const __m256d c = _mm256_sub_pd(one, _mm256_mul_pd(_mm256_sub_pd(d, innerRadii), half));
                    const __m256i positive = _mm256_castpd_si256(_mm256_cmp_pd(c, zero, _CMP_GT_OQ));
                    lanes[h] =
                        _mm_castsi128_ps(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(positive, evenLanes)));
                    tops[h] = _mm256_cvtpd_ps(_mm256_mul_pd(level, _mm256_min_pd(_mm256_max_pd(c, zero), one)));
                }
                // Into the composite's lane order.
                ta = _mm256_permutevar8x32_ps(_mm256_set_m128(tops[1], tops[0]), laneIndex);
                drawn = _mm256_and_ps(fresh, _mm256_permutevar8x32_ps(_mm256_set_m128(lanes[1], lanes[0]), laneIndex));
            }
            queuedAt[queued] = &at[i].alpha;
            queuedTa[queued] = ta;
            queuedDrawn[queued] = drawn;
            if (++queued == kQueued) compositeQueued();
        }
        return count;
    }

    bool byEights = hasAvx2();

    void wholeRow(Pixel *at, Span walk, Span inner, double fy) const {
        const int64_t count = walk.last - walk.first + 1;
        if (count <= 0) return;
        // Offsets of the fours wholly in the interior run.
        const int64_t innerFrom = inner.first - walk.first, innerTo = inner.last - walk.first - 3;
        const double fy2 = fy * fy;
        int64_t i = 0;
        if (byEights && count >= 8) i = eights(at, count, static_cast<double>(walk.first), innerFrom, innerTo, fy2);
        const __m128 full = _mm_set1_ps(static_cast<float>(ring.drawAlpha));
        const __m128i index = _mm_setr_epi32(0, 1, 2, 3);
        // The four pixels at p, offset i of the row; lanes: those to draw.
        auto group = [&](Pixel *p, int64_t i, __m128 lanes) {
            __m128 drawn = lanes, ta = full;
            if (i < innerFrom || i > innerTo) {
                ta = tops(static_cast<double>(walk.first + i), fy2, drawn);
                drawn = _mm_and_ps(drawn, lanes);
            }
            __m128 px[4];
            for (int v = 0; v < 4; ++v) px[v] = _mm_loadu_ps(&p[v].alpha);
            compositeFourFloat<Write::laysOver>(px, fill, ta, drawn);
            for (int v = 0; v < 4; ++v) _mm_storeu_ps(&p[v].alpha, px[v]);
        };
        for (; i + 4 <= count; i += 4) group(at + i, i, _mm_castsi128_ps(_mm_set1_epi32(-1)));
        if (i == count) return;
        if (count >= 4) {
            // Lanes from i - (count - 4) on are fresh.
            const __m128i from = _mm_set1_epi32(static_cast<int32_t>(i - (count - 4)) - 1);
            group(at + count - 4, count - 4, _mm_castsi128_ps(_mm_cmpgt_epi32(index, from)));
        } else {
            Pixel copy[4] = {};
            std::memcpy(copy, at, static_cast<size_t>(count) * sizeof(Pixel));
            group(copy, 0, _mm_castsi128_ps(_mm_cmpgt_epi32(_mm_set1_epi32(static_cast<int32_t>(count)), index)));
            std::memcpy(at, copy, static_cast<size_t>(count) * sizeof(Pixel));
        }
    }

    void finish() const {
        if (queued) compositeQueued();
    }
};
#endif

// ---- Layer stamps at any depth.

// The layer's sampling function of a depth: the area sample, or the nearest.
template <class Traits>
auto layerSampleFunction(const LayerSampler &sampler, bool area) {
    if constexpr (std::is_same_v<Traits, Depth8Traits>) {
        return area ? sampler.suite8->area_sample : sampler.suite8->nn_sample;
    } else if constexpr (std::is_same_v<Traits, Depth16Traits>) {
        return area ? sampler.suite16->area_sample16 : sampler.suite16->nn_sample16;
    } else {
        return area ? sampler.suiteFloat->area_sample_float : sampler.suiteFloat->nn_sample_float;
    }
}

// Every pixel of the square inside the target shows the layer position it
// maps to, sampled by the host (transparent beyond the layer's reach), its
// alpha scaled by the point's opacity. No corner is cut and no coverage
// applies: the layer's own alpha shapes it.
template <class Traits, class Write>
struct LayerShape {
    using Pixel = typename Traits::Pixel;
    static constexpr bool cornerCut = false;
    static constexpr bool wholeRows = false;

    const LayerTransform t;
    const LayerSampler &sampler;
    const double centreY;
    const double opacity;
    const LayerReach reach;
    PF_SampPB params{};
    decltype(layerSampleFunction<Traits>(std::declval<const LayerSampler &>(), false)) sample;

    explicit LayerShape(const RasterShape &s)
        : t(s.layer),
          sampler(*s.sampler),
          centreY(s.centreY),
          opacity(std::min(s.opacity, 1.0)),
          reach(layerReach(sampler.source->width, sampler.source->height, t)) {
        params.src = sampler.source;
        params.x_radius = params.y_radius = t.sampleRadius;
        sample = layerSampleFunction<Traits>(sampler, t.area);
    }

    bool row(int64_t, double, RowSpans &) const { return true; }
    void trim(double, Span &) const {}
    void interior(Pixel *, int64_t) const {}

    void edges(Pixel *at, int64_t first, int64_t last, double fy) const {
        PF_Err &pending = *sampler.pending;
        if (pending != PF_Err_NONE) return;
        // The row's own y, back from its offset (off by far less than 0.5).
        LayerStep step = layerStep(t, layerRow(t, std::llround(fy + centreY)), sampler.centreX, sampler.centreY, first);
        const typename Write::Top transparent = Write::prepare(Pixel{});
        for (int64_t x = first; x <= last; ++x, ++at, step.next()) {
            const PF_Fixed sx = pinnedFixed(step.x()), sy = pinnedFixed(step.y());
            if (!reach.holds(sx, sy)) {
                Write::put(*at, transparent);
                continue;
            }
            Pixel p{};
            pending = sample(sampler.effectRef, sx, sy, &params, &p);
            if (pending != PF_Err_NONE) return;
            // Full opacity keeps the sample's alpha as it is.
            if (opacity < 1) p.alpha = scaledAlpha<Traits>(p.alpha, opacity);
            Write::put(*at, Write::prepare(p));
        }
    }

    static PF_Fixed pinnedFixed(int64_t v) {
        return static_cast<PF_Fixed>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    }
};

// ---- Drawers: one per depth and write.

template <class Traits, template <class> class Write>
void drawShape(const RasterTarget &target, const RasterShape &s) {
    using W = Write<Traits>;
#if defined(__SSE2__)
    if constexpr (!Traits::isFloat) {
        if (softCircleFits(s)) {
            walkSquare(target, s, SoftCircleShape<Traits, W>(s));
            return;
        }
    } else if (softCircleFits(s)) {
        walkSquare(target, s, SoftCircleFloatShape<W>(s));
        return;
    }
#endif
    if (s.sides == 1) {
        if (s.sampler) walkSquare(target, s, LayerShape<Traits, W>(s));
    } else if (s.sides == 2) {
        walkSquare(target, s, CircleShape<Traits, W>(s));
    } else {
        walkSquare(target, s, PolygonShape<Traits, W>(s));
    }
}

const ShapeDrawer kDrawers[3][2] = {
    {drawShape<Depth8Traits, OverWrite>, drawShape<Depth8Traits, ReplaceWrite>},
    {drawShape<Depth16Traits, OverWrite>, drawShape<Depth16Traits, ReplaceWrite>},
    {drawShape<DepthFloatTraits, OverWrite>, drawShape<DepthFloatTraits, ReplaceWrite>},
};

}  // namespace

ShapeDrawer shapeDrawer(PixelDepth depth, PixelWrite write) {
    const int d = depth == Depth16 ? 1 : depth == DepthFloat ? 2 : 0;
    return kDrawers[d][write == PixelWrite::Replace ? 1 : 0];
}
