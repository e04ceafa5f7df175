// Radius, angle, opacity, reveal weight and colours of every instance, and the
// largest drawing extent over them.
#pragma once

#include "engine/instance_colors.h"
#include "engine/pattern_instance.h"
#include "engine/pattern_params.h"
#include "engine/reveal_weights.h"
#include "hostapi/hostapi.h"

// What stays the same for every instance of a render.
struct AttributeSettings {
    A_long count = 0;                        // instances
    RevealWindow window{};                   // Start/End/Delay, Start and End already in order
    KeyframeTables tables;                   // lengths of the keyframe tables in the instance array
    A_long frameSides = 2;                   // shape selector of the frame: 1 layer, 2 circle, n polygon
    bool shapeKeyframed = false;             // each instance's selector from the shape table
    const PF_ANSICallbacks *ansi = nullptr;  // floor, ceil, cos, sqrt of the host
};

// Drawing extent of one shape in whole pixels, before the reveal weight and
// with the full "Stroke Thickness".
A_long shapeHalfSize(A_long sides, double radius, double strokeThickness, const PF_ANSICallbacks &ansi);

// Extent of a "Line" instance: the stroke is off and the edge soft.
A_long lineHalfSize(A_long sides, double radius, const PF_ANSICallbacks &ansi);

// The shape selector instance (or point) k draws with.
A_long instanceSides(const AttributeSettings &settings, const PatternInstance *instances, A_long k);

// Fills weight, radius, colours, angle and opacity of instances 0..count-1 in
// order, drawing from the radius and opacity generators seeded here and from
// the colour runs of `coloring`. Returns the largest extent (at least 0).
A_long computeInstanceAttributes(const PatternParams &params, const AttributeSettings &settings,
                                 InstanceColoring &coloring, PatternInstance *instances, PF_Err &pending);
