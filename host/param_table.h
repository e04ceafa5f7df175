// The effect's 63 parameters as data: index, type, name, flags, default,
// ranges, display and where the snapshot keeps the value. Registration, the
// pre-render's snapshot and the parameter UI read this one table.
#pragma once

#include <array>

#include "engine/pattern_params.h"
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

// How the smart pre-render turns a parameter's value into its PatternParams
// field.
enum class Conversion {
    None,          // not in the snapshot
    Copy,          // popups, checkboxes, integer sliders, colours and "Path" as the host gives them
    Slider,        // fixed sliders and percent float sliders to fractions, pixel float sliders times the downsampling
    ReducedTurns,  // degrees to turns in [0, 1)
    Turns,         // degrees to turns, whole turns kept
    Radians        // degrees to radians, not reduced
};

// Where a parameter's value goes in the snapshot: the pre-render reads it
// rank-th (1..51) and stores it, converted, in the one field that is set.
struct SnapshotField {
    int rank = 0;  // 0: not read
    Conversion conversion = Conversion::None;
    A_u_long PatternParams::*path = nullptr;
    A_long PatternParams::*integer = nullptr;
    double PatternParams::*real = nullptr;
    PF_Pixel PatternParams::*color = nullptr;
};

constexpr SnapshotField read(int rank, A_u_long PatternParams::*field) {
    return {rank, Conversion::Copy, field, nullptr, nullptr, nullptr};
}
constexpr SnapshotField read(int rank, A_long PatternParams::*field) {
    return {rank, Conversion::Copy, nullptr, field, nullptr, nullptr};
}
constexpr SnapshotField read(int rank, PF_Pixel PatternParams::*field) {
    return {rank, Conversion::Copy, nullptr, nullptr, nullptr, field};
}
constexpr SnapshotField read(int rank, double PatternParams::*field, Conversion how = Conversion::Slider) {
    return {rank, how, nullptr, nullptr, field, nullptr};
}

// One registered parameter: its registration, and where its value goes in the
// snapshot. Numbers are in the units the user sees: fixed sliders in percent,
// float sliders as they are, popups as 1-based choices, checkboxes 0 or 1,
// "Path" as the 1-based mask number.
struct ParamRow {
    int index;  // 1..63, also the disk identifier
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
    SnapshotField snapshot;
};

// Rows for indices 1..63 (row i - 1 describes index i).
extern const ParamRow kParamRows[kRegisteredParamCount];

// The row of a registered parameter index (1..63).
inline const ParamRow &paramRow(int index) { return kParamRows[index - 1]; }

// The parameters the pre-render reads, in the order it reads them.
constexpr int kSnapshotParamCount = 51;
extern const std::array<int, kSnapshotParamCount> kSnapshotReadOrder;

// Zeroes `snapshot` (padding included) and fills it from parameter values
// indexed by parameter index (entries not read may be anything), converted
// to engine units. `downsample` is the horizontal downsampling factor; `fmod`
// is the host's floating remainder.
void fillSnapshot(PatternParams &snapshot, const PF_ParamDef *values, double downsample,
                  A_FpLong (*fmod)(A_FpLong, A_FpLong));

// The registered definition of one index (1..63), everything but the name,
// which the host's string copy writes.
PF_ParamDef paramDefinition(int index);
