// A scripted stand-in for the host, for unit tests of the host binding's
// internals: basic suite, handle suite, ANSI callbacks, parameter and layer
// callbacks, each recording its calls and failing on request.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "hostapi/hostapi.h"

struct FakeHost {
    FakeHost();
    ~FakeHost();
    FakeHost(const FakeHost &) = delete;
    FakeHost &operator=(const FakeHost &) = delete;

    PF_InData in{};
    PF_OutData out{};
    PF_UtilCallbacks utils{};
    SPBasicSuite basic{};

    // Every host call in order: "AcquireSuite PF Handle Suite 2",
    // "checkout_param 7", "sprintf", ...
    std::vector<std::string> calls;
    int count(const std::string &prefix) const;

    // Suites: refused names, and how many of each "name version" are held.
    std::set<std::string> missingSuites;
    std::map<std::string, int> heldSuites;
    int suitesHeld() const;

    // Handles: allocation and lock failures on request, live handles.
    bool failNewHandle = false;
    bool failLock = false;
    std::set<PF_Handle> liveHandles;

    // Parameters: what add_param received (name included), and the values
    // checkout_param hands out, indexed by parameter index.
    std::vector<PF_ParamDef> added;
    int failAddParamAt = 0;  // 1-based call that fails (0: none)
    PF_Err addParamError = PF_Err_OUT_OF_MEMORY;
    std::vector<PF_ParamDef> values;
    std::vector<int> checkedOut;
    int checkedIn = 0;
    int failCheckoutAt = 0;  // 1-based call that fails (0: none)
    PF_Err checkoutError = PF_Err_INTERNAL_STRUCT_DAMAGED;

    // Smart pre-render records.
    PF_PreRenderInput preInput{};
    PF_PreRenderOutput preOutput{};
    PF_PreRenderCallbacks preCallbacks{};
    PF_PreRenderExtra preExtra{};
    PF_CheckoutResult layerResult{};
    PF_RenderRequest layerRequest{};
    int layerCheckouts = 0;
    PF_Err layerError = PF_Err_NONE;

    // AEGP registration.
    PF_Err registerError = PF_Err_NONE;
    AEGP_PluginID pluginId = 77;
};

// The fake that callbacks without an effect reference report to.
FakeHost &currentFake();
