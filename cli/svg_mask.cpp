// SVG documents read with pugixml for scene masks: the element found by id,
// basic shapes written as the path data they stand for, transforms gathered
// from the element up to the root.
#include "cli/svg_mask.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "cli/printed.h"
#include "cli/svg_path.h"

namespace pathbloom {

namespace {

[[noreturn]] void fail(SvgPart part, const std::string &what) { throw SvgFault{part, what}; }

std::string localName(const pugi::xml_node &node) {
    const char *name = node.name();
    const char *colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

std::string tagOf(const pugi::xml_node &node) { return "<" + localName(node) + ">"; }

std::string trimmed(const std::string &text) {
    const char *space = " \t\n\r\f";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

bool endsWith(const std::string &text, const char *end) {
    const size_t length = std::strlen(end);
    return text.size() >= length && text.compare(text.size() - length, length, end) == 0;
}

// One number, true when `text` is exactly that.
bool singleNumber(const std::string &text, double &value) {
    std::vector<double> numbers;
    std::string error;
    if (!parseSvgNumbers(text, numbers, error) || numbers.size() != 1) return false;
    value = numbers[0];
    return true;
}

// A shape's coordinate or size in user units: a number, "px" allowed.
double userLength(const pugi::xml_node &node, const char *name, double fallback) {
    const pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) return fallback;
    std::string text = trimmed(attribute.value());
    if (endsWith(text, "px")) text.resize(text.size() - 2);
    double value = 0;
    if (!singleNumber(text, value))
        fail(SvgPart::element, tagOf(node) + " " + name + ": expected a number of user units (px allowed)");
    return value;
}

// An optional radius that "auto" or absence leaves to the other one; -1 when
// neither is given.
double radiusOr(const pugi::xml_node &node, const char *name) {
    const pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute || trimmed(attribute.value()) == "auto") return -1;
    const double value = userLength(node, name, 0);
    if (value < 0) fail(SvgPart::element, tagOf(node) + " " + name + " is negative");
    return value;
}

std::string written(double value) { return printed("%.17g", value); }

std::string arcTo(double rx, double ry, double x, double y) {
    return "A" + written(rx) + " " + written(ry) + " 0 0 1 " + written(x) + " " + written(y);
}

// An ellipse as four quarter arcs clockwise on screen from its rightmost point.
std::string ellipseData(double cx, double cy, double rx, double ry) {
    return "M" + written(cx + rx) + " " + written(cy) + arcTo(rx, ry, cx, cy + ry) + arcTo(rx, ry, cx - rx, cy) +
           arcTo(rx, ry, cx, cy - ry) + arcTo(rx, ry, cx + rx, cy) + "Z";
}

// A rectangle from its top left clockwise on screen; rounded corners are
// quarter arcs, sides of no length between them left out.
std::string rectData(const pugi::xml_node &node) {
    const double x = userLength(node, "x", 0), y = userLength(node, "y", 0);
    const double w = userLength(node, "width", 0), h = userLength(node, "height", 0);
    if (!(w > 0 && h > 0)) fail(SvgPart::element, "<rect> has no area: width and height must be above 0");
    double rx = radiusOr(node, "rx"), ry = radiusOr(node, "ry");
    if (rx < 0) rx = ry < 0 ? 0 : ry;
    if (ry < 0) ry = rx;
    rx = std::min(rx, w / 2);
    ry = std::min(ry, h / 2);
    if (rx == 0 || ry == 0)
        return "M" + written(x) + " " + written(y) + "H" + written(x + w) + "V" + written(y + h) + "H" + written(x) +
               "Z";
    const bool sidesX = 2 * rx < w, sidesY = 2 * ry < h;
    std::string d = "M" + written(x + rx) + " " + written(y);
    if (sidesX) d += "H" + written(x + w - rx);
    d += arcTo(rx, ry, x + w, y + ry);
    if (sidesY) d += "V" + written(y + h - ry);
    d += arcTo(rx, ry, x + w - rx, y + h);
    if (sidesX) d += "H" + written(x + rx);
    d += arcTo(rx, ry, x, y + h - ry);
    if (sidesY) d += "V" + written(y + ry);
    return d + arcTo(rx, ry, x + rx, y) + "Z";
}

std::vector<SvgSubpath> elementSubpaths(const pugi::xml_node &node) {
    const std::string kind = localName(node);
    const std::string tag = tagOf(node);
    std::string d;
    if (kind == "path") {
        if (!node.attribute("d")) fail(SvgPart::element, "<path> has no \"d\"");
        d = node.attribute("d").value();
    } else if (kind == "polygon" || kind == "polyline") {
        std::vector<double> numbers;
        std::string error;
        if (!parseSvgNumbers(node.attribute("points").value(), numbers, error))
            fail(SvgPart::element, tag + " points: " + error);
        if (numbers.empty() || numbers.size() % 2)
            fail(SvgPart::element,
                 tag + " points: expected pairs of numbers, got " + std::to_string(numbers.size()) + " numbers");
        SvgSubpath subpath;
        subpath.startX = numbers[0];
        subpath.startY = numbers[1];
        for (size_t i = 2; i < numbers.size(); i += 2) {
            const double x = numbers[i], y = numbers[i + 1];
            const double fromX = subpath.segments.empty() ? subpath.startX : subpath.segments.back().x;
            const double fromY = subpath.segments.empty() ? subpath.startY : subpath.segments.back().y;
            subpath.segments.push_back(SvgCubic{fromX, fromY, x, y, x, y});
        }
        subpath.closed = kind == "polygon";
        return {subpath};
    } else if (kind == "line") {
        SvgSubpath subpath;
        subpath.startX = userLength(node, "x1", 0);
        subpath.startY = userLength(node, "y1", 0);
        const double x = userLength(node, "x2", 0), y = userLength(node, "y2", 0);
        subpath.segments.push_back(SvgCubic{subpath.startX, subpath.startY, x, y, x, y});
        return {subpath};
    } else if (kind == "rect") {
        d = rectData(node);
    } else if (kind == "circle" || kind == "ellipse") {
        double rx = 0, ry = 0;
        if (kind == "circle") {
            rx = ry = userLength(node, "r", 0);
        } else {
            rx = radiusOr(node, "rx");
            ry = radiusOr(node, "ry");
            if (rx < 0) rx = ry;
            if (ry < 0) ry = rx;
        }
        if (!(rx > 0 && ry > 0)) fail(SvgPart::element, tag + " has no area: its radii must be above 0");
        d = ellipseData(userLength(node, "cx", 0), userLength(node, "cy", 0), rx, ry);
    } else {
        fail(SvgPart::element, "is a " + tag + ", not a path, polygon, polyline, rect, circle, ellipse or line");
    }
    std::vector<SvgSubpath> subpaths;
    std::string error;
    if (!parseSvgPath(d, subpaths, error)) fail(SvgPart::element, tag + " d: " + error);
    return subpaths;
}

SvgAffine transformOf(const pugi::xml_node &node) {
    SvgAffine transform;
    std::string error;
    if (node.attribute("transform") && !parseSvgTransform(node.attribute("transform").value(), transform, error))
        fail(SvgPart::element, tagOf(node) + " transform: " + error);
    return transform;
}

// The root's width or height in pixels; NaN when absent or a percentage
// (of a viewport that a scene does not have).
double rootLength(const pugi::xml_node &root, const char *name) {
    const pugi::xml_attribute attribute = root.attribute(name);
    if (!attribute) return NAN;
    std::string text = trimmed(attribute.value());
    if (endsWith(text, "%") || text == "auto") return NAN;
    struct Unit {
        const char *suffix;
        double pixels;
    };
    static const Unit units[] = {{"px", 1},         {"in", 96},        {"cm", 96 / 2.54},
                                 {"mm", 96 / 25.4}, {"pt", 96.0 / 72}, {"pc", 16}};
    double scale = 1;
    for (const Unit &unit : units)
        if (endsWith(text, unit.suffix)) {
            text.resize(text.size() - 2);
            scale = unit.pixels;
        }
    double value = 0;
    if (!singleNumber(text, value))
        fail(SvgPart::document,
             std::string("<svg> ") + name + ": expected a length (a number, px, in, cm, mm, pt, pc or %)");
    if (!(value > 0)) fail(SvgPart::document, std::string("<svg> ") + name + " must be above 0");
    return value * scale;
}

// The root's viewBox onto its width and height, as preserveAspectRatio
// places it; nothing without a viewBox or either size.
SvgAffine viewBoxMap(const pugi::xml_node &root) {
    if (!root.attribute("viewBox")) return SvgAffine{};
    std::vector<double> box;
    std::string error;
    if (!parseSvgNumbers(root.attribute("viewBox").value(), box, error) || box.size() != 4 || !(box[2] > 0) ||
        !(box[3] > 0))
        fail(SvgPart::document, "<svg> viewBox: expected min-x, min-y, width and height, the sizes above 0");
    const double width = rootLength(root, "width"), height = rootLength(root, "height");
    if (std::isnan(width) || std::isnan(height)) return SvgAffine{};
    std::istringstream words(root.attribute("preserveAspectRatio").value());
    std::string align = "xMidYMid", fit = "meet", word, extra;
    words >> word;
    if (word == "defer") words >> word;
    if (!word.empty()) align = word;
    words >> fit >> extra;
    const char *places[] = {"Min", "Mid", "Max"};
    double alignX = -1, alignY = -1;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (align == std::string("x") + places[i] + "Y" + places[j]) {
                alignX = i / 2.0;
                alignY = j / 2.0;
            }
    if ((align != "none" && alignX < 0) || (fit != "meet" && fit != "slice") || !extra.empty())
        fail(SvgPart::document, "<svg> preserveAspectRatio: expected none or xMinYMin..xMaxYMax, then meet or slice");
    double sx = width / box[2], sy = height / box[3];
    if (align != "none") {
        sx = sy = fit == "meet" ? std::min(sx, sy) : std::max(sx, sy);
    } else {
        alignX = alignY = 0;
    }
    return SvgAffine{
        sx, 0, 0, sy, -box[0] * sx + (width - box[2] * sx) * alignX, -box[1] * sy + (height - box[3] * sy) * alignY};
}

// User units of `element` to scene pixels: its transform, then each
// ancestor's, then the viewBox, then the root's own transform.
SvgAffine placement(const pugi::xml_node &element, const pugi::xml_node &root) {
    SvgAffine m;
    for (pugi::xml_node node = element; node != root; node = node.parent()) m = svgCompose(transformOf(node), m);
    return svgCompose(transformOf(root), svgCompose(viewBoxMap(root), m));
}

bool finite(const minihost::Mask &mask) {
    for (const minihost::MaskVertex &v : mask.vertices)
        for (double value : {v.x, v.y, v.inX, v.inY, v.outX, v.outY})
            if (!std::isfinite(value)) return false;
    return true;
}

void readMask(const std::string &text, const std::string &id, long long subpath, minihost::Mask &mask) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
    if (!parsed)
        fail(SvgPart::document, std::string("is not well-formed XML: ") + parsed.description() + " at byte " +
                                    std::to_string(parsed.offset));
    const pugi::xml_node root = document.document_element();
    if (localName(root) != "svg") fail(SvgPart::document, "has no <svg> root element");
    const pugi::xml_node element = document.find_node([&](const pugi::xml_node &node) {
        return node.type() == pugi::node_element && node.attribute("id") && id == node.attribute("id").value();
    });
    if (!element) fail(SvgPart::element, "no element has that id");
    const std::vector<SvgSubpath> subpaths = elementSubpaths(element);
    const std::string tag = tagOf(element);
    if (subpaths.empty()) fail(SvgPart::element, tag + " has no path data");
    const size_t count = subpaths.size();
    if (subpath < 0 || size_t(subpath) >= count)
        fail(SvgPart::subpath, std::to_string(subpath) + " is outside 0.." + std::to_string(count - 1) + ": the " +
                                   tag + " has " + std::to_string(count) + (count == 1 ? " subpath" : " subpaths"));
    std::string error;
    if (!svgSubpathMask(subpaths[size_t(subpath)], mask, error))
        fail(SvgPart::element, "subpath " + std::to_string(subpath) + " of the " + tag + " " + error);
    transformMask(mask, placement(element, root));
    if (!finite(mask)) fail(SvgPart::element, "the " + tag + "'s coordinates overflow once transformed");
}

}  // namespace

bool svgDocumentMask(const std::string &text, const std::string &id, long long subpath, minihost::Mask &mask,
                     SvgFault &fault) {
    try {
        minihost::Mask result;
        readMask(text, id, subpath, result);
        mask = std::move(result);
    } catch (const SvgFault &thrown) {
        fault = thrown;
        return false;
    }
    return true;
}

bool readSvgMask(const std::string &path, const std::string &id, long long subpath, minihost::Mask &mask,
                 SvgFault &fault) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        fault = SvgFault{SvgPart::document, "cannot open the SVG file " + path};
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    return svgDocumentMask(text.str(), id, subpath, mask, fault);
}

}  // namespace pathbloom
