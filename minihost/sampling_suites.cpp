// minihost's "PF Sampling8/16/Float Suite" 1: nearest-neighbour, bilinear and
// area samples of a world at 16.16 coordinates. Pixel (i, j) covers
// [i, i + 1) x [j, j + 1); anything outside the world is transparent black.
#include <algorithm>
#include <cmath>

#include "hostapi/pf_suites.h"
#include "minihost/host_internals.h"

namespace minihost {
namespace {

template <typename Pixel>
struct SampleTraits;

template <>
struct SampleTraits<PF_Pixel> {
    static constexpr Depth depth = Depth::Bits8;
    static A_u_char store(double v) { return static_cast<A_u_char>(std::clamp(v + 0.5, 0.0, 255.0)); }
};

template <>
struct SampleTraits<PF_Pixel16> {
    static constexpr Depth depth = Depth::Bits16;
    static A_u_short store(double v) { return static_cast<A_u_short>(std::clamp(v + 0.5, 0.0, 32768.0)); }
};

template <>
struct SampleTraits<PF_PixelFloat> {
    static constexpr Depth depth = Depth::Float;
    static A_FpShort store(double v) { return static_cast<A_FpShort>(v); }
};

double realOf(PF_Fixed v) { return v / 65536.0; }

// The source world, when the parameters name one of the host's worlds of
// this depth.
template <typename Pixel>
const PF_EffectWorld *sourceWorld(const Host &host, const PF_SampPB *params) {
    Depth depth;
    if (!params || !params->src || !worldDepth(host, *params->src, depth) || depth != SampleTraits<Pixel>::depth)
        return nullptr;
    return params->src;
}

template <typename Pixel>
const Pixel &pixelAt(const PF_EffectWorld &w, A_long x, A_long y) {
    return reinterpret_cast<const Pixel *>(reinterpret_cast<const unsigned char *>(w.data) +
                                           static_cast<std::ptrdiff_t>(y) * w.rowbytes)[x];
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
        using T = SampleTraits<Pixel>;
        Pixel out{};
        if (!(alpha > 0) || !(totalWeight > 0)) return out;
        out.alpha = T::store(alpha / totalWeight);
        out.red = T::store(red / alpha);
        out.green = T::store(green / alpha);
        out.blue = T::store(blue / alpha);
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

enum class Filter { Nearest, Bilinear, Area };

template <typename Pixel, Filter filter>
PF_Err sample(PF_ProgPtr ref, const char *function, PF_Fixed x, PF_Fixed y, const PF_SampPB *params, Pixel *dst) {
    if (!ref) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(ref);
    if (PF_Err err = enterCall(host, function)) return err;
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

PF_Err nn8(PF_ProgPtr r, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_Pixel *d) {
    return sample<PF_Pixel, Filter::Nearest>(r, "nn_sample", x, y, p, d);
}
PF_Err sub8(PF_ProgPtr r, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_Pixel *d) {
    return sample<PF_Pixel, Filter::Bilinear>(r, "subpixel_sample", x, y, p, d);
}
PF_Err area8(PF_ProgPtr r, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_Pixel *d) {
    return sample<PF_Pixel, Filter::Area>(r, "area_sample", x, y, p, d);
}
PF_Err nn16(PF_ProgPtr r, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_Pixel16 *d) {
    return sample<PF_Pixel16, Filter::Nearest>(r, "nn_sample16", x, y, p, d);
}
PF_Err sub16(PF_ProgPtr r, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_Pixel16 *d) {
    return sample<PF_Pixel16, Filter::Bilinear>(r, "subpixel_sample16", x, y, p, d);
}
PF_Err area16(PF_ProgPtr r, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_Pixel16 *d) {
    return sample<PF_Pixel16, Filter::Area>(r, "area_sample16", x, y, p, d);
}
PF_Err nnFloat(PF_ProgPtr r, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_PixelFloat *d) {
    return sample<PF_PixelFloat, Filter::Nearest>(r, "nn_sample_float", x, y, p, d);
}
PF_Err subFloat(PF_ProgPtr r, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_PixelFloat *d) {
    return sample<PF_PixelFloat, Filter::Bilinear>(r, "subpixel_sample_float", x, y, p, d);
}
PF_Err areaFloat(PF_ProgPtr r, PF_Fixed x, PF_Fixed y, const PF_SampPB *p, PF_PixelFloat *d) {
    return sample<PF_PixelFloat, Filter::Area>(r, "area_sample_float", x, y, p, d);
}

}  // namespace

const void *sampling8Suite() {
    static const PF_Sampling8Suite1 suite = {nn8, sub8, area8};
    return &suite;
}

const void *sampling16Suite() {
    static const PF_Sampling16Suite1 suite = {nn16, sub16, area16};
    return &suite;
}

const void *samplingFloatSuite() {
    static const PF_SamplingFloatSuite1 suite = {nnFloat, subFloat, areaFloat};
    return &suite;
}

}  // namespace minihost
