// The callbacks of the smart pre-render (layer requests) and the smart render
// (layer pixels and the output world), and the frame state behind them.
#include <string>

#include "minihost/host_state.h"

namespace minihost {
namespace {

PF_Err checkoutLayer(PF_ProgPtr effectRef, PF_ParamIndex index, A_long checkoutId, const PF_RenderRequest *request,
                     A_long what_time, A_long, A_u_long time_scale, PF_CheckoutResult *result) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err =
            enterCall(host, "checkout_layer", "index " + std::to_string(index) + " id " + std::to_string(checkoutId)))
        return err;
    if (!request || !result) return refused(host);
    // Index 0, the input layer, exists before any parameter is registered.
    const bool layerParam = index > 0 && static_cast<std::size_t>(index) < host.paramDefs.size() &&
                            host.paramDefs[static_cast<std::size_t>(index)].param_type == PF_Param_LAYER;
    if (index != 0 && !layerParam) return PF_Err_INVALID_INDEX;
    const double seconds = secondsOf(host, what_time, time_scale);
    const double layerNumber = index == 0 ? -1.0 : paramValueAt(host, index, seconds).number;
    host.internals->frame.layerRequests[checkoutId] = layerNumber;
    *result = PF_CheckoutResult{};
    result->par = {1, 1};
    if (const Image *layer = layerSource(host, layerNumber)) {
        int width = 0, height = 0;
        layerSize(host, *layer, width, height);
        result->result_rect = {0, 0, width, height};
        result->max_result_rect = result->result_rect;
        result->ref_width = width;
        result->ref_height = height;
    }
    return PF_Err_NONE;
}

PF_Err checkoutLayerPixels(PF_ProgPtr effectRef, A_long checkoutId, PF_EffectWorld **pixels) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "checkout_layer_pixels", std::to_string(checkoutId))) return err;
    FrameState &frame = host.internals->frame;
    const auto request = frame.layerRequests.find(checkoutId);
    if (!pixels || request == frame.layerRequests.end()) return refused(host);
    *pixels = nullptr;
    const auto held = frame.layerPixels.find(checkoutId);
    if (held != frame.layerPixels.end()) {
        *pixels = &held->second->def;
        return PF_Err_NONE;
    }
    // A compositing host hands out pixels it already holds; this copy is
    // ours, so benchmarks leave its time out of the plug-in's.
    const Image *layer = layerSource(host, request->second);
    if (!layer) return PF_Err_NONE;
    World *world;
    {
        const ScopeClock clock{frame.layerCopyMs};
        world = &layerWorld(host, *layer);
    }
    frame.layerPixels[checkoutId] = world;
    ++host.ledger.checkouts;
    *pixels = &world->def;
    return PF_Err_NONE;
}

PF_Err checkinLayerPixels(PF_ProgPtr effectRef, A_long checkoutId) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "checkin_layer_pixels", std::to_string(checkoutId))) return err;
    FrameState &frame = host.internals->frame;
    const auto held = frame.layerPixels.find(checkoutId);
    if (held == frame.layerPixels.end()) return refused(host);
    destroyWorld(host, *held->second);
    frame.layerPixels.erase(held);
    --host.ledger.checkouts;
    return PF_Err_NONE;
}

PF_Err checkoutOutput(PF_ProgPtr effectRef, PF_EffectWorld **output) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "checkout_output")) return err;
    if (!output) return refused(host);
    *output = &frameOutput(host).def;
    return PF_Err_NONE;
}

}  // namespace

PF_PreRenderCallbacks preRenderCallbacks() { return {checkoutLayer}; }

PF_SmartRenderCallbacks smartRenderCallbacks() { return {checkoutLayerPixels, checkinLayerPixels, checkoutOutput}; }

// The output world of the frame: the input layer's size at the command's
// resolution and depth, holding the unwritten pattern until the plug-in
// writes it, whether made afresh or kept from an earlier frame.
World &frameOutput(Host &host) {
    FrameState &frame = host.internals->frame;
    if (!frame.output) {
        int width = 0, height = 0;
        layerSize(host, host.input, width, height);
        frame.output = &hostWorld(host, width, height, host.depth, HostWorldPixels::Unwritten);
    }
    return *frame.output;
}

void releaseFrame(Host &host) {
    FrameState &frame = host.internals->frame;
    for (auto &held : frame.layerPixels) {
        destroyWorld(host, *held.second);
        --host.ledger.checkouts;
    }
    if (frame.output) destroyWorld(host, *frame.output);
    frame = FrameState{};
}

}  // namespace minihost
