// Keyframe tables: rules, lengths, sample times and entry conversions.
#include "engine/keyframe_tables.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

#include "engine/instance_colors.h"
#include "raster/pixel_ops.h"

A_long keyframeRule(const PatternParams &params, KeyframedAttribute attribute) {
    auto ruleOf = [](A_long mode) { return keyframed(mode) ? mode : A_long(ValueMode::Normal); };
    switch (attribute) {
    case KeyframedAttribute::Radius:
        return ruleOf(params.radiusMode);
    case KeyframedAttribute::Shape:
        return params.shapeMode == ShapeMode::Keyframe ? A_long(ValueMode::Keyframe) : A_long(ValueMode::Normal);
    case KeyframedAttribute::Fill:
        return ruleOf(params.colorMode);
    case KeyframedAttribute::Stroke:
        return ruleOf(params.strokeMode);
    case KeyframedAttribute::Opacity:
        return ruleOf(params.opacityMode);
    }
    return ValueMode::Normal;
}

bool readsKeyframes(const PatternParams &params) {
    return std::any_of(std::begin(kKeyframedAttributes), std::end(kKeyframedAttributes),
                       [&](KeyframedAttribute a) { return keyframeRule(params, a) != ValueMode::Normal; });
}

int64_t keyframeCount(int64_t instances, bool lineNodes, int64_t nodeCount) {
    return lineNodes ? nodeCount : instances;
}

KeyframeTablePlan planKeyframeTable(A_long rule, A_long keyframes, A_long count) {
    KeyframeTablePlan plan;
    if (rule == ValueMode::Keyframe2) {
        if (keyframes < 2 || count < 2) return plan;
        plan.length = count;
        plan.sampled = true;
    } else {
        if (keyframes < 1 || count < 1) return plan;
        plan.length = std::min(keyframes, count);
    }
    plan.fallback = false;
    return plan;
}

A_Time sampleTime(A_Time first, A_Time last, A_long entry, A_long count) {
    const int64_t span = int64_t(last.value) - int64_t(first.value);
    // |entry * span| < 2^31 * 2^32: no overflow in 64 bits; the quotient truncates towards zero.
    const int64_t value = int64_t(first.value) + int64_t(entry) * span / (int64_t(count) - 1);
    return A_Time{static_cast<A_long>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)), first.scale};
}

namespace {

// Truncation towards zero of a value the host may give outside any range.
A_long truncatedSelector(double value) {
    if (!(value > INT32_MIN)) return INT32_MIN;  // NaN too: not a shape, drawn as a circle
    if (!(value < INT32_MAX)) return INT32_MAX;
    return static_cast<A_long>(value);
}

}  // namespace

void storeKeyframeValue(KeyframedAttribute attribute, const AEGP_StreamVal2 &value,
                        const KeyframeConversion &conversion, PatternInstance &entry) {
    switch (attribute) {
    case KeyframedAttribute::Radius:
        entry.radius = value.one_d * conversion.downsample;
        break;
    case KeyframedAttribute::Shape: {
        const A_long sides = truncatedSelector(value.one_d);
        entry.shapeSides = sides == 1 && !conversion.layerPrepared ? 2 : sides;
        break;
    }
    case KeyframedAttribute::Fill:
    case KeyframedAttribute::Stroke: {
        const AEGP_ColorVal &c = value.color;
        const PF_PixelFloat pixel{static_cast<float>(c.alphaF), static_cast<float>(c.redF),
                                  static_cast<float>(c.greenF), static_cast<float>(c.blueF)};
        const ColorRole &role = attribute == KeyframedAttribute::Fill ? kFill : kStroke;
        setInstanceColor(entry, role, PixelForms{convertFloatTo8(pixel), convertFloatTo16(pixel), pixel});
        break;
    }
    case KeyframedAttribute::Opacity:
        entry.opacity = value.one_d * 0.01;
        break;
    }
}

void storeFallbackEntry(KeyframedAttribute attribute, const PatternParams &params, PatternInstance &entry) {
    switch (attribute) {
    case KeyframedAttribute::Radius:
        entry.radius = params.firstRadius;
        break;
    case KeyframedAttribute::Shape:
        entry.shapeSides = 2;
        break;
    case KeyframedAttribute::Fill:
        setInstanceColor(entry, kFill, pixelForms(params.color));
        break;
    case KeyframedAttribute::Stroke:
        setInstanceColor(entry, kStroke, pixelForms(params.strokeColor));
        break;
    case KeyframedAttribute::Opacity:
        entry.opacity = params.opacity;
        break;
    }
}

A_long &tableLength(KeyframeTables &tables, KeyframedAttribute attribute) {
    switch (attribute) {
    case KeyframedAttribute::Radius:
        return tables.radiusLength;
    case KeyframedAttribute::Shape:
        return tables.shapeLength;
    case KeyframedAttribute::Fill:
        return tables.fillLength;
    case KeyframedAttribute::Stroke:
        return tables.strokeLength;
    case KeyframedAttribute::Opacity:
        break;
    }
    return tables.opacityLength;
}

double largestRadius(const PatternParams &params, const KeyframeTables &tables, const PatternInstance *instances) {
    if (!keyframed(params.radiusMode)) {
        return std::ceil(std::max(params.firstRadius, params.firstRadius + params.deltaRadius));
    }
    double largest = instances[0].radius;
    for (A_long e = 1; e < tables.radiusLength; ++e) largest = std::max(largest, instances[e].radius);
    return std::ceil(largest);
}
