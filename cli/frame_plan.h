// Which frames `pathbloom render` writes and under which names: --frames
// lists (ranges with steps) and -o folders or file name patterns.
#pragma once

#include <string>
#include <vector>

#include "minihost/minihost.h"

namespace pathbloom {

// Frame numbers as the user writes them: a scene's frames 0..maxFrame, each
// numbered from the scene's "start" (also 0..maxFrame) on.
constexpr int maxFrameNumber = 2000000;

// A whole number of at most 9 digits, no sign: the numbers of --frames and
// --downsample.
bool parseNumber(const std::string &text, int &value);

// One item of a --frames list: `first` to `last` inclusive, every `step`th.
struct FrameSpan {
    int first = 0, last = 0, step = 1;
};

// Parses a comma-separated list of "A", "A-B" and "A-BxN" (N >= 1):
// "1-100x4", "1,5,9", "10-20,30". False when malformed, when B < A or a
// number is past maxFrameNumber.
bool parseFrameSpans(const std::string &text, std::vector<FrameSpan> &spans);

// The frames of `spans` in ascending order, each once. False, with `error`
// naming the first frame asked for outside `first`..`last`.
bool selectFrames(const std::vector<FrameSpan> &spans, int first, int last, std::vector<int> &frames,
                  std::string &error);

enum class ImageFormat { Png, Exr };

// Where -o puts the frames: a folder (frame_0007.png, or .exr for float
// frames), or a pattern "out/title.####.png" / "out/title.%04d.exr" whose
// extension gives the format.
struct OutputNaming {
    bool pattern = false;
    std::string folder;          // created before the first frame; "." for a bare pattern
    std::string prefix, suffix;  // pattern: the path before and after the number
    int width = 4;               // pattern: digits the number is zero-padded to (1..10)
    ImageFormat format = ImageFormat::Png;
};

// Reads -o. It is a pattern when its file name (after the last '/') holds
// '#' or '%' or ends in ".png" or ".exr" (any case): then it needs exactly one
// run of '#' or one "%d" / "%0Nd" in the file name and one of those
// extensions. False with a message otherwise.
bool parseOutput(const std::string &text, OutputNaming &naming, std::string &error);

// File name of frame `frame` in an output folder: frame_0007.png.
std::string frameFileName(int frame, const std::string &extension);

// One file a frame is written to.
struct FrameFile {
    std::string path;
    ImageFormat format = ImageFormat::Png;
};

// The files of frame `frame` at `depth`, the main one first. Folder: a PNG,
// or an EXR for float frames plus a PNG with `preview`. Pattern: its format;
// with `preview`, a float frame written as EXR also gets the pattern's PNG.
std::vector<FrameFile> frameFiles(const OutputNaming &naming, int frame, minihost::Depth depth, bool preview);

// The frame whose files `naming` names `name` (a file name, without its
// folder) with: false for any other name.
bool frameOfFileName(const OutputNaming &naming, const std::string &name, int &frame);

}  // namespace pathbloom
