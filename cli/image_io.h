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

// Reads any PNG as straight RGBA: an 8-bit file (or one of 1, 2 or 4 bits) gives
// an 8-bit image, a 16-bit file a 16-bit image (channels 0..32768). Palettes,
// grey, transparency chunks and missing alpha are expanded, interlacing undone.
// False with a message on failure, also for a file larger than the limits
// above or than its compressed size can hold, and for a folder or a device.
bool readPng(const std::string &path, minihost::Image &image, std::string &error);

// Writes straight RGBA: an 8-bit image as an 8-bit PNG, a 16-bit image as a
// 16-bit PNG (channels scaled to 0..65535). A float image is written as a
// 16-bit PNG after conversion to the host's 16-bit range.
bool writePng(const std::string &path, const minihost::Image &image, std::string &error);

// Writes a float image as an OpenEXR file with 32-bit float R, G, B, A
// channels. OpenEXR colour is premultiplied by alpha, so the straight colour
// of the image is multiplied by its alpha on the way out.
bool writeExr(const std::string &path, const minihost::Image &image, std::string &error);

// Reads an OpenEXR file's RGBA as a straight-colour float image.
bool readExr(const std::string &path, minihost::Image &image, std::string &error);

}  // namespace pathbloom
