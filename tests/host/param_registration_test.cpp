// Parameter registration: every field of the 63 definitions the host
// receives, and what a failing add leaves behind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/params_setup.h"
#include "tests/host/fake_host.h"

namespace {

// The expected definitions, built here field by field from the effect's
// published parameter list.
struct Expected {
    PF_ParamDef def;
    std::string text;  // popup choices or the checkbox label
};

PF_ParamDef blank(PF_ParamType type, const char *name, PF_ParamFlags flags) {
    PF_ParamDef def;
    std::memset(&def, 0, sizeof def);
    def.param_type = type;
    std::strcpy(def.name, name);
    def.flags = flags;
    return def;
}

constexpr PF_ParamFlags kTwirl = 0x20;
constexpr PF_Fixed kHundredPercent = 0x640000;

Expected pathDef(const char *name) {
    Expected e{blank(PF_Param_PATH, name, 0), ""};
    e.def.u.path_d.dephault = 1;
    return e;
}
Expected popupDef(const char *name, int dephault, int choices, const char *text) {
    Expected e{blank(PF_Param_POPUP, name, kTwirl), text};
    e.def.u.pd.value = dephault;
    e.def.u.pd.dephault = static_cast<A_short>(dephault);
    e.def.u.pd.num_choices = static_cast<A_short>(choices);
    return e;
}
Expected sliderDef(const char *name, int dephault, int validMin, int validMax, int sliderMin, int sliderMax) {
    Expected e{blank(PF_Param_SLIDER, name, kTwirl), ""};
    e.def.u.sd.value = dephault;
    e.def.u.sd.dephault = dephault;
    e.def.u.sd.valid_min = validMin;
    e.def.u.sd.valid_max = validMax;
    e.def.u.sd.slider_min = sliderMin;
    e.def.u.sd.slider_max = sliderMax;
    return e;
}
Expected seedDef(const char *name) { return sliderDef(name, 0, 0, 50000, 0, 100); }
Expected checkboxDef(const char *name, int on) {
    Expected e{blank(PF_Param_CHECKBOX, name, kTwirl), ""};
    e.def.u.bd.value = on;
    e.def.u.bd.dephault = static_cast<PF_Boolean>(on);
    return e;
}
Expected angleDef(const char *name) { return {blank(PF_Param_ANGLE, name, kTwirl), ""}; }
Expected percentDef(const char *name, PF_Fixed dephault) {
    Expected e{blank(PF_Param_FIX_SLIDER, name, kTwirl), ""};
    e.def.u.fd.value = dephault;
    e.def.u.fd.dephault = dephault;
    e.def.u.fd.valid_min = 0;
    e.def.u.fd.valid_max = kHundredPercent;
    e.def.u.fd.slider_min = 0;
    e.def.u.fd.slider_max = kHundredPercent;
    e.def.u.fd.precision = 1;
    e.def.u.fd.display_flags = 1;
    return e;
}
Expected floatDef(const char *name, double dephault, float validMin, float validMax, float sliderMin, float sliderMax,
                  int precision, int display) {
    Expected e{blank(PF_Param_FLOAT_SLIDER, name, kTwirl), ""};
    e.def.u.fs_d.value = dephault;
    e.def.u.fs_d.phase = 0;
    e.def.u.fs_d.dephault = static_cast<float>(dephault);
    e.def.u.fs_d.valid_min = validMin;
    e.def.u.fs_d.valid_max = validMax;
    e.def.u.fs_d.slider_min = sliderMin;
    e.def.u.fs_d.slider_max = sliderMax;
    e.def.u.fs_d.precision = static_cast<A_short>(precision);
    e.def.u.fs_d.display_flags = static_cast<A_short>(display);
    e.def.u.fs_d.curve_tolerance = 0.05f;
    return e;
}
Expected pixelDef(const char *name, double dephault, float validMin, float validMax, float sliderMin, float sliderMax) {
    return floatDef(name, dephault, validMin, validMax, sliderMin, sliderMax, 2, 0);
}
Expected deltaPercentDef(const char *name) { return floatDef(name, 0.0, -100, 100, -100, 100, 1, 1); }
Expected colorDef(const char *name, A_u_char a, A_u_char r, A_u_char g, A_u_char b) {
    Expected e{blank(PF_Param_COLOR, name, kTwirl), ""};
    e.def.u.cd.value = {a, r, g, b};
    e.def.u.cd.dephault = {a, r, g, b};
    return e;
}
Expected layerDef(const char *name) { return {blank(PF_Param_LAYER, name, kTwirl), ""}; }
Expected groupDef(const char *name) { return {blank(PF_Param_GROUP_START, name, kTwirl), ""}; }
Expected endDef() { return {blank(PF_Param_GROUP_END, "", 0), ""}; }

const char *const kA = "Vertex|Number|Line";
const char *const kB = "Constant|Dependent";
const char *const kC = "Normal|Inverse|Random";
const char *const kD = "Normal|Keyframe|Keyframe 2";
const char *const kE = "Circle|Polygon|Layer|Keyframe";
const char *const kF = "Stroke Over Fill|Fill Over Stroke";
const char *const kG = "Normal|Keyframe|Keyframe 2|Dependent";
const char *const kH =
    "Normal|Add|Multiply|Screen|Overlay|Hard Light|Darken|Lighten|Difference|Hue|Saturation|Color|"
    "Luminosity|Dodge|Burn|Linear Light|Vivid Light|Pin Light|Hard Mix";

std::vector<Expected> expectedDefinitions() {
    std::vector<Expected> rows = {
        pathDef("Path"),                                      // 1
        popupDef("Mode", 1, 3, kA),                           // 2
        popupDef("Sub Mode", 2, 2, kB),                       // 3
        sliderDef("Number", 0, 0, 50000, 0, 100),             // 4
        checkboxDef("Line Loop", 0),                          // 5
        angleDef("Vertex Offset"),                            // 6
        angleDef("Offset"),                                   // 7
        percentDef("Start", 0),                               // 8
        percentDef("End", kHundredPercent),                   // 9
        percentDef("Delay", kHundredPercent),                 // 10
        popupDef("Order", 1, 3, kC),                          // 11
        seedDef("Order Seed"),                                // 12
        popupDef("Radius Mode", 1, 3, kD),                    // 13
        pixelDef("First Radius", 20.0, -1000, 1000, 0, 50),   // 14
        pixelDef("Delta Radius", 0.0, -1000, 1000, -20, 20),  // 15
        percentDef("Min Radius", kHundredPercent),            // 16
        seedDef("Radius Seed"),                               // 17
        groupDef("--Shape--"),                                // 18
        popupDef("Shape Mode", 1, 4, kE),                     // 19
        sliderDef("Side", 5, 3, 16, 3, 8),                    // 20
        layerDef("Layer"),                                    // 21
        groupDef("--Layer Setting--"),                        // 22
        popupDef("Layer Blend Mode", 4, 19, kH),              // 23
        percentDef("Color Opacity", 0),                       // 24
        endDef(),                                             // 25
        sliderDef("Keyframe", 2, 1, 16, 1, 16),               // 26
        checkboxDef("Depend On Path", 0),                     // 27
        angleDef("Phase"),                                    // 28
        angleDef("Delta Phase"),                              // 29
        endDef(),                                             // 30
        groupDef("--Fill--"),                                 // 31
        popupDef("Color Mode", 1, 3, kD),                     // 32
        colorDef("Color", 255, 255, 255, 255),                // 33
        angleDef("Delta Hue"),                                // 34
        deltaPercentDef("Delta Lightness"),                   // 35
        deltaPercentDef("Delta Saturation"),                  // 36
        percentDef("Hue Variance", 0),                        // 37
        percentDef("Lightness Variance", 0),                  // 38
        percentDef("Saturation Variance", 0),                 // 39
        seedDef("Color Seed"),                                // 40
        endDef(),                                             // 41
        groupDef("--Stroke--"),                               // 42
        pixelDef("Stroke Thickness", 3.0, 0, 1000, 0, 100),   // 43
        popupDef("Stroke Over", 1, 2, kF),                    // 44
        popupDef("Stroke Mode", 1, 4, kG),                    // 45
        colorDef("Stroke Color", 255, 255, 0, 0),             // 46
        angleDef("Stroke Delta Hue"),                         // 47
        deltaPercentDef("Stroke Delta Lightness"),            // 48
        deltaPercentDef("Stroke Delta Saturation"),           // 49
        percentDef("Stroke Hue Variance", 0),                 // 50
        percentDef("Stroke Lightness Variance", 0),           // 51
        percentDef("Stroke Saturation Variance", 0),          // 52
        seedDef("Stroke Color Seed"),                         // 53
        endDef(),                                             // 54
        groupDef("--Opacity--"),                              // 55
        popupDef("Opacity Mode", 1, 3, kD),                   // 56
        percentDef("Opacity", kHundredPercent),               // 57
        deltaPercentDef("Delta Opacity"),                     // 58
        percentDef("Min Opacity", kHundredPercent),           // 59
        seedDef("Opacity Seed"),                              // 60
        endDef(),                                             // 61
        popupDef("Blend Mode", 1, 19, kH),                    // 62
        checkboxDef("On Original", 1),                        // 63
    };
    for (size_t i = 0; i < rows.size(); ++i) rows[i].def.uu.id = static_cast<A_long>(i + 1);
    return rows;
}

// The definition with its one pointer field (choices or label) checked and
// cleared, so the rest can be compared byte for byte.
std::string takeText(PF_ParamDef &def) {
    std::string text;
    if (def.param_type == PF_Param_POPUP) {
        text = def.u.pd.u.namesptr ? def.u.pd.u.namesptr : "(null)";
        def.u.pd.u.namesptr = nullptr;
    } else if (def.param_type == PF_Param_CHECKBOX) {
        text = def.u.bd.u.nameptr ? def.u.bd.u.nameptr : "(null)";
        def.u.bd.u.nameptr = nullptr;
    }
    return text;
}

TEST(ParamRegistration, HostReceivesAllDefinitionsInOrder) {
    FakeHost host;
    host.out.num_params = 1;
    ASSERT_EQ(paramsSetup(&host.in, &host.out), PF_Err_NONE);
    EXPECT_EQ(host.out.num_params, 64);
    EXPECT_EQ(host.count("add_param -1"), 63);
    EXPECT_EQ(host.count("add_param -1 foreign ref"), 0);
    EXPECT_EQ(host.count("strcpy"), 63) << "names are copied with the host's strcpy";

    const std::vector<Expected> expected = expectedDefinitions();
    ASSERT_EQ(expected.size(), 63u);
    ASSERT_EQ(host.added.size(), 63u);
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("parameter " + std::to_string(i + 1) + " \"" + expected[i].def.name + "\"");
        PF_ParamDef got = host.added[i];
        PF_ParamDef want = expected[i].def;
        EXPECT_EQ(got.uu.id, want.uu.id);
        EXPECT_EQ(got.param_type, want.param_type);
        EXPECT_STREQ(got.name, want.name);
        EXPECT_EQ(got.flags, want.flags);
        EXPECT_EQ(got.ui_flags, 0);
        EXPECT_EQ(got.ui_width, 0);
        EXPECT_EQ(got.ui_height, 0);
        EXPECT_EQ(takeText(got), expected[i].text);
        takeText(want);
        // Every remaining field, type-specific values included.
        EXPECT_EQ(std::memcmp(&got.u, &want.u, sizeof got.u), 0);
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0);
    }
}

TEST(ParamRegistration, NamedSpotChecks) {
    FakeHost host;
    ASSERT_EQ(paramsSetup(&host.in, &host.out), PF_Err_NONE);
    EXPECT_STREQ(host.added[0].name, "Path");
    EXPECT_STREQ(host.added[62].name, "On Original");
    EXPECT_EQ(host.added[62].uu.id, 63);
    EXPECT_EQ(host.added[13].u.fs_d.value, 20.0);
    EXPECT_EQ(host.added[22].u.pd.dephault, 4) << "\"Layer Blend Mode\" starts at Screen";
    EXPECT_EQ(host.added[61].u.pd.dephault, 1) << "\"Blend Mode\" starts at Normal";
}

struct AddFailure {
    int failingCall;
    PF_Err error;
};

class ParamRegistrationFailure : public ::testing::TestWithParam<AddFailure> {};

TEST_P(ParamRegistrationFailure, FirstFailingAddEndsTheCommand) {
    FakeHost host;
    host.failAddParamAt = GetParam().failingCall;
    host.addParamError = GetParam().error;
    host.out.num_params = 9;
    EXPECT_EQ(paramsSetup(&host.in, &host.out), GetParam().error);
    EXPECT_EQ(host.count("add_param"), GetParam().failingCall) << "nothing is added after the failure";
    EXPECT_EQ(static_cast<int>(host.added.size()), GetParam().failingCall - 1);
    EXPECT_EQ(host.out.num_params, 9) << "num_params untouched";
}

INSTANTIATE_TEST_SUITE_P(Positions, ParamRegistrationFailure,
                         ::testing::Values(AddFailure{1, PF_Err_OUT_OF_MEMORY}, AddFailure{2, PF_Err_INVALID_INDEX},
                                           AddFailure{25, PF_Err_INTERNAL_STRUCT_DAMAGED},
                                           AddFailure{62, PF_Err_OUT_OF_MEMORY},
                                           AddFailure{63, PF_Err_UNRECOGNIZED_PARAM_TYPE}));

}  // namespace
