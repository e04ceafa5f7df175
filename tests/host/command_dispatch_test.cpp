// Command routing of both builds: which selectors do something, the about
// text, the declared version and flags, and the 32-bit general command.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/build_profile.h"
#include "host/command_dispatch.h"
#include "tests/host/fake_host.h"

namespace {

PF_Err dispatch(FakeHost &host, PF_Cmd cmd, void *extra = nullptr) {
    return dispatchCommand(cmd, &host.in, &host.out, nullptr, nullptr, extra);
}

// Selectors neither build answers: they succeed, call nothing and leave the
// output record byte for byte as it was.
class UnhandledSelector : public ::testing::TestWithParam<PF_Cmd> {};

TEST_P(UnhandledSelector, SucceedsWithoutDoingAnything) {
    FakeHost host;
    std::memset(&host.out, 0x5a, sizeof host.out);
    PF_OutData before = host.out;
    char text[] = "some text from the host";
    EXPECT_EQ(dispatch(host, GetParam(), text), PF_Err_NONE);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(std::memcmp(&before, &host.out, sizeof before), 0);
}

INSTANTIATE_TEST_SUITE_P(Selectors, UnhandledSelector,
                         ::testing::Values(PF_Cmd_UNUSED_0, PF_Cmd_SEQUENCE_FLATTEN, PF_Cmd_DO_DIALOG,
                                           PF_Cmd_FRAME_SETUP, PF_Cmd_RENDER, PF_Cmd_FRAME_SETDOWN, PF_Cmd_EVENT,
                                           PF_Cmd_GET_EXTERNAL_DEPENDENCIES, PF_Cmd_QUERY_DYNAMIC_FLAGS,
                                           PF_Cmd_AUDIO_RENDER, PF_Cmd_AUDIO_SETUP, PF_Cmd_AUDIO_SETDOWN,
                                           PF_Cmd_ARBITRARY_CALLBACK, PF_Cmd_RESERVED1, PF_Cmd_RESERVED2,
                                           PF_Cmd_RESERVED3, PF_Cmd_GET_FLATTENED_SEQUENCE_DATA,
                                           PF_Cmd_TRANSLATE_PARAMS_TO_PREFS, PF_Cmd_NUM_CMDS, 1000, -1));

TEST(Dispatch, RenderLeavesTheOutputWorldUntouched) {
    FakeHost host;
    PF_LayerDef output;
    std::memset(&output, 0x33, sizeof output);
    const PF_LayerDef before = output;
    EXPECT_EQ(dispatchCommand(PF_Cmd_RENDER, &host.in, &host.out, nullptr, &output, nullptr), PF_Err_NONE);
    EXPECT_EQ(std::memcmp(&before, &output, sizeof before), 0);
}

TEST(Dispatch, AboutText) {
    FakeHost host;
    EXPECT_EQ(dispatch(host, PF_Cmd_ABOUT), PF_Err_NONE);
    if (kProfileX86) {
        EXPECT_STREQ(host.out.return_msg, "VomrelPathBloom, v1.0\rImagination!");
        EXPECT_EQ(host.count("AcquireSuite PF ANSI Suite 1"), 1);
        EXPECT_EQ(host.count("suite sprintf"), 1);
        EXPECT_EQ(host.suitesHeld(), 0);
    } else {
        EXPECT_STREQ(host.out.return_msg, "VomrelPathBloom, v1.00\rImagination!");
        EXPECT_EQ(host.count("sprintf"), 1);
        EXPECT_EQ(host.count("AcquireSuite"), 0);
    }
}

TEST(Dispatch, GlobalSetupDeclaresVersionAndKeepsHostFlags) {
    FakeHost host;
    host.out.out_flags = PF_OutFlag_I_DO_DIALOG;
    host.out.out_flags2 = PF_OutFlag2_I_AM_THREADSAFE;
    EXPECT_EQ(dispatch(host, PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
    EXPECT_EQ(host.out.my_version, 0x80601u);
    EXPECT_EQ(host.out.out_flags, 0x06000000u | PF_OutFlag_I_DO_DIALOG);
    EXPECT_EQ(host.out.out_flags2, 0x1400u | PF_OutFlag2_I_AM_THREADSAFE);
    EXPECT_EQ(host.suitesHeld(), 0);
}

TEST(Dispatch, GlobalSetupWithoutBasicSuiteRaises516) {
    FakeHost host;
    host.in.pica_basicP = nullptr;
    std::strcpy(host.out.return_msg, "untouched");
    EXPECT_THROW(
        {
            try {
                dispatch(host, PF_Cmd_GLOBAL_SETUP);
            } catch (PF_Err err) {
                EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
                throw;
            }
        },
        PF_Err);
    EXPECT_STREQ(host.out.return_msg, "untouched");
}

TEST(Dispatch, ParamsSetupRegistersSixtyThree) {
    FakeHost host;
    EXPECT_EQ(dispatch(host, PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
    EXPECT_EQ(host.added.size(), 63u);
    EXPECT_EQ(host.out.num_params, 64);
}

TEST(Dispatch, SmartPreRenderRunsThePreRender) {
    FakeHost host;
    EXPECT_EQ(dispatch(host, PF_Cmd_SMART_PRE_RENDER, &host.preExtra), PF_Err_NONE);
    EXPECT_EQ(host.layerCheckouts, 1);
    EXPECT_NE(host.preOutput.pre_render_data, nullptr);
}

TEST(Dispatch, SmartRenderOwnsASuiteHandler) {
    // Without a basic suite the render's suite handler cannot be made; the
    // render itself is not reached.
    FakeHost host;
    host.in.pica_basicP = nullptr;
    PF_SmartRenderExtra extra{};
    EXPECT_THROW(dispatch(host, PF_Cmd_SMART_RENDER, &extra), PF_Err);
}

TEST(Dispatch, CompletelyGeneralEchoesTheHostTextIn32BitBuildOnly) {
    FakeHost host;
    std::strcpy(host.out.return_msg, "before");
    char text[] = "a message from the host";
    EXPECT_EQ(dispatch(host, PF_Cmd_COMPLETELY_GENERAL, text), PF_Err_NONE);
    if (kProfileX86) {
        EXPECT_STREQ(host.out.return_msg, "a message from the host");
        EXPECT_EQ(host.count("sprintf"), 1);
    } else {
        EXPECT_STREQ(host.out.return_msg, "before");
        EXPECT_TRUE(host.calls.empty());
    }
}

TEST(Dispatch, CompletelyGeneralCutsTooLongText) {
    if (!kProfileX86) GTEST_SKIP() << "32-bit build only";
    FakeHost host;
    // Bytes past the field would land in the fields after return_msg.
    host.out.start_sampL = 0x11223344;
    std::string text(1000, 'y');
    text[PF_MAX_EFFECT_MSG_LEN - 1] = 'z';
    EXPECT_EQ(dispatch(host, PF_Cmd_COMPLETELY_GENERAL, &text[0]), PF_Err_NONE);
    EXPECT_EQ(std::strlen(host.out.return_msg), static_cast<size_t>(PF_MAX_EFFECT_MSG_LEN));
    EXPECT_EQ(host.out.return_msg[PF_MAX_EFFECT_MSG_LEN - 1], 'z');
    EXPECT_EQ(host.out.start_sampL, 0x11223344);
}

TEST(Dispatch, CompletelyGeneralTreatsTextAsData) {
    if (!kProfileX86) GTEST_SKIP() << "32-bit build only";
    FakeHost host;
    char text[] = "50% done %s %n";
    EXPECT_EQ(dispatch(host, PF_Cmd_COMPLETELY_GENERAL, text), PF_Err_NONE);
    EXPECT_STREQ(host.out.return_msg, "50% done %s %n");
}

TEST(Dispatch, CompletelyGeneralWithoutTextLeavesMessage) {
    FakeHost host;
    std::strcpy(host.out.return_msg, "before");
    EXPECT_EQ(dispatch(host, PF_Cmd_COMPLETELY_GENERAL, nullptr), PF_Err_NONE);
    EXPECT_STREQ(host.out.return_msg, "before");
}

}  // namespace
