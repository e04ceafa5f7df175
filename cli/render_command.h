// `pathbloom render`: a scene's frames through minihost into image files.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/image_io.h"
#include "minihost/minihost.h"

namespace pathbloom {

struct RenderOptions {
    std::string scenePath;
    std::string outputDir;
    std::string pluginPath;                // empty: the plug-in built beside the executable
    int firstFrame = -1, lastFrame = -1;   // -1: the scene's range
    int depth = 0;                         // 8, 16 or 32; 0: the scene's
    int downsampleX = 0, downsampleY = 0;  // 0: the scene's
    bool stats = false;                    // a line per frame (time, points placed and drawn), then its stream reads
    bool preview = false;                  // 16-bit PNG beside each float frame's EXR
    bool progressBar = false;              // drawn on `err`; the caller decides (a terminal)
    std::string contactSheet;              // file to tile the frames into; empty: none
    PngSettings png = fastPng;             // frames and previews; the contact sheet has its own
    ExrSettings exr = fastExr;             // float frames
    // Called for every effect instance once the scene is applied:
    // `beforeUIUpdate` before the plug-in's parameter UI update, `prepareHost`
    // after it, before the first frame. Let tests stand in for the plug-in or
    // inject host faults.
    void (*beforeUIUpdate)(minihost::Host &host) = nullptr;
    void (*prepareHost)(minihost::Host &host) = nullptr;
};

// Parses "A-B" or "A" into a frame range within 0..maxFrame; false when
// malformed or outside.
bool parseFrameRange(const std::string &text, int &first, int &last);
// Parses "X" or "X,Y" into downsampling factors of at least 1.
bool parseDownsample(const std::string &text, int &x, int &y);

// The whole percent of a frame done that the progress bar shows, 0..100
// whatever the plug-in reports (a count past the total, a negative count).
int progressPercent(long current, long total);

// File name of frame `frame` in the output folder: frame_0007.png.
std::string frameFileName(int frame, const std::string &extension);

// Returns the process exit code.
int runRender(const RenderOptions &options, std::ostream &out, std::ostream &err);

}  // namespace pathbloom
