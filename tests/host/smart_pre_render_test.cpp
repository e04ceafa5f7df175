// Smart pre-render: unit conversions of the snapshot, the order of the host
// calls, rectangle unions and the lifetime of the pre-render block.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/build_profile.h"
#include "host/smart_pre_render.h"
#include "tests/host/fake_host.h"

namespace {

A_FpLong libraryFmod(A_FpLong x, A_FpLong y) { return std::fmod(x, y); }

PF_Fixed fixedOf(double value) { return static_cast<PF_Fixed>(std::lround(value * 65536.0)); }

PF_ParamDef angleValue(double degrees) {
    PF_ParamDef def{};
    def.param_type = PF_Param_ANGLE;
    def.u.ad.value = fixedOf(degrees);
    return def;
}
PF_ParamDef percentValue(double percent) {
    PF_ParamDef def{};
    def.param_type = PF_Param_FIX_SLIDER;
    def.u.fd.value = fixedOf(percent);
    return def;
}
PF_ParamDef floatValue(double value) {
    PF_ParamDef def{};
    def.param_type = PF_Param_FLOAT_SLIDER;
    def.u.fs_d.value = value;
    return def;
}
PF_ParamDef choiceValue(PF_ParamType type, A_long value) {
    PF_ParamDef def{};
    def.param_type = type;
    def.u.pd.value = value;  // popups, sliders and checkboxes keep it at the same place
    return def;
}

// Parameter values by index, with the indices of the published list.
struct Values {
    std::vector<PF_ParamDef> defs = std::vector<PF_ParamDef>(64);
    PatternParams snapshot(double downsample = 1.0) const {
        PatternParams params;
        fillSnapshot(params, defs.data(), downsample, libraryFmod);
        return params;
    }
};

struct AngleCase {
    double degrees;
    double vertexOffsetTurns;  // reduced into [0, 1)
    double deltaHueTurns;      // not reduced
    double radians;
};

class AngleConversion : public ::testing::TestWithParam<AngleCase> {};

TEST_P(AngleConversion, TurnsAndRadians) {
    const AngleCase &c = GetParam();
    Values v;
    v.defs[6] = angleValue(c.degrees);   // "Vertex Offset"
    v.defs[7] = angleValue(c.degrees);   // "Offset"
    v.defs[34] = angleValue(c.degrees);  // "Delta Hue"
    v.defs[47] = angleValue(c.degrees);  // "Stroke Delta Hue"
    v.defs[28] = angleValue(c.degrees);  // "Phase"
    v.defs[29] = angleValue(c.degrees);  // "Delta Phase"
    const PatternParams p = v.snapshot();
    EXPECT_DOUBLE_EQ(p.vertexOffset, c.vertexOffsetTurns);
    EXPECT_DOUBLE_EQ(p.offset, c.vertexOffsetTurns);
    EXPECT_GE(p.offset, 0.0);
    EXPECT_LT(p.offset, 1.0);
    EXPECT_DOUBLE_EQ(p.deltaHue, c.deltaHueTurns);
    EXPECT_DOUBLE_EQ(p.strokeDeltaHue, c.deltaHueTurns);
    EXPECT_DOUBLE_EQ(p.phase, c.radians);
    EXPECT_DOUBLE_EQ(p.deltaPhase, c.radians);
}

INSTANTIATE_TEST_SUITE_P(
    Degrees, AngleConversion,
    ::testing::Values(AngleCase{-90, 0.75, -0.25, -1.5707963267948966}, AngleCase{360, 0.0, 1.0, 6.283185307179586},
                      AngleCase{450, 0.25, 1.25, 7.853981633974483}, AngleCase{720, 0.0, 2.0, 12.566370614359172},
                      AngleCase{180, 0.5, 0.5, 3.141592653589793}, AngleCase{-450, 0.75, -1.25, -7.853981633974483},
                      AngleCase{0, 0.0, 0.0, 0.0}));

TEST(SnapshotConversion, PercentagesBecomeFractions) {
    Values v;
    v.defs[8] = percentValue(12.5);  // "Start"
    v.defs[9] = percentValue(100);   // "End"
    v.defs[10] = percentValue(50);   // "Delay"
    v.defs[16] = percentValue(25);   // "Min Radius"
    v.defs[24] = percentValue(75);   // "Color Opacity"
    v.defs[37] = percentValue(10);   // "Hue Variance"
    v.defs[38] = percentValue(20);   // "Lightness Variance"
    v.defs[39] = percentValue(30);   // "Saturation Variance"
    v.defs[50] = percentValue(40);   // "Stroke Hue Variance"
    v.defs[51] = percentValue(60);   // "Stroke Lightness Variance"
    v.defs[52] = percentValue(80);   // "Stroke Saturation Variance"
    v.defs[57] = percentValue(90);   // "Opacity"
    v.defs[59] = percentValue(5);    // "Min Opacity"
    v.defs[35] = floatValue(-50);    // "Delta Lightness"
    v.defs[36] = floatValue(100);    // "Delta Saturation"
    v.defs[48] = floatValue(-100);   // "Stroke Delta Lightness"
    v.defs[49] = floatValue(12.5);   // "Stroke Delta Saturation"
    v.defs[58] = floatValue(-25);    // "Delta Opacity"
    const PatternParams p = v.snapshot(0.5);
    EXPECT_EQ(p.start, 0.125);
    EXPECT_EQ(p.end, 1.0);
    EXPECT_DOUBLE_EQ(p.delay, 0.5);
    EXPECT_DOUBLE_EQ(p.minRadius, 0.25) << "percentages are not scaled by the downsampling";
    EXPECT_DOUBLE_EQ(p.colorOpacity, 0.75);
    EXPECT_DOUBLE_EQ(p.hueVariance, 0.1);
    EXPECT_DOUBLE_EQ(p.lightnessVariance, 0.2);
    EXPECT_DOUBLE_EQ(p.saturationVariance, 0.3);
    EXPECT_DOUBLE_EQ(p.strokeHueVariance, 0.4);
    EXPECT_DOUBLE_EQ(p.strokeLightnessVariance, 0.6);
    EXPECT_DOUBLE_EQ(p.strokeSaturationVariance, 0.8);
    EXPECT_DOUBLE_EQ(p.opacity, 0.9);
    EXPECT_DOUBLE_EQ(p.minOpacity, 0.05);
    EXPECT_DOUBLE_EQ(p.deltaLightness, -0.5);
    EXPECT_DOUBLE_EQ(p.deltaSaturation, 1.0);
    EXPECT_DOUBLE_EQ(p.strokeDeltaLightness, -1.0);
    EXPECT_DOUBLE_EQ(p.strokeDeltaSaturation, 0.125);
    EXPECT_DOUBLE_EQ(p.deltaOpacity, -0.25);
}

TEST(SnapshotConversion, PixelSlidersFollowDownsampling) {
    Values v;
    v.defs[14] = floatValue(20);  // "First Radius"
    v.defs[15] = floatValue(-6);  // "Delta Radius"
    v.defs[43] = floatValue(3);   // "Stroke Thickness"
    const PatternParams half = v.snapshot(0.5);
    EXPECT_EQ(half.downsample, 0.5);
    EXPECT_EQ(half.firstRadius, 10.0);
    EXPECT_EQ(half.deltaRadius, -3.0);
    EXPECT_EQ(half.strokeThickness, 1.5);
    const PatternParams full = v.snapshot(1.0);
    EXPECT_EQ(full.firstRadius, 20.0);
    EXPECT_EQ(full.strokeThickness, 3.0);
}

TEST(SnapshotConversion, ChoicesSeedsAndColoursAreCopied) {
    Values v;
    v.defs[1].u.path_d.path_id = 4242;
    v.defs[2] = choiceValue(PF_Param_POPUP, 3);
    v.defs[3] = choiceValue(PF_Param_POPUP, 1);
    v.defs[4] = choiceValue(PF_Param_SLIDER, 17);
    v.defs[5] = choiceValue(PF_Param_CHECKBOX, 1);
    v.defs[11] = choiceValue(PF_Param_POPUP, 3);
    v.defs[12] = choiceValue(PF_Param_SLIDER, 50000);
    v.defs[13] = choiceValue(PF_Param_POPUP, 2);
    v.defs[17] = choiceValue(PF_Param_SLIDER, 7);
    v.defs[19] = choiceValue(PF_Param_POPUP, 4);
    v.defs[20] = choiceValue(PF_Param_SLIDER, 16);
    v.defs[23] = choiceValue(PF_Param_POPUP, 19);
    v.defs[27] = choiceValue(PF_Param_CHECKBOX, 1);
    v.defs[32] = choiceValue(PF_Param_POPUP, 3);
    v.defs[33].u.cd.value = {10, 20, 30, 40};
    v.defs[40] = choiceValue(PF_Param_SLIDER, 123);
    v.defs[44] = choiceValue(PF_Param_POPUP, 2);
    v.defs[45] = choiceValue(PF_Param_POPUP, 4);
    v.defs[46].u.cd.value = {255, 1, 2, 3};
    v.defs[53] = choiceValue(PF_Param_SLIDER, 456);
    v.defs[56] = choiceValue(PF_Param_POPUP, 2);
    v.defs[60] = choiceValue(PF_Param_SLIDER, 789);
    v.defs[62] = choiceValue(PF_Param_POPUP, 14);
    v.defs[63] = choiceValue(PF_Param_CHECKBOX, 0);
    const PatternParams p = v.snapshot();
    EXPECT_EQ(p.path, 4242u);
    EXPECT_EQ(p.mode, 3);
    EXPECT_EQ(p.subMode, 1);
    EXPECT_EQ(p.number, 17);
    EXPECT_EQ(p.lineLoop, 1);
    EXPECT_EQ(p.order, 3);
    EXPECT_EQ(p.orderSeed, 50000);
    EXPECT_EQ(p.radiusMode, 2);
    EXPECT_EQ(p.radiusSeed, 7);
    EXPECT_EQ(p.shapeMode, 4);
    EXPECT_EQ(p.side, 16);
    EXPECT_EQ(p.layerBlendMode, 19);
    EXPECT_EQ(p.dependOnPath, 1);
    EXPECT_EQ(p.colorMode, 3);
    EXPECT_EQ(p.color.alpha, 10);
    EXPECT_EQ(p.color.red, 20);
    EXPECT_EQ(p.color.green, 30);
    EXPECT_EQ(p.color.blue, 40);
    EXPECT_EQ(p.colorSeed, 123);
    EXPECT_EQ(p.strokeOver, 2);
    EXPECT_EQ(p.strokeMode, 4);
    EXPECT_EQ(p.strokeColor.alpha, 255);
    EXPECT_EQ(p.strokeColor.blue, 3);
    EXPECT_EQ(p.strokeColorSeed, 456);
    EXPECT_EQ(p.opacityMode, 2);
    EXPECT_EQ(p.opacitySeed, 789);
    EXPECT_EQ(p.blendMode, 14);
    EXPECT_EQ(p.onOriginal, 0);
}

TEST(SnapshotConversion, BlockIsZeroedFirst) {
    Values v;
    PatternParams params;
    std::memset(&params, 0xee, sizeof params);
    fillSnapshot(params, v.defs.data(), 1.0, libraryFmod);
    PatternParams zero;
    std::memset(&zero, 0, sizeof zero);
    zero.downsample = 1.0;
    EXPECT_EQ(std::memcmp(&params, &zero, sizeof zero), 0) << "padding included";
}

struct RectCase {
    const char *name;
    PF_LRect dst, src, result;
};

class RectUnion : public ::testing::TestWithParam<RectCase> {};

TEST_P(RectUnion, Widens) {
    PF_LRect dst = GetParam().dst;
    unionRect(dst, GetParam().src);
    EXPECT_EQ(dst.left, GetParam().result.left);
    EXPECT_EQ(dst.top, GetParam().result.top);
    EXPECT_EQ(dst.right, GetParam().result.right);
    EXPECT_EQ(dst.bottom, GetParam().result.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RectUnion,
    ::testing::Values(RectCase{"EmptyTakesSource", {0, 0, 0, 0}, {1, 2, 30, 40}, {1, 2, 30, 40}},
                      RectCase{"InvertedCountsAsEmpty", {50, 0, 10, 10}, {1, 2, 3, 4}, {1, 2, 3, 4}},
                      RectCase{"FlatCountsAsEmpty", {0, 5, 10, 5}, {1, 2, 3, 4}, {1, 2, 3, 4}},
                      RectCase{"EmptySourceKeeps", {1, 2, 3, 4}, {0, 0, 0, 0}, {1, 2, 3, 4}},
                      RectCase{"BothEmptyTakesSource", {0, 0, 0, 0}, {7, 7, 7, 9}, {7, 7, 7, 9}},
                      RectCase{"Grows", {10, 10, 20, 20}, {0, 15, 30, 18}, {0, 10, 30, 20}},
                      RectCase{"NeverShrinks", {0, 0, 100, 100}, {10, 10, 20, 20}, {0, 0, 100, 100}},
                      RectCase{"Negative", {-5, -5, 5, 5}, {-10, 0, 0, 10}, {-10, -5, 5, 10}}),
    [](const ::testing::TestParamInfo<RectCase> &info) { return std::string(info.param.name); });

// The whole command against the scripted host.

const int kExpectedReadOrder[51] = {1,  2,  3,  4,  7,  6,  5,  8,  9,  10, 11, 12, 13, 14, 16, 15, 17,
                                    19, 20, 23, 24, 27, 28, 29, 32, 33, 34, 35, 36, 37, 38, 39, 40, 45,
                                    44, 43, 46, 47, 48, 49, 50, 51, 52, 53, 56, 57, 58, 59, 60, 62, 63};

struct PreRenderHost : FakeHost {
    PreRenderHost() {
        in.current_time = 300;
        in.time_step = 10;
        in.time_scale = 600;
        layerResult.result_rect = {0, 0, 64, 48};
        layerResult.max_result_rect = {-2, -3, 70, 50};
        preInput.output_request.rect = {1, 2, 3, 4};
        preInput.output_request.field = PF_Field_UPPER;
        preInput.output_request.channel_mask = 0xf;
        preInput.output_request.preserve_rgb_of_zero_alpha = false;
        preInput.output_request.reserved[2] = 99;
        preOutput.solid = 1;
        preOutput.flags = 5;
    }
    PF_Err run() { return smartPreRender(&in, &preExtra); }
    PatternParams *block() const {
        return preOutput.pre_render_data
                   ? static_cast<PatternParams *>(*static_cast<PF_Handle>(preOutput.pre_render_data))
                   : nullptr;
    }
};

const char *handleSuiteName() { return kProfileX86 ? "PF Handle Suite 1" : "PF Handle Suite 2"; }

TEST(SmartPreRender, CallsTheHostInOrder) {
    PreRenderHost host;
    host.values[14] = floatValue(40);
    host.in.downsample_x = {1, 2};
    host.in.downsample_y = {1, 4};
    ASSERT_EQ(host.run(), PF_Err_NONE);

    std::vector<std::string> expected = {"AcquireSuite " + std::string(handleSuiteName()),
                                         "host_new_handle " + std::to_string(sizeof(PatternParams)),
                                         "host_lock_handle"};
    for (int index : kExpectedReadOrder)
        expected.push_back("checkout_param " + std::to_string(index) + " at 300/10/600");
    expected.push_back("checkout_layer 0 0 at 300/10/600");
    // The snapshot's conversions and the check-ins follow; the order among
    // them is free, so only the leading calls are compared here.
    ASSERT_GE(host.calls.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(host.calls.begin(), host.calls.begin() + expected.size()), expected);
    EXPECT_EQ(host.checkedIn, 51) << "every definition checked out is given back";
    EXPECT_EQ(host.suitesHeld(), 0);
    EXPECT_EQ(host.count("fmod"), 2) << "\"Vertex Offset\" and \"Offset\" reduced with the host's fmod";
    ASSERT_NE(host.block(), nullptr);
    EXPECT_EQ(host.block()->downsample, 0.5) << "horizontal downsampling";
    EXPECT_EQ(host.block()->firstRadius, 20.0);
}

TEST(SmartPreRender, InputRequestIsTheOutputRequestPreservingRgb) {
    PreRenderHost host;
    ASSERT_EQ(host.run(), PF_Err_NONE);
    PF_RenderRequest expected = host.preInput.output_request;
    expected.preserve_rgb_of_zero_alpha = true;
    EXPECT_EQ(std::memcmp(&host.layerRequest, &expected, sizeof expected), 0);
    EXPECT_FALSE(host.preInput.output_request.preserve_rgb_of_zero_alpha) << "the host's request is not changed";
}

TEST(SmartPreRender, EmptyOutputRectsBecomeTheLayers) {
    PreRenderHost host;
    ASSERT_EQ(host.run(), PF_Err_NONE);
    const PF_LRect &r = host.preOutput.result_rect;
    const PF_LRect &m = host.preOutput.max_result_rect;
    EXPECT_EQ((std::vector<A_long>{r.left, r.top, r.right, r.bottom}), (std::vector<A_long>{0, 0, 64, 48}));
    EXPECT_EQ((std::vector<A_long>{m.left, m.top, m.right, m.bottom}), (std::vector<A_long>{-2, -3, 70, 50}));
    EXPECT_EQ(host.preOutput.solid, 1);
    EXPECT_EQ(host.preOutput.flags, 5);
}

TEST(SmartPreRender, LargeShapesDoNotGrowTheOutput) {
    PreRenderHost host;
    host.values[14] = floatValue(1000);  // "First Radius"
    host.values[43] = floatValue(1000);  // "Stroke Thickness"
    host.preOutput.result_rect = {10, 10, 20, 20};
    ASSERT_EQ(host.run(), PF_Err_NONE);
    const PF_LRect &r = host.preOutput.result_rect;
    EXPECT_EQ((std::vector<A_long>{r.left, r.top, r.right, r.bottom}), (std::vector<A_long>{0, 0, 64, 48}));
}

TEST(SmartPreRender, BlockIsHandedOverWithItsDeletion) {
    PreRenderHost host;
    host.values[8] = percentValue(12.5);
    ASSERT_EQ(host.run(), PF_Err_NONE);
    ASSERT_NE(host.block(), nullptr);
    EXPECT_EQ(host.block()->start, 0.125);
    ASSERT_NE(host.preOutput.delete_pre_render_data_func, nullptr);
    EXPECT_EQ(host.liveHandles.size(), 1u);
    host.preOutput.delete_pre_render_data_func(host.preOutput.pre_render_data, &host.in);
    EXPECT_TRUE(host.liveHandles.empty());
    EXPECT_EQ(host.count("dispose of unknown handle"), 0);
}

TEST(SmartPreRender, TwentiethReadFailing) {
    PreRenderHost host;
    host.failCheckoutAt = 20;
    host.checkoutError = PF_Err_INVALID_INDEX;
    EXPECT_EQ(host.run(), PF_Err_INVALID_INDEX);
    EXPECT_EQ(host.count("checkout_param"), 20);
    EXPECT_EQ(host.calls.back().find("checkout_layer"), std::string::npos);
    EXPECT_EQ(host.layerCheckouts, 0);
    EXPECT_EQ(host.checkedIn, 19) << "the nineteen definitions read are given back";
    EXPECT_EQ(host.suitesHeld(), 0);
    // The block already belongs to the host, which frees it with our function.
    EXPECT_NE(host.preOutput.pre_render_data, nullptr);
    EXPECT_NE(host.preOutput.delete_pre_render_data_func, nullptr);
    EXPECT_EQ(host.preOutput.result_rect.right, 0) << "rectangles untouched";
}

TEST(SmartPreRender, LayerCheckoutFailing) {
    PreRenderHost host;
    host.layerError = PF_Err_OUT_OF_MEMORY + 100;
    EXPECT_EQ(host.run(), PF_Err_OUT_OF_MEMORY + 100);
    EXPECT_EQ(host.checkedIn, 51);
    EXPECT_EQ(host.preOutput.result_rect.right, 0);
    EXPECT_EQ(host.count("fmod"), 0) << "the block is left unfilled";
}

TEST(SmartPreRender, NoHandle) {
    PreRenderHost host;
    host.failNewHandle = true;
    EXPECT_EQ(host.run(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.preOutput.pre_render_data, nullptr);
    EXPECT_EQ(host.preOutput.delete_pre_render_data_func, nullptr);
    EXPECT_EQ(host.count("checkout_param"), 0);
    EXPECT_EQ(host.suitesHeld(), 0);
}

TEST(SmartPreRender, NoLockFreesTheHandle) {
    PreRenderHost host;
    host.failLock = true;
    EXPECT_EQ(host.run(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.preOutput.pre_render_data, nullptr);
    EXPECT_TRUE(host.liveHandles.empty()) << "a handle never handed over is not leaked";
    EXPECT_EQ(host.count("checkout_param"), 0);
}

TEST(SmartPreRender, MissingHandleSuiteRaises516) {
    PreRenderHost host;
    host.missingSuites.insert(kPFHandleSuite);
    std::strcpy(host.out.return_msg, "kept");
    EXPECT_THROW(host.run(), PF_Err);
    EXPECT_EQ(host.count("host_new_handle"), 0);
    EXPECT_STREQ(host.out.return_msg, "kept");
}

TEST(SmartPreRender, DeletionToleratesNothingToDelete) {
    FakeHost host;
    deletePreRenderData(nullptr, &host.in);
    EXPECT_EQ(host.count("host_dispose_handle"), 0);
}

}  // namespace
