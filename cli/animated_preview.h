// Animated previews of a render (mp4, webp, gif), encoded by the ffmpeg
// command from the frame files, and the argument rewrite that keeps the old
// `render --preview` flag (now --png-preview) working.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/frame_plan.h"
#include "cli/image_io.h"
#include "minihost/minihost.h"

namespace pathbloom {

enum class PreviewFormat { none, mp4, webp, gif };

// By the file name's extension, any case: ".mp4", ".webp", ".gif"; none for
// any other name.
PreviewFormat previewFormatOf(const std::string &path);

// `--preview` once was a flag (a PNG beside each float frame's EXR, now
// --png-preview). Returns `arguments` (without the program name) with each
// `--preview` not followed by an mp4, webp or gif file name, and each
// `--preview=VALUE` whose value is not one, renamed to --png-preview. Nothing
// after a "--" is touched.
std::vector<std::string> renamedPreviewFlag(const std::vector<std::string> &arguments);

// Widest preview --preview-width takes, pixels.
constexpr int maxPreviewWidth = maxImageSide;

// A preview's size in pixels.
struct PreviewSize {
    int width = 0, height = 0;
};

// The size of the preview of frameWidth x frameHeight frames, `width` wide
// (0: the frames' width), the height keeping the frames' aspect ratio,
// rounded to nearest, at least 1. H.264 in yuv420p needs even sizes: for mp4
// an odd width is made one more, the height is rounded to the nearest even
// number, at least 2.
PreviewSize previewSize(PreviewFormat format, int frameWidth, int frameHeight, int width);

// A frame's pixels as the encoder reads them, 8 bits a channel, rows top to
// bottom: R, G, B, A with straight colour, or, `overBlack`, R, G, B
// composited over black (colour x alpha / 255, rounded). 16-bit channels
// (0..32768) and float ones (0..1) are rounded to nearest and clamped to
// 0..255 (NaN is 0). `linearLight`: a float frame's colour is linear light,
// encoded with the sRGB transfer function first.
void previewPixels(const minihost::Image &frame, bool overBlack, bool linearLight, std::vector<uint8_t> &pixels);

// The program `name` as execv would find it in `searchPath` (a PATH value:
// folders separated by ':', an empty one the current folder): the first
// regular executable file. Empty when there is none.
std::string findProgram(const std::string &name, const std::string &searchPath);

// What the preview of a render is made of.
struct PreviewJob {
    std::string path;                        // .mp4, .webp or .gif (any case)
    int width = 0;                           // 0: the frames' width
    double fps = 30;                         // a scene's: fps * 1000 a whole number
    size_t frameCount = 0;                   // at least 1
    std::function<FrameFile(size_t)> frame;  // frame i's file, in frame order
};

// Reads the frames back from their files (all of one size), and has ffmpeg,
// found on PATH, encode them into job.path, written whole (output_file.h):
// H.264 (libx264, yuv420p) for mp4, animated lossy WebP with alpha for webp,
// a GIF on a palette made from all its frames for gif. False with a message:
// an unreadable frame, frames of different sizes, ffmpeg missing or failing
// (with the last lines it wrote on stderr).
bool writeAnimatedPreview(const PreviewJob &job, std::string &error);

}  // namespace pathbloom
