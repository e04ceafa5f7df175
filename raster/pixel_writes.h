// What a drawn pixel does to the pixel under it, chosen once per render: laid
// over it with the plug-in's own composite ("Blend Mode" "Normal", straight
// into the output), or put in its place (drawing into a cleared scratch world
// that the host then blends onto the output).
#pragma once

#include <algorithm>
#include <cstdint>

#include "raster/pixel_kernels.h"

enum class PixelWrite { Over, Replace };

// Each write takes tops prepared once (OverTop) and lays one over a pixel
// (put) or over a run (run).
template <class Traits>
struct OverWrite {
    using Pixel = typename Traits::Pixel;
    using Top = OverTop<Pixel>;
    static constexpr bool laysOver = true;

    static Top prepare(Pixel p) { return overTop(p); }
    static void put(Pixel &dst, const Top &top) { compositeOverInto(dst, top); }
    static void run(Pixel *dst, int64_t count, const Top &top) {
        if (top.pixel.alpha == Traits::full) {
            std::fill(dst, dst + count, top.pixel);
        } else {
            compositeRunOver(dst, count, top);
        }
    }
};

template <class Traits>
struct ReplaceWrite {
    using Pixel = typename Traits::Pixel;
    using Top = OverTop<Pixel>;
    static constexpr bool laysOver = false;

    static Top prepare(Pixel p) { return Top{p, 0, 0, 0}; }
    static void put(Pixel &dst, const Top &top) { dst = top.pixel; }
    static void run(Pixel *dst, int64_t count, const Top &top) { std::fill(dst, dst + count, top.pixel); }
};
