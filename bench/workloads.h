// The drawing workloads of the benchmarks, laid out as the peer
// rasteriser benchmarks lay them out: shapes equally spaced in angle on a
// circle of radius 400 around the centre of a 1920x1080 frame.
#pragma once

#include <cmath>
#include <vector>

#include "engine/point_setup.h"
#include "raster/pixel_ops.h"

namespace bench {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr double kCentreX = 960.0, kCentreY = 540.0, kPathRadius = 400.0;

struct Workload {
    const char *name;
    int count;         // shapes on the path circle
    double radius;     // circle radius or hexagon circumradius, pixels
    int sides;         // 2 circle, 6 hexagon rotated by i * 0.05 rad
    double thickness;  // stroke, centred on the outline
    double opacity;
    bool lineMode;             // one soft-edged point per pixel of path length
    int blendMode = 1;         // "Blend Mode": 1 "Normal" draws in place; others go through the host's transfer
    bool onOriginal = false;   // over the opaque gradient of backgroundImage(), points blended among themselves first
    bool layerStamps = false;  // "Shape Mode" "Layer": stampImage() at side 2 radius, point i turned by i * 0.05 rad
};

// W2 puts one point per pixel of arc length: ceil(2 pi 400) = 2514.
inline const std::vector<Workload> &workloads() {
    static const std::vector<Workload> all = {
        {"W1-circles-stroke", 400, 20.0, 2, 3.0, 1.0, false},
        {"W2-line-dabs", 2514, 10.0, 2, 0.0, 0.45, true},
        {"W3-hexagons", 400, 30.0, 6, 3.0, 1.0, false},
        {"W4-big-circles", 60, 150.0, 2, 3.0, 0.7, false},
        {"W5-circles-multiply", 400, 20.0, 2, 3.0, 1.0, false, 3, true},
        {"W6-big-circles-overlay", 60, 150.0, 2, 3.0, 0.7, false, 5, false},
        {"W7-layer-stamps", 400, 20.0, 2, 0.0, 1.0, false, 1, false, true},
    };
    return all;
}

inline PointSettings settingsOf(const Workload &w) {
    return PointSettings{w.thickness, false, w.lineMode, w.lineMode, false, w.count, 0, 0, kWidth, kHeight};
}

// White fill, red stroke, in the three pixel forms.
inline std::vector<PointValues> pointsOf(const Workload &w) {
    std::vector<PointValues> points;
    for (int i = 0; i < w.count; ++i) {
        const double theta = 2.0 * M_PI * i / w.count;
        PointValues p{};
        p.x = kCentreX + kPathRadius * std::cos(theta);
        p.y = kCentreY + kPathRadius * std::sin(theta);
        p.sides = w.sides;
        p.radius = w.radius;
        p.weight = 1.0;
        p.angle = w.sides == 6 ? i * 0.05 : 0.0;
        p.opacity = w.opacity;
        p.fill = pixelForms(PF_Pixel{255, 255, 255, 255});
        p.stroke = pixelForms(PF_Pixel{255, 255, 0, 0});
        points.push_back(p);
    }
    return points;
}

// The opaque diagonal gradient W5 is drawn over, as the peers draw it.
inline std::vector<PF_Pixel> backgroundImage() {
    std::vector<PF_Pixel> pixels(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            pixels[static_cast<size_t>(y) * kWidth + x] = PF_Pixel{
                255, static_cast<A_u_char>(64 + (x * 160) / kWidth), static_cast<A_u_char>(64 + (y * 160) / kHeight),
                static_cast<A_u_char>(200 - ((x + y) * 120) / (kWidth + kHeight))};
        }
    return pixels;
}

// The 64x64 layer W7 stamps, as the peers make it: a ring of hues (radii 20
// to 30 round the centre) on transparent, and a white bar at alpha 200
// across the middle. scenes/bench/stamp.png holds the same pixels.
constexpr int kStampSize = 64;

inline std::vector<PF_Pixel> stampImage() {
    std::vector<PF_Pixel> pixels(static_cast<size_t>(kStampSize) * kStampSize, PF_Pixel{0, 0, 0, 0});
    for (int y = 0; y < kStampSize; ++y)
        for (int x = 0; x < kStampSize; ++x) {
            PF_Pixel &p = pixels[static_cast<size_t>(y) * kStampSize + x];
            const double dx = x + 0.5 - 32.0, dy = y + 0.5 - 32.0, d = std::sqrt(dx * dx + dy * dy);
            if (d >= 20.0 && d < 30.0) {
                const double a = std::atan2(dy, dx);
                p = PF_Pixel{255, static_cast<A_u_char>(127.5 + 127.5 * std::cos(a)),
                             static_cast<A_u_char>(127.5 + 127.5 * std::cos(a + 2.0944)),
                             static_cast<A_u_char>(127.5 + 127.5 * std::cos(a + 4.1888))};
            } else if (std::fabs(dy) < 4.0 && std::fabs(dx) < 20.0) {
                p = PF_Pixel{200, 255, 255, 255};
            }
        }
    return pixels;
}

// Pixels of the drawing squares (side 2 halfSize + 1) inside the frame: the
// pixels a point's walk may visit.
inline double visitedPixels(const Workload &w) {
    const double f = w.sides == 2 ? 1.0 : 1.0 / std::cos(M_PI / w.sides);
    const int half = static_cast<int>(w.thickness * 0.5 * f + w.radius) + 2;
    double total = 0;
    for (const PointValues &p : pointsOf(w)) {
        const int cx = static_cast<int>(p.x), cy = static_cast<int>(p.y);
        const int x0 = std::max(cx - half, 0), x1 = std::min(cx + half, kWidth - 1);
        const int y0 = std::max(cy - half, 0), y1 = std::min(cy + half, kHeight - 1);
        if (x1 >= x0 && y1 >= y0) total += double(x1 - x0 + 1) * (y1 - y0 + 1);
    }
    return total;
}

}  // namespace bench
