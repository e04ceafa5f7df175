// How the render reaches the host's suites. The command handler owns one
// SuiteHandler per command and passes it down; the functions are defined with
// it. A missing suite throws the PF_Err 516.
#pragma once

#include "hostapi/hostapi.h"

struct SuiteHandler;

// Lazily acquired once per handler; released when the handler goes.
// The handle, stream and keyframe suites come in the profile's version.
const PF_HandleSuite1 *handleSuite(SuiteHandler &suites);
const PF_PathQuerySuite1 *pathQuerySuite(SuiteHandler &suites);
const PF_PathDataSuite1 *pathDataSuite(SuiteHandler &suites);
const PF_WorldSuite1 *worldSuite1(SuiteHandler &suites);
const PF_Sampling8Suite1 *sampling8Suite(SuiteHandler &suites);
const PF_Sampling16Suite1 *sampling16Suite(SuiteHandler &suites);
const PF_SamplingFloatSuite1 *samplingFloatSuite(SuiteHandler &suites);
const AEGP_PFInterfaceSuite1 *pfInterfaceSuite(SuiteHandler &suites);
const AEGP_EffectSuite3 *effectSuite(SuiteHandler &suites);
const AEGP_StreamSuite9 *streamSuite(SuiteHandler &suites);
const AEGP_KeyframeSuite4 *keyframeSuite(SuiteHandler &suites);

// Scoped acquisition with a message for the user: on failure sets
// PF_OutFlag_DISPLAY_ERROR_MESSAGE, writes `message` (or the default text)
// into return_msg and returns 516.
PF_Err suiteScopeAcquire(const PF_InData *in_data, PF_OutData *out_data, const char *name, A_long version,
                         const char *message, const void **suite);
PF_Err suiteScopeRelease(const PF_InData *in_data, PF_OutData *out_data, const char *name, A_long version,
                         const char *message);
