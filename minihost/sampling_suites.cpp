// minihost's "PF Sampling8/16/Float Suite" 1: nearest-neighbour, bilinear and
// area samples of a world at 16.16 coordinates. Pixel (i, j) covers
// [i, i + 1) x [j, j + 1); anything outside the world is transparent black.
#include <algorithm>
#include <cmath>

#include "hostapi/pf_suites.h"
#include "minihost/host_internals.h"

namespace minihost {
namespace {

// What tells the three suites apart besides the pixel type: the depth of the
// worlds they read, the largest channel value (0: float channels, stored as
// they are) and the names their functions log under (nearest, bilinear, area).
struct DepthSuite {
    Depth depth;
    double ceiling;
    const char *names[3];
};

// Specialised for PF_Pixel, PF_Pixel16 and PF_PixelFloat.
template <typename Pixel>
constexpr DepthSuite depthSuite = {};
template <>
constexpr DepthSuite depthSuite<PF_Pixel> = {Depth::Bits8, 255, {"nn_sample", "subpixel_sample", "area_sample"}};
template <>
constexpr DepthSuite depthSuite<PF_Pixel16> = {
    Depth::Bits16, 32768, {"nn_sample16", "subpixel_sample16", "area_sample16"}};
template <>
constexpr DepthSuite depthSuite<PF_PixelFloat> = {
    Depth::Float, 0, {"nn_sample_float", "subpixel_sample_float", "area_sample_float"}};

double realOf(PF_Fixed v) { return v / 65536.0; }

// The source world, when the parameters name one of the host's worlds of
// this depth.
template <typename Pixel>
const PF_EffectWorld *sourceWorld(const Host &host, const PF_SampPB *params) {
    Depth depth;
    if (!params || !params->src || !worldDepth(host, *params->src, depth) || depth != depthSuite<Pixel>.depth)
        return nullptr;
    return params->src;
}

template <typename Pixel>
const Pixel &pixelAt(const PF_EffectWorld &w, A_long x, A_long y) {
    return reinterpret_cast<const Pixel *>(reinterpret_cast<const unsigned char *>(w.data) +
                                           static_cast<std::ptrdiff_t>(y) * w.rowbytes)[x];
}

// A mean channel value as the pixel stores it: integer channels round to
// the nearest level within their range, float channels keep it.
template <typename Pixel>
auto channelOf(double v) {
    using Channel = decltype(Pixel::alpha);
    constexpr double ceiling = depthSuite<Pixel>.ceiling;
    if constexpr (ceiling > 0)
        return static_cast<Channel>(std::clamp(v + 0.5, 0.0, ceiling));
    else
        return static_cast<Channel>(v);
}

// Weighted sum of pixels with straight colour: colour is weighted by alpha
// as well, so transparent pixels lend no colour to the result.
struct Accumulator {
    double alpha = 0, red = 0, green = 0, blue = 0;

    template <typename Pixel>
    void add(const Pixel &p, double weight) {
        const double a = weight * p.alpha;
        alpha += a;
        red += a * p.red;
        green += a * p.green;
        blue += a * p.blue;
    }

    // `totalWeight` is the weight of the whole footprint, out-of-world part included.
    template <typename Pixel>
    Pixel result(double totalWeight) const {
        Pixel out{};
        if (!(alpha > 0) || !(totalWeight > 0)) return out;
        out.alpha = channelOf<Pixel>(alpha / totalWeight);
        out.red = channelOf<Pixel>(red / alpha);
        out.green = channelOf<Pixel>(green / alpha);
        out.blue = channelOf<Pixel>(blue / alpha);
        return out;
    }
};

template <typename Pixel>
Pixel nearest(const PF_EffectWorld &w, PF_Fixed x, PF_Fixed y) {
    const A_long i = static_cast<A_long>(std::floor(realOf(x))), j = static_cast<A_long>(std::floor(realOf(y)));
    if (i < 0 || j < 0 || i >= w.width || j >= w.height) return Pixel{};
    return pixelAt<Pixel>(w, i, j);
}

// Bilinear between the four pixel centres around the point.
template <typename Pixel>
Pixel bilinear(const PF_EffectWorld &w, PF_Fixed x, PF_Fixed y) {
    const double fx = realOf(x) - 0.5, fy = realOf(y) - 0.5;
    const double i0 = std::floor(fx), j0 = std::floor(fy);
    const double wx = fx - i0, wy = fy - j0;
    Accumulator sum;
    for (int dj = 0; dj < 2; ++dj)
        for (int di = 0; di < 2; ++di) {
            const double i = i0 + di, j = j0 + dj;
            if (i < 0 || j < 0 || i >= w.width || j >= w.height) continue;
            sum.add(pixelAt<Pixel>(w, A_long(i), A_long(j)), (di ? wx : 1 - wx) * (dj ? wy : 1 - wy));
        }
    return sum.result<Pixel>(1.0);
}

// Coverage of pixel i by the interval [lo, hi].
double overlap(double i, double lo, double hi) { return std::max(0.0, std::min(i + 1, hi) - std::max(i, lo)); }

// Box average over [x - x radius, x + x radius] x [y - y radius, y + y radius],
// each pixel weighted by the area it shares with the box. A radius of 0 (or
// less) samples along that axis like nearest-neighbour.
template <typename Pixel>
Pixel area(const PF_EffectWorld &w, PF_Fixed x, PF_Fixed y, PF_Fixed xRadius, PF_Fixed yRadius) {
    struct Axis {
        double lo, hi, total;
        A_long first, last;  // pixels inside the world that the box touches
    };
    auto axis = [](double centre, PF_Fixed radiusFixed, A_long size) {
        const double radius = realOf(radiusFixed);
        Axis a;
        if (radius > 0) {
            a.lo = centre - radius, a.hi = centre + radius, a.total = 2 * radius;
        } else {
            a.lo = std::floor(centre), a.hi = a.lo + 1, a.total = 1;
        }
        a.first = static_cast<A_long>(std::max(std::floor(a.lo), 0.0));
        a.last = static_cast<A_long>(std::min(std::ceil(a.hi) - 1, double(size) - 1));
        return a;
    };
    const Axis ax = axis(realOf(x), xRadius, w.width), ay = axis(realOf(y), yRadius, w.height);
    Accumulator sum;
    for (A_long j = ay.first; j <= ay.last; ++j) {
        const double wy = overlap(j, ay.lo, ay.hi);
        for (A_long i = ax.first; i <= ax.last; ++i) sum.add(pixelAt<Pixel>(w, i, j), overlap(i, ax.lo, ax.hi) * wy);
    }
    return sum.result<Pixel>(ax.total * ay.total);
}

// In the order of the suites' tables.
enum class Filter { Nearest, Bilinear, Area };

template <typename Pixel, Filter filter>
PF_Err sample(PF_ProgPtr ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *params, Pixel *dst) {
    if (!ref) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(ref);
    if (PF_Err err = enterCall(host, depthSuite<Pixel>.names[static_cast<int>(filter)])) return err;
    const PF_EffectWorld *src = sourceWorld<Pixel>(host, params);
    if (!src || !dst) return refused(host);
    switch (filter) {
    case Filter::Nearest:
        *dst = nearest<Pixel>(*src, x, y);
        break;
    case Filter::Bilinear:
        *dst = bilinear<Pixel>(*src, x, y);
        break;
    case Filter::Area:
        *dst = area<Pixel>(*src, x, y, params->x_radius, params->y_radius);
        break;
    }
    return PF_Err_NONE;
}

template <typename Suite, typename Pixel>
const void *samplingSuite() {
    static const Suite suite = {sample<Pixel, Filter::Nearest>, sample<Pixel, Filter::Bilinear>,
                                sample<Pixel, Filter::Area>};
    return &suite;
}

}  // namespace

const void *sampling8Suite() { return samplingSuite<PF_Sampling8Suite1, PF_Pixel>(); }
const void *sampling16Suite() { return samplingSuite<PF_Sampling16Suite1, PF_Pixel16>(); }
const void *samplingFloatSuite() { return samplingSuite<PF_SamplingFloatSuite1, PF_PixelFloat>(); }

}  // namespace minihost
