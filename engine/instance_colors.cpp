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

PixelForms instanceColor(const PatternInstance &instance, const ColorRole &role) {
    return PixelForms{instance.*role.color8, instance.*role.color16, instance.*role.colorF};
}

void setInstanceColor(PatternInstance &instance, const ColorRole &role, const PixelForms &forms) {
    instance.*role.color8 = forms.color8;
    instance.*role.color16 = forms.color16;
    instance.*role.colorF = forms.colorF;
}

void storeColor(PatternInstance &instance, const ColorRole &role, PF_PixelFloat pixel, PF_Pixel parameter,
                PixelDepth depth) {
    instance.*role.colorF = pixel;
    instance.*role.color8 = depth == Depth8 ? convertFloatTo8(pixel) : parameter;
    instance.*role.color16 = depth == Depth16 ? convertFloatTo16(pixel) : convert8To16(parameter);
}

namespace {

// Per-instance step of a total change over `count` instances; one instance
// takes no step.
double stepOf(double delta, A_long count) { return count > 1 ? delta / (count - 1) : 0.0; }

}  // namespace

ColorRun makeColorRun(const ColorConverter &converter, const PatternParams &params, const ColorRole &role, A_long count,
                      PF_Err &pending) {
    ColorRun run{};
    run.parameter = params.*role.color;
    run.pixel = convert8ToFloat(run.parameter);
    run.random = makePatternRandom(params.*role.seed);
    rgbToHsl(converter, run.pixel, run.running, pending);
    run.hueStep = stepOf(params.*role.deltaHue, count);
    run.lightnessStep = stepOf(params.*role.deltaLightness, count);
    run.saturationStep = stepOf(params.*role.deltaSaturation, count);
    run.hueVariance = params.*role.hueVariance;
    run.lightnessVariance = params.*role.lightnessVariance;
    run.saturationVariance = params.*role.saturationVariance;
    return run;
}

HslColor nextRunColor(ColorRun &run) {
    HslColor color = run.running;
    applyHslStep(run.running, run.hueStep, run.lightnessStep, run.saturationStep);
    applyHslVariance(color, run.hueVariance, run.lightnessVariance, run.saturationVariance, run.random);
    return color;
}

bool fillColorsMayDiffer(const PatternParams &params, const KeyframeTables &tables) {
    if (keyframed(params.colorMode)) return tables.fillLength != 1;
    return params.deltaHue != 0 || params.deltaLightness != 0 || params.deltaSaturation != 0 ||
           params.hueVariance != 0 || params.lightnessVariance != 0 || params.saturationVariance != 0;
}

InstanceColoring makeInstanceColoring(const ColorConverter &converter, const PatternParams &params, PixelDepth depth,
                                      A_long count, const KeyframeTables &tables, PF_Err &pending) {
    InstanceColoring coloring{};
    coloring.converter = converter;
    coloring.depth = depth;
    coloring.colorMode = params.colorMode;
    coloring.strokeMode = params.strokeMode;
    coloring.fillLength = tables.fillLength > 0 ? tables.fillLength : 1;
    coloring.strokeLength = tables.strokeLength > 0 ? tables.strokeLength : 1;
    coloring.fill = makeColorRun(converter, params, kFill, count, pending);
    coloring.stroke = makeColorRun(converter, params, kStroke, count, pending);
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
        storeColor(instance, kFill, coloring.fill.pixel, coloring.fill.parameter, coloring.depth);
        return fill;
    }
    setInstanceColor(instance, kFill, instanceColor(instances[i % coloring.fillLength], kFill));
    if (coloring.strokeMode == StrokeMode::Dependent) {
        rgbToHsl(coloring.converter, instance.fillColorF, fill, pending);
    }
    return fill;
}

void colorInstanceStroke(InstanceColoring &coloring, PatternInstance *instances, A_long i, HslColor fill,
                         PF_Err &pending) {
    PatternInstance &instance = instances[i];
    ColorRun &stroke = coloring.stroke;
    if (coloring.strokeMode == StrokeMode::Dependent) {
        applyHslStep(fill, coloring.strokeDeltaHue, coloring.strokeDeltaLightness, coloring.strokeDeltaSaturation);
        hslToRgb(coloring.converter, fill, stroke.pixel, pending);
        storeColor(instance, kStroke, stroke.pixel, stroke.parameter, coloring.depth);
    } else if (keyframed(coloring.strokeMode)) {
        setInstanceColor(instance, kStroke, instanceColor(instances[i % coloring.strokeLength], kStroke));
    } else {
        const HslColor color = nextRunColor(stroke);
        hslToRgb(coloring.converter, color, stroke.pixel, pending);
        storeColor(instance, kStroke, stroke.pixel, stroke.parameter, coloring.depth);
    }
}
