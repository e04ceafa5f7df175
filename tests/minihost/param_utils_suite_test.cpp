// "PF Param Utils Suite" and the user-interface commands: the state digest,
// the UI flags, refusals and injected faults, and what the plug-in receives
// with PF_Cmd_UPDATE_PARAMS_UI and PF_Cmd_USER_CHANGED_PARAM.
#include <algorithm>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/host_internals.h"
#include "tests/minihost/scripted_plugin.h"
#include "tests/support/minihost_scene.h"

namespace minihost {
namespace {

using hosttest::expectNothingHeld;
using hosttest::vertex;

enum Index { None = -9, Slider = 1, Color, Popup, Path, Layer, Count };

const PF_ParamUtilsSuite2 &utils() { return *static_cast<const PF_ParamUtilsSuite2 *>(paramUtilsSuite()); }

// One parameter of each kind the state follows, "Color" greyed out as
// registered; sequence data from sequence setup; "Path" on a closed mask.
void setUp(Host &host) {
    useScript(host, [](PF_Cmd cmd, PF_InData &in, PF_OutData &out, void *) {
        if (cmd == PF_Cmd_SEQUENCE_SETUP) out.sequence_data = in.utils->host_new_handle(8);
        for (PF_ParamType type : {PF_Param_SLIDER, PF_Param_COLOR, PF_Param_POPUP, PF_Param_PATH, PF_Param_LAYER}) {
            PF_ParamDef def{};
            def.param_type = type;
            def.ui_flags = type == PF_Param_COLOR ? PF_PUI_DISABLED : 0;
            if (cmd == PF_Cmd_PARAMS_SETUP) PF_ADD_PARAM(&in, -1, &def);
        }
        return PF_Err(PF_Err_NONE);
    });
    ASSERT_EQ(setupEffect(host), PF_Err_NONE);
    host.masks = {hosttest::polyline(true, {vertex(0, 0), vertex(9, 0), vertex(9, 9)}), Mask{}};
    setParam(host, Path, {1});
    activeScript() = nullptr;
}

std::vector<A_u_long> stateOf(Host &host, PF_ParamIndex index) {
    PF_State state{};
    EXPECT_EQ(utils().PF_GetCurrentState(refFromHost(host), index, &state), PF_Err_NONE) << index;
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
        {"the same value keyframed",
         [](Host &h) {
             setParamKeyframes(h, Slider, {{0, {0}}}, Interpolation::Hold);
         },
         Slider},
        {"a colour channel",
         [](Host &h) {
             setParam(h, Color, {0, {0, 0, 0, 1}});
         },
         Color},
        {"the named mask opened", [](Host &h) { h.masks[0].closed = false; }, Path},
        {"a tangent of the named mask", [](Host &h) { h.masks[0].vertices[1].outY = 0.5; }, Path},
        {"another mask", [](Host &h) { h.masks[1].closed = false; }, None},
        {"the layer", [](Host &h) { setParam(h, Layer, {1}); }, Layer},
    };
    const PF_ParamIndex indices[] = {
        PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE, PF_ParamIndex_CHECK_ALL, 0, Slider, Color, Popup, Path, Layer};
    for (const auto &c : cases) {
        Host host;
        setUp(host);
        std::vector<std::vector<A_u_long>> before;
        for (PF_ParamIndex i : indices) before.push_back(stateOf(host, i));
        EXPECT_EQ(stateOf(host, -3), before[0]);  // stable
        PF_State stored{};
        std::copy(before[0].begin(), before[0].end(), stored.reserved);
        c.change(host);
        const bool inExceptLayers = c.changed != None && c.changed != Layer;
        for (size_t k = 0; k < std::size(indices); ++k) {
            const bool expected = k == 0 ? inExceptLayers : k == 1 ? c.changed != None : indices[k] == c.changed;
            EXPECT_EQ(stateOf(host, indices[k]) != before[k], expected) << c.what << ", index " << indices[k];
        }
        PF_Boolean changed = 2;
        EXPECT_EQ(utils().PF_HasParamChanged(refFromHost(host), &stored, -3, &changed), PF_Err_NONE);
        EXPECT_EQ(changed, inExceptLayers) << c.what;
    }
}

TEST(ParamUI, UpdatesTakeTheFlagsNeverTheValueAndRefuseWhatAHostRefuses) {
    Host host;
    setUp(host);
    setParam(host, Slider, {7});
    EXPECT_TRUE(paramDisabled(host, Color));  // as registered
    PF_ParamDef def = paramDefAt(host, Slider, 0), popup = paramDefAt(host, Popup, 0);
    def.u.sd.value = 99;
    def.ui_flags = PF_PUI_DISABLED | PF_PUI_STD_CONTROL_ONLY;
    EXPECT_EQ(utils().PF_UpdateParamUI(refFromHost(host), Slider, &def), PF_Err_NONE);
    EXPECT_TRUE(paramDisabled(host, Slider));
    EXPECT_EQ(paramDefAt(host, Slider, 0).ui_flags, def.ui_flags);  // what checkouts and commands hand out
    EXPECT_EQ(paramValueAt(host, Slider, 0).number, 7);

    def.ui_flags = 0;
    const std::pair<PF_ParamIndex, const PF_ParamDef *> refused[] = {{0, &def},  {Count, &def},     {-1, &def},
                                                                     {63, &def}, {Slider, nullptr}, {Slider, &popup}};
    for (const auto &[index, given] : refused)
        EXPECT_EQ(utils().PF_UpdateParamUI(refFromHost(host), index, given), PF_Err_BAD_CALLBACK_PARAM) << index;
    PF_State state{};
    PF_Boolean changed = 0;
    EXPECT_EQ(utils().PF_GetCurrentState(refFromHost(host), -1, &state), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(utils().PF_HasParamChanged(refFromHost(host), &state, Count, &changed), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(paramDisabled(host, Slider));
    expectNothingHeld(host, 1, int(std::size(refused)) + 2);
}

TEST(ParamUtilsFaults, EachCallFailsWhenTheHostSaysSo) {
    Host host;
    setUp(host);
    host.logCalls = true;
    PF_ParamDef def = paramDefAt(host, Slider, 0);
    def.ui_flags = PF_PUI_DISABLED;
    PF_State state{};
    PF_Boolean changed = 2;
    for (const char *function : {"PF_UpdateParamUI", "PF_GetCurrentState", "PF_HasParamChanged"})
        host.faults.failCall[function] = {1, PF_Err_OUT_OF_MEMORY};
    EXPECT_EQ(utils().PF_UpdateParamUI(refFromHost(host), Slider, &def), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(utils().PF_GetCurrentState(refFromHost(host), -2, &state), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(utils().PF_HasParamChanged(refFromHost(host), &state, -2, &changed), PF_Err_OUT_OF_MEMORY);
    EXPECT_FALSE(paramDisabled(host, Slider));
    EXPECT_EQ(changed, 2);
    ASSERT_EQ(host.calls.size(), 3u);
    EXPECT_EQ(host.calls[0].detail, "index 1");
    EXPECT_EQ(host.calls[2].function, "PF_HasParamChanged");
    EXPECT_EQ(utils().PF_UpdateParamUI(refFromHost(host), Slider, &def), PF_Err_NONE);  // the second call
    EXPECT_TRUE(paramDisabled(host, Slider));
    expectNothingHeld(host, 1);
}

// The commands carry the definitions at the current time with the host's UI
// flags, the sequence data and the changed parameter's index; the path
// suites serve them; new sequence data replaces the old.
TEST(UICommands, CarryTheParametersAndTakeNewSequenceData) {
    Host host;
    setUp(host);
    host.frame = 60;  // two seconds at 30 frames a second
    setParamKeyframes(host, Slider, {{0, {0}}, {4, {40}}}, Interpolation::Linear);
    std::vector<long> seen;  // command, slider, colour flags, old sequence data, mask open, changed index
    PF_Handle installed = nullptr;
    useScript(host, [&](PF_Cmd cmd, PF_InData &in, PF_OutData &out, void *extra) {
        PF_ParamDef **params = commandParams();
        const auto &query = *static_cast<const PF_PathQuerySuite1 *>(pathQuerySuite());
        PF_PathOutlinePtr path = nullptr;
        PF_Boolean open = 2;
        const PF_PathID id = params[Path]->u.path_d.path_id;
        query.PF_CheckoutPath(in.effect_ref, id, in.current_time, in.time_step, in.time_scale, &path);
        static_cast<const PF_PathDataSuite1 *>(pathDataSuite())->PF_PathIsOpen(in.effect_ref, path, &open);
        query.PF_CheckinPath(in.effect_ref, id, false, path);
        seen = {cmd,
                params[Slider]->u.sd.value,
                params[Color]->ui_flags,
                in.sequence_data == host.sequenceData,
                open,
                extra ? static_cast<PF_UserChangedParamExtra *>(extra)->param_index : 0};
        installed = out.sequence_data = in.utils->host_new_handle(16);
        in.utils->host_dispose_handle(in.sequence_data);
        return PF_Err(PF_Err_NONE);
    });
    ASSERT_EQ(updateParamsUI(host), PF_Err_NONE);
    EXPECT_EQ(seen, (std::vector<long>{PF_Cmd_UPDATE_PARAMS_UI, 20, PF_PUI_DISABLED, 1, 0, 0}));
    EXPECT_EQ(host.sequenceData, installed);
    host.masks[0].closed = false;
    ASSERT_EQ(userChangedParam(host, Popup), PF_Err_NONE);
    EXPECT_EQ(seen, (std::vector<long>{PF_Cmd_USER_CHANGED_PARAM, 20, PF_PUI_DISABLED, 1, 1, Popup}));
    EXPECT_EQ(host.sequenceData, installed);
    expectNothingHeld(host, 1);
    seen.clear();
    for (int index : {0, int(Count)}) EXPECT_EQ(userChangedParam(host, index), PF_Err_INVALID_INDEX);
    EXPECT_TRUE(seen.empty());  // never sent
    activeScript() = nullptr;
}

}  // namespace
}  // namespace minihost
