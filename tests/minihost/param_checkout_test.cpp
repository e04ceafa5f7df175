// Parameters as the plug-in checks them out: each type in its own
// representation, keyframes interpolated or held, layers as pixel worlds.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/host_internals.h"
#include "minihost/minihost.h"
#include "tests/minihost/scripted_plugin.h"
#include "tests/support/minihost_scene.h"

namespace minihost {
namespace {

using hosttest::colorValue;
using hosttest::numberValue;

using hosttest::expectNothingHeld;

enum Index { Slider = 1, Fixed, Angle, Float, Check, Color, Popup, Path, Layer };

PF_ParamDef definition(PF_ParamType type, const char *name, int id) {
    PF_ParamDef def{};
    def.param_type = type;
    std::strcpy(def.name, name);
    def.uu.id = id;
    return def;
}

// Registers one parameter of each type, with non-trivial defaults.
void setUp(Host &host) {
    useScript(host, [](PF_Cmd cmd, PF_InData &in, PF_OutData &, void *) {
        if (cmd != PF_Cmd_PARAMS_SETUP) return PF_Err(PF_Err_NONE);
        std::vector<PF_ParamDef> defs;
        defs.push_back(definition(PF_Param_SLIDER, "Slider", Slider));
        defs.back().u.sd.dephault = 5;
        defs.push_back(definition(PF_Param_FIX_SLIDER, "Fixed", Fixed));
        defs.back().u.fd.dephault = 100 << 16;
        defs.push_back(definition(PF_Param_ANGLE, "Angle", Angle));
        defs.back().u.ad.dephault = 90 << 16;
        defs.push_back(definition(PF_Param_FLOAT_SLIDER, "Float", Float));
        defs.back().u.fs_d.dephault = 20.0f;
        defs.push_back(definition(PF_Param_CHECKBOX, "Check", Check));
        defs.back().u.bd.dephault = 1;
        defs.push_back(definition(PF_Param_COLOR, "Color", Color));
        defs.back().u.cd.dephault = {255, 255, 0, 0};
        defs.push_back(definition(PF_Param_POPUP, "Popup", Popup));
        defs.back().u.pd.dephault = 4;
        defs.push_back(definition(PF_Param_PATH, "Path", Path));
        defs.back().u.path_d.dephault = 1;
        defs.push_back(definition(PF_Param_LAYER, "Layer", Layer));
        for (PF_ParamDef &def : defs)
            if (const PF_Err err = PF_ADD_PARAM(&in, -1, &def)) return err;
        return PF_Err(PF_Err_NONE);
    });
    ASSERT_EQ(setupEffect(host), PF_Err_NONE);
    ASSERT_EQ(host.paramDefs.size(), 10u);
}

// Checks parameter `index` out at `frame` (of the host's frame rate) and back in.
PF_ParamDef checkout(Host &host, int index, int frame) {
    PF_ParamDef def{};
    EXPECT_EQ(runInCommand(host,
                           [&](PF_InData &in, PF_OutData &) {
                               if (const PF_Err err = PF_CHECKOUT_PARAM(&in, index, frame * in.time_step, in.time_step,
                                                                        in.time_scale, &def))
                                   return err;
                               EXPECT_EQ(host.ledger.checkouts, 1);
                               PF_ParamDef copy = def;
                               return PF_CHECKIN_PARAM(&in, &copy);
                           }),
              PF_Err_NONE);
    EXPECT_EQ(host.ledger.checkouts, 0);
    return def;
}

TEST(ParamCheckout, DefaultsComeFromTheRegistration) {
    Host host;
    setUp(host);
    host.masks.resize(2);
    EXPECT_EQ(checkout(host, Slider, 0).u.sd.value, 5);
    EXPECT_EQ(checkout(host, Fixed, 0).u.fd.value, 100 << 16);
    EXPECT_EQ(checkout(host, Angle, 0).u.ad.value, 90 << 16);
    EXPECT_EQ(checkout(host, Float, 0).u.fs_d.value, 20.0);
    EXPECT_EQ(checkout(host, Check, 0).u.bd.value, 1);
    const PF_Pixel red = checkout(host, Color, 0).u.cd.value;
    EXPECT_EQ((std::vector<int>{red.alpha, red.red, red.green, red.blue}), (std::vector<int>{255, 255, 0, 0}));
    EXPECT_EQ(checkout(host, Popup, 0).u.pd.value, 4);
    EXPECT_EQ(checkout(host, Path, 0).u.path_d.path_id, 1001u);
    EXPECT_EQ(checkout(host, Layer, 0).u.ld.data, nullptr);
    activeScript() = nullptr;
}

TEST(ParamCheckout, ValuesTakeTheirTypesRepresentation) {
    Host host;
    setUp(host);
    host.masks.resize(3);
    struct Case {
        int index;
        double value;
        long expected;
    };
    const Case cases[] = {
        {Slider, 42, 42},
        {Fixed, 12.5, 819200},
        {Fixed, 33.3, 2182349},  // 33.3 * 65536 = 2182348.8
        {Angle, -90, -5898240},
        {Angle, 0.00001, 1},
        {Angle, -0.00001, -1},
        {Popup, 19, 19},
        {Check, 0, 0},
        {Path, 3, 1003},
        {Path, 0, 0},
        {Path, 4, 0},                // no fourth mask
        {Angle, 40000, 2147483647},  // pinned to what 16.16 holds
        {Angle, -40000, -2147483647 - 1},
    };
    for (const Case &c : cases) {
        setParam(host, c.index, numberValue(c.value));
        const PF_ParamDef def = checkout(host, c.index, 0);
        long got = 0;
        switch (def.param_type) {
        case PF_Param_SLIDER:
            got = def.u.sd.value;
            break;
        case PF_Param_FIX_SLIDER:
            got = def.u.fd.value;
            break;
        case PF_Param_ANGLE:
            got = def.u.ad.value;
            break;
        case PF_Param_POPUP:
            got = def.u.pd.value;
            break;
        case PF_Param_CHECKBOX:
            got = def.u.bd.value;
            break;
        case PF_Param_PATH:
            got = long(def.u.path_d.path_id);
            break;
        default:
            FAIL() << c.index;
        }
        EXPECT_EQ(got, c.expected) << "index " << c.index << " value " << c.value;
    }
    setParam(host, Float, numberValue(-3.25));
    EXPECT_EQ(checkout(host, Float, 0).u.fs_d.value, -3.25);
    activeScript() = nullptr;
}

TEST(Keyframes, LinearBetweenKeysAndHeldOutside) {
    Host host;
    setUp(host);
    host.fps = 10;
    setParamKeyframes(host, Slider, {{2.0, numberValue(300)}, {1.0, numberValue(100)}}, Interpolation::Linear);
    struct Case {
        int frame;
        long expected;
    };
    const Case cases[] = {{0, 100}, {10, 100}, {11, 120}, {15, 200}, {19, 280}, {20, 300}, {50, 300}};
    for (const Case &c : cases) EXPECT_EQ(checkout(host, Slider, c.frame).u.sd.value, c.expected) << c.frame;
    // A time that is no number (0 ticks of a scale of 0) reads the first key.
    EXPECT_EQ(paramValueAt(host, Slider, std::nan("")).number, 100);
    activeScript() = nullptr;
}

TEST(Keyframes, HoldKeepsTheEarlierValueUntilTheNextKey) {
    Host host;
    setUp(host);
    host.fps = 10;
    setParamKeyframes(host, Fixed, {{0.0, numberValue(10)}, {1.0, numberValue(50)}, {2.0, numberValue(90)}},
                      Interpolation::Hold);
    const struct {
        int frame;
        double percent;
    } cases[] = {{0, 10}, {9, 10}, {10, 50}, {19, 50}, {20, 90}, {30, 90}};
    for (const auto &c : cases)
        EXPECT_EQ(checkout(host, Fixed, c.frame).u.fd.value, long(c.percent * 65536)) << c.frame;
    activeScript() = nullptr;
}

TEST(Keyframes, ColoursMixPerChannelRounded) {
    Host host;
    setUp(host);
    host.fps = 4;
    setParamKeyframes(host, Color, {{0.0, colorValue({255, 0, 100, 255})}, {1.0, colorValue({255, 255, 101, 0})}},
                      Interpolation::Linear);
    const PF_Pixel half = checkout(host, Color, 2).u.cd.value;  // 0.5 s
    EXPECT_EQ((std::vector<int>{half.alpha, half.red, half.green, half.blue}),
              (std::vector<int>{255, 128, 101, 128}));  // 127.5 and 100.5 round up
    const PF_Pixel quarter = checkout(host, Color, 1).u.cd.value;
    EXPECT_EQ((std::vector<int>{quarter.alpha, quarter.red, quarter.green, quarter.blue}),
              (std::vector<int>{255, 64, 100, 191}));
    activeScript() = nullptr;
}

TEST(Keyframes, PopupsAndCheckboxesAlwaysHold) {
    Host host;
    setUp(host);
    host.fps = 10;
    setParamKeyframes(host, Popup, {{0.0, numberValue(1)}, {1.0, numberValue(3)}}, Interpolation::Linear);
    EXPECT_EQ(checkout(host, Popup, 9).u.pd.value, 1);
    EXPECT_EQ(checkout(host, Popup, 10).u.pd.value, 3);
    activeScript() = nullptr;
}

TEST(Keyframes, CheckoutAtAnotherTimeThanTheCurrentFrame) {
    Host host;
    setUp(host);
    host.fps = 10;
    host.frame = 0;
    setParamKeyframes(host, Float, {{0.0, numberValue(0)}, {1.0, numberValue(10)}}, Interpolation::Linear);
    EXPECT_DOUBLE_EQ(checkout(host, Float, 5).u.fs_d.value, 5.0);
    EXPECT_DOUBLE_EQ(paramValueAt(host, Float, 0.25).number, 2.5);
    activeScript() = nullptr;
}

TEST(LayerCheckout, HandsOutTheLayerAtTheRenderDepthAndResolution) {
    Host host;
    setUp(host);
    Image layer = solidImage(7, 5, {255, 10, 20, 30}, Depth::Bits8);
    layer.data[4 * 2 + 1] = 200;  // red of pixel (2, 0), kept by the 1/2 downsampling
    host.layers.push_back(layer);
    host.depth = Depth::Bits16;
    host.downsampleX = 2;
    host.downsampleY = 2;
    setParam(host, Layer, numberValue(1));
    ASSERT_EQ(runInCommand(host,
                           [&](PF_InData &in, PF_OutData &) {
                               PF_ParamDef def{};
                               EXPECT_EQ(PF_CHECKOUT_PARAM(&in, Layer, 0, in.time_step, in.time_scale, &def),
                                         PF_Err_NONE);
                               const PF_LayerDef &ld = def.u.ld;
                               EXPECT_NE(ld.data, nullptr);
                               EXPECT_EQ(ld.width, 4);
                               EXPECT_EQ(ld.height, 3);
                               EXPECT_GE(ld.rowbytes, ld.width * 8);
                               const auto *row = reinterpret_cast<const PF_Pixel16 *>(ld.data);
                               EXPECT_EQ(row[0].alpha, 32768);
                               EXPECT_EQ(row[0].red, (10 * 32768 + 128) / 255);
                               EXPECT_EQ(row[1].red, (200 * 32768 + 128) / 255);
                               const auto *lastRow = reinterpret_cast<const PF_Pixel16 *>(
                                   reinterpret_cast<const char *>(ld.data) + 2 * ld.rowbytes);
                               EXPECT_EQ(lastRow[3].blue, (30 * 32768 + 128) / 255);
                               EXPECT_EQ(host.ledger.checkouts, 1);
                               return PF_CHECKIN_PARAM(&in, &def);
                           }),
              PF_Err_NONE);
    expectNothingHeld(host);
    activeScript() = nullptr;
}

TEST(LayerCheckout, CheckingInWhatWasNeverCheckedOutIsAnError) {
    Host host;
    setUp(host);
    runInCommand(host, [&](PF_InData &in) {
        PF_ParamDef def = definition(PF_Param_SLIDER, "Slider", Slider);
        EXPECT_EQ(PF_CHECKIN_PARAM(&in, &def), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(PF_CHECKOUT_PARAM(&in, 99, 0, in.time_step, in.time_scale, &def), PF_Err_INVALID_INDEX);
    });
    expectNothingHeld(host, 0, 1);  // the check-in of what was not checked out
    activeScript() = nullptr;
}

TEST(Masks, PathIdsNameMasksAtTheCommandsResolution) {
    Host host;
    Mask mask;
    MaskVertex v;
    v.x = 10;
    v.y = 20;
    v.outX = 4;
    v.inY = -8;
    mask.vertices = {v};
    host.masks = {mask, mask};
    host.downsampleX = 2;
    host.downsampleY = 4;
    Mask scaled;
    ASSERT_TRUE(maskForPathId(host, pathIdOfMask(host, 2), 0, scaled));
    EXPECT_EQ(pathIdOfMask(host, 2), pathIdBase + 2);
    EXPECT_DOUBLE_EQ(scaled.vertices[0].x, 5);
    EXPECT_DOUBLE_EQ(scaled.vertices[0].y, 5);
    EXPECT_DOUBLE_EQ(scaled.vertices[0].outX, 2);
    EXPECT_DOUBLE_EQ(scaled.vertices[0].inY, -2);
    EXPECT_FALSE(maskForPathId(host, 0, 0, scaled));
    EXPECT_FALSE(maskForPathId(host, 2, 0, scaled));
    EXPECT_FALSE(maskForPathId(host, pathIdBase + 3, 0, scaled));
    EXPECT_EQ(pathIdOfMask(host, 3), 0u);
}

}  // namespace
}  // namespace minihost
