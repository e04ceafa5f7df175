// The basic suite (SPBasicSuite): suites by exact name and version, refusal of
// suites named missing by fault injection, and the count of acquisitions.
#include <cstdlib>
#include <cstring>
#include <string>

#include "minihost/host_state.h"

namespace minihost {
namespace {

struct SuiteEntry {
    const char *name;
    A_long version;
    const void *(*table)();
};

const SuiteEntry suiteCatalogue[] = {
    {kPFHandleSuite, 1, handleSuite},
    {kPFHandleSuite, 2, handleSuite},
    {kPFANSISuite, 1, ansiSuite},
    {kPFWorldSuite, 1, worldSuite1},
    {kPFWorldSuite, 2, worldSuite2},
    {kPFPathQuerySuite, 1, pathQuerySuite},
    {kPFPathDataSuite, 1, pathDataSuite},
    {kPFColorCallbacksFloatSuite, 1, colorFloatSuite},
    {kPFFillMatteSuite, 2, fillMatteSuite},
    {kPFSampling8Suite, 1, sampling8Suite},
    {kPFSampling16Suite, 1, sampling16Suite},
    {kPFSamplingFloatSuite, 1, samplingFloatSuite},
    {kPFParamUtilsSuite, 1, paramUtilsSuite},
    {kPFParamUtilsSuite, 2, paramUtilsSuite},
    {kAEGPUtilitySuite, 7, utilitySuite},
    {kAEGPMaskSuite, 1, maskSuite},
    {kAEGPPFInterfaceSuite, 1, pfInterfaceSuite},
    {kAEGPEffectSuite, 3, effectSuite},
    {kAEGPStreamSuite, 7, streamSuite},
    {kAEGPStreamSuite, 9, streamSuite},
    {kAEGPKeyframeSuite, 3, keyframeSuite},
    {kAEGPKeyframeSuite, 4, keyframeSuite},
};

const SuiteEntry *findSuite(const char *name, A_long version) {
    for (const SuiteEntry &entry : suiteCatalogue)
        if (entry.version == version && std::strcmp(entry.name, name) == 0) return &entry;
    return nullptr;
}

std::string suiteDetail(const char *name, A_long version) {
    return std::string(name ? name : "(null)") + " " + std::to_string(version);
}

SPErr acquireSuite(const char *name, A_long version, const void **suite) {
    Host &host = currentHost();
    if (suite) *suite = nullptr;
    if (const PF_Err err = enterCall(host, "AcquireSuite", suiteDetail(name, version))) return err;
    if (!name || !suite) return refused(host);
    if (host.faults.missingSuites.count(name)) return kSPSuiteNotFoundError;
    const SuiteEntry *entry = findSuite(name, version);
    if (!entry) return kSPSuiteNotFoundError;
    *suite = entry->table();
    ++host.internals->acquiredSuites[{name, version}];
    ++host.ledger.suites;
    return kSPNoError;
}

SPErr releaseSuite(const char *name, A_long version) {
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "ReleaseSuite", suiteDetail(name, version))) return err;
    const auto held =
        name ? host.internals->acquiredSuites.find({name, version}) : host.internals->acquiredSuites.end();
    if (held == host.internals->acquiredSuites.end() || held->second == 0) return refused(host);
    if (--held->second == 0) host.internals->acquiredSuites.erase(held);
    --host.ledger.suites;
    return kSPNoError;
}

A_Boolean isEqual(const char *a, const char *b) {
    enterCall(currentHost(), "IsEqual");
    return a && b && std::strcmp(a, b) == 0;
}

SPErr allocateBlock(size_t size, void **block) {
    if (const PF_Err err = enterCall(currentHost(), "AllocateBlock")) return err;
    if (!block) return PF_Err_BAD_CALLBACK_PARAM;
    *block = std::malloc(size ? size : 1);
    if (!*block) return PF_Err_OUT_OF_MEMORY;
    return kSPNoError;
}

SPErr freeBlock(void *block) {
    enterCall(currentHost(), "FreeBlock");
    std::free(block);
    return kSPNoError;
}

SPErr reallocateBlock(void *block, size_t size, void **newBlock) {
    if (const PF_Err err = enterCall(currentHost(), "ReallocateBlock")) return err;
    if (!newBlock) return PF_Err_BAD_CALLBACK_PARAM;
    void *grown = std::realloc(block, size ? size : 1);
    if (!grown) return PF_Err_OUT_OF_MEMORY;
    *newBlock = grown;
    return kSPNoError;
}

SPErr undefined() {
    enterCall(currentHost(), "Undefined");
    return PF_Err_BAD_CALLBACK_PARAM;
}

}  // namespace

SPBasicSuite basicSuiteTable() {
    return {acquireSuite, releaseSuite, isEqual, allocateBlock, freeBlock, reallocateBlock, undefined};
}

}  // namespace minihost
