// The snapshot of parameter values one frame is rendered from, in engine
// units, and the choices of its popups. Filled at smart pre-render, handed to
// the render in a host handle of exactly this record's size; flat, no pointers.
#pragma once

#include "hostapi/hostapi.h"

// Number of choices in a "|"-separated list.
constexpr A_long choiceCount(const char *names) {
    A_long count = 1;
    for (const char *c = names; *c; ++c) count += *c == '|';
    return count;
}

// Each popup's choices as the host numbers them (from 1) and the texts it
// shows, in the same order.
struct Mode {
    enum : A_long { Vertex = 1, Number, Line };
    static constexpr const char *names = "Vertex|Number|Line";
};
struct SubMode {
    enum : A_long { Constant = 1, Dependent };
    static constexpr const char *names = "Constant|Dependent";
};
struct Order {
    enum : A_long { Normal = 1, Inverse, Random };
    static constexpr const char *names = "Normal|Inverse|Random";
};
// "Radius Mode", "Color Mode" and "Opacity Mode".
struct ValueMode {
    enum : A_long { Normal = 1, Keyframe, Keyframe2 };
    static constexpr const char *names = "Normal|Keyframe|Keyframe 2";
};
struct ShapeMode {
    enum : A_long { Circle = 1, Polygon, Layer, Keyframe };
    static constexpr const char *names = "Circle|Polygon|Layer|Keyframe";
};
struct StrokeOver {
    enum : A_long { StrokeOverFill = 1, FillOverStroke };
    static constexpr const char *names = "Stroke Over Fill|Fill Over Stroke";
};
struct StrokeMode {
    enum : A_long { Normal = 1, Keyframe, Keyframe2, Dependent };
    static constexpr const char *names = "Normal|Keyframe|Keyframe 2|Dependent";
};
// "Blend Mode" and "Layer Blend Mode".
struct BlendMode {
    enum : A_long {
        Normal = 1,
        Add,
        Multiply,
        Screen,
        Overlay,
        HardLight,
        Darken,
        Lighten,
        Difference,
        Hue,
        Saturation,
        Color,
        Luminosity,
        Dodge,
        Burn,
        LinearLight,
        VividLight,
        PinLight,
        HardMix
    };
    static constexpr const char *names =
        "Normal|Add|Multiply|Screen|Overlay|Hard Light|Darken|Lighten|Difference|Hue|Saturation|Color|Luminosity|"
        "Dodge|Burn|Linear Light|Vivid Light|Pin Light|Hard Mix";
};

static_assert(choiceCount(Mode::names) == Mode::Line);
static_assert(choiceCount(SubMode::names) == SubMode::Dependent);
static_assert(choiceCount(Order::names) == Order::Random);
static_assert(choiceCount(ValueMode::names) == ValueMode::Keyframe2);
static_assert(choiceCount(ShapeMode::names) == ShapeMode::Keyframe);
static_assert(choiceCount(StrokeOver::names) == StrokeOver::FillOverStroke);
static_assert(choiceCount(StrokeMode::names) == StrokeMode::Dependent);
static_assert(choiceCount(BlendMode::names) == BlendMode::HardMix);

// Values from keyframes: "Keyframe" or "Keyframe 2", numbered alike in
// ValueMode and StrokeMode.
static_assert(A_long(ValueMode::Keyframe) == A_long(StrokeMode::Keyframe) &&
              A_long(ValueMode::Keyframe2) == A_long(StrokeMode::Keyframe2));
constexpr bool keyframed(A_long mode) { return mode == ValueMode::Keyframe || mode == ValueMode::Keyframe2; }

struct PatternParams {
    double downsample;  // horizontal downsampling, numerator / denominator
    A_u_long path;      // the chosen mask's path id; 0 none
    A_long mode;        // Mode
    A_long subMode;     // SubMode
    A_long lineLoop;    // 0 or 1
    A_long number;
    double vertexOffset;  // turns, [0, 1)
    double offset;        // turns, [0, 1)
    double start;         // fraction
    double end;           // fraction
    double delay;         // fraction
    A_long order;         // Order
    A_long orderSeed;
    A_long radiusMode;   // ValueMode
    double firstRadius;  // output pixels
    double minRadius;    // fraction
    double deltaRadius;  // output pixels
    A_long radiusSeed;
    A_long shapeMode;       // ShapeMode
    A_long side;            // 3..16
    A_long layerBlendMode;  // BlendMode
    double colorOpacity;    // fraction
    A_long dependOnPath;    // 0 or 1
    double phase;           // radians, not reduced
    double deltaPhase;      // radians, not reduced
    A_long colorMode;       // ValueMode
    PF_Pixel color;
    double hueVariance;         // fraction
    double lightnessVariance;   // fraction
    double saturationVariance;  // fraction
    double deltaHue;            // turns, not reduced
    double deltaLightness;      // fraction, -1..1
    double deltaSaturation;     // fraction, -1..1
    A_long colorSeed;
    A_long strokeMode;       // StrokeMode
    A_long strokeOver;       // StrokeOver
    double strokeThickness;  // output pixels
    PF_Pixel strokeColor;
    double strokeHueVariance;
    double strokeLightnessVariance;
    double strokeSaturationVariance;
    double strokeDeltaHue;  // turns, not reduced
    double strokeDeltaLightness;
    double strokeDeltaSaturation;
    A_long strokeColorSeed;
    A_long opacityMode;   // ValueMode
    double opacity;       // fraction
    double minOpacity;    // fraction
    double deltaOpacity;  // fraction, -1..1
    A_long opacitySeed;
    A_long blendMode;   // BlendMode
    A_long onOriginal;  // 0 or 1
};
