// One Host rendering frame after frame keeps its worlds and its result's
// buffer: every frame, failed ones and those after them included, must equal
// the same frame from a fresh Host, with the same ledger and faults.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/support/minihost_scene.h"
#include "tests/support/plugin_paths.h"

namespace minihost {
namespace {

using hosttest::circle;
using hosttest::expectNothingHeld;
using hosttest::numberValue;

// Circles multiplied onto the input (stamp and accumulation worlds, the
// host's transfer), or stroked hexagons over transparent black (the output's
// fill, drawing straight into it).
const std::vector<std::pair<const char *, double>> multiplied = {
    {"Mode", 2},       {"Number", 9},     {"Shape Mode", 1}, {"First Radius", 5}, {"Stroke Thickness", 2},
    {"Blend Mode", 3}, {"On Original", 1}};
const std::vector<std::pair<const char *, double>> hexagons = {
    {"Mode", 2},       {"Number", 6},     {"Shape Mode", 2}, {"First Radius", 7}, {"Stroke Thickness", 3},
    {"Blend Mode", 1}, {"On Original", 0}};

struct Step {
    const char *what;
    const std::vector<std::pair<const char *, double>> *scene;
    const char *failing;  // host function whose first call fails, or null
    int downsample;
    bool inputChanged;  // one input pixel differs from the steps before
};

const Step steps[] = {
    {"multiplied", &multiplied, nullptr, 1, false},
    {"hexagons", &hexagons, nullptr, 1, false},
    {"multiplied, first world allocation fails", &multiplied, "new world", 1, false},
    {"hexagons, the output's fill fails and is shrugged off", &hexagons, "fill", 1, false},
    {"multiplied again", &multiplied, nullptr, 1, false},
    {"multiplied, one input pixel changed", &multiplied, nullptr, 1, true},
    {"hexagons at half resolution", &hexagons, nullptr, 2, true},
    {"hexagons", &hexagons, nullptr, 1, true},
};

Image gradientInput(bool changed) {
    Image image = makeImage(48, 36, Depth::Bits8);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            uint8_t *p = image.data.data() + 4 * (y * image.width + x);
            p[0] = uint8_t(100 + 3 * x);
            p[1] = uint8_t(5 * x);
            p[2] = uint8_t(7 * y);
            p[3] = uint8_t(x * y);
        }
    if (changed) image.data[4 * (20 * image.width + 24) + 1] ^= 0x80;
    return image;
}

void prepare(Host &host, const Step &step, Depth depth) {
    host.depth = depth;
    host.downsampleX = host.downsampleY = step.downsample;
    host.input = gradientInput(step.inputChanged);
    host.masks = {circle(24, 18, 12)};
    setParam(host, paramIndex(host, "Path"), numberValue(1));
    for (const auto &[name, value] : *step.scene) setParam(host, paramIndex(host, name), numberValue(value));
    resetLedger(host);
    host.faults = Faults{};
    if (step.failing) {
        // Worlds of 8 and 16 bits come from "PF World Suite" 1, float ones from 2.
        const std::string function = std::string(step.failing) == "new world"
                                         ? (depth == Depth::Float ? "PF_NewWorld" : "new_world")
                                         : step.failing;
        host.faults.failCall[function] = {1, PF_Err_OUT_OF_MEMORY};
    }
}

class WorldReuse : public ::testing::TestWithParam<PluginUnderTest> {};

TEST_P(WorldReuse, EveryFrameOfAKeptHostEqualsAFreshHosts) {
    for (const Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        Host kept;
        std::string error;
        ASSERT_TRUE(openPlugin(kept, GetParam().path, error)) << error;
        ASSERT_EQ(setupEffect(kept), PF_Err_NONE);
        RenderResult keptResult;
        for (const Step &step : steps) {
            SCOPED_TRACE(std::string(step.what) + " at " + std::to_string(int(depth)) + " bits");
            Host fresh;
            ASSERT_TRUE(openPlugin(fresh, GetParam().path, error)) << error;
            ASSERT_EQ(setupEffect(fresh), PF_Err_NONE);
            prepare(fresh, step, depth);
            const RenderResult expected = renderFrame(fresh);
            if (step.failing && std::string(step.failing) == "new world") {
                EXPECT_EQ(expected.renderError, PF_Err_OUT_OF_MEMORY);
            } else {
                EXPECT_EQ(expected.renderError, PF_Err_NONE);
            }

            prepare(kept, step, depth);
            renderFrame(kept, keptResult);
            EXPECT_EQ(keptResult.preRenderError, expected.preRenderError);
            EXPECT_EQ(keptResult.renderError, expected.renderError);
            EXPECT_EQ(keptResult.message, expected.message);
            EXPECT_EQ(keptResult.output.width, expected.output.width);
            EXPECT_EQ(keptResult.output.height, expected.output.height);
            EXPECT_EQ(keptResult.output.depth, expected.output.depth);
            EXPECT_TRUE(keptResult.output.data == expected.output.data);
            EXPECT_EQ(callCount(kept, "progress"), callCount(fresh, "progress"));
            expectNothingHeld(kept);
        }
        ASSERT_EQ(teardownEffect(kept), PF_Err_NONE);
    }
}

std::string profileName(const ::testing::TestParamInfo<PluginUnderTest> &info) { return info.param.profile; }

INSTANTIATE_TEST_SUITE_P(Profiles, WorldReuse, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace minihost
