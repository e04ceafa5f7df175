// Draws one point as an antialiased circle or regular polygon with fill and
// stroke, or as a copy of a layer. The point arrives set up: centre, drawing
// square, final radius, opacity and edge profile; drawing walks the square
// once and hands every covered pixel to the render's pixel write.
#pragma once

#include <cstdint>

#include "hostapi/hostapi.h"
#include "raster/layer_stamp.h"
#include "raster/pixel_format.h"
#include "raster/pixel_writes.h"

// Where drawing writes. The walk runs in the output's pixels, clipped to
// width x height; pixel (x, y) is stored at row y - top, column x - left of
// data. The output itself has left = top = 0; a scratch world holding one
// point's square has the square's top left corner.
struct RasterTarget {
    void *data;
    A_long rowPixels;
    A_long width, height;
    A_long left = 0, top = 0;
};

enum class EdgeProfile {
    Hard,  // a one-pixel outer ramp; a stroke band when the thickness is above 0
    Soft   // a two-pixel ramp from radius - 1 to radius + 1, no stroke ("Line")
};

// One point ready to draw, in the target's pixels.
struct RasterShape {
    double centreX, centreY;
    int32_t cx, cy;       // trunc(centreX), trunc(centreY)
    int32_t halfSize;     // the square walked: columns cx +- halfSize, rows cy +- halfSize
    int32_t sides;        // 1 a layer stamp, 2 circle, 3 or more a regular polygon
    double radius;        // drawing radius, pixels, above 0
    double thickness;     // stroke thickness, pixels, 0 or more
    double cornerFactor;  // 1 / cos(pi / sides)
    double angle;         // radians, not reduced; turns polygons
    double opacity;       // above 0; the depth's alpha comes from it
    EdgeProfile edge;
    PixelForms fill, stroke;
    LayerTransform layer;                   // sides 1
    const LayerSampler *sampler = nullptr;  // sides 1: the render's layer
};

// Draws `shape` into `target`, clipped to it. The pixel depth and write are
// fixed for a render, so the render picks its drawer once.
using ShapeDrawer = void (*)(const RasterTarget &target, const RasterShape &shape);
ShapeDrawer shapeDrawer(PixelDepth depth, PixelWrite write);
