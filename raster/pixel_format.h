// The three pixel depths a render can run at, and a colour in their three forms.
#pragma once

#include "hostapi/hostapi.h"

enum PixelDepth { Depth8 = 0, Depth16 = 1, DepthFloat = 2 };

// Maps the host's pixel-format code; false for any other code ("badf" included).
bool pixelDepthFromFormat(PF_PixelFormat format, PixelDepth &depth);

// Row stride in pixels from a row length in bytes.
A_long rowPixels(A_long rowbytes, PixelDepth depth);

// One colour as each depth draws it; only the render's own depth is read.
struct PixelForms {
    PF_Pixel color8;
    PF_Pixel16 color16;  // channels 0..32768
    PF_PixelFloat colorF;
};
