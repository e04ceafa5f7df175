// The area average that minihost's area sample and its scaling copy share:
// the mean of a world's pixels over a rectangle, each pixel weighted by the
// area it shares with the rectangle and pixels outside the world counting as
// transparent, taken with premultiplied alpha and returned straight.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "hostapi/hostapi.h"

namespace minihost {

// The largest channel value of a pixel type; 0 for float channels, which
// keep the mean as it is. Inline: the explicit specializations are
// definitions in every file that includes this header, one variable each.
template <typename Pixel>
inline constexpr double channelCeiling = 0;
template <>
inline constexpr double channelCeiling<PF_Pixel> = 255;
template <>
inline constexpr double channelCeiling<PF_Pixel16> = 32768;

template <typename Pixel>
const Pixel *rowOf(const PF_EffectWorld &world, A_long y) {
    return reinterpret_cast<const Pixel *>(reinterpret_cast<const unsigned char *>(world.data) +
                                           static_cast<std::ptrdiff_t>(y) * world.rowbytes);
}

// A mean channel value as the pixel stores it: integer channels round to the
// nearest level (halves up) within their range, float channels keep it.
template <typename Pixel>
auto channelOf(double v) {
    using Channel = decltype(Pixel::alpha);
    constexpr double ceiling = channelCeiling<Pixel>;
    if constexpr (ceiling > 0)
        return static_cast<Channel>(std::clamp(v + 0.5, 0.0, ceiling));
    else
        return static_cast<Channel>(v);
}

// Weighted sums of pixels with premultiplied colour, so that transparent
// pixels lend no colour to the mean.
struct PremultipliedSum {
    double alpha = 0, red = 0, green = 0, blue = 0;

    template <typename Pixel>
    void add(const Pixel &p, double weight) {
        const double a = weight * p.alpha;
        alpha += a;
        red += a * p.red;
        green += a * p.green;
        blue += a * p.blue;
    }

    void add(const PremultipliedSum &sum, double weight) {
        alpha += weight * sum.alpha;
        red += weight * sum.red;
        green += weight * sum.green;
        blue += weight * sum.blue;
    }

    // The mean over `totalWeight`, the weight of the whole rectangle with
    // its part outside the world: alpha sum / total weight, colour
    // premultiplied sum / alpha sum; all channels 0 where the alpha sum is 0.
    template <typename Pixel>
    Pixel straight(double totalWeight) const {
        Pixel out{};
        if (!(alpha > 0) || !(totalWeight > 0)) return out;
        out.alpha = channelOf<Pixel>(alpha / totalWeight);
        out.red = channelOf<Pixel>(red / alpha);
        out.green = channelOf<Pixel>(green / alpha);
        out.blue = channelOf<Pixel>(blue / alpha);
        return out;
    }
};

// The interval [lo, hi) along one axis of a world, in units of 1 / `unit`
// pixel (pixel k spans [k unit, (k + 1) unit)), as the pixels inside the
// world it overlaps and their overlap lengths in the same units. Integer
// units keep the weights exact: 65536 for 16.16 positions, the destination
// size for a scaling copy.
struct AxisSpan {
    A_long first = 0, last = -1;  // pixels inside the world; none when last < first
    double firstWeight = 0, lastWeight = 0, innerWeight = 0;
    double total = 0;  // hi - lo: the outside counts in the mean as transparent

    double weight(A_long k) const { return k == first ? firstWeight : k == last ? lastWeight : innerWeight; }
};

// Floor of a / b for b > 0.
inline std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// `lo` < `hi`; the products k * unit for k up to `size` must fit 64 bits.
inline AxisSpan axisSpan(std::int64_t lo, std::int64_t hi, std::int64_t unit, A_long size) {
    AxisSpan span;
    span.total = static_cast<double>(hi - lo);
    const std::int64_t first = std::max<std::int64_t>(floorDiv(lo, unit), 0);
    const std::int64_t last = std::min<std::int64_t>(floorDiv(hi - 1, unit), std::int64_t{size} - 1);
    if (last < first) return span;
    auto overlap = [&](std::int64_t k) {
        return static_cast<double>(std::min((k + 1) * unit, hi) - std::max(k * unit, lo));
    };
    span.first = static_cast<A_long>(first);
    span.last = static_cast<A_long>(last);
    span.firstWeight = overlap(first);
    span.lastWeight = overlap(last);
    span.innerWeight = static_cast<double>(unit);
    return span;
}

// The mean of `world` over the rectangle the two spans make.
template <typename Pixel>
Pixel areaAverage(const PF_EffectWorld &world, const AxisSpan &x, const AxisSpan &y) {
    PremultipliedSum sum;
    for (A_long j = y.first; j <= y.last; ++j) {
        const Pixel *row = rowOf<Pixel>(world, j);
        PremultipliedSum rowSum;
        for (A_long i = x.first; i <= x.last; ++i) rowSum.add(row[i], x.weight(i));
        sum.add(rowSum, y.weight(j));
    }
    return sum.straight<Pixel>(x.total * y.total);
}

}  // namespace minihost
