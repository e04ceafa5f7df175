// The layer transform of one point.
#include "raster/layer_stamp.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double kPi = 3.141592653589793;
// Drawn points lie within kCoordinateLimit (1e9) pixels, below 2^31 pixels:
// their 16.16 centres and every product of the position stay far inside 64
// bits.
constexpr int64_t kCentreLimit = int64_t(1) << 47;

}  // namespace

int64_t nearestFixed(double v, int64_t limit) {
    if (!(v == v)) return 0;
    const double rounded = std::trunc(v >= 0 ? v + 0.5 : v - 0.5);
    if (rounded >= static_cast<double>(limit)) return limit;
    if (rounded <= -static_cast<double>(limit)) return -limit;
    return static_cast<int64_t>(rounded);
}

LayerTransform layerTransform(double angle, bool dependOnPath, double centreX, double centreY, double radius,
                              double layerSize) {
    const double theta = dependOnPath ? -(angle + kPi / 2) : -angle;
    const double s = (radius - 1) * (layerSize * 0.5) / (radius * radius);
    LayerTransform t;
    t.cosF = nearestFixed(std::cos(theta) * 65536);
    t.sinF = nearestFixed(std::sin(theta) * 65536);
    t.centreXF = nearestFixed(centreX * 65536, kCentreLimit);
    t.centreYF = nearestFixed(centreY * 65536, kCentreLimit);
    t.scaleF = nearestFixed(s * 65536);
    t.sampleRadius = static_cast<PF_Fixed>(nearestFixed(s * 0.5 * 65536));
    t.area = s > 1.2;
    return t;
}

LayerSize layerTargetSize(double largestRadius, A_long layerWidth, A_long layerHeight) {
    const double whole = std::ceil(largestRadius);
    int64_t side = whole >= kLargestLayerSide / 2 ? kLargestLayerSide : whole > 0 ? 2 * static_cast<int64_t>(whole) : 0;
    if (side <= 1) side = 10;
    LayerSize size{static_cast<A_long>(side), static_cast<A_long>(side), static_cast<A_long>(side)};
    const int64_t w = std::max<A_long>(layerWidth, 1), h = std::max<A_long>(layerHeight, 1);
    if (w > h) {
        size.height = static_cast<A_long>(std::max<int64_t>(h * side / w, 1));
    } else {
        size.width = static_cast<A_long>(std::max<int64_t>(w * side / h, 1));
    }
    return size;
}
