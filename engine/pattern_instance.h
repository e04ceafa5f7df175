// The per-instance record the attribute loops fill and drawing reads, and the
// lengths of the keyframe tables that live inside the instance array.
#pragma once

#include "hostapi/hostapi.h"

struct PatternInstance {
    double weight;      // 0..1, the Start/End/Delay window factor
    double radius;      // output pixels, downsampling applied
    A_long shapeSides;  // "Shape Mode" "Keyframe" only: 1 layer, 2 circle, n polygon
    double angle;       // radians, not reduced
    PF_Pixel fillColor8;
    PF_Pixel16 fillColor16;  // channels 0..32768
    PF_PixelFloat fillColorF;
    PF_Pixel strokeColor8;
    PF_Pixel16 strokeColor16;
    PF_PixelFloat strokeColorF;
    double opacity;  // at most 1; 0 or less is not drawn
};

// A keyframe-driven attribute keeps its table in the instance array itself:
// entry e is the field of record e. Instance (or point) k reads entry
// k modulo the length. Every length is at least 1.
struct KeyframeTables {
    A_long radiusLength = 1;
    A_long shapeLength = 1;
    A_long fillLength = 1;
    A_long strokeLength = 1;
    A_long opacityLength = 1;
};
