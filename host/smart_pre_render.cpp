// Smart pre-render: reads the frame's parameters into a PatternParams block
// owned by the host as pre-render data, checks out the input layer with the
// output's request and reports the layer's rectangles as the output's.
#include "host/smart_pre_render.h"

#include <cstring>

#include "host/host_owners.h"
#include "host/param_table.h"
#include "host/suite_handler.h"

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

    HostHandleOwner block(handleFunctions(suite<SuiteId::Handle>(suites)));
    block.handle = block.functions.newHandle(sizeof(PatternParams));
    if (!block.handle) return PF_Err_OUT_OF_MEMORY;
    PatternParams *snapshot = static_cast<PatternParams *>(block.lock());
    if (!snapshot) return PF_Err_OUT_OF_MEMORY;  // never handed over: the owner frees it
    // From here the host owns the block, locked, and frees it through our
    // function once the frame's render has used it, whatever happens below.
    extra->output->pre_render_data = handOverLocked(block);
    extra->output->delete_pre_render_data_func = deletePreRenderData;

    HostCommand command{in_data, nullptr};
    {
        // The snapshot holds copies; the definitions go back at the end.
        ParamCheckouts params(command);
        for (const int index : kSnapshotReadOrder) checkOutParam(params, index);
        request.preserve_rgb_of_zero_alpha = true;
        PF_CheckoutResult layer;
        std::memset(&layer, 0, sizeof layer);
        chainHostCall(command.pending, [&] {
            return extra->cb->checkout_layer(in_data->effect_ref, ParamIndex::Input, 0, &request, in_data->current_time,
                                             in_data->time_step, in_data->time_scale, &layer);
        });
        if (command.pending == PF_Err_NONE) {
            const double downsample =
                static_cast<double>(in_data->downsample_x.num) / static_cast<double>(in_data->downsample_x.den);
            fillSnapshot(*snapshot, params.values, downsample, in_data->utils->ansi.fmod);
            unionRect(extra->output->result_rect, layer.result_rect);
            unionRect(extra->output->max_result_rect, layer.max_result_rect);
        }
    }
    return command.pending;
}
