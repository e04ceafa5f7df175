// minihost's "PF Sampling8/16/Float Suite" 1: nearest-neighbour, bilinear and
// area samples of a world at 16.16 coordinates. Pixel (i, j) covers
// [i, i + 1) x [j, j + 1); anything outside the world is transparent black.
#include <cmath>

#include "hostapi/pf_suites.h"
#include "minihost/area_average.h"
#include "minihost/host_state.h"

namespace minihost {
namespace {

// What tells the three suites apart besides the pixel type: the depth of the
// worlds they read and the names their functions log under (nearest,
// bilinear, area).
struct DepthSuite {
    Depth depth;
    const char *names[3];
};

// Specialised for PF_Pixel, PF_Pixel16 and PF_PixelFloat.
template <typename Pixel>
constexpr DepthSuite depthSuite = {};
template <>
constexpr DepthSuite depthSuite<PF_Pixel> = {Depth::Bits8, {"nn_sample", "subpixel_sample", "area_sample"}};
template <>
constexpr DepthSuite depthSuite<PF_Pixel16> = {Depth::Bits16, {"nn_sample16", "subpixel_sample16", "area_sample16"}};
template <>
constexpr DepthSuite depthSuite<PF_PixelFloat> = {Depth::Float,
                                                  {"nn_sample_float", "subpixel_sample_float", "area_sample_float"}};

double realOf(PF_Fixed v) { return v / 65536.0; }

// The source world, when the parameters name one of the host's worlds of
// this depth with a record that fits it.
template <typename Pixel>
const PF_EffectWorld *sourceWorld(const Host &host, const PF_SampPB *params) {
    if (!params) return nullptr;
    const World *known = knownWorld(host, params->src);
    return known && known->depth == depthSuite<Pixel>.depth ? params->src : nullptr;
}

// The pixel holding a 16.16 position: its integer part rounded down, by the
// arithmetic right shift every supported compiler gives signed values.
template <typename Pixel>
Pixel nearest(const PF_EffectWorld &w, PF_Fixed x, PF_Fixed y) {
    const A_long i = x >> 16, j = y >> 16;
    if (i < 0 || j < 0 || i >= w.width || j >= w.height) return Pixel{};
    return rowOf<Pixel>(w, j)[i];
}

// Bilinear between the four pixel centres around the point.
template <typename Pixel>
Pixel bilinear(const PF_EffectWorld &w, PF_Fixed x, PF_Fixed y) {
    const double fx = realOf(x) - 0.5, fy = realOf(y) - 0.5;
    const double i0 = std::floor(fx), j0 = std::floor(fy);
    const double wx = fx - i0, wy = fy - j0;
    PremultipliedSum sum;
    for (int dj = 0; dj < 2; ++dj)
        for (int di = 0; di < 2; ++di) {
            const double i = i0 + di, j = j0 + dj;
            if (i < 0 || j < 0 || i >= w.width || j >= w.height) continue;
            sum.add(rowOf<Pixel>(w, A_long(j))[A_long(i)], (di ? wx : 1 - wx) * (dj ? wy : 1 - wy));
        }
    return sum.straight<Pixel>(1.0);
}

// The area average over [x - x radius, x + x radius] x [y - y radius, y + y radius]
// (16.16). A radius of 0 or less on either axis leaves a rectangle of no
// area: the nearest sample.
template <typename Pixel>
Pixel area(const PF_EffectWorld &w, PF_Fixed x, PF_Fixed y, PF_Fixed xRadius, PF_Fixed yRadius) {
    if (xRadius <= 0 || yRadius <= 0) return nearest<Pixel>(w, x, y);
    constexpr std::int64_t unit = 65536;
    const std::int64_t cx = x, cy = y;
    return areaAverage<Pixel>(w, axisSpan(cx - xRadius, cx + xRadius, unit, w.width),
                              axisSpan(cy - yRadius, cy + yRadius, unit, w.height));
}

// In the order of the suites' tables.
enum class Filter { Nearest, Bilinear, Area };

template <typename Pixel, Filter filter>
PF_Err sample(PF_ProgPtr ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *params, Pixel *dst) {
    if (!ref) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(ref);
    if (PF_Err err = countCall(host, depthSuite<Pixel>.names[static_cast<int>(filter)], nullptr)) return err;
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
