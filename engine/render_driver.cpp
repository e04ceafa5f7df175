// Smart render: one frame from the pre-render snapshot to the output pixels.
// Owns every resource of the frame and releases all of them before it returns.
#include "engine/render_driver.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/host_call_chain.h"
#include "engine/instance_attributes.h"
#include "engine/instance_colors.h"
#include "engine/line_nodes.h"
#include "engine/mask_measure.h"
#include "engine/order_table.h"
#include "engine/pattern_instance.h"
#include "engine/pattern_params.h"
#include "engine/placement.h"
#include "engine/reveal_weights.h"
#include "raster/pixel_format.h"
#include "raster/pixel_ops.h"
#include "raster/shape_rasteriser.h"

namespace {

constexpr const char *kLoadMessage = "Couldn't load suite.";
constexpr const char *kReleaseMessage = "Couldn't release suite.";
constexpr const char *kMemoryMessage = "Memory Error!";
// Input and output of different geometry.
constexpr PF_Err kGeometryMismatch = 255;
// Largest instance count of one frame. An instance costs about 130 bytes over
// all per-frame tables, so this keeps a frame near 140 MB and every table size
// far inside 32 bits; a larger count (a huge "Number" times many segments, a
// "Line" along an enormous mask) takes the memory-error path instead.
constexpr int64_t kMaxInstances = int64_t(1) << 20;

// A per-frame table in a host memory handle, locked while the render uses it.
struct HostTable {
    PF_Handle handle = nullptr;
    void *data = nullptr;
};

// Everything a render holds. The normal path releases through
// releaseRender(); when an exception leaves the render, the destructor
// releases what is still held.
struct RenderHold {
    const PF_InData *in_data = nullptr;
    PF_OutData *out_data = nullptr;
    const PF_HandleSuite1 *handleSuite = nullptr;
    PF_Handle preRender = nullptr;  // locked by the render
    const PF_WorldSuite2 *worldSuite = nullptr;
    const void *maskSuite = nullptr;
    const PF_ColorCallbacksFloatSuite1 *colorSuite = nullptr;
    const PF_FillMatteSuite2 *fillSuite = nullptr;
    const PF_PathQuerySuite1 *pathQuery = nullptr;
    PF_PathID pathId = 0;
    PF_PathOutlinePtr outline = nullptr;  // checked out, not yet checked in
    PlacementList placements;
    HostTable lineNodes, orderTable, instanceArray;
    bool released = false;

    ~RenderHold();
};

void checkInMask(RenderHold &hold, PF_Err &pending) {
    if (!hold.outline) return;
    chainRelease(pending, [&] {
        return hold.pathQuery->PF_CheckinPath(hold.in_data->effect_ref, hold.pathId, false, hold.outline);
    });
    hold.outline = nullptr;
}

void freeTable(const PF_InData *in_data, HostTable &table) {
    if (!table.handle) return;
    if (table.data) in_data->utils->host_unlock_handle(table.handle);
    in_data->utils->host_dispose_handle(table.handle);
    table = HostTable{};
}

template <class Suite>
void releaseScoped(RenderHold &hold, Suite &suite, const char *name, A_long version, PF_Err &pending) {
    if (!suite) return;
    chainRelease(pending,
                 [&] { return suiteScopeRelease(hold.in_data, hold.out_data, name, version, kReleaseMessage); });
    suite = nullptr;
}

// Releases everything in its fixed order; a release failure becomes the
// result only when nothing failed before.
PF_Err releaseRender(RenderHold &hold, PF_Err pending) {
    if (hold.released) return pending;
    hold.released = true;
    checkInMask(hold, pending);
    clearPlacementList(hold.placements);
    freeTable(hold.in_data, hold.lineNodes);
    freeTable(hold.in_data, hold.orderTable);
    freeTable(hold.in_data, hold.instanceArray);
    releaseScoped(hold, hold.maskSuite, kAEGPMaskSuite, kAEGPMaskSuiteVersion1, pending);
    releaseScoped(hold, hold.worldSuite, kPFWorldSuite, kPFWorldSuiteVersion2, pending);
    releaseScoped(hold, hold.colorSuite, kPFColorCallbacksFloatSuite, kPFColorCallbacksFloatSuiteVersion1, pending);
    releaseScoped(hold, hold.fillSuite, kPFFillMatteSuite, kPFFillMatteSuiteVersion2, pending);
    // The pre-render's own lock stays; the host frees the block after the frame.
    if (hold.preRender) hold.handleSuite->host_unlock_handle(hold.preRender);
    hold.preRender = nullptr;
    return pending;
}

RenderHold::~RenderHold() { releaseRender(*this, PF_Err_NONE); }

template <class Suite>
PF_Err acquireScoped(RenderHold &hold, const Suite *&suite, const char *name, A_long version) {
    const void *pointer = nullptr;
    const PF_Err err = suiteScopeAcquire(hold.in_data, hold.out_data, name, version, kLoadMessage, &pointer);
    suite = static_cast<const Suite *>(pointer);
    return err;
}

// Allocates and locks a table of `bytes`; false when the host has no memory.
bool allocateTable(const PF_InData *in_data, HostTable &table, int64_t bytes) {
    table.handle = in_data->utils->host_new_handle(static_cast<A_u_longlong>(bytes));
    if (!table.handle) return false;
    table.data = in_data->utils->host_lock_handle(table.handle);
    if (!table.data) return false;
    std::memset(table.data, 0, static_cast<size_t>(bytes));
    return true;
}

// A failed table allocation: the message for the user, everything released,
// PF_Err_INTERNAL_STRUCT_DAMAGED.
PF_Err memoryError(RenderHold &hold) {
    hold.in_data->utils->ansi.strcpy(hold.out_data->return_msg, kMemoryMessage);
    hold.out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    releaseRender(hold, PF_Err_NONE);
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
}

// Keyframe tables of the attributes whose mode asks for them. Until the
// keyframes are read, every table holds the entry of a stream without usable
// keyframes: the parameter's own value, length 1. The reader of the streams
// (and of the largest keyframed radius, for the layer buffers) goes here.
KeyframeTables prepareKeyframeTables(const PatternParams &params, PatternInstance *instances) {
    KeyframeTables tables;
    PatternInstance &entry = instances[0];
    if (params.radiusMode != kValueNormal) entry.radius = params.firstRadius;
    if (params.shapeMode == kShapeKeyframe) entry.shapeSides = 2;
    if (params.colorMode != kColorNormal) {
        entry.fillColor8 = params.color;
        entry.fillColor16 = convert8To16(params.color);
        entry.fillColorF = convert8ToFloat(params.color);
    }
    if (params.strokeMode == kColorKeyframe || params.strokeMode == kColorKeyframe2) {
        entry.strokeColor8 = params.strokeColor;
        entry.strokeColor16 = convert8To16(params.strokeColor);
        entry.strokeColorF = convert8ToFloat(params.strokeColor);
    }
    if (params.opacityMode != kValueNormal) entry.opacity = params.opacity;
    return tables;
}

// Shape selector of the frame. Layer stamping is not prepared yet, so "Layer"
// draws circles, as it does when the "Layer" parameter has no pixels.
A_long frameShapeSides(const PatternParams &params) {
    switch (params.shapeMode) {
    case kShapePolygon:
        return params.side;
    case kShapeCircle:
    case kShapeLayer:
    default:
        return 2;
    }
}

ShapePoint shapePointFor(const PlacementPoint &point, const PatternInstance *instances, const int32_t *orderIndex,
                         const AttributeSettings &settings, const PatternParams &params, A_long k) {
    const PatternInstance &instance = instances[k];
    ShapePoint shape{};
    shape.x = point.x;
    shape.y = point.y;
    shape.sides = instanceSides(settings, instances, k);
    if (shape.sides < 2) shape.sides = 2;  // no layer stamp prepared: a circle
    shape.radius = instance.radius;
    shape.weight = instances[orderIndex[k]].weight;
    shape.angle = instance.angle;
    shape.opacity =
        params.opacityMode == kValueNormal ? instance.opacity : instances[k % settings.tables.opacityLength].opacity;
    shape.fill8 = instance.fillColor8;
    shape.fill16 = instance.fillColor16;
    shape.fillF = instance.fillColorF;
    shape.stroke8 = instance.strokeColor8;
    shape.stroke16 = instance.strokeColor16;
    shape.strokeF = instance.strokeColorF;
    return shape;
}

PF_Err renderFrame(RenderHold &hold, PF_SmartRenderExtra *extra, SuiteHandler &suites) {
    const PF_InData *in_data = hold.in_data;
    PF_ProgPtr ref = in_data->effect_ref;
    PF_UtilCallbacks *utils = in_data->utils;

    // The snapshot of the frame's parameters.
    hold.handleSuite = handleSuite(suites);
    PF_Handle preRender = extra && extra->input ? static_cast<PF_Handle>(extra->input->pre_render_data) : nullptr;
    PatternParams *params =
        preRender ? static_cast<PatternParams *>(hold.handleSuite->host_lock_handle(preRender)) : nullptr;
    if (!params) return PF_Err_BAD_CALLBACK_PARAM;
    hold.preRender = preRender;

    // Input, output and the depth they are in.
    PF_Err pending = PF_Err_NONE;
    PF_EffectWorld *input = nullptr;
    PF_EffectWorld *output = nullptr;
    chainHostCall(pending, [&] { return extra->cb->checkout_layer_pixels(ref, 0, &input); });
    chainHostCall(pending, [&] { return extra->cb->checkout_output(ref, &output); });
    PF_PixelFormat format = PF_PixelFormat_INVALID;
    if (input && output) {
        chainHostCall(pending,
                      [&] { return acquireScoped(hold, hold.worldSuite, kPFWorldSuite, kPFWorldSuiteVersion2); });
        chainHostCall(pending, [&] { return hold.worldSuite->PF_GetPixelFormat(input, &format); });
    }
    PixelDepth depth = Depth8;
    if (!pixelDepthFromFormat(format, depth)) {
        releaseRender(hold, pending);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const A_long inputStride = rowPixels(input->rowbytes, depth);
    const A_long outputStride = rowPixels(output->rowbytes, depth);
    if (inputStride < input->width || outputStride < input->width || input->height != output->height) {
        releaseRender(hold, pending);
        return kGeometryMismatch;
    }

    // The frame starts as the input or as transparent black.
    if (params->onOriginal) {
        const PF_Err err = utils->copy(ref, input, output, nullptr, nullptr);
        if (err != PF_Err_NONE) {
            releaseRender(hold, err);
            return err;
        }
    } else {
        const PF_Pixel transparent = {0, 0, 0, 0};
        utils->fill(ref, &transparent, nullptr, output);  // the result does not matter
    }
    chainHostCall(pending, [&] { return acquireScoped(hold, hold.maskSuite, kAEGPMaskSuite, kAEGPMaskSuiteVersion1); });
    if (pending != PF_Err_NONE || params->path == 0 || (params->mode == kModeNumber && params->number == 0)) {
        return pending;
    }

    // The mask, measured.
    hold.pathQuery = pathQuerySuite(suites);
    PF_PathOutlinePtr outline = nullptr;
    chainHostCall(pending, [&] {
        return hold.pathQuery->PF_CheckoutPath(ref, params->path, in_data->current_time, in_data->time_step,
                                               in_data->time_scale, &outline);
    });
    if (!outline) return pending;
    hold.pathId = params->path;
    hold.outline = outline;
    const PathAccess path{pathDataSuite(suites), ref, outline, &utils->ansi};
    const MaskFacts mask = measureMask(path, pending);
    if (pending != PF_Err_NONE) return pending;

    // "Line": one instance per pixel of length; a mask of length 0 gives one
    // "Number" point. Line instances have no stroke.
    const bool lineRender = params->mode == kModeLine;
    bool lineNodes = false;
    int64_t lineCount = 0;
    if (lineRender) {
        if (mask.total == 0) {
            params->mode = kModeNumber;
            params->number = 1;
        } else {
            const double length = utils->ansi.ceil(mask.total);
            if (!(length <= static_cast<double>(kMaxInstances))) return memoryError(hold);
            lineCount = static_cast<int64_t>(length);
            lineNodes = params->subMode == kSubModeDependent;
        }
        params->strokeThickness = 0;
    }
    const A_long number = std::max<A_long>(params->number, 0);
    int64_t nodeCount = 0;
    if (lineNodes) {
        nodeCount = lineNodeCount(number, mask.segments);
        if (nodeCount > kMaxInstances) return memoryError(hold);
        if (!allocateTable(in_data, hold.lineNodes, nodeCount * int64_t(sizeof(LineNode)))) return memoryError(hold);
        fillLineNodePositions(static_cast<LineNode *>(hold.lineNodes.data), number, mask);
    }

    // Instance count, and the records the array needs (the keyframe tables of
    // "Line"/"Dependent" are sized by the nodes).
    int64_t count = 0;
    int64_t records = 0;
    if (params->mode == kModeVertex) {
        count = (int64_t(number) + 1) * mask.segments + (mask.open ? 1 : 0);
        records = count;
    } else if (params->mode == kModeLine) {
        count = lineCount;
        records = std::max(lineCount, nodeCount);
    } else {
        count = params->number;
        records = count;
    }
    if (count <= 0) return releaseRender(hold, pending);
    if (records > kMaxInstances) return memoryError(hold);
    if (!allocateTable(in_data, hold.instanceArray, records * int64_t(sizeof(PatternInstance))))
        return memoryError(hold);
    PatternInstance *instances = static_cast<PatternInstance *>(hold.instanceArray.data);
    const A_long n = static_cast<A_long>(count);

    AttributeSettings settings;
    settings.count = n;
    settings.tables = prepareKeyframeTables(*params, instances);
    settings.ansi = &utils->ansi;

    if (!allocateTable(in_data, hold.orderTable, count * int64_t(sizeof(int32_t)))) return memoryError(hold);
    int32_t *orderIndex = static_cast<int32_t *>(hold.orderTable.data);
    buildOrderIndex(orderIndex, n, params->order, params->orderSeed);

    settings.frameSides = frameShapeSides(*params);
    settings.shapeKeyframed = params->shapeMode == kShapeKeyframe;

    chainHostCall(pending, [&] {
        return acquireScoped(hold, hold.colorSuite, kPFColorCallbacksFloatSuite, kPFColorCallbacksFloatSuiteVersion1);
    });
    const double start = std::min(params->start, params->end);
    const double end = std::max(params->start, params->end);
    settings.window = makeRevealWindow(n, start, end, params->delay);

    // Attributes, and the largest drawing extent over them.
    const ColorConverter converter{hold.colorSuite, ref};
    A_long largestHalfSize = 0;
    if (lineNodes) {
        LineNode *nodes = static_cast<LineNode *>(hold.lineNodes.data);
        const A_long nodes32 = static_cast<A_long>(nodeCount);
        ColorRun fill = makeColorRun(converter, params->color, params->colorSeed, pending);
        computeLineNodeAttributes(*params, settings, mask.open, fill, instances, nodes, nodes32);
        largestHalfSize =
            interpolateLineInstances(*params, settings, nodes, nodes32, converter, depth, fill, instances, pending);
        // Every instance now holds its own interpolated shape and opacity.
        settings.tables.shapeLength = n;
        settings.tables.opacityLength = n;
    } else {
        InstanceColoring coloring = makeInstanceColoring(converter, *params, depth, n, settings.tables, pending);
        largestHalfSize = computeInstanceAttributes(*params, settings, coloring, instances, pending);
    }
    // Side of the scratch stamp of the blend modes other than "Normal".
    const A_long stampBound = 2 * largestHalfSize + 25;
    (void)stampBound;

    // Placement, then the mask goes back.
    PlacementPlan plan;
    plan.count = n;
    plan.dependOnPath = params->dependOnPath != 0;
    plan.vertexOffset = params->vertexOffset;
    if (params->mode == kModeVertex) {
        plan.kind = PlacementKind::Vertex;
        plan.number = number;
        plan.startSegment = true;
    } else {
        plan.kind = PlacementKind::Even;
        plan.offset = params->offset;
        plan.radiusSpacing = params->mode == kModeNumber && params->subMode == kSubModeDependent;
        plan.startSegment = lineNodes;
    }
    placeInstances(path, mask, plan, instances, hold.placements, pending);
    checkInMask(hold, pending);

    // Drawing. Every point goes over the output with the plug-in's own over
    // operation; the scratch stamp and the host's transfer modes of the other
    // blend modes come in here.
    if (pending == PF_Err_NONE) {
        chainHostCall(
            pending, [&] { return acquireScoped(hold, hold.fillSuite, kPFFillMatteSuite, kPFFillMatteSuiteVersion2); });
    }
    if (pending == PF_Err_NONE) {
        const RasterTarget target{output->data,     outputStride,     output->width, output->height,
                                  output->origin_x, output->origin_y, depth};
        RasterSettings raster{};
        raster.strokeThickness = params->strokeThickness;
        raster.fillOverStroke = params->strokeOver == 2;
        raster.lineMode = lineRender;
        raster.pathOpen = mask.open;
        const A_long points = std::min(hold.placements.count, n);
        raster.pointCount = points;
        const PlacementPoint *point = hold.placements.head.next;
        for (A_long k = 0; k < points && pending == PF_Err_NONE; ++k, point = point->next) {
            const ShapePoint shape = shapePointFor(*point, instances, orderIndex, settings, *params, k);
            if (drawShapePoint(target, raster, shape, k)) {
                chainHostCall(pending, [&] { return PF_PROGRESS(in_data, k + 1, points + 1); });
            }
        }
        chainHostCall(pending, [&] { return PF_PROGRESS(in_data, points + 1, points + 1); });
    }
    return pending;
}

}  // namespace

PF_Err smartRender(PF_InData *in_data, PF_OutData *out_data, PF_SmartRenderExtra *extra, SuiteHandler &suites) {
    try {
        RenderHold hold;
        hold.in_data = in_data;
        hold.out_data = out_data;
        const PF_Err err = renderFrame(hold, extra, suites);
        return releaseRender(hold, err);
    } catch (const std::bad_alloc &) {
        return PF_Err_OUT_OF_MEMORY;
    }
}
