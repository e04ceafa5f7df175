// The set-up of one placed point for drawing: where it lands in the output,
// its final radius and opacity ("Line" renders compensate for the overlap of
// their neighbours), its edge profile and the square drawing walks.
#pragma once

#include "hostapi/hostapi.h"
#include "raster/pixel_format.h"
#include "raster/shape_rasteriser.h"

// What stays the same for every point of a render.
struct PointSettings {
    double strokeThickness;     // pixels, already downsampled; 0 in "Line" renders
    bool fillOverStroke;        // "Stroke Over" is "Fill Over Stroke"
    bool lineMode;              // "Mode" "Line": opacity compensated for the overlap of neighbours
    bool softEdge;              // "Mode" "Line" as chosen: the two-pixel ramp and no stroke
    bool pathOpen;              // the mask is open
    A_long pointCount;          // N, the number of placed points
    A_long originX, originY;    // layer coordinates of output pixel (0, 0)
    A_long width, height;       // the output, pixels
    double layerSize = 0;       // L: pixels of the prepared layer's longer side; 0 without one
    bool dependOnPath = false;  // layer stamps turn a further quarter turn
};

// One point's values as the instance tables give them.
struct PointValues {
    double x, y;     // mask coordinates
    int sides;       // 1 layer stamp, 2 circle, 3 or more a regular polygon; without a layer, below 2 is a circle
    double radius;   // the instance's radius, pixels, before the weight
    double weight;   // weight of the instance whose reveal this point follows
    double angle;    // radians, not reduced
    double opacity;  // 0..1 before the "Line" compensation
    PixelForms fill, stroke;
};

// Sets up point k (0-based, counting skipped points). False when the point is
// skipped whole: no radius or opacity left, a polygon or stamp without a
// finite rotation, or its square entirely off the output. A stamp's layer
// transform is set up; its sampler is the render's to give.
bool setUpPoint(const PointSettings &settings, const PointValues &point, A_long k, RasterShape &shape);
