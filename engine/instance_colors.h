// Fill and stroke colours of the instances: a base colour from "Color" or
// "Stroke Color", stepped in hue, lightness and saturation from instance to
// instance, with a seeded random offset each, converted by the host.
#pragma once

#include "engine/hsl_color.h"
#include "engine/pattern_instance.h"
#include "engine/pattern_params.h"
#include "engine/pattern_random.h"
#include "hostapi/hostapi.h"
#include "raster/pixel_format.h"

// The host's RGB <-> HLS conversions ("PF ColorFloat Suite" 1).
struct ColorConverter {
    const PF_ColorCallbacksFloatSuite1 *suite;  // null only while an error is pending
    PF_ProgPtr effectRef;
};

// Host conversions, chained on `pending`; a skipped call leaves its output as is.
void rgbToHsl(const ColorConverter &converter, PF_PixelFloat rgb, HslColor &hsl, PF_Err &pending);
void hslToRgb(const ColorConverter &converter, HslColor hsl, PF_PixelFloat &rgb, PF_Err &pending);

// One colour of the effect, fill or stroke: its parameters in the snapshot
// and its three forms in an instance record. The fill's and the stroke's come
// in the same order and units, so one piece of code serves both.
struct ColorRole {
    PF_Pixel PatternParams::*color;
    double PatternParams::*hueVariance;
    double PatternParams::*lightnessVariance;
    double PatternParams::*saturationVariance;
    double PatternParams::*deltaHue;  // turns
    double PatternParams::*deltaLightness;
    double PatternParams::*deltaSaturation;
    A_long PatternParams::*seed;
    PF_Pixel PatternInstance::*color8;
    PF_Pixel16 PatternInstance::*color16;
    PF_PixelFloat PatternInstance::*colorF;
};

constexpr ColorRole kFill{&PatternParams::color,
                          &PatternParams::hueVariance,
                          &PatternParams::lightnessVariance,
                          &PatternParams::saturationVariance,
                          &PatternParams::deltaHue,
                          &PatternParams::deltaLightness,
                          &PatternParams::deltaSaturation,
                          &PatternParams::colorSeed,
                          &PatternInstance::fillColor8,
                          &PatternInstance::fillColor16,
                          &PatternInstance::fillColorF};
constexpr ColorRole kStroke{&PatternParams::strokeColor,
                            &PatternParams::strokeHueVariance,
                            &PatternParams::strokeLightnessVariance,
                            &PatternParams::strokeSaturationVariance,
                            &PatternParams::strokeDeltaHue,
                            &PatternParams::strokeDeltaLightness,
                            &PatternParams::strokeDeltaSaturation,
                            &PatternParams::strokeColorSeed,
                            &PatternInstance::strokeColor8,
                            &PatternInstance::strokeColor16,
                            &PatternInstance::strokeColorF};

// An instance's colour in its three forms, and setting them.
PixelForms instanceColor(const PatternInstance &instance, const ColorRole &role);
void setInstanceColor(PatternInstance &instance, const ColorRole &role, const PixelForms &forms);

// Stores a float colour: the float form as is, the integer form of `depth` by
// truncation, the other integer form from the colour parameter.
void storeColor(PatternInstance &instance, const ColorRole &role, PF_PixelFloat pixel, PF_Pixel parameter,
                PixelDepth depth);

// One colour stepped through the instances.
struct ColorRun {
    HslColor running;      // base colour, then stepped once per instance
    double hueStep;        // turns per instance
    double lightnessStep;  // per instance
    double saturationStep;
    double hueVariance, lightnessVariance, saturationVariance;  // fractions
    PatternRandom random;
    PF_Pixel parameter;   // "Color" or "Stroke Color"
    PF_PixelFloat pixel;  // its float form; the host's conversions land here, alpha kept
};

// The run of `role` over `count` instances: its parameter converted to HSL by
// the host as the base colour, its deltas spread over the steps between the
// instances, its variances and its seed.
ColorRun makeColorRun(const ColorConverter &converter, const PatternParams &params, const ColorRole &role, A_long count,
                      PF_Err &pending);

// Instance colour: a copy of the running colour with its own random offset
// (three draws, always); the running colour then takes one step.
HslColor nextRunColor(ColorRun &run);

// Per-render colour state of the instance loop (everything but "Line" with
// "Sub Mode" "Dependent").
struct InstanceColoring {
    ColorConverter converter;
    PixelDepth depth;
    A_long colorMode;   // ValueMode
    A_long strokeMode;  // StrokeMode
    ColorRun fill;
    ColorRun stroke;
    double strokeDeltaHue, strokeDeltaLightness, strokeDeltaSaturation;  // dependent offset
    A_long fillLength;    // colour-table length with a keyframed "Color Mode"
    A_long strokeLength;  // stroke-table length with a keyframed "Stroke Mode"
};

// False when every instance carries the one fill colour: "Color Mode"
// "Normal" without deltas or variances, or a keyframed fill table of one entry.
bool fillColorsMayDiffer(const PatternParams &params, const KeyframeTables &tables);

// Base colours and steps for `count` instances.
InstanceColoring makeInstanceColoring(const ColorConverter &converter, const PatternParams &params, PixelDepth depth,
                                      A_long count, const KeyframeTables &tables, PF_Err &pending);

// Fill colour of instance i (instances 0..i-1 done). Returns the HSL colour a
// dependent stroke starts from.
HslColor colorInstanceFill(InstanceColoring &coloring, PatternInstance *instances, A_long i, PF_Err &pending);
// Stroke colour of instance i; `fill` is what colorInstanceFill returned.
void colorInstanceStroke(InstanceColoring &coloring, PatternInstance *instances, A_long i, HslColor fill,
                         PF_Err &pending);
