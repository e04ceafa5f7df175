// The smart-render command: one frame from the pre-render snapshot to the
// output pixels.
#pragma once

#include "engine/suite_access.h"
#include "hostapi/hostapi.h"

PF_Err smartRender(PF_InData *in_data, PF_OutData *out_data, PF_SmartRenderExtra *extra, SuiteHandler &suites);
