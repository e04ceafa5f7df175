// Image buffers the host owns and hands out: allocation with padded rows,
// the registry that tells a world's depth, and conversion to and from images.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "minihost/host_state.h"

#if defined(__SANITIZE_ADDRESS__)
#define MINIHOST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MINIHOST_ASAN 1
#endif
#endif
#if defined(MINIHOST_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace minihost {
namespace {

constexpr unsigned char rowPaddingByte = 0xA5;

// Opaque magenta: what a world holds before anyone wrote it. One row is
// written pixel by pixel, the others are copies of it.
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
    if (world.height <= 0) return;
    unsigned char *first = world.storage.data();
    for (int x = 0; x < world.width; ++x)
        std::memcpy(first + static_cast<std::ptrdiff_t>(x) * size, pixel, static_cast<std::size_t>(size));
    const std::size_t rowSize = static_cast<std::size_t>(world.width) * static_cast<std::size_t>(size);
    for (int y = 1; y < world.height; ++y)
        std::memcpy(first + static_cast<std::ptrdiff_t>(y) * world.rowbytes, first, rowSize);
}

// Spare worlds of the host's own kept at most: a frame holds its output, the
// input layer's pixels and a "Layer" layer or two. Of the plug-in's: a render
// makes a frame-sized accumulation world and a small stamp world.
constexpr std::size_t maxSpareWorlds = 4;
constexpr std::size_t maxSparePluginWorlds = 2;

// The record handed out for a world: its pixels, padded rows and size, as
// the host made them (a record the plug-in changed is made anew on reuse).
void describeWorld(World &world) {
    PF_EffectWorld &def = world.def;
    def = PF_EffectWorld{};
    def.world_flags = PF_WorldFlag_WRITEABLE | (world.depth == Depth::Bits16 ? PF_WorldFlag_DEEP : 0);
    def.data = reinterpret_cast<PF_PixelPtr>(world.storage.data());
    def.rowbytes = world.rowbytes;
    def.width = world.width;
    def.height = world.height;
    def.extent_hint = {0, 0, world.width, world.height};
    def.pix_aspect_ratio = {1, 1};
}

std::unique_ptr<World> newWorld(int width, int height, Depth depth) {
    auto world = std::make_unique<World>();
    world->depth = depth;
    world->width = std::max(width, 0);
    world->height = std::max(height, 0);
    const int size = bytesPerPixel(depth);
    const std::size_t rowbytes =
        static_cast<std::size_t>(world->width + worldRowPadding) * static_cast<std::size_t>(size);
    world->rowbytes = static_cast<A_long>(rowbytes);
    // At least one row, so that even an empty world has a unique pixel address.
    world->storage.assign(rowbytes * static_cast<std::size_t>(std::max(world->height, 1)), rowPaddingByte);
    describeWorld(*world);
    return world;
}

void poisonPixels(World &world, bool poisoned) {
#if defined(MINIHOST_ASAN)
    if (poisoned) {
        ASAN_POISON_MEMORY_REGION(world.storage.data(), world.storage.size());
    } else {
        ASAN_UNPOISON_MEMORY_REGION(world.storage.data(), world.storage.size());
    }
#else
    (void)world, (void)poisoned;
#endif
}

void keepWorld(std::vector<KeptWorld> &spares, std::size_t most, std::unique_ptr<World> world) {
    if (spares.size() >= most) spares.erase(spares.begin());
    poisonPixels(*world, true);
    spares.emplace_back(world.release());
}

// The latest kept world of the size and depth, taken out of `spares` with a
// fresh record; null when none fits.
std::unique_ptr<World> takeWorld(std::vector<KeptWorld> &spares, int width, int height, Depth depth) {
    const auto fits = [&](const KeptWorld &spare) {
        return spare->depth == depth && spare->width == width && spare->height == height;
    };
    const auto spare = std::find_if(spares.rbegin(), spares.rend(), fits);
    if (spare == spares.rend()) return nullptr;
    std::unique_ptr<World> world(spare->release());
    spares.erase(std::next(spare).base());
    poisonPixels(*world, false);
    describeWorld(*world);
    return world;
}

void registerWorld(Host &host, std::unique_ptr<World> world) {
    const void *pixels = world->storage.data();
    host.internals->worlds.emplace(pixels, std::move(world));
}

}  // namespace

void KeptWorldDelete::operator()(World *world) const {
    poisonPixels(*world, false);
    delete world;
}

World &createWorld(Host &host, int width, int height, Depth depth, bool clear) {
    std::unique_ptr<World> world = takeWorld(host.internals->sparePluginWorlds, width, height, depth);
    if (!world) world = newWorld(width, height, depth);
    if (clear) {
        const std::size_t rowSize =
            static_cast<std::size_t>(world->width) * static_cast<std::size_t>(bytesPerPixel(depth));
        for (int y = 0; y < world->height; ++y)
            std::memset(world->storage.data() + static_cast<std::ptrdiff_t>(y) * world->rowbytes, 0, rowSize);
    } else {
        writeUnwritten(*world);
    }
    World &result = *world;
    registerWorld(host, std::move(world));
    return result;
}

World &hostWorld(Host &host, int width, int height, Depth depth, HostWorldPixels pixels) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    // The latest kept first: a frame takes its output before the input
    // layer's pixels and gives them back the other way round, so each world
    // keeps its part from frame to frame.
    std::unique_ptr<World> world = takeWorld(host.internals->spareWorlds, width, height, depth);
    if (world) {
        world->kept = true;
    } else {
        world = newWorld(width, height, depth);
    }
    if (pixels == HostWorldPixels::Unwritten) writeUnwritten(*world);
    World &result = *world;
    registerWorld(host, std::move(world));
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
    Host::Internals &internals = *host.internals;
    if (internals.lastWorld == &world) internals.lastWorld = nullptr;
    const auto found = internals.worlds.find(world.storage.data());
    if (found == internals.worlds.end()) return;
    // Kept for the next frame: no longer known to the plug-in, its pixels
    // stay allocated and touched.
    if (world.createdByPlugin) {
        keepWorld(internals.sparePluginWorlds, maxSparePluginWorlds, std::move(found->second));
    } else {
        keepWorld(internals.spareWorlds, maxSpareWorlds, std::move(found->second));
    }
    internals.worlds.erase(found);
}

bool worldDepth(const Host &host, const PF_EffectWorld &world, Depth &depth) {
    const World *known = findWorld(host, world.data);
    if (!known) return false;
    depth = known->depth;
    return true;
}

void copyWorldInto(const World &world, Image &image) {
    const std::size_t rowSize =
        static_cast<std::size_t>(world.width) * static_cast<std::size_t>(bytesPerPixel(world.depth));
    const std::size_t size = rowSize * static_cast<std::size_t>(world.height);
    image.width = world.width;
    image.height = world.height;
    image.depth = world.depth;
    const unsigned char *pixels = world.storage.data();
    if (image.data.size() == size) {
        for (int y = 0; y < world.height; ++y)
            std::memcpy(image.data.data() + rowSize * static_cast<std::size_t>(y),
                        pixels + std::ptrdiff_t{y} * world.rowbytes, rowSize);
        return;
    }
    // Appended row by row: a new buffer is not zeroed first.
    image.data.clear();
    image.data.reserve(size);
    for (int y = 0; y < world.height; ++y) {
        const unsigned char *row = pixels + std::ptrdiff_t{y} * world.rowbytes;
        image.data.insert(image.data.end(), row, row + rowSize);
    }
}

}  // namespace minihost
