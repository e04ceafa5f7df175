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

// Reads any PNG as straight RGBA: an 8-bit file gives an 8-bit image, a
// 16-bit file a 16-bit image (channels 0..32768). Palettes, grey and missing
// alpha are expanded. False with a message on failure.
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
