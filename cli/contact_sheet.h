// Contact sheets: the frames of a render tiled into one PNG.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/image_io.h"
#include "minihost/minihost.h"

namespace pathbloom {

// The frame files of a render folder in frame order: frame_NNNN.png, or
// frame_NNNN.exr for frames that have no PNG.
std::vector<std::string> renderedFrames(const std::string &folder);

// Tiles `frames` in rows, over a checkerboard so that transparency shows,
// with gaps of dark grey between them. An 8-bit opaque image.
minihost::Image tileFrames(const std::vector<minihost::Image> &frames);

// A sheet is one file, written once and kept: smaller matters more than
// quicker, short of the slow top levels.
constexpr PngSettings sheetPng{6, PngFilter::adaptive};

// Reads the frame files (PNG or EXR) and writes their sheet to `outputPath`.
bool writeContactSheet(const std::vector<std::string> &files, const std::string &outputPath, std::string &error,
                       const PngSettings &settings = sheetPng);

// Returns the process exit code.
int runContactSheet(const std::string &folder, const std::string &outputPath, std::ostream &out, std::ostream &err,
                    const PngSettings &settings = sheetPng);

}  // namespace pathbloom
