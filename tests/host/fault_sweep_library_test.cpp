// Every host call of every command failing in turn: setup, re-setup, both UI
// commands, both setdowns, and whole renders of scenes that reach each mode, shape, blend
// path, keyframe rule and layer stamp, at each depth. After each run the
// command answers with an error (or, for the calls whose failure it is
// documented to shrug off, with success), makes no further host call but
// releases, and leaves nothing held but what a refused release keeps. Then
// every suite missing in turn, and a render cancelled at every point.
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/engine/frame_fixture.h"
#include "tests/support/plugin_paths.h"

namespace frametest {
namespace {

const std::set<std::string> &kCannotFail = hosttest::callsThatCannotFail();

// Giving back what was taken: made after an error too.
const std::set<std::string> kReleases = {"ReleaseSuite",         "host_unlock_handle", "host_dispose_handle",
                                         "host_get_handle_size", "dispose_world",      "PF_DisposeWorld",
                                         "checkin_param",        "PF_CheckinPath",     "PF_PathCleanupSegLength",
                                         "AEGP_DisposeEffect",   "AEGP_DisposeStream", "AEGP_DisposeStreamValue"};

// What the plug-in answers instead of a failed call's own error: a suite or a
// checkout it cannot use is 516; a handle the host does not give is 4 or 512,
// depending on the command.
const std::map<std::string, std::set<PF_Err>> kAnsweredInstead = {
    {"AcquireSuite", {PF_Err_BAD_CALLBACK_PARAM}},
    {"checkout_output", {PF_Err_BAD_CALLBACK_PARAM}},
    {"checkout_layer_pixels", {PF_Err_BAD_CALLBACK_PARAM}},
    {"PF_GetPixelFormat", {PF_Err_BAD_CALLBACK_PARAM}},
    {"host_new_handle", {PF_Err_OUT_OF_MEMORY, PF_Err_INTERNAL_STRUCT_DAMAGED}},
    {"host_lock_handle", {PF_Err_OUT_OF_MEMORY, PF_Err_INTERNAL_STRUCT_DAMAGED, PF_Err_BAD_CALLBACK_PARAM}}};

// Calls that allocate: failed once more with the host's out-of-memory error.
const std::set<std::string> kAllocating = {"new_world",
                                           "PF_NewWorld",
                                           "AEGP_GetNewEffectForEffect",
                                           "AEGP_GetNewEffectStreamByIndex",
                                           "AEGP_GetNewKeyframeValue",
                                           "AEGP_GetNewStreamValue"};

// What a refused release leaves held, by function.
int heldAfterRefused(const minihost::Ledger &l, const std::string &function) {
    if (function == "PF_CheckinPath" || function == "PF_PathCleanupSegLength" || function == "checkin_param")
        return l.checkouts;
    if (function == "dispose_world" || function == "PF_DisposeWorld") return l.worlds;
    if (function == "ReleaseSuite") return l.suites;
    if (function == "AEGP_DisposeEffect") return l.effects;
    if (function == "AEGP_DisposeStream") return l.streams;
    if (function == "AEGP_DisposeStreamValue") return l.streamValues + l.streams;  // the stream waits for it
    return 0;
}

struct Sweep : FrameTest {
    int faults = 0;

    // Runs `command` clean, then once per host call it made with that call
    // failing, `prepare` before each run; `shrugged` are the functions whose
    // failure it answers with success by design; `keptWithoutSuites` the
    // blocks it cannot give back without its suites.
    void sweep(const char *what, const std::function<void()> &prepare, const std::function<PF_Err()> &command,
               const std::set<std::string> &shrugged, int keptWithoutSuites = 0) {
        SCOPED_TRACE(what);
        host.faults = minihost::Faults{};
        host.logCalls = true;
        prepare();
        minihost::resetLedger(host);
        ASSERT_EQ(command(), PF_Err_NONE);
        const std::vector<minihost::CallRecord> clean = host.calls;
        const int handles = host.ledger.handles;
        std::map<std::string, int> seen;
        std::vector<std::tuple<std::string, int, PF_Err, std::string>> runs;
        for (const minihost::CallRecord &call : clean) {
            const int nth = ++seen[call.function];
            if (kCannotFail.count(call.function)) continue;
            runs.emplace_back(call.function, nth, 0x5eed, call.detail);
            if (kAllocating.count(call.function))
                runs.emplace_back(call.function, nth, PF_Err_OUT_OF_MEMORY, call.detail);
        }
        for (const auto &[function, nth, injected, detail] : runs) {
            host.faults = minihost::Faults{};
            prepare();
            minihost::resetLedger(host);
            host.faults.failCall = {{function, {nth, injected}}};
            const PF_Err err = command();
            ++faults;
            const std::string at = function + " #" + std::to_string(nth) + " " + detail;
            if (err == PF_Err_NONE) {
                EXPECT_TRUE(shrugged.count(function) || kReleases.count(function)) << at;
            } else if (err != injected) {
                const auto instead = kAnsweredInstead.find(function);
                EXPECT_TRUE(instead != kAnsweredInstead.end() && instead->second.count(err)) << at << " gave " << err;
            }
            // After the failing call only releases.
            size_t failed = 0;
            while (failed < host.calls.size() && host.calls[failed].result != injected) ++failed;
            ASSERT_LT(failed, host.calls.size()) << at;
            if (err != PF_Err_NONE) {
                for (size_t i = failed + 1; i < host.calls.size(); ++i) {
                    const std::string &later = host.calls[i].function;
                    // The new state's handle is made before the failed
                    // test's error is looked at, then disposed of.
                    const bool stateHandle = function == "PF_HasParamChanged" && later == "host_new_handle";
                    EXPECT_TRUE(kReleases.count(later) || kCannotFail.count(later) || stateHandle)
                        << at << ", then " << later;
                }
            }
            const minihost::Ledger &l = host.ledger;
            const int refused = kReleases.count(function) ? heldAfterRefused(l, function) : 0;
            EXPECT_EQ(l.suites + l.checkouts + l.worlds + l.effects + l.streams + l.streamValues + l.lockedHandles +
                          l.preRenderBlocks,
                      refused)
                << at;
            EXPECT_LE(l.handles, handles + (function == "AcquireSuite" ? keptWithoutSuites : 0)) << at;
            EXPECT_EQ(l.invalidCalls, function == "AEGP_DisposeStreamValue" ? 1 : 0) << at;
        }
        host.faults = minihost::Faults{};
        host.logCalls = false;
    }

    PF_Err renderCommands() {
        const RenderResult result = minihost::renderFrame(host);
        return result.preRenderError ? result.preRenderError : result.renderError;
    }
};

// Scenes that between them reach every path of a render.
struct RenderScene {
    const char *what;
    std::vector<std::pair<const char *, double>> values;
    bool keyframes;
};
const std::vector<RenderScene> kScenes = {
    {"vertex circles, stroke, on the original", {{"Stroke Thickness", 2}, {"On Original", 1}}, false},
    {"number polygons turning with the path, random order",
     {{"Mode", 2}, {"Number", 3}, {"Shape Mode", 2}, {"Depend On Path", 1}, {"Order", 3}},
     false},
    {"line, constant", {{"Mode", 3}, {"Sub Mode", 1}, {"First Radius", 2}}, false},
    {"line, dependent, keyframed radius and colour",
     {{"Mode", 3}, {"First Radius", 2}, {"Radius Mode", 3}, {"Color Mode", 2}},
     true},
    {"tinted stamps, multiply",
     {{"Shape Mode", 3}, {"Layer", 1}, {"Color Opacity", 50}, {"Hue Variance", 30}, {"Blend Mode", 3}},
     false},
    {"stamps, screen on the original", {{"Shape Mode", 3}, {"Layer", 1}, {"Blend Mode", 4}, {"On Original", 1}}, false},
    {"keyframed shapes and opacity, dependent stroke",
     {{"Shape Mode", 4}, {"Layer", 1}, {"Opacity Mode", 2}, {"Stroke Mode", 4}, {"Stroke Thickness", 2}},
     true},
};

void applyScene(Sweep &t, const RenderScene &scene) {
    t.resetScene();
    t.host.input = minihost::solidImage(24, 16, PF_Pixel{255, 40, 80, 120}, Depth::Bits8);
    t.host.layers = {minihost::solidImage(6, 4, PF_Pixel{200, 90, 160, 30}, Depth::Bits8)};
    t.host.masks = {polyline(false, {vertex(4, 4), vertex(20, 6), vertex(12, 12)})};
    t.set("First Radius", 2);
    for (const auto &[name, value] : scene.values) t.set(name, value);
    if (!scene.keyframes) return;
    for (const char *name : {"First Radius", "Keyframe", "Opacity"})
        minihost::setParamKeyframes(t.host, minihost::paramIndex(t.host, name),
                                    {{0, numberValue(1)}, {1, numberValue(3)}}, minihost::Interpolation::Linear);
    minihost::setParamKeyframes(t.host, minihost::paramIndex(t.host, "Color"),
                                {{0, colorValue({255, 255, 0, 0})}, {1, colorValue({255, 0, 0, 255})}},
                                minihost::Interpolation::Linear);
}

TEST_P(Sweep, EveryHostCallOfEveryCommandFailingInTurn) {
    // Setup: a global or sequence block that cannot be locked is not
    // installed, silently.
    const auto nothing = [] {};
    sweep(
        "setup", [&] { minihost::teardownEffect(host); }, [&] { return minihost::setupEffect(host); },
        {"host_lock_handle"});
    ASSERT_EQ(minihost::setupEffect(host), PF_Err_NONE);
    // A run that could not make a new block leaves none to replace.
    const auto sequenceBlock = [&] {
        if (!host.sequenceData) minihost::sendCommand(host, PF_Cmd_SEQUENCE_SETUP);
    };
    sweep("sequence re-setup", sequenceBlock, [&] { return minihost::sendCommand(host, PF_Cmd_SEQUENCE_RESETUP); },
          {"host_lock_handle"});
    // UI update on an open mask with a stale state: no handle for a new state
    // keeps the old one; a block that cannot be locked is renewed or skipped.
    host.masks = {polyline(false, {vertex(4, 4), vertex(20, 6)})};
    set("Path", 1);
    const auto staleState = [&] {
        *static_cast<A_u_char *>(*static_cast<void **>(static_cast<void *>(host.globalData))) = 0;
    };
    sweep("parameter UI update", staleState, [&] { return minihost::updateParamsUI(host); },
          {"host_new_handle", "host_lock_handle"});
    sweep("user changed a parameter", staleState,
          [&] { return minihost::userChangedParam(host, minihost::paramIndex(host, "Path")); },
          {"host_new_handle", "host_lock_handle"});
    // Setdown gives the blocks back; a refused disposal is the only error.
    sweep(
        "sequence setdown", sequenceBlock, [&] { return minihost::sendCommand(host, PF_Cmd_SEQUENCE_SETDOWN); }, {}, 1);
    sweep(
        "global setdown",
        [&] {
            minihost::teardownEffect(host);
            minihost::setupEffect(host);
        },
        [&] { return minihost::sendCommand(host, PF_Cmd_GLOBAL_SETDOWN); }, {}, 1);
    minihost::teardownEffect(host);
    ASSERT_EQ(minihost::setupEffect(host), PF_Err_NONE);

    // Renders: clearing the frame is best effort.
    for (const RenderScene &scene : kScenes) {
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
            applyScene(*this, scene);
            host.depth = depth;
            sweep((std::string(scene.what) + ", " + depthName(depth)).c_str(), nothing,
                  [&] { return renderCommands(); }, {"fill"});
        }
    }
    std::printf("[ sweep    ] %d host calls failed in turn\n", faults);
    EXPECT_GT(faults, 3000);
}

TEST_P(Sweep, EverySuiteMissingInTurnAndEveryCancel) {
    const char *suites[] = {"PF Handle Suite",        "PF ANSI Suite",           "AEGP Utility Suite",
                            "PF Param Utils Suite",   "PF Path Query Suite",     "PF Path Data Suite",
                            "PF World Suite",         "PF Sampling8 Suite",      "PF Sampling16 Suite",
                            "PF SamplingFloat Suite", "AEGP PF Interface Suite", "AEGP Effect Suite",
                            "AEGP Stream Suite",      "AEGP Keyframe Suite",     "AEGP Mask Suite",
                            "PF ColorFloat Suite",    "PF Fill Matte Suite"};
    int runs = 0;
    for (const RenderScene &scene : kScenes) {
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
            applyScene(*this, scene);
            host.depth = depth;
            const std::string what = std::string(scene.what) + ", " + depthName(depth);
            // The suites a clean render takes.
            host.logCalls = true;
            minihost::resetLedger(host);
            ASSERT_EQ(renderCommands(), PF_Err_NONE) << what;
            std::string acquired;
            for (const minihost::CallRecord &call : host.calls)
                if (call.function == "AcquireSuite") acquired += call.detail + "|";
            host.logCalls = false;
            for (const char *missing : suites) {
                host.faults.missingSuites = {missing};
                minihost::resetLedger(host);
                const bool used = acquired.find(missing) != std::string::npos;
                EXPECT_EQ(renderCommands(), used ? PF_Err_BAD_CALLBACK_PARAM : PF_Err_NONE) << what << ": " << missing;
                expectNothingHeld(host);
                ++runs;
            }
            host.faults.missingSuites.clear();
            minihost::resetLedger(host);
            ASSERT_EQ(renderCommands(), PF_Err_NONE) << what;
            const long points = host.progressCalls;
            for (int cancel = 1; cancel <= points; ++cancel) {
                host.cancelAtProgress = cancel;
                minihost::resetLedger(host);
                EXPECT_EQ(renderCommands(), PF_Interrupt_CANCEL) << what << ": cancel at " << cancel;
                expectNothingHeld(host);
                ++runs;
            }
            host.cancelAtProgress = 0;
        }
    }
    std::printf("[ sweep    ] %d renders with a suite missing or cancelled\n", runs);
}

INSTANTIATE_TEST_SUITE_P(Profiles, Sweep, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace frametest
