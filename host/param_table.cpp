// The parameter table and the definitions registered from it.
#include "host/param_table.h"

#include <array>
#include <cmath>
#include <cstring>

#include "raster/fixed_point.h"

namespace {

namespace P = ParamIndex;
using PP = PatternParams;

constexpr PF_ParamFlags kTwirly = PF_ParamFlag_COLLAPSE_TWIRLY;
constexpr SnapshotField kNotRead{};

constexpr ParamRow path(int index, const char *name, SnapshotField snapshot) {
    return {index, PF_Param_PATH, name, 0, 1, 0, 0, 0, 0, 0, 0, nullptr, {}, snapshot};
}
template <class Choices>
constexpr ParamRow popup(int index, const char *name, A_long dephault, SnapshotField snapshot) {
    return {index, PF_Param_POPUP, name, kTwirly, double(dephault), 0, 0, 0, 0, 0, 0, Choices::names, {}, snapshot};
}
constexpr ParamRow slider(int index, const char *name, int dephault, int validMin, int validMax, int sliderMin,
                          int sliderMax, SnapshotField snapshot) {
    return {index,
            PF_Param_SLIDER,
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
            {},
            snapshot};
}
// An integer slider for a random seed: 0 to 50000, slider 0 to 100.
constexpr ParamRow seed(int index, const char *name, SnapshotField snapshot) {
    return slider(index, name, 0, 0, 50000, 0, 100, snapshot);
}
constexpr ParamRow checkbox(int index, const char *name, bool on, SnapshotField snapshot) {
    return {index, PF_Param_CHECKBOX, name, kTwirly, on ? 1.0 : 0.0, 0, 0, 0, 0, 0, 0, nullptr, {}, snapshot};
}
constexpr ParamRow angle(int index, const char *name, SnapshotField snapshot) {
    return {index, PF_Param_ANGLE, name, kTwirly, 0, 0, 0, 0, 0, 0, 0, nullptr, {}, snapshot};
}
// A percentage, 0 to 100 with one decimal, shown with a percent sign.
constexpr ParamRow fixedPercent(int index, const char *name, double dephault, SnapshotField snapshot) {
    return {index,
            PF_Param_FIX_SLIDER,
            name,
            kTwirly,
            dephault,
            0,
            100,
            0,
            100,
            PF_Precision_TENTHS,
            PF_ValueDisplayFlag_PERCENT,
            nullptr,
            {},
            snapshot};
}
// Output pixels with two decimals, shown as a plain number.
constexpr ParamRow pixels(int index, const char *name, double dephault, double validMin, double validMax,
                          double sliderMin, double sliderMax, SnapshotField snapshot) {
    return {index,
            PF_Param_FLOAT_SLIDER,
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
            {},
            snapshot};
}
// A signed percentage, -100 to 100 with one decimal.
constexpr ParamRow signedPercent(int index, const char *name, SnapshotField snapshot) {
    return {index,
            PF_Param_FLOAT_SLIDER,
            name,
            kTwirly,
            0,
            -100,
            100,
            -100,
            100,
            PF_Precision_TENTHS,
            PF_ValueDisplayFlag_PERCENT,
            nullptr,
            {},
            snapshot};
}
constexpr ParamRow color(int index, const char *name, PF_Pixel dephault, SnapshotField snapshot) {
    return {index, PF_Param_COLOR, name, kTwirly, 0, 0, 0, 0, 0, 0, 0, nullptr, dephault, snapshot};
}
constexpr ParamRow layer(int index, const char *name) {
    return {index, PF_Param_LAYER, name, kTwirly, PF_LayerDefault_NONE, 0, 0, 0, 0, 0, 0, nullptr, {}, kNotRead};
}
constexpr ParamRow groupStart(int index, const char *name) {
    return {index, PF_Param_GROUP_START, name, kTwirly, 0, 0, 0, 0, 0, 0, 0, nullptr, {}, kNotRead};
}
constexpr ParamRow groupEnd(int index) {
    return {index, PF_Param_GROUP_END, "", 0, 0, 0, 0, 0, 0, 0, 0, nullptr, {}, kNotRead};
}

}  // namespace

constexpr ParamRow kParamRows[kRegisteredParamCount] = {
    path(P::Path, "Path", read(1, &PP::path)),
    popup<Mode>(P::Mode, "Mode", Mode::Vertex, read(2, &PP::mode)),
    popup<SubMode>(P::SubMode, "Sub Mode", SubMode::Dependent, read(3, &PP::subMode)),
    slider(P::Number, "Number", 0, 0, 50000, 0, 100, read(4, &PP::number)),
    checkbox(P::LineLoop, "Line Loop", false, read(7, &PP::lineLoop)),
    angle(P::VertexOffset, "Vertex Offset", read(6, &PP::vertexOffset, Conversion::ReducedTurns)),
    angle(P::Offset, "Offset", read(5, &PP::offset, Conversion::ReducedTurns)),
    fixedPercent(P::Start, "Start", 0, read(8, &PP::start)),
    fixedPercent(P::End, "End", 100, read(9, &PP::end)),
    fixedPercent(P::Delay, "Delay", 100, read(10, &PP::delay)),
    popup<Order>(P::Order, "Order", Order::Normal, read(11, &PP::order)),
    seed(P::OrderSeed, "Order Seed", read(12, &PP::orderSeed)),
    popup<ValueMode>(P::RadiusMode, "Radius Mode", ValueMode::Normal, read(13, &PP::radiusMode)),
    pixels(P::FirstRadius, "First Radius", 20, -1000, 1000, 0, 50, read(14, &PP::firstRadius)),
    pixels(P::DeltaRadius, "Delta Radius", 0, -1000, 1000, -20, 20, read(16, &PP::deltaRadius)),
    fixedPercent(P::MinRadius, "Min Radius", 100, read(15, &PP::minRadius)),
    seed(P::RadiusSeed, "Radius Seed", read(17, &PP::radiusSeed)),
    groupStart(P::ShapeGroup, "--Shape--"),
    popup<ShapeMode>(P::ShapeMode, "Shape Mode", ShapeMode::Circle, read(18, &PP::shapeMode)),
    slider(P::Side, "Side", 5, 3, 16, 3, 8, read(19, &PP::side)),
    layer(P::Layer, "Layer"),
    groupStart(P::LayerSettingGroup, "--Layer Setting--"),
    popup<BlendMode>(P::LayerBlendMode, "Layer Blend Mode", BlendMode::Screen, read(20, &PP::layerBlendMode)),
    fixedPercent(P::ColorOpacity, "Color Opacity", 0, read(21, &PP::colorOpacity)),
    groupEnd(P::LayerSettingGroupEnd),
    slider(P::Keyframe, "Keyframe", 2, 1, 16, 1, 16, kNotRead),
    checkbox(P::DependOnPath, "Depend On Path", false, read(22, &PP::dependOnPath)),
    angle(P::Phase, "Phase", read(23, &PP::phase, Conversion::Radians)),
    angle(P::DeltaPhase, "Delta Phase", read(24, &PP::deltaPhase, Conversion::Radians)),
    groupEnd(P::ShapeGroupEnd),
    groupStart(P::FillGroup, "--Fill--"),
    popup<ValueMode>(P::ColorMode, "Color Mode", ValueMode::Normal, read(25, &PP::colorMode)),
    color(P::Color, "Color", {255, 255, 255, 255}, read(26, &PP::color)),
    angle(P::DeltaHue, "Delta Hue", read(27, &PP::deltaHue, Conversion::Turns)),
    signedPercent(P::DeltaLightness, "Delta Lightness", read(28, &PP::deltaLightness)),
    signedPercent(P::DeltaSaturation, "Delta Saturation", read(29, &PP::deltaSaturation)),
    fixedPercent(P::HueVariance, "Hue Variance", 0, read(30, &PP::hueVariance)),
    fixedPercent(P::LightnessVariance, "Lightness Variance", 0, read(31, &PP::lightnessVariance)),
    fixedPercent(P::SaturationVariance, "Saturation Variance", 0, read(32, &PP::saturationVariance)),
    seed(P::ColorSeed, "Color Seed", read(33, &PP::colorSeed)),
    groupEnd(P::FillGroupEnd),
    groupStart(P::StrokeGroup, "--Stroke--"),
    pixels(P::StrokeThickness, "Stroke Thickness", 3, 0, 1000, 0, 100, read(36, &PP::strokeThickness)),
    popup<StrokeOver>(P::StrokeOver, "Stroke Over", StrokeOver::StrokeOverFill, read(35, &PP::strokeOver)),
    popup<StrokeMode>(P::StrokeMode, "Stroke Mode", StrokeMode::Normal, read(34, &PP::strokeMode)),
    color(P::StrokeColor, "Stroke Color", {255, 255, 0, 0}, read(37, &PP::strokeColor)),
    angle(P::StrokeDeltaHue, "Stroke Delta Hue", read(38, &PP::strokeDeltaHue, Conversion::Turns)),
    signedPercent(P::StrokeDeltaLightness, "Stroke Delta Lightness", read(39, &PP::strokeDeltaLightness)),
    signedPercent(P::StrokeDeltaSaturation, "Stroke Delta Saturation", read(40, &PP::strokeDeltaSaturation)),
    fixedPercent(P::StrokeHueVariance, "Stroke Hue Variance", 0, read(41, &PP::strokeHueVariance)),
    fixedPercent(P::StrokeLightnessVariance, "Stroke Lightness Variance", 0, read(42, &PP::strokeLightnessVariance)),
    fixedPercent(P::StrokeSaturationVariance, "Stroke Saturation Variance", 0, read(43, &PP::strokeSaturationVariance)),
    seed(P::StrokeColorSeed, "Stroke Color Seed", read(44, &PP::strokeColorSeed)),
    groupEnd(P::StrokeGroupEnd),
    groupStart(P::OpacityGroup, "--Opacity--"),
    popup<ValueMode>(P::OpacityMode, "Opacity Mode", ValueMode::Normal, read(45, &PP::opacityMode)),
    fixedPercent(P::Opacity, "Opacity", 100, read(46, &PP::opacity)),
    signedPercent(P::DeltaOpacity, "Delta Opacity", read(47, &PP::deltaOpacity)),
    fixedPercent(P::MinOpacity, "Min Opacity", 100, read(48, &PP::minOpacity)),
    seed(P::OpacitySeed, "Opacity Seed", read(49, &PP::opacitySeed)),
    groupEnd(P::OpacityGroupEnd),
    popup<BlendMode>(P::BlendMode, "Blend Mode", BlendMode::Normal, read(50, &PP::blendMode)),
    checkbox(P::OnOriginal, "On Original", true, read(51, &PP::onOriginal)),
};

namespace {

// Row i describes index i + 1, and the read ranks are 1..51, each once.
constexpr bool rowsInIndexOrder() {
    for (int i = 0; i < kRegisteredParamCount; ++i)
        if (kParamRows[i].index != i + 1) return false;
    return true;
}
static_assert(rowsInIndexOrder());

constexpr std::array<int, kSnapshotParamCount> readOrderOf() {
    std::array<int, kSnapshotParamCount> order{};
    int found = 0;
    for (int rank = 1; rank <= kSnapshotParamCount; ++rank) {
        for (const ParamRow &row : kParamRows) {
            if (row.snapshot.rank != rank) continue;
            if (found == kSnapshotParamCount) throw "a read rank is given twice";
            order[found++] = row.index;
        }
    }
    if (found != kSnapshotParamCount) throw "a read rank between 1 and 51 is missing";
    return order;
}

constexpr double kRadiansPerDegree = 0.017453292519943295;

// An angle as turns in [0, 1): the remainder keeps the dividend's sign, so
// only negative angles need the added turn.
double reducedTurns(double degrees, A_FpLong (*fmod)(A_FpLong, A_FpLong)) {
    const double turns = fmod(degrees, 360.0) / 360.0;
    return turns < 0 ? turns + 1.0 : turns;
}

// A slider's value within its valid range, in the units the user sees. A host
// keeps values there, but one that does not must not hand the arithmetic an
// opacity of 32767 %, a radius of 1e308 pixels or a NaN: those take the
// nearest end of the range, NaN the default.
double validSliderValue(const ParamRow &row, double value) {
    if (std::isnan(value)) return row.dephault;
    return value < row.validMin ? row.validMin : value > row.validMax ? row.validMax : value;
}

// A slider's value in engine units: fixed percentages and percent float
// sliders as fractions, pixel float sliders times the downsampling.
double sliderValue(const ParamRow &row, const PF_ParamDef &def, double downsample) {
    if (row.type == PF_Param_FIX_SLIDER) return validSliderValue(row, fromFixed16(def.u.fd.value)) * 0.01;
    const double value = validSliderValue(row, def.u.fs_d.value);
    if (row.displayFlags == PF_ValueDisplayFlag_PERCENT) return value * 0.01;
    return value * downsample;
}

double realValue(const ParamRow &row, const PF_ParamDef &def, double downsample, A_FpLong (*fmod)(A_FpLong, A_FpLong)) {
    const double degrees = fromFixed16(def.u.ad.value);
    switch (row.snapshot.conversion) {
    case Conversion::ReducedTurns:
        return reducedTurns(degrees, fmod);
    case Conversion::Turns:
        return degrees / 360.0;
    case Conversion::Radians:
        return degrees * kRadiansPerDegree;
    default:
        return sliderValue(row, def, downsample);
    }
}

// Popups, checkboxes and integer sliders as the host stores them.
A_long integerValue(const ParamRow &row, const PF_ParamDef &def) {
    switch (row.type) {
    case PF_Param_POPUP:
        return def.u.pd.value;
    case PF_Param_CHECKBOX:
        return def.u.bd.value;
    default:
        return def.u.sd.value;
    }
}

}  // namespace

constexpr std::array<int, kSnapshotParamCount> kSnapshotReadOrder = readOrderOf();

void fillSnapshot(PatternParams &snapshot, const PF_ParamDef *values, double downsample,
                  A_FpLong (*fmod)(A_FpLong, A_FpLong)) {
    std::memset(&snapshot, 0, sizeof snapshot);
    snapshot.downsample = downsample;
    for (const ParamRow &row : kParamRows) {
        const SnapshotField &field = row.snapshot;
        const PF_ParamDef &def = values[row.index];
        if (field.path) snapshot.*field.path = def.u.path_d.path_id;
        if (field.integer) snapshot.*field.integer = integerValue(row, def);
        if (field.color) snapshot.*field.color = def.u.cd.value;
        if (field.real) snapshot.*field.real = realValue(row, def, downsample, fmod);
    }
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
        def.u.pd.num_choices = static_cast<A_short>(choiceCount(row.choices));
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
        def.u.ad.value = def.u.ad.dephault = toFixed16(row.dephault);
        break;
    case PF_Param_FIX_SLIDER:
        def.u.fd.value = def.u.fd.dephault = toFixed16(row.dephault);
        def.u.fd.valid_min = toFixed16(row.validMin);
        def.u.fd.valid_max = toFixed16(row.validMax);
        def.u.fd.slider_min = toFixed16(row.sliderMin);
        def.u.fd.slider_max = toFixed16(row.sliderMax);
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
