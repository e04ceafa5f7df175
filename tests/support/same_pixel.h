// Channel-by-channel equality of pixels at the three depths, for tests that
// compare a pixel with an expected one. Float channels compare by value.
#pragma once

#include "hostapi/pf_effect.h"

inline bool samePixel(const PF_Pixel &a, const PF_Pixel &b) {
    return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}

inline bool samePixel(const PF_Pixel16 &a, const PF_Pixel16 &b) {
    return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}

inline bool samePixel(const PF_PixelFloat &a, const PF_PixelFloat &b) {
    return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}
