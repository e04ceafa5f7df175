// Parameter UI state: which parameters the current choices ignore, the
// parameter state kept in the sequence data, and the updates to the host.
#include "host/param_ui_state.h"

#include <cstring>

#include "engine/pattern_params.h"
#include "host/global_data.h"
#include "host/host_owners.h"
#include "host/param_table.h"
#include "host/suite_handler.h"

namespace {

namespace P = ParamIndex;

// The choices the greying depends on.
struct UiChoices {
    bool open;  // the chosen mask is open; no mask counts as closed
    A_long mode, subMode, order, radiusMode, shapeMode, colorMode, strokeMode, opacityMode;

    // "Line" renders and layer stamps have no stroke.
    constexpr bool noStroke() const { return mode == Mode::Line || shapeMode == ShapeMode::Layer; }
};

// One updated parameter: enabled under the choices, greyed otherwise.
struct UiRow {
    int index;
    bool (*enabled)(const UiChoices &c);
};

constexpr bool radiusNormal(const UiChoices &c) { return c.radiusMode == ValueMode::Normal; }
constexpr bool layered(const UiChoices &c) {
    return c.shapeMode == ShapeMode::Layer || c.shapeMode == ShapeMode::Keyframe;
}
constexpr bool colorNormal(const UiChoices &c) { return c.colorMode == ValueMode::Normal; }
constexpr bool turned(const UiChoices &c) { return c.shapeMode != ShapeMode::Circle; }
constexpr bool stroked(const UiChoices &c) { return !c.noStroke(); }
constexpr bool strokeNormal(const UiChoices &c) { return !c.noStroke() && c.strokeMode == StrokeMode::Normal; }
constexpr bool strokeDeltas(const UiChoices &c) {
    return !c.noStroke() && (c.strokeMode == StrokeMode::Normal || c.strokeMode == StrokeMode::Dependent);
}
constexpr bool opacityNormal(const UiChoices &c) { return c.opacityMode == ValueMode::Normal; }

// In the order the host receives the updates.
constexpr UiRow kUiRows[] = {
    {P::Number, [](const UiChoices &c) { return !(c.mode == Mode::Line && c.subMode == SubMode::Constant); }},
    {P::VertexOffset,
     [](const UiChoices &c) {
         return !c.open && (c.mode == Mode::Vertex || (c.mode == Mode::Line && c.subMode == SubMode::Dependent));
     }},
    {P::LineLoop,
     [](const UiChoices &c) { return !c.open && c.mode == Mode::Line && c.subMode == SubMode::Dependent; }},
    {P::SubMode, [](const UiChoices &c) { return c.mode == Mode::Number || c.mode == Mode::Line; }},
    {P::OrderSeed, [](const UiChoices &c) { return c.order == Order::Random; }},
    {P::MinRadius, radiusNormal},
    {P::DeltaRadius, radiusNormal},
    {P::RadiusSeed, radiusNormal},
    {P::Offset, [](const UiChoices &c) { return !c.open && (c.mode == Mode::Number || c.mode == Mode::Line); }},
    {P::Side, [](const UiChoices &c) { return c.shapeMode == ShapeMode::Polygon; }},
    {P::Layer, layered},
    {P::LayerSettingGroup, layered},
    {P::LayerBlendMode, layered},
    {P::ColorOpacity, layered},
    {P::Keyframe, [](const UiChoices &c) { return c.shapeMode == ShapeMode::Keyframe; }},
    {P::HueVariance, colorNormal},
    {P::LightnessVariance, colorNormal},
    {P::SaturationVariance, colorNormal},
    {P::DeltaHue, colorNormal},
    {P::DeltaLightness, colorNormal},
    {P::DeltaSaturation, colorNormal},
    {P::ColorSeed, colorNormal},
    {P::DependOnPath, turned},
    {P::Phase, turned},
    {P::DeltaPhase, turned},
    {P::StrokeGroup, stroked},
    {P::StrokeThickness, stroked},
    {P::StrokeOver, stroked},
    {P::StrokeMode, stroked},
    {P::StrokeColor, [](const UiChoices &c) { return !c.noStroke() && c.strokeMode != StrokeMode::Dependent; }},
    {P::StrokeHueVariance, strokeNormal},
    {P::StrokeLightnessVariance, strokeNormal},
    {P::StrokeSaturationVariance, strokeNormal},
    {P::StrokeColorSeed, strokeNormal},
    {P::StrokeDeltaHue, strokeDeltas},
    {P::StrokeDeltaLightness, strokeDeltas},
    {P::StrokeDeltaSaturation, strokeDeltas},
    {P::MinOpacity, opacityNormal},
    {P::DeltaOpacity, opacityNormal},
    {P::OpacitySeed, opacityNormal},
};
static_assert(sizeof kUiRows / sizeof kUiRows[0] == 40);

UiChoices choicesOf(PF_ParamDef *const params[], bool open) {
    auto popup = [&](int index) { return params[index]->u.pd.value; };
    return UiChoices{open,
                     popup(P::Mode),
                     popup(P::SubMode),
                     popup(P::Order),
                     popup(P::RadiusMode),
                     popup(P::ShapeMode),
                     popup(P::ColorMode),
                     popup(P::StrokeMode),
                     popup(P::OpacityMode)};
}

// Whether the mask in "Path" is open at the command's time; chained.
bool maskIsOpen(HostCommand &command, SuiteHandler &suites, PF_PathID id) {
    if (id == 0) return false;
    PathCheckout checkout(command);
    checkOut(checkout, suite<SuiteId::PathQuery>(suites), id);
    PF_Boolean open = false;
    if (checkout.outline) {
        const PF_PathDataSuite1 *data = suite<SuiteId::PathData>(suites);
        chainHostCall(command.pending,
                      [&] { return data->PF_PathIsOpen(command.in_data->effect_ref, checkout.outline, &open); });
    }
    return open != 0;
}

// Renews the parameter state when it is stale, unknown or still the one-byte
// block of sequence setup, which is never handed to the host's test. A
// handle the host cannot give leaves the old state in place, silently; a new
// handle that is not installed is disposed of. Chained.
void renewState(HostCommand &command, SuiteHandler &suites, PF_InData *in_data, A_u_char stateValid) {
    PF_Err &pending = command.pending;
    const PF_HandleSuite1 *handles = suite<SuiteId::Handle>(suites);
    const PF_ParamUtilsSuite1 *utils = suite<SuiteId::ParamUtils>(suites);
    PF_Handle stored = in_data->sequence_data;
    PF_Boolean changed = true;  // nothing recorded to compare with
    if (stored && handles->host_get_handle_size(stored) >= sizeof(PF_State)) {
        HostHandleOwner old(handleFunctions(handles), stored);
        old.owned = false;
        if (const PF_State *state = static_cast<const PF_State *>(old.lock())) {
            chainHostCall(pending, [&] {
                return utils->PF_HasParamChanged(in_data->effect_ref, state, PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE,
                                                 &changed);
            });
        }
    }
    if (!changed && stateValid != 0) return;

    HostHandleOwner fresh(handleFunctions(in_data->utils), in_data->utils->host_new_handle(sizeof(PF_State)));
    if (!fresh.handle || pending != PF_Err_NONE) return;
    PF_State *state = static_cast<PF_State *>(fresh.lock());
    if (!state) return;
    std::memset(state, 0, sizeof *state);
    chainHostCall(pending, [&] {
        return utils->PF_GetCurrentState(in_data->effect_ref, PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE, state);
    });
    if (pending != PF_Err_NONE) return;
    if (stored) handles->host_dispose_handle(stored);
    fresh.owned = false;
    in_data->sequence_data = fresh.handle;
    command.out_data->sequence_data = fresh.handle;
}

}  // namespace

PF_Err updateParamsUi(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[]) {
    SuiteHandler suites(in_data->pica_basicP);
    HostCommand command{in_data, out_data};
    PF_Err &pending = command.pending;
    if (!params) return PF_Err_BAD_CALLBACK_PARAM;
    for (int index = 1; index < P::Count; ++index)
        if (!params[index]) return PF_Err_BAD_CALLBACK_PARAM;

    const bool open = maskIsOpen(command, suites, params[P::Path]->u.path_d.path_id);
    if (pending != PF_Err_NONE) {
        out_data->out_flags |= PF_OutFlag_REFRESH_UI;
        return pending;
    }
    PF_ParamDef copies[P::Count] = {};
    for (const UiRow &row : kUiRows) copies[row.index] = *params[row.index];

    HostHandleOwner global(handleFunctions(suite<SuiteId::Handle>(suites)), in_data->global_data);
    global.owned = false;
    GlobalData *data = global.handle ? static_cast<GlobalData *>(global.lock()) : nullptr;
    if (!data) {
        out_data->out_flags |= PF_OutFlag_REFRESH_UI;
        return PF_Err_NONE;
    }

    renewState(command, suites, in_data, data->stateValid);

    const UiChoices choices = choicesOf(params, open);
    const PF_ParamUtilsSuite1 *utils = suite<SuiteId::ParamUtils>(suites);
    for (const UiRow &row : kUiRows) {
        PF_ParamDef &copy = copies[row.index];
        if (row.enabled(choices)) {
            copy.ui_flags &= ~PF_PUI_DISABLED;
        } else {
            copy.ui_flags |= PF_PUI_DISABLED;
        }
        copy.param_type = paramRow(row.index).type;
        in_data->utils->ansi.strcpy(copy.name, paramRow(row.index).name);
        chainHostCall(pending, [&] { return utils->PF_UpdateParamUI(in_data->effect_ref, row.index, &copy); });
    }

    if (pending == PF_Err_NONE) {
        data->stateValid = 1;
    } else {
        in_data->utils->ansi.strcpy(out_data->return_msg, "ERROR");
        out_data->out_flags = PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    }
    out_data->out_flags |= PF_OutFlag_REFRESH_UI;
    return pending;
}
