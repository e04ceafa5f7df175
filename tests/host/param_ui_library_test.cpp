// The parameter UI state handler through minihost: which parameters a control
// panel shows greyed under each choice, the parameter state in the sequence
// data, and every host call of the handler failing in turn.
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/engine/frame_fixture.h"
#include "tests/support/plugin_paths.h"

namespace frametest {
namespace {

using Names = std::set<std::string>;

// Greyed with the registered values: no mask, "Vertex", "Circle", every
// mode "Normal".
const Names kGreyedAtFirst = {
    "Line Loop",        "Sub Mode",      "Order Seed", "Offset",         "Side",  "Layer",      "--Layer Setting--",
    "Layer Blend Mode", "Color Opacity", "Keyframe",   "Depend On Path", "Phase", "Delta Phase"};

struct ParamUi : FrameTest {
    void SetUp() override {
        FrameTest::SetUp();
        set("Path", 0);
    }

    Names greyed() {
        Names names;
        for (int index = 1; index < int(host.paramDefs.size()); ++index)
            if (minihost::paramDisabled(host, index)) names.insert(host.paramDefs[size_t(index)].name);
        return names;
    }

    // `base` with `plus` added and `minus` taken away.
    static Names changed(Names base, const Names &plus, const Names &minus) {
        base.insert(plus.begin(), plus.end());
        for (const std::string &name : minus) base.erase(name);
        return base;
    }

    PF_Err update() {
        minihost::resetLedger(host);
        return minihost::updateParamsUI(host);
    }

    // The first byte of the global data block.
    A_u_char *stateValidByte() { return *static_cast<A_u_char **>(static_cast<void *>(host.globalData)); }
};

const Names kStroke = {"--Stroke--",
                       "Stroke Thickness",
                       "Stroke Over",
                       "Stroke Mode",
                       "Stroke Color",
                       "Stroke Hue Variance",
                       "Stroke Lightness Variance",
                       "Stroke Saturation Variance",
                       "Stroke Color Seed",
                       "Stroke Delta Hue",
                       "Stroke Delta Lightness",
                       "Stroke Delta Saturation"};
const Names kLayerRows = {"Layer", "--Layer Setting--", "Layer Blend Mode", "Color Opacity"};
const Names kPhaseRows = {"Depend On Path", "Phase", "Delta Phase"};

TEST_P(ParamUi, GreyedParametersFollowTheChoicesAndTheMask) {
    struct Case {
        const char *what;
        std::vector<std::pair<const char *, double>> values;
        bool openMask;
        Names greyed;
    };
    const std::vector<Case> cases = {
        {"registered values", {}, false, kGreyedAtFirst},
        // No mask counts as closed: "Offset" works for "Number".
        {"number, no mask", {{"Mode", 2}}, false, changed(kGreyedAtFirst, {"Vertex Offset"}, {"Sub Mode", "Offset"})},
        {"line constant",
         {{"Mode", 3}, {"Sub Mode", 1}},
         false,
         changed(changed(kGreyedAtFirst, kStroke, {"Sub Mode", "Offset"}), {"Number", "Vertex Offset"}, {})},
        {"line dependent, closed mask",
         {{"Mode", 3}, {"Path", 1}},
         false,
         changed(kGreyedAtFirst, kStroke, {"Sub Mode", "Offset", "Line Loop"})},
        // An open mask greys the offsets and the loop whatever the modes.
        {"line dependent, open mask",
         {{"Mode", 3}, {"Path", 1}},
         true,
         changed(changed(kGreyedAtFirst, kStroke, {"Sub Mode"}), {"Vertex Offset"}, {})},
        {"layer: no stroke, phase rows back",
         {{"Shape Mode", 3}},
         false,
         changed(changed(kGreyedAtFirst, kStroke, kLayerRows), {}, kPhaseRows)},
        {"polygon", {{"Shape Mode", 2}}, false, changed(kGreyedAtFirst, {}, changed(kPhaseRows, {"Side"}, {}))},
        {"keyframe shape",
         {{"Shape Mode", 4}},
         false,
         changed(kGreyedAtFirst, {}, changed(changed(kLayerRows, kPhaseRows, {}), {"Keyframe"}, {}))},
        // A dependent stroke keeps its deltas.
        {"dependent stroke",
         {{"Stroke Mode", 4}},
         false,
         changed(kGreyedAtFirst,
                 {"Stroke Color", "Stroke Hue Variance", "Stroke Lightness Variance", "Stroke Saturation Variance",
                  "Stroke Color Seed"},
                 {})},
        {"keyframed stroke",
         {{"Stroke Mode", 2}},
         false,
         changed(kGreyedAtFirst,
                 {"Stroke Hue Variance", "Stroke Lightness Variance", "Stroke Saturation Variance", "Stroke Color Seed",
                  "Stroke Delta Hue", "Stroke Delta Lightness", "Stroke Delta Saturation"},
                 {})},
        {"keyframed radius, colour and opacity, random order",
         {{"Radius Mode", 2}, {"Color Mode", 3}, {"Opacity Mode", 2}, {"Order", 3}},
         false,
         changed(kGreyedAtFirst,
                 {"Min Radius", "Delta Radius", "Radius Seed", "Hue Variance", "Lightness Variance",
                  "Saturation Variance", "Delta Hue", "Delta Lightness", "Delta Saturation", "Color Seed",
                  "Min Opacity", "Delta Opacity", "Opacity Seed"},
                 {"Order Seed"})},
    };
    for (const Case &c : cases) {
        resetScene();
        set("Path", 0);
        host.masks = {polyline(!c.openMask, {vertex(10, 10), vertex(50, 12), vertex(40, 40)})};
        for (const auto &[name, value] : c.values) set(name, value);
        ASSERT_EQ(update(), PF_Err_NONE) << c.what;
        EXPECT_EQ(greyed(), c.greyed) << c.what;
        EXPECT_TRUE(host.outData.out_flags & PF_OutFlag_REFRESH_UI) << c.what;
    }
}

TEST_P(ParamUi, BothCommandsChangeOnlyTheDisabledBit) {
    set("Shape Mode", 3);
    set("Stroke Mode", 4);
    const std::vector<PF_ParamDef> before = host.paramDefs;
    ASSERT_EQ(update(), PF_Err_NONE);
    const std::vector<PF_ParamDef> afterUpdate = host.paramDefs;
    host.paramDefs = before;
    ASSERT_EQ(minihost::userChangedParam(host, minihost::paramIndex(host, "Shape Mode")), PF_Err_NONE);
    int changedFlags = 0;
    for (size_t i = 1; i < before.size(); ++i) {
        PF_ParamDef a = before[i], b = host.paramDefs[i];
        EXPECT_EQ(afterUpdate[i].ui_flags, b.ui_flags) << a.name;
        changedFlags += a.ui_flags != b.ui_flags;
        a.ui_flags &= ~PF_PUI_DISABLED;
        b.ui_flags &= ~PF_PUI_DISABLED;
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << a.name;
    }
    EXPECT_GT(changedFlags, 5);
}

TEST_P(ParamUi, TheStateIsRenewedWhenStaleAndTestedOnlyWhenRecorded) {
    // The one-byte block of sequence setup is never tested: renewed at once.
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(minihost::callCount(host, "PF_HasParamChanged"), 0);
    EXPECT_EQ(minihost::callCount(host, "PF_GetCurrentState"), 1);
    PF_Handle recorded = host.sequenceData;
    EXPECT_EQ(*stateValidByte(), 1);

    struct Step {
        const char *what;
        void (*change)(ParamUi &t);
        long renewals;
    };
    const Step steps[] = {
        {"unchanged", [](ParamUi &) {}, 0},
        {"a value changed", [](ParamUi &t) { t.set("Side", 7); }, 1},
        {"state-valid byte 0", [](ParamUi &t) { *t.stateValidByte() = 0; }, 1},
        // No handle for the new state: the old one stays, silently.
        {"no handle", [](ParamUi &t) { t.set("Side", 9), t.host.faults.failHandleAllocation = 1; }, 0},
    };
    for (const Step &step : steps) {
        step.change(*this);
        ASSERT_EQ(update(), PF_Err_NONE) << step.what;
        host.faults.failHandleAllocation = 0;
        EXPECT_EQ(minihost::callCount(host, "PF_HasParamChanged"), 1) << step.what;
        EXPECT_EQ(minihost::callCount(host, "PF_GetCurrentState"), step.renewals) << step.what;
        EXPECT_EQ(host.sequenceData != recorded, step.renewals == 1) << step.what;
        recorded = host.sequenceData;
        EXPECT_EQ(host.ledger.handles, 0) << step.what;  // a new block for each one disposed of
        EXPECT_EQ(host.ledger.lockedHandles, 0) << step.what;
        EXPECT_EQ(*stateValidByte(), 1) << step.what;
    }
}

TEST_P(ParamUi, WithoutGlobalDataNothingIsTestedOrUpdated) {
    const PF_Handle global = host.globalData;
    host.globalData = nullptr;
    const PF_Err err = update();
    host.globalData = global;
    EXPECT_EQ(err, PF_Err_NONE);
    EXPECT_EQ(host.outData.out_flags, PF_OutFlag_REFRESH_UI);
    EXPECT_EQ(minihost::callCount(host, "PF_UpdateParamUI"), 0);
    EXPECT_EQ(minihost::callCount(host, "PF_GetCurrentState"), 0);
}

// An open mask and a stale state: each call of the handler fails in turn.
TEST_P(ParamUi, EveryHostCallFailingInTurn) {
    host.masks = {polyline(false, {vertex(10, 10), vertex(50, 12)})};
    set("Path", 1);
    host.logCalls = true;
    ASSERT_EQ(update(), PF_Err_NONE);  // records the state
    *stateValidByte() = 0;
    ASSERT_EQ(update(), PF_Err_NONE);
    const std::vector<minihost::CallRecord> calls = host.calls;
    const PF_Err injected = 0x5eed;
    int failures = 0;
    std::map<std::string, int> seen;
    for (const minihost::CallRecord &call : calls) {
        const std::string &function = call.function;
        const int nth = ++seen[function];
        if (function == "AcquireSuite" || function == "ReleaseSuite" || function.rfind("host_", 0) == 0 ||
            function == "strcpy")
            continue;
        *stateValidByte() = 0;  // the state is renewed every time
        host.faults.failCall.clear();
        host.faults.failCall[function] = {nth, injected};
        const PF_Err err = update();
        ++failures;
        const bool maskCall = function.rfind("PF_", 0) == 0 && function.find("Path") != std::string::npos;
        EXPECT_EQ(err, injected) << function << " #" << nth;
        if (maskCall) {
            EXPECT_EQ(host.outData.out_flags, PF_OutFlag_REFRESH_UI) << function;
            EXPECT_EQ(minihost::callCount(host, "PF_UpdateParamUI"), 0) << function;
        } else {
            EXPECT_EQ(host.outData.out_flags, PF_OutFlag_DISPLAY_ERROR_MESSAGE | PF_OutFlag_REFRESH_UI) << function;
            EXPECT_EQ(minihost::shownMessage(host), "ERROR") << function;
            // No update after the one that failed.
            const long updates = minihost::callCount(host, "PF_UpdateParamUI");
            EXPECT_EQ(updates, function == "PF_UpdateParamUI" ? nth : 0) << function << " #" << nth;
        }
        // Nothing leaked or held; the sequence data is a block the next call
        // can use without an invalid call.
        EXPECT_EQ(host.ledger.handles, 0) << function << " #" << nth;
        EXPECT_EQ(host.ledger.lockedHandles, 0) << function << " #" << nth;
        // A check-in the host refused is the one thing left held.
        EXPECT_EQ(host.ledger.checkouts, function == "PF_CheckinPath" ? 1 : 0) << function << " #" << nth;
        EXPECT_EQ(host.ledger.suites, 0) << function << " #" << nth;
        host.faults.failCall.clear();
        EXPECT_EQ(update(), PF_Err_NONE) << function << " #" << nth;
        EXPECT_EQ(host.ledger.invalidCalls, 0) << function << " #" << nth;
    }
    host.faults.failCall.clear();
    EXPECT_GE(failures, 40 + 4);
}

INSTANTIATE_TEST_SUITE_P(Profiles, ParamUi, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace frametest
