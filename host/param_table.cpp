// The parameter table and the definitions registered from it.
#include "host/param_table.h"

#include <cstring>

namespace {

constexpr PF_ParamFlags kTwirly = PF_ParamFlag_COLLAPSE_TWIRLY;

constexpr const char *kModeChoices = "Vertex|Number|Line";
constexpr const char *kSubModeChoices = "Constant|Dependent";
constexpr const char *kOrderChoices = "Normal|Inverse|Random";
constexpr const char *kKeyframeModeChoices = "Normal|Keyframe|Keyframe 2";
constexpr const char *kShapeModeChoices = "Circle|Polygon|Layer|Keyframe";
constexpr const char *kStrokeOverChoices = "Stroke Over Fill|Fill Over Stroke";
constexpr const char *kStrokeModeChoices = "Normal|Keyframe|Keyframe 2|Dependent";
constexpr const char *kBlendModeChoices =
    "Normal|Add|Multiply|Screen|Overlay|Hard Light|Darken|Lighten|Difference|Hue|Saturation|"
    "Color|Luminosity|Dodge|Burn|Linear Light|Vivid Light|Pin Light|Hard Mix";

constexpr ParamRow path(const char *name) { return {PF_Param_PATH, name, 0, 1, 0, 0, 0, 0, 0, 0, nullptr, {}}; }
constexpr ParamRow popup(const char *name, int dephault, const char *choices) {
    return {PF_Param_POPUP, name, kTwirly, double(dephault), 0, 0, 0, 0, 0, 0, choices, {}};
}
constexpr ParamRow slider(const char *name, int dephault, int validMin, int validMax, int sliderMin, int sliderMax) {
    return {PF_Param_SLIDER,
            name,
            kTwirly,
            double(dephault),
            double(validMin),
            double(validMax),
            double(sliderMin),
            double(sliderMax),
            0,
            0,
            nullptr,
            {}};
}
// An integer slider for a random seed: 0 to 50000, slider 0 to 100.
constexpr ParamRow seed(const char *name) { return slider(name, 0, 0, 50000, 0, 100); }
constexpr ParamRow checkbox(const char *name, bool on) {
    return {PF_Param_CHECKBOX, name, kTwirly, on ? 1.0 : 0.0, 0, 0, 0, 0, 0, 0, nullptr, {}};
}
constexpr ParamRow angle(const char *name) { return {PF_Param_ANGLE, name, kTwirly, 0, 0, 0, 0, 0, 0, 0, nullptr, {}}; }
// A percentage, 0 to 100 with one decimal, shown with a percent sign.
constexpr ParamRow fixedPercent(const char *name, double dephault) {
    return {PF_Param_FIX_SLIDER,         name,    kTwirly, dephault, 0, 100, 0, 100, PF_Precision_TENTHS,
            PF_ValueDisplayFlag_PERCENT, nullptr, {}};
}
// Output pixels with two decimals, shown as a plain number.
constexpr ParamRow pixels(const char *name, double dephault, double validMin, double validMax, double sliderMin,
                          double sliderMax) {
    return {PF_Param_FLOAT_SLIDER,
            name,
            kTwirly,
            dephault,
            validMin,
            validMax,
            sliderMin,
            sliderMax,
            PF_Precision_HUNDREDTHS,
            PF_ValueDisplayFlag_NONE,
            nullptr,
            {}};
}
// A signed percentage, -100 to 100 with one decimal.
constexpr ParamRow signedPercent(const char *name) {
    return {PF_Param_FLOAT_SLIDER,       name,    kTwirly, 0, -100, 100, -100, 100, PF_Precision_TENTHS,
            PF_ValueDisplayFlag_PERCENT, nullptr, {}};
}
constexpr ParamRow color(const char *name, PF_Pixel dephault) {
    return {PF_Param_COLOR, name, kTwirly, 0, 0, 0, 0, 0, 0, 0, nullptr, dephault};
}
constexpr ParamRow layer(const char *name) {
    return {PF_Param_LAYER, name, kTwirly, PF_LayerDefault_NONE, 0, 0, 0, 0, 0, 0, nullptr, {}};
}
constexpr ParamRow groupStart(const char *name) {
    return {PF_Param_GROUP_START, name, kTwirly, 0, 0, 0, 0, 0, 0, 0, nullptr, {}};
}
constexpr ParamRow groupEnd() { return {PF_Param_GROUP_END, "", 0, 0, 0, 0, 0, 0, 0, 0, nullptr, {}}; }

// Real to 16.16, rounded half away from zero.
PF_Fixed toFixed(double value) {
    return static_cast<PF_Fixed>(value >= 0 ? value * 65536.0 + 0.5 : value * 65536.0 - 0.5);
}

}  // namespace

const ParamRow kParamRows[kRegisteredParamCount] = {
    path("Path"),
    popup("Mode", 1, kModeChoices),
    popup("Sub Mode", 2, kSubModeChoices),
    slider("Number", 0, 0, 50000, 0, 100),
    checkbox("Line Loop", false),
    angle("Vertex Offset"),
    angle("Offset"),
    fixedPercent("Start", 0),
    fixedPercent("End", 100),
    fixedPercent("Delay", 100),
    popup("Order", 1, kOrderChoices),
    seed("Order Seed"),
    popup("Radius Mode", 1, kKeyframeModeChoices),
    pixels("First Radius", 20, -1000, 1000, 0, 50),
    pixels("Delta Radius", 0, -1000, 1000, -20, 20),
    fixedPercent("Min Radius", 100),
    seed("Radius Seed"),
    groupStart("--Shape--"),
    popup("Shape Mode", 1, kShapeModeChoices),
    slider("Side", 5, 3, 16, 3, 8),
    layer("Layer"),
    groupStart("--Layer Setting--"),
    popup("Layer Blend Mode", 4, kBlendModeChoices),
    fixedPercent("Color Opacity", 0),
    groupEnd(),
    slider("Keyframe", 2, 1, 16, 1, 16),
    checkbox("Depend On Path", false),
    angle("Phase"),
    angle("Delta Phase"),
    groupEnd(),
    groupStart("--Fill--"),
    popup("Color Mode", 1, kKeyframeModeChoices),
    color("Color", {255, 255, 255, 255}),
    angle("Delta Hue"),
    signedPercent("Delta Lightness"),
    signedPercent("Delta Saturation"),
    fixedPercent("Hue Variance", 0),
    fixedPercent("Lightness Variance", 0),
    fixedPercent("Saturation Variance", 0),
    seed("Color Seed"),
    groupEnd(),
    groupStart("--Stroke--"),
    pixels("Stroke Thickness", 3, 0, 1000, 0, 100),
    popup("Stroke Over", 1, kStrokeOverChoices),
    popup("Stroke Mode", 1, kStrokeModeChoices),
    color("Stroke Color", {255, 255, 0, 0}),
    angle("Stroke Delta Hue"),
    signedPercent("Stroke Delta Lightness"),
    signedPercent("Stroke Delta Saturation"),
    fixedPercent("Stroke Hue Variance", 0),
    fixedPercent("Stroke Lightness Variance", 0),
    fixedPercent("Stroke Saturation Variance", 0),
    seed("Stroke Color Seed"),
    groupEnd(),
    groupStart("--Opacity--"),
    popup("Opacity Mode", 1, kKeyframeModeChoices),
    fixedPercent("Opacity", 100),
    signedPercent("Delta Opacity"),
    fixedPercent("Min Opacity", 100),
    seed("Opacity Seed"),
    groupEnd(),
    popup("Blend Mode", 1, kBlendModeChoices),
    checkbox("On Original", true),
};

A_short popupChoiceCount(const char *choices) {
    A_short count = 1;
    for (const char *c = choices; *c; ++c)
        if (*c == '|') ++count;
    return count;
}

PF_ParamDef paramDefinition(int index) {
    const ParamRow &row = paramRow(index);
    PF_ParamDef def;
    std::memset(&def, 0, sizeof def);
    def.uu.id = index;
    def.param_type = row.type;
    def.flags = row.flags;
    switch (row.type) {
    case PF_Param_PATH:
        def.u.path_d.dephault = static_cast<A_long>(row.dephault);
        break;
    case PF_Param_POPUP:
        def.u.pd.value = static_cast<PF_ParamValue>(row.dephault);
        def.u.pd.dephault = static_cast<A_short>(row.dephault);
        def.u.pd.num_choices = popupChoiceCount(row.choices);
        def.u.pd.u.namesptr = row.choices;
        break;
    case PF_Param_SLIDER:
        def.u.sd.value = def.u.sd.dephault = static_cast<PF_ParamValue>(row.dephault);
        def.u.sd.valid_min = static_cast<PF_ParamValue>(row.validMin);
        def.u.sd.valid_max = static_cast<PF_ParamValue>(row.validMax);
        def.u.sd.slider_min = static_cast<PF_ParamValue>(row.sliderMin);
        def.u.sd.slider_max = static_cast<PF_ParamValue>(row.sliderMax);
        break;
    case PF_Param_CHECKBOX:
        def.u.bd.value = static_cast<PF_ParamValue>(row.dephault);
        def.u.bd.dephault = static_cast<PF_Boolean>(row.dephault);
        def.u.bd.u.nameptr = "";
        break;
    case PF_Param_ANGLE:
        def.u.ad.value = def.u.ad.dephault = toFixed(row.dephault);
        break;
    case PF_Param_FIX_SLIDER:
        def.u.fd.value = def.u.fd.dephault = toFixed(row.dephault);
        def.u.fd.valid_min = toFixed(row.validMin);
        def.u.fd.valid_max = toFixed(row.validMax);
        def.u.fd.slider_min = toFixed(row.sliderMin);
        def.u.fd.slider_max = toFixed(row.sliderMax);
        def.u.fd.precision = row.precision;
        def.u.fd.display_flags = row.displayFlags;
        break;
    case PF_Param_FLOAT_SLIDER:
        def.u.fs_d.value = row.dephault;
        def.u.fs_d.dephault = static_cast<A_FpShort>(row.dephault);
        def.u.fs_d.valid_min = static_cast<A_FpShort>(row.validMin);
        def.u.fs_d.valid_max = static_cast<A_FpShort>(row.validMax);
        def.u.fs_d.slider_min = static_cast<A_FpShort>(row.sliderMin);
        def.u.fs_d.slider_max = static_cast<A_FpShort>(row.sliderMax);
        def.u.fs_d.precision = row.precision;
        def.u.fs_d.display_flags = row.displayFlags;
        def.u.fs_d.curve_tolerance = 0.05f;
        break;
    case PF_Param_COLOR:
        def.u.cd.value = def.u.cd.dephault = row.color;
        break;
    case PF_Param_LAYER:
        def.u.ld.dephault = static_cast<A_long>(row.dephault);
        break;
    default:  // group starts and ends carry no value
        break;
    }
    return def;
}
