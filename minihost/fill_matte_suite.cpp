// minihost's "PF Fill Matte Suite" 2: fills a world, or a rectangle of it, with one colour.
#include "hostapi/pf_suites.h"
#include "minihost/host_internals.h"

namespace minihost {
namespace {

PF_Err fill8(PF_ProgPtr, const PF_Pixel *, const PF_Rect *, PF_EffectWorld *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err fill16(PF_ProgPtr, const PF_Pixel16 *, const PF_Rect *, PF_EffectWorld *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err fillFloat(PF_ProgPtr, const PF_PixelFloat *, const PF_Rect *, PF_EffectWorld *) { return PF_Err_BAD_CALLBACK_PARAM; }

}  // namespace

const void *fillMatteSuite() {
    static const PF_FillMatteSuite2 suite = {fill8, fill16, fillFloat};
    return &suite;
}

}  // namespace minihost
