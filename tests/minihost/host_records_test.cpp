// What minihost hands the plug-in with each command: time, resolution and the
// basic suite in PF_InData, memory handles, the string functions, and the
// global and sequence data it keeps between commands.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/minihost/scripted_plugin.h"
#include "tests/support/minihost_scene.h"

namespace minihost {
namespace {

using hosttest::expectNothingHeld;

TEST(HostRecords, TimeCountsWholeTicksPerFrame) {
    struct Case {
        double fps;
        int frame;
        A_long time;
        A_u_long scale;
    };
    // Past 32 bits the host pins: never a scale of 0, never a wrapped time.
    const Case cases[] = {{30, 0, 0, 30000},
                          {30, 15, 15000, 30000},
                          {25, 7, 7000, 25000},
                          {29.97, 3, 3000, 29970},
                          {0.0001, 0, 0, 1},
                          {1e9, 0, 0, 2147483647u},
                          {30, 2147484, 2147483647, 30000}};
    for (const Case &c : cases) {
        Host host;
        host.fps = c.fps;
        host.frame = c.frame;
        PF_InData seen{};
        ASSERT_EQ(runInCommand(host, [&](PF_InData &in) { seen = in; }), PF_Err_NONE);
        EXPECT_EQ(seen.current_time, c.time) << c.fps;
        EXPECT_EQ(seen.time_scale, c.scale) << c.fps;
        EXPECT_EQ(seen.time_step, 1000);
        EXPECT_EQ(seen.total_time, A_long(std::min<int64_t>(int64_t{c.scale} * 10, 2147483647))) << c.fps;
        if (int64_t{seen.time_scale} == std::llround(c.fps * 1000) && seen.current_time == c.frame * 1000LL) {
            EXPECT_DOUBLE_EQ(double(seen.current_time) / seen.time_scale, c.frame / c.fps);
        }
    }
}

TEST(HostRecords, DownsamplingAndSizeFollowTheHost) {
    Host host;
    host.input = makeImage(101, 50, Depth::Bits8);
    host.downsampleX = 2;
    host.downsampleY = 4;
    PF_InData seen{};
    runInCommand(host, [&](PF_InData &in) { seen = in; });
    EXPECT_EQ(seen.downsample_x.num, 1);
    EXPECT_EQ(seen.downsample_x.den, 2u);
    EXPECT_EQ(seen.downsample_y.num, 1);
    EXPECT_EQ(seen.downsample_y.den, 4u);
    EXPECT_EQ(seen.width, 51);
    EXPECT_EQ(seen.height, 13);
    EXPECT_NE(seen.pica_basicP, nullptr);
    EXPECT_NE(seen.utils, nullptr);
    EXPECT_EQ(seen.effect_ref, reinterpret_cast<PF_ProgPtr>(&host));
}

TEST(Handles, AreZeroedSizedAndCountLocks) {
    Host host;
    ASSERT_EQ(runInCommand(host,
                           [&](PF_InData &in) {
                               PF_UtilCallbacks &u = *in.utils;
                               PF_Handle h = u.host_new_handle(40);
                               EXPECT_NE(h, nullptr);
                               EXPECT_EQ(host.ledger.handles, 1);
                               EXPECT_EQ(u.host_get_handle_size(h), 40u);
                               auto *p = static_cast<unsigned char *>(u.host_lock_handle(h));
                               EXPECT_EQ(p, *h);
                               for (int i = 0; i < 40; ++i) EXPECT_EQ(p[i], 0) << i;
                               EXPECT_EQ(u.host_lock_handle(h), p);
                               EXPECT_EQ(host.ledger.lockedHandles, 2);
                               u.host_unlock_handle(h);
                               u.host_unlock_handle(h);
                               EXPECT_EQ(host.ledger.lockedHandles, 0);
                               u.host_dispose_handle(h);
                           }),
              PF_Err_NONE);
    expectNothingHeld(host);
}

TEST(Handles, DisposingALockedHandleDropsItsLocks) {
    Host host;
    runInCommand(host, [&](PF_InData &in) {
        PF_Handle h = in.utils->host_new_handle(8);
        in.utils->host_lock_handle(h);
        in.utils->host_dispose_handle(h);
    });
    expectNothingHeld(host);
}

TEST(Handles, MisuseIsCountedNotObeyed) {
    Host host;
    runInCommand(host, [&](PF_InData &in) {
        PF_UtilCallbacks &u = *in.utils;
        PF_Handle h = u.host_new_handle(4);
        u.host_unlock_handle(h);  // never locked
        u.host_dispose_handle(h);
        u.host_dispose_handle(h);  // already gone
        EXPECT_EQ(u.host_lock_handle(h), nullptr);
    });
    expectNothingHeld(host, 0, 3);  // unlock, dispose and lock of what is not there
}

TEST(Handles, SuiteResizeKeepsTheContents) {
    Host host;
    runInCommand(host, [&](PF_InData &in) {
        const PF_HandleSuite1 *suite = nullptr;
        EXPECT_EQ(in.pica_basicP->AcquireSuite(kPFHandleSuite, 2, reinterpret_cast<const void **>(&suite)), 0);
        PF_Handle h = suite->host_new_handle(4);
        std::memcpy(suite->host_lock_handle(h), "abcd", 4);
        suite->host_unlock_handle(h);
        EXPECT_EQ(suite->host_resize_handle(12, &h), PF_Err_NONE);
        EXPECT_EQ(suite->host_get_handle_size(h), 12u);
        const char *p = static_cast<const char *>(suite->host_lock_handle(h));
        EXPECT_EQ(std::string(p, 4), "abcd");
        EXPECT_EQ(p[11], 0);
        suite->host_unlock_handle(h);
        suite->host_dispose_handle(h);
        in.pica_basicP->ReleaseSuite(kPFHandleSuite, 2);
    });
    expectNothingHeld(host);
}

TEST(AnsiFunctions, FormatAndCopyButNeverOverrunTheMessage) {
    Host host;
    const std::string longText(400, 'x');
    runInCommand(host, [&](PF_InData &in, PF_OutData &out) {
        char buffer[64];
        EXPECT_EQ(in.utils->ansi.sprintf(buffer, "%s, v%d.%d%d\r%s", "Name", 1, 0, 0, "Line"), 16);
        EXPECT_STREQ(buffer, "Name, v1.00\rLine");
        EXPECT_EQ(in.utils->ansi.sprintf(out.return_msg, "%s", longText.c_str()), 400);  // the whole length
        EXPECT_EQ(std::strlen(out.return_msg), size_t(PF_MAX_EFFECT_MSG_LEN));
        EXPECT_EQ(out.start_sampL, 0);
        in.utils->ansi.strcpy(out.return_msg + 250, "0123456789");
        EXPECT_STREQ(out.return_msg + 250, "01234");
        EXPECT_DOUBLE_EQ(in.utils->ansi.fmod(-450, 360), -90);
        EXPECT_DOUBLE_EQ(in.utils->ansi.atan2(1, 1), std::atan2(1.0, 1.0));
        return PF_Err_NONE;
    });
}

TEST(CommandData, GlobalAndSequenceDataStayWithTheHost) {
    Host host;
    PF_Handle global = nullptr, sequence = nullptr;
    useScript(host, [&](PF_Cmd cmd, PF_InData &in, PF_OutData &out, void *) {
        switch (cmd) {
        case PF_Cmd_GLOBAL_SETUP:
            global = out.global_data = in.utils->host_new_handle(8);
            break;
        case PF_Cmd_SEQUENCE_SETUP:
            EXPECT_EQ(in.global_data, global);
            sequence = out.sequence_data = in.utils->host_new_handle(1);
            break;
        case PF_Cmd_SEQUENCE_SETDOWN:
            in.utils->host_dispose_handle(in.sequence_data);
            break;
        case PF_Cmd_GLOBAL_SETDOWN:
            break;  // left to the host
        default:
            EXPECT_EQ(in.global_data, global);
            EXPECT_EQ(in.sequence_data, sequence);
            break;
        }
        return PF_Err_NONE;
    });
    ASSERT_EQ(setupEffect(host), PF_Err_NONE);
    EXPECT_EQ(host.globalData, global);
    EXPECT_EQ(host.sequenceData, sequence);
    EXPECT_EQ(sendCommand(host, PF_Cmd_RENDER), PF_Err_NONE);
    EXPECT_EQ(host.ledger.handles, 2);
    ASSERT_EQ(teardownEffect(host), PF_Err_NONE);
    EXPECT_EQ(host.globalData, nullptr);
    EXPECT_EQ(host.sequenceData, nullptr);
    expectNothingHeld(host);
    activeScript() = nullptr;
}

TEST(CommandData, ASetupThatDisposesOldDataAndFailsLeavesNone) {
    Host host;
    useScript(host, [&](PF_Cmd cmd, PF_InData &in, PF_OutData &out, void *) {
        if (cmd == PF_Cmd_SEQUENCE_SETUP) out.sequence_data = in.utils->host_new_handle(1);
        if (cmd == PF_Cmd_SEQUENCE_RESETUP) {
            in.utils->host_dispose_handle(in.sequence_data);
            return PF_Err(PF_Err_OUT_OF_MEMORY);
        }
        return PF_Err(PF_Err_NONE);
    });
    ASSERT_EQ(setupEffect(host), PF_Err_NONE);
    ASSERT_NE(host.sequenceData, nullptr);
    EXPECT_EQ(sendCommand(host, PF_Cmd_SEQUENCE_RESETUP), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.sequenceData, nullptr);
    EXPECT_EQ(host.ledger.handles, 0);
    activeScript() = nullptr;
}

TEST(CommandData, ParameterRegistrationAppendsAfterTheInputLayer) {
    Host host;
    useScript(host, [&](PF_Cmd cmd, PF_InData &in, PF_OutData &out, void *) {
        if (cmd != PF_Cmd_PARAMS_SETUP) return PF_Err(PF_Err_NONE);
        PF_ParamDef def{};
        def.param_type = PF_Param_SLIDER;
        std::strcpy(def.name, "Count");
        def.uu.id = 1;
        def.u.sd.dephault = 7;
        if (const PF_Err err = PF_ADD_PARAM(&in, -1, &def)) return err;
        std::strcpy(def.name, "Misplaced");
        EXPECT_EQ(PF_ADD_PARAM(&in, 5, &def), PF_Err_INVALID_INDEX);
        out.num_params = 2;
        return PF_Err(PF_Err_NONE);
    });
    ASSERT_EQ(setupEffect(host), PF_Err_NONE);
    ASSERT_EQ(host.paramDefs.size(), 2u);
    EXPECT_EQ(host.paramDefs[0].param_type, PF_Param_LAYER);
    EXPECT_EQ(paramIndex(host, "Count"), 1);
    EXPECT_EQ(paramIndex(host, "Misplaced"), -1);
    EXPECT_EQ(paramValueAt(host, 1, 0).number, 7);
    activeScript() = nullptr;
}

}  // namespace
}  // namespace minihost
