// One frame through the smart-render protocol: what the host hands out at
// pre-render and render, what it takes back, and the real plug-in's frames
// without a mask at every depth and resolution.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/minihost/scripted_plugin.h"
#include "tests/support/minihost_scene.h"
#include "tests/support/plugin_paths.h"

namespace minihost {
namespace {

// A gradient with varying alpha, so that conversions and downsampling show.
Image gradient(int width, int height) {
    Image image = makeImage(width, height, Depth::Bits8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t *p = image.data.data() + 4 * (y * width + x);
            p[0] = uint8_t(128 + x);
            p[1] = uint8_t(10 * x);
            p[2] = uint8_t(10 * y);
            p[3] = uint8_t(x * y);
        }
    return image;
}

void deletePreRenderData(void *data, const PF_InData *in) {
    in->utils->host_dispose_handle(static_cast<PF_Handle>(data));
}

// A minimal smart-render effect: copies its input to the output.
struct CopyingEffect {
    PF_CheckoutResult checkout{};
    PF_RenderRequest request{};
    A_short bitdepth = 0;
    bool checkInPixels = false;
    bool installDeletion = true;
    const char *message = nullptr;

    PF_Err operator()(PF_Cmd cmd, PF_InData &in, PF_OutData &out, void *extra) {
        if (cmd == PF_Cmd_SMART_PRE_RENDER) {
            auto *pre = static_cast<PF_PreRenderExtra *>(extra);
            request = pre->input->output_request;
            bitdepth = pre->input->bitdepth;
            pre->output->pre_render_data = in.utils->host_new_handle(16);
            if (installDeletion) pre->output->delete_pre_render_data_func = deletePreRenderData;
            if (const PF_Err err = pre->cb->checkout_layer(in.effect_ref, 0, 0, &request, in.current_time, in.time_step,
                                                           in.time_scale, &checkout))
                return err;
            pre->output->result_rect = checkout.result_rect;
            pre->output->max_result_rect = checkout.max_result_rect;
            return PF_Err_NONE;
        }
        if (cmd == PF_Cmd_SMART_RENDER) {
            auto *render = static_cast<PF_SmartRenderExtra *>(extra);
            EXPECT_NE(render->input->pre_render_data, nullptr);
            PF_EffectWorld *input = nullptr, *output = nullptr;
            if (const PF_Err err = render->cb->checkout_layer_pixels(in.effect_ref, 0, &input)) return err;
            if (const PF_Err err = render->cb->checkout_output(in.effect_ref, &output)) return err;
            const PF_Err err = in.utils->copy(in.effect_ref, input, output, nullptr, nullptr);
            if (checkInPixels) render->cb->checkin_layer_pixels(in.effect_ref, 0);
            if (message) {
                out.out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
                in.utils->ansi.sprintf(out.return_msg, "%s", message);
            }
            return err;
        }
        return PF_Err_NONE;
    }
};

using hosttest::expectNothingHeld;

struct Resolution {
    Depth depth;
    int downsampleX, downsampleY;
};

const Resolution resolutions[] = {{Depth::Bits8, 1, 1}, {Depth::Bits16, 1, 1}, {Depth::Float, 1, 1},
                                  {Depth::Bits8, 2, 2}, {Depth::Bits16, 3, 2}, {Depth::Float, 2, 4}};

TEST(RenderFrame, HandsTheInputAtTheRenderDepthAndResolution) {
    for (const Resolution &r : resolutions) {
        Host host;
        host.input = gradient(11, 7);
        host.depth = r.depth;
        host.downsampleX = r.downsampleX;
        host.downsampleY = r.downsampleY;
        CopyingEffect effect;
        useScript(host, std::ref(effect));
        const RenderResult result = renderFrame(host);
        EXPECT_EQ(result.preRenderError, PF_Err_NONE);
        EXPECT_EQ(result.renderError, PF_Err_NONE);
        const Image expected = downsampleImage(convertImage(host.input, r.depth), r.downsampleX, r.downsampleY);
        EXPECT_EQ(result.output.width, expected.width);
        EXPECT_EQ(result.output.height, expected.height);
        EXPECT_EQ(result.output.depth, r.depth);
        EXPECT_EQ(result.output.data, expected.data) << int(r.depth) << " at 1/" << r.downsampleX;
        const PF_Rect layerRect{0, 0, expected.width, expected.height};
        EXPECT_EQ(std::memcmp(&effect.checkout.result_rect, &layerRect, sizeof layerRect), 0);
        EXPECT_EQ(std::memcmp(&effect.checkout.max_result_rect, &layerRect, sizeof layerRect), 0);
        EXPECT_EQ(std::memcmp(&effect.request.rect, &layerRect, sizeof layerRect), 0);
        EXPECT_EQ(effect.bitdepth, int(r.depth));
        EXPECT_TRUE(result.message.empty());
        expectNothingHeld(host);
        activeScript() = nullptr;
    }
}

TEST(RenderFrame, PixelCheckoutsEndWithTheRenderWhetherCheckedInOrNot) {
    for (bool checkIn : {false, true}) {
        Host host;
        host.input = gradient(4, 4);
        CopyingEffect effect;
        effect.checkInPixels = checkIn;
        useScript(host, std::ref(effect));
        renderFrame(host);
        expectNothingHeld(host);
        activeScript() = nullptr;
    }
}

// A 4 x 4 gradient through the copying effect (or another script); the
// script goes with the test.
struct SmallFrame : ::testing::Test {
    Host host;
    CopyingEffect effect;
    SmallFrame() { host.input = gradient(4, 4); }
    ~SmallFrame() override { activeScript() = nullptr; }
    RenderResult renderWithEffect() {
        useScript(host, std::ref(effect));
        return renderFrame(host);
    }
};

TEST_F(SmallFrame, PreRenderDataWithoutDeletionStaysOutstanding) {
    effect.installDeletion = false;
    renderWithEffect();
    EXPECT_EQ(host.ledger.preRenderBlocks, 1);
    EXPECT_EQ(host.ledger.handles, 1);
}

TEST_F(SmallFrame, ShowsTheMessageThePluginAsksFor) {
    effect.message = "Memory Error!";
    EXPECT_EQ(renderWithEffect().message, "Memory Error!");
}

TEST_F(SmallFrame, AFailedPreRenderSkipsTheRenderButDeletesItsData) {
    host.faults.failCall["checkout_layer"] = {1, PF_Err_OUT_OF_MEMORY};
    host.logCalls = true;
    const RenderResult result = renderWithEffect();
    EXPECT_EQ(result.preRenderError, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(callCount(host, "checkout_output"), 0);
    // Nothing wrote the output: it holds the host's unwritten opaque magenta.
    EXPECT_EQ(result.output.data, solidImage(4, 4, {255, 255, 0, 255}, Depth::Bits8).data);
    expectNothingHeld(host);
}

TEST_F(SmallFrame, UnrequestedLayerPixelsAreRefused) {
    PF_Err seen = PF_Err_NONE;
    useScript(host, [&](PF_Cmd cmd, PF_InData &in, PF_OutData &, void *extra) {
        if (cmd != PF_Cmd_SMART_RENDER) return PF_Err(PF_Err_NONE);
        auto *render = static_cast<PF_SmartRenderExtra *>(extra);
        PF_EffectWorld *pixels = nullptr;
        seen = render->cb->checkout_layer_pixels(in.effect_ref, 5, &pixels);
        return PF_Err(PF_Err_NONE);
    });
    renderFrame(host);
    EXPECT_EQ(seen, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.ledger.invalidCalls, 1);
}

// A plug-in that scribbles on both worlds and shrinks their records: the
// next frame, whose worlds the host may make of the same buffers, still gets
// whole records, the input's pixels and an unwritten output.
TEST_F(SmallFrame, WorldsOfAnEarlierFrameComeBackAsNew) {
    const PF_Pixel red = {255, 255, 0, 0};
    int frame = 0;
    std::vector<PF_Pixel> seenOutput, seenInput;
    std::vector<A_long> seenRecords;
    useScript(host, [&](PF_Cmd cmd, PF_InData &in, PF_OutData &out, void *extra) {
        if (cmd != PF_Cmd_SMART_RENDER) return effect(cmd, in, out, extra);
        auto *render = static_cast<PF_SmartRenderExtra *>(extra);
        PF_EffectWorld *input = nullptr, *output = nullptr;
        render->cb->checkout_layer_pixels(in.effect_ref, 0, &input);
        render->cb->checkout_output(in.effect_ref, &output);
        for (const PF_EffectWorld *world : {input, output})
            seenRecords.insert(seenRecords.end(), {world->width, world->height, world->rowbytes});
        for (int i = 0; i < 16; ++i) {
            seenInput.push_back(reinterpret_cast<const PF_Pixel *>(input->data)[i % 4 + i / 4 * input->rowbytes / 4]);
            seenOutput.push_back(
                reinterpret_cast<const PF_Pixel *>(output->data)[i % 4 + i / 4 * output->rowbytes / 4]);
        }
        if (frame++ == 0) {
            for (PF_EffectWorld *world : {input, output}) {
                *reinterpret_cast<PF_Pixel *>(world->data) = red;
                world->width = world->height = 1;
                world->rowbytes = 4;
            }
        }
        return PF_Err(PF_Err_NONE);
    });
    const Image first = renderFrame(host).output;
    RenderResult second;
    renderFrame(host, second);
    ASSERT_EQ(seenOutput.size(), 32u);
    const Image unwritten = solidImage(4, 4, {255, 255, 0, 255}, Depth::Bits8);
    EXPECT_EQ(std::memcmp(&seenOutput[16], unwritten.data.data(), 64), 0);
    EXPECT_EQ(std::memcmp(&seenInput[16], host.input.data.data(), 64), 0);
    EXPECT_EQ(std::vector<A_long>(seenRecords.begin() + 6, seenRecords.end()),
              std::vector<A_long>(seenRecords.begin(), seenRecords.begin() + 6));
    // Each frame copied out whole, by the host's own size of the world.
    Image scribbled = unwritten;
    std::memcpy(scribbled.data.data(), &red, 4);
    EXPECT_EQ(first.data, scribbled.data);
    EXPECT_EQ(second.output.data, unwritten.data);
    expectNothingHeld(host);
}

// The plug-in holds the host's own record of the output: a record it
// enlarged must not lead the host's fill past the pixels it allocated.
TEST_F(SmallFrame, AnOutputRecordEnlargedByThePluginIsRefused) {
    PF_Err filled = PF_Err_NONE;
    useScript(host, [&](PF_Cmd cmd, PF_InData &in, PF_OutData &out, void *extra) {
        if (cmd != PF_Cmd_SMART_RENDER) return effect(cmd, in, out, extra);
        PF_EffectWorld *output = nullptr;
        static_cast<PF_SmartRenderExtra *>(extra)->cb->checkout_output(in.effect_ref, &output);
        output->height += 1000;
        filled = in.utils->fill(in.effect_ref, nullptr, nullptr, output);
        return PF_Err(PF_Err_NONE);
    });
    const RenderResult result = renderFrame(host);
    EXPECT_EQ(filled, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(result.output.height, 4);
    EXPECT_EQ(result.output.data, solidImage(4, 4, {255, 255, 0, 255}, Depth::Bits8).data);
    expectNothingHeld(host, 0, 1);
}

// The real plug-in with no mask chosen: the frame is the input with "On
// Original" and transparent black without it.
class PluginFrame : public ::testing::TestWithParam<PluginUnderTest> {};

TEST_P(PluginFrame, WithoutAMaskTheFrameIsThePreparedOutput) {
    for (const Resolution &r : resolutions) {
        for (bool onOriginal : {true, false}) {
            Host host;
            std::string error;
            ASSERT_TRUE(openPlugin(host, GetParam().path, error)) << error;
            ASSERT_EQ(setupEffect(host), PF_Err_NONE);
            host.input = gradient(9, 6);
            host.depth = r.depth;
            host.downsampleX = r.downsampleX;
            host.downsampleY = r.downsampleY;
            ParamValue off;
            setParam(host, paramIndex(host, "Path"), off);
            ParamValue original;
            original.number = onOriginal ? 1 : 0;
            setParam(host, paramIndex(host, "On Original"), original);
            resetLedger(host);
            const RenderResult result = renderFrame(host);
            EXPECT_EQ(result.preRenderError, PF_Err_NONE);
            EXPECT_EQ(result.renderError, PF_Err_NONE);
            const Image input = downsampleImage(convertImage(host.input, r.depth), r.downsampleX, r.downsampleY);
            const Image expected = onOriginal ? input : makeImage(input.width, input.height, r.depth);
            EXPECT_EQ(result.output.data, expected.data)
                << "depth " << int(r.depth) << " at 1/" << r.downsampleX << " on original " << onOriginal;
            expectNothingHeld(host);
        }
    }
}

std::string profileName(const ::testing::TestParamInfo<PluginUnderTest> &info) { return info.param.profile; }

INSTANTIATE_TEST_SUITE_P(Profiles, PluginFrame, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace minihost
