// Stamping a layer: the per-point transform from output pixels into the
// scaled layer, in 16.16 fixed point, and what a render samples the layer
// through (the host's sampling suites).
#pragma once

#include <algorithm>
#include <cstdint>

#include "hostapi/hostapi.h"

// nearest(v): trunc(v + 0.5) for v >= 0, trunc(v - 0.5) below, pinned into
// -limit..limit (NaN gives 0). 16.16 factors are pinned into 32 bits.
int64_t nearestFixed(double v, int64_t limit = INT32_MAX);

// One point's map from output pixels to layer positions: turned by theta,
// scaled by s, centred on the point.
struct LayerTransform {
    int64_t cosF, sinF;          // 16.16, of theta
    int64_t centreXF, centreYF;  // the point's centre in output pixels, 16.16
    int64_t scaleF;              // s, 16.16
    PF_Fixed sampleRadius;       // s / 2, 16.16: the area sample's x and y radius
    bool area;                   // s > 1.2: the layer shrinks enough to average
};

// theta = -(angle + pi/2) with "Depend On Path", else -angle; s = (R - 1) x
// (L / 2) / R^2 for drawing radius R and layer size L (pixels), so the
// layer's L pixels span about 2R output pixels. R = 1 gives s = 0: every
// pixel reads the layer's centre.
LayerTransform layerTransform(double angle, bool dependOnPath, double centreX, double centreY, double radius,
                              double layerSize);

// The layer position (16.16) that output pixel (x, y) shows: the offset of
// the pixel's centre from the point, each factor shifted right by 6 so that
// the products fit 32 bits, turned, scaled and moved to the layer's centre:
// a = xF >> 6, b = yF >> 6, c = cosF >> 6, n = sinF >> 6, k = scaleF >> 6;
// U = (((a c) >> 4) - ((b n) >> 4)) >> 6, V = (((b c) >> 4) + ((a n) >> 4)) >> 6;
// position ((k U) >> 4, (k V) >> 4) from the layer's centre. The arithmetic
// is carried in 64 bits: the same numbers wherever 32 bits hold them, and no
// overflow for squares beyond 16384 pixels.
struct LayerRow {
    int64_t bc, bn;  // (b x c) >> 4 and (b x n) >> 4 of the row
};
inline LayerRow layerRow(const LayerTransform &t, int64_t y) {
    const int64_t b = (y * 65536 - t.centreYF + 32768) >> 6;
    return LayerRow{(b * (t.cosF >> 6)) >> 4, (b * (t.sinF >> 6)) >> 4};
}
// The position of column x of a row, and the next columns' without
// multiplying: from one column to the next a grows by exactly 1024, so
// (a c) >> 4 grows by 64 c and U by exactly c, V by n, and k U by k c.
struct LayerStep {
    int64_t ku, kv;    // k x U and k x V of the current column
    int64_t dku, dkv;  // their growth per column
    int64_t centreX, centreY;
    int64_t x() const { return (ku >> 4) + centreX; }
    int64_t y() const { return (kv >> 4) + centreY; }
    void next() { ku += dku, kv += dkv; }
};
inline LayerStep layerStep(const LayerTransform &t, const LayerRow &row, int64_t layerCentreX, int64_t layerCentreY,
                           int64_t x) {
    const int64_t a = (x * 65536 - t.centreXF + 32768) >> 6;
    const int64_t u = (((a * (t.cosF >> 6)) >> 4) - row.bn) >> 6;
    const int64_t v = (row.bc + ((a * (t.sinF >> 6)) >> 4)) >> 6;
    const int64_t k = t.scaleF >> 6;
    return LayerStep{k * u, k * v, k * (t.cosF >> 6), k * (t.sinF >> 6), layerCentreX, layerCentreY};
}

// The 16.16 positions from which a sample can still read a layer pixel of a
// width x height layer: a pixel beyond each side, whatever a host takes a
// pixel's position to be, and the area sample's radius beyond that. The host
// answers a transparent pixel anywhere else, so stamps write one there
// without asking it (about half of a turned stamp's square).
struct LayerReach {
    int64_t lowX, highX, lowY, highY;
    bool holds(int64_t x, int64_t y) const { return x >= lowX && x <= highX && y >= lowY && y <= highY; }
};
inline LayerReach layerReach(A_long width, A_long height, const LayerTransform &t) {
    const int64_t margin = 65536 + (t.area ? std::max<int64_t>(t.sampleRadius, 0) : 0);
    return LayerReach{-margin, int64_t{width} * 65536 + margin, -margin, int64_t{height} * 65536 + margin};
}

// What a render samples stamps from: the layer world, its centre and the
// host's sampling suite of the output depth. A failing sample becomes the
// render's pending error and stops the stamping.
struct LayerSampler {
    PF_ProgPtr effectRef;
    PF_EffectWorld *source;
    int64_t centreX, centreY;  // 16.16: the world's size halved
    const PF_Sampling8Suite1 *suite8;
    const PF_Sampling16Suite1 *suite16;
    const PF_SamplingFloatSuite1 *suiteFloat;
    PF_Err *pending;
};

// The size a layer is scaled to once per render: S = 2 x trunc(ceil(largest
// radius)), raised to 10 when it is 1 or less, on the layer's longer side;
// the shorter side in proportion, by integer division, at least 1 pixel.
// A largest radius beyond any frame is held at kLargestLayerSide.
struct LayerSize {
    A_long side;  // S
    A_long width, height;
};
constexpr A_long kLargestLayerSide = 1 << 15;
LayerSize layerTargetSize(double largestRadius, A_long layerWidth, A_long layerHeight);
