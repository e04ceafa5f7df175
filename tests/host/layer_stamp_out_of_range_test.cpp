// Layer stamps with a "Color Opacity" beyond its valid 0..100 %, as a host's
// 16.16 fixed point can hand it out: the tint takes the nearest end of the
// range, at every depth.
#include <cstring>

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

INSTANTIATE_TEST_SUITE_P(Profiles, TintOutOfRange, ::testing::ValuesIn(pluginsUnderTest()), profileName);

}  // namespace
}  // namespace frametest
