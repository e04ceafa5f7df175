// The host's transfer function (utility callback transfer_rect): blends a
// rectangle of a source world onto a destination world at a position with a
// transfer mode and an opacity, clipped to the destination.
//
// Channels are straight (not premultiplied) and read as reals in 0..1: 8-bit
// v / 255, 16-bit v / 32768, float clamped to 0..1. Each mode is a blend
// B(Cb, Cs) of backdrop and source colour, written once in `modes`; one
// composite mixes it with both colours by their alphas. Each mode and depth
// gets its own instantiated loop, picked once per call from `blendRectOf`.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "minihost/host_state.h"

namespace minihost {
namespace {

// A colour as reals, nominally 0..1.
struct Rgb {
    double r, g, b;
};

// B(Cb, Cs): the colour a mode makes of backdrop Cb and source Cs.
using Blend = Rgb (*)(const Rgb &cb, const Rgb &cs);

double clamp01(double v) { return v > 0 ? (v < 1 ? v : 1) : 0; }  // NaN gives 0

// Separable modes: one function of the two channel values, per channel.
double inFront(double, double cs) { return cs; }
double add(double cb, double cs) { return std::min(1.0, cb + cs); }
double multiply(double cb, double cs) { return cb * cs; }
double screen(double cb, double cs) { return cb + cs - cb * cs; }
double hardLight(double cb, double cs) { return cs <= 0.5 ? cb * (2 * cs) : screen(cb, 2 * cs - 1); }
double overlay(double cb, double cs) { return hardLight(cs, cb); }
double darken(double cb, double cs) { return std::min(cb, cs); }
double lighten(double cb, double cs) { return std::max(cb, cs); }
double difference(double cb, double cs) { return std::fabs(cb - cs); }
double colorDodge(double cb, double cs) {
    if (cb == 0) return 0;
    if (cs == 1) return 1;
    return std::min(1.0, cb / (1 - cs));
}
double colorBurn(double cb, double cs) {
    if (cb == 1) return 1;
    if (cs == 0) return 0;
    return 1 - std::min(1.0, (1 - cb) / cs);
}
double linearLight(double cb, double cs) { return clamp01(cb + 2 * cs - 1); }
double vividLight(double cb, double cs) { return cs <= 0.5 ? colorBurn(cb, 2 * cs) : colorDodge(cb, 2 * cs - 1); }
double pinLight(double cb, double cs) { return cs <= 0.5 ? std::min(cb, 2 * cs) : std::max(cb, 2 * cs - 1); }
double hardMix(double cb, double cs) { return cb + cs >= 1 ? 1 : 0; }

template <double (*blend)(double, double)>
Rgb separable(const Rgb &cb, const Rgb &cs) {
    return {blend(cb.r, cs.r), blend(cb.g, cs.g), blend(cb.b, cs.b)};
}

// Non-separable modes work on the colour triple through its luminosity and
// saturation.
double lum(const Rgb &c) { return 0.3 * c.r + 0.59 * c.g + 0.11 * c.b; }
double sat(const Rgb &c) { return std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}); }

// Pulls a colour into 0..1 towards its luminosity, keeping the luminosity.
// Both pulls use the extremes of the colour as it came in. A pull is skipped
// when its extreme equals the luminosity (a grey that rounding pushed just
// outside 0..1): there is no hue to keep and the division would be 0 / 0.
Rgb clipColor(Rgb c) {
    const double l = lum(c);
    const double n = std::min({c.r, c.g, c.b}), x = std::max({c.r, c.g, c.b});
    if (n < 0 && l > n) {
        for (double *v : {&c.r, &c.g, &c.b}) *v = l + (*v - l) * l / (l - n);
    }
    if (x > 1 && x > l) {
        for (double *v : {&c.r, &c.g, &c.b}) *v = l + (*v - l) * (1 - l) / (x - l);
    }
    return c;
}

Rgb setLum(const Rgb &c, double l) {
    const double d = l - lum(c);
    return clipColor({c.r + d, c.g + d, c.b + d});
}

Rgb setSat(Rgb c, double s) {
    double *lo = &c.r, *mid = &c.g, *hi = &c.b;
    if (*lo > *mid) std::swap(lo, mid);
    if (*mid > *hi) std::swap(mid, hi);
    if (*lo > *mid) std::swap(lo, mid);
    if (*hi > *lo) {
        *mid = (*mid - *lo) * s / (*hi - *lo);
        *hi = s;
    } else {
        *mid = *hi = 0;
    }
    *lo = 0;
    return c;
}

Rgb hue(const Rgb &cb, const Rgb &cs) { return setLum(setSat(cs, sat(cb)), lum(cb)); }
Rgb saturation(const Rgb &cb, const Rgb &cs) { return setLum(setSat(cb, sat(cs)), lum(cb)); }
Rgb color(const Rgb &cb, const Rgb &cs) { return setLum(cs, lum(cb)); }
Rgb luminosity(const Rgb &cb, const Rgb &cs) { return setLum(cb, lum(cs)); }

// The modes the host blends, indexed by transfer mode; a mode minihost does
// not know has no blend. (`known` rather than a null test: a function's
// address compared with null is not a constant under every build's flags.)
constexpr int modeCount = PF_Xfer_HARD_MIX + 1;
struct ModeTable {
    std::array<Blend, modeCount> blend{};
    std::array<bool, modeCount> known{};
};
constexpr ModeTable modes = [] {
    ModeTable t{};
    auto set = [&t](int mode, Blend blend) {
        t.blend[mode] = blend;
        t.known[mode] = true;
    };
    set(PF_Xfer_IN_FRONT, separable<inFront>);
    set(PF_Xfer_ADD, separable<add>);
    set(PF_Xfer_MULTIPLY, separable<multiply>);
    set(PF_Xfer_SCREEN, separable<screen>);
    set(PF_Xfer_OVERLAY, separable<overlay>);
    set(PF_Xfer_HARD_LIGHT, separable<hardLight>);
    set(PF_Xfer_DARKEN, separable<darken>);
    set(PF_Xfer_LIGHTEN, separable<lighten>);
    set(PF_Xfer_DIFFERENCE2, separable<difference>);
    set(PF_Xfer_HUE, hue);
    set(PF_Xfer_SATURATION, saturation);
    set(PF_Xfer_COLOR, color);
    set(PF_Xfer_LUMINOSITY, luminosity);
    set(PF_Xfer_COLOR_DODGE2, separable<colorDodge>);
    set(PF_Xfer_COLOR_BURN2, separable<colorBurn>);
    set(PF_Xfer_LINEAR_LIGHT, separable<linearLight>);
    set(PF_Xfer_VIVID_LIGHT, separable<vividLight>);
    set(PF_Xfer_PIN_LIGHT, separable<pinLight>);
    set(PF_Xfer_HARD_MIX, separable<hardMix>);
    return t;
}();

// What tells the depths apart besides the pixel type: the largest channel
// value (0: float channels, stored as reals) and whether the opacity comes
// from the record's 16-bit opacitySu (0..32768) or its 8-bit opacity (0..255).
struct DepthFormat {
    Depth depth;
    double ceiling;
    bool opacitySu;
};

// Specialised for PF_Pixel, PF_Pixel16 and PF_PixelFloat.
template <typename Pixel>
constexpr DepthFormat depthFormat = {};
template <>
constexpr DepthFormat depthFormat<PF_Pixel> = {Depth::Bits8, 255, false};
template <>
constexpr DepthFormat depthFormat<PF_Pixel16> = {Depth::Bits16, 32768, true};
template <>
constexpr DepthFormat depthFormat<PF_PixelFloat> = {Depth::Float, 0, false};

// v / 255 for every 8-bit level, the same doubles the division gives.
constexpr std::array<double, 256> eightBitReals = [] {
    std::array<double, 256> r{};
    for (int v = 0; v < 256; ++v) r[v] = v / 255.0;
    return r;
}();

// A stored channel as a real in 0..1. 16-bit levels above 32768 read as 1.
template <typename Pixel, typename Channel>
double realOf(Channel v) {
    if constexpr (depthFormat<Pixel>.depth == Depth::Bits8)
        return eightBitReals[v];
    else if constexpr (depthFormat<Pixel>.depth == Depth::Bits16)
        return v < 32768 ? v / 32768.0 : 1.0;
    else
        return clamp01(v);
}

// A real as the pixel stores it: integer levels round to nearest.
template <typename Pixel>
auto channelOf(double v) {
    using Channel = decltype(Pixel::alpha);
    constexpr double ceiling = depthFormat<Pixel>.ceiling;
    if constexpr (ceiling > 0)
        return static_cast<Channel>(std::floor(clamp01(v) * ceiling + 0.5));
    else
        return static_cast<Channel>(clamp01(v));
}

// The rows to blend, already clipped: `width` x `height` pixels from `src`
// onto `dst`.
struct RectJob {
    const unsigned char *src;
    std::ptrdiff_t srcRowbytes;
    unsigned char *dst;
    std::ptrdiff_t dstRowbytes;
    A_long width, height;
    PF_CompositeMode mode;
};

template <typename Pixel>
double opacityOf(const PF_CompositeMode &mode) {
    if constexpr (depthFormat<Pixel>.opacitySu)
        return std::min(mode.opacitySu / 32768.0, 1.0);
    else
        return mode.opacity / 255.0;
}

// The composite of one straight-alpha pixel: the source over the backdrop,
// where both are opaque the colour is the mode's blend.
template <typename Pixel, Blend blend>
Pixel compositePixel(const Pixel &source, const Pixel &backdrop, double opacity, bool rgbOnly) {
    const double as = realOf<Pixel>(source.alpha) * opacity, ab = realOf<Pixel>(backdrop.alpha);
    const Rgb cs = {realOf<Pixel>(source.red), realOf<Pixel>(source.green), realOf<Pixel>(source.blue)};
    const Rgb cb = {realOf<Pixel>(backdrop.red), realOf<Pixel>(backdrop.green), realOf<Pixel>(backdrop.blue)};
    const Rgb b = blend(cb, cs);
    Pixel out = backdrop;
    if (rgbOnly) {
        // The backdrop keeps its alpha, stored as it was.
        out.red = channelOf<Pixel>((1 - as) * cb.r + as * b.r);
        out.green = channelOf<Pixel>((1 - as) * cb.g + as * b.g);
        out.blue = channelOf<Pixel>((1 - as) * cb.b + as * b.b);
        return out;
    }
    const double ao = as + ab * (1 - as);
    if (!(ao > 0)) return Pixel{};
    auto mix = [&](double s, double bl, double d) {
        return (as * (1 - ab) * s + as * ab * bl + (1 - as) * ab * d) / ao;
    };
    out.alpha = channelOf<Pixel>(ao);
    out.red = channelOf<Pixel>(mix(cs.r, b.r, cb.r));
    out.green = channelOf<Pixel>(mix(cs.g, b.g, cb.g));
    out.blue = channelOf<Pixel>(mix(cs.b, b.b, cb.b));
    return out;
}

// A stored pixel whose every channel reads back as itself: integer levels up
// to full, float channels within 0..1.
template <typename Pixel>
bool storedExactly(const Pixel &p) {
    constexpr double ceiling = depthFormat<Pixel>.ceiling;
    if constexpr (ceiling > 0) {
        using Channel = decltype(Pixel::alpha);
        constexpr auto most = static_cast<Channel>(ceiling);
        return p.alpha <= most && p.red <= most && p.green <= most && p.blue <= most;
    } else {
#if defined(__SSE2__)
        // Each channel in 0..1 (NaN is not), four at a time.
        const __m128 v = _mm_loadu_ps(&p.alpha);
        const __m128 within = _mm_and_ps(_mm_cmpge_ps(v, _mm_setzero_ps()), _mm_cmple_ps(v, _mm_set1_ps(1.0f)));
        return _mm_movemask_ps(within) == 0xF;
#else
        auto exact = [](float v) { return v >= 0 && v <= 1; };
        return exact(p.alpha) && exact(p.red) && exact(p.green) && exact(p.blue);
#endif
    }
}

// Whether a source pixel adds nothing at `opacity` (0..1): realOf(alpha) *
// opacity == 0, which for reals in 0..1 holds only when either is 0.
template <typename Pixel>
bool addsNothing(const Pixel &s, double opacity) {
    if (opacity == 0) return true;
    if constexpr (depthFormat<Pixel>.ceiling > 0) {
        return s.alpha == 0;
    } else {
        return !(s.alpha > 0);  // clamp01 reads NaN and negatives as 0
    }
}

template <typename Pixel>
bool samePixel(const Pixel &a, const Pixel &b) {
    return std::memcmp(&a, &b, sizeof(Pixel)) == 0;
}

template <typename Pixel, Blend blend>
void blendRect(const RectJob &job) {
    const double opacity = opacityOf<Pixel>(job.mode);
    const bool rgbOnly = job.mode.rgb_only != 0;
    for (A_long y = 0; y < job.height; ++y) {
        const Pixel *s = reinterpret_cast<const Pixel *>(job.src + y * job.srcRowbytes);
        Pixel *d = reinterpret_cast<Pixel *>(job.dst + y * job.dstRowbytes);
        // The last pair blended and its result: flat areas of shapes over
        // flat areas of the frame repeat the same pair along a row.
        Pixel lastSource{}, lastBackdrop{}, lastResult{};
        bool primed = false;
        for (A_long x = 0; x < job.width; ++x) {
            // A source of no alpha leaves the backdrop as it reads (the
            // composite gives its own values back), or all zero where the
            // backdrop has no alpha either: the common case of a stamp's
            // corners and of a mostly empty accumulation frame.
            if (addsNothing(s[x], opacity) && storedExactly(d[x])) {
                if (!rgbOnly && d[x].alpha == 0) d[x] = Pixel{};
                continue;
            }
            if (primed && samePixel(s[x], lastSource) && samePixel(d[x], lastBackdrop)) {
                d[x] = lastResult;
                continue;
            }
            lastSource = s[x];
            lastBackdrop = d[x];
            d[x] = lastResult = compositePixel<Pixel, blend>(s[x], d[x], opacity, rgbOnly);
            primed = true;
        }
    }
}

// The loops of every mode at every depth, indexed by transfer mode, then by
// depth in the order of `depthIndex`.
using BlendRect = void (*)(const RectJob &);
using DepthRects = std::array<BlendRect, 3>;

template <std::size_t mode>
constexpr DepthRects rectsOf() {
    if constexpr (!modes.known[mode])
        return {};
    else
        return {blendRect<PF_Pixel, modes.blend[mode]>, blendRect<PF_Pixel16, modes.blend[mode]>,
                blendRect<PF_PixelFloat, modes.blend[mode]>};
}

template <std::size_t... indices>
constexpr std::array<DepthRects, sizeof...(indices)> rectTable(std::index_sequence<indices...>) {
    return {rectsOf<indices>()...};
}

constexpr std::array<DepthRects, modeCount> blendRectOf = rectTable(std::make_index_sequence<modeCount>());

int depthIndex(Depth depth) { return depth == Depth::Bits8 ? 0 : depth == Depth::Bits16 ? 1 : 2; }

}  // namespace

// Quality, mode flags and field change nothing: minihost always blends every
// row at full quality, with straight alpha. A mask world is not supported.
PF_Err transferRect(PF_ProgPtr effectRef, PF_Quality, PF_ModeFlags, PF_Field, const PF_Rect *srcRect,
                    const PF_EffectWorld *src, const PF_CompositeMode *mode, const PF_MaskWorld *mask, A_long destX,
                    A_long destY, PF_EffectWorld *dst) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "transfer_rect")) return err;
    const ScopeClock clock{host.internals->frame.hostCallMs};
    const World *srcWorld = knownWorld(host, src), *dstWorld = knownWorld(host, dst);
    if (!mode || mask || !srcWorld || !dstWorld || srcWorld->depth != dstWorld->depth) return refused(host);
    const Depth srcDepth = srcWorld->depth;
    if (mode->xfer < 0 || mode->xfer >= modeCount || !modes.known[static_cast<std::size_t>(mode->xfer)])
        return refused(host);
    const PF_Rect from = srcRect ? *srcRect : PF_Rect{0, 0, src->width, src->height};
    if (from.left < 0 || from.top < 0 || from.left > from.right || from.top > from.bottom || from.right > src->width ||
        from.bottom > src->height)
        return refused(host);

    // The part of the destination the rectangle covers, in 64 bits so that
    // positions near the ends of A_long do not wrap.
    const long long x0 = destX, y0 = destY;
    const long long left = std::max(x0, 0LL), top = std::max(y0, 0LL);
    const long long right = std::min(x0 + (from.right - from.left), static_cast<long long>(dst->width));
    const long long bottom = std::min(y0 + (from.bottom - from.top), static_cast<long long>(dst->height));
    if (left >= right || top >= bottom) return PF_Err_NONE;

    const int size = bytesPerPixel(srcDepth);
    RectJob job;
    job.width = static_cast<A_long>(right - left);
    job.height = static_cast<A_long>(bottom - top);
    job.src =
        pixelAddress(*src, static_cast<int>(from.left + (left - x0)), static_cast<int>(from.top + (top - y0)), size);
    job.srcRowbytes = src->rowbytes;
    job.dst = pixelAddress(*dst, static_cast<int>(left), static_cast<int>(top), size);
    job.dstRowbytes = dst->rowbytes;
    job.mode = *mode;

    // A source and destination in the same world may overlap: blend from a
    // copy of the source so that no pixel reads one already blended.
    std::vector<unsigned char> copy;
    if (src->data == dst->data) {
        const std::size_t rowSize = static_cast<std::size_t>(job.width) * static_cast<std::size_t>(size);
        copy.resize(rowSize * static_cast<std::size_t>(job.height));
        for (A_long y = 0; y < job.height; ++y)
            std::memcpy(copy.data() + rowSize * static_cast<std::size_t>(y), job.src + y * job.srcRowbytes, rowSize);
        job.src = copy.data();
        job.srcRowbytes = static_cast<std::ptrdiff_t>(rowSize);
    }
    blendRectOf[static_cast<std::size_t>(mode->xfer)][static_cast<std::size_t>(depthIndex(srcDepth))](job);
    return PF_Err_NONE;
}

}  // namespace minihost
