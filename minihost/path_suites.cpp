// minihost's "PF Path Query Suite" 1 and "PF Path Data Suite" 1: the layer's
// masks as path outlines, measured and evaluated segment by segment.
#include "hostapi/pf_suites.h"
#include "minihost/host_internals.h"

namespace minihost {
namespace {

PF_Err numPaths(PF_ProgPtr, A_long *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err pathInfo(PF_ProgPtr, A_long, PF_PathID *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err checkoutPath(PF_ProgPtr, PF_PathID, A_long, A_long, A_u_long, PF_PathOutlinePtr *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err checkinPath(PF_ProgPtr, PF_PathID, PF_Boolean, PF_PathOutlinePtr) { return PF_Err_BAD_CALLBACK_PARAM; }

PF_Err pathIsOpen(PF_ProgPtr, PF_PathOutlinePtr, PF_Boolean *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err pathNumSegments(PF_ProgPtr, PF_PathOutlinePtr, A_long *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err pathVertexInfo(PF_ProgPtr, PF_PathOutlinePtr, A_long, PF_PathVertex *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err pathPrepareSegLength(PF_ProgPtr, PF_PathOutlinePtr, A_long, A_long, PF_PathSegPrepPtr *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err pathGetSegLength(PF_ProgPtr, PF_PathOutlinePtr, A_long, PF_PathSegPrepPtr *, A_FpLong *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err pathEvalSegLength(PF_ProgPtr, PF_PathOutlinePtr, PF_PathSegPrepPtr *, A_long, A_FpLong, A_FpLong *, A_FpLong *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err pathEvalSegLengthDeriv1(PF_ProgPtr, PF_PathOutlinePtr, PF_PathSegPrepPtr *, A_long, A_FpLong, A_FpLong *, A_FpLong *, A_FpLong *, A_FpLong *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err pathCleanupSegLength(PF_ProgPtr, PF_PathOutlinePtr, A_long, PF_PathSegPrepPtr *) { return PF_Err_BAD_CALLBACK_PARAM; }
PF_Err pathIsInverted(PF_ProgPtr, PF_PathID, PF_Boolean *) { return PF_Err_BAD_CALLBACK_PARAM; }

}  // namespace

const void *pathQuerySuite() {
    static const PF_PathQuerySuite1 suite = {numPaths, pathInfo, checkoutPath, checkinPath};
    return &suite;
}

const void *pathDataSuite() {
    static const PF_PathDataSuite1 suite = {
        pathIsOpen,        pathNumSegments,         pathVertexInfo,       pathPrepareSegLength,
        pathGetSegLength,  pathEvalSegLength,       pathEvalSegLengthDeriv1,
        pathCleanupSegLength, pathIsInverted};
    return &suite;
}

}  // namespace minihost
