// The parameters' short descriptions, in registration order.
#include "cli/param_descriptions.h"

#include <iterator>

namespace pathbloom {
namespace {

const ParamDescription descriptions[] = {
    {"Path", "mask", "The mask of the layer along which the shapes are placed"},
    {"Mode", "choice",
     "Where shapes go: at the mask's vertices and between them, a set number along the mask, or "
     "one per pixel of mask length as a line"},
    {"Sub Mode", "choice",
     "With Number: even spacing (Constant) or spacing by the shapes' radii (Dependent); with Line: "
     "first values and deltas (Constant) or attributes blended between per-vertex nodes (Dependent)"},
    {"Number", "count",
     "Shapes: extra ones per segment with Vertex, along the whole mask with Number, nodes per segment "
     "minus 1 with Line Dependent"},
    {"Line Loop", "on/off",
     "With Line on a closed mask: the line ends with the size, colour and opacity it starts with"},
    {"Vertex Offset", "degrees", "Moves the starting vertex round a closed mask (360 degrees: once round)"},
    {"Offset", "degrees", "Moves the first point along a closed mask (360 degrees: the whole length)"},
    {"Start", "percent", "Fades shapes in, in their order: at 100 % all are gone"},
    {"End", "percent", "Fades shapes out from the last in their order: at 0 % all are gone"},
    {"Delay", "percent", "How one after another the shapes fade: 0 % all together, 100 % each in turn"},
    {"Order", "choice", "The order in which the shapes appear: along the mask, backwards or seeded random"},
    {"Order Seed", "seed", "Seed of the random appearance order"},
    {"Radius Mode", "choice", "Radius from the first radius and its change, or from the keyframes of First Radius"},
    {"First Radius", "pixels", "Radius of the first shape"},
    {"Delta Radius", "pixels", "Change of radius from the first shape to the last"},
    {"Min Radius", "percent", "Smallest random radius, as a share of the radius"},
    {"Radius Seed", "seed", "Seed of the random radius"},
    {"--Shape--", "group", "Opens the group of shape settings"},
    {"Shape Mode", "choice",
     "What is drawn: circles, regular polygons, copies of a layer, or per shape from the "
     "keyframes of Keyframe"},
    {"Side", "count", "Number of sides of the polygons, 3 to 16"},
    {"Layer", "layer", "The layer stamped at each point"},
    {"--Layer Setting--", "group", "Opens the group of layer stamp settings"},
    {"Layer Blend Mode", "choice", "How the fill colour tints the stamped layer"},
    {"Color Opacity", "percent", "How strongly the fill colour tints the stamped layer"},
    {"", "group", "Closes the group above"},
    {"Keyframe", "count",
     "With Shape Mode Keyframe, its keyframes give the shapes in turn: 1 the layer, 2 a circle, 3 to 16 a polygon's "
     "sides"},
    {"Depend On Path", "on/off", "Turns each shape to follow the mask's direction"},
    {"Phase", "degrees", "Rotation of the first shape"},
    {"Delta Phase", "degrees", "Change of rotation from the first shape to the last"},
    {"--Fill--", "group", "Opens the group of fill colour settings"},
    {"Color Mode", "choice", "Fill colour from the colour and its changes, or from the keyframes of Color"},
    {"Color", "colour", "Fill colour of the first shape"},
    {"Delta Hue", "degrees", "Change of fill hue from the first shape to the last"},
    {"Delta Lightness", "percent", "Change of fill lightness from the first shape to the last"},
    {"Delta Saturation", "percent", "Change of fill saturation from the first shape to the last"},
    {"Hue Variance", "percent", "Random spread of the fill hue"},
    {"Lightness Variance", "percent", "Random spread of the fill lightness"},
    {"Saturation Variance", "percent", "Random spread of the fill saturation"},
    {"Color Seed", "seed", "Seed of the random fill colour"},
    {"--Stroke--", "group", "Opens the group of stroke settings"},
    {"Stroke Thickness", "pixels", "Width of the outline around each shape; 0 draws none"},
    {"Stroke Over", "choice", "Whether the outline is drawn over the fill or under it"},
    {"Stroke Mode", "choice", "Outline colour from its own settings, from keyframes, or following the fill colour"},
    {"Stroke Color", "colour", "Outline colour of the first shape"},
    {"Stroke Delta Hue", "degrees", "Change of outline hue from the first shape to the last"},
    {"Stroke Delta Lightness", "percent", "Change of outline lightness from the first shape to the last"},
    {"Stroke Delta Saturation", "percent", "Change of outline saturation from the first shape to the last"},
    {"Stroke Hue Variance", "percent", "Random spread of the outline hue"},
    {"Stroke Lightness Variance", "percent", "Random spread of the outline lightness"},
    {"Stroke Saturation Variance", "percent", "Random spread of the outline saturation"},
    {"Stroke Color Seed", "seed", "Seed of the random outline colour"},
    {"--Opacity--", "group", "Opens the group of opacity settings"},
    {"Opacity Mode", "choice", "Opacity from the opacity and its change, or from the keyframes of Opacity"},
    {"Opacity", "percent", "Opacity of the first shape"},
    {"Delta Opacity", "percent", "Change of opacity from the first shape to the last"},
    {"Min Opacity", "percent", "Smallest random opacity, as a share of the opacity"},
    {"Opacity Seed", "seed", "Seed of the random opacity"},
    {"Blend Mode", "choice", "How the shapes are composited onto the frame (19 modes)"},
    {"On Original", "on/off", "Draws onto the layer's own image instead of a transparent frame"},
};

}  // namespace

const ParamDescription *paramDescriptions(size_t &count) {
    count = std::size(descriptions);
    return descriptions;
}

const ParamDescription *findParamDescription(const std::string &name) {
    for (const ParamDescription &d : descriptions)
        if (name == d.name) return &d;
    return nullptr;
}

}  // namespace pathbloom
