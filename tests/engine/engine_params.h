// The parameter snapshot of a freshly applied effect, in engine units, for
// engine tests that call the attribute and colour code directly.
#pragma once

#include "engine/pattern_params.h"

inline PatternParams defaultPatternParams() {
    PatternParams p{};
    p.downsample = 1;
    p.path = 0;
    p.mode = 1;
    p.subMode = 2;
    p.end = 1;
    p.delay = 1;
    p.order = 1;
    p.radiusMode = 1;
    p.firstRadius = 20;
    p.minRadius = 1;
    p.shapeMode = 1;
    p.side = 5;
    p.layerBlendMode = 4;
    p.colorMode = 1;
    p.color = PF_Pixel{255, 255, 255, 255};
    p.strokeMode = 1;
    p.strokeOver = 1;
    p.strokeThickness = 3;
    p.strokeColor = PF_Pixel{255, 255, 0, 0};
    p.opacityMode = 1;
    p.opacity = 1;
    p.minOpacity = 1;
    p.blendMode = 1;
    p.onOriginal = 1;
    return p;
}
