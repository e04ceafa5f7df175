// "PF Param Utils Suite" and the user-interface commands: the state digest,
// the UI flags a control panel shows, the host's refusals and injected faults,
// and what the plug-in receives with PF_Cmd_UPDATE_PARAMS_UI and
// PF_Cmd_USER_CHANGED_PARAM.
#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/pf_suites.h"
#include "minihost/minihost.h"
#include "tests/minihost/scripted_plugin.h"
#include "tests/support/minihost_scene.h"

namespace minihost {
namespace {

using hosttest::expectNothingHeld;
using hosttest::polyline;
using hosttest::vertex;

enum Index { None = -9, Slider = 1, Color, Popup, Path, Layer, Count };

// Registers one parameter of each kind the state follows, the popup
// supervised and the colour greyed out from the start, and makes global and
// sequence data.
void setUp(Host &host) {
    useScript(host, [](PF_Cmd cmd, PF_InData &in, PF_OutData &out, void *) {
        if (cmd == PF_Cmd_GLOBAL_SETUP) out.global_data = in.utils->host_new_handle(8);
        if (cmd == PF_Cmd_SEQUENCE_SETUP) out.sequence_data = in.utils->host_new_handle(8);
        if (cmd != PF_Cmd_PARAMS_SETUP) return PF_Err(PF_Err_NONE);
        const PF_ParamType types[] = {PF_Param_SLIDER, PF_Param_COLOR, PF_Param_POPUP, PF_Param_PATH, PF_Param_LAYER};
        for (PF_ParamType type : types) {
            PF_ParamDef def{};
            def.param_type = type;
            def.uu.id = type + 100;
            if (type == PF_Param_POPUP) def.flags = PF_ParamFlag_SUPERVISE;
            if (type == PF_Param_COLOR) def.ui_flags = PF_PUI_DISABLED;
            if (const PF_Err err = PF_ADD_PARAM(&in, -1, &def)) return err;
        }
        return PF_Err(PF_Err_NONE);
    });
    ASSERT_EQ(setupEffect(host), PF_Err_NONE);
    ASSERT_EQ(host.paramDefs.size(), size_t(Count));
    host.masks = {polyline(true, {vertex(0, 0), vertex(10, 0), vertex(10, 10)}), polyline(false, {vertex(5, 5)})};
    setParam(host, Path, {1});
}

// Runs `body` with "PF Param Utils Suite" 2 inside one command.
PF_Err withParamUtils(Host &host, const std::function<PF_Err(PF_ProgPtr, const PF_ParamUtilsSuite2 &)> &body) {
    return runInCommand(host, [&](PF_InData &in, PF_OutData &) {
        const void *suite = nullptr;
        if (const PF_Err err = in.pica_basicP->AcquireSuite(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion2, &suite))
            return PF_Err(err);
        const PF_Err err = body(in.effect_ref, *static_cast<const PF_ParamUtilsSuite2 *>(suite));
        in.pica_basicP->ReleaseSuite(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion2);
        return err;
    });
}

std::vector<A_u_long> stateOf(Host &host, PF_ParamIndex index) {
    PF_State state{};
    EXPECT_EQ(withParamUtils(host,
                             [&](PF_ProgPtr ref, const PF_ParamUtilsSuite2 &utils) {
                                 return utils.PF_GetCurrentState(ref, index, &state);
                             }),
              PF_Err_NONE)
        << index;
    return std::vector<A_u_long>(std::begin(state.reserved), std::end(state.reserved));
}

TEST(ParamState, DigestFollowsValuesKeyframesAndTheNamedMask) {
    const struct {
        const char *what;
        void (*change)(Host &);
        int changed;  // the one parameter whose state changes
    } cases[] = {
        {"another frame", [](Host &h) { h.frame = 12; }, None},
        {"a slider value", [](Host &h) { setParam(h, Slider, {6}); }, Slider},
        {"the same value as keyframes",
         [](Host &h) {
             setParamKeyframes(h, Slider, {{0, {0}}, {1, {0}}}, Interpolation::Linear);
         },
         Slider},
        {"a colour channel",
         [](Host &h) {
             setParam(h, Color, {0, {0, 0, 0, 1}});
         },
         Color},
        {"the named mask opened", [](Host &h) { h.masks[0].closed = false; }, Path},
        {"a vertex of the named mask", [](Host &h) { h.masks[0].vertices[1].outY = 0.5; }, Path},
        {"another mask", [](Host &h) { h.masks[1].closed = true; }, None},
        {"the layer", [](Host &h) { setParam(h, Layer, {1}); }, Layer},
    };
    for (const auto &c : cases) {
        Host host;
        setUp(host);
        setParamKeyframes(host, Popup, {{0, {1}}, {2, {3}}}, Interpolation::Hold);
        const PF_ParamIndex indices[] = {
            PF_ParamIndex_CHECK_ALL_EXCEPT_LAYER_PARAMS, PF_ParamIndex_CHECK_ALL, 0, Slider, Color, Popup, Path, Layer};
        std::vector<std::vector<A_u_long>> before;
        for (PF_ParamIndex i : indices) before.push_back(stateOf(host, i));
        EXPECT_EQ(stateOf(host, PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE), before[0]) << "read twice";
        c.change(host);
        for (size_t k = 0; k < std::size(indices); ++k) {
            const PF_ParamIndex i = indices[k];
            bool expected = i == c.changed;
            if (i == PF_ParamIndex_CHECK_ALL) expected = c.changed != None;
            if (i == PF_ParamIndex_CHECK_ALL_EXCEPT_LAYER_PARAMS) expected = c.changed != None && c.changed != Layer;
            EXPECT_EQ(stateOf(host, i) != before[k], expected) << c.what << ", index " << i;
        }
        PF_State stored{};
        std::copy(before[0].begin(), before[0].end(), stored.reserved);
        PF_Boolean changed = 2;
        EXPECT_EQ(withParamUtils(host,
                                 [&](PF_ProgPtr ref, const PF_ParamUtilsSuite2 &utils) {
                                     return utils.PF_HasParamChanged(ref, &stored, -3, &changed);
                                 }),
                  PF_Err_NONE);
        EXPECT_EQ(changed, c.changed != None && c.changed != Layer) << c.what;
        expectNothingHeld(host, 2);
        activeScript() = nullptr;
    }
}

TEST(ParamUI, UpdatesTakeTheFlagsAndNeverTheValue) {
    Host host;
    setUp(host);
    setParam(host, Slider, {7});
    EXPECT_TRUE(paramDisabled(host, Color));  // as registered
    EXPECT_FALSE(paramDisabled(host, Slider));
    PF_ParamDef def = paramDefAt(host, Slider, 0);
    def.u.sd.value = 99;
    def.ui_flags = PF_PUI_DISABLED | PF_PUI_STD_CONTROL_ONLY;
    EXPECT_EQ(withParamUtils(host,
                             [&](PF_ProgPtr ref, const PF_ParamUtilsSuite2 &utils) {
                                 return utils.PF_UpdateParamUI(ref, Slider, &def);
                             }),
              PF_Err_NONE);
    EXPECT_TRUE(paramDisabled(host, Slider));
    EXPECT_EQ(host.paramDefs[Slider].ui_flags, PF_PUI_DISABLED | PF_PUI_STD_CONTROL_ONLY);
    EXPECT_EQ(paramValueAt(host, Slider, 0).number, 7);
    EXPECT_EQ(paramDefAt(host, Slider, 0).ui_flags, def.ui_flags);  // what the next command hands out

    // Refused, counted, and the flags left as they were.
    PF_ParamDef popup = paramDefAt(host, Popup, 0);
    const struct {
        PF_ParamIndex index;
        const PF_ParamDef *def;
    } refusals[] = {{0, &def}, {Count, &def}, {-1, &def}, {63, &def}, {Slider, nullptr}, {Slider, &popup}};
    def.ui_flags = 0;
    for (const auto &r : refusals)
        EXPECT_EQ(withParamUtils(host,
                                 [&](PF_ProgPtr ref, const PF_ParamUtilsSuite2 &utils) {
                                     return utils.PF_UpdateParamUI(ref, r.index, r.def);
                                 }),
                  PF_Err_BAD_CALLBACK_PARAM)
            << r.index;
    EXPECT_TRUE(paramDisabled(host, Slider));
    expectNothingHeld(host, 2, int(std::size(refusals)));
    activeScript() = nullptr;
}

TEST(ParamUtilsFaults, EachCallFailsWhenTheHostSaysSo) {
    for (const char *function : {"PF_UpdateParamUI", "PF_GetCurrentState", "PF_HasParamChanged"}) {
        Host host;
        setUp(host);
        host.faults.failCall[function] = {2, PF_Err_OUT_OF_MEMORY};
        host.logCalls = true;
        PF_ParamDef def = paramDefAt(host, Slider, 0);
        def.ui_flags = PF_PUI_DISABLED;
        PF_State state{};
        PF_Boolean changed = 2;
        std::vector<PF_Err> results;
        withParamUtils(host, [&](PF_ProgPtr ref, const PF_ParamUtilsSuite2 &utils) {
            for (int call = 0; call < 2; ++call) {
                changed = 2;
                results.push_back(utils.PF_UpdateParamUI(ref, Slider, &def));
                results.push_back(utils.PF_GetCurrentState(ref, -2, &state));
                results.push_back(utils.PF_HasParamChanged(ref, &state, -2, &changed));
                def.ui_flags = 0;
            }
            return PF_Err(PF_Err_NONE);
        });
        const int failed = std::string(function) == "PF_UpdateParamUI"     ? 3
                           : std::string(function) == "PF_GetCurrentState" ? 4
                                                                           : 5;
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(results[size_t(i)], i == failed ? PF_Err_OUT_OF_MEMORY : PF_Err_NONE) << function << " " << i;
        // A failed update leaves the flags; a failed query leaves its answer unwritten.
        EXPECT_EQ(paramDisabled(host, Slider), failed == 3) << function;
        EXPECT_EQ(changed, failed == 5 ? 2 : 0) << function;
        const auto logged = std::find_if(host.calls.begin(), host.calls.end(),
                                         [&](const CallRecord &r) { return r.result == PF_Err_OUT_OF_MEMORY; });
        ASSERT_NE(logged, host.calls.end()) << function;
        EXPECT_EQ(logged->function, function);
        EXPECT_EQ(logged->detail, failed == 3 ? "index 1" : "index -2");
        expectNothingHeld(host, 2);
        activeScript() = nullptr;
    }
}

// The commands carry the definitions at the current time with the host's UI
// flags, the global and sequence data, and for a changed parameter its
// index; the path suites serve the plug-in outside any render; new sequence
// data replaces the old, which the plug-in disposes of.
TEST(UICommands, CarryTheParametersAndTakeNewSequenceData) {
    Host host;
    setUp(host);
    host.frame = 60;  // two seconds at 30 frames a second
    setParamKeyframes(host, Popup, {{0, {1}}, {2, {3}}}, Interpolation::Hold);
    setParamKeyframes(host, Slider, {{0, {0}}, {4, {40}}}, Interpolation::Linear);
    struct Seen {
        PF_Cmd cmd = -1;
        A_long slider = 0, popup = 0;
        PF_ParamUIFlags colorFlags = 0;
        bool layerPixels = true, sequenceData = false, globalData = false;
        PF_Boolean open = 2;
        PF_ParamIndex changed = 0;
    } seen;
    PF_Handle installed = nullptr;
    useScript(host, [&](PF_Cmd cmd, PF_InData &in, PF_OutData &out, void *extra) {
        PF_ParamDef **params = commandParams();
        seen.cmd = cmd;
        seen.slider = params[Slider]->u.sd.value;
        seen.popup = params[Popup]->u.pd.value;
        seen.colorFlags = params[Color]->ui_flags;
        seen.layerPixels = params[0]->u.ld.data != nullptr || params[Layer]->u.ld.data != nullptr;
        seen.sequenceData = in.sequence_data == host.sequenceData && in.sequence_data;
        seen.globalData = in.global_data == host.globalData && in.global_data;
        if (cmd == PF_Cmd_USER_CHANGED_PARAM)
            seen.changed = static_cast<PF_UserChangedParamExtra *>(extra)->param_index;

        const void *query = nullptr, *data = nullptr;
        in.pica_basicP->AcquireSuite(kPFPathQuerySuite, kPFPathQuerySuiteVersion1, &query);
        in.pica_basicP->AcquireSuite(kPFPathDataSuite, kPFPathDataSuiteVersion1, &data);
        PF_PathOutlinePtr path = nullptr;
        const PF_PathID id = params[Path]->u.path_d.path_id;
        PF_Err err = static_cast<const PF_PathQuerySuite1 *>(query)->PF_CheckoutPath(
            in.effect_ref, id, in.current_time, in.time_step, in.time_scale, &path);
        if (!err) err = static_cast<const PF_PathDataSuite1 *>(data)->PF_PathIsOpen(in.effect_ref, path, &seen.open);
        static_cast<const PF_PathQuerySuite1 *>(query)->PF_CheckinPath(in.effect_ref, id, false, path);
        in.pica_basicP->ReleaseSuite(kPFPathQuerySuite, kPFPathQuerySuiteVersion1);
        in.pica_basicP->ReleaseSuite(kPFPathDataSuite, kPFPathDataSuiteVersion1);

        installed = in.utils->host_new_handle(16);
        in.utils->host_dispose_handle(in.sequence_data);
        out.sequence_data = in.sequence_data = installed;
        out.out_flags |= PF_OutFlag_REFRESH_UI;
        return err;
    });

    ASSERT_EQ(updateParamsUI(host), PF_Err_NONE);
    EXPECT_EQ(seen.cmd, PF_Cmd_UPDATE_PARAMS_UI);
    EXPECT_EQ(seen.slider, 20);
    EXPECT_EQ(seen.popup, 3);
    EXPECT_EQ(seen.colorFlags, PF_PUI_DISABLED);
    EXPECT_FALSE(seen.layerPixels);
    EXPECT_TRUE(seen.sequenceData);
    EXPECT_TRUE(seen.globalData);
    EXPECT_EQ(seen.open, 0);
    EXPECT_EQ(host.sequenceData, installed);
    expectNothingHeld(host, 2);

    host.masks[0].closed = false;
    ASSERT_EQ(userChangedParam(host, Popup), PF_Err_NONE);
    EXPECT_EQ(seen.cmd, PF_Cmd_USER_CHANGED_PARAM);
    EXPECT_EQ(seen.changed, Popup);
    EXPECT_EQ(seen.open, 1);
    EXPECT_TRUE(seen.sequenceData);
    EXPECT_EQ(host.sequenceData, installed);
    expectNothingHeld(host, 2);

    seen.cmd = -1;
    for (int index : {0, -1, int(Count)}) EXPECT_EQ(userChangedParam(host, index), PF_Err_INVALID_INDEX) << index;
    EXPECT_EQ(seen.cmd, -1);  // never sent
    activeScript() = nullptr;
}

}  // namespace
}  // namespace minihost
