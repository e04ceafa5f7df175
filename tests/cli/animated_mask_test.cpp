// Keyed masks in scenes: the plug-in draws a frame of a keyed mask exactly as
// it draws a fixed mask of the shape the host mixes for that frame's time.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/effect_session.h"
#include "cli/scene.h"
#include "tests/cli/cli_fixtures.h"

namespace {

std::vector<uint8_t> renderedFrame(const std::string &text, int frame) {
    pathbloom::Scene scene;
    std::string error;
    EXPECT_TRUE(pathbloom::parseScene(text, "scene.json", scratchFolder(), registeredParams(), scene, error)) << error;
    pathbloom::SceneEffects effects;
    std::ostringstream err;
    EXPECT_TRUE(pathbloom::startSceneEffects(effects, scene, mainPluginPath(), nullptr, nullptr, err)) << err.str();
    pathbloom::SceneFrame rendered;
    if (effects.empty() || !pathbloom::renderSceneFrame(effects, scene, frame, false, rendered)) {
        ADD_FAILURE() << rendered.failure;
        return {};
    }
    EXPECT_GT(rendered.placed, 0);
    return rendered.output->data;
}

std::string sceneWithMask(const std::string &mask) {
    return R"({"width": 96, "height": 64, "fps": 10, "frames": [0, 4], "depth": 16,
        "masks": [)" +
           mask + R"(], "params": {"Path": 1, "Mode": "Number", "Number": 9, "First Radius": 5,
        "Shape Mode": "Polygon"}})";
}

// Keys at frames 0 and 4: the shape moves by (32, 16) and its handles grow
// from 0 to (0, 32) and (0, -64). Frame 2 linear is half way; frame 1 eased is
// 0.15625 of the way (the smoothstep of a quarter); frame 3 held is key 0.
TEST(AnimatedMasks, AFrameDrawsTheShapeMixedForItsTime) {
    const std::string keys = R"("keys": [
        {"frame": 0, "points": [[8, 8], [40, 40], [72, 8]]},
        {"frame": 4, "points": [[40, 24], [72, 56], [104, 24]], "out": [[0, 32], [0, 0], [0, 0]],
         "in": [[0, 0], [0, 0], [0, -64]]}])";
    const struct {
        const char *interpolation;
        int frame;
        const char *fixed;  // the mask of that time, mixed by hand
    } cases[] = {
        {"linear", 2,
         R"({"closed": false, "points": [[24, 16], [56, 48], [88, 16]], "out": [[0, 16], [0, 0], [0, 0]],
             "in": [[0, 0], [0, 0], [0, -32]]})"},
        {"ease", 1,
         R"({"closed": false, "points": [[13, 10.5], [45, 42.5], [77, 10.5]], "out": [[0, 5], [0, 0], [0, 0]],
             "in": [[0, 0], [0, 0], [0, -10]]})"},
        {"hold", 3, R"({"closed": false, "points": [[8, 8], [40, 40], [72, 8]]})"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.interpolation);
        const std::string keyed =
            "{\"closed\": false, \"interpolation\": \"" + std::string(c.interpolation) + "\", " + keys + "}";
        const std::vector<uint8_t> drawn = renderedFrame(sceneWithMask(keyed), c.frame);
        EXPECT_FALSE(drawn.empty());
        EXPECT_TRUE(drawn == renderedFrame(sceneWithMask(c.fixed), c.frame));
        const bool moved = drawn != renderedFrame(sceneWithMask(keyed), 0);
        EXPECT_EQ(moved, std::string(c.interpolation) != "hold");
    }
}

}  // namespace
