// SuiteHandler: owns the host suites one command acquires by name and version.
// Each suite is acquired on first use and released when the handler goes.
#pragma once

#include <cstddef>
#include <tuple>

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

// The table each slot holds, in SuiteId order. The handle, param utils,
// stream and keyframe suites come in the profile's version, whose tables
// are the same.
using SuiteTables =
    std::tuple<PF_HandleSuite1, PF_ANSICallbacksSuite1, AEGP_UtilitySuite7, PF_ParamUtilsSuite1, PF_PathQuerySuite1,
               PF_PathDataSuite1, PF_WorldSuite1, PF_Sampling8Suite1, PF_Sampling16Suite1, PF_SamplingFloatSuite1,
               AEGP_PFInterfaceSuite1, AEGP_EffectSuite3, AEGP_StreamSuite9, AEGP_KeyframeSuite4>;
static_assert(std::tuple_size_v<SuiteTables> == static_cast<size_t>(SuiteId::Count));

// The suite in slot `id` as its table; acquired on the first call.
template <SuiteId id>
const std::tuple_element_t<static_cast<size_t>(id), SuiteTables> *suite(SuiteHandler &suites) {
    return static_cast<const std::tuple_element_t<static_cast<size_t>(id), SuiteTables> *>(acquireSuite(suites, id));
}
