// The per-instance attribute loop of every mode but "Line" with "Sub Mode"
// "Dependent".
#include "engine/instance_attributes.h"

#include <algorithm>

#include "engine/pattern_random.h"
#include "raster/fixed_point.h"

namespace {

// Whole pixels, within +-kLargestExtent.
A_long wholePixels(double v) {
    if (!(v > -kLargestExtent)) return static_cast<A_long>(-kLargestExtent);
    if (!(v < kLargestExtent)) return static_cast<A_long>(kLargestExtent);
    return static_cast<A_long>(v);
}

}  // namespace

A_long shapeHalfSize(A_long sides, double radius, double strokeThickness, const PF_ANSICallbacks &ansi) {
    if (sides == 1) return wholePixels(ansi.ceil(ansi.sqrt(2.0) * radius));
    if (sides <= 2) return 2 + wholePixels(ansi.floor(strokeThickness / 2 + radius));
    const double pi = 3.141592653589793;
    return wholePixels(ansi.floor((strokeThickness / 2) / ansi.cos(pi / sides) + radius)) + 2;
}

A_long lineHalfSize(A_long sides, double radius, const PF_ANSICallbacks &ansi) {
    if (sides == 1) return shapeHalfSize(1, radius, 0, ansi);
    return wholePixels(ansi.floor(radius)) + 2;
}

A_long instanceSides(const AttributeSettings &settings, const PatternInstance *instances, A_long k) {
    if (!settings.shapeKeyframed) return settings.frameSides;
    return instances[k % settings.tables.shapeLength].shapeSides;
}

A_long computeInstanceAttributes(const PatternParams &params, const AttributeSettings &settings,
                                 InstanceColoring &coloring, PatternInstance *instances, PF_Err &pending) {
    const A_long n = settings.count;
    const double steps = n > 1 ? n - 1 : 1;  // one instance takes no step
    PatternRandom radiusRandom = makePatternRandom(params.radiusSeed);
    PatternRandom opacityRandom = makePatternRandom(params.opacitySeed);
    double baseRadius = params.firstRadius;  // R(i)
    double baseOpacity = params.opacity;     // O(i)
    const double radiusStep = params.deltaRadius / steps;
    const double opacityStep = params.deltaOpacity / steps;
    A_long largest = 0;

    for (A_long i = 0; i < n; ++i) {
        PatternInstance &instance = instances[i];
        instance.weight = revealWeight(settings.window, i);

        if (params.radiusMode == ValueMode::Normal) {
            const double u = nextRandom(radiusRandom);
            instance.radius = baseRadius - u * (1 - params.minRadius) * baseRadius;
            baseRadius += radiusStep;
        } else {
            instance.radius = instances[i % settings.tables.radiusLength].radius;
        }

        const HslColor fill = colorInstanceFill(coloring, instances, i, pending);
        instance.angle = n > 1 ? params.phase + i * params.deltaPhase / (n - 1) : params.phase;
        colorInstanceStroke(coloring, instances, i, fill, pending);

        if (params.opacityMode == ValueMode::Normal) {
            const double u = nextRandom(opacityRandom);
            instance.opacity = std::min(baseOpacity - u * (1 - params.minOpacity) * baseOpacity, 1.0);
            baseOpacity += opacityStep;
        }

        // "Fill Over Stroke" grows every shape by a quarter of the stroke; the
        // circle's and polygon's extents hold it already, a stamp's does not.
        const A_long sides = instanceSides(settings, instances, i);
        const double radius = sides == 1 && params.strokeOver == StrokeOver::FillOverStroke
                                  ? instance.radius + params.strokeThickness / 4
                                  : instance.radius;
        largest = std::max(largest, shapeHalfSize(sides, radius, params.strokeThickness, *settings.ansi));
    }
    return largest;
}
