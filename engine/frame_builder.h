// The pattern of one frame, built from the parameter snapshot and the mask:
// the instance count, every instance's attributes, the points placed in
// drawing order, and each point's values for drawing. The engine reaches the
// host only through the mask's PathAccess, the ColorConverter and the host's
// maths; the host binding holds every resource and allocates the tables.
#pragma once

#include <cstdint>

#include "engine/instance_attributes.h"
#include "engine/instance_colors.h"
#include "engine/line_nodes.h"
#include "engine/mask_measure.h"
#include "engine/pattern_instance.h"
#include "engine/pattern_params.h"
#include "engine/placement.h"
#include "engine/point_setup.h"
#include "hostapi/hostapi.h"
#include "raster/pixel_format.h"

// Largest instance count of one frame. An instance costs about 130 bytes over
// all per-frame tables, so this keeps a frame near 140 MB and every table size
// far inside 32 bits; a larger count (a huge "Number" times many segments, a
// "Line" along an enormous mask) takes the memory-error path instead.
constexpr int64_t kMaxInstances = int64_t(1) << 20;

// The counts of a frame, decided from the mask before any table exists.
struct FramePlan {
    MaskFacts mask;
    bool softEdge = false;   // "Mode" "Line" as chosen: soft edges, also after the fall-back to one point
    bool lineNodes = false;  // "Line" with "Sub Mode" "Dependent": attributes set at nodes
    int64_t nodeCount = 0;   // LineNode records (lineNodes only)
    int64_t count = 0;       // instances; none: nothing to draw
    int64_t records = 0;     // records of the instance array; "Line"/"Dependent" sizes its tables by the nodes
    bool tooLarge = false;   // beyond kMaxInstances: the memory-error path, before anything is allocated
};

// Measures the mask (host calls chained on `pending`) and decides the counts.
// A "Line" render has no stroke; on a mask of length 0 it becomes a "Number"
// render of one point, stroke and opacity as a "Number" point, only the soft
// edge kept. Both are written back into `params` for the frame.
FramePlan planFrame(PatternParams &params, const PathAccess &path, PF_Err &pending);

// The per-frame tables at the plan's sizes, zeroed.
struct FrameTables {
    PatternInstance *instances;  // plan.records
    int32_t *orderIndex;         // plan.count
    LineNode *lineNodes;         // plan.nodeCount; null unless plan.lineNodes
};

// What drawing reads of a built frame besides the tables.
struct Frame {
    A_long count = 0;            // instances
    AttributeSettings settings;  // keyframe-table lengths and the frame's shape
    A_long largestHalfSize = 0;  // over all instances, before the weight, with the full stroke
};

// Fills the tables: the order and every instance's attributes, the
// keyframe-driven ones from the tables already read into the instance array
// at the `keyframes` lengths; then places the points into `placements`.
// "Layer" stamps only with a prepared layer. Host calls (colour conversions,
// path evaluation) are chained on `pending`.
Frame buildFrame(PatternParams &params, const FramePlan &plan, const FrameTables &tables,
                 const KeyframeTables &keyframes, bool layerPrepared, const ColorConverter &converter,
                 const PathAccess &path, PixelDepth depth, PlacementList &placements, PF_Err &pending);

// The settings every point of the frame is set up with, for an output of
// `width` x `height` pixels whose pixel (0, 0) is at (originX, originY) in
// layer coordinates, stamping a prepared layer of `layerSize` pixels (0: none).
PointSettings pointSettings(const PatternParams &params, const FramePlan &plan, A_long points, A_long width,
                            A_long height, A_long originX, A_long originY, double layerSize);

// The values of point k: its instance's radius, shape, angle, colours and
// opacity, and the weight of instance orderIndex[k].
PointValues pointValues(const PatternParams &params, const Frame &frame, const FrameTables &tables,
                        const PlacementPoint &point, A_long k);
