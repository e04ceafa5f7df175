// The per-pixel operations of drawing. Each has one plain reference form,
// written once over the depth traits and named as such, and fast forms for
// the pixel walk that give bit-identical results (the tests compare them).
// pixel_ops.h gives the reference forms as plain functions per depth.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <immintrin.h>
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
[[gnu::always_inline]] inline void compositeOverInto(PF_Pixel &dst, const OverTop<PF_Pixel> &top) {
    const uint32_t ba = dst.alpha;
    const uint32_t ta = top.pixel.alpha;
    if (ba == 0 || ta == 255) {
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

// ---- Eight 8-bit pixels at a time.

#if defined(__SSE2__)
// One top colour for compositeEight8: its channels in every 16-bit lane, and
// its bits with alpha 0 in every 32-bit lane.
struct TopColour8 {
    __m128i red, green, blue, bits;
};

inline TopColour8 topColour8(PF_Pixel colour) {
    colour.alpha = 0;
    uint32_t bits;
    std::memcpy(&bits, &colour, 4);
    return TopColour8{_mm_set1_epi16(colour.red), _mm_set1_epi16(colour.green), _mm_set1_epi16(colour.blue),
                      _mm_set1_epi32(static_cast<int32_t>(bits))};
}

// ---- Top colour already in place.

// Whether every lane takes the top's colour, or keeps its bottom, without a
// division (dabs of one colour laid over each other and over the
// transparent frame): a bottom holding the top's colour gives (t * ta + t *
// w) / (ta + w) = t whatever the alphas, and a bottom of alpha 0 has w = 0,
// so t * ta / ta = t whatever colour it holds. Lanes of top alpha 0 keep
// their bottom or, over a bottom of alpha 0, take the top's colour.
// Channels and alphas in 16-bit lanes, as the composites lay them out; the
// AVX2 forms below take sixteen lanes.
[[gnu::always_inline]] inline bool holdsTopColour(__m128i red, __m128i green, __m128i blue, __m128i topRed,
                                                  __m128i topGreen, __m128i topBlue, __m128i ba, __m128i ta) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i same = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi16(red, topRed), _mm_cmpeq_epi16(green, topGreen)),
                                       _mm_cmpeq_epi16(blue, topBlue));
    const __m128i settled = _mm_or_si128(same, _mm_or_si128(_mm_cmpeq_epi16(ta, zero), _mm_cmpeq_epi16(ba, zero)));
    return _mm_movemask_epi8(settled) == 0xffff;
}

// The lanes that keep their bottom: a top alpha of 0 over a bottom alpha
// above 0 (16-bit lanes).
[[gnu::always_inline]] inline __m128i keptLanes16(__m128i ba, __m128i ta) {
    const __m128i zero = _mm_setzero_si128();
    return _mm_andnot_si128(_mm_cmpeq_epi16(ba, zero), _mm_cmpeq_epi16(ta, zero));
}

// The lanes of `set` where `mask` is all ones, of `clear` where it is 0.
[[gnu::always_inline]] inline __m128i selectLanes(__m128i mask, __m128i set, __m128i clear) {
    return _mm_or_si128(_mm_and_si128(mask, set), _mm_andnot_si128(mask, clear));
}

// Division of sums n (0..255 * a) by alphas a (1..255), eight 16-bit lanes.
// With m = floor(65535 / a), q = (n * m) >> 16 is n / a or one less, since
// n * m / 65536 > n / a - n (a + 1) / (65536 a) > n / a - 1; the remainder
// n - q * a (below 2 a) tells which. m comes from a single-precision
// quotient, exact when truncated: 65535 / a lies at least 1 / a > 2^-8 from
// a whole number unless it is one, and its rounding error is below 2^-8.
[[gnu::always_inline]] inline __m128i alphaReciprocals8(__m128i a) {
    const __m128i zero = _mm_setzero_si128();
    auto lowered = [](__m128i a32) {  // floor(65535 / a) - 32768: within the signed 16-bit range
        const __m128 q = _mm_div_ps(_mm_set1_ps(65535.0f), _mm_cvtepi32_ps(a32));
        return _mm_sub_epi32(_mm_cvttps_epi32(q), _mm_set1_epi32(32768));
    };
    return _mm_xor_si128(_mm_packs_epi32(lowered(_mm_unpacklo_epi16(a, zero)), lowered(_mm_unpackhi_epi16(a, zero))),
                         _mm_set1_epi16(static_cast<short>(0x8000)));
}

[[gnu::always_inline]] inline __m128i quotients8(__m128i n, __m128i a, __m128i reciprocals) {
    const __m128i q = _mm_mulhi_epu16(n, reciprocals);
    const __m128i rest = _mm_sub_epi16(n, _mm_mullo_epi16(q, a));
    return _mm_sub_epi16(q, _mm_cmpgt_epi16(rest, _mm_sub_epi16(a, _mm_set1_epi16(1))));
}

// Eight pixels, p0 and p1 four each, under one top colour at eight top alphas
// (ta: 16-bit lanes, 0..255, pixel i in lane i), laid over them bit for bit as
// compositeOverReference lays them, a channel of eight pixels per vector.
//   The weighted form covers every case but a transparent bottom under a top
// alpha of 0: a top alpha of 255 gives w = 0, a = 255 and the top's channels;
// 0 gives w = a = ba and the bottom's; a transparent bottom gives w = 0, a =
// ta and the top's. Sums n = t * ta + b * w stay within 255 * a < 2^16.
//   kTopColourLikely: the bottoms often hold the top's colour already (soft
// dabs); such a group takes the top's channels undivided (holdsTopColour).
template <bool kTopColourLikely = false>
[[gnu::always_inline]] inline void compositeEight8(__m128i &p0, __m128i &p1, const TopColour8 &top, __m128i ta) {
    const __m128i zero = _mm_setzero_si128();
    // The channels of the eight pixels, one per vector.
    const __m128i t0 = _mm_unpacklo_epi8(p0, p1), t1 = _mm_unpackhi_epi8(p0, p1);
    const __m128i t2 = _mm_unpacklo_epi8(t0, t1), t3 = _mm_unpackhi_epi8(t0, t1);
    const __m128i ar = _mm_unpacklo_epi8(t2, t3), gb = _mm_unpackhi_epi8(t2, t3);
    const __m128i ba = _mm_unpacklo_epi8(ar, zero);
    const __m128i w =
        _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(_mm_set1_epi16(kWeightBase8), ta), ba), kWeightShift8);
    const __m128i a = _mm_add_epi16(ta, w);
    const __m128i br = _mm_unpackhi_epi8(ar, zero), bg = _mm_unpacklo_epi8(gb, zero), bb = _mm_unpackhi_epi8(gb, zero);
    __m128i red, green, blue;
    if (kTopColourLikely && holdsTopColour(br, bg, bb, top.red, top.green, top.blue, ba, ta)) {
        // A kept bottom's alpha is a = ba already.
        const __m128i keep = keptLanes16(ba, ta);
        red = selectLanes(keep, br, top.red);
        green = selectLanes(keep, bg, top.green);
        blue = selectLanes(keep, bb, top.blue);
    } else {
        // Where a is 0 (top alpha 0 over a transparent bottom) the result is
        // the top: there the colour is worked out at top alpha 1, the alpha
        // stays 0.
        const __m128i none = _mm_cmpeq_epi16(a, zero);
        const __m128i taColour = _mm_sub_epi16(ta, none), aColour = _mm_sub_epi16(a, none);
        const __m128i m = alphaReciprocals8(aColour);
        auto channel = [&](__m128i bottom, __m128i topChannel) {
            return quotients8(_mm_add_epi16(_mm_mullo_epi16(topChannel, taColour), _mm_mullo_epi16(bottom, w)), aColour,
                              m);
        };
        red = channel(br, top.red);
        green = channel(bg, top.green);
        blue = channel(bb, top.blue);
    }
    // Back to pixels.
    const __m128i arLow = _mm_unpacklo_epi16(a, red), arHigh = _mm_unpackhi_epi16(a, red);
    const __m128i gbLow = _mm_unpacklo_epi16(green, blue), gbHigh = _mm_unpackhi_epi16(green, blue);
    p0 = _mm_packus_epi16(_mm_unpacklo_epi32(arLow, gbLow), _mm_unpackhi_epi32(arLow, gbLow));
    p1 = _mm_packus_epi16(_mm_unpacklo_epi32(arHigh, gbHigh), _mm_unpackhi_epi32(arHigh, gbHigh));
}

// ---- Eight 16-bit pixels at a time.

// One top colour for compositeEight16: its channels (0..32768) in every
// 16-bit lane, and its bits with alpha 0 in every 64-bit lane.
struct TopColour16 {
    __m128i red, green, blue, bits;
};

inline TopColour16 topColour16(PF_Pixel16 colour) {
    colour.alpha = 0;
    int64_t bits;
    std::memcpy(&bits, &colour, 8);
    return TopColour16{_mm_set1_epi16(static_cast<short>(colour.red)), _mm_set1_epi16(static_cast<short>(colour.green)),
                       _mm_set1_epi16(static_cast<short>(colour.blue)), _mm_set1_epi64x(bits)};
}

// Eight pixels, two per vector in p[0..3], under one top colour at eight top
// alphas (ta: 16-bit lanes, 0..32768, pixel i in lane i), laid over them bit
// for bit as compositeOverReference lays them; the bottoms may hold any
// channel values 0..65535.
//   The weighted form gives the top where the bottom is transparent or the
// top opaque (w = 0, a = ta), and is worked out at top alpha 1 where both
// alphas are 0 (a = 0; the alpha stays 0). A top alpha of 0 over a bottom
// with alpha keeps the bottom by a blend, since a capped or wrapped bottom
// would not come back whole. The products t * ta + b * w wrap at 2^32 as the
// reference's 32-bit ones do; each quotient is composite16's, per lane: the
// sum in double times the double reciprocal of a, plus the nudge, truncated,
// capped at 32768 (the cap taken before truncating, which is the same).
//   compositeEight16 divides two lanes at a time (SSE2), compositeEight16Wide
// eight (AVX2) by another exact division; the rest, below, is common to both.

// The eight bottoms channel by channel, their weights and result alphas.
struct Eight16 {
    __m128i ba, br, bg, bb;  // bottom channels, pixel i in lane i
    __m128i w, a;            // bottom weight, result alpha
    __m128i taColour;        // top alpha for the colour sums: 1 where a is 0
    __m128i aColour;         // divisor: 1 where a is 0
    __m128i keep;            // lanes that keep the bottom: top alpha 0, bottom alpha above 0
};

[[gnu::always_inline]] inline Eight16 eight16(const __m128i *p, __m128i ta) {
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(static_cast<short>(0x8000));
    Eight16 e;
    const __m128i t0 = _mm_unpacklo_epi16(p[0], p[1]), t1 = _mm_unpackhi_epi16(p[0], p[1]);
    const __m128i t2 = _mm_unpacklo_epi16(p[2], p[3]), t3 = _mm_unpackhi_epi16(p[2], p[3]);
    const __m128i u0 = _mm_unpacklo_epi16(t0, t1), u1 = _mm_unpackhi_epi16(t0, t1);
    const __m128i u2 = _mm_unpacklo_epi16(t2, t3), u3 = _mm_unpackhi_epi16(t2, t3);
    e.ba = _mm_unpacklo_epi64(u0, u2), e.br = _mm_unpackhi_epi64(u0, u2);
    e.bg = _mm_unpacklo_epi64(u1, u3), e.bb = _mm_unpackhi_epi64(u1, u3);
    // w = ((32768 - ta) * ba) >> 15 from the 32-bit product's two halves;
    // a = min(ta + w, 32768).
    const __m128i rest = _mm_sub_epi16(full, ta);
    e.w = _mm_or_si128(_mm_slli_epi16(_mm_mulhi_epu16(rest, e.ba), 1),
                       _mm_srli_epi16(_mm_mullo_epi16(rest, e.ba), kWeightShift16));
    const __m128i sum = _mm_adds_epu16(ta, e.w);
    e.a = _mm_sub_epi16(sum, _mm_subs_epu16(sum, full));
    const __m128i none = _mm_cmpeq_epi16(e.a, zero);
    e.taColour = _mm_sub_epi16(ta, none), e.aColour = _mm_sub_epi16(e.a, none);
    e.keep = keptLanes16(e.ba, ta);
    return e;
}

// The sums t * ta + b * w of one channel, lanes 0-3 in n0 and 4-7 in n1,
// unsigned 32-bit, wrapping.
[[gnu::always_inline]] inline void eight16Sums(const Eight16 &e, __m128i bottom, __m128i topChannel, __m128i &n0,
                                               __m128i &n1) {
    const __m128i tLow = _mm_mullo_epi16(topChannel, e.taColour), tHigh = _mm_mulhi_epu16(topChannel, e.taColour);
    const __m128i bLow = _mm_mullo_epi16(bottom, e.w), bHigh = _mm_mulhi_epu16(bottom, e.w);
    n0 = _mm_add_epi32(_mm_unpacklo_epi16(tLow, tHigh), _mm_unpacklo_epi16(bLow, bHigh));
    n1 = _mm_add_epi32(_mm_unpackhi_epi16(tLow, tHigh), _mm_unpackhi_epi16(bLow, bHigh));
}

// A channel as made, the bottom's where it is kept.
[[gnu::always_inline]] inline __m128i eight16Kept(const Eight16 &e, __m128i bottom, __m128i made) {
    return selectLanes(e.keep, bottom, made);
}

// Quotients 0..32768 of lanes 0-3 (q0) and 4-7 (q1) as one channel vector,
// the bottom's channel where it is kept.
[[gnu::always_inline]] inline __m128i eight16Channel(const Eight16 &e, __m128i bottom, __m128i q0, __m128i q1) {
    const __m128i bias = _mm_set1_epi32(32768);
    // Through the signed pack offset by 32768.
    const __m128i made = _mm_xor_si128(_mm_packs_epi32(_mm_sub_epi32(q0, bias), _mm_sub_epi32(q1, bias)),
                                       _mm_set1_epi16(static_cast<short>(0x8000)));
    return eight16Kept(e, bottom, made);
}

[[gnu::always_inline]] inline void eight16Pixels(__m128i *p, const Eight16 &e, __m128i red, __m128i green,
                                                 __m128i blue) {
    const __m128i alpha = selectLanes(e.keep, e.ba, e.a);
    const __m128i arLow = _mm_unpacklo_epi16(alpha, red), arHigh = _mm_unpackhi_epi16(alpha, red);
    const __m128i gbLow = _mm_unpacklo_epi16(green, blue), gbHigh = _mm_unpackhi_epi16(green, blue);
    p[0] = _mm_unpacklo_epi32(arLow, gbLow);
    p[1] = _mm_unpackhi_epi32(arLow, gbLow);
    p[2] = _mm_unpacklo_epi32(arHigh, gbHigh);
    p[3] = _mm_unpackhi_epi32(arHigh, gbHigh);
}

// kTopColourLikely as for compositeEight8, where no bottom alpha is above
// 32768 (a capped a would not give t back).
template <bool kTopColourLikely = false>
[[gnu::always_inline]] inline void compositeEight16(__m128i *p, const TopColour16 &top, __m128i ta) {
    const Eight16 e = eight16(p, ta);
    const __m128i zero = _mm_setzero_si128();
    if (kTopColourLikely) {
        const __m128i above = _mm_subs_epu16(e.ba, _mm_set1_epi16(static_cast<short>(kFull16)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(above, zero)) == 0xffff &&
            holdsTopColour(e.br, e.bg, e.bb, top.red, top.green, top.blue, e.ba, ta)) {
            eight16Pixels(p, e, eight16Kept(e, e.br, top.red), eight16Kept(e, e.bg, top.green),
                          eight16Kept(e, e.bb, top.blue));
            return;
        }
    }
    // 1 / a in double, two lanes a vector.
    const __m128d one = _mm_set1_pd(1.0);
    const __m128i aLow = _mm_unpacklo_epi16(e.aColour, zero), aHigh = _mm_unpackhi_epi16(e.aColour, zero);
    const __m128d inverse[4] = {
        _mm_div_pd(one, _mm_cvtepi32_pd(aLow)), _mm_div_pd(one, _mm_cvtepi32_pd(_mm_shuffle_epi32(aLow, 0xee))),
        _mm_div_pd(one, _mm_cvtepi32_pd(aHigh)), _mm_div_pd(one, _mm_cvtepi32_pd(_mm_shuffle_epi32(aHigh, 0xee)))};
    const __m128i sign = _mm_set1_epi32(INT32_MIN);
    const __m128d unsign = _mm_set1_pd(2147483648.0), nudge = _mm_set1_pd(kQuotientNudge16);
    const __m128d cap = _mm_set1_pd(static_cast<double>(kFull16));
    // Four quotients from four unsigned sums.
    auto quotients = [&](__m128i n, __m128d inverse0, __m128d inverse1) {
        const __m128i s = _mm_xor_si128(n, sign);  // n - 2^31, signed
        auto two = [&](__m128i lanes, __m128d inv) {
            const __m128d d = _mm_add_pd(_mm_cvtepi32_pd(lanes), unsign);
            return _mm_cvttpd_epi32(_mm_min_pd(_mm_add_pd(_mm_mul_pd(d, inv), nudge), cap));
        };
        return _mm_unpacklo_epi64(two(s, inverse0), two(_mm_shuffle_epi32(s, 0xee), inverse1));
    };
    auto channel = [&](__m128i bottom, __m128i topChannel) {
        __m128i n0, n1;
        eight16Sums(e, bottom, topChannel, n0, n1);
        return eight16Channel(e, bottom, quotients(n0, inverse[0], inverse[1]), quotients(n1, inverse[2], inverse[3]));
    };
    eight16Pixels(p, e, channel(e.br, top.red), channel(e.bg, top.green), channel(e.bb, top.blue));
}

// compositeEight16 with the eight lanes of a channel in one 256-bit vector
// (AVX2, chosen at run time), each quotient q = floor(n / a) found from a
// single-precision estimate and put right by its remainder. The sum n
// (below 2^32) goes to float as (n >> 16) * 65536 + (n & 65535), one
// rounding; with the rounded reciprocal and product the estimate is within
// 3 * 2^-24 relative of n / a, and n / a stays below 2^17 (a sum is at most
// 65535 times its uncapped divisor, or below 2^32 over a capped one of
// 32768), so the estimate is off by less than 2^-5 and its truncation q0 is
// q - 1, q or q + 1. The remainder n - q0 * a, taken modulo 2^32, lies in
// -a..2a - 1 and so reads true as a signed number; it tells which.
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i quotientsWide16(__m256i n, __m256i a, __m256 reciprocal) {
    const __m256 estimate =
        _mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(n, 16)), _mm256_set1_ps(65536.0f)),
                      _mm256_cvtepi32_ps(_mm256_and_si256(n, _mm256_set1_epi32(0xffff))));
    const __m256i q0 = _mm256_cvttps_epi32(_mm256_mul_ps(estimate, reciprocal));
    const __m256i rest = _mm256_sub_epi32(n, _mm256_mullo_epi32(q0, a));
    const __m256i over = _mm256_cmpgt_epi32(rest, _mm256_sub_epi32(a, _mm256_set1_epi32(1)));
    const __m256i under = _mm256_cmpgt_epi32(_mm256_setzero_si256(), rest);
    const __m256i q = _mm256_add_epi32(_mm256_sub_epi32(q0, over), under);
    const __m256i capped = _mm256_min_epi32(q, _mm256_set1_epi32(static_cast<int32_t>(kFull16)));
    return _mm_packus_epi32(_mm256_castsi256_si128(capped), _mm256_extracti128_si256(capped, 1));
}

// One channel: t * ta + b * w, wrapping at 2^32 as the reference's sums do,
// over a; the bottom's where it is kept.
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i channelWide16(const Eight16 &e, __m128i bottom,
                                                                         __m128i topChannel, __m256i taColour,
                                                                         __m256i w, __m256i a, __m256 reciprocal) {
    const __m256i n = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_cvtepu16_epi32(topChannel), taColour),
                                       _mm256_mullo_epi32(_mm256_cvtepu16_epi32(bottom), w));
    return eight16Kept(e, bottom, quotientsWide16(n, a, reciprocal));
}

// One channel where every bottom alpha is at most 32768: then w <= 32768 -
// ta, a = ta + w <= 32768 and the sum n = t * ta + b * w stays within 65535
// * a < 2^31, so it never wraps and n / a = b + (t - b) * ta / a <= 65535.
// That in single precision, t - b and b + 1/4 exact and the share ta / a
// from the reciprocal of a (within 2^-23 relative), is off by less than
// 65535 * 3 * 2^-24 + 2^-8 < 2^-5, so its truncation q0 is q or q + 1. The
// remainder n - q0 * a then lies in -a..a - 1, within the signed 16-bit
// range, so it comes out whole from the products modulo 2^16, and its sign
// tells which. Where q0 passes 32768 the quotient is capped whatever the
// remainder says (q0 - 1 >= 32768; the pack to 16 bits saturates at 65535).
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i estimate16(__m256 t, __m256 b, __m256 taShare) {
    const __m256 lifted = _mm256_add_ps(b, _mm256_set1_ps(0.25f));
    return _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(t, b), taShare), lifted));
}

// The quotient from q0 and the remainder modulo 2^16, capped.
template <class Vector>
[[gnu::target("avx2"), gnu::always_inline]] inline Vector corrected16(Vector q0, Vector rest);

template <>
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i corrected16(__m128i q0, __m128i rest) {
    return _mm_min_epu16(_mm_add_epi16(q0, _mm_srai_epi16(rest, 15)), _mm_set1_epi16(static_cast<short>(kFull16)));
}

template <>
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i corrected16(__m256i q0, __m256i rest) {
    return _mm256_min_epu16(_mm256_add_epi16(q0, _mm256_srai_epi16(rest, 15)),
                            _mm256_set1_epi16(static_cast<short>(kFull16)));
}

// taShare = ta / a in single precision.
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i channelWideInRange16(const Eight16 &e, __m128i bottom,
                                                                                __m128i topChannel, __m256 taShare) {
    const __m256i q32 = estimate16(_mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(topChannel)),
                                   _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(bottom)), taShare);
    const __m128i q0 = _mm_packus_epi32(_mm256_castsi256_si128(q32), _mm256_extracti128_si256(q32, 1));
    const __m128i rest =
        _mm_sub_epi16(_mm_add_epi16(_mm_mullo_epi16(topChannel, e.taColour), _mm_mullo_epi16(bottom, e.w)),
                      _mm_mullo_epi16(q0, e.aColour));
    return _mm_blendv_epi8(corrected16(q0, rest), bottom, e.keep);
}

[[gnu::target("avx2"), gnu::always_inline]] inline void compositeEight16Wide(__m128i *p, const TopColour16 &top,
                                                                             __m128i ta) {
    const Eight16 e = eight16(p, ta);
    // Bottom alphas above 32768 (out of range, but a 16-bit world may hold
    // them) take the 32-bit sums.
    const __m128i above = _mm_subs_epu16(e.ba, _mm_set1_epi16(static_cast<short>(kFull16)));
    if (_mm_testz_si128(above, above)) {
        const __m256 reciprocal =
            _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(e.aColour)));
        const __m256 taShare = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(e.taColour)), reciprocal);
        eight16Pixels(p, e, channelWideInRange16(e, e.br, top.red, taShare),
                      channelWideInRange16(e, e.bg, top.green, taShare),
                      channelWideInRange16(e, e.bb, top.blue, taShare));
        return;
    }
    const __m256i a = _mm256_cvtepu16_epi32(e.aColour), taColour = _mm256_cvtepu16_epi32(e.taColour);
    const __m256i w = _mm256_cvtepu16_epi32(e.w);
    const __m256 reciprocal = _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_cvtepi32_ps(a));
    eight16Pixels(p, e, channelWide16(e, e.br, top.red, taColour, w, a, reciprocal),
                  channelWide16(e, e.bg, top.green, taColour, w, a, reciprocal),
                  channelWide16(e, e.bb, top.blue, taColour, w, a, reciprocal));
}

// ---- Top colour already in place, with AVX2 (chosen at run time).

// holdsTopColour and keptLanes16 on sixteen lanes.
[[gnu::target("avx2"), gnu::always_inline]] inline bool holdsTopColour(__m256i red, __m256i green, __m256i blue,
                                                                       __m256i topRed, __m256i topGreen,
                                                                       __m256i topBlue, __m256i ba, __m256i ta) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i same =
        _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi16(red, topRed), _mm256_cmpeq_epi16(green, topGreen)),
                         _mm256_cmpeq_epi16(blue, topBlue));
    const __m256i settled =
        _mm256_or_si256(same, _mm256_or_si256(_mm256_cmpeq_epi16(ta, zero), _mm256_cmpeq_epi16(ba, zero)));
    return _mm256_testc_si256(settled, _mm256_set1_epi32(-1));
}

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i keptLanes16(__m256i ba, __m256i ta) {
    const __m256i zero = _mm256_setzero_si256();
    return _mm256_andnot_si256(_mm256_cmpeq_epi16(ba, zero), _mm256_cmpeq_epi16(ta, zero));
}

// ---- Sixteen 16-bit pixels at a time, with AVX2 (chosen at run time).

// compositeEight16Wide on two groups of eight at once, one in each 128-bit
// half of p[0..3] (the first group's vectors in the low halves, the
// second's in the high), each with its own top alphas in its half of ta.
// Every step of the bottoms' transpose, weights and 16-bit remainders keeps
// to its half, doing there what eight16 and channelWideInRange16 do; the
// single-precision lanes go from 16 to 32 bits and back by in-half unpacks
// and packs, which restore the order. Where either group holds a bottom
// alpha above 32768 each goes through compositeEight16Wide alone.
struct Sixteen16 {
    __m256i ba, br, bg, bb, w, a, taColour, aColour, keep;  // as in Eight16, per half
};

// kTopShows: every top alpha is above 0 (a run's), so no result alpha is 0
// and no bottom is kept.
template <bool kTopShows>
[[gnu::target("avx2"), gnu::always_inline]] inline Sixteen16 sixteen16(const __m256i *p, __m256i ta) {
    const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi16(static_cast<short>(0x8000));
    Sixteen16 e;
    const __m256i t0 = _mm256_unpacklo_epi16(p[0], p[1]), t1 = _mm256_unpackhi_epi16(p[0], p[1]);
    const __m256i t2 = _mm256_unpacklo_epi16(p[2], p[3]), t3 = _mm256_unpackhi_epi16(p[2], p[3]);
    const __m256i u0 = _mm256_unpacklo_epi16(t0, t1), u1 = _mm256_unpackhi_epi16(t0, t1);
    const __m256i u2 = _mm256_unpacklo_epi16(t2, t3), u3 = _mm256_unpackhi_epi16(t2, t3);
    e.ba = _mm256_unpacklo_epi64(u0, u2), e.br = _mm256_unpackhi_epi64(u0, u2);
    e.bg = _mm256_unpacklo_epi64(u1, u3), e.bb = _mm256_unpackhi_epi64(u1, u3);
    const __m256i rest = _mm256_sub_epi16(full, ta);
    e.w = _mm256_or_si256(_mm256_slli_epi16(_mm256_mulhi_epu16(rest, e.ba), 1),
                          _mm256_srli_epi16(_mm256_mullo_epi16(rest, e.ba), kWeightShift16));
    const __m256i sum = _mm256_adds_epu16(ta, e.w);
    e.a = _mm256_sub_epi16(sum, _mm256_subs_epu16(sum, full));
    if constexpr (kTopShows) {
        e.taColour = ta, e.aColour = e.a, e.keep = zero;
        return e;
    }
    const __m256i none = _mm256_cmpeq_epi16(e.a, zero);
    e.taColour = _mm256_sub_epi16(ta, none), e.aColour = _mm256_sub_epi16(e.a, none);
    e.keep = keptLanes16(e.ba, ta);
    return e;
}

// Lanes 0-3 and 8-11 (low) or 4-7 and 12-15 (high) of 16-bit lanes as floats.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256 lowFloats16(__m256i v) {
    return _mm256_cvtepi32_ps(_mm256_unpacklo_epi16(v, _mm256_setzero_si256()));
}

[[gnu::target("avx2"), gnu::always_inline]] inline __m256 highFloats16(__m256i v) {
    return _mm256_cvtepi32_ps(_mm256_unpackhi_epi16(v, _mm256_setzero_si256()));
}

// One top colour for compositeSixteen16, made once for many groups: its
// channels in every 16-bit lane and in single precision.
struct TopSixteen16 {
    TopColour16 eight;
    __m256i red, green, blue;
    __m256 redFloat, greenFloat, blueFloat;
};

[[gnu::target("avx2")]] inline TopSixteen16 topSixteen16(const TopColour16 &colour) {
    TopSixteen16 top;
    top.eight = colour;
    top.red = _mm256_broadcastsi128_si256(colour.red);
    top.green = _mm256_broadcastsi128_si256(colour.green);
    top.blue = _mm256_broadcastsi128_si256(colour.blue);
    top.redFloat = lowFloats16(top.red), top.greenFloat = lowFloats16(top.green), top.blueFloat = lowFloats16(top.blue);
    return top;
}

template <bool kTopShows>
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i channelSixteen16(const Sixteen16 &e, __m256i bottom,
                                                                            __m256i topChannel, __m256 topFloat,
                                                                            const __m256 *taShare) {
    const __m256i q0 = _mm256_packus_epi32(estimate16(topFloat, lowFloats16(bottom), taShare[0]),
                                           estimate16(topFloat, highFloats16(bottom), taShare[1]));
    const __m256i rest =
        _mm256_sub_epi16(_mm256_add_epi16(_mm256_mullo_epi16(topChannel, e.taColour), _mm256_mullo_epi16(bottom, e.w)),
                         _mm256_mullo_epi16(q0, e.aColour));
    if constexpr (kTopShows) return corrected16(q0, rest);
    return _mm256_blendv_epi8(corrected16(q0, rest), bottom, e.keep);
}

// kTopColourLikely: the bottoms often hold the top's colour already, as
// under soft dabs, whose alphas change from pixel to pixel; runs, whose
// repeated groups RunRepeatWide takes, skip the test.
template <bool kTopShows = false, bool kTopColourLikely = false>
[[gnu::target("avx2"), gnu::always_inline]] inline void compositeSixteen16(__m256i *p, const TopSixteen16 &top,
                                                                           __m256i ta) {
    const Sixteen16 e = sixteen16<kTopShows>(p, ta);
    const __m256i above = _mm256_subs_epu16(e.ba, _mm256_set1_epi16(static_cast<short>(kFull16)));
    if (!_mm256_testz_si256(above, above)) {
        for (int h = 0; h < 2; ++h) {
            __m128i group[4];
            for (int v = 0; v < 4; ++v) {
                group[v] = h == 0 ? _mm256_castsi256_si128(p[v]) : _mm256_extracti128_si256(p[v], 1);
            }
            compositeEight16Wide(group, top.eight,
                                 h == 0 ? _mm256_castsi256_si128(ta) : _mm256_extracti128_si256(ta, 1));
            for (int v = 0; v < 4; ++v) {
                p[v] = h == 0 ? _mm256_inserti128_si256(p[v], group[v], 0) : _mm256_inserti128_si256(p[v], group[v], 1);
            }
        }
        return;
    }
    __m256i red, green, blue;
    if (kTopColourLikely && holdsTopColour(e.br, e.bg, e.bb, top.red, top.green, top.blue, e.ba, ta)) {
        // The top's channels (0..32768, within the cap), the bottom's where kept.
        red = _mm256_blendv_epi8(top.red, e.br, e.keep);
        green = _mm256_blendv_epi8(top.green, e.bg, e.keep);
        blue = _mm256_blendv_epi8(top.blue, e.bb, e.keep);
    } else {
        const __m256 one = _mm256_set1_ps(1.0f);
        const __m256 reciprocal[2] = {_mm256_div_ps(one, lowFloats16(e.aColour)),
                                      _mm256_div_ps(one, highFloats16(e.aColour))};
        const __m256 taShare[2] = {_mm256_mul_ps(lowFloats16(e.taColour), reciprocal[0]),
                                   _mm256_mul_ps(highFloats16(e.taColour), reciprocal[1])};
        red = channelSixteen16<kTopShows>(e, e.br, top.red, top.redFloat, taShare);
        green = channelSixteen16<kTopShows>(e, e.bg, top.green, top.greenFloat, taShare);
        blue = channelSixteen16<kTopShows>(e, e.bb, top.blue, top.blueFloat, taShare);
    }
    const __m256i alpha = kTopShows ? e.a : _mm256_blendv_epi8(e.a, e.ba, e.keep);
    const __m256i arLow = _mm256_unpacklo_epi16(alpha, red), arHigh = _mm256_unpackhi_epi16(alpha, red);
    const __m256i gbLow = _mm256_unpacklo_epi16(green, blue), gbHigh = _mm256_unpackhi_epi16(green, blue);
    p[0] = _mm256_unpacklo_epi32(arLow, gbLow);
    p[1] = _mm256_unpackhi_epi32(arLow, gbLow);
    p[2] = _mm256_unpacklo_epi32(arHigh, gbHigh);
    p[3] = _mm256_unpackhi_epi32(arHigh, gbHigh);
}

// ---- Sixteen 8-bit pixels at a time, with AVX2 (chosen at run time).

// compositeEight8 on two groups of eight at once, one in each 128-bit half
// of p0 and p1 (the first group's pixels 0-3 and 4-7 in the low halves, the
// second's in the high): every step keeps to its half, doing there what
// compositeEight8 does, so each group comes out bit for bit as from it.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i alphaReciprocals16(__m256i a) {
    // floor(65535 / a) - 32768: within the signed 16-bit range.
    const __m256i zero = _mm256_setzero_si256(), bias = _mm256_set1_epi32(32768);
    const __m256 dividend = _mm256_set1_ps(65535.0f);
    const __m256i low = _mm256_sub_epi32(
        _mm256_cvttps_epi32(_mm256_div_ps(dividend, _mm256_cvtepi32_ps(_mm256_unpacklo_epi16(a, zero)))), bias);
    const __m256i high = _mm256_sub_epi32(
        _mm256_cvttps_epi32(_mm256_div_ps(dividend, _mm256_cvtepi32_ps(_mm256_unpackhi_epi16(a, zero)))), bias);
    return _mm256_xor_si256(_mm256_packs_epi32(low, high), _mm256_set1_epi16(static_cast<short>(0x8000)));
}

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i quotients16(__m256i n, __m256i a, __m256i reciprocals) {
    const __m256i q = _mm256_mulhi_epu16(n, reciprocals);
    const __m256i rest = _mm256_sub_epi16(n, _mm256_mullo_epi16(q, a));
    return _mm256_sub_epi16(q, _mm256_cmpgt_epi16(rest, _mm256_sub_epi16(a, _mm256_set1_epi16(1))));
}

[[gnu::target("avx2"), gnu::always_inline]] inline void compositeSixteen8(__m256i &p0, __m256i &p1,
                                                                          const TopColour8 &top, __m256i ta) {
    const __m256i zero = _mm256_setzero_si256();
    // The channels of each half's eight pixels, one per vector.
    const __m256i t0 = _mm256_unpacklo_epi8(p0, p1), t1 = _mm256_unpackhi_epi8(p0, p1);
    const __m256i t2 = _mm256_unpacklo_epi8(t0, t1), t3 = _mm256_unpackhi_epi8(t0, t1);
    const __m256i ar = _mm256_unpacklo_epi8(t2, t3), gb = _mm256_unpackhi_epi8(t2, t3);
    const __m256i ba = _mm256_unpacklo_epi8(ar, zero);
    const __m256i w =
        _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(_mm256_set1_epi16(kWeightBase8), ta), ba), kWeightShift8);
    const __m256i a = _mm256_add_epi16(ta, w);
    const __m256i br = _mm256_unpackhi_epi8(ar, zero), bg = _mm256_unpacklo_epi8(gb, zero);
    const __m256i bb = _mm256_unpackhi_epi8(gb, zero);
    const __m256i wideRed = _mm256_broadcastsi128_si256(top.red), wideGreen = _mm256_broadcastsi128_si256(top.green);
    const __m256i wideBlue = _mm256_broadcastsi128_si256(top.blue);
    __m256i red, green, blue;
    if (holdsTopColour(br, bg, bb, wideRed, wideGreen, wideBlue, ba, ta)) {
        // The top's channels; a top alpha of 0 over a bottom with alpha keeps the bottom's.
        const __m256i keep = keptLanes16(ba, ta);
        red = _mm256_blendv_epi8(wideRed, br, keep);
        green = _mm256_blendv_epi8(wideGreen, bg, keep);
        blue = _mm256_blendv_epi8(wideBlue, bb, keep);
    } else {
        // Where a is 0 (top alpha 0 over a transparent bottom) the result is
        // the top: there the colour is worked out at top alpha 1, the alpha
        // stays 0.
        const __m256i none = _mm256_cmpeq_epi16(a, zero);
        const __m256i taColour = _mm256_sub_epi16(ta, none), aColour = _mm256_sub_epi16(a, none);
        const __m256i m = alphaReciprocals16(aColour);
        red =
            quotients16(_mm256_add_epi16(_mm256_mullo_epi16(wideRed, taColour), _mm256_mullo_epi16(br, w)), aColour, m);
        green = quotients16(_mm256_add_epi16(_mm256_mullo_epi16(wideGreen, taColour), _mm256_mullo_epi16(bg, w)),
                            aColour, m);
        blue = quotients16(_mm256_add_epi16(_mm256_mullo_epi16(wideBlue, taColour), _mm256_mullo_epi16(bb, w)), aColour,
                           m);
    }
    // Back to pixels.
    const __m256i arLow = _mm256_unpacklo_epi16(a, red), arHigh = _mm256_unpackhi_epi16(a, red);
    const __m256i gbLow = _mm256_unpacklo_epi16(green, blue), gbHigh = _mm256_unpackhi_epi16(green, blue);
    p0 = _mm256_packus_epi16(_mm256_unpacklo_epi32(arLow, gbLow), _mm256_unpackhi_epi32(arLow, gbLow));
    p1 = _mm256_packus_epi16(_mm256_unpacklo_epi32(arHigh, gbHigh), _mm256_unpackhi_epi32(arHigh, gbHigh));
}
#endif

// ---- One top pixel laid over a run of count pixels.

#if defined(__SSE2__)
// Overlapping shapes leave long runs of equal pixels: a group of a run whose
// bottoms all have the bits of the last pixel composited takes its result.
// `seen` holds that pixel and `made` its result, each repeated across the
// vector; kVectors vectors make a group.
struct RunRepeat {
    __m128i seen, made;
    bool primed = false;

    template <int kVectors>
    [[gnu::always_inline]] bool repeats(__m128i *at) const {
        if (!primed) return false;
        __m128i same = _mm_set1_epi32(-1);
        for (int v = 0; v < kVectors; ++v) same = _mm_and_si128(same, _mm_cmpeq_epi32(_mm_loadu_si128(at + v), seen));
        if (_mm_movemask_epi8(same) != 0xffff) return false;
        for (int v = 0; v < kVectors; ++v) _mm_storeu_si128(at + v, made);
        return true;
    }
    void remember(__m128i last, __m128i result) { seen = last, made = result, primed = true; }
};

// RunRepeat with AVX2, groups of four 256-bit vectors.
struct RunRepeatWide {
    __m256i seen, made;
    bool primed = false;

    [[gnu::target("avx2"), gnu::always_inline]] bool repeats(__m256i *at) const {
        if (!primed) return false;
        __m256i same = _mm256_set1_epi32(-1);
        for (int v = 0; v < 4; ++v) {
            same = _mm256_and_si256(same, _mm256_cmpeq_epi32(_mm256_loadu_si256(at + v), seen));
        }
        if (_mm256_movemask_epi8(same) != -1) return false;
        for (int v = 0; v < 4; ++v) _mm256_storeu_si256(at + v, made);
        return true;
    }
    [[gnu::target("avx2"), gnu::always_inline]] void remember(__m256i last, __m256i result) {
        seen = last, made = result, primed = true;
    }
};
#endif

// 8-bit: with SSE2 eight pixels at a time by compositeEight8.
inline void compositeRunOver(PF_Pixel *dst, int64_t count, const OverTop<PF_Pixel> &over) {
    int64_t i = 0;
#if defined(__SSE2__)
    const PF_Pixel top = over.pixel;
    const uint32_t ta = top.alpha;
    if (ta != 0 && ta != 255) {
        const TopColour8 colour = topColour8(top);
        const __m128i alphas = _mm_set1_epi16(static_cast<short>(ta));
        RunRepeat run;
        for (; i + 8 <= count; i += 8) {
            __m128i *at = reinterpret_cast<__m128i *>(dst + i);
            if (run.repeats<2>(at)) continue;
            __m128i p0 = _mm_loadu_si128(at), p1 = _mm_loadu_si128(at + 1);
            const __m128i last = _mm_shuffle_epi32(p1, 0xff);
            compositeEight8(p0, p1, colour, alphas);
            _mm_storeu_si128(at, p0);
            _mm_storeu_si128(at + 1, p1);
            run.remember(last, _mm_shuffle_epi32(p1, 0xff));
        }
    }
#endif
    for (; i < count; ++i) compositeOverInto(dst[i], over);
}

#if defined(__SSE2__)
// Whether the processor runs AVX2 (and the system keeps its registers).
inline bool hasAvx2() {
    static const bool yes = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return yes;
}

// 16-bit runs eight pixels at a time: the whole groups of eight from dst on,
// those repeating the last one composited taking its result; returns how
// many pixels they hold.
inline int64_t compositeRunEight16(PF_Pixel16 *dst, int64_t count, const TopColour16 &colour, __m128i alphas) {
    RunRepeat run;
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128i *at = reinterpret_cast<__m128i *>(dst + i);
        if (run.repeats<4>(at)) continue;
        __m128i p[4];
        for (int v = 0; v < 4; ++v) p[v] = _mm_loadu_si128(at + v);
        // The last pixel of a group, as one 64-bit lane twice.
        const __m128i last = _mm_unpackhi_epi64(p[3], p[3]);
        compositeEight16(p, colour, alphas);
        for (int v = 0; v < 4; ++v) _mm_storeu_si128(at + v, p[v]);
        run.remember(last, _mm_unpackhi_epi64(p[3], p[3]));
    }
    return i;
}

// With AVX2 sixteen pixels a composite: in a run every lane has the same top,
// so four 256-bit vectors of pixels go to compositeSixteen16 as loaded,
// pixels 0-1, 4-5, 8-9 and 12-13 (the low halves) making one group of eight
// and the others the second. Then at most one group of eight by
// compositeEight16Wide.
[[gnu::target("avx2")]] inline int64_t compositeRunWide16(PF_Pixel16 *dst, int64_t count, const TopColour16 &colour,
                                                          __m128i alphas) {
    const __m256i wideAlphas = _mm256_broadcastsi128_si256(alphas);
    const TopSixteen16 top = topSixteen16(colour);
    RunRepeatWide run;
    int64_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m256i *at = reinterpret_cast<__m256i *>(dst + i);
        if (run.repeats(at)) continue;
        __m256i p[4];
        for (int v = 0; v < 4; ++v) p[v] = _mm256_loadu_si256(at + v);
        // The last pixel, in every 64-bit lane.
        const __m256i last = _mm256_permute4x64_epi64(p[3], 0xff);
        compositeSixteen16<true>(p, top, wideAlphas);
        for (int v = 0; v < 4; ++v) _mm256_storeu_si256(at + v, p[v]);
        run.remember(last, _mm256_permute4x64_epi64(p[3], 0xff));
    }
    if (i + 8 <= count) {
        __m128i *at = reinterpret_cast<__m128i *>(dst + i);
        __m128i p[4];
        for (int v = 0; v < 4; ++v) p[v] = _mm_loadu_si128(at + v);
        compositeEight16Wide(p, colour, alphas);
        for (int v = 0; v < 4; ++v) _mm_storeu_si128(at + v, p[v]);
        i += 8;
    }
    return i;
}
#endif

// 16-bit: with SSE2 eight pixels at a time by compositeEight16 (sixteen by
// compositeRunWide16 where AVX2 runs), the rest one by one. There the top
// is fixed, so the bottom weight and the result alpha depend on the bottom
// alpha alone and are kept while it repeats; a bottom pixel equal to the
// previous one takes its result.
// Kept out of line, one call a run, so that it does not crowd the inlining
// of the walks that call it.
[[gnu::noinline]] inline void compositeRunOver(PF_Pixel16 *dst, int64_t count, const OverTop<PF_Pixel16> &top) {
    const uint32_t ta = top.pixel.alpha;
    if (ta == 0 || ta == kFull16) {
        for (int64_t i = 0; i < count; ++i) compositeOverInto(dst[i], top);
        return;
    }
    int64_t first = 0;
#if defined(__SSE2__)
    if (count >= 8) {
        const TopColour16 colour = topColour16(top.pixel);
        const __m128i alphas = _mm_set1_epi16(static_cast<short>(ta));
        first = hasAvx2() ? compositeRunWide16(dst, count, colour, alphas)
                          : compositeRunEight16(dst, count, colour, alphas);
    }
#endif
    uint32_t lastBa = 0;
    Weights16 k{0, 0, 0.0};
    uint64_t seen = 0, made = 0;
    bool primed = false;
    for (int64_t i = first; i < count; ++i) {
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

// ---- Four float pixels at a time.

#if defined(__SSE2__)
// One top colour for compositeFourFloat: its channels in every lane.
struct TopColourFloat {
    __m128 red, green, blue;
};

inline TopColourFloat topColourFloat(PF_PixelFloat colour) {
    return TopColourFloat{_mm_set1_ps(colour.red), _mm_set1_ps(colour.green), _mm_set1_ps(colour.blue)};
}

// Four pixels p[0..3] under one top colour at four top alphas (ta, pixel i
// in lane i), laid over them bit for bit as compositeOverReference lays them
// where `drawn` (all ones per lane) is set; the other lanes keep their bits.
// The channels go one per vector; each lane takes the reference's
// single-precision steps in its order: w = (1 - ta) * ba, a = w + ta held at
// 1 (min(1, a) keeps a NaN as the reference's a > 1 test does), then
// (b * w + t * ta) / a by IEEE division. Its cases by lane masks, in the
// reference's order: a transparent bottom or an opaque top gives the top, a
// top alpha of 0 then keeps the bottom, a <= 0 gives zeros. Over = false
// puts the top in place instead (the replacing write).
template <bool Over = true>
[[gnu::always_inline]] inline void compositeFourFloat(__m128 *p, const TopColourFloat &top, __m128 ta, __m128 drawn) {
    __m128 ba = p[0], br = p[1], bg = p[2], bb = p[3];
    _MM_TRANSPOSE4_PS(ba, br, bg, bb);
    __m128 alpha = ta, red = top.red, green = top.green, blue = top.blue;
    if constexpr (Over) {
        const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
        const __m128 w = _mm_mul_ps(_mm_sub_ps(one, ta), ba);
        const __m128 a = _mm_min_ps(one, _mm_add_ps(w, ta));
        const __m128 toTop = _mm_or_ps(_mm_cmpeq_ps(ba, zero), _mm_cmpeq_ps(ta, one));
        const __m128 keep = _mm_or_ps(_mm_andnot_ps(drawn, _mm_castsi128_ps(_mm_set1_epi32(-1))),
                                      _mm_andnot_ps(toTop, _mm_cmpeq_ps(ta, zero)));
        // Not a <= 0 (so a NaN a too): the worked lanes; a <= 0 leaves zeros.
        const __m128 made = _mm_andnot_ps(toTop, _mm_cmpnle_ps(a, zero));
        auto lane = [&](__m128 bottom, __m128 topLane, __m128 worked) {
            const __m128 result = _mm_or_ps(_mm_and_ps(made, worked), _mm_and_ps(toTop, topLane));
            return _mm_or_ps(_mm_andnot_ps(keep, result), _mm_and_ps(keep, bottom));
        };
        auto channel = [&](__m128 bottom, __m128 topChannel) {
            const __m128 worked = _mm_div_ps(_mm_add_ps(_mm_mul_ps(bottom, w), _mm_mul_ps(topChannel, ta)), a);
            return lane(bottom, topChannel, worked);
        };
        alpha = lane(ba, ta, a);
        red = channel(br, top.red);
        green = channel(bg, top.green);
        blue = channel(bb, top.blue);
    } else {
        auto lane = [&](__m128 bottom, __m128 topLane) {
            return _mm_or_ps(_mm_and_ps(drawn, topLane), _mm_andnot_ps(drawn, bottom));
        };
        alpha = lane(ba, ta);
        red = lane(br, top.red);
        green = lane(bg, top.green);
        blue = lane(bb, top.blue);
    }
    _MM_TRANSPOSE4_PS(alpha, red, green, blue);
    p[0] = alpha, p[1] = red, p[2] = green, p[3] = blue;
}

// compositeFourFloat on eight pixels with AVX2 (chosen at run time), p[0..3]
// holding pixels 0-1, 2-3, 4-5 and 6-7: the transpose within each 128-bit
// half puts pixels 0, 2, 4, 6 in the low half of each channel vector and 1,
// 3, 5, 7 in the high half, which is the lane order of ta and drawn. Each
// lane takes the same steps as compositeFourFloat's.
[[gnu::target("avx2"), gnu::always_inline]] inline void transposeHalves(__m256 &r0, __m256 &r1, __m256 &r2,
                                                                        __m256 &r3) {
    const __m256 t0 = _mm256_unpacklo_ps(r0, r1), t1 = _mm256_unpacklo_ps(r2, r3);
    const __m256 t2 = _mm256_unpackhi_ps(r0, r1), t3 = _mm256_unpackhi_ps(r2, r3);
    r0 = _mm256_castpd_ps(_mm256_unpacklo_pd(_mm256_castps_pd(t0), _mm256_castps_pd(t1)));
    r1 = _mm256_castpd_ps(_mm256_unpackhi_pd(_mm256_castps_pd(t0), _mm256_castps_pd(t1)));
    r2 = _mm256_castpd_ps(_mm256_unpacklo_pd(_mm256_castps_pd(t2), _mm256_castps_pd(t3)));
    r3 = _mm256_castpd_ps(_mm256_unpackhi_pd(_mm256_castps_pd(t2), _mm256_castps_pd(t3)));
}

// A lane of compositeEightFloat's result: made from `worked` or the top, or
// kept from the bottom.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256 laneEightFloat(__m256 made, __m256 toTop, __m256 keep,
                                                                         __m256 bottom, __m256 topLane, __m256 worked) {
    // The masks are whole lanes, and made and toTop never both set.
    const __m256 result = _mm256_blendv_ps(_mm256_and_ps(made, worked), topLane, toTop);
    return _mm256_blendv_ps(result, bottom, keep);
}

template <bool Over = true>
[[gnu::target("avx2"), gnu::always_inline]] inline void compositeEightFloat(__m256 *p, const TopColourFloat &top,
                                                                            __m256 ta, __m256 drawn) {
    __m256 ba = p[0], br = p[1], bg = p[2], bb = p[3];
    transposeHalves(ba, br, bg, bb);
    const __m256 topRed = _mm256_set_m128(top.red, top.red), topGreen = _mm256_set_m128(top.green, top.green);
    const __m256 topBlue = _mm256_set_m128(top.blue, top.blue);
    __m256 alpha, red, green, blue;
    if constexpr (Over) {
        const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
        const __m256 w = _mm256_mul_ps(_mm256_sub_ps(one, ta), ba);
        const __m256 a = _mm256_min_ps(one, _mm256_add_ps(w, ta));
        const __m256 toTop = _mm256_or_ps(_mm256_cmp_ps(ba, zero, _CMP_EQ_OQ), _mm256_cmp_ps(ta, one, _CMP_EQ_OQ));
        const __m256 keep = _mm256_or_ps(_mm256_andnot_ps(drawn, _mm256_castsi256_ps(_mm256_set1_epi32(-1))),
                                         _mm256_andnot_ps(toTop, _mm256_cmp_ps(ta, zero, _CMP_EQ_OQ)));
        const __m256 made = _mm256_andnot_ps(toTop, _mm256_cmp_ps(a, zero, _CMP_NLE_UQ));
        const __m256 workedRed = _mm256_div_ps(_mm256_add_ps(_mm256_mul_ps(br, w), _mm256_mul_ps(topRed, ta)), a);
        const __m256 workedGreen = _mm256_div_ps(_mm256_add_ps(_mm256_mul_ps(bg, w), _mm256_mul_ps(topGreen, ta)), a);
        const __m256 workedBlue = _mm256_div_ps(_mm256_add_ps(_mm256_mul_ps(bb, w), _mm256_mul_ps(topBlue, ta)), a);
        alpha = laneEightFloat(made, toTop, keep, ba, ta, a);
        red = laneEightFloat(made, toTop, keep, br, topRed, workedRed);
        green = laneEightFloat(made, toTop, keep, bg, topGreen, workedGreen);
        blue = laneEightFloat(made, toTop, keep, bb, topBlue, workedBlue);
    } else {
        alpha = _mm256_or_ps(_mm256_and_ps(drawn, ta), _mm256_andnot_ps(drawn, ba));
        red = _mm256_or_ps(_mm256_and_ps(drawn, topRed), _mm256_andnot_ps(drawn, br));
        green = _mm256_or_ps(_mm256_and_ps(drawn, topGreen), _mm256_andnot_ps(drawn, bg));
        blue = _mm256_or_ps(_mm256_and_ps(drawn, topBlue), _mm256_andnot_ps(drawn, bb));
    }
    transposeHalves(alpha, red, green, blue);
    p[0] = alpha, p[1] = red, p[2] = green, p[3] = blue;
}

// The whole groups of four of a run from dst on under one top; returns how
// many pixels they hold. Four bottoms with the bits of the last one
// composited take its result.
inline int64_t compositeRunFourFloat(PF_PixelFloat *dst, int64_t count, const PF_PixelFloat &top) {
    const TopColourFloat colour = topColourFloat(top);
    const __m128 ta = _mm_set1_ps(top.alpha), all = _mm_castsi128_ps(_mm_set1_epi32(-1));
    RunRepeat run;
    int64_t i = 0;
    for (; i + 4 <= count; i += 4) {
        float *at = &dst[i].alpha;
        if (run.repeats<4>(reinterpret_cast<__m128i *>(at))) continue;
        __m128 p[4];
        for (int v = 0; v < 4; ++v) p[v] = _mm_loadu_ps(at + 4 * v);
        const __m128i last = _mm_castps_si128(p[3]);
        compositeFourFloat(p, colour, ta, all);
        for (int v = 0; v < 4; ++v) _mm_storeu_ps(at + 4 * v, p[v]);
        run.remember(last, _mm_castps_si128(p[3]));
    }
    return i;
}
#endif

#if defined(__SSE2__)
// The second float pixel of a 256-bit vector, in both halves.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i lastFloatPixel(__m256 pair) {
    return _mm256_permute2x128_si256(_mm256_castps_si256(pair), _mm256_castps_si256(pair), 0x11);
}

// compositeRunFourFloat eight pixels at a time by compositeEightFloat.
[[gnu::target("avx2")]] inline int64_t compositeRunEightFloat(PF_PixelFloat *dst, int64_t count,
                                                              const PF_PixelFloat &top) {
    const TopColourFloat colour = topColourFloat(top);
    const __m256 ta = _mm256_set1_ps(top.alpha), all = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
    RunRepeatWide run;
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        float *at = &dst[i].alpha;
        if (run.repeats(reinterpret_cast<__m256i *>(at))) continue;
        __m256 p[4];
        for (int v = 0; v < 4; ++v) p[v] = _mm256_loadu_ps(at + 8 * v);
        const __m256i seen = lastFloatPixel(p[3]);
        compositeEightFloat(p, colour, ta, all);
        for (int v = 0; v < 4; ++v) _mm256_storeu_ps(at + 8 * v, p[v]);
        run.remember(seen, lastFloatPixel(p[3]));
    }
    return i;
}
#endif

// Float: with SSE2 four pixels at a time by compositeFourFloat (eight by
// compositeEightFloat where there is AVX2), the rest one by one; a bottom
// pixel with the same bits as the previous one takes its result.
inline void compositeRunOver(PF_PixelFloat *dst, int64_t count, const OverTop<PF_PixelFloat> &top) {
#if defined(__SSE2__)
    const int64_t wide = count >= 8 && hasAvx2() ? compositeRunEightFloat(dst, count, top.pixel) : 0;
    const int64_t first = wide + compositeRunFourFloat(dst + wide, count - wide, top.pixel);
    dst += first;
    count -= first;
#endif
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
