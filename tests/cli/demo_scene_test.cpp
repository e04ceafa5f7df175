// The demo scene renders to the same pixels from one change to the next: a
// content hash of chosen frames. When drawing changes on purpose, look at the
// new frames (pathbloom render scenes/demo.json --contact-sheet ...) and
// take the hashes from the failure message.
#include <gtest/gtest.h>

#include <cstdio>

#include "cli/scene.h"
#include "tests/cli/cli_fixtures.h"

namespace {

// 64-bit FNV-1a over the frame's bytes.
uint64_t contentHash(const minihost::Image &image) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t byte : image.data) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

TEST(DemoScene, FramesKeepTheirContent) {
    minihost::Host host;
    std::string error;
    ASSERT_TRUE(minihost::openPlugin(host, mainPluginPath(), error)) << error;
    ASSERT_EQ(minihost::setupEffect(host), PF_Err_NONE);
    pathbloom::Scene scene;
    ASSERT_TRUE(pathbloom::loadScene(std::string(PATHBLOOM_SOURCE_DIR) + "/scenes/demo.json",
                                     host.paramDefs, scene, error))
        << error;
    pathbloom::applyScene(host, scene);
    const struct {
        int frame;
        minihost::Depth depth;
        const char *hash;
    } cases[] = {
        {0, minihost::Depth::Bits8, "6c8bb1b34a3e7bef"},
        {4, minihost::Depth::Bits8, "0c5a3d951f0b6205"},
        {7, minihost::Depth::Bits8, "070c8c7cef7584ca"},
        {4, minihost::Depth::Bits16, "24471797668a75b1"},
    };
    for (const auto &c : cases) {
        host.depth = c.depth;
        host.input = minihost::convertImage(scene.background, c.depth);
        host.frame = c.frame;
        const minihost::RenderResult result = minihost::renderFrame(host);
        ASSERT_EQ(result.preRenderError, PF_Err_NONE);
        ASSERT_EQ(result.renderError, PF_Err_NONE) << result.message;
        ASSERT_EQ(result.output.width, 640);
        ASSERT_EQ(result.output.height, 360);
        EXPECT_EQ(hex(contentHash(result.output)), c.hash)
            << "frame " << c.frame << " at " << int(c.depth) << " bits";
    }
    EXPECT_EQ(minihost::teardownEffect(host), PF_Err_NONE);
}

}  // namespace
