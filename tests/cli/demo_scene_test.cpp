// The demo scene, both of its effect instances, renders to the same pixels
// from one change to the next: a content hash of chosen frames. When drawing changes on purpose, look at the
// new frames (pathbloom render scenes/demo.json --contact-sheet ...) and
// take the hashes from the failure message.
#include <gtest/gtest.h>

#include <cstdio>

#include "cli/image_io.h"
#include "cli/render_command.h"
#include "tests/cli/cli_fixtures.h"
#include "tests/support/content_hash.h"

namespace {

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

TEST(DemoScene, FramesKeepTheirContent) {
    const std::string folder = scratchFolder();
    const std::string scene = std::string(PATHBLOOM_SOURCE_DIR) + "/scenes/demo.json";
    const struct {
        int frame;
        int depth;
        const char *hash;
    } cases[] = {
        {0, 8, "6c8bb1b34a3e7bef"},
        {4, 8, "b13c8a83c1d3e67e"},
        {7, 8, "eb3ef5f63fd78779"},
        {4, 16, "a6241ca4769ba7d6"},
    };
    for (const auto &c : cases) {
        const std::string out = folder + "/" + std::to_string(c.depth);
        const CommandResult result =
            runPathbloom("render '" + scene + "' -o '" + out + "' --plugin '" + mainPluginPath() + "' --depth " +
                         std::to_string(c.depth) + " --frames " + std::to_string(c.frame));
        ASSERT_EQ(result.status, 0) << result.err;
        // The PNG gives back the rendered channels exactly at both depths.
        minihost::Image frame;
        std::string error;
        ASSERT_TRUE(pathbloom::readPng(out + "/" + pathbloom::frameFileName(c.frame, "png"), frame, error)) << error;
        ASSERT_EQ(frame.width, 640);
        ASSERT_EQ(frame.height, 360);
        EXPECT_EQ(hex(contentHash(frame.data.data(), frame.data.size())), c.hash)
            << "frame " << c.frame << " at " << c.depth << " bits";
    }
}

}  // namespace
