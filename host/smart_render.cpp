// Smart render: one frame from the pre-render snapshot to the output pixels.
// Every resource of the frame has a scope owner, so every way out releases it.
#include "host/smart_render.h"

#include <algorithm>
#include <new>
#include <optional>

#include "engine/frame_builder.h"
#include "host/host_owners.h"
#include "host/keyframe_streams.h"
#include "host/layer_stamp.h"
#include "host/suite_handler.h"
#include "raster/blend_modes.h"
#include "raster/pixel_format.h"
#include "raster/shape_rasteriser.h"

namespace {

// Input and output of different geometry.
constexpr PF_Err kGeometryMismatch = 255;

// Everything a render holds. Members go in reverse order: the stamped
// layer's worlds first, the mask back, then the scratch worlds, the placement
// list and the tables (line nodes, order, instances), the frame-long suites
// in the order they were taken, and last the snapshot's lock (the host frees
// the snapshot after the frame).
struct RenderHold {
    RenderHold(HostCommand &command, const HandleFunctions &snapshotHandles, const HandleFunctions &tableHandles)
        : snapshot(snapshotHandles),
          fillSuite(command, kPFFillMatteSuite, kPFFillMatteSuiteVersion2),
          colorSuite(command, kPFColorCallbacksFloatSuite, kPFColorCallbacksFloatSuiteVersion1),
          worldSuite(command, kPFWorldSuite, kPFWorldSuiteVersion2),
          maskSuite(command, kAEGPMaskSuite, kAEGPMaskSuiteVersion1),
          instances(tableHandles),
          orderTable(tableHandles),
          lineNodes(tableHandles),
          accumulation(command),
          stamp(command),
          mask(command),
          layer(command) {
        snapshot.owned = false;
    }

    HostHandleOwner snapshot;
    ScopedSuite fillSuite;
    ScopedSuite colorSuite;
    ScopedSuite worldSuite;
    ScopedSuite maskSuite;  // held for the frame; nothing is called through it
    HostHandleOwner instances;
    HostHandleOwner orderTable;
    HostHandleOwner lineNodes;
    PlacementList placements;
    WorldOwner accumulation;
    WorldOwner stamp;
    PathCheckout mask;
    LayerStamp layer;  // checked back in at once; its worlds go first
};

// A failed table allocation: "Memory Error!" for the user and 512, whatever
// the releases answer.
PF_Err memoryError(const HostCommand &command) {
    command.in_data->utils->ansi.strcpy(command.out_data->return_msg, "Memory Error!");
    command.out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
}

template <class Record>
Record *table(HostHandleOwner &owner, int64_t count) {
    return static_cast<Record *>(allocateTable(owner, count * int64_t(sizeof(Record))));
}

// Draws the placed points. "Normal": each one over the output with the
// plug-in's own composite. Any other blend mode: each point replaces the
// cleared square of the stamp world, and the host blends that square with
// the mode onto the output, or with "On Original" onto a transparent
// accumulation world that it blends onto the output after the last point.
// Progress goes to the host after each drawn point and once at the end.
void drawPoints(RenderHold &hold, HostCommand &command, SuiteHandler &suites, const PatternParams &params,
                const FramePlan &plan, const Frame &frame, const FrameTables &tables, PF_EffectWorld &output,
                PixelDepth depth) {
    const PF_InData *in_data = command.in_data;
    PF_ProgPtr ref = in_data->effect_ref;
    PF_UtilCallbacks *utils = in_data->utils;
    PF_Err &pending = command.pending;

    const PF_TransferMode mode = transferModeOf(params.blendMode);
    const bool blended = mode != PF_Xfer_IN_FRONT;
    const PF_WorldSuite1 *worlds1 = blended && depth != DepthFloat ? suite<SuiteId::World1>(suites) : nullptr;
    const PF_WorldSuite2 *worlds2 = static_cast<const PF_WorldSuite2 *>(hold.worldSuite.suite);
    if (blended && params.onOriginal) {
        makeWorld(hold.accumulation, depth, output.width, output.height, true, worlds1, worlds2);
    }
    const PF_CompositeMode record = pointCompositeMode(mode);
    if (blended) {
        const A_long side = 2 * frame.largestHalfSize + 25;
        makeWorld(hold.stamp, depth, side, side, false, worlds1, worlds2);
    }
    PF_EffectWorld *destination = params.onOriginal ? &hold.accumulation.world : &output;

    const A_long points = std::min(hold.placements.count, frame.count);
    LayerStamp &layer = hold.layer;
    const PointSettings settings = pointSettings(params, plan, points, output.width, output.height, output.origin_x,
                                                 output.origin_y, layer.prepared ? layer.size : 0);
    const RasterTarget target{output.data, rowPixels(output.rowbytes, depth), output.width, output.height};
    const ShapeDrawer draw = shapeDrawer(depth, blended ? PixelWrite::Replace : PixelWrite::Over);
    const PF_Pixel transparent = {0, 0, 0, 0};
    const PlacementPoint *point = hold.placements.head.next;
    for (A_long k = 0; k < points && pending == PF_Err_NONE; ++k, point = point->next) {
        RasterShape shape;
        if (!setUpPoint(settings, pointValues(params, frame, tables, *point, k), k, shape)) continue;
        if (shape.sides == 1) {
            tintLayer(layer, command, static_cast<const PF_FillMatteSuite2 *>(hold.fillSuite.suite), shape.fill, depth);
            shape.sampler = &layerSampler(layer, command, suites, depth);
            if (pending != PF_Err_NONE) break;
        }
        if (!blended) {
            draw(target, shape);
        } else {
            // The stamp is sized by the largest half size over all instances,
            // so every point fits; a square that did not would be written past
            // the stamp's pixels, and is left undrawn instead.
            if (2 * shape.halfSize + 1 > hold.stamp.world.width) continue;
            const A_long left = shape.cx - shape.halfSize, top = shape.cy - shape.halfSize;
            const PF_Rect square{0, 0, 2 * shape.halfSize + 1, 2 * shape.halfSize + 1};
            chainHostCall(pending, [&] { return utils->fill(ref, &transparent, &square, &hold.stamp.world); });
            if (pending != PF_Err_NONE) break;
            const PF_EffectWorld &stamp = hold.stamp.world;
            draw(RasterTarget{stamp.data, rowPixels(stamp.rowbytes, depth), output.width, output.height, left, top},
                 shape);
            chainHostCall(pending, [&] {
                return utils->transfer_rect(ref, PF_Quality_HI, 0, PF_Field_FRAME, &square, &stamp, &record, nullptr,
                                            left, top, destination);
            });
        }
        chainHostCall(pending, [&] { return PF_PROGRESS(in_data, k + 1, points + 1); });
    }
    disposeLayer(layer);
    if (blended) {
        disposeWorld(hold.stamp);
        if (params.onOriginal) {
            const PF_Rect whole{0, 0, output.width, output.height};
            chainHostCall(pending, [&] {
                return utils->transfer_rect(ref, PF_Quality_HI, 0, PF_Field_FRAME, &whole, &hold.accumulation.world,
                                            &record, nullptr, 0, 0, &output);
            });
            disposeWorld(hold.accumulation);
        }
    }
    chainHostCall(pending, [&] { return PF_PROGRESS(in_data, points + 1, points + 1); });
}

// Step by step, in the order the host sees the calls: the radius table, the
// layer (sized by the largest radius), then the shape, fill, stroke and
// opacity tables, which know whether a keyframed shape 1 can stamp. Tables
// live in the instance array, sized and sampled by the instances or, for
// "Line" with "Sub Mode" "Dependent", by the line nodes the instances
// interpolate.
KeyframeTables readTablesAndLayer(RenderHold &hold, HostCommand &command, SuiteHandler &suites,
                                  const PatternParams &params, const FramePlan &plan, PatternInstance *instances,
                                  PixelDepth depth) {
    KeyframeTables tables;
    KeyframeReading reading{command, suites, 0,
                            static_cast<A_long>(keyframeCount(plan.count, plan.lineNodes, plan.nodeCount)),
                            KeyframeConversion{params.downsample, false}};
    const bool keyframes = readsKeyframes(params);
    if (keyframes && !globalPluginId(command.in_data, suites, reading.pluginId)) {
        command.pending = PF_Err_BAD_CALLBACK_PARAM;
        return tables;
    }
    if (keyframes) readKeyframeTable(reading, KeyframedAttribute::Radius, params, instances, tables);
    if (params.shapeMode == ShapeMode::Layer || params.shapeMode == ShapeMode::Keyframe) {
        prepareLayer(hold.layer, command, suites, static_cast<const PF_WorldSuite2 *>(hold.worldSuite.suite), params,
                     largestRadius(params, tables, instances), depth);
    }
    reading.conversion.layerPrepared = hold.layer.prepared;
    if (keyframes) {
        for (KeyframedAttribute attribute : kKeyframedAttributes) {
            if (attribute != KeyframedAttribute::Radius)
                readKeyframeTable(reading, attribute, params, instances, tables);
        }
    }
    hold.layer.tintPerPoint = fillColorsMayDiffer(params, tables);
    return tables;
}

// The frame; an error that stands whatever the releases answer, or none when
// the result is the command's chain of host calls.
std::optional<PF_Err> renderFrame(RenderHold &hold, HostCommand &command, PF_SmartRenderExtra *extra,
                                  SuiteHandler &suites) {
    const PF_InData *in_data = command.in_data;
    PF_ProgPtr ref = in_data->effect_ref;
    PF_UtilCallbacks *utils = in_data->utils;
    PF_Err &pending = command.pending;

    // The snapshot of the frame's parameters.
    hold.snapshot.handle = extra && extra->input ? static_cast<PF_Handle>(extra->input->pre_render_data) : nullptr;
    PatternParams *params = hold.snapshot.handle ? static_cast<PatternParams *>(hold.snapshot.lock()) : nullptr;
    if (!params) return PF_Err_BAD_CALLBACK_PARAM;

    // Input, output and the depth they are in.
    PF_EffectWorld *input = nullptr;
    PF_EffectWorld *output = nullptr;
    chainHostCall(pending, [&] { return extra->cb->checkout_layer_pixels(ref, 0, &input); });
    chainHostCall(pending, [&] { return extra->cb->checkout_output(ref, &output); });
    PF_PixelFormat format = PF_PixelFormat_INVALID;
    if (input && output) {
        const PF_WorldSuite2 *worlds = acquire<PF_WorldSuite2>(hold.worldSuite);
        chainHostCall(pending, [&] { return worlds->PF_GetPixelFormat(input, &format); });
    }
    PixelDepth depth = Depth8;
    if (!pixelDepthFromFormat(format, depth)) return PF_Err_BAD_CALLBACK_PARAM;
    const A_long inputStride = rowPixels(input->rowbytes, depth);
    const A_long outputStride = rowPixels(output->rowbytes, depth);
    if (inputStride < input->width || outputStride < input->width || input->height != output->height) {
        return kGeometryMismatch;
    }

    // The frame starts as the input or as transparent black.
    if (params->onOriginal) {
        const PF_Err err = utils->copy(ref, input, output, nullptr, nullptr);
        if (err != PF_Err_NONE) return err;
    } else {
        const PF_Pixel transparent = {0, 0, 0, 0};
        utils->fill(ref, &transparent, nullptr, output);  // the result does not matter
    }
    acquireScoped(hold.maskSuite);
    if (pending != PF_Err_NONE || params->path == 0 || (params->mode == Mode::Number && params->number == 0)) {
        return std::nullopt;
    }

    // The mask, measured, and the frame's counts.
    checkOut(hold.mask, suite<SuiteId::PathQuery>(suites), params->path);
    if (!hold.mask.outline) return std::nullopt;
    const PathAccess path{suite<SuiteId::PathData>(suites), ref, hold.mask.outline, &utils->ansi};
    const FramePlan plan = planFrame(*params, path, pending);
    if (pending != PF_Err_NONE) return std::nullopt;
    if (plan.tooLarge) return memoryError(command);

    // The per-frame tables at their final sizes, then the pattern.
    FrameTables tables{};
    if (plan.lineNodes) {
        tables.lineNodes = table<LineNode>(hold.lineNodes, plan.nodeCount);
        if (!tables.lineNodes) return memoryError(command);
    }
    if (plan.count <= 0) return std::nullopt;
    tables.instances = table<PatternInstance>(hold.instances, plan.records);
    if (!tables.instances) return memoryError(command);
    const KeyframeTables keyframes = readTablesAndLayer(hold, command, suites, *params, plan, tables.instances, depth);
    if (pending != PF_Err_NONE) return std::nullopt;
    tables.orderIndex = table<int32_t>(hold.orderTable, plan.count);
    if (!tables.orderIndex) return memoryError(command);
    const ColorConverter converter{acquire<PF_ColorCallbacksFloatSuite1>(hold.colorSuite), ref};
    const Frame frame = buildFrame(*params, plan, tables, keyframes, hold.layer.prepared, converter, path, depth,
                                   hold.placements, pending);
    checkIn(hold.mask);
    if (pending != PF_Err_NONE) return std::nullopt;
    acquireScoped(hold.fillSuite);
    if (pending != PF_Err_NONE) return std::nullopt;
    drawPoints(hold, command, suites, *params, plan, frame, tables, *output, depth);
    return std::nullopt;
}

}  // namespace

PF_Err smartRender(PF_InData *in_data, PF_OutData *out_data, PF_SmartRenderExtra *extra) {
    SuiteHandler suites(in_data->pica_basicP);
    HostCommand command{in_data, out_data};
    std::optional<PF_Err> result;
    try {
        RenderHold hold(command, handleFunctions(suite<SuiteId::Handle>(suites)), handleFunctions(in_data->utils));
        result = renderFrame(hold, command, extra, suites);
    } catch (const std::bad_alloc &) {
        return PF_Err_OUT_OF_MEMORY;
    }
    return result ? *result : command.pending;
}
