// Smart pre-render (PF_Cmd_SMART_PRE_RENDER): the frame's parameter snapshot,
// handed to the render as pre-render data, and the input layer request.
#pragma once

#include "host/param_table.h"
#include "hostapi/hostapi.h"

// Widens `dst` to also cover `src`; an empty rectangle (left >= right or
// top >= bottom) contributes nothing.
void unionRect(PF_LRect &dst, const PF_LRect &src);

// Frees a snapshot handle once the host is done with it; installed as the
// pre-render data's deletion function.
void deletePreRenderData(void *pre_render_data, const PF_InData *in_data);

PF_Err smartPreRender(PF_InData *in_data, PF_PreRenderExtra *extra);
