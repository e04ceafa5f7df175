// Line nodes: positions, node attributes, the "Line Loop" closure and the
// interpolation per pixel of length.
#include "engine/line_nodes.h"

#include <algorithm>
#include <cmath>

#include "engine/pattern_random.h"
#include "raster/fixed_point.h"
#include "raster/pixel_ops.h"

int64_t lineNodeCount(A_long number, A_long segments) { return (static_cast<int64_t>(number) + 1) * segments + 1; }

void fillLineNodePositions(LineNode *nodes, A_long number, const MaskFacts &mask) {
    const A_long perSegment = number + 1;
    double start = 0;  // C(s)
    for (A_long s = 0; s < mask.segments; ++s) {
        const double length = mask.lengths[static_cast<size_t>(s)];
        for (A_long k = 0; k < perSegment; ++k) {
            nodes[s * perSegment + k].position = start + k * length / perSegment;
        }
        start += length;
    }
    nodes[perSegment * mask.segments].position = mask.total;
}

namespace {

double reduceDegrees(double hue) {
    double h = std::fmod(hue, 360.0);
    if (h < 0) h += 360.0;
    return h;
}

// The last node of a looped line takes the first node's values; its hue moves
// from its neighbour towards the first hue by less than one turn.
void closeLineLoop(LineNode *nodes, A_long nodeCount) {
    LineNode &last = nodes[nodeCount - 1];
    const LineNode &first = nodes[0];
    const double position = last.position;
    const double previousHue = nodeCount >= 2 ? nodes[nodeCount - 2].hue : first.hue;
    last = first;
    last.position = position;
    if (nodeCount < 2) return;
    const double p = reduceDegrees(previousHue);
    const double q = reduceDegrees(first.hue);
    const double direct = q - p;
    const double around = q - p + 360;
    last.hue = previousHue + (std::fabs(direct) < std::fabs(around) ? direct : around);
}

double lerp(double a, double b, double t) { return a + (b - a) * t; }

// Single-precision difference, double product and sum, rounded to single.
float lerpChannel(float a, float b, double t) {
    const float difference = b - a;
    return static_cast<float>(a + difference * t);
}

}  // namespace

void computeLineNodeAttributes(const PatternParams &params, const AttributeSettings &settings, bool maskOpen,
                               ColorRun &fill, const PatternInstance *instances, LineNode *nodes, A_long nodeCount) {
    // The last node of a closed mask sits where the first one does.
    const A_long divisor = maskOpen ? nodeCount - 1 : nodeCount - 2;
    const double steps = divisor > 0 ? divisor : 0;
    auto stepOf = [&](double delta) { return steps > 0 ? delta / steps : 0.0; };
    const double radiusStep = stepOf(params.deltaRadius);
    const double phaseStep = stepOf(params.deltaPhase);
    const double opacityStep = stepOf(params.deltaOpacity);
    const double hueStep = stepOf(params.deltaHue * 360);
    const double lightnessStep = stepOf(params.deltaLightness);
    const double saturationStep = stepOf(params.deltaSaturation);
    const double baseHue = fromFixed16(fill.running.hue);
    const double baseLightness = fromFixed16(fill.running.lightness);
    const double baseSaturation = fromFixed16(fill.running.saturation);
    PatternRandom radiusRandom = makePatternRandom(params.radiusSeed);
    PatternRandom opacityRandom = makePatternRandom(params.opacitySeed);
    double baseRadius = params.firstRadius;
    double baseOpacity = params.opacity;
    const KeyframeTables &tables = settings.tables;

    for (A_long m = 0; m < nodeCount; ++m) {
        LineNode &node = nodes[m];
        node.angle = params.phase + m * phaseStep;
        node.shapeSides = settings.shapeKeyframed ? instances[m % tables.shapeLength].shapeSides : settings.frameSides;
        if (params.radiusMode == ValueMode::Normal) {
            const double u = nextRandom(radiusRandom);
            node.radius = baseRadius - u * (1 - params.minRadius) * baseRadius;
            baseRadius += radiusStep;
        } else {
            node.radius = instances[m % tables.radiusLength].radius;
        }
        if (params.colorMode == ValueMode::Normal) {
            const double r1 = nextRandom(fill.random);
            const double r2 = nextRandom(fill.random);
            const double r3 = nextRandom(fill.random);
            node.hue = baseHue + m * hueStep + (r1 * 2 - 1) * params.hueVariance * 360;
            node.lightness = baseLightness + m * lightnessStep + (r2 * 2 - 1) * params.lightnessVariance;
            node.saturation = baseSaturation + m * saturationStep + (r3 * 2 - 1) * params.saturationVariance;
            node.red = node.green = node.blue = 0;
        } else {
            const PF_PixelFloat &entry = instances[m % tables.fillLength].fillColorF;
            node.red = entry.red;
            node.green = entry.green;
            node.blue = entry.blue;
            node.hue = node.lightness = node.saturation = 0;
        }
        if (params.opacityMode == ValueMode::Normal) {
            const double u = nextRandom(opacityRandom);
            node.opacity = std::min(baseOpacity - u * (1 - params.minOpacity) * baseOpacity, 1.0);
            baseOpacity += opacityStep;
        } else {
            node.opacity = std::min(instances[m % tables.opacityLength].opacity, 1.0);
        }
    }
    if (!maskOpen && params.lineLoop && nodeCount > 0) closeLineLoop(nodes, nodeCount);
}

A_long interpolateLineInstances(const PatternParams &params, const AttributeSettings &settings, const LineNode *nodes,
                                A_long nodeCount, const ColorConverter &converter, PixelDepth depth, ColorRun &fill,
                                PatternInstance *instances, PF_Err &pending) {
    A_long largest = 0;
    A_long b = 0;  // last node whose ceil(position) is at most j
    for (A_long j = 0; j < settings.count; ++j) {
        while (b + 1 < nodeCount && settings.ansi->ceil(nodes[b + 1].position) <= j) ++b;
        const LineNode &from = nodes[b];
        const LineNode &to = nodes[std::min(b + 1, nodeCount - 1)];
        const double span = to.position - from.position;
        double t = span != 0 ? (j - from.position) / span : 0.0;
        if (t > 1) t = 1;

        PatternInstance &instance = instances[j];
        instance.weight = revealWeight(settings.window, j);
        instance.shapeSides = from.shapeSides;
        instance.radius = lerp(from.radius, to.radius, t);
        instance.angle = lerp(from.angle, to.angle, t);
        instance.opacity = lerp(from.opacity, to.opacity, t);
        if (params.colorMode == ValueMode::Normal) {
            const HslColor color = makeHslColor(lerp(from.hue, to.hue, t), lerp(from.lightness, to.lightness, t),
                                                lerp(from.saturation, to.saturation, t));
            hslToRgb(converter, color, fill.pixel, pending);
            storeColor(instance, kFill, fill.pixel, params.color, depth);
        } else {
            PF_PixelFloat pixel;
            pixel.alpha = convert8ToFloat(params.color).alpha;
            pixel.red = lerpChannel(from.red, to.red, t);
            pixel.green = lerpChannel(from.green, to.green, t);
            pixel.blue = lerpChannel(from.blue, to.blue, t);
            storeColor(instance, kFill, pixel, params.color, depth);
        }
        const A_long sides = settings.shapeKeyframed ? instance.shapeSides : settings.frameSides;
        largest = std::max(largest, lineHalfSize(sides, instance.radius, *settings.ansi));
    }
    return largest;
}
