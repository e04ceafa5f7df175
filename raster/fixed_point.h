// The number formats and tolerances of the effect's arithmetic, named once with
// their reasons: the host's 16.16 fixed point, the integer weights of the
// composites, the reciprocals that replace their divisions, and the margins
// that keep every shortcut of drawing on the safe side of the exact test.
#pragma once

#include <cstdint>

// ---- The host's 16.16 fixed point (angles, fixed sliders, HLS colours).

constexpr double kFixedOne = 65536.0;

// Real to 16.16, rounded half away from zero; the product by 65536 is exact.
constexpr int32_t toFixed16(double value) {
    return static_cast<int32_t>(value >= 0.0 ? value * kFixedOne + 0.5 : value * kFixedOne - 0.5);
}

constexpr double fromFixed16(int32_t value) { return value / kFixedOne; }

// ---- Integer composites.

// 8-bit over: the bottom keeps ((256 - top alpha) * bottom alpha) >> 8 of its
// weight. 256 rather than 255 keeps the product a shift; an opaque bottom
// still comes out opaque, since (256 - a) * 255 >> 8 is 255 - a.
constexpr int32_t kWeightBase8 = 256;
constexpr int kWeightShift8 = 8;

// 16-bit channels run 0..32768 (full intensity is 2^15), so the weights are a
// shift by 15.
constexpr uint32_t kFull16 = 32768;
constexpr int kWeightShift16 = 15;

// Division by an 8-bit alpha a (1..255) as a multiply: for every n up to
// 255 * a, (n * ceil(2^24 / a)) >> 24 equals n / a exactly, since
// ceil(2^24 / a) * a exceeds 2^24 by less than a and n * a < 2^24.
constexpr int kReciprocalShift8 = 24;

// 16-bit quotients through a double reciprocal: sums stay below 2^32 and
// quotients below 2^17, so the double quotient is within 2^-35 of the true
// one, while a true quotient that is not whole lies at least 1 / 32768 from
// a whole number. Adding 2^-20 before truncating lifts a whole quotient that
// came out a hair low, and moves no other across a whole number.
constexpr double kQuotientNudge16 = 0x1p-20;

// ---- Margins of the drawing shortcuts.

// A pixel is classed as full fill, pure stroke or empty from its squared
// distance only when it is so by a relative margin of 1e-9, a million times
// the rounding of the distances involved (about 1e-15 relative); pixels
// closer to a ring than that take the exact coverage.
constexpr double kClassMargin = 1e-9;
constexpr double kClassShrink = 1.0 - kClassMargin;
constexpr double kClassGrow = 1.0 + kClassMargin;

// Polygon row bounds are pulled in (interior) or pushed out (outer edge) by
// 1e-7 relative: they come from reciprocals of the edge normals, so they
// carry more rounding than the per-pixel classes.
constexpr double kSpanMargin = 1e-7;

// An edge normal whose x component is below this is treated as horizontal:
// its half-plane bounds no column of a row.
constexpr double kNormalEpsilon = 1e-12;

// Column bounds are clamped to +-1e12 before they become integers, far
// outside any frame and well inside int64_t.
constexpr double kColumnClamp = 1e12;

// A centre or half size beyond 1e9 pixels is off any frame; it is rejected
// before any integer of the drawing square is formed.
constexpr double kCoordinateLimit = 1e9;

// Drawing extents kept as whole pixels below 2^24, so that doubling them
// (the stamp bound) stays exact in 32 bits.
constexpr double kLargestExtent = 1 << 24;
