// Edge coverage and fill/stroke weight of circles and regular polygons.
#include "raster/shape_coverage.h"

#include "raster/shape_coverage_inline.h"

Coverage circleCoverage(double d, double radius, double thickness, bool softEdge) {
    return circleCoverageInline(d, radius, thickness, softEdge);
}

Coverage polygonCoverage(double dPolygon, double radius, double thickness, double cornerFactor) {
    return polygonCoverageInline(dPolygon, radius, thickness, cornerFactor);
}
