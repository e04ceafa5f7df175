// What a drawn pixel does to the pixel under it, chosen once per render: laid
// over it with the plug-in's own composite ("Blend Mode" "Normal", straight
// into the output), or put in its place (drawing into a cleared scratch world
// that the host then blends onto the output).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "raster/pixel_kernels.h"

enum class PixelWrite { Over, Replace };

// count copies of one pixel from dst on; with SSE2 sixteen bytes a store.
template <class Pixel>
inline void fillPixels(Pixel *dst, int64_t count, Pixel value) {
    int64_t i = 0;
#if defined(__SSE2__)
    static_assert(16 % sizeof(Pixel) == 0, "pixels of 4, 8 or 16 bytes");
    constexpr int64_t perStore = 16 / sizeof(Pixel);
    Pixel pattern[perStore];
    std::fill(pattern, pattern + perStore, value);
    __m128i bits;
    std::memcpy(&bits, pattern, 16);
    for (; i + perStore <= count; i += perStore) _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), bits);
#endif
    for (; i < count; ++i) dst[i] = value;
}

// Each write takes tops prepared once (OverTop) and lays one over a pixel
// (put) or over a run (run).
template <class Traits>
struct OverWrite {
    using Pixel = typename Traits::Pixel;
    using Top = OverTop<Pixel>;
    static constexpr bool laysOver = true;

    static Top prepare(Pixel p) { return overTop(p); }
    [[gnu::always_inline]] static void put(Pixel &dst, const Top &top) { compositeOverInto(dst, top); }
    static void run(Pixel *dst, int64_t count, const Top &top) {
        if (top.pixel.alpha == Traits::full) {
            fillPixels(dst, count, top.pixel);
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
    static void run(Pixel *dst, int64_t count, const Top &top) { fillPixels(dst, count, top.pixel); }
};
