// One frame through the smart-render protocol: pre-render, render, deletion of
// the pre-render data, and the output world copied out.
#include <chrono>

#include "minihost/host_state.h"

namespace minihost {
namespace {

// Red, green, blue and alpha: every channel of the output is wanted.
constexpr PF_ChannelMask allChannels = 15;

// The frame into `result`, which holds no frame's values but perhaps an
// output buffer to reuse.
void renderInto(Host &host, RenderResult &result) {
    releaseFrame(host);
    takeStreamReads(host);  // streams read outside any frame are not this frame's
    World &output = frameOutput(host);

    PF_RenderRequest request{};
    request.rect = {0, 0, output.width, output.height};
    request.field = PF_Field_FRAME;
    request.channel_mask = allChannels;
    const A_short bitdepth = static_cast<A_short>(static_cast<int>(host.depth));

    PF_PreRenderInput preInput{};
    preInput.output_request = request;
    preInput.bitdepth = bitdepth;
    PF_PreRenderOutput preOutput{};
    PF_PreRenderCallbacks preCallbacks = preRenderCallbacks();
    PF_PreRenderExtra preExtra{&preInput, &preOutput, &preCallbacks};
    using Clock = std::chrono::steady_clock;
    const Clock::time_point preStarted = Clock::now();
    result.preRenderError = sendCommand(host, PF_Cmd_SMART_PRE_RENDER, nullptr, nullptr, &preExtra);
    Clock::duration inPlugin = Clock::now() - preStarted;
    result.message = shownMessage(host);
    if (preOutput.pre_render_data) ++host.ledger.preRenderBlocks;

    if (!result.preRenderError) {
        PF_SmartRenderInput renderInput{};
        renderInput.output_request = request;
        renderInput.bitdepth = bitdepth;
        renderInput.pre_render_data = preOutput.pre_render_data;
        PF_SmartRenderCallbacks renderCallbacks = smartRenderCallbacks();
        PF_SmartRenderExtra renderExtra{&renderInput, &renderCallbacks};
        const Clock::time_point renderStarted = Clock::now();
        result.renderError = sendCommand(host, PF_Cmd_SMART_RENDER, nullptr, nullptr, &renderExtra);
        inPlugin += Clock::now() - renderStarted;
        const std::string message = shownMessage(host);
        if (!message.empty()) result.message = message;
    }

    // The data goes back through the plug-in's own function, with the in_data
    // of the command that consumed it, so that it can return host memory.
    if (preOutput.pre_render_data && preOutput.delete_pre_render_data_func) {
        CurrentHostScope scope(host);
        preOutput.delete_pre_render_data_func(preOutput.pre_render_data, &host.inData);
        --host.ledger.preRenderBlocks;
    }

    result.pluginMilliseconds =
        std::chrono::duration<double, std::milli>(inPlugin).count() - host.internals->frame.layerCopyMs;
    result.hostCallMilliseconds = host.internals->frame.hostCallMs;
    copyWorldInto(output, result.output);
    result.streamReads = takeStreamReads(host);
    releaseFrame(host);
}

}  // namespace

RenderResult renderFrame(Host &host) {
    RenderResult result;
    renderInto(host, result);
    return result;
}

void renderFrame(Host &host, RenderResult &result) {
    Image output = std::move(result.output);
    result = RenderResult{};
    result.output = std::move(output);
    renderInto(host, result);
}

}  // namespace minihost
