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

// How a sheet is laid out. The defaults give the sheet of frames at full
// size with no labels.
struct SheetLayout {
    int width = 0;        // sheet width in pixels, 0: frames at full size
    int columns = 0;      // 0: ceil(sqrt(frame count)), at most the frame count
    bool labels = false;  // each tile's frame number in its bottom-left corner
};

// Widest sheet `--width` takes, pixels.
constexpr int maxSheetWidth = 30000;

// Where the tiles go: every cell is tileWidth x tileHeight pixels, `gap`
// pixels apart, the first one at (left, gap).
struct SheetGeometry {
    int columns = 1, rows = 1;
    int tileWidth = 1, tileHeight = 1;
    int left = 0;
    int width = 1, height = 1;  // of the sheet
};

// Pixels between and around the tiles.
constexpr int sheetGap = 4;

// Narrowest `layout.width` that leaves a tile at least one pixel wide for
// `count` frames.
int narrowestSheet(int count, const SheetLayout &layout);

// The layout of `count` frames whose largest is cellWidth x cellHeight.
// With a width, the tiles are the frames scaled down (never up), aspect
// kept, and the columns left over by rounding are split between the two
// outer margins, so the sheet is exactly that wide. `layout.width` must be
// at least narrowestSheet().
SheetGeometry sheetGeometry(int count, int cellWidth, int cellHeight, const SheetLayout &layout);

// Tiles `frames` in rows, over a checkerboard so that transparency shows,
// with gaps of dark grey between them. An 8-bit opaque image. Scaled tiles
// are area averages of the frame's 8-bit values (a box filter, weighted by
// alpha). `labels[f]`, digits, is drawn on frame f when layout.labels.
minihost::Image tileFrames(const std::vector<minihost::Image> &frames, const SheetLayout &layout = {},
                           const std::vector<std::string> &labels = {});

// The frame number of a frame file, "frame_0007.png" -> "7"; empty when the
// name has no number.
std::string frameLabel(const std::string &path);

// A sheet is one file, written once and kept: smaller matters more than
// quicker, short of the slow top levels.
constexpr PngSettings sheetPng{6, PngFilter::adaptive};

// Reads the frame files (PNG or EXR) and writes their sheet to `outputPath`.
bool writeContactSheet(const std::vector<std::string> &files, const std::string &outputPath, std::string &error,
                       const PngSettings &settings = sheetPng, const SheetLayout &layout = {});

// Returns the process exit code: 2 for a width too narrow for the frames.
int runContactSheet(const std::string &folder, const std::string &outputPath, std::ostream &out, std::ostream &err,
                    const PngSettings &settings = sheetPng, const SheetLayout &layout = {});

}  // namespace pathbloom
