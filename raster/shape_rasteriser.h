// Draws one placed point as an antialiased circle or regular polygon with fill
// and stroke, composited over the output buffer.
#pragma once

#include "hostapi/hostapi.h"
#include "raster/pixel_format.h"

// The output buffer; pixel (x, y) is at row y * rowPixels + x.
struct RasterTarget {
    void *data;
    A_long rowPixels;
    A_long width, height;
    A_long originX, originY;  // layer coordinates of pixel (0, 0)
    PixelDepth depth;
};

// What stays the same for every point of a render.
struct RasterSettings {
    double strokeThickness;  // pixels, already downsampled; 0 in "Line" mode
    bool fillOverStroke;     // "Stroke Over" is "Fill Over Stroke"
    bool lineMode;           // "Mode" "Line": soft edge and overlap-compensated opacity
    bool pathOpen;           // the mask is open
    A_long pointCount;       // N, the number of placed points
};

// One point as drawing receives it.
struct ShapePoint {
    double x, y;     // mask coordinates
    int sides;       // 2 circle, 3 or more a regular polygon
    double radius;   // the instance's radius, pixels, before the weight
    double weight;   // weight of the instance whose reveal this point follows
    double angle;    // radians, not reduced
    double opacity;  // 0..1 before the "Line" compensation
    PF_Pixel fill8, stroke8;
    PF_Pixel16 fill16, stroke16;
    PF_PixelFloat fillF, strokeF;
};

// Draws point k (0-based, counting skipped points). Returns false when the
// point is skipped whole (zero radius or opacity, or entirely off the frame),
// in which case nothing was touched.
bool drawShapePoint(const RasterTarget &target, const RasterSettings &settings, const ShapePoint &point, A_long k);
