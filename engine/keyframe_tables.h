// Tables of per-instance values taken from the keyframes of the effect's own
// parameters: which attributes read them and by what rule, how long a table
// is, the times a sampled table reads, and how a host value becomes an entry.
// The host binding makes the stream calls; everything here is arithmetic.
#pragma once

#include <cstdint>

#include "engine/pattern_instance.h"
#include "engine/pattern_params.h"
#include "hostapi/hostapi.h"

// In the order a render reads them.
enum class KeyframedAttribute { Radius, Shape, Fill, Stroke, Opacity };
constexpr KeyframedAttribute kKeyframedAttributes[] = {KeyframedAttribute::Radius, KeyframedAttribute::Shape,
                                                       KeyframedAttribute::Fill, KeyframedAttribute::Stroke,
                                                       KeyframedAttribute::Opacity};

// How the attribute takes its values this frame: ValueMode::Normal (not from
// keyframes), ValueMode::Keyframe (keyframe e is entry e) or
// ValueMode::Keyframe2 (entries sampled between the first and last keyframe).
// A keyframed shape always reads by index.
A_long keyframeRule(const PatternParams &params, KeyframedAttribute attribute);

// True when any attribute reads keyframes this frame.
bool readsKeyframes(const PatternParams &params);

// The count c the tables are capped at and sampled over: the instances, or
// for "Line" with "Sub Mode" "Dependent" the line nodes, whose attributes the
// instances interpolate.
int64_t keyframeCount(int64_t instances, bool lineNodes, int64_t nodeCount);

// A table read from `keyframes` keyframes for `count` instances. Too few
// keyframes (or a single instance to sample) gives the fallback entry alone.
struct KeyframeTablePlan {
    A_long length = 1;  // entries; instance k reads entry k modulo it
    bool fallback = true;
    bool sampled = false;  // entries at sampleTime, else keyframe e for entry e
};
KeyframeTablePlan planKeyframeTable(A_long rule, A_long keyframes, A_long count);

// Time of entry e of a sampled table of `count` entries: the first keyframe's
// time plus e steps of (last - first) / (count - 1), truncated towards zero,
// in the first keyframe's scale. Computed in 64 bits and pinned into the
// host's 32-bit time value.
A_Time sampleTime(A_Time first, A_Time last, A_long entry, A_long count);

// What turns a host value into an entry.
struct KeyframeConversion {
    double downsample;   // horizontal, applied to radii
    bool layerPrepared;  // a shape entry 1 stamps the layer; without one it draws a circle
};

// Entry values: the radius times the downsampling; the shape selector
// truncated (1 becomes 2 without a layer); the colour channels (0..1) as
// floats with both integer forms truncated from them (drawing reads the one
// of its depth); the opacity in percent as a fraction.
void storeKeyframeValue(KeyframedAttribute attribute, const AEGP_StreamVal2 &value,
                        const KeyframeConversion &conversion, PatternInstance &entry);

// The entry of a stream without usable keyframes: the parameter's own value
// (the radius already downsampled), or a circle for the shape.
void storeFallbackEntry(KeyframedAttribute attribute, const PatternParams &params, PatternInstance &entry);

A_long &tableLength(KeyframeTables &tables, KeyframedAttribute attribute);

// Ceil of the largest radius an instance can be given before the reveal
// weight: the largest entry of a radius table, or without one the larger of
// "First Radius" and "First Radius" + "Delta Radius".
double largestRadius(const PatternParams &params, const KeyframeTables &tables, const PatternInstance *instances);
