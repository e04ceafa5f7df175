// Point set-up: output position, radius, the "Line" opacity compensation,
// the drawing square and the rejection of points that would draw nothing.
#include "engine/point_setup.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "raster/fixed_point.h"

namespace {

constexpr double kPi = 3.141592653589793;

}  // namespace

bool setUpPoint(const PointSettings &settings, const PointValues &point, A_long k, RasterShape &s) {
    s.centreX = point.x - settings.originX;
    s.centreY = point.y - settings.originY;
    // Without a prepared layer anything below 2 is a circle.
    s.sides = point.sides >= 3 ? point.sides : point.sides == 1 && settings.layerSize > 0 ? 1 : 2;
    s.thickness = settings.fillOverStroke ? settings.strokeThickness * 0.5 : settings.strokeThickness;
    double radius = point.radius;
    if (settings.fillOverStroke) radius += s.thickness * 0.5;
    s.cornerFactor = 1.0 / std::cos(kPi / s.sides);
    s.angle = point.angle;
    // A polygon or a stamp without a finite rotation has no edges to draw.
    if (s.sides != 2 && !std::isfinite(point.angle)) return false;
    s.edge = settings.softEdge ? EdgeProfile::Soft : EdgeProfile::Hard;
    s.fill = point.fill;
    s.stroke = point.stroke;

    radius *= point.weight;
    if (!(radius > 0.0)) return false;
    s.radius = radius;

    double opacity = point.opacity;
    if (settings.lineMode) {
        // Neighbouring points one pixel apart overlap about D times; each
        // gets the opacity that D layers of it add up to. Near an open end
        // fewer neighbours overlap.
        const double n = settings.pointCount;
        double overlap = 2.0 * radius - 1.0;
        if (settings.pathOpen) {
            if (radius > k) {
                overlap = k + radius - 1.0;
            } else if (radius > n - k) {
                overlap = n - k + radius - 1.0;
            }
        }
        if (opacity > 0.0) {
            opacity = std::min(opacity, 0.99999);
            opacity = 1.0 - std::pow(1.0 - opacity, 1.0 / overlap);
        }
    }
    if (!(opacity > 0.0)) return false;
    s.opacity = opacity;

    // A stamp's square holds the layer turned any way: ceil(sqrt(2) R).
    const double half = s.sides == 1   ? std::ceil(std::sqrt(2.0) * radius)
                        : s.sides == 2 ? s.thickness * 0.5 + radius
                                       : s.thickness * 0.5 * s.cornerFactor + radius;
    if (!(std::fabs(s.centreX) < kCoordinateLimit && std::fabs(s.centreY) < kCoordinateLimit &&
          half < kCoordinateLimit)) {
        return false;
    }
    s.halfSize = static_cast<int32_t>(half) + (s.sides == 1 ? 0 : 2);
    if (s.sides == 1) {
        // Scaled by the weighted radius, as circles are: a stamp half revealed
        // is the whole layer at half the size, not a crop of it.
        s.layer = layerTransform(s.angle, settings.dependOnPath, s.centreX, s.centreY, radius, settings.layerSize);
    }
    s.cx = static_cast<int32_t>(s.centreX);
    s.cy = static_cast<int32_t>(s.centreY);
    const int64_t hs = s.halfSize;
    return !(s.cx < -hs || s.cx > settings.width + hs || s.cy < -hs || s.cy > settings.height + hs);
}
