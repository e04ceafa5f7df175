// Smart render (PF_Cmd_SMART_RENDER): the host-facing half of a frame. It
// holds everything the frame acquires from the host (the snapshot's lock,
// the input and output, suites, the mask checkout, the per-frame tables),
// has the engine build the pattern, draws it and reports progress.
#pragma once

#include "hostapi/hostapi.h"

PF_Err smartRender(PF_InData *in_data, PF_OutData *out_data, PF_SmartRenderExtra *extra);
