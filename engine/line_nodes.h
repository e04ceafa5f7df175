// "Line" mode with "Sub Mode" "Dependent": attributes are set at nodes spaced
// along the mask and interpolated for the one-per-pixel instances between them.
#pragma once

#include <cstdint>

#include "engine/instance_attributes.h"
#include "engine/instance_colors.h"
#include "engine/mask_measure.h"
#include "engine/pattern_instance.h"
#include "engine/pattern_params.h"
#include "hostapi/hostapi.h"

struct LineNode {
    A_long shapeSides;  // "Shape Mode" "Keyframe" only
    double position;    // arc length, pixels from the start of segment 0
    double radius;
    double angle;            // radians
    double opacity;          // at most 1
    float red, green, blue;  // 0..1, keyframed "Color Mode"
    double hue;              // degrees, not wrapped
    double lightness;        // not clamped
    double saturation;       // not clamped
};

// (Number + 1) nodes per segment plus one at the end, in 64 bits.
int64_t lineNodeCount(A_long number, A_long segments);

// Node s × (Number + 1) + k at C(s) + k × len(s) / (Number + 1); the last node at
// the total length.
void fillLineNodePositions(LineNode *nodes, A_long number, const MaskFacts &mask);

// Attributes of `nodeCount` nodes. Keyframe tables are read from `instances`
// (their entries live there); colours start from `fill`, whose generator gives
// the variance draws. With "Line Loop" on a closed mask the last node repeats
// the first.
void computeLineNodeAttributes(const PatternParams &params, const AttributeSettings &settings, bool maskOpen,
                               ColorRun &fill, const PatternInstance *instances, LineNode *nodes, A_long nodeCount);

// Instance j of `settings.count` sits at arc length j and takes the values
// interpolated between its two nodes. Returns the largest extent (at least 0).
A_long interpolateLineInstances(const PatternParams &params, const AttributeSettings &settings, const LineNode *nodes,
                                A_long nodeCount, const ColorConverter &converter, PixelDepth depth, ColorRun &fill,
                                PatternInstance *instances, PF_Err &pending);
