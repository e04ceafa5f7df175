// The per-pixel operations of drawing. Each has one plain reference form,
// written once over the depth traits and named as such, and fast forms for
// the pixel walk that give bit-identical results (the tests compare them).
// pixel_ops.h gives the reference forms as plain functions per depth.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "hostapi/hostapi.h"
#include "raster/depth_traits.h"
#include "raster/fixed_point.h"

// ---- Reference forms.

// Over composite, straight colour: top laid over bottom.
template <class Traits>
inline typename Traits::Pixel compositeOverReference(typename Traits::Pixel bottom, typename Traits::Pixel top) {
    using Pixel = typename Traits::Pixel;
    if (bottom.alpha == 0 || top.alpha == Traits::full) return top;
    if (top.alpha == 0) return bottom;
    if constexpr (Traits::isFloat) {
        const float w = (1.0f - top.alpha) * bottom.alpha;
        float a = w + top.alpha;
        if (a > 1.0f) a = 1.0f;
        if (a <= 0.0f) return Pixel{0.0f, 0.0f, 0.0f, 0.0f};
        return Pixel{a, (bottom.red * w + top.red * top.alpha) / a, (bottom.green * w + top.green * top.alpha) / a,
                     (bottom.blue * w + top.blue * top.alpha) / a};
    } else {
        using Wide = typename Traits::Wide;
        using Channel = typename Traits::Channel;
        const Wide ta = top.alpha;
        const Wide w = ((Traits::weightBase - ta) * Wide(bottom.alpha)) >> Traits::weightShift;
        Wide a = ta + w;
        if (a > Traits::full) a = Traits::full;
        if (a == 0) return Pixel{0, 0, 0, 0};
        auto channel = [&](Wide t, Wide b) -> Channel {
            Wide c = (t * ta + b * w) / a;
            if (c > Traits::full) c = Traits::full;
            return static_cast<Channel>(c);  // the sum is never negative
        };
        return Pixel{static_cast<Channel>(a), channel(top.red, bottom.red), channel(top.green, bottom.green),
                     channel(top.blue, bottom.blue)};
    }
}

// Colour at t between p0 (t = 0) and p1 (t = 1). Strictly between, the result is
// opaque and each colour channel p0 * (1 - t) + p1 * t in double, truncated at
// the integer depths and rounded to single precision in float.
template <class Traits>
inline typename Traits::Pixel mixReference(typename Traits::Pixel p1, typename Traits::Pixel p0, double t) {
    using Pixel = typename Traits::Pixel;
    using Channel = typename Traits::Channel;
    if (t == 0.0) return p0;
    if (t == 1.0) return p1;
    const double s = 1.0 - t;
    auto channel = [&](double c1, double c0) {
        const double v = c0 * s + c1 * t;
        if constexpr (Traits::isFloat) {
            return static_cast<float>(v);
        } else {
            return static_cast<Channel>(static_cast<int32_t>(v));
        }
    };
    return Pixel{Traits::full, channel(p1.red, p0.red), channel(p1.green, p0.green), channel(p1.blue, p0.blue)};
}

// ---- Fast forms of the over composite.

// Reciprocals for dividing by an 8-bit alpha (see kReciprocalShift8).
struct Reciprocal8Table {
    uint32_t value[256];
};

constexpr Reciprocal8Table makeReciprocal8Table() {
    Reciprocal8Table table{};
    for (uint32_t a = 1; a < 256; ++a) table.value[a] = ((1u << kReciprocalShift8) + a - 1) / a;
    return table;
}

inline constexpr Reciprocal8Table kReciprocal8 = makeReciprocal8Table();

// A top pixel with what the over composite needs of it alone: at the integer
// depths its colour channels times its alpha. A point prepares its fill and
// stroke once and lays them over many pixels.
template <class Pixel>
struct OverTop {
    Pixel pixel;
    uint32_t red, green, blue;  // unused in float
};

inline OverTop<PF_Pixel> overTop(PF_Pixel p) {
    const uint32_t a = p.alpha;
    return {p, p.red * a, p.green * a, p.blue * a};
}

inline OverTop<PF_Pixel16> overTop(PF_Pixel16 p) {
    const uint32_t a = p.alpha;
    return {p, p.red * a, p.green * a, p.blue * a};
}

inline OverTop<PF_PixelFloat> overTop(PF_PixelFloat p) { return {p, 0, 0, 0}; }

// The 8-bit composite proper, for a bottom alpha above 0 and a top alpha of
// 1..254. w < 256 - ta, so a = ta + w never exceeds 255 and each channel sum
// stays within 255 * a: neither cap of the reference form can take effect.
[[gnu::always_inline]] inline void compositeWeighted(PF_Pixel &dst, const OverTop<PF_Pixel> &top, uint32_t ba,
                                                     uint32_t ta) {
    const uint32_t w = ((kWeightBase8 - ta) * ba) >> kWeightShift8;
    const uint32_t a = ta + w;
    const uint64_t m = kReciprocal8.value[a];
    auto channel = [&](uint32_t sum, uint32_t b) {
        return static_cast<A_u_char>(((sum + b * w) * m) >> kReciprocalShift8);
    };
    dst = PF_Pixel{static_cast<A_u_char>(a), channel(top.red, dst.red), channel(top.green, dst.green),
                   channel(top.blue, dst.blue)};
}

// The over composite stored in place, its divisions made cheap.
inline void compositeOverInto(PF_Pixel &dst, const OverTop<PF_Pixel> &top) {
    const uint32_t ba = dst.alpha;
    const uint32_t ta = top.pixel.alpha;
    if (ba == 0 || ta == 255) {
        dst = top.pixel;
        return;
    }
    if (ta == 0) return;
    compositeWeighted(dst, top, ba, ta);
}

// The same for a top known to be below full alpha: one test fewer.
inline void compositeTranslucentInto(PF_Pixel &dst, const OverTop<PF_Pixel> &top) {
    const uint32_t ba = dst.alpha;
    const uint32_t ta = top.pixel.alpha;
    if (ba == 0) {
        dst = top.pixel;
        return;
    }
    if (ta == 0) return;
    compositeWeighted(dst, top, ba, ta);
}

// 16-bit weights and alpha for one bottom alpha under a fixed top alpha.
struct Weights16 {
    uint32_t w, a;
    double inverse;
};

inline Weights16 weights16(uint32_t ta, uint32_t ba) {
    const uint32_t w = ((kFull16 - ta) * ba) >> kWeightShift16;
    uint32_t a = ta + w;
    if (a > kFull16) a = kFull16;  // only when the bottom carries alpha above 32768
    return Weights16{w, a, 1.0 / a};
}

inline PF_Pixel16 composite16(const OverTop<PF_Pixel16> &top, PF_Pixel16 bottom, const Weights16 &k) {
    auto channel = [&](uint32_t sum, uint32_t b) {
        uint32_t c = static_cast<uint32_t>((sum + b * k.w) * k.inverse + kQuotientNudge16);
        if (c > kFull16) c = kFull16;
        return static_cast<A_u_short>(c);
    };
    return PF_Pixel16{static_cast<A_u_short>(k.a), channel(top.red, bottom.red), channel(top.green, bottom.green),
                      channel(top.blue, bottom.blue)};
}

inline void compositeOverInto(PF_Pixel16 &dst, const OverTop<PF_Pixel16> &top) {
    const uint32_t ba = dst.alpha;
    const uint32_t ta = top.pixel.alpha;
    if (ba == 0 || ta == kFull16) {
        dst = top.pixel;
        return;
    }
    if (ta == 0) return;
    dst = composite16(top, dst, weights16(ta, ba));
}

inline void compositeOverInto(PF_PixelFloat &dst, const OverTop<PF_PixelFloat> &over) {
    const PF_PixelFloat &top = over.pixel;
#if defined(__SSE2__)
    // The three colour channels in one vector: the same single-precision
    // products, sum and quotient per lane as one at a time.
    const float ba = dst.alpha, ta = top.alpha;
    if (ba == 0.0f || ta == 1.0f) {
        dst = top;
        return;
    }
    if (ta == 0.0f) return;
    const float w = (1.0f - ta) * ba;
    float a = w + ta;
    if (a > 1.0f) a = 1.0f;
    if (a <= 0.0f) {
        dst = PF_PixelFloat{0.0f, 0.0f, 0.0f, 0.0f};
        return;
    }
    const __m128 bottom = _mm_loadu_ps(&dst.alpha);
    const __m128 lanes = _mm_set_ps(top.blue, top.green, top.red, top.alpha);
    const __m128 sum = _mm_add_ps(_mm_mul_ps(bottom, _mm_set1_ps(w)), _mm_mul_ps(lanes, _mm_set1_ps(ta)));
    const __m128 result = _mm_move_ss(_mm_div_ps(sum, _mm_set1_ps(a)), _mm_set_ss(a));
    _mm_storeu_ps(&dst.alpha, result);
#else
    dst = compositeOverReference<DepthFloatTraits>(dst, top);
#endif
}

template <class Pixel>
inline void compositeOverInto(Pixel &dst, Pixel top) {
    compositeOverInto(dst, overTop(top));
}

// ---- One top pixel laid over a run of count pixels.

// 8-bit: with SSE2 four pixels at a time. The weights and channel sums fit 16
// bits, and a single-precision quotient of sums below 2^16 by an alpha of
// 1..255 truncates exactly (it lies within 2^-17 of the true quotient, whose
// fraction is 0 or at least 1/255).
inline void compositeRunOver(PF_Pixel *dst, int64_t count, const OverTop<PF_Pixel> &over) {
    int64_t i = 0;
#if defined(__SSE2__)
    const PF_Pixel top = over.pixel;
    const uint32_t ta = top.alpha;
    if (ta != 0 && ta != 255) {
        uint32_t topBits;
        std::memcpy(&topBits, &top, 4);
        const __m128i zero = _mm_setzero_si128();
        const __m128i topPixels = _mm_set1_epi32(static_cast<int>(topBits));
        const __m128i topWide = _mm_unpacklo_epi8(topPixels, zero);  // a r g b a r g b
        const __m128i topAlpha = _mm_set1_epi16(static_cast<short>(ta));
        const __m128i topSums = _mm_mullo_epi16(topWide, topAlpha);  // channel * ta
        const __m128i rest = _mm_set1_epi16(static_cast<short>(kWeightBase8 - ta));
        const __m128i alphaLanes = _mm_set1_epi64x(0x000000000000ffffll);
        auto half = [&](__m128i bottom) {  // two pixels as 16-bit lanes
            __m128i ba = _mm_shufflelo_epi16(bottom, 0);
            ba = _mm_shufflehi_epi16(ba, 0);
            const __m128i w = _mm_srli_epi16(_mm_mullo_epi16(ba, rest), kWeightShift8);
            const __m128i a = _mm_add_epi16(w, topAlpha);
            const __m128i sums = _mm_add_epi16(topSums, _mm_mullo_epi16(bottom, w));
            const __m128 q0 = _mm_div_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(sums, zero)),
                                         _mm_cvtepi32_ps(_mm_unpacklo_epi16(a, zero)));
            const __m128 q1 = _mm_div_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(sums, zero)),
                                         _mm_cvtepi32_ps(_mm_unpackhi_epi16(a, zero)));
            __m128i c = _mm_packs_epi32(_mm_cvttps_epi32(q0), _mm_cvttps_epi32(q1));
            c = _mm_or_si128(_mm_and_si128(alphaLanes, a), _mm_andnot_si128(alphaLanes, c));
            // A transparent bottom takes the top whole.
            const __m128i empty = _mm_cmpeq_epi16(ba, zero);
            return _mm_or_si128(_mm_and_si128(empty, topWide), _mm_andnot_si128(empty, c));
        };
        // Overlapping shapes leave long runs of equal pixels: four bottom
        // pixels equal to the last one composited take its result.
        __m128i seen = _mm_set1_epi32(-1), made = zero;
        bool primed = false;
        for (; i + 4 <= count; i += 4) {
            __m128i *at = reinterpret_cast<__m128i *>(dst + i);
            const __m128i bottom = _mm_loadu_si128(at);
            if (primed && _mm_movemask_epi8(_mm_cmpeq_epi32(bottom, seen)) == 0xffff) {
                _mm_storeu_si128(at, made);
                continue;
            }
            const __m128i lo = half(_mm_unpacklo_epi8(bottom, zero));
            const __m128i hi = half(_mm_unpackhi_epi8(bottom, zero));
            const __m128i result = _mm_packus_epi16(lo, hi);
            _mm_storeu_si128(at, result);
            seen = _mm_shuffle_epi32(bottom, 0xff);
            made = _mm_shuffle_epi32(result, 0xff);
            primed = true;
        }
    }
#endif
    for (; i < count; ++i) compositeOverInto(dst[i], over);
}

// 16-bit: the top is fixed, so the bottom weight and the result alpha depend
// on the bottom alpha alone and are kept while it repeats; a bottom pixel
// equal to the previous one takes its result.
inline void compositeRunOver(PF_Pixel16 *dst, int64_t count, const OverTop<PF_Pixel16> &top) {
    const uint32_t ta = top.pixel.alpha;
    if (ta == 0 || ta == kFull16) {
        for (int64_t i = 0; i < count; ++i) compositeOverInto(dst[i], top);
        return;
    }
    uint32_t lastBa = 0;
    Weights16 k{0, 0, 0.0};
    uint64_t seen = 0, made = 0;
    bool primed = false;
    for (int64_t i = 0; i < count; ++i) {
        uint64_t bits;
        std::memcpy(&bits, &dst[i], 8);
        if (primed && bits == seen) {
            std::memcpy(&dst[i], &made, 8);
            continue;
        }
        const PF_Pixel16 bottom = dst[i];
        const uint32_t ba = bottom.alpha;
        if (ba == 0) {
            dst[i] = top.pixel;
        } else {
            if (ba != lastBa) {
                lastBa = ba;
                k = weights16(ta, ba);
            }
            dst[i] = composite16(top, bottom, k);
        }
        seen = bits;
        std::memcpy(&made, &dst[i], 8);
        primed = true;
    }
}

// Float: a bottom pixel with the same bits as the previous one takes its
// result.
inline void compositeRunOver(PF_PixelFloat *dst, int64_t count, const OverTop<PF_PixelFloat> &top) {
    if (count <= 0) return;
    PF_PixelFloat seen = dst[0];
    compositeOverInto(dst[0], top);
    PF_PixelFloat made = dst[0];
    for (int64_t x = 1; x < count; ++x) {
        if (std::memcmp(&dst[x], &seen, sizeof seen) == 0) {
            dst[x] = made;
            continue;
        }
        seen = dst[x];
        compositeOverInto(dst[x], top);
        made = dst[x];
    }
}

template <class Pixel>
inline void compositeRunOver(Pixel *dst, int64_t count, Pixel top) {
    compositeRunOver(dst, count, overTop(top));
}
