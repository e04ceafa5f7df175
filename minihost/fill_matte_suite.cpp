// minihost's "PF Fill Matte Suite" 2: fills a world, or a rectangle of it,
// with one colour of the world's own depth.
#include <algorithm>
#include <cstring>

#include "hostapi/pf_suites.h"
#include "minihost/host_state.h"

namespace minihost {
namespace {

// The rectangle (right and bottom exclusive; null: the whole world) is
// clipped to the world. A colour of another depth than the world's is
// refused: the plug-in would be writing pixels of the wrong size; so is a
// world record that does not fit the host's world.
template <typename Pixel>
PF_Err fillRect(PF_ProgPtr ref, const char *function, Depth depth, const Pixel *color, const PF_Rect *rect,
                PF_EffectWorld *world) {
    if (!ref) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(ref);
    if (PF_Err err = enterCall(host, function)) return err;
    const World *known = knownWorld(host, world);
    if (!color || !known || known->depth != depth) return refused(host);
    const PF_Rect whole = {0, 0, world->width, world->height};
    const PF_Rect area = rect ? *rect : whole;
    const A_long left = std::max(area.left, A_long(0)), right = std::min(area.right, world->width);
    const A_long top = std::max(area.top, A_long(0)), bottom = std::min(area.bottom, world->height);
    for (A_long y = top; y < bottom; ++y) {
        Pixel *row = reinterpret_cast<Pixel *>(reinterpret_cast<unsigned char *>(world->data) +
                                               static_cast<std::ptrdiff_t>(y) * world->rowbytes);
        std::fill(row + left, row + std::max(right, left), *color);
    }
    return PF_Err_NONE;
}

PF_Err fill8(PF_ProgPtr ref, const PF_Pixel *color, const PF_Rect *rect, PF_EffectWorld *world) {
    return fillRect(ref, "FillMatte.fill", Depth::Bits8, color, rect, world);
}

PF_Err fill16(PF_ProgPtr ref, const PF_Pixel16 *color, const PF_Rect *rect, PF_EffectWorld *world) {
    return fillRect(ref, "FillMatte.fill16", Depth::Bits16, color, rect, world);
}

PF_Err fillFloat(PF_ProgPtr ref, const PF_PixelFloat *color, const PF_Rect *rect, PF_EffectWorld *world) {
    return fillRect(ref, "FillMatte.fill_float", Depth::Float, color, rect, world);
}

}  // namespace

const void *fillMatteSuite() {
    static const PF_FillMatteSuite2 suite = {fill8, fill16, fillFloat};
    return &suite;
}

}  // namespace minihost
