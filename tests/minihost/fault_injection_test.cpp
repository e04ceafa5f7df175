// Suites by exact name and version, fault injection (n-th call, missing suite,
// n-th allocation), the call log and the ledger of what the plug-in holds.
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/pf_suites.h"
#include "minihost/host_state.h"
#include "minihost/minihost.h"
#include "tests/minihost/scripted_plugin.h"
#include "tests/support/minihost_scene.h"

namespace minihost {
namespace {

using hosttest::expectNothingHeld;

struct SuiteName {
    const char *name;
    A_long version;
};

const SuiteName everySuite[] = {
    {"PF Handle Suite", 1},      {"PF Handle Suite", 2},         {"PF ANSI Suite", 1},
    {"PF World Suite", 1},       {"PF World Suite", 2},          {"PF Path Query Suite", 1},
    {"PF Path Data Suite", 1},   {"PF ColorFloat Suite", 1},     {"PF Fill Matte Suite", 2},
    {"PF Sampling8 Suite", 1},   {"PF Sampling16 Suite", 1},     {"PF SamplingFloat Suite", 1},
    {"PF Param Utils Suite", 1}, {"PF Param Utils Suite", 2},    {"AEGP Utility Suite", 7},
    {"AEGP Mask Suite", 1},      {"AEGP PF Interface Suite", 1}, {"AEGP Effect Suite", 3},
    {"AEGP Stream Suite", 7},    {"AEGP Stream Suite", 9},       {"AEGP Keyframe Suite", 3},
    {"AEGP Keyframe Suite", 4},
};

const SuiteName unknownSuites[] = {
    {"PF Handle Suite", 3},     {"PF World Suite", 3},  {"AEGP Stream Suite", 8},
    {"PF Fill Matte Suite", 1}, {"pf handle suite", 2}, {"No Such Suite", 1},
};

TEST(BasicSuite, ServesExactlyTheKnownNamesAndVersions) {
    Host host;
    runInCommand(host, [&](PF_InData &in) {
        for (const SuiteName &s : everySuite) {
            const void *suite = nullptr;
            EXPECT_EQ(in.pica_basicP->AcquireSuite(s.name, s.version, &suite), kSPNoError) << s.name << s.version;
            EXPECT_NE(suite, nullptr) << s.name << " " << s.version;
        }
        EXPECT_EQ(host.ledger.suites, int(std::size(everySuite)));
        for (const SuiteName &s : unknownSuites) {
            const void *suite = reinterpret_cast<const void *>(&host);
            EXPECT_NE(in.pica_basicP->AcquireSuite(s.name, s.version, &suite), kSPNoError) << s.name << s.version;
            EXPECT_EQ(suite, nullptr);
        }
        for (const SuiteName &s : everySuite) EXPECT_EQ(in.pica_basicP->ReleaseSuite(s.name, s.version), kSPNoError);
    });
    expectNothingHeld(host);
}

TEST(BasicSuite, ReleasingWhatIsNotHeldIsAnError) {
    Host host;
    runInCommand(host, [&](PF_InData &in) {
        const void *suite = nullptr;
        EXPECT_EQ(in.pica_basicP->AcquireSuite("PF World Suite", 2, &suite), kSPNoError);
        EXPECT_NE(in.pica_basicP->ReleaseSuite("PF World Suite", 1), kSPNoError);  // another version
        EXPECT_EQ(in.pica_basicP->ReleaseSuite("PF World Suite", 2), kSPNoError);
        EXPECT_NE(in.pica_basicP->ReleaseSuite("PF World Suite", 2), kSPNoError);  // twice
    });
    expectNothingHeld(host, 0, 2);  // the two releases of what was not held
}

TEST(BasicSuite, UtilitySuiteRegistersThePlugin) {
    Host host;
    runInCommand(host, [&](PF_InData &in) {
        const AEGP_UtilitySuite7 *utility = nullptr;
        EXPECT_EQ(in.pica_basicP->AcquireSuite("AEGP Utility Suite", 7, reinterpret_cast<const void **>(&utility)),
                  kSPNoError);
        AEGP_PluginID first = 0, second = 0;
        EXPECT_EQ(utility->AEGP_RegisterWithAEGP(nullptr, "Error!", &first), PF_Err_NONE);
        EXPECT_EQ(utility->AEGP_RegisterWithAEGP(nullptr, "Error!", &second), PF_Err_NONE);
        EXPECT_NE(first, 0);
        EXPECT_NE(first, second);
        in.pica_basicP->ReleaseSuite("AEGP Utility Suite", 7);
    });
}

TEST(Faults, MissingSuitesAreRefusedAndOthersServed) {
    Host host;
    host.faults.missingSuites = {"AEGP Mask Suite"};
    runInCommand(host, [&](PF_InData &in) {
        const void *suite = &host;
        EXPECT_EQ(in.pica_basicP->AcquireSuite("AEGP Mask Suite", 1, &suite), kSPSuiteNotFoundError);
        EXPECT_EQ(suite, nullptr);
        EXPECT_EQ(in.pica_basicP->AcquireSuite("PF Handle Suite", 2, &suite), kSPNoError);
        EXPECT_NE(suite, nullptr);
        in.pica_basicP->ReleaseSuite("PF Handle Suite", 2);
    });
    expectNothingHeld(host);
}

TEST(Faults, TheNthCallOfAFunctionFailsWithTheGivenError) {
    Host host;
    host.faults.failCall["host_lock_handle"] = {2, PF_Err_OUT_OF_MEMORY};
    host.faults.failCall["AcquireSuite"] = {1, PF_Err_INTERNAL_STRUCT_DAMAGED};
    host.logCalls = true;
    runInCommand(host, [&](PF_InData &in) {
        const void *suite = nullptr;
        EXPECT_EQ(in.pica_basicP->AcquireSuite("PF Handle Suite", 2, &suite), PF_Err_INTERNAL_STRUCT_DAMAGED);
        EXPECT_EQ(suite, nullptr);
        EXPECT_EQ(in.pica_basicP->AcquireSuite("PF Handle Suite", 2, &suite), kSPNoError);
        PF_Handle h = in.utils->host_new_handle(4);
        EXPECT_NE(in.utils->host_lock_handle(h), nullptr);
        EXPECT_EQ(in.utils->host_lock_handle(h), nullptr);  // the injected failure
        EXPECT_NE(in.utils->host_lock_handle(h), nullptr);
        in.utils->host_unlock_handle(h);
        in.utils->host_unlock_handle(h);
        in.utils->host_dispose_handle(h);
        in.pica_basicP->ReleaseSuite("PF Handle Suite", 2);
    });
    EXPECT_EQ(callCount(host, "host_lock_handle"), 3);
    EXPECT_EQ(callCount(host, "AcquireSuite"), 2);
    ASSERT_GE(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[0].function, "AcquireSuite");
    EXPECT_EQ(host.calls[0].detail, "PF Handle Suite 2");
    EXPECT_EQ(host.calls[0].result, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(host.calls[1].result, PF_Err_NONE);
    expectNothingHeld(host);
}

// The calls a layer stamp makes per pixel or per render. Failing as
// injected, each returns the error and writes nothing; given a world record
// that claims more rows than the host's world, each is refused.
TEST(Faults, SamplingCopyAndFillFailAsInjectedAndRefuseRecordsTooLarge) {
    using Call = PF_Err (*)(PF_InData &, PF_EffectWorld & src, PF_EffectWorld & dst, PF_Pixel & out);
    struct Case {
        const char *function;
        Call call;
    };
    static const PF_Pixel color = {255, 1, 2, 3};
    const Case cases[] = {
        {"nn_sample",
         [](PF_InData &in, PF_EffectWorld &src, PF_EffectWorld &, PF_Pixel &out) {
             PF_SampPB params{};
             params.src = &src;
             return static_cast<const PF_Sampling8Suite1 *>(sampling8Suite())
                 ->nn_sample(in.effect_ref, 0, 1 << 17, &params, &out);
         }},
        {"area_sample",
         [](PF_InData &in, PF_EffectWorld &src, PF_EffectWorld &, PF_Pixel &out) {
             PF_SampPB params{};
             params.src = &src;
             params.x_radius = params.y_radius = 1 << 16;
             return static_cast<const PF_Sampling8Suite1 *>(sampling8Suite())
                 ->area_sample(in.effect_ref, 0, 1 << 17, &params, &out);
         }},
        {"copy", [](PF_InData &in, PF_EffectWorld &src, PF_EffectWorld &dst,
                    PF_Pixel &) { return in.utils->copy(in.effect_ref, &src, &dst, nullptr, nullptr); }},
        {"fill", [](PF_InData &in, PF_EffectWorld &, PF_EffectWorld &dst,
                    PF_Pixel &) { return in.utils->fill(in.effect_ref, &color, nullptr, &dst); }},
        {"FillMatte.fill",
         [](PF_InData &in, PF_EffectWorld &, PF_EffectWorld &dst, PF_Pixel &) {
             return static_cast<const PF_FillMatteSuite2 *>(fillMatteSuite())
                 ->fill(in.effect_ref, &color, nullptr, &dst);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.function);
        Host host;
        host.faults.failCall[c.function] = {1, PF_Err_INTERNAL_STRUCT_DAMAGED};
        runInCommand(host, [&](PF_InData &in) {
            const auto &worlds = *static_cast<const PF_WorldSuite2 *>(worldSuite2());
            PF_EffectWorld src{}, dst{};
            worlds.PF_NewWorld(in.effect_ref, 2, 2, true, PF_PixelFormat_ARGB32, &src);
            worlds.PF_NewWorld(in.effect_ref, 3, 3, false, PF_PixelFormat_ARGB32, &dst);
            auto bytes = [](const PF_EffectWorld &w) {
                const auto *at = reinterpret_cast<const char *>(w.data);
                return std::vector<char>(at, at + w.height * w.rowbytes);
            };
            const std::vector<char> before = bytes(dst);
            PF_Pixel out = {9, 9, 9, 9};
            EXPECT_EQ(c.call(in, src, dst, out), PF_Err_INTERNAL_STRUCT_DAMAGED);
            PF_EffectWorld tallSrc = src, tallDst = dst;
            ++tallSrc.height;
            ++tallDst.height;
            EXPECT_EQ(c.call(in, tallSrc, tallDst, out), PF_Err_BAD_CALLBACK_PARAM);
            EXPECT_EQ(out.alpha, 9);
            EXPECT_EQ(bytes(dst), before);
            EXPECT_EQ(c.call(in, src, dst, out), PF_Err_NONE);
            worlds.PF_DisposeWorld(in.effect_ref, &src);
            worlds.PF_DisposeWorld(in.effect_ref, &dst);
        });
        expectNothingHeld(host, 0, 1);
    }
}

TEST(Faults, TheNthHandleAllocationReturnsNone) {
    Host host;
    host.faults.failHandleAllocation = 2;
    std::vector<bool> made;
    runInCommand(host, [&](PF_InData &in) {
        for (int i = 0; i < 3; ++i) {
            PF_Handle h = in.utils->host_new_handle(16);
            made.push_back(h != nullptr);
            if (h) in.utils->host_dispose_handle(h);
        }
    });
    EXPECT_EQ(made, (std::vector<bool>{true, false, true}));
    expectNothingHeld(host);
}

TEST(Ledger, OutstandingNamesWhatIsHeldButHandles) {
    struct Case {
        Ledger ledger;
        const char *text;
    };
    const Case cases[] = {{Ledger{}, ""},
                          {Ledger{0, 3, 0, 0, 0, 0, 0, 0, 0, 0}, ""},
                          {Ledger{1, 0, 0, 2, 0, 0, 0, 0, 0, 0}, "1 suite, 2 worlds outstanding"},
                          {Ledger{0, 0, 0, 0, 0, 0, 0, -1, 0, 2}, "-1 streams outstanding; 2 invalid calls"},
                          {Ledger{0, 0, 1, 0, 1, 1, 1, 0, 1, 1},
                           "1 handle lock, 1 checkout, 1 pre-render block, 1 effect, 1 stream value outstanding; "
                           "1 invalid call"}};
    for (const Case &c : cases) EXPECT_EQ(outstanding(c.ledger), c.text);
}

TEST(Faults, ResetLedgerRestartsTheCounts) {
    Host host;
    host.logCalls = true;
    runInCommand(host, [&](PF_InData &in) { in.utils->host_new_handle(4); });
    EXPECT_EQ(host.ledger.handles, 1);
    resetLedger(host);
    EXPECT_EQ(host.ledger.handles, 0);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(callCount(host, "host_new_handle"), 0);
    host.faults.failHandleAllocation = 1;
    runInCommand(host, [&](PF_InData &in) { EXPECT_EQ(in.utils->host_new_handle(4), nullptr); });
    EXPECT_EQ(callCount(host, "host_new_handle"), 1);
}

// A call without an effect reference gets an error back instead of a crash;
// with no host named there is no ledger to count it in.
TEST(Faults, CallbacksWithoutAnEffectReferenceAreRefused) {
    Host host;
    runInCommand(host, [&](PF_InData &in) {
        const auto &worlds1 = *static_cast<const PF_WorldSuite1 *>(worldSuite1());
        const auto &worlds2 = *static_cast<const PF_WorldSuite2 *>(worldSuite2());
        const auto &paramUtils = *static_cast<const PF_ParamUtilsSuite1 *>(paramUtilsSuite());
        const PF_PreRenderCallbacks preRender = preRenderCallbacks();
        const PF_SmartRenderCallbacks smartRender = smartRenderCallbacks();
        PF_EffectWorld world{}, *pixels = nullptr;
        PF_ParamDef def{};
        PF_RenderRequest request{};
        PF_CheckoutResult result{};
        PF_State state{};
        PF_Boolean changed = 0;
        const PF_Pixel color{};
        const PF_CompositeMode mode{PF_Xfer_IN_FRONT, 0, 255, 0, 32768};
        const PF_Err errors[] = {
            in.utils->copy(nullptr, &world, &world, nullptr, nullptr),
            in.utils->fill(nullptr, &color, nullptr, &world),
            in.utils->transfer_rect(nullptr, PF_Quality_HI, 0, PF_Field_FRAME, nullptr, &world, &mode, nullptr, 0, 0,
                                    &world),
            in.inter.add_param(nullptr, -1, &def),
            in.inter.checkout_param(nullptr, 0, 0, 1, 30, &def),
            in.inter.checkin_param(nullptr, &def),
            in.inter.abort(nullptr),
            in.inter.progress(nullptr, 1, 2),
            preRender.checkout_layer(nullptr, 0, 1, &request, 0, 1, 30, &result),
            smartRender.checkout_layer_pixels(nullptr, 1, &pixels),
            smartRender.checkin_layer_pixels(nullptr, 1),
            smartRender.checkout_output(nullptr, &pixels),
            worlds1.new_world(nullptr, 2, 2, 0, &world),
            worlds1.dispose_world(nullptr, &world),
            worlds2.PF_NewWorld(nullptr, 2, 2, true, PF_PixelFormat_ARGB32, &world),
            worlds2.PF_DisposeWorld(nullptr, &world),
            paramUtils.PF_UpdateParamUI(nullptr, 1, &def),
            paramUtils.PF_GetCurrentState(nullptr, 1, &state),
            paramUtils.PF_HasParamChanged(nullptr, &state, 1, &changed),
        };
        for (std::size_t i = 0; i < std::size(errors); ++i)
            EXPECT_EQ(errors[i], PF_Err_BAD_CALLBACK_PARAM) << "call " << i;
        EXPECT_EQ(world.data, nullptr);
        EXPECT_EQ(pixels, nullptr);
    });
    expectNothingHeld(host);
}

TEST(Faults, ProgressReportsAndCancelsOnRequest) {
    Host host;
    host.cancelAtProgress = 3;
    std::vector<long> seen;
    host.progressContext = &seen;
    host.onProgress = [](void *context, long current, long) {
        static_cast<std::vector<long> *>(context)->push_back(current);
    };
    std::vector<PF_Err> results;
    runInCommand(host, [&](PF_InData &in) {
        for (int i = 1; i <= 4; ++i) results.push_back(PF_PROGRESS(&in, i, 4));
    });
    EXPECT_EQ(results, (std::vector<PF_Err>{0, 0, PF_Interrupt_CANCEL, 0}));
    EXPECT_EQ(seen, (std::vector<long>{1, 2, 3, 4}));
    EXPECT_EQ(host.progressCalls, 4);
    EXPECT_EQ(host.progressCurrent, 4);
    EXPECT_EQ(host.progressTotal, 4);
}

}  // namespace
}  // namespace minihost
