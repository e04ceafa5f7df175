// The utility callbacks of PF_InData: copy and fill of worlds, transfer of a
// rectangle with a transfer mode (transfer.cpp), host memory handles and the
// ANSI functions.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "minihost/area_average.h"
#include "minihost/host_state.h"

namespace minihost {
namespace {

PF_Rect wholeRect(const PF_EffectWorld &world) { return {0, 0, world.width, world.height}; }

// The pixels of a destination rectangle that lie inside its world.
struct Clip {
    A_long left, top, right, bottom;
};

// Destination pixel (i, j) of the W' x H' rectangle `to` becomes the area
// average of the W x H rectangle `from` over
// [i W / W', (i + 1) W / W') x [j H / H', (j + 1) H / H'), measured in units of
// 1 / W' and 1 / H' source pixel so that every weight is a whole number.
template <typename Pixel>
void scaleRect(const PF_EffectWorld &src, const PF_Rect &from, PF_EffectWorld &dst, const PF_Rect &to,
               const Clip &clip) {
    const std::int64_t fromWidth = std::int64_t{from.right} - from.left;
    const std::int64_t fromHeight = std::int64_t{from.bottom} - from.top;
    const std::int64_t toWidth = std::int64_t{to.right} - to.left, toHeight = std::int64_t{to.bottom} - to.top;
    // `from` lies inside the source world, so lo + fromSize <= (from end) x toSize fits 64 bits.
    auto span = [](A_long fromStart, std::int64_t fromSize, std::int64_t toSize, std::int64_t index, A_long size) {
        const std::int64_t lo = fromStart * toSize + index * fromSize;
        return axisSpan(lo, lo + fromSize, toSize, size);
    };
    std::vector<AxisSpan> columns;
    for (A_long x = clip.left; x < clip.right; ++x)
        columns.push_back(span(from.left, fromWidth, toWidth, std::int64_t{x} - to.left, src.width));
    for (A_long y = clip.top; y < clip.bottom; ++y) {
        const AxisSpan row = span(from.top, fromHeight, toHeight, std::int64_t{y} - to.top, src.height);
        Pixel *out = reinterpret_cast<Pixel *>(pixelAddress(dst, 0, y, sizeof(Pixel)));
        for (A_long x = clip.left; x < clip.right; ++x)
            out[x] = areaAverage<Pixel>(src, columns[static_cast<std::size_t>(x - clip.left)], row);
    }
}

// Copies src_r of src onto dst_r of dst (null rectangles: the whole world).
// Rectangles of one size copy every pixel as it is; rectangles of different
// sizes scale by the area average (scaleRect). An empty or inverted
// rectangle copies nothing; a source rectangle reaching outside its world is
// refused; the destination is clipped to its world. A copy within one world
// reads the source as it was before the call.
PF_Err copyCall(PF_ProgPtr effectRef, PF_EffectWorld *src, PF_EffectWorld *dst, PF_Rect *srcRect, PF_Rect *dstRect) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "copy")) return err;
    const ScopeClock clock{host.internals->frame.hostCallMs};
    const World *srcWorld = knownWorld(host, src), *dstWorld = knownWorld(host, dst);
    if (!srcWorld || !dstWorld) return refused(host);
    if (srcWorld->depth != dstWorld->depth) return PF_Err_BAD_CALLBACK_PARAM;
    const PF_Rect from = srcRect ? *srcRect : wholeRect(*src);
    const PF_Rect to = dstRect ? *dstRect : wholeRect(*dst);
    if (from.left >= from.right || from.top >= from.bottom || to.left >= to.right || to.top >= to.bottom)
        return PF_Err_NONE;
    if (from.left < 0 || from.top < 0 || from.right > src->width || from.bottom > src->height) return refused(host);
    const Clip clip = {std::max(to.left, A_long(0)), std::max(to.top, A_long(0)), std::min(to.right, dst->width),
                       std::min(to.bottom, dst->height)};
    if (clip.left >= clip.right || clip.top >= clip.bottom) return PF_Err_NONE;

    PF_EffectWorld source = *src;
    std::vector<unsigned char> before;
    if (src->data == dst->data) {
        const auto *pixels = reinterpret_cast<const unsigned char *>(src->data);
        before.assign(pixels, pixels + static_cast<std::size_t>(src->rowbytes) * static_cast<std::size_t>(src->height));
        source.data = reinterpret_cast<PF_PixelPtr>(before.data());
    }
    const int size = bytesPerPixel(srcWorld->depth);
    if (std::int64_t{from.right} - from.left == std::int64_t{to.right} - to.left &&
        std::int64_t{from.bottom} - from.top == std::int64_t{to.bottom} - to.top) {
        const A_long x = static_cast<A_long>(from.left + (std::int64_t{clip.left} - to.left));
        const std::size_t rowSize = static_cast<std::size_t>(clip.right - clip.left) * static_cast<std::size_t>(size);
        for (A_long y = clip.top; y < clip.bottom; ++y)
            std::memcpy(pixelAddress(*dst, clip.left, y, size),
                        pixelAddress(source, x, static_cast<A_long>(from.top + (std::int64_t{y} - to.top)), size),
                        rowSize);
        return PF_Err_NONE;
    }
    switch (srcWorld->depth) {
    case Depth::Bits8:
        scaleRect<PF_Pixel>(source, from, *dst, to, clip);
        break;
    case Depth::Bits16:
        scaleRect<PF_Pixel16>(source, from, *dst, to, clip);
        break;
    case Depth::Float:
        scaleRect<PF_PixelFloat>(source, from, *dst, to, clip);
        break;
    }
    return PF_Err_NONE;
}

// Fills a rectangle (null: the whole world) with an 8-bit colour converted to
// the world's depth; a null colour is transparent black.
PF_Err fillCall(PF_ProgPtr effectRef, const PF_Pixel *color, const PF_Rect *rect, PF_EffectWorld *world) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "fill")) return err;
    const ScopeClock clock{host.internals->frame.hostCallMs};
    const World *known = knownWorld(host, world);
    if (!known) return refused(host);
    const Depth depth = known->depth;
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
