// The per-pixel operations of the three depths as plain functions, and the
// carrying of parameter colours between depths.
#include "raster/pixel_ops.h"

#include <cmath>
#include <cstdint>

#include "raster/pixel_kernels.h"

PF_Pixel compositeOver8(PF_Pixel bottom, PF_Pixel top) { return compositeOverReference<Depth8Traits>(bottom, top); }

PF_Pixel16 compositeOver16(PF_Pixel16 bottom, PF_Pixel16 top) {
    return compositeOverReference<Depth16Traits>(bottom, top);
}

PF_PixelFloat compositeOverFloat(PF_PixelFloat bottom, PF_PixelFloat top) {
    return compositeOverReference<DepthFloatTraits>(bottom, top);
}

PF_Pixel mixPixels8(PF_Pixel p1, PF_Pixel p0, double t) { return mixReference<Depth8Traits>(p1, p0, t); }

PF_Pixel16 mixPixels16(PF_Pixel16 p1, PF_Pixel16 p0, double t) { return mixReference<Depth16Traits>(p1, p0, t); }

PF_PixelFloat mixPixelsFloat(PF_PixelFloat p1, PF_PixelFloat p0, double t) {
    return mixReference<DepthFloatTraits>(p1, p0, t);
}

PF_Pixel16 convert8To16(PF_Pixel pixel) {
    auto channel = [](int32_t c) { return static_cast<A_u_short>((c * 32768 + 128) / 255); };
    return PF_Pixel16{channel(pixel.alpha), channel(pixel.red), channel(pixel.green), channel(pixel.blue)};
}

PF_PixelFloat convert8ToFloat(PF_Pixel pixel) {
    auto channel = [](int32_t c) { return static_cast<float>(c / 255.0); };
    return PF_PixelFloat{channel(pixel.alpha), channel(pixel.red), channel(pixel.green), channel(pixel.blue)};
}

PixelForms pixelForms(PF_Pixel parameter) {
    return PixelForms{parameter, convert8To16(parameter), convert8ToFloat(parameter)};
}

namespace {

// trunc(f * scale) with the product in single precision. Channels from the
// host's colour conversion lie in 0..1; anything outside the channel's range
// (or NaN) is pinned to it rather than wrapped round.
template <class Channel>
Channel truncateChannel(float f, float scale, int32_t full) {
    const float v = f * scale;
    if (!(v >= 0.0f)) return 0;
    if (v >= static_cast<float>(full)) return static_cast<Channel>(full);
    return static_cast<Channel>(static_cast<int32_t>(v));
}

}  // namespace

PF_Pixel convertFloatTo8(PF_PixelFloat pixel) {
    auto channel = [](float f) { return truncateChannel<A_u_char>(f, 255.0f, 255); };
    return PF_Pixel{channel(pixel.alpha), channel(pixel.red), channel(pixel.green), channel(pixel.blue)};
}

PF_Pixel16 convertFloatTo16(PF_PixelFloat pixel) {
    // 16-bit channels may carry up to 65535 although full intensity is 32768.
    auto channel = [](float f) { return truncateChannel<A_u_short>(f, 32768.0f, 65535); };
    return PF_Pixel16{channel(pixel.alpha), channel(pixel.red), channel(pixel.green), channel(pixel.blue)};
}
