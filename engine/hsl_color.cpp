// Hue, lightness and saturation steps and random offsets in the host's 16.16
// HLS layout. Sums are single precision, as the colours have always been made.
#include "engine/hsl_color.h"

#include <cmath>

#include "raster/fixed_point.h"

namespace {

float fromFixed(int32_t v) { return static_cast<float>(fromFixed16(v)); }

// Degrees into [0, 360) by the single-precision remainder; a tiny negative
// hue may come back as exactly 360.
float wrapHue(float h) {
    h = std::fmod(h, 360.0f);
    if (h < 0.0f) h = h + 360.0f;
    return h;
}

float clampUnit(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// One reflection at each bound: 1.05 becomes 0.95, -0.1 becomes 0.1.
float reflectUnit(float v) {
    if (v > 1.0f) return 2.0f - v;
    if (v < 0.0f) return -v;
    return v;
}

}  // namespace

void applyHslStep(HslColor &color, double hueTurns, double lightness, double saturation) {
    const float h = fromFixed(color.hue) + static_cast<float>(hueTurns * 360.0);
    const float l = fromFixed(color.lightness) + static_cast<float>(lightness);
    const float s = fromFixed(color.saturation) + static_cast<float>(saturation);
    color.hue = toFixed16(wrapHue(h));
    color.lightness = toFixed16(clampUnit(l));
    color.saturation = toFixed16(clampUnit(s));
}

void applyHslVariance(HslColor &color, double hueVariance, double lightnessVariance, double saturationVariance,
                      PatternRandom &random) {
    const double r1 = nextRandom(random);
    const double r2 = nextRandom(random);
    const double r3 = nextRandom(random);
    const float oh = static_cast<float>((r1 * 2.0 - 1.0) * hueVariance * 360.0);
    const float ol = static_cast<float>((r2 * 2.0 - 1.0) * lightnessVariance);
    const float os = static_cast<float>((r3 * 2.0 - 1.0) * saturationVariance);
    const float h = fromFixed(color.hue) + oh;
    const float l = fromFixed(color.lightness) + ol;
    const float s = fromFixed(color.saturation) + os;
    color.hue = toFixed16(wrapHue(h));
    color.lightness = toFixed16(reflectUnit(l));
    color.saturation = toFixed16(reflectUnit(s));
}

HslColor makeHslColor(double hue, double lightness, double saturation) {
    double h = std::fmod(hue, 360.0);
    if (h < 0.0) h += 360.0;
    const double l = lightness < 0.0 ? 0.0 : (lightness > 1.0 ? 1.0 : lightness);
    const double s = saturation < 0.0 ? 0.0 : (saturation > 1.0 ? 1.0 : saturation);
    return HslColor{toFixed16(h), toFixed16(l), toFixed16(s)};
}
