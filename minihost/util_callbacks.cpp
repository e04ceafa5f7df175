// The utility callbacks of PF_InData: copy and fill of worlds, transfer of a
// rectangle with a transfer mode (transfer.cpp), host memory handles and the
// ANSI functions.
#include <algorithm>
#include <cstring>
#include <vector>

#include "minihost/host_state.h"

namespace minihost {
namespace {

PF_Rect wholeRect(const PF_EffectWorld &world) { return {0, 0, world.width, world.height}; }

// Copies src_r of src onto dst_r of dst, scaling by nearest neighbour when the
// rectangles differ in size (pixel centres map to the nearest source pixel);
// null rectangles mean the whole world.
PF_Err copyCall(PF_ProgPtr effectRef, PF_EffectWorld *src, PF_EffectWorld *dst, PF_Rect *srcRect, PF_Rect *dstRect) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "copy")) return err;
    Depth srcDepth, dstDepth;
    if (!src || !dst || !worldDepth(host, *src, srcDepth) || !worldDepth(host, *dst, dstDepth)) return refused(host);
    if (srcDepth != dstDepth) return PF_Err_BAD_CALLBACK_PARAM;
    const PF_Rect from = srcRect ? *srcRect : wholeRect(*src);
    const PF_Rect to = dstRect ? *dstRect : wholeRect(*dst);
    const long fromWidth = long(from.right) - from.left, fromHeight = long(from.bottom) - from.top;
    const long toWidth = long(to.right) - to.left, toHeight = long(to.bottom) - to.top;
    if (fromWidth <= 0 || fromHeight <= 0 || toWidth <= 0 || toHeight <= 0) return PF_Err_NONE;
    const int size = bytesPerPixel(srcDepth);
    const long top = std::max<long>(to.top, 0), bottom = std::min<long>(to.bottom, dst->height);
    const long left = std::max<long>(to.left, 0), right = std::min<long>(to.right, dst->width);
    for (long y = top; y < bottom; ++y) {
        const long sy = from.top + ((2 * (y - to.top) + 1) * fromHeight) / (2 * toHeight);
        if (sy < 0 || sy >= src->height) continue;
        for (long x = left; x < right; ++x) {
            const long sx = from.left + ((2 * (x - to.left) + 1) * fromWidth) / (2 * toWidth);
            if (sx < 0 || sx >= src->width) continue;
            std::memmove(pixelAddress(*dst, int(x), int(y), size), pixelAddress(*src, int(sx), int(sy), size),
                         static_cast<std::size_t>(size));
        }
    }
    return PF_Err_NONE;
}

// Fills a rectangle (null: the whole world) with an 8-bit colour converted to
// the world's depth; a null colour is transparent black.
PF_Err fillCall(PF_ProgPtr effectRef, const PF_Pixel *color, const PF_Rect *rect, PF_EffectWorld *world) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "fill")) return err;
    Depth depth;
    if (!world || !worldDepth(host, *world, depth)) return refused(host);
    const PF_Pixel c = color ? *color : PF_Pixel{0, 0, 0, 0};
    const Image one = solidImage(1, 1, c, depth);
    const int size = bytesPerPixel(depth);
    const PF_Rect area = rect ? *rect : wholeRect(*world);
    const long top = std::max<long>(area.top, 0), bottom = std::min<long>(area.bottom, world->height);
    const long left = std::max<long>(area.left, 0), right = std::min<long>(area.right, world->width);
    if (left >= right || top >= bottom) return PF_Err_NONE;
    // One row of the colour, copied into every row of the rectangle.
    std::vector<uint8_t> row(static_cast<std::size_t>(right - left) * static_cast<std::size_t>(size));
    for (std::size_t at = 0; at < row.size(); at += static_cast<std::size_t>(size))
        std::memcpy(row.data() + at, one.data.data(), static_cast<std::size_t>(size));
    for (long y = top; y < bottom; ++y)
        std::memcpy(pixelAddress(*world, int(left), int(y), size), row.data(), row.size());
    return PF_Err_NONE;
}

}  // namespace

PF_UtilCallbacks utilCallbacks() {
    return {copyCall,         fillCall,          transferRect,      hostNewHandle,  hostLockHandle,
            hostUnlockHandle, hostDisposeHandle, hostGetHandleSize, ansiCallbacks()};
}

}  // namespace minihost
