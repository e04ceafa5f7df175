// SuiteHandler: owns the host suites one command acquires by name and version.
// Each suite is acquired on first use and released when the handler goes.
#pragma once

#include "hostapi/hostapi.h"

// The suites the plug-in uses, one slot each.
enum class SuiteId {
    Handle,
    Ansi,
    Utility,
    ParamUtils,
    PathQuery,
    PathData,
    World1,
    Sampling8,
    Sampling16,
    SamplingFloat,
    PFInterface,
    Effect,
    Stream,
    Keyframe,
    Count
};

struct SuiteName {
    const char *name;
    A_long version;  // this build's version
};

// The name and version a slot stands for in this build.
SuiteName suiteName(SuiteId id);

struct SuiteHandler {
    // Throws PF_Err 516 when the basic suite is null.
    explicit SuiteHandler(const SPBasicSuite *basicSuite);
    ~SuiteHandler();
    SuiteHandler(const SuiteHandler &) = delete;
    SuiteHandler &operator=(const SuiteHandler &) = delete;

    const SPBasicSuite *basic;
    const void *slots[static_cast<int>(SuiteId::Count)];
};

// The suite in `id`'s slot, acquired on the first call; throws PF_Err 516 when
// the host refuses it or hands back null.
const void *acquireSuite(SuiteHandler &suites, SuiteId id);

// Typed access to each slot. The handle, param utils, stream and keyframe
// suites come in the profile's version, whose tables are the same.
const PF_HandleSuite1 *handleSuite(SuiteHandler &suites);
const PF_ANSICallbacksSuite1 *ansiSuite(SuiteHandler &suites);
const AEGP_UtilitySuite7 *utilitySuite(SuiteHandler &suites);
const PF_ParamUtilsSuite1 *paramUtilsSuite(SuiteHandler &suites);
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
