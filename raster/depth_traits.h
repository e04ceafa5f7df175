// One record per pixel depth: the pixel and channel types, full intensity,
// the integer weights of the over composite, which form of a colour the depth
// draws with and how a point's opacity and a pixel's coverage become its
// alpha. Per-pixel operations are written once over these records.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "hostapi/hostapi.h"
#include "raster/fixed_point.h"
#include "raster/pixel_format.h"

struct Depth8Traits {
    using Pixel = PF_Pixel;
    using Channel = A_u_char;
    using Wide = int32_t;  // signed: products stay below 2^17
    static constexpr Wide full = 255;
    static constexpr Wide weightBase = kWeightBase8;
    static constexpr int weightShift = kWeightShift8;
    static constexpr bool isFloat = false;

    static Pixel pick(const PixelForms &forms) { return forms.color8; }
    // ceil(opacity * 255), a whole number held at 255 for opacity above 1.
    using DrawAlpha = double;
    static DrawAlpha drawAlpha(double opacity) { return std::min(std::ceil(opacity * 255.0), 255.0); }
};

struct Depth16Traits {
    using Pixel = PF_Pixel16;
    using Channel = A_u_short;
    using Wide = uint32_t;  // unsigned: products reach 2^31
    static constexpr Wide full = kFull16;
    static constexpr Wide weightBase = kFull16;
    static constexpr int weightShift = kWeightShift16;
    static constexpr bool isFloat = false;

    static Pixel pick(const PixelForms &forms) { return forms.color16; }
    // trunc(opacity * 32768), a whole number 0..32768.
    using DrawAlpha = double;
    static DrawAlpha drawAlpha(double opacity) { return std::trunc(std::min(opacity, 1.0) * 32768.0); }
};

struct DepthFloatTraits {
    using Pixel = PF_PixelFloat;
    using Channel = float;
    static constexpr float full = 1.0f;
    static constexpr bool isFloat = true;

    static Pixel pick(const PixelForms &forms) { return forms.colorF; }
    // The opacity in single precision.
    using DrawAlpha = float;
    static DrawAlpha drawAlpha(double opacity) { return static_cast<float>(opacity); }
};

// A pixel's alpha from the point's draw alpha and the pixel's coverage:
// trunc(drawAlpha * coverage) at the integer depths, the product in double
// rounded to single in float.
template <class Traits>
typename Traits::Channel scaledAlpha(typename Traits::DrawAlpha drawAlpha, double coverage) {
    if constexpr (Traits::isFloat) {
        return static_cast<float>(drawAlpha * coverage);
    } else {
        return static_cast<typename Traits::Channel>(static_cast<int32_t>(drawAlpha * coverage));
    }
}

// The alpha of a fully covered pixel.
template <class Traits>
typename Traits::Channel fullAlpha(typename Traits::DrawAlpha drawAlpha) {
    return static_cast<typename Traits::Channel>(drawAlpha);
}
