// Masks read from SVG documents: one element's outline (a path or a basic
// shape) with its transforms and the root's viewBox, in scene pixels.
#pragma once

#include <string>

#include "minihost/minihost.h"

namespace pathbloom {

// Which part of the request a fault is about: the document, the element
// (its id, kind or attributes) or the subpath number.
enum class SvgPart { document, element, subpath };

struct SvgFault {
    SvgPart part = SvgPart::document;
    std::string what;
};

// Subpath `subpath` (0-based) of the element whose id is `id` in the SVG
// document `text`: a <path>, <polygon>, <polyline>, <rect>, <circle>,
// <ellipse> or <line>, mapped by its own and its ancestors' `transform` and
// by the root <svg>'s viewBox onto its width and height when all are given.
// False with `fault` saying what is wrong.
bool svgDocumentMask(const std::string &text, const std::string &id, long long subpath, minihost::Mask &mask,
                     SvgFault &fault);

// The same for the SVG file at `path`.
bool readSvgMask(const std::string &path, const std::string &id, long long subpath, minihost::Mask &mask,
                 SvgFault &fault);

}  // namespace pathbloom
