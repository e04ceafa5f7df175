// minihost's "PF ColorFloat Suite" 1: HLS conversions and luminance of float pixels.
#include "hostapi/pf_suites.h"
#include "minihost/host_internals.h"

namespace minihost {
namespace {

PF_Err rgbToHls(PF_ProgPtr, PF_PixelFloat *, PF_HLS_Pixel) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err hlsToRgb(PF_ProgPtr, PF_HLS_Pixel, PF_PixelFloat *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err luminance(PF_ProgPtr, PF_PixelFloat *, A_FpShort *) { return PF_Err_BAD_CALLBACK_PARAM; }

}  // namespace

const void *colorFloatSuite() {
    static const PF_ColorCallbacksFloatSuite1 suite = {rgbToHls, hlsToRgb, luminance};
    return &suite;
}

}  // namespace minihost
