// Image buffers the host owns and hands out: allocation with padded rows,
// the registry that tells a world's depth, and conversion to and from images.
#include <algorithm>
#include <cstring>

#include "minihost/host_state.h"

namespace minihost {
namespace {

constexpr unsigned char rowPaddingByte = 0xA5;

// Opaque magenta: what a world holds before anyone wrote it.
void writeUnwritten(World &world) {
    const int size = bytesPerPixel(world.depth);
    unsigned char pixel[16];
    switch (world.depth) {
    case Depth::Bits8: {
        const PF_Pixel p = {255, 255, 0, 255};
        std::memcpy(pixel, &p, sizeof p);
        break;
    }
    case Depth::Bits16: {
        const PF_Pixel16 p = {32768, 32768, 0, 32768};
        std::memcpy(pixel, &p, sizeof p);
        break;
    }
    case Depth::Float: {
        const PF_PixelFloat p = {1.0f, 1.0f, 0.0f, 1.0f};
        std::memcpy(pixel, &p, sizeof p);
        break;
    }
    }
    for (int y = 0; y < world.def.height; ++y)
        for (int x = 0; x < world.def.width; ++x)
            std::memcpy(pixelAddress(world.def, x, y, size), pixel, static_cast<std::size_t>(size));
}

}  // namespace

World &createWorld(Host &host, int width, int height, Depth depth, bool clear) {
    auto world = std::make_unique<World>();
    world->depth = depth;
    width = std::max(width, 0);
    height = std::max(height, 0);
    const int size = bytesPerPixel(depth);
    const std::size_t rowbytes = static_cast<std::size_t>(width + worldRowPadding) * static_cast<std::size_t>(size);
    // At least one row, so that even an empty world has a unique pixel address.
    world->storage.assign(rowbytes * static_cast<std::size_t>(std::max(height, 1)), rowPaddingByte);
    PF_EffectWorld &def = world->def;
    def.world_flags = PF_WorldFlag_WRITEABLE | (depth == Depth::Bits16 ? PF_WorldFlag_DEEP : 0);
    def.data = reinterpret_cast<PF_PixelPtr>(world->storage.data());
    def.rowbytes = static_cast<A_long>(rowbytes);
    def.width = width;
    def.height = height;
    def.extent_hint = {0, 0, width, height};
    def.pix_aspect_ratio = {1, 1};
    if (clear) {
        for (int y = 0; y < height; ++y)
            std::memset(pixelAddress(def, 0, y, size), 0, static_cast<std::size_t>(width * size));
    } else {
        writeUnwritten(*world);
    }
    World &result = *world;
    host.internals->worlds.emplace(world->storage.data(), std::move(world));
    return result;
}

World *findWorld(const Host &host, const void *pixels) {
    const auto found = host.internals->worlds.find(pixels);
    return found == host.internals->worlds.end() ? nullptr : found->second.get();
}

const World *rememberWorld(const Host &host, const void *pixels) {
    const World *known = findWorld(host, pixels);
    if (known) host.internals->lastWorld = known;
    return known;
}

void destroyWorld(Host &host, World &world) {
    if (host.internals->lastWorld == &world) host.internals->lastWorld = nullptr;
    host.internals->worlds.erase(world.storage.data());
}

bool worldDepth(const Host &host, const PF_EffectWorld &world, Depth &depth) {
    const World *known = findWorld(host, world.data);
    if (!known) return false;
    depth = known->depth;
    return true;
}

World &worldFromImage(Host &host, const Image &image) {
    World &world = createWorld(host, image.width, image.height, image.depth, false);
    const std::size_t rowSize = static_cast<std::size_t>(image.width * bytesPerPixel(image.depth));
    for (int y = 0; y < image.height; ++y)
        std::memcpy(pixelAddress(world.def, 0, y, bytesPerPixel(image.depth)),
                    image.data.data() + rowSize * static_cast<std::size_t>(y), rowSize);
    return world;
}

Image imageFromWorld(const World &world) {
    Image image = makeImage(world.def.width, world.def.height, world.depth);
    const std::size_t rowSize = static_cast<std::size_t>(image.width * bytesPerPixel(image.depth));
    for (int y = 0; y < image.height; ++y)
        std::memcpy(image.data.data() + rowSize * static_cast<std::size_t>(y),
                    pixelAddress(world.def, 0, y, bytesPerPixel(image.depth)), rowSize);
    return image;
}

}  // namespace minihost
