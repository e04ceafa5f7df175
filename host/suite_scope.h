// SuiteScope: one suite acquired or released with a message for the user when
// the host cannot serve it. The render holds its frame-long suites this way.
#pragma once

#include "hostapi/hostapi.h"

// On failure both set PF_OutFlag_DISPLAY_ERROR_MESSAGE, write `message` (or
// the default text) into return_msg and return 516.
PF_Err suiteScopeAcquire(const PF_InData *in_data, PF_OutData *out_data, const char *name, A_long version,
                         const char *message, const void **suite);
PF_Err suiteScopeRelease(const PF_InData *in_data, PF_OutData *out_data, const char *name, A_long version,
                         const char *message);
