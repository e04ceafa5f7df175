// Per-pixel operations of the three depths: the over composite, the linear mix
// of two colours, 8-to-16-bit conversion and the carrying of colours between
// depths. Exact per-depth arithmetic; pure functions.
#pragma once

#include "hostapi/hostapi.h"
#include "raster/pixel_format.h"

// Bottom is the pixel already in the buffer, top the pixel laid over it.
PF_Pixel compositeOver8(PF_Pixel bottom, PF_Pixel top);
PF_Pixel16 compositeOver16(PF_Pixel16 bottom, PF_Pixel16 top);
PF_PixelFloat compositeOverFloat(PF_PixelFloat bottom, PF_PixelFloat top);

// Colour at t between p0 (t = 0) and p1 (t = 1); opaque strictly between.
PF_Pixel mixPixels8(PF_Pixel p1, PF_Pixel p0, double t);
PF_Pixel16 mixPixels16(PF_Pixel16 p1, PF_Pixel16 p0, double t);
PF_PixelFloat mixPixelsFloat(PF_PixelFloat p1, PF_PixelFloat p0, double t);

// Channels 0..255 to 0..32768, alpha included.
PF_Pixel16 convert8To16(PF_Pixel pixel);
// Channels 0..255 to 0..1 in single precision, alpha included.
PF_PixelFloat convert8ToFloat(PF_Pixel pixel);
// Float channels back to the integer depths by truncation, no clamping.
PF_Pixel convertFloatTo8(PF_PixelFloat pixel);
PF_Pixel16 convertFloatTo16(PF_PixelFloat pixel);

// A colour parameter in the three forms: 8-bit as is, 16-bit by
// convert8To16, float by convert8ToFloat.
PixelForms pixelForms(PF_Pixel parameter);
