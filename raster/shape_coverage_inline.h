// Inline bodies of the coverage functions, for the pixel walks of drawing.
#pragma once

#include "raster/shape_coverage.h"

inline double clamp01(double v) { return v > 1.0 ? 1.0 : (v < 0.0 ? 0.0 : v); }

// softEdge: a two-pixel ramp from radius - 1 to radius + 1 and no stroke.
// Otherwise a one-pixel outer ramp; with a stroke the band radius -+ h takes
// the stroke colour and the fill fades into it over the pixel inside.
[[gnu::always_inline]] inline Coverage circleCoverageInline(double d, double radius, double thickness, bool softEdge) {
    if (softEdge) {
        if (d <= radius - 1.0) return Coverage{1.0, 1.0};
        return Coverage{clamp01(1.0 - (d - (radius - 1.0)) * 0.5), 1.0};
    }
    const double h = thickness * 0.5;
    if (h == 0.0) {
        if (d <= radius) return Coverage{1.0, 1.0};
        return Coverage{clamp01(1.0 - (d - radius)), 1.0};
    }
    if (d >= radius) return Coverage{clamp01(1.0 - (d - (h + radius))), 0.0};
    return Coverage{1.0, clamp01(1.0 - (d - (radius - h - 1.0)))};
}

// Dividing by the corner factor turns a polygon-distance difference into a
// distance across the edge, so ramps and stroke are measured perpendicular to it.
[[gnu::always_inline]] inline Coverage polygonCoverageInline(double dPolygon, double radius, double thickness,
                                                             double cornerFactor) {
    const double h = thickness * 0.5 * cornerFactor;
    if (h == 0.0) {
        if (dPolygon <= radius) return Coverage{1.0, 1.0};
        return Coverage{clamp01(1.0 - (dPolygon - radius) / cornerFactor), 1.0};
    }
    if (dPolygon >= radius) {
        return Coverage{clamp01(1.0 - (dPolygon - (h + radius)) / cornerFactor), 0.0};
    }
    return Coverage{1.0, clamp01(1.0 - (dPolygon - (radius - h - 1.0)) / cornerFactor)};
}
