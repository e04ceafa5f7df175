// The layer a render stamps: the "Layer" parameter scaled once into
// `layerBase`, copied into `layerSource` that every stamp samples, and tinted
// with a point's fill colour through `tintWorld` when "Color Opacity" asks.
#pragma once

#include "engine/pattern_params.h"
#include "host/host_owners.h"
#include "host/suite_handler.h"
#include "raster/layer_stamp.h"
#include "raster/pixel_format.h"

struct LayerStamp {
    explicit LayerStamp(HostCommand &command) : base(command), source(command), tint(command) {}

    WorldOwner base, source, tint;  // layerBase, layerSource, tintWorld
    bool prepared = false;          // the "Layer" parameter had pixels and every world was made
    double size = 0;                // L, pixels
    bool tinting = false;           // "Color Opacity" above 0
    PF_CompositeMode tintMode{};    // "Layer Blend Mode" at "Color Opacity", colour channels only
    PF_Rect tintRect{};             // the whole layer world
    bool tintPerPoint = false;      // points may carry different fill colours; set once the colours are known
    bool tintApplied = false;
    LayerSampler sampler{};
};

// Checks the "Layer" parameter out at the command's time and, when it has
// pixels, makes the three worlds at the output's depth, sized for
// `largestRadius`, copies the layer into them and checks it back in. Host
// calls are chained on the command; `prepared` stays false without pixels
// or after a failure.
void prepareLayer(LayerStamp &layer, HostCommand &command, SuiteHandler &suites, const PF_WorldSuite2 *worlds2,
                  const PatternParams &params, double largestRadius, PixelDepth depth);

// Before a stamp with fill colour `fill`: unless the layer is already tinted
// with the one colour every point carries, fills `tintWorld` with the colour
// at full alpha, starts `layerSource` again from `layerBase` and blends the
// tint onto its colour channels. Nothing at "Color Opacity" 0.
void tintLayer(LayerStamp &layer, HostCommand &command, const PF_FillMatteSuite2 *fills, const PixelForms &fill,
               PixelDepth depth);

// The sampler of the output depth, its sampling suite acquired on the first
// stamp of the render.
const LayerSampler &layerSampler(LayerStamp &layer, HostCommand &command, SuiteHandler &suites, PixelDepth depth);

// The three worlds back to the host; after the last point or any failure.
void disposeLayer(LayerStamp &layer);
