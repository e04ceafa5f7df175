// SuiteHandler: owns the host suites one command acquires by name and version.
// Each suite is acquired on first use and released when the handler goes.
#pragma once

#include "engine/suite_access.h"
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

// Suites only the host binding uses; the render's accessors are declared
// with the engine.
const PF_ANSICallbacksSuite1 *ansiSuite(SuiteHandler &suites);
const AEGP_UtilitySuite7 *utilitySuite(SuiteHandler &suites);
const PF_ParamUtilsSuite1 *paramUtilsSuite(SuiteHandler &suites);
