// Slider values beyond their valid range, as a host's 16.16 fixed point or
// float sliders can hand them out: a value takes the nearest end of the
// range and NaN the default, at every depth.
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/engine/frame_fixture.h"
#include "tests/support/plugin_paths.h"

namespace frametest {
namespace {

struct TintOutOfRange : FrameTest {
    void SetUp() override {
        FrameTest::SetUp();
        Image layer = minihost::solidImage(12, 8, PF_Pixel{255, 0, 0, 255}, Depth::Bits8);
        std::memcpy(layer.data.data(), "\xff\xff\xff\xff", 4);
        host.layers = {layer};
        host.masks = {polyline(false, {vertex(16, 32), vertex(80, 32)})};
        set("Mode", 2);
        set("Number", 3);
        set("Shape Mode", 3);
        set("Layer", 1);
        set("First Radius", 9);
        setColor("Color", PF_Pixel{255, 40, 200, 90});
    }
};

TEST_P(TintOutOfRange, OpacityBeyondTheRangeTakesItsNearestEnd) {
    const struct {
        double percent, inRange;
    } cases[] = {{100.1, 100}, {150, 100}, {327.67, 100}, {32767, 100}, {-0.1, 0}, {-50, 0}, {-32768, 0}};
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        host.depth = depth;
        for (const auto &c : cases) {
            SCOPED_TRACE(testing::Message() << c.percent << " % at depth " << int(depth));
            set("Color Opacity", c.inRange);
            const Image expected = render();
            set("Color Opacity", c.percent);
            const Image frame = render();
            EXPECT_EQ(frame.data, expected.data);
        }
    }
}

struct SlidersOutOfRange : FrameTest {};

TEST_P(SlidersOutOfRange, FloatSlidersTakeTheNearestEndAndNaNTheDefault) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double huge = std::numeric_limits<double>::max();
    const struct {
        const char *name;
        double value, inRange;
    } cases[] = {
        {"First Radius", 1e308, 1000},      {"First Radius", inf, 1000},
        {"First Radius", -inf, -1000},      {"First Radius", nan, 20},
        {"Delta Radius", huge, 1000},       {"Delta Radius", nan, 0},
        {"Stroke Thickness", 5000, 1000},   {"Stroke Thickness", -1, 0},
        {"Delta Lightness", nan, 0},        {"Delta Lightness", inf, 100},
        {"Delta Saturation", -1e300, -100}, {"Stroke Delta Lightness", nan, 0},
        {"Delta Opacity", -inf, -100},      {"Opacity", 250, 100},
    };
    host.masks = {polyline(false, {vertex(8, 32), vertex(88, 32)})};
    set("Mode", 2);
    set("Number", 4);
    set("Stroke Thickness", 2);
    set("Delta Hue", 90);
    setColor("Color", PF_Pixel{255, 40, 200, 90});
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        host.depth = depth;
        for (const auto &c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << " " << c.value << " at depth " << int(depth));
            const int index = minihost::paramIndex(host, c.name);
            const minihost::ParamTrack before = host.params.at(size_t(index));
            set(c.name, c.inRange);
            const Image expected = render();
            set(c.name, c.value);
            const Image frame = render();
            EXPECT_EQ(frame.data, expected.data);
            host.params.at(size_t(index)) = before;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, SlidersOutOfRange, ::testing::ValuesIn(pluginsUnderTest()), profileName);
INSTANTIATE_TEST_SUITE_P(Profiles, TintOutOfRange, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace frametest
