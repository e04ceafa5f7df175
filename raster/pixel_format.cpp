// Pixel depth of a render from the host's pixel-format code, and row strides.
#include "raster/pixel_format.h"

bool pixelDepthFromFormat(PF_PixelFormat format, PixelDepth &depth) {
    if (format == PF_PixelFormat_ARGB128) {
        depth = DepthFloat;
    } else if (format == PF_PixelFormat_ARGB64) {
        depth = Depth16;
    } else if (format == PF_PixelFormat_ARGB32) {
        depth = Depth8;
    } else {
        return false;
    }
    return true;
}

A_long rowPixels(A_long rowbytes, PixelDepth depth) {
    // 4, 8 or 16 bytes per pixel.
    switch (depth) {
    case Depth16:
        return rowbytes >> 3;
    case DepthFloat:
        return rowbytes >> 4;
    case Depth8:
    default:
        return rowbytes >> 2;
    }
}
