// Reading and writing the pathbloom command's image files: PNG (8 and 16 bits
// per channel) and OpenEXR (32-bit float), to and from minihost images.
#pragma once

#include <cstdint>
#include <string>

#include "minihost/minihost.h"

namespace pathbloom {

// 16-bit channels: the host's 0..32768 to a PNG's 0..65535, rounded to
// nearest, and back.
uint16_t pngChannelFromHost16(uint16_t channel);
uint16_t host16ChannelFromPng(uint16_t channel);

// The largest image the readers take: 30000 pixels a side, as a scene's
// layers, and 2^28 pixels in all (1 GiB of 8-bit RGBA). A file is refused
// from its header, before anything is allocated.
constexpr int maxImageSide = 30000;
constexpr uint64_t maxImagePixels = uint64_t(1) << 28;

// How a PNG's rows are compressed. Every setting is lossless; they trade
// time for size.
// The row filters libpng may use; with more than one it picks per row.
enum class PngFilter { none, sub, up, noneOrUp, adaptive };  // adaptive: all five
struct PngSettings {
    int level = 6;                           // zlib level, 0 (stored) .. 9 (smallest)
    PngFilter filter = PngFilter::adaptive;  // libpng's own defaults: level 6, adaptive
};

// The named settings of --png-compression: "fast" (level 1, NONE or UP per
// row: for frame sequences), "default" (level 6, adaptive), "best" (level 9,
// adaptive), "none" (level 0, no filter), or a level "0".."9" alone, which
// takes the filter of the named setting nearest it (0: none, 1..3: NONE or
// UP, 4..9: adaptive). False for anything else.
bool parsePngCompression(const std::string &text, PngSettings &settings);
constexpr const char *pngCompressionChoices = "fast, default, best, none or a level 0..9";
// Rendered frames are mostly flat areas, which need no filter, and smooth
// gradients, which UP takes: half the time of the default for 1.3 to 1.5
// times the size (README has the measurements).
constexpr PngSettings fastPng{1, PngFilter::noneOrUp};

// OpenEXR's compression methods. pxr24 rounds 32-bit floats to 24 bits
// (lossless on half channels); b44 and b44a are lossy on half channels
// (32-bit floats they store as they are); dwaa and dwab are lossy on colour
// channels. The others are lossless.
enum class ExrCompression { none, rle, zips, zip, piz, pxr24, b44, b44a, dwaa, dwab };
struct ExrSettings {
    ExrCompression compression = ExrCompression::zip;  // OpenEXR's own default
    bool half = false;  // 16-bit half-float channels (values rounded to nearest, at most 65504)
    int zipLevel = -1;  // zlib level 1..9 of zip and zips; -1: OpenEXR's default (4)
    // Colour channels decoded with the sRGB transfer function (linear light)
    // instead of the host's code values as they are; alpha as it is.
    bool linear = false;
};

// The sRGB transfer function's decoding of a code value (0..1 and beyond:
// the linear segment below 0.04045, the power curve above).
float linearFromSrgb(float code);
// Its inverse: linear light to a code value (0..1 and beyond).
float srgbFromLinear(float linear);

// The value of the EXR header attribute `valueEncodingAttribute` that says
// what the channel values are, by ExrSettings::linear.
constexpr const char *valueEncodingAttribute = "valueEncoding";
constexpr const char *codeValuesEncoding = "display-referred code values of the host (sRGB-encoded), not linear light";
constexpr const char *linearEncoding = "linear light: code values decoded with the sRGB transfer function";

// Float frames of a sequence: zip at zlib level 1, lossless, about half the
// time of OpenEXR's default level for 1.1 to 1.4 times the size (README has
// the measurements).
constexpr ExrSettings fastExr{ExrCompression::zip, false, 1, false};

// "fast" (fastExr), or one of OpenEXR's methods at its default level: "none",
// "rle", "zips", "zip", "piz", "pxr24", "b44", "b44a", "dwaa", "dwab". Sets
// the compression and zip level, not `half`. False for anything else.
bool parseExrCompression(const std::string &text, ExrSettings &settings);
std::string exrCompressionName(ExrCompression compression);
constexpr const char *exrCompressionChoices = "fast, none, rle, zips, zip, piz, pxr24, b44, b44a, dwaa or dwab";
// Whether a file written with `compression` reads back exactly what was
// written (after rounding to half, for half channels).
bool exrCompressionIsLossless(ExrCompression compression, bool half);

// Reads any PNG as straight RGBA: an 8-bit file (or one of 1, 2 or 4 bits) gives
// an 8-bit image, a 16-bit file a 16-bit image (channels 0..32768). Palettes,
// grey, transparency chunks and missing alpha are expanded, interlacing undone.
// False with a message on failure, also for a file larger than the limits
// above or than its compressed size can hold, and for a folder or a device.
bool readPng(const std::string &path, minihost::Image &image, std::string &error);

// Writes straight RGBA: an 8-bit image as an 8-bit PNG, a 16-bit image as a
// 16-bit PNG (channels scaled to 0..65535). A float image is written as a
// 16-bit PNG after conversion to the host's 16-bit range.
bool writePng(const std::string &path, const minihost::Image &image, std::string &error,
              const PngSettings &settings = PngSettings());

// Writes a float image as an OpenEXR file with R, G, B, A channels, 32-bit
// float or (settings.half) 16-bit half. OpenEXR colour is premultiplied by
// alpha, so the straight colour of the image is multiplied by its alpha on
// the way out.
bool writeExr(const std::string &path, const minihost::Image &image, std::string &error,
              const ExrSettings &settings = ExrSettings());

// Reads an OpenEXR file's RGBA (half or float channels) as a straight-colour
// float image. `linearLight`, when given, is set to whether the file says its
// colour is linear light (writeExr with ExrSettings::linear): the values are
// then as in the file, not code values.
bool readExr(const std::string &path, minihost::Image &image, std::string &error, bool *linearLight = nullptr);

}  // namespace pathbloom
