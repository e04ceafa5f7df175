// The snapshot of parameter values one frame is rendered from, in engine
// units. Filled at smart pre-render, handed to the render in a host handle of
// exactly this record's size; flat, no pointers.
#pragma once

#include "hostapi/hostapi.h"

struct PatternParams {
    double downsample;  // horizontal downsampling, numerator / denominator
    A_u_long path;      // the chosen mask's path id; 0 none
    A_long mode;        // 1 "Vertex", 2 "Number", 3 "Line"
    A_long subMode;     // 1 "Constant", 2 "Dependent"
    A_long lineLoop;    // 0 or 1
    A_long number;
    double vertexOffset;  // turns, [0, 1)
    double offset;        // turns, [0, 1)
    double start;         // fraction
    double end;           // fraction
    double delay;         // fraction
    A_long order;         // 1 "Normal", 2 "Inverse", 3 "Random"
    A_long orderSeed;
    A_long radiusMode;   // 1 "Normal", 2 "Keyframe", 3 "Keyframe 2"
    double firstRadius;  // output pixels
    double minRadius;    // fraction
    double deltaRadius;  // output pixels
    A_long radiusSeed;
    A_long shapeMode;       // 1 "Circle", 2 "Polygon", 3 "Layer", 4 "Keyframe"
    A_long side;            // 3..16
    A_long layerBlendMode;  // 1..19
    double colorOpacity;    // fraction
    A_long dependOnPath;    // 0 or 1
    double phase;           // radians, not reduced
    double deltaPhase;      // radians, not reduced
    A_long colorMode;       // 1 "Normal", 2 "Keyframe", 3 "Keyframe 2"
    PF_Pixel color;
    double hueVariance;         // fraction
    double lightnessVariance;   // fraction
    double saturationVariance;  // fraction
    double deltaHue;            // turns, not reduced
    double deltaLightness;      // fraction, -1..1
    double deltaSaturation;     // fraction, -1..1
    A_long colorSeed;
    A_long strokeMode;       // 1 "Normal", 2 "Keyframe", 3 "Keyframe 2", 4 "Dependent"
    A_long strokeOver;       // 1 "Stroke Over Fill", 2 "Fill Over Stroke"
    double strokeThickness;  // output pixels
    PF_Pixel strokeColor;
    double strokeHueVariance;
    double strokeLightnessVariance;
    double strokeSaturationVariance;
    double strokeDeltaHue;  // turns, not reduced
    double strokeDeltaLightness;
    double strokeDeltaSaturation;
    A_long strokeColorSeed;
    A_long opacityMode;   // 1 "Normal", 2 "Keyframe", 3 "Keyframe 2"
    double opacity;       // fraction
    double minOpacity;    // fraction
    double deltaOpacity;  // fraction, -1..1
    A_long opacitySeed;
    A_long blendMode;   // 1..19
    A_long onOriginal;  // 0 or 1
};
