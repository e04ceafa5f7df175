// minihost's "PF ColorFloat Suite" 1: conversions between float RGB and the
// hue-lightness-saturation model (hue degrees 0..360, lightness and
// saturation 0..1, all 16.16), and luminance.
#include <cmath>

#include "hostapi/pf_suites.h"
#include "minihost/host_internals.h"

namespace minihost {
namespace {

constexpr double fixedOne = 65536.0;

// Furthest a channel of an 8-bit colour lands from its level after a trip
// through 16.16 hue, lightness and saturation (each rounded by at most 2^-17),
// with margin: at most 1.9e-5 over all 8-bit colours. The levels are over a
// hundred times further apart, so the nearest one is never in doubt.
constexpr double eightBitSnap = 2.0 / 65536.0;

// Channels outside 0..1 (and NaN) are taken at the nearest bound: the model
// has no room for them.
double unitChannel(float v) {
    if (!(v > 0)) return 0;
    return v < 1 ? v : 1;
}

PF_Fixed toFixed(double v) { return static_cast<PF_Fixed>(v >= 0 ? v * fixedOne + 0.5 : v * fixedOne - 0.5); }

// 16.16 keeps a channel only to about 2^-16, so the trip from RGB and back
// cannot return an arbitrary float unchanged. A channel that comes back
// within that error of an 8-bit level is taken to be that level, so every
// colour that started as 8-bit values (every colour parameter) survives the
// trip bit for bit; 0 and 1 among them. Any other value moves only when it
// lies that close to an 8-bit level, and then by at most 2^-15 (one step of
// a 16-bit channel).
float channelFromModel(double v) {
    v = v < 0 ? 0 : (v > 1 ? 1 : v);
    const double level = std::floor(v * 255.0 + 0.5);
    if (std::fabs(v - level / 255.0) <= eightBitSnap) return static_cast<float>(level / 255.0);
    return static_cast<float>(v);
}

PF_Err rgbToHls(PF_ProgPtr ref, PF_PixelFloat *rgb, PF_HLS_Pixel hls) {
    if (!ref) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(ref);
    if (PF_Err err = enterCall(host, "RGBtoHLS")) return err;
    if (!rgb || !hls) return refused(host);
    const double r = unitChannel(rgb->red), g = unitChannel(rgb->green), b = unitChannel(rgb->blue);
    const double high = std::fmax(r, std::fmax(g, b)), low = std::fmin(r, std::fmin(g, b));
    const double lightness = (high + low) / 2;
    double hue = 0, saturation = 0;
    if (high > low) {
        const double chroma = high - low;
        saturation = lightness <= 0.5 ? chroma / (high + low) : chroma / (2 - high - low);
        if (high == r)
            hue = 60 * ((g - b) / chroma);
        else if (high == g)
            hue = 60 * ((b - r) / chroma + 2);
        else
            hue = 60 * ((r - g) / chroma + 4);
        if (hue < 0) hue += 360;
    }
    PF_Fixed h = toFixed(hue);
    if (h >= toFixed(360)) h -= toFixed(360);
    hls[0] = h;
    hls[1] = toFixed(lightness);
    hls[2] = toFixed(saturation);
    return PF_Err_NONE;
}

// Hue wraps into [0, 360); lightness and saturation clamp to [0, 1]. The
// pixel's alpha is left as it is.
PF_Err hlsToRgb(PF_ProgPtr ref, PF_HLS_Pixel hls, PF_PixelFloat *rgb) {
    if (!ref) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(ref);
    if (PF_Err err = enterCall(host, "HLStoRGB")) return err;
    if (!rgb || !hls) return refused(host);
    double hue = std::fmod(hls[0] / fixedOne, 360.0);
    if (hue < 0) hue += 360;
    const double lightness = std::fmin(std::fmax(hls[1] / fixedOne, 0.0), 1.0);
    const double saturation = std::fmin(std::fmax(hls[2] / fixedOne, 0.0), 1.0);

    const double chroma = (1 - std::fabs(2 * lightness - 1)) * saturation;
    const double sectorHue = hue / 60;
    const double second = chroma * (1 - std::fabs(std::fmod(sectorHue, 2.0) - 1));
    const double base = lightness - chroma / 2;
    // Per 60-degree sector of hue, which part each of red, green and blue
    // takes: 0 the chroma, 1 the second component, 2 none.
    static const int sectorParts[6][3] = {{0, 1, 2}, {1, 0, 2}, {2, 0, 1}, {2, 1, 0}, {1, 2, 0}, {0, 2, 1}};
    const double parts[3] = {chroma, second, 0};
    const int *part = sectorParts[static_cast<int>(sectorHue) % 6];
    rgb->red = channelFromModel(parts[part[0]] + base);
    rgb->green = channelFromModel(parts[part[1]] + base);
    rgb->blue = channelFromModel(parts[part[2]] + base);
    return PF_Err_NONE;
}

// Luminance in percent (0..100 for channels 0..1), Rec. 601 weights.
PF_Err luminance(PF_ProgPtr ref, PF_PixelFloat *rgb, A_FpShort *lum100) {
    if (!ref) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(ref);
    if (PF_Err err = enterCall(host, "Luminance")) return err;
    if (!rgb || !lum100) return refused(host);
    *lum100 = static_cast<A_FpShort>(100 * (0.299 * rgb->red + 0.587 * rgb->green + 0.114 * rgb->blue));
    return PF_Err_NONE;
}

}  // namespace

const void *colorFloatSuite() {
    static const PF_ColorCallbacksFloatSuite1 suite = {rgbToHls, hlsToRgb, luminance};
    return &suite;
}

}  // namespace minihost
