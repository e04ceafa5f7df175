// minihost's "PF Sampling8/16/Float Suite" 1: nearest-neighbour and area samples of a world.
#include "hostapi/pf_suites.h"
#include "minihost/host_internals.h"

namespace minihost {
namespace {

PF_Err nn8(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_Pixel *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err sub8(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_Pixel *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err area8(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_Pixel *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err nn16(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_Pixel16 *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err sub16(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_Pixel16 *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err area16(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_Pixel16 *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err nnFloat(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_PixelFloat *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err subFloat(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_PixelFloat *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err areaFloat(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB *, PF_PixelFloat *) { return PF_Err_BAD_CALLBACK_PARAM; }

}  // namespace

const void *sampling8Suite() {
    static const PF_Sampling8Suite1 suite = {nn8, sub8, area8};
    return &suite;
}

const void *sampling16Suite() {
    static const PF_Sampling16Suite1 suite = {nn16, sub16, area16};
    return &suite;
}

const void *samplingFloatSuite() {
    static const PF_SamplingFloatSuite1 suite = {nnFloat, subFloat, areaFloat};
    return &suite;
}

}  // namespace minihost
