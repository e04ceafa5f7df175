// Whole rendered frames of the real plug-in through minihost: a host with the
// effect applied, parameters set by their names, and pixels read back at any
// depth as 8-bit step values.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/support/content_hash.h"
#include "tests/support/minihost_scene.h"
#include "tests/support/plugin_paths.h"

namespace frametest {

using hosttest::colorValue;
using hosttest::expectNothingHeld;
using hosttest::numberValue;
using hosttest::polyline;
using hosttest::vertex;
using minihost::Depth;
using minihost::Host;
using minihost::Image;
using minihost::Mask;
using minihost::MaskVertex;
using minihost::ParamValue;
using minihost::RenderResult;

// One pixel in 8-bit steps whatever the frame's depth: 16-bit channels times
// 255 / 32768, float channels times 255, not rounded.
struct Steps {
    double alpha, red, green, blue;
};

inline Steps stepsAt(const Image &image, int x, int y) {
    const size_t index = static_cast<size_t>(y) * image.width + x;
    if (image.depth == Depth::Bits8) {
        PF_Pixel p;
        std::memcpy(&p, image.data.data() + 4 * index, sizeof p);
        return {double(p.alpha), double(p.red), double(p.green), double(p.blue)};
    }
    if (image.depth == Depth::Bits16) {
        PF_Pixel16 p;
        std::memcpy(&p, image.data.data() + 8 * index, sizeof p);
        const double k = 255.0 / 32768.0;
        return {p.alpha * k, p.red * k, p.green * k, p.blue * k};
    }
    PF_PixelFloat p;
    std::memcpy(&p, image.data.data() + 16 * index, sizeof p);
    return {p.alpha * 255.0, p.red * 255.0, p.green * 255.0, p.blue * 255.0};
}

// The raw channels of one pixel at the frame's depth, alpha first.
struct Raw {
    double alpha, red, green, blue;
};

inline Raw rawAt(const Image &image, int x, int y) {
    const Steps s = stepsAt(image, x, y);
    const double back = image.depth == Depth::Bits8    ? 1.0
                        : image.depth == Depth::Bits16 ? 32768.0 / 255.0
                                                       : 1.0 / 255.0;
    return {s.alpha * back, s.red * back, s.green * back, s.blue * back};
}

// The pinned frame hashes start from 1469598103934665603.
inline uint64_t frameHash(const Image &image) {
    return contentHash(image.data.data(), image.data.size(), 1469598103934665603ull);
}

inline const char *depthName(Depth depth) {
    return depth == Depth::Bits8 ? "8-bit" : depth == Depth::Bits16 ? "16-bit" : "float";
}

// The effect applied to a transparent layer, nothing drawn over the original
// (so the frame holds only the drawn points), no stroke, white fill.
struct FrameTest : ::testing::TestWithParam<PluginUnderTest> {
    Host host;
    std::vector<minihost::ParamTrack> registered;  // the values of a fresh effect

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(minihost::openPlugin(host, GetParam().path, error)) << error;
        ASSERT_EQ(minihost::setupEffect(host), PF_Err_NONE);
        registered = host.params;
        resetScene();
    }

    // Back to the starting scene: a 96 x 64 transparent 8-bit layer at full
    // resolution, frame 0, no masks, registered values but for the three above.
    void resetScene() {
        host.params = registered;
        host.input = minihost::makeImage(96, 64, Depth::Bits8);
        host.masks.clear();
        host.layers.clear();
        host.depth = Depth::Bits8;
        host.downsampleX = host.downsampleY = 1;
        host.frame = 0;
        set("Path", 1);
        set("On Original", 0);
        set("Stroke Thickness", 0);
    }

    void set(const char *name, double number) { setValue(name, numberValue(number)); }
    void setColor(const char *name, PF_Pixel color) { setValue(name, colorValue(color)); }

    void setValue(const char *name, const ParamValue &value) {
        const int index = minihost::paramIndex(host, name);
        ASSERT_GT(index, 0) << name;
        minihost::setParam(host, index, value);
    }

    // Renders the current frame and expects success with nothing left held.
    Image render() {
        minihost::resetLedger(host);
        const RenderResult result = minihost::renderFrame(host);
        EXPECT_EQ(result.preRenderError, PF_Err_NONE);
        EXPECT_EQ(result.renderError, PF_Err_NONE);
        expectNothingHeld(host);
        return result.output;
    }
};

inline std::string profileName(const ::testing::TestParamInfo<PluginUnderTest> &info) { return info.param.profile; }

}  // namespace frametest
