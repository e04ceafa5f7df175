// Layer stamping's preparation, tint and clean-up.
#include "host/layer_stamp.h"

#include <cmath>

#include "engine/instance_colors.h"
#include "host/param_table.h"
#include "raster/blend_modes.h"

void prepareLayer(LayerStamp &layer, HostCommand &command, SuiteHandler &suites, const PF_WorldSuite2 *worlds2,
                  const PatternParams &params, double largestRadius, PixelDepth depth) {
    PF_Err &pending = command.pending;
    const PF_InData *in_data = command.in_data;
    ParamCheckouts checkouts(command);  // the layer is checked back in once copied
    checkOutParam(checkouts, ParamIndex::Layer);
    PF_EffectWorld *pixels = &checkouts.values[ParamIndex::Layer].u.ld;
    if (pending != PF_Err_NONE || !pixels->data) return;

    const LayerSize size = layerTargetSize(largestRadius, pixels->width, pixels->height);
    const PF_WorldSuite1 *worlds1 = depth == DepthFloat ? nullptr : suite<SuiteId::World1>(suites);
    for (WorldOwner *world : {&layer.base, &layer.source, &layer.tint})
        makeWorld(*world, depth, size.width, size.height, false, worlds1, worlds2);
    PF_UtilCallbacks *utils = in_data->utils;
    PF_ProgPtr ref = in_data->effect_ref;
    chainHostCall(pending, [&] { return utils->copy(ref, pixels, &layer.base.world, nullptr, nullptr); });
    chainHostCall(pending, [&] { return utils->copy(ref, &layer.base.world, &layer.source.world, nullptr, nullptr); });
    if (pending != PF_Err_NONE) return;

    layer.prepared = true;
    layer.size = size.side;
    layer.sampler = LayerSampler{ref,
                                 &layer.source.world,
                                 nearestFixed(size.width * 0.5 * 65536),
                                 nearestFixed(size.height * 0.5 * 65536),
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 &command.pending};
    const double opacity = params.colorOpacity;
    layer.tinting = opacity > 0;
    layer.tintMode.xfer = transferModeOf(params.layerBlendMode);
    layer.tintMode.rand_seed = 0;
    layer.tintMode.opacity = static_cast<A_u_char>(std::trunc(opacity * 255));
    layer.tintMode.rgb_only = true;
    layer.tintMode.opacitySu = static_cast<A_u_short>(std::trunc(opacity * 32768));
    layer.tintRect = PF_Rect{0, 0, size.width, size.height};
}

void tintLayer(LayerStamp &layer, HostCommand &command, const PF_FillMatteSuite2 *fills, const PixelForms &fill,
               PixelDepth depth) {
    if (!layer.tinting || (layer.tintApplied && !layer.tintPerPoint)) return;
    PF_Err &pending = command.pending;
    const PF_InData *in_data = command.in_data;
    PF_ProgPtr ref = in_data->effect_ref;
    PF_EffectWorld *tint = &layer.tint.world;
    chainHostCall(pending, [&] {
        if (depth == DepthFloat) {
            PF_PixelFloat colour = fill.colorF;
            colour.alpha = 1.0f;
            return fills->fill_float(ref, &colour, nullptr, tint);
        }
        if (depth == Depth16) {
            PF_Pixel16 colour = fill.color16;
            colour.alpha = 32768;
            return fills->fill16(ref, &colour, nullptr, tint);
        }
        PF_Pixel colour = fill.color8;
        colour.alpha = 255;
        return fills->fill(ref, &colour, nullptr, tint);
    });
    PF_UtilCallbacks *utils = in_data->utils;
    PF_EffectWorld *source = &layer.source.world;
    chainHostCall(pending, [&] { return utils->copy(ref, &layer.base.world, source, nullptr, nullptr); });
    chainHostCall(pending, [&] {
        return utils->transfer_rect(ref, PF_Quality_HI, 0, PF_Field_FRAME, &layer.tintRect, tint, &layer.tintMode,
                                    nullptr, 0, 0, source);
    });
    layer.tintApplied = true;
}

const LayerSampler &layerSampler(LayerStamp &layer, HostCommand &command, SuiteHandler &suites, PixelDepth depth) {
    LayerSampler &sampler = layer.sampler;
    if (command.pending != PF_Err_NONE) return sampler;
    if (depth == Depth8 && !sampler.suite8) sampler.suite8 = suite<SuiteId::Sampling8>(suites);
    if (depth == Depth16 && !sampler.suite16) sampler.suite16 = suite<SuiteId::Sampling16>(suites);
    if (depth == DepthFloat && !sampler.suiteFloat) sampler.suiteFloat = suite<SuiteId::SamplingFloat>(suites);
    return sampler;
}

void disposeLayer(LayerStamp &layer) {
    for (WorldOwner *world : {&layer.tint, &layer.source, &layer.base}) disposeWorld(*world);
}
