// Colour variation: running colours, steps, variance and the dependent stroke.
#include "engine/instance_colors.h"

#include "engine/host_call_chain.h"
#include "raster/pixel_ops.h"

void rgbToHsl(const ColorConverter &converter, PF_PixelFloat rgb, HslColor &hsl, PF_Err &pending) {
    chainHostCall(pending, [&] {
        PF_HLS_Pixel hls = {hsl.hue, hsl.lightness, hsl.saturation};
        const PF_Err err = converter.suite->RGBtoHLS(converter.effectRef, &rgb, hls);
        if (err == PF_Err_NONE) hsl = HslColor{hls[0], hls[1], hls[2]};
        return err;
    });
}

void hslToRgb(const ColorConverter &converter, HslColor hsl, PF_PixelFloat &rgb, PF_Err &pending) {
    chainHostCall(pending, [&] {
        PF_HLS_Pixel hls = {hsl.hue, hsl.lightness, hsl.saturation};
        return converter.suite->HLStoRGB(converter.effectRef, hls, &rgb);
    });
}

ColorForms fillForms(PatternInstance &instance) {
    return ColorForms{instance.fillColor8, instance.fillColor16, instance.fillColorF};
}

ColorForms strokeForms(PatternInstance &instance) {
    return ColorForms{instance.strokeColor8, instance.strokeColor16, instance.strokeColorF};
}

void storeColor(ColorForms forms, PF_PixelFloat pixel, PF_Pixel parameter, PixelDepth depth) {
    forms.colorF = pixel;
    forms.color8 = depth == Depth8 ? convertFloatTo8(pixel) : parameter;
    forms.color16 = depth == Depth16 ? convertFloatTo16(pixel) : convert8To16(parameter);
}

ColorRun makeColorRun(const ColorConverter &converter, PF_Pixel parameter, A_long seed, PF_Err &pending) {
    ColorRun run{};
    run.parameter = parameter;
    run.pixel = convert8ToFloat(parameter);
    run.random = makePatternRandom(seed);
    rgbToHsl(converter, run.pixel, run.running, pending);
    return run;
}

HslColor nextRunColor(ColorRun &run) {
    HslColor color = run.running;
    applyHslStep(run.running, run.hueStep, run.lightnessStep, run.saturationStep);
    applyHslVariance(color, run.hueVariance, run.lightnessVariance, run.saturationVariance, run.random);
    return color;
}

namespace {

// Per-instance step of a total change over `count` instances; one instance
// takes no step.
double stepOf(double delta, A_long count) { return count > 1 ? delta / (count - 1) : 0.0; }

bool keyframed(A_long mode) { return mode == kColorKeyframe || mode == kColorKeyframe2; }

void copyFill(PatternInstance &to, const PatternInstance &from) {
    to.fillColor8 = from.fillColor8;
    to.fillColor16 = from.fillColor16;
    to.fillColorF = from.fillColorF;
}

void copyStroke(PatternInstance &to, const PatternInstance &from) {
    to.strokeColor8 = from.strokeColor8;
    to.strokeColor16 = from.strokeColor16;
    to.strokeColorF = from.strokeColorF;
}

}  // namespace

InstanceColoring makeInstanceColoring(const ColorConverter &converter, const PatternParams &params, PixelDepth depth,
                                      A_long count, const KeyframeTables &tables, PF_Err &pending) {
    InstanceColoring coloring{};
    coloring.converter = converter;
    coloring.depth = depth;
    coloring.colorMode = params.colorMode;
    coloring.strokeMode = params.strokeMode;
    coloring.fillLength = tables.fillLength > 0 ? tables.fillLength : 1;
    coloring.strokeLength = tables.strokeLength > 0 ? tables.strokeLength : 1;

    coloring.fill = makeColorRun(converter, params.color, params.colorSeed, pending);
    coloring.fill.hueStep = stepOf(params.deltaHue, count);
    coloring.fill.lightnessStep = stepOf(params.deltaLightness, count);
    coloring.fill.saturationStep = stepOf(params.deltaSaturation, count);
    coloring.fill.hueVariance = params.hueVariance;
    coloring.fill.lightnessVariance = params.lightnessVariance;
    coloring.fill.saturationVariance = params.saturationVariance;

    coloring.stroke = makeColorRun(converter, params.strokeColor, params.strokeColorSeed, pending);
    coloring.stroke.hueStep = stepOf(params.strokeDeltaHue, count);
    coloring.stroke.lightnessStep = stepOf(params.strokeDeltaLightness, count);
    coloring.stroke.saturationStep = stepOf(params.strokeDeltaSaturation, count);
    coloring.stroke.hueVariance = params.strokeHueVariance;
    coloring.stroke.lightnessVariance = params.strokeLightnessVariance;
    coloring.stroke.saturationVariance = params.strokeSaturationVariance;
    // A dependent stroke is a fixed offset from its instance's fill.
    coloring.strokeDeltaHue = params.strokeDeltaHue;
    coloring.strokeDeltaLightness = params.strokeDeltaLightness;
    coloring.strokeDeltaSaturation = params.strokeDeltaSaturation;
    return coloring;
}

HslColor colorInstanceFill(InstanceColoring &coloring, PatternInstance *instances, A_long i, PF_Err &pending) {
    PatternInstance &instance = instances[i];
    HslColor fill{};
    if (!keyframed(coloring.colorMode)) {
        fill = nextRunColor(coloring.fill);
        hslToRgb(coloring.converter, fill, coloring.fill.pixel, pending);
        storeColor(fillForms(instance), coloring.fill.pixel, coloring.fill.parameter, coloring.depth);
        return fill;
    }
    copyFill(instance, instances[i % coloring.fillLength]);
    if (coloring.strokeMode == kStrokeDependent) {
        rgbToHsl(coloring.converter, instance.fillColorF, fill, pending);
    }
    return fill;
}

void colorInstanceStroke(InstanceColoring &coloring, PatternInstance *instances, A_long i, HslColor fill,
                         PF_Err &pending) {
    PatternInstance &instance = instances[i];
    ColorRun &stroke = coloring.stroke;
    if (coloring.strokeMode == kStrokeDependent) {
        applyHslStep(fill, coloring.strokeDeltaHue, coloring.strokeDeltaLightness, coloring.strokeDeltaSaturation);
        hslToRgb(coloring.converter, fill, stroke.pixel, pending);
        storeColor(strokeForms(instance), stroke.pixel, stroke.parameter, coloring.depth);
    } else if (keyframed(coloring.strokeMode)) {
        copyStroke(instance, instances[i % coloring.strokeLength]);
    } else {
        const HslColor color = nextRunColor(stroke);
        hslToRgb(coloring.converter, color, stroke.pixel, pending);
        storeColor(strokeForms(instance), stroke.pixel, stroke.parameter, coloring.depth);
    }
}
