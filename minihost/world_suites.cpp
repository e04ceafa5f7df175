// "PF World Suite" 1 (8 and 16 bits by flags) and 2 (any pixel format): worlds
// the plug-in creates and disposes of, and the pixel format of any world.
#include <algorithm>
#include <cstddef>
#include <limits>
#include <new>
#include <string>

#include "minihost/host_state.h"

namespace minihost {
namespace {

std::string sizeDetail(A_long width, A_long height) { return std::to_string(width) + "x" + std::to_string(height); }

// Whether a world's rows fit the A_long rowbytes of PF_EffectWorld and its
// pixels one allocation: beyond that sizes would wrap around.
bool addressable(A_long width, A_long height, Depth depth) {
    const double rowbytes = (static_cast<double>(width) + worldRowPadding) * bytesPerPixel(depth);
    return rowbytes <= std::numeric_limits<A_long>::max() &&
           rowbytes * std::max<A_long>(height, 1) <= static_cast<double>(std::numeric_limits<std::ptrdiff_t>::max());
}

PF_Err newWorld(Host &host, A_long width, A_long height, Depth depth, bool clear, int version, PF_EffectWorld *world) {
    if (!world || width < 0 || height < 0) return refused(host);
    if (!addressable(width, height, depth)) return PF_Err_OUT_OF_MEMORY;
    const ScopeClock clock{host.internals->frame.hostCallMs};
    World *made = nullptr;
    try {
        made = &createWorld(host, width, height, depth, clear);
    } catch (const std::bad_alloc &) {
        return PF_Err_OUT_OF_MEMORY;
    }
    made->createdByPlugin = true;
    made->suiteVersion = version;
    *world = made->def;
    ++host.ledger.worlds;
    return PF_Err_NONE;
}

PF_Err disposeWorld(Host &host, PF_EffectWorld *world) {
    World *known = world ? findWorld(host, world->data) : nullptr;
    if (!known || !known->createdByPlugin) return refused(host);
    destroyWorld(host, *known);
    --host.ledger.worlds;
    *world = PF_EffectWorld{};
    return PF_Err_NONE;
}

PF_Err newWorld1(PF_ProgPtr effectRef, A_long width, A_long height, A_long flags, PF_EffectWorld *world) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "new_world", sizeDetail(width, height) + " flags " + std::to_string(flags)))
        return err;
    const Depth depth = (flags & PF_NewWorldFlag_DEEP_PIXELS) ? Depth::Bits16 : Depth::Bits8;
    return newWorld(host, width, height, depth, (flags & PF_NewWorldFlag_CLEAR_PIXELS) != 0, 1, world);
}

PF_Err disposeWorld1(PF_ProgPtr effectRef, PF_EffectWorld *world) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "dispose_world")) return err;
    return disposeWorld(host, world);
}

PF_Err newWorld2(PF_ProgPtr effectRef, A_long width, A_long height, PF_Boolean clear, PF_PixelFormat format,
                 PF_EffectWorld *world) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err =
            enterCall(host, "PF_NewWorld", sizeDetail(width, height) + " clear " + std::to_string(int(clear))))
        return err;
    Depth depth;
    switch (format) {
    case PF_PixelFormat_ARGB32:
        depth = Depth::Bits8;
        break;
    case PF_PixelFormat_ARGB64:
        depth = Depth::Bits16;
        break;
    case PF_PixelFormat_ARGB128:
        depth = Depth::Float;
        break;
    default:
        return refused(host);
    }
    return newWorld(host, width, height, depth, clear != 0, 2, world);
}

PF_Err disposeWorld2(PF_ProgPtr effectRef, PF_EffectWorld *world) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "PF_DisposeWorld")) return err;
    return disposeWorld(host, world);
}

PF_Err getPixelFormat(const PF_EffectWorld *world, PF_PixelFormat *format) {
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "PF_GetPixelFormat")) return err;
    Depth depth;
    if (!world || !format || !worldDepth(host, *world, depth)) return refused(host);
    *format = pixelFormatOf(depth);
    return PF_Err_NONE;
}

}  // namespace

const void *worldSuite1() {
    static const PF_WorldSuite1 suite = {newWorld1, disposeWorld1};
    return &suite;
}

const void *worldSuite2() {
    static const PF_WorldSuite2 suite = {newWorld2, disposeWorld2, getPixelFormat};
    return &suite;
}

}  // namespace minihost
