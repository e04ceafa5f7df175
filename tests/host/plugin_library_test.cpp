// The host binding of every built plug-in library, driven through minihost:
// raised errors becoming results, the 32-bit general command, and the
// pre-render's block and check-outs all returned.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "minihost/minihost.h"
#include "tests/support/minihost_scene.h"
#include "tests/support/plugin_paths.h"

namespace {

using hosttest::expectNothingHeld;
using minihost::Host;

class PluginLibrary : public ::testing::TestWithParam<PluginUnderTest> {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(minihost::openPlugin(host, GetParam().path, error)) << error;
    }
    bool x86() const { return GetParam().profile == "X86"; }
    Host host;
};

TEST_P(PluginLibrary, MissingSuiteBecomes516WithoutMessage) {
    for (const char *suite : {"PF Handle Suite", "AEGP Utility Suite"}) {
        SCOPED_TRACE(suite);
        minihost::resetLedger(host);
        host.faults.missingSuites = {suite};
        EXPECT_EQ(minihost::sendCommand(host, PF_Cmd_GLOBAL_SETUP), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_STREQ(host.outData.return_msg, "");
        EXPECT_EQ(host.outData.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0u);
        EXPECT_EQ(host.globalData, nullptr);
        expectNothingHeld(host);
    }
}

TEST_P(PluginLibrary, FailedRegistrationReturnsTheHostError) {
    host.faults.failCall["AEGP_RegisterWithAEGP"] = {1, PF_Err_INVALID_CALLBACK};
    EXPECT_EQ(minihost::sendCommand(host, PF_Cmd_GLOBAL_SETUP), PF_Err_INVALID_CALLBACK);
    EXPECT_EQ(host.globalData, nullptr);
    expectNothingHeld(host);
}

TEST_P(PluginLibrary, RenderCommandDoesNothing) {
    ASSERT_EQ(minihost::setupEffect(host), PF_Err_NONE);
    minihost::resetLedger(host);
    PF_LayerDef output;
    std::memset(&output, 0x44, sizeof output);
    const PF_LayerDef before = output;
    EXPECT_EQ(minihost::sendCommand(host, PF_Cmd_RENDER, nullptr, &output), PF_Err_NONE);
    EXPECT_EQ(std::memcmp(&before, &output, sizeof before), 0);
    EXPECT_EQ(minihost::callCount(host, "AcquireSuite"), 0);
}

TEST_P(PluginLibrary, CompletelyGeneralShowsBoundedText) {
    std::string text(400, 'q');
    text.replace(0, 6, "hello ");
    EXPECT_EQ(minihost::sendCommand(host, PF_Cmd_COMPLETELY_GENERAL, nullptr, nullptr, &text[0]), PF_Err_NONE);
    if (x86()) {
        EXPECT_EQ(std::string(host.outData.return_msg), text.substr(0, PF_MAX_EFFECT_MSG_LEN));
    } else {
        EXPECT_STREQ(host.outData.return_msg, "");
    }
    EXPECT_EQ(minihost::sendCommand(host, PF_Cmd_COMPLETELY_GENERAL, nullptr, nullptr, nullptr), PF_Err_NONE);
    EXPECT_STREQ(host.outData.return_msg, "");
}

TEST_P(PluginLibrary, PreRenderReturnsBlockAndCheckouts) {
    ASSERT_EQ(minihost::setupEffect(host), PF_Err_NONE);
    host.input = minihost::solidImage(16, 12, PF_Pixel{255, 10, 20, 30}, minihost::Depth::Bits8);
    minihost::resetLedger(host);
    const minihost::RenderResult frame = minihost::renderFrame(host);
    EXPECT_EQ(frame.preRenderError, PF_Err_NONE);
    EXPECT_EQ(minihost::callCount(host, "checkout_param"), minihost::callCount(host, "checkin_param"));
    expectNothingHeld(host);
}

TEST_P(PluginLibrary, PreRenderReadFailureEndsTheFrame) {
    ASSERT_EQ(minihost::setupEffect(host), PF_Err_NONE);
    host.input = minihost::solidImage(16, 12, PF_Pixel{255, 10, 20, 30}, minihost::Depth::Bits8);
    minihost::resetLedger(host);
    host.faults.failCall["checkout_param"] = {20, PF_Err_INVALID_INDEX};
    const minihost::RenderResult frame = minihost::renderFrame(host);
    EXPECT_EQ(frame.preRenderError, PF_Err_INVALID_INDEX);
    EXPECT_EQ(minihost::callCount(host, "checkout_param"), 20);
    expectNothingHeld(host);
}

INSTANTIATE_TEST_SUITE_P(Profiles, PluginLibrary, ::testing::ValuesIn(pluginsUnderTest()),
                         [](const ::testing::TestParamInfo<PluginUnderTest> &info) { return info.param.profile; });

}  // namespace
