// Packed images at the host's three depths: making, converting and
// downsampling them.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "minihost/host_state.h"

namespace minihost {
namespace {

// Channel values in the order alpha, red, green, blue, as full-precision reals
// in the depth's own range.
struct Channels {
    double c[4];
};

Channels readPixel(const unsigned char *at, Depth depth) {
    Channels out{};
    switch (depth) {
    case Depth::Bits8:
        for (int i = 0; i < 4; ++i) out.c[i] = at[i];
        break;
    case Depth::Bits16: {
        A_u_short v[4];
        std::memcpy(v, at, sizeof v);
        for (int i = 0; i < 4; ++i) out.c[i] = v[i];
        break;
    }
    case Depth::Float: {
        float v[4];
        std::memcpy(v, at, sizeof v);
        for (int i = 0; i < 4; ++i) out.c[i] = v[i];
        break;
    }
    }
    return out;
}

double convertChannel(double value, Depth from, Depth to) {
    if (from == to) return value;
    switch (from) {
    case Depth::Bits8:
        if (to == Depth::Bits16) return std::floor((value * 32768 + 128) / 255);
        return value / 255;
    case Depth::Bits16:
        // Values past 32768 are outside the host's range: held at white.
        if (to == Depth::Bits8) return std::floor((std::min(value, 32768.0) * 255 + 16384) / 32768);
        return value / 32768;
    case Depth::Float: {
        // NaN (as an EXR file may hold) is 0, not a cast of NaN to an integer.
        if (std::isnan(value)) return 0;
        const double full = to == Depth::Bits8 ? 255 : 32768;
        return std::clamp(std::floor(value * full + 0.5), 0.0, full);
    }
    }
    return value;
}

void writePixel(unsigned char *at, Depth depth, const Channels &channels) {
    switch (depth) {
    case Depth::Bits8:
        for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(channels.c[i]);
        break;
    case Depth::Bits16: {
        A_u_short v[4];
        for (int i = 0; i < 4; ++i) v[i] = static_cast<A_u_short>(channels.c[i]);
        std::memcpy(at, v, sizeof v);
        break;
    }
    case Depth::Float: {
        float v[4];
        for (int i = 0; i < 4; ++i) v[i] = static_cast<float>(channels.c[i]);
        std::memcpy(at, v, sizeof v);
        break;
    }
    }
}

}  // namespace

int bytesPerPixel(Depth depth) {
    switch (depth) {
    case Depth::Bits8:
        return 4;
    case Depth::Bits16:
        return 8;
    case Depth::Float:
        return 16;
    }
    return 4;
}

PF_PixelFormat pixelFormatOf(Depth depth) {
    switch (depth) {
    case Depth::Bits8:
        return PF_PixelFormat_ARGB32;
    case Depth::Bits16:
        return PF_PixelFormat_ARGB64;
    case Depth::Float:
        return PF_PixelFormat_ARGB128;
    }
    return PF_PixelFormat_INVALID;
}

Image makeImage(int width, int height, Depth depth) {
    Image image;
    image.width = std::max(width, 0);
    image.height = std::max(height, 0);
    image.depth = depth;
    image.data.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) *
                          static_cast<std::size_t>(bytesPerPixel(depth)),
                      0);
    return image;
}

Image solidImage(int width, int height, PF_Pixel color, Depth depth) {
    Image image = makeImage(width, height, depth);
    Channels channels = {{double(color.alpha), double(color.red), double(color.green), double(color.blue)}};
    for (double &c : channels.c) c = convertChannel(c, Depth::Bits8, depth);
    const std::size_t count = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    const std::size_t size = static_cast<std::size_t>(bytesPerPixel(depth));
    for (std::size_t i = 0; i < count; ++i) writePixel(image.data.data() + i * size, depth, channels);
    return image;
}

Image convertImage(const Image &image, Depth depth) {
    if (image.depth == depth) return image;
    Image out = makeImage(image.width, image.height, depth);
    const std::size_t count = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    const std::size_t from = static_cast<std::size_t>(bytesPerPixel(image.depth));
    const std::size_t to = static_cast<std::size_t>(bytesPerPixel(depth));
    for (std::size_t i = 0; i < count; ++i) {
        Channels channels = readPixel(image.data.data() + i * from, image.depth);
        for (double &c : channels.c) c = convertChannel(c, image.depth, depth);
        writePixel(out.data.data() + i * to, depth, channels);
    }
    return out;
}

void convertRow(const Image &image, int row, int stepX, Depth depth, int width, unsigned char *out) {
    const std::size_t from = static_cast<std::size_t>(bytesPerPixel(image.depth));
    const std::size_t to = static_cast<std::size_t>(bytesPerPixel(depth));
    const unsigned char *in = image.data.data() + static_cast<std::size_t>(row) * image.width * from;
    if (image.depth == depth && stepX == 1) {
        std::memcpy(out, in, static_cast<std::size_t>(width) * to);
        return;
    }
    for (int x = 0; x < width; ++x) {
        const unsigned char *at = in + static_cast<std::size_t>(x) * stepX * from;
        unsigned char *into = out + static_cast<std::size_t>(x) * to;
        if (image.depth == depth) {
            std::memcpy(into, at, to);
            continue;
        }
        Channels channels = readPixel(at, image.depth);
        for (double &c : channels.c) c = convertChannel(c, image.depth, depth);
        writePixel(into, depth, channels);
    }
}

Image downsampleImage(const Image &image, int x, int y) {
    x = std::max(x, 1);
    y = std::max(y, 1);
    if (x == 1 && y == 1) return image;
    Image out = makeImage((image.width + x - 1) / x, (image.height + y - 1) / y, image.depth);
    const std::size_t size = static_cast<std::size_t>(bytesPerPixel(image.depth));
    for (int row = 0; row < out.height; ++row)
        for (int column = 0; column < out.width; ++column)
            std::memcpy(
                out.data.data() + (static_cast<std::size_t>(row) * out.width + column) * size,
                image.data.data() +
                    (static_cast<std::size_t>(row) * y * image.width + static_cast<std::size_t>(column) * x) * size,
                size);
    return out;
}

}  // namespace minihost
