// The effect's 63 parameters as data: index, type, name, flags, default,
// ranges and display. Registration and the parameter UI read this one table.
#pragma once

#include "hostapi/hostapi.h"

// Parameter indices; each is also the parameter's disk identifier, which
// saved projects store: never renumber.
namespace ParamIndex {
enum : int {
    Input = 0,
    Path,
    Mode,
    SubMode,
    Number,
    LineLoop,
    VertexOffset,
    Offset,
    Start,
    End,
    Delay,
    Order,
    OrderSeed,
    RadiusMode,
    FirstRadius,
    DeltaRadius,
    MinRadius,
    RadiusSeed,
    ShapeGroup,
    ShapeMode,
    Side,
    Layer,
    LayerSettingGroup,
    LayerBlendMode,
    ColorOpacity,
    LayerSettingGroupEnd,
    Keyframe,
    DependOnPath,
    Phase,
    DeltaPhase,
    ShapeGroupEnd,
    FillGroup,
    ColorMode,
    Color,
    DeltaHue,
    DeltaLightness,
    DeltaSaturation,
    HueVariance,
    LightnessVariance,
    SaturationVariance,
    ColorSeed,
    FillGroupEnd,
    StrokeGroup,
    StrokeThickness,
    StrokeOver,
    StrokeMode,
    StrokeColor,
    StrokeDeltaHue,
    StrokeDeltaLightness,
    StrokeDeltaSaturation,
    StrokeHueVariance,
    StrokeLightnessVariance,
    StrokeSaturationVariance,
    StrokeColorSeed,
    StrokeGroupEnd,
    OpacityGroup,
    OpacityMode,
    Opacity,
    DeltaOpacity,
    MinOpacity,
    OpacitySeed,
    OpacityGroupEnd,
    BlendMode,
    OnOriginal,
    Count  // 64: the input layer and the 63 registered parameters
};
}  // namespace ParamIndex

constexpr int kRegisteredParamCount = ParamIndex::Count - 1;

// One registered parameter. Numbers are in the units the user sees: fixed
// sliders in percent, float sliders as they are, popups as 1-based choices,
// checkboxes 0 or 1, "Path" as the 1-based mask number.
struct ParamRow {
    PF_ParamType type;
    const char *name;  // "" for group ends
    PF_ParamFlags flags;
    double dephault;
    double validMin, validMax;
    double sliderMin, sliderMax;
    A_short precision;     // float and fixed sliders
    A_short displayFlags;  // float and fixed sliders
    const char *choices;   // popups: "|"-separated, numbered from 1
    PF_Pixel color;        // colours: alpha, red, green, blue
};

// Rows for indices 1..63 (row i - 1 describes index i).
extern const ParamRow kParamRows[kRegisteredParamCount];

// The row of a registered parameter index (1..63).
inline const ParamRow &paramRow(int index) { return kParamRows[index - 1]; }

// Number of choices in a popup's "|"-separated list.
A_short popupChoiceCount(const char *choices);

// The registered definition of one index (1..63), everything but the name,
// which the host's string copy writes.
PF_ParamDef paramDefinition(int index);
