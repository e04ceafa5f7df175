// Smart pre-render (PF_Cmd_SMART_PRE_RENDER): the frame's parameter snapshot,
// handed to the render as pre-render data, and the input layer request.
#pragma once

#include "engine/pattern_params.h"
#include "hostapi/hostapi.h"

// The parameters the pre-render reads, in the order it reads them.
constexpr int kSnapshotParamCount = 51;
extern const int kSnapshotReadOrder[kSnapshotParamCount];

// Zeroes `snapshot` (padding included) and fills it from parameter values
// indexed by parameter index (entries not read may be anything), converted
// to engine units. `downsample` is the horizontal downsampling factor; `fmod`
// is the host's floating remainder.
void fillSnapshot(PatternParams &snapshot, const PF_ParamDef *values, double downsample,
                  A_FpLong (*fmod)(A_FpLong, A_FpLong));

// Widens `dst` to also cover `src`; an empty rectangle (left >= right or
// top >= bottom) contributes nothing.
void unionRect(PF_LRect &dst, const PF_LRect &src);

// Frees a snapshot handle once the host is done with it; installed as the
// pre-render data's deletion function.
void deletePreRenderData(void *pre_render_data, const PF_InData *in_data);

PF_Err smartPreRender(PF_InData *in_data, PF_PreRenderExtra *extra);
