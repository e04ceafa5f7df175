// The real plug-in of every built profile driven through minihost: about,
// setup, parameters, teardown, and setup failures injected by the host, each
// followed by a ledger with nothing outstanding.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/support/minihost_scene.h"
#include "tests/support/plugin_paths.h"

namespace minihost {
namespace {

class EffectLifecycle : public ::testing::TestWithParam<PluginUnderTest> {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(openPlugin(host, GetParam().path, error)) << error;
    }
    bool x86() const { return GetParam().profile == "X86"; }
    Host host;
};

using hosttest::expectNothingHeld;

TEST_P(EffectLifecycle, AboutTextNamesTheEffect) {
    std::string text;
    EXPECT_EQ(runAbout(host, text), PF_Err_NONE);
    EXPECT_EQ(text, x86() ? "VomrelPathBloom, v1.0\rImagination!" : "VomrelPathBloom, v1.00\rImagination!");
    expectNothingHeld(host, 0);
}

TEST_P(EffectLifecycle, SetupRegistersTheParametersAndKeepsTheData) {
    ASSERT_EQ(setupEffect(host), PF_Err_NONE);
    EXPECT_EQ(host.paramDefs.size(), 64u);
    EXPECT_EQ(paramIndex(host, "Path"), 1);
    EXPECT_EQ(paramIndex(host, "Layer"), 21);
    EXPECT_EQ(paramIndex(host, "On Original"), 63);
    EXPECT_NE(host.globalData, nullptr);
    EXPECT_NE(host.sequenceData, nullptr);
    expectNothingHeld(host, 2);
    ASSERT_EQ(teardownEffect(host), PF_Err_NONE);
    EXPECT_EQ(host.globalData, nullptr);
    EXPECT_EQ(host.sequenceData, nullptr);
    expectNothingHeld(host, 0);
}

TEST_P(EffectLifecycle, DefaultsCheckOutInTheirTypesRepresentation) {
    ASSERT_EQ(setupEffect(host), PF_Err_NONE);
    host.masks.resize(1);
    EXPECT_EQ(paramDefAt(host, paramIndex(host, "Path"), 0).u.path_d.path_id, 1001u);
    EXPECT_EQ(paramDefAt(host, paramIndex(host, "First Radius"), 0).u.fs_d.value, 20.0);
    EXPECT_EQ(paramDefAt(host, paramIndex(host, "End"), 0).u.fd.value, 100 << 16);
    EXPECT_EQ(paramDefAt(host, paramIndex(host, "Layer Blend Mode"), 0).u.pd.value, 4);
    EXPECT_EQ(paramDefAt(host, paramIndex(host, "On Original"), 0).u.bd.value, 1);
    const PF_Pixel stroke = paramDefAt(host, paramIndex(host, "Stroke Color"), 0).u.cd.value;
    EXPECT_EQ((std::vector<int>{stroke.alpha, stroke.red, stroke.green, stroke.blue}),
              (std::vector<int>{255, 255, 0, 0}));
    EXPECT_EQ(paramDefAt(host, paramIndex(host, "Layer"), 0).u.ld.data, nullptr);
    teardownEffect(host);
}

TEST_P(EffectLifecycle, SetupFailuresInjectedByTheHost) {
    struct Case {
        const char *what;
        void (*inject)(Faults &);
        PF_Err expected;
    };
    const Case cases[] = {
        {"no handle suite", [](Faults &f) { f.missingSuites = {"PF Handle Suite"}; }, PF_Err_BAD_CALLBACK_PARAM},
        {"no utility suite", [](Faults &f) { f.missingSuites = {"AEGP Utility Suite"}; }, PF_Err_BAD_CALLBACK_PARAM},
        {"no global handle", [](Faults &f) { f.failHandleAllocation = 1; }, PF_Err_INTERNAL_STRUCT_DAMAGED},
        {"registration refused",
         [](Faults &f) {
             f.failCall["AEGP_RegisterWithAEGP"] = {1, 77};
         },
         77},
        {"first parameter refused",
         [](Faults &f) {
             f.failCall["add_param"] = {1, PF_Err_OUT_OF_MEMORY};
         },
         PF_Err_OUT_OF_MEMORY},
        {"no sequence handle", [](Faults &f) { f.failHandleAllocation = 2; }, PF_Err_OUT_OF_MEMORY},
    };
    for (const Case &c : cases) {
        Host fresh;
        std::string error;
        ASSERT_TRUE(openPlugin(fresh, GetParam().path, error)) << error;
        c.inject(fresh.faults);
        EXPECT_EQ(setupEffect(fresh), c.expected) << c.what;
        EXPECT_EQ(fresh.ledger.suites, 0) << c.what;
        EXPECT_EQ(fresh.ledger.lockedHandles, 0) << c.what;
        EXPECT_EQ(fresh.ledger.invalidCalls, 0) << c.what;
        // Whatever handle the failed setup left installed is the host's to keep.
        const int kept = (fresh.globalData ? 1 : 0) + (fresh.sequenceData ? 1 : 0);
        EXPECT_EQ(fresh.ledger.handles, kept) << c.what;
    }
}

TEST_P(EffectLifecycle, RegistrationFailureInstallsNoGlobalData) {
    host.faults.failCall["AEGP_RegisterWithAEGP"] = {1, 77};
    EXPECT_EQ(sendCommand(host, PF_Cmd_GLOBAL_SETUP), 77);
    EXPECT_EQ(host.globalData, nullptr);
}

std::string profileName(const ::testing::TestParamInfo<PluginUnderTest> &info) { return info.param.profile; }

INSTANTIATE_TEST_SUITE_P(Profiles, EffectLifecycle, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace minihost
