// SuiteHandler: lazy, acquire-once suite slots released when the command ends.
#include "host/suite_handler.h"

#include "host/build_profile.h"

namespace {

constexpr int kSuiteCount = static_cast<int>(SuiteId::Count);

// Indexed by SuiteId. The 32-bit build asks for older versions of four
// suites whose tables are the same.
const SuiteName kSuiteNames[kSuiteCount] = {
    {kPFHandleSuite, kProfileX86 ? kPFHandleSuiteVersion1 : kPFHandleSuiteVersion2},
    {kPFANSISuite, kPFANSISuiteVersion1},
    {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7},
    {kPFParamUtilsSuite, kProfileX86 ? kPFParamUtilsSuiteVersion1 : kPFParamUtilsSuiteVersion2},
    {kPFPathQuerySuite, kPFPathQuerySuiteVersion1},
    {kPFPathDataSuite, kPFPathDataSuiteVersion1},
    {kPFWorldSuite, kPFWorldSuiteVersion1},
    {kPFSampling8Suite, kPFSamplingSuiteVersion1},
    {kPFSampling16Suite, kPFSamplingSuiteVersion1},
    {kPFSamplingFloatSuite, kPFSamplingSuiteVersion1},
    {kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1},
    {kAEGPEffectSuite, kAEGPEffectSuiteVersion3},
    {kAEGPStreamSuite, kProfileX86 ? kAEGPStreamSuiteVersion7 : kAEGPStreamSuiteVersion9},
    {kAEGPKeyframeSuite, kProfileX86 ? kAEGPKeyframeSuiteVersion3 : kAEGPKeyframeSuiteVersion4},
};

}  // namespace

SuiteName suiteName(SuiteId id) { return kSuiteNames[static_cast<int>(id)]; }

SuiteHandler::SuiteHandler(const SPBasicSuite *basicSuite) : basic(basicSuite), slots{} {
    if (!basic) throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
}

SuiteHandler::~SuiteHandler() {
    for (int i = 0; i < kSuiteCount; ++i) {
        if (!slots[i]) continue;
        // Nothing can be reported from here; the result is of no use.
        basic->ReleaseSuite(kSuiteNames[i].name, kSuiteNames[i].version);
    }
}

const void *acquireSuite(SuiteHandler &suites, SuiteId id) {
    const int slot = static_cast<int>(id);
    if (suites.slots[slot]) return suites.slots[slot];
    const SuiteName &suite = kSuiteNames[slot];
    const void *table = nullptr;
    const SPErr err = suites.basic->AcquireSuite(suite.name, suite.version, &table);
    if (err != kSPNoError || !table) {
        // A table handed back together with an error is not ours to keep, but
        // the host counted it: give it back so nothing stays acquired.
        if (table) suites.basic->ReleaseSuite(suite.name, suite.version);
        throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
    }
    suites.slots[slot] = table;
    return table;
}
