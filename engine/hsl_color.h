// Colour arithmetic in hue, lightness and saturation, held in 16.16 fixed point
// exactly as the host's PF_HLS_Pixel.
#pragma once

#include <cstdint>

#include "engine/pattern_random.h"

struct HslColor {
    int32_t hue;         // degrees 0..360, 16.16
    int32_t lightness;   // 0..1, 16.16
    int32_t saturation;  // 0..1, 16.16
};

// Adds a step (hue in turns), wraps hue into [0, 360), clamps lightness and
// saturation to [0, 1]. Single-precision sums.
void applyHslStep(HslColor &color, double hueTurns, double lightness, double saturation);
// Adds a random offset per component (three draws, always), wraps hue,
// reflects lightness and saturation once at the bounds.
void applyHslVariance(HslColor &color, double hueVariance, double lightnessVariance, double saturationVariance,
                      PatternRandom &random);
// Hue in degrees, lightness and saturation 0..1; normalised and rounded.
HslColor makeHslColor(double hue, double lightness, double saturation);
