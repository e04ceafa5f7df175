// The scene reader's PNG input in the builds that have no libpng (32-bit
// Linux, Windows), so that they read the scenes' images and render the same
// frames as the native build. Reads 8-bit PNG files only: the scenes have no
// other kind.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "cli/image_io.h"

namespace pathbloom {

bool readPng(const std::string &path, minihost::Image &image, std::string &error) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.is_open() || bytes.empty()) {
        error = "cannot open " + path;
        return false;
    }
    const int length = static_cast<int>(bytes.size());
    if (stbi_is_16_bit_from_memory(bytes.data(), length)) {
        error = path + ": a 16-bit PNG, which this build does not read";
        return false;
    }
    int width = 0, height = 0, channels = 0;
    stbi_uc *rgba = stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, 4);
    if (!rgba) {
        error = path + " is not a PNG file: " + stbi_failure_reason();
        return false;
    }
    image = minihost::makeImage(width, height, minihost::Depth::Bits8);
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
        const stbi_uc *from = rgba + 4 * i;
        uint8_t *to = image.data.data() + 4 * i;
        to[0] = from[3];
        to[1] = from[0];
        to[2] = from[1];
        to[3] = from[2];
    }
    stbi_image_free(rgba);
    return true;
}

// The scenes have no EXR images; a scene that does fails here with a message.
bool readExr(const std::string &path, minihost::Image &, std::string &error, bool *) {
    error = path + ": EXR images are not read in this build";
    return false;
}

}  // namespace pathbloom
