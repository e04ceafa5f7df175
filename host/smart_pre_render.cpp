// Smart pre-render: reads the frame's parameters into a PatternParams block
// owned by the host as pre-render data, checks out the input layer with the
// output's request and reports the layer's rectangles as the output's.
#include "host/smart_pre_render.h"

#include <cstring>

#include "host/param_table.h"
#include "host/suite_handler.h"

const int kSnapshotReadOrder[kSnapshotParamCount] = {
    ParamIndex::Path,
    ParamIndex::Mode,
    ParamIndex::SubMode,
    ParamIndex::Number,
    ParamIndex::Offset,
    ParamIndex::VertexOffset,
    ParamIndex::LineLoop,
    ParamIndex::Start,
    ParamIndex::End,
    ParamIndex::Delay,
    ParamIndex::Order,
    ParamIndex::OrderSeed,
    ParamIndex::RadiusMode,
    ParamIndex::FirstRadius,
    ParamIndex::MinRadius,
    ParamIndex::DeltaRadius,
    ParamIndex::RadiusSeed,
    ParamIndex::ShapeMode,
    ParamIndex::Side,
    ParamIndex::LayerBlendMode,
    ParamIndex::ColorOpacity,
    ParamIndex::DependOnPath,
    ParamIndex::Phase,
    ParamIndex::DeltaPhase,
    ParamIndex::ColorMode,
    ParamIndex::Color,
    ParamIndex::DeltaHue,
    ParamIndex::DeltaLightness,
    ParamIndex::DeltaSaturation,
    ParamIndex::HueVariance,
    ParamIndex::LightnessVariance,
    ParamIndex::SaturationVariance,
    ParamIndex::ColorSeed,
    ParamIndex::StrokeMode,
    ParamIndex::StrokeOver,
    ParamIndex::StrokeThickness,
    ParamIndex::StrokeColor,
    ParamIndex::StrokeDeltaHue,
    ParamIndex::StrokeDeltaLightness,
    ParamIndex::StrokeDeltaSaturation,
    ParamIndex::StrokeHueVariance,
    ParamIndex::StrokeLightnessVariance,
    ParamIndex::StrokeSaturationVariance,
    ParamIndex::StrokeColorSeed,
    ParamIndex::OpacityMode,
    ParamIndex::Opacity,
    ParamIndex::DeltaOpacity,
    ParamIndex::MinOpacity,
    ParamIndex::OpacitySeed,
    ParamIndex::BlendMode,
    ParamIndex::OnOriginal,
};

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

// 16.16 to real.
double fromFixed(PF_Fixed value) { return value / 65536.0; }

// A fixed-slider percentage (16.16) as a fraction.
double fixedFraction(const PF_ParamDef &def) { return def.u.fd.value * (1.0 / 65536.0) * 0.01; }

// A float-slider percentage as a fraction.
double floatFraction(const PF_ParamDef &def) { return def.u.fs_d.value * 0.01; }

// An angle as turns in [0, 1): the remainder keeps the dividend's sign, so
// only negative angles need the added turn.
double reducedTurns(const PF_ParamDef &def, A_FpLong (*fmod)(A_FpLong, A_FpLong)) {
    const double turns = fmod(fromFixed(def.u.ad.value), 360.0) / 360.0;
    return turns < 0 ? turns + 1.0 : turns;
}

// An angle as turns, whole turns kept (a hue delta of 720 degrees is 2).
double turns(const PF_ParamDef &def) { return fromFixed(def.u.ad.value) / 360.0; }

double radians(const PF_ParamDef &def) { return fromFixed(def.u.ad.value) * kRadiansPerDegree; }

}  // namespace

void fillSnapshot(PatternParams &snapshot, const PF_ParamDef *values, double downsample,
                  A_FpLong (*fmod)(A_FpLong, A_FpLong)) {
    namespace P = ParamIndex;
    std::memset(&snapshot, 0, sizeof snapshot);
    snapshot.downsample = downsample;
    snapshot.path = values[P::Path].u.path_d.path_id;
    snapshot.mode = values[P::Mode].u.pd.value;
    snapshot.subMode = values[P::SubMode].u.pd.value;
    snapshot.lineLoop = values[P::LineLoop].u.bd.value;
    snapshot.number = values[P::Number].u.sd.value;
    snapshot.vertexOffset = reducedTurns(values[P::VertexOffset], fmod);
    snapshot.offset = reducedTurns(values[P::Offset], fmod);
    snapshot.start = fixedFraction(values[P::Start]);
    snapshot.end = fixedFraction(values[P::End]);
    snapshot.delay = fixedFraction(values[P::Delay]);
    snapshot.order = values[P::Order].u.pd.value;
    snapshot.orderSeed = values[P::OrderSeed].u.sd.value;
    snapshot.radiusMode = values[P::RadiusMode].u.pd.value;
    snapshot.firstRadius = values[P::FirstRadius].u.fs_d.value * downsample;
    snapshot.minRadius = fixedFraction(values[P::MinRadius]);
    snapshot.deltaRadius = values[P::DeltaRadius].u.fs_d.value * downsample;
    snapshot.radiusSeed = values[P::RadiusSeed].u.sd.value;
    snapshot.shapeMode = values[P::ShapeMode].u.pd.value;
    snapshot.side = values[P::Side].u.sd.value;
    snapshot.layerBlendMode = values[P::LayerBlendMode].u.pd.value;
    snapshot.colorOpacity = fixedFraction(values[P::ColorOpacity]);
    snapshot.dependOnPath = values[P::DependOnPath].u.bd.value;
    snapshot.phase = radians(values[P::Phase]);
    snapshot.deltaPhase = radians(values[P::DeltaPhase]);
    snapshot.colorMode = values[P::ColorMode].u.pd.value;
    snapshot.color = values[P::Color].u.cd.value;
    snapshot.hueVariance = fixedFraction(values[P::HueVariance]);
    snapshot.lightnessVariance = fixedFraction(values[P::LightnessVariance]);
    snapshot.saturationVariance = fixedFraction(values[P::SaturationVariance]);
    snapshot.deltaHue = turns(values[P::DeltaHue]);
    snapshot.deltaLightness = floatFraction(values[P::DeltaLightness]);
    snapshot.deltaSaturation = floatFraction(values[P::DeltaSaturation]);
    snapshot.colorSeed = values[P::ColorSeed].u.sd.value;
    snapshot.strokeMode = values[P::StrokeMode].u.pd.value;
    snapshot.strokeOver = values[P::StrokeOver].u.pd.value;
    snapshot.strokeThickness = values[P::StrokeThickness].u.fs_d.value * downsample;
    snapshot.strokeColor = values[P::StrokeColor].u.cd.value;
    snapshot.strokeHueVariance = fixedFraction(values[P::StrokeHueVariance]);
    snapshot.strokeLightnessVariance = fixedFraction(values[P::StrokeLightnessVariance]);
    snapshot.strokeSaturationVariance = fixedFraction(values[P::StrokeSaturationVariance]);
    snapshot.strokeDeltaHue = turns(values[P::StrokeDeltaHue]);
    snapshot.strokeDeltaLightness = floatFraction(values[P::StrokeDeltaLightness]);
    snapshot.strokeDeltaSaturation = floatFraction(values[P::StrokeDeltaSaturation]);
    snapshot.strokeColorSeed = values[P::StrokeColorSeed].u.sd.value;
    snapshot.opacityMode = values[P::OpacityMode].u.pd.value;
    snapshot.opacity = fixedFraction(values[P::Opacity]);
    snapshot.minOpacity = fixedFraction(values[P::MinOpacity]);
    snapshot.deltaOpacity = floatFraction(values[P::DeltaOpacity]);
    snapshot.opacitySeed = values[P::OpacitySeed].u.sd.value;
    snapshot.blendMode = values[P::BlendMode].u.pd.value;
    snapshot.onOriginal = values[P::OnOriginal].u.bd.value;
}

void unionRect(PF_LRect &dst, const PF_LRect &src) {
    const bool dstEmpty = dst.left >= dst.right || dst.top >= dst.bottom;
    const bool srcEmpty = src.left >= src.right || src.top >= src.bottom;
    if (dstEmpty) {
        dst = src;
    } else if (!srcEmpty) {
        if (src.left < dst.left) dst.left = src.left;
        if (src.top < dst.top) dst.top = src.top;
        if (src.right > dst.right) dst.right = src.right;
        if (src.bottom > dst.bottom) dst.bottom = src.bottom;
    }
}

void deletePreRenderData(void *pre_render_data, const PF_InData *in_data) {
    if (pre_render_data && in_data && in_data->utils)
        in_data->utils->host_dispose_handle(static_cast<PF_Handle>(pre_render_data));
}

PF_Err smartPreRender(PF_InData *in_data, PF_PreRenderExtra *extra) {
    PF_RenderRequest request = extra->input->output_request;
    SuiteHandler suites(in_data->pica_basicP);
    const PF_HandleSuite1 *handles = handleSuite(suites);

    PF_Handle block = handles->host_new_handle(sizeof(PatternParams));
    if (!block) return PF_Err_OUT_OF_MEMORY;
    void *memory = handles->host_lock_handle(block);
    if (!memory) {
        // Never handed to the host, so it is ours to free.
        handles->host_dispose_handle(block);
        return PF_Err_OUT_OF_MEMORY;
    }
    // From here the host owns the block and frees it through our function
    // once the frame's render has used it, whatever happens below.
    extra->output->pre_render_data = block;
    extra->output->delete_pre_render_data_func = deletePreRenderData;

    PF_ParamDef values[ParamIndex::Count];
    std::memset(values, 0, sizeof values);
    PF_Err err = PF_Err_NONE;
    int checkedOut = 0;
    while (checkedOut < kSnapshotParamCount && err == PF_Err_NONE) {
        const int index = kSnapshotReadOrder[checkedOut];
        err = PF_CHECKOUT_PARAM(in_data, index, in_data->current_time, in_data->time_step, in_data->time_scale,
                                &values[index]);
        if (err == PF_Err_NONE) ++checkedOut;
    }

    if (err == PF_Err_NONE) {
        request.preserve_rgb_of_zero_alpha = true;
        PF_CheckoutResult layer;
        std::memset(&layer, 0, sizeof layer);
        err = extra->cb->checkout_layer(in_data->effect_ref, ParamIndex::Input, 0, &request, in_data->current_time,
                                        in_data->time_step, in_data->time_scale, &layer);
        if (err == PF_Err_NONE) {
            const double downsample =
                static_cast<double>(in_data->downsample_x.num) / static_cast<double>(in_data->downsample_x.den);
            fillSnapshot(*static_cast<PatternParams *>(memory), values, downsample, in_data->utils->ansi.fmod);
            unionRect(extra->output->result_rect, layer.result_rect);
            unionRect(extra->output->max_result_rect, layer.max_result_rect);
        }
    }

    // The snapshot holds copies; give the definitions back. A failed check-in
    // counts only when nothing failed before it.
    for (int i = 0; i < checkedOut; ++i) {
        const PF_Err checkinErr = PF_CHECKIN_PARAM(in_data, &values[kSnapshotReadOrder[i]]);
        if (err == PF_Err_NONE) err = checkinErr;
    }
    return err;
}
