// Antialiased edge coverage of circles and regular polygons, and how much of a
// pixel takes the fill rather than the stroke colour.
#pragma once

struct Coverage {
    double coverage;    // 0..1
    double fillWeight;  // 0..1: 1 all fill colour, 0 all stroke colour
};

// d: distance of the pixel from the centre; radius and thickness in pixels.
Coverage circleCoverage(double d, double radius, double thickness, bool softEdge);
// dPolygon: the pixel's polygon distance; cornerFactor = 1 / cos(pi / sides).
Coverage polygonCoverage(double dPolygon, double radius, double thickness, double cornerFactor);
