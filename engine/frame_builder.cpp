// Building one frame's pattern: counts, keyframe-table entries, order,
// attributes, placement, and the values of each point for drawing.
#include "engine/frame_builder.h"

#include <algorithm>

#include "engine/order_table.h"
#include "engine/reveal_weights.h"
#include "raster/pixel_ops.h"

FramePlan planFrame(PatternParams &params, const PathAccess &path, PF_Err &pending) {
    FramePlan plan;
    plan.mask = measureMask(path, pending);
    if (pending != PF_Err_NONE) return plan;
    const MaskFacts &mask = plan.mask;

    // "Line": one instance per pixel of length, without stroke; a mask of
    // length 0 gives one "Number" point.
    plan.softEdge = params.mode == Mode::Line;
    int64_t lineCount = 0;
    if (plan.softEdge) {
        if (mask.total == 0) {
            params.mode = Mode::Number;
            params.number = 1;
        } else {
            const double length = path.ansi->ceil(mask.total);
            if (!(length <= static_cast<double>(kMaxInstances))) {
                plan.tooLarge = true;
                return plan;
            }
            lineCount = static_cast<int64_t>(length);
            plan.lineNodes = params.subMode == SubMode::Dependent;
            params.strokeThickness = 0;
        }
    }
    const A_long number = std::max<A_long>(params.number, 0);
    if (plan.lineNodes) plan.nodeCount = lineNodeCount(number, mask.segments);

    if (params.mode == Mode::Vertex) {
        plan.count = (int64_t(number) + 1) * mask.segments + (mask.open ? 1 : 0);
        plan.records = plan.count;
    } else if (params.mode == Mode::Line) {
        plan.count = lineCount;
        plan.records = std::max(lineCount, plan.nodeCount);
    } else {
        plan.count = params.number;
        plan.records = plan.count;
    }
    plan.tooLarge = plan.nodeCount > kMaxInstances || plan.records > kMaxInstances;
    return plan;
}

namespace {

// Shape selector of the frame: "Layer" draws circles when the "Layer"
// parameter has no pixels.
A_long frameShapeSides(const PatternParams &params, bool layerPrepared) {
    if (params.shapeMode == ShapeMode::Polygon) return params.side;
    return params.shapeMode == ShapeMode::Layer && layerPrepared ? 1 : 2;
}

PlacementPlan placementPlan(const PatternParams &params, const FramePlan &plan, A_long count) {
    PlacementPlan placement;
    placement.count = count;
    placement.dependOnPath = params.dependOnPath != 0;
    placement.vertexOffset = params.vertexOffset;
    if (params.mode == Mode::Vertex) {
        placement.kind = PlacementKind::Vertex;
        placement.number = std::max<A_long>(params.number, 0);
        placement.startSegment = true;
    } else {
        placement.kind = PlacementKind::Even;
        placement.offset = params.offset;
        placement.radiusSpacing = params.mode == Mode::Number && params.subMode == SubMode::Dependent;
        placement.startSegment = plan.lineNodes;
    }
    return placement;
}

}  // namespace

Frame buildFrame(PatternParams &params, const FramePlan &plan, const FrameTables &tables,
                 const KeyframeTables &keyframes, bool layerPrepared, const ColorConverter &converter,
                 const PathAccess &path, PixelDepth depth, PlacementList &placements, PF_Err &pending) {
    Frame frame;
    const A_long n = static_cast<A_long>(plan.count);
    frame.count = n;
    PatternInstance *instances = tables.instances;
    AttributeSettings &settings = frame.settings;
    settings.count = n;
    settings.tables = keyframes;
    settings.ansi = path.ansi;
    settings.frameSides = frameShapeSides(params, layerPrepared);
    settings.shapeKeyframed = params.shapeMode == ShapeMode::Keyframe;

    buildOrderIndex(tables.orderIndex, n, params.order, params.orderSeed);
    const double start = std::min(params.start, params.end);
    const double end = std::max(params.start, params.end);
    settings.window = makeRevealWindow(n, start, end, params.delay);

    // Attributes, and the largest drawing extent over them.
    if (plan.lineNodes) {
        LineNode *nodes = tables.lineNodes;
        const A_long nodeCount = static_cast<A_long>(plan.nodeCount);
        fillLineNodePositions(nodes, std::max<A_long>(params.number, 0), plan.mask);
        ColorRun fill = makeColorRun(converter, params, kFill, n, pending);
        computeLineNodeAttributes(params, settings, plan.mask.open, fill, instances, nodes, nodeCount);
        frame.largestHalfSize =
            interpolateLineInstances(params, settings, nodes, nodeCount, converter, depth, fill, instances, pending);
        // Every instance now holds its own interpolated shape and opacity.
        settings.tables.shapeLength = n;
        settings.tables.opacityLength = n;
    } else {
        InstanceColoring coloring = makeInstanceColoring(converter, params, depth, n, settings.tables, pending);
        frame.largestHalfSize = computeInstanceAttributes(params, settings, coloring, instances, pending);
    }

    placeInstances(path, plan.mask, placementPlan(params, plan, n), instances, placements, pending);
    return frame;
}

PointSettings pointSettings(const PatternParams &params, const FramePlan &plan, A_long points, A_long width,
                            A_long height, A_long originX, A_long originY, double layerSize) {
    return PointSettings{params.strokeThickness,
                         params.strokeOver == StrokeOver::FillOverStroke,
                         params.mode == Mode::Line,
                         plan.softEdge,
                         plan.mask.open,
                         points,
                         originX,
                         originY,
                         width,
                         height,
                         layerSize,
                         params.dependOnPath != 0};
}

PointValues pointValues(const PatternParams &params, const Frame &frame, const FrameTables &tables,
                        const PlacementPoint &point, A_long k) {
    const PatternInstance *instances = tables.instances;
    const PatternInstance &instance = instances[k];
    PointValues values{};
    values.x = point.x;
    values.y = point.y;
    values.sides = instanceSides(frame.settings, instances, k);
    values.radius = instance.radius;
    values.weight = instances[tables.orderIndex[k]].weight;
    values.angle = instance.angle;
    values.opacity = params.opacityMode == ValueMode::Normal
                         ? instance.opacity
                         : instances[k % frame.settings.tables.opacityLength].opacity;
    values.fill = instanceColor(instance, kFill);
    values.stroke = instanceColor(instance, kStroke);
    return values;
}
