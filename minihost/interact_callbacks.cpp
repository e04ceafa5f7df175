// The interact callbacks of PF_InData: parameter registration, parameter
// checkout and check-in, abort and progress.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "minihost/host_state.h"

namespace minihost {
namespace {

PF_Err addParam(PF_ProgPtr effectRef, PF_ParamIndex index, PF_ParamDefPtr def) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err =
            enterCall(host, "add_param", def ? std::string(def->name, strnlen(def->name, sizeof def->name)) : ""))
        return err;
    if (!def) return refused(host);
    if (index != -1 && static_cast<std::size_t>(index) != host.paramDefs.size()) return PF_Err_INVALID_INDEX;
    host.paramDefs.push_back(*def);
    ParamTrack track;
    track.value = defaultValueOf(*def);
    host.params.push_back(track);
    return PF_Err_NONE;
}

PF_Err checkoutParam(PF_ProgPtr effectRef, PF_ParamIndex index, A_long what_time, A_long, A_u_long time_scale,
                     PF_ParamDef *param) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "checkout_param", std::to_string(index))) return err;
    if (!param) return refused(host);
    if (index < 0 || static_cast<std::size_t>(index) >= host.paramDefs.size()) return PF_Err_INVALID_INDEX;
    const double seconds = secondsOf(host, what_time, time_scale);
    *param = paramDefAt(host, index, seconds);
    ParamCheckout checkout;
    checkout.index = index;
    checkout.id = param->uu.id;
    const Image *layer =
        param->param_type == PF_Param_LAYER ? layerSource(host, paramValueAt(host, index, seconds).number) : nullptr;
    if (layer) {
        checkout.layer = &layerWorld(host, *layer);
        const A_long dephault = param->u.ld.dephault;
        param->u.ld = checkout.layer->def;
        param->u.ld.dephault = dephault;
    }
    host.internals->paramCheckouts.push_back(checkout);
    ++host.ledger.checkouts;
    return PF_Err_NONE;
}

PF_Err checkinParam(PF_ProgPtr effectRef, PF_ParamDef *param) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "checkin_param")) return err;
    std::vector<ParamCheckout> &checkouts = host.internals->paramCheckouts;
    auto found = checkouts.end();
    if (param) {
        const bool layerPixels = param->param_type == PF_Param_LAYER && param->u.ld.data;
        found = std::find_if(checkouts.begin(), checkouts.end(), [&](const ParamCheckout &c) {
            if (layerPixels) return c.layer && c.layer->def.data == param->u.ld.data;
            return !c.layer && c.id == param->uu.id;
        });
    }
    if (found == checkouts.end()) return refused(host);
    if (found->layer) {
        destroyWorld(host, *found->layer);
        param->u.ld.data = nullptr;
    }
    checkouts.erase(found);
    --host.ledger.checkouts;
    return PF_Err_NONE;
}

PF_Err abortCall(PF_ProgPtr effectRef) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    return enterCall(hostFromRef(effectRef), "abort");
}

PF_Err progress(PF_ProgPtr effectRef, A_long current, A_long total) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    const PF_Err err = enterCall(host, "progress",
                                 host.logCalls ? std::to_string(current) + "/" + std::to_string(total) : std::string());
    ++host.progressCalls;
    host.progressCurrent = current;
    host.progressTotal = total;
    if (host.onProgress) host.onProgress(host.progressContext, current, total);
    if (err) return err;
    if (host.cancelAtProgress > 0 && host.progressCalls == host.cancelAtProgress) return PF_Interrupt_CANCEL;
    return PF_Err_NONE;
}

}  // namespace

PF_InteractCallbacks interactCallbacks() {
    PF_InteractCallbacks callbacks{};
    callbacks.checkout_param = checkoutParam;
    callbacks.checkin_param = checkinParam;
    callbacks.add_param = addParam;
    callbacks.abort = abortCall;
    callbacks.progress = progress;
    return callbacks;
}

const Image *layerSource(const Host &host, double layerNumber) {
    const long number = std::lround(layerNumber);
    if (number == PF_LayerDefault_MYSELF) return &host.input;
    if (number >= 1 && static_cast<std::size_t>(number) <= host.layers.size())
        return &host.layers[static_cast<std::size_t>(number) - 1];
    return nullptr;
}

void layerSize(const Host &host, const Image &layer, int &width, int &height) {
    const int stepX = std::max(host.downsampleX, 1), stepY = std::max(host.downsampleY, 1);
    width = (layer.width + stepX - 1) / stepX;
    height = (layer.height + stepY - 1) / stepY;
}

// Every pixel from the layer: downsampleImage(convertImage(layer, depth), x,
// y) in one pass, into a world kept from an earlier frame when one fits. A
// kept world that most likely held this very layer (the same depth, full
// resolution) has each row compared first and written only where it differs:
// reading both is cheaper than writing, and the layer seldom changes between
// frames.
World &layerWorld(Host &host, const Image &layer) {
    const int stepX = std::max(host.downsampleX, 1), stepY = std::max(host.downsampleY, 1);
    int width = 0, height = 0;
    layerSize(host, layer, width, height);
    World &world = hostWorld(host, width, height, host.depth, HostWorldPixels::Overwritten);
    const bool comparable = world.kept && layer.depth == host.depth && stepX == 1;
    const std::size_t rowSize = static_cast<std::size_t>(width) * static_cast<std::size_t>(bytesPerPixel(host.depth));
    for (int y = 0; y < height; ++y) {
        unsigned char *row = world.storage.data() + static_cast<std::ptrdiff_t>(y) * world.rowbytes;
        const unsigned char *from = layer.data.data() + static_cast<std::size_t>(y) * stepY * rowSize;
        if (comparable && std::memcmp(row, from, rowSize) == 0) continue;
        convertRow(layer, y * stepY, stepX, host.depth, width, row);
    }
    return world;
}

void releaseParamCheckouts(Host &host) {
    for (ParamCheckout &checkout : host.internals->paramCheckouts)
        if (checkout.layer) destroyWorld(host, *checkout.layer);
    host.internals->paramCheckouts.clear();
}

}  // namespace minihost
