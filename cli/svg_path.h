// SVG path data and transform lists read into cubic Bézier outlines, and an
// outline made a mask: pure functions of the text, no document involved.
#pragma once

#include <string>
#include <vector>

#include "minihost/minihost.h"

namespace pathbloom {

// One cubic segment from the current point: first and second control points
// and the end point.
struct SvgCubic {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0, x = 0, y = 0;
};

// One subpath: from a moveto to the next moveto or the end. Lines are cubics
// whose control points are their end points; quadratics are the cubics equal
// to them; arcs are cubics of at most 90 degrees each.
struct SvgSubpath {
    double startX = 0, startY = 0;
    std::vector<SvgCubic> segments;
    bool closed = false;  // ended by Z or z
};

// Reads the path data of a `d` attribute: every command of M m L l H h V v
// C c S s Q q T t A a Z z, in any number form the grammar allows. False with
// `error` saying where (1-based character) and what was expected, e.g.
// "at character 9: expected a number, found \"x\"".
bool parseSvgPath(const std::string &d, std::vector<SvgSubpath> &subpaths, std::string &error);

// Reads a list of numbers separated by whitespace and/or commas (the
// `points` of a polygon, a viewBox). False with an error as parseSvgPath's.
bool parseSvgNumbers(const std::string &text, std::vector<double> &numbers, std::string &error);

// An affine map: x' = a x + c y + e, y' = b x + d y + f (SVG's matrix order).
struct SvgAffine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
};

// outer after inner: the map that applies `inner` first.
SvgAffine svgCompose(const SvgAffine &outer, const SvgAffine &inner);

// Reads a `transform` attribute: matrix, translate, scale, rotate (with and
// without centre), skewX and skewY, in a list applied right to left. Angles
// in degrees. False with an error as parseSvgPath's.
bool parseSvgTransform(const std::string &text, SvgAffine &transform, std::string &error);

// The mask of one subpath: each segment's first control point is its start
// vertex's out tangent, its second its end vertex's in tangent. A closed
// subpath whose last point equals its first keeps one vertex there, with the
// last segment's in tangent. False (with `error`) for a subpath of no
// segments.
bool svgSubpathMask(const SvgSubpath &subpath, minihost::Mask &mask, std::string &error);

// Points mapped by `transform`, tangents by its linear part.
void transformMask(minihost::Mask &mask, const SvgAffine &transform);

}  // namespace pathbloom
