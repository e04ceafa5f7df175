// `pathbloom render`: a scene's frames through minihost into image files.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/frame_plan.h"
#include "cli/image_io.h"
#include "minihost/minihost.h"

namespace pathbloom {

struct RenderOptions {
    std::string scenePath;
    std::string output;      // -o: a folder or a file name pattern (parseOutput)
    std::string pluginPath;  // empty: PATHBLOOM_PLUGIN, else the built or installed one (plugin_location.h)
    std::string frames;      // --frames list (parseFrameSpans); empty: the scene's frames
    int depth = 0;           // 8, 16 or 32; 0: the scene's
    int downsampleX = 0, downsampleY = 0;  // 0: the scene's
    bool stats = false;                    // a line per frame (time, points placed and drawn), then its stream reads
    bool statsJson = false;                // with `stats`: a JSON object a line instead, and a summary
    bool pngPreview = false;               // 16-bit PNG beside each float frame's EXR
    bool skipExisting = false;             // leave out frames whose files are all there
    int jobs = 0;                          // worker processes, 1..maxJobs; 0: the machine's cores
    bool progressBar = false;              // drawn on `err`; the caller decides (a terminal)
    bool frameLog = false;                 // a line on `err` per frame written; the caller decides (no terminal)
    std::string contactSheet;              // file to tile the frames into; empty: none
    std::string preview;                   // animated preview (.mp4, .webp, .gif); empty: none
    int previewWidth = 0;                  // its width in pixels, 1..maxPreviewWidth; 0: the frames'
    PngSettings png = fastPng;             // frames and previews; the contact sheet has its own
    ExrSettings exr = fastExr;             // float frames
    // Called for every effect instance once the scene is applied:
    // `beforeUIUpdate` before the plug-in's parameter UI update, `prepareHost`
    // after it, before the first frame. Let tests stand in for the plug-in or
    // inject host faults.
    void (*beforeUIUpdate)(minihost::Host &host) = nullptr;
    void (*prepareHost)(minihost::Host &host) = nullptr;
};

// Parses "X" or "X,Y" into downsampling factors of at least 1.
bool parseDownsample(const std::string &text, int &x, int &y);

// The whole percent of a frame done that the progress bar shows, 0..100
// whatever the plug-in reports (a count past the total, a negative count).
int progressPercent(long current, long total);

// Returns the process exit code: 0 done, 1 a fault in the scene, a frame
// outside it, a render or file error, 2 a malformed option, 128 + the signal
// when SIGINT or SIGTERM stopped it.
int runRender(const RenderOptions &options, std::ostream &out, std::ostream &err);

}  // namespace pathbloom
