// Global and sequence data: what setup installs, what failures leave behind
// and what setdown disposes of.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "host/build_profile.h"
#include "host/command_dispatch.h"
#include "host/global_data.h"
#include "tests/host/fake_host.h"

namespace {

PF_Err dispatch(FakeHost &host, PF_Cmd cmd) {
    return dispatchCommand(cmd, &host.in, &host.out, nullptr, nullptr, nullptr);
}

template <typename T>
T *blockOf(PF_Handle handle) {
    return static_cast<T *>(*handle);
}

TEST(GlobalSetup, InstallsRegisteredGlobalData) {
    FakeHost host;
    ASSERT_EQ(dispatch(host, PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
    ASSERT_NE(host.out.global_data, nullptr);
    EXPECT_EQ(host.liveHandles.count(host.out.global_data), 1u);
    EXPECT_EQ(host.count("host_new_handle " + std::to_string(sizeof(GlobalData))), 1);
    const GlobalData *global = blockOf<GlobalData>(host.out.global_data);
    EXPECT_EQ(global->stateValid, 1);
    EXPECT_EQ(global->pluginId, 77);
    EXPECT_EQ(host.count("AEGP_RegisterWithAEGP Error!"), 1);
    EXPECT_EQ(host.count("host_lock_handle"), host.count("host_unlock_handle"));
    EXPECT_EQ(host.suitesHeld(), 0);
    EXPECT_EQ(host.out.my_version, 0x80601u);
}

TEST(GlobalSetup, FailuresLeaveNoGlobalDataAndNothingHeld) {
    struct Case {
        const char *name;
        void (*fault)(FakeHost &);
        PF_Err expected;
        int registrations;
        int failedLocks;  // locks that hand out nothing, so there is nothing to unlock
    };
    const Case cases[] = {
        {"no handle is 512", [](FakeHost &h) { h.failNewHandle = true; }, PF_Err_INTERNAL_STRUCT_DAMAGED, 0, 0},
        {"no lock succeeds without global data", [](FakeHost &h) { h.failLock = true; }, PF_Err_NONE, 0, 1},
        {"failed registration returns the host error", [](FakeHost &h) { h.registerError = PF_Err_INVALID_CALLBACK; },
         PF_Err_INVALID_CALLBACK, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        c.fault(host);
        EXPECT_EQ(dispatch(host, PF_Cmd_GLOBAL_SETUP), c.expected);
        EXPECT_EQ(host.out.global_data, nullptr);
        EXPECT_EQ(host.count("AEGP_RegisterWithAEGP"), c.registrations);
        EXPECT_TRUE(host.liveHandles.empty()) << "the block that was not installed is not lost";
        EXPECT_EQ(host.count("host_unlock_handle"), host.count("host_lock_handle") - c.failedLocks);
        EXPECT_EQ(host.suitesHeld(), 0);
        EXPECT_EQ(host.out.my_version, 0x80601u) << "version and flags are declared first";
    }
}

TEST(GlobalSetup, MissingUtilitySuiteRaises516WithoutLeaking) {
    FakeHost host;
    host.missingSuites.insert(kAEGPUtilitySuite);
    EXPECT_THROW(dispatch(host, PF_Cmd_GLOBAL_SETUP), PF_Err);
    EXPECT_EQ(host.out.global_data, nullptr);
    EXPECT_TRUE(host.liveHandles.empty());
    EXPECT_EQ(host.suitesHeld(), 0);
}

TEST(GlobalSetdown, DisposesInX64BuildOnly) {
    FakeHost host;
    ASSERT_EQ(dispatch(host, PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
    host.in.global_data = host.out.global_data;
    host.calls.clear();
    EXPECT_EQ(dispatch(host, PF_Cmd_GLOBAL_SETDOWN), PF_Err_NONE);
    if (kProfileX86) {
        EXPECT_EQ(host.liveHandles.size(), 1u) << "the 32-bit build leaves the block to the host";
        EXPECT_TRUE(host.calls.empty());
    } else {
        EXPECT_TRUE(host.liveHandles.empty());
        EXPECT_EQ(host.suitesHeld(), 0);
    }
}

TEST(GlobalSetdown, NothingToDispose) {
    FakeHost host;
    EXPECT_EQ(dispatch(host, PF_Cmd_GLOBAL_SETDOWN), PF_Err_NONE);
    EXPECT_EQ(host.count("host_dispose_handle"), 0);
}

class SequenceSetup : public ::testing::TestWithParam<PF_Cmd> {};

TEST_P(SequenceSetup, InstallsOneZeroByte) {
    FakeHost host;
    ASSERT_EQ(dispatch(host, GetParam()), PF_Err_NONE);
    ASSERT_NE(host.out.sequence_data, nullptr);
    EXPECT_EQ(host.count("host_new_handle 1"), 1);
    EXPECT_EQ(*blockOf<A_u_char>(host.out.sequence_data), 0);
    EXPECT_EQ(host.count("host_lock_handle"), host.count("host_unlock_handle"));
    EXPECT_EQ(host.suitesHeld(), 0);
}

TEST_P(SequenceSetup, ReplacesTheBlockItIsGiven) {
    FakeHost host;
    ASSERT_EQ(dispatch(host, GetParam()), PF_Err_NONE);
    PF_Handle old = host.out.sequence_data;
    *blockOf<A_u_char>(old) = 9;
    host.in.sequence_data = old;
    host.calls.clear();
    ASSERT_EQ(dispatch(host, GetParam()), PF_Err_NONE);
    // The old block goes before the new one is made (the host may hand out
    // the same address again).
    const auto disposed = std::find(host.calls.begin(), host.calls.end(), "host_dispose_handle");
    const auto made = std::find(host.calls.begin(), host.calls.end(), "host_new_handle 1");
    EXPECT_LT(disposed - host.calls.begin(), made - host.calls.begin());
    EXPECT_EQ(host.count("dispose of unknown handle"), 0);
    ASSERT_NE(host.out.sequence_data, nullptr);
    EXPECT_EQ(*blockOf<A_u_char>(host.out.sequence_data), 0);
    EXPECT_EQ(host.liveHandles.size(), 1u);
}

TEST_P(SequenceSetup, NoHandleIsOutOfMemory) {
    FakeHost host;
    ASSERT_EQ(dispatch(host, GetParam()), PF_Err_NONE);
    host.in.sequence_data = host.out.sequence_data;
    host.failNewHandle = true;
    EXPECT_EQ(dispatch(host, GetParam()), PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(host.liveHandles.empty());
    EXPECT_EQ(host.out.sequence_data, nullptr) << "the disposed block is not left with the host";
}

TEST_P(SequenceSetup, NoLockSucceedsWithoutBlock) {
    FakeHost host;
    host.failLock = true;
    EXPECT_EQ(dispatch(host, GetParam()), PF_Err_NONE);
    EXPECT_EQ(host.out.sequence_data, nullptr);
    EXPECT_TRUE(host.liveHandles.empty());
}

INSTANTIATE_TEST_SUITE_P(Commands, SequenceSetup, ::testing::Values(PF_Cmd_SEQUENCE_SETUP, PF_Cmd_SEQUENCE_RESETUP),
                         [](const ::testing::TestParamInfo<PF_Cmd> &info) {
                             return info.param == PF_Cmd_SEQUENCE_SETUP ? "Setup" : "Resetup";
                         });

TEST(SequenceSetdown, DisposesAndLeavesOutDataAlone) {
    FakeHost host;
    ASSERT_EQ(dispatch(host, PF_Cmd_SEQUENCE_SETUP), PF_Err_NONE);
    host.in.sequence_data = host.out.sequence_data;
    std::memset(&host.out, 0x21, sizeof host.out);
    const PF_OutData before = host.out;
    EXPECT_EQ(dispatch(host, PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
    EXPECT_TRUE(host.liveHandles.empty());
    EXPECT_EQ(std::memcmp(&before, &host.out, sizeof before), 0);
}

TEST(SequenceSetdown, NothingToDispose) {
    FakeHost host;
    EXPECT_EQ(dispatch(host, PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
    EXPECT_EQ(host.count("host_dispose_handle"), 0);
    EXPECT_EQ(host.suitesHeld(), 0);
}

}  // namespace
