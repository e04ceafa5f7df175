// Scene file reader: JSON to a Scene, every value checked against the
// plug-in's registered parameter definitions before anything renders.
#include "cli/scene.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "cli/image_io.h"
#include "cli/printed.h"
#ifndef PATHBLOOM_NO_SVG_MASKS
#include "cli/svg_mask.h"
#endif
#include "minihost/area_average.h"

namespace pathbloom {

using nlohmann::json;

namespace {

// A fault in the scene: `field` is where ("params.\"Start\""), `what` is
// what is wrong with it.
struct SceneError {
    std::string field;
    std::string what;
};

[[noreturn]] void fail(const std::string &field, const std::string &what) { throw SceneError{field, what}; }

// Messages show values and names cut to about 60 characters, and lists and
// objects nested past the third level as [...] and {...}: a long or deep
// value in the file makes neither a long message nor a deep recursion.
constexpr size_t shownLength = 60;
constexpr int shownDepth = 3;

// `text` cut to at most `length` bytes with "..." at the end, never inside a
// UTF-8 sequence.
std::string shortened(const std::string &text, size_t length = shownLength) {
    if (text.size() <= length) return text;
    size_t end = length - 3;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80) --end;
    return text.substr(0, end) + "...";
}

std::string quoted(const std::string &text) {
    return json(text.substr(0, shownLength + 1)).dump(-1, ' ', false, json::error_handler_t::replace);
}

void summarize(const json &value, int depth, std::string &out) {
    if (out.size() > shownLength) return;
    if (value.is_string()) {
        out += quoted(value.get_ref<const std::string &>());
        return;
    }
    if (!value.is_array() && !value.is_object()) {
        out += value.dump();
        return;
    }
    const bool list = value.is_array();
    if (value.empty() || depth >= shownDepth) {
        out += list ? (value.empty() ? "[]" : "[...]") : (value.empty() ? "{}" : "{...}");
        return;
    }
    out += list ? '[' : '{';
    for (auto item = value.begin(); item != value.end() && out.size() <= shownLength; ++item) {
        if (item != value.begin()) out += ',';
        if (!list) out += quoted(item.key()) + ":";
        summarize(item.value(), depth + 1, out);
    }
    out += list ? ']' : '}';
}

std::string shown(const json &value) {
    std::string text;
    summarize(value, 0, text);
    return shortened(text);
}

std::string number(double value) { return printed("%.10g", value); }

std::string typeName(const json &value) {
    if (value.is_null()) return "null";
    if (value.is_boolean()) return "a boolean";
    if (value.is_number()) return "a number";
    if (value.is_string()) return "a string";
    if (value.is_array()) return "a list";
    return "an object";
}

[[noreturn]] void wrongType(const std::string &field, const std::string &expected, const json &value) {
    fail(field, "expected " + expected + ", got " + typeName(value) + " " + shown(value));
}

void allowOnly(const json &object, const std::string &field, const std::set<std::string> &known) {
    for (auto item = object.begin(); item != object.end(); ++item) {
        if (item.key() == "comment" || known.count(item.key())) continue;
        const std::string name = shortened(item.key());
        fail(field.empty() ? name : field + "." + name, "unknown field");
    }
}

double readNumber(const json &value, const std::string &field) {
    if (!value.is_number()) wrongType(field, "a number", value);
    const double result = value.get<double>();
    if (!std::isfinite(result)) fail(field, "is not a finite number");
    return result;
}

long long readInteger(const json &value, const std::string &field) {
    if (!value.is_number()) wrongType(field, "an integer", value);
    const double result = value.get<double>();
    if (value.is_number_float() && (!std::isfinite(result) || result != std::floor(result)))
        fail(field, shown(value) + " is not an integer");
    if (result < -2147483648.0 || result > 2147483647.0) fail(field, shown(value) + " is too large");
    return value.is_number_float() ? static_cast<long long>(result) : value.get<long long>();
}

long long readIntegerIn(const json &value, const std::string &field, long long low, long long high) {
    const long long result = readInteger(value, field);
    if (result < low || result > high)
        fail(field, shown(value) + " is outside " + std::to_string(low) + ".." + std::to_string(high));
    return result;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

PF_Pixel readColor(const json &value, const std::string &field) {
    PF_Pixel color{};
    if (value.is_string()) {
        if (!parseHexColor(value.get<std::string>(), color))
            fail(field, shown(value) + " is not a colour (\"#rrggbb\" or \"#rrggbbaa\")");
        return color;
    }
    if (!value.is_array() || (value.size() != 3 && value.size() != 4))
        wrongType(field, "a colour (\"#rrggbb\", \"#rrggbbaa\", [r,g,b] or [r,g,b,a])", value);
    int channels[4] = {0, 0, 0, 255};
    for (size_t c = 0; c < value.size(); ++c)
        channels[c] = int(readIntegerIn(value[c], field + "[" + std::to_string(c) + "]", 0, 255));
    color.red = A_u_char(channels[0]);
    color.green = A_u_char(channels[1]);
    color.blue = A_u_char(channels[2]);
    color.alpha = A_u_char(channels[3]);
    return color;
}

std::string joinPath(const std::string &folder, const std::string &file) {
    if (file.empty() || file[0] == '/' || folder.empty()) return file;
    return folder + "/" + file;
}

minihost::Image readImageFile(const json &value, const std::string &field, const std::string &folder) {
    if (!value.is_string()) wrongType(field, "a PNG or EXR file name", value);
    const std::string &name = value.get_ref<const std::string &>();
    // The C library would read the name only up to the NUL.
    if (name.find('\0') != std::string::npos) fail(field, "contains a NUL character");
    std::string extension = name.size() >= 4 ? name.substr(name.size() - 4) : "";
    for (char &c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    minihost::Image image;
    std::string error;
    const std::string path = joinPath(folder, name);
    if (!(extension == ".exr" ? readExr(path, image, error) : readPng(path, image, error))) fail(field, error);
    return image;
}

void checkRange(double value, double low, double high, const std::string &field, const json &shownValue) {
    if (value < low || value > high)
        fail(field, shown(shownValue) + " is outside " + number(low) + ".." + number(high));
}

// Everything a parameter value may refer to besides its own definition.
struct ValueContext {
    const PF_ParamDef *def;
    const Scene *scene;
};

minihost::ParamValue readValue(const json &value, const std::string &field, const ValueContext &context) {
    const PF_ParamDef &def = *context.def;
    minihost::ParamValue result;
    switch (def.param_type) {
    case PF_Param_SLIDER: {
        const long long v = readInteger(value, field);
        checkRange(double(v), def.u.sd.valid_min, def.u.sd.valid_max, field, value);
        result.number = double(v);
        break;
    }
    case PF_Param_FIX_SLIDER: {
        const double v = readNumber(value, field);
        checkRange(v, def.u.fd.valid_min / 65536.0, def.u.fd.valid_max / 65536.0, field, value);
        result.number = v;
        break;
    }
    case PF_Param_FLOAT_SLIDER: {
        const double v = readNumber(value, field);
        checkRange(v, def.u.fs_d.valid_min, def.u.fs_d.valid_max, field, value);
        result.number = v;
        break;
    }
    case PF_Param_ANGLE: {
        const double v = readNumber(value, field);
        // An angle with an empty valid range takes any number of degrees the
        // host's 16.16 fixed point holds.
        if (def.u.ad.valid_min != def.u.ad.valid_max)
            checkRange(v, def.u.ad.valid_min / 65536.0, def.u.ad.valid_max / 65536.0, field, value);
        else
            checkRange(v, std::numeric_limits<PF_Fixed>::min() / 65536.0,
                       std::numeric_limits<PF_Fixed>::max() / 65536.0, field, value);
        result.number = v;
        break;
    }
    case PF_Param_CHECKBOX:
        if (!value.is_boolean()) wrongType(field, "true or false", value);
        result.number = value.get<bool>() ? 1 : 0;
        break;
    case PF_Param_POPUP: {
        const std::vector<std::string> choices = popupChoices(def);
        if (value.is_string()) {
            const auto found = std::find(choices.begin(), choices.end(), value.get<std::string>());
            if (found == choices.end()) {
                std::string list;
                for (const std::string &choice : choices) list += (list.empty() ? "" : ", ") + quoted(choice);
                fail(field, shown(value) + " is not one of " + list);
            }
            result.number = double(found - choices.begin() + 1);
        } else if (value.is_number()) {
            result.number = double(readIntegerIn(value, field, 1, def.u.pd.num_choices));
        } else {
            wrongType(field, "a choice name or number", value);
        }
        break;
    }
    case PF_Param_COLOR:
        result.color = readColor(value, field);
        break;
    case PF_Param_PATH:
        if (!value.is_number()) wrongType(field, "a mask number (0 for none)", value);
        result.number = double(readIntegerIn(value, field, 0, (long long)context.scene->masks.size()));
        break;
    case PF_Param_LAYER: {
        if (value.is_null()) break;
        if (!value.is_string()) wrongType(field, "a layer name or null", value);
        const auto &layers = context.scene->layers;
        const auto found = std::find_if(layers.begin(), layers.end(),
                                        [&](const SceneLayer &l) { return l.name == value.get<std::string>(); });
        if (found == layers.end()) fail(field, "no layer named " + shown(value) + " in \"layers\"");
        result.number = double(found - layers.begin() + 1);
        break;
    }
    default:
        fail(field, "this parameter takes no value");
    }
    return result;
}

// The time of a keyframe object, {"seconds": S} or {"frame": F}, and its
// ease influences "easeIn"/"easeOut" in percent, as hosts show them.
template <class Key>
void readKeyTiming(const json &entry, const std::string &where, const Scene &scene, Key &key) {
    for (const auto &[name, influence] : {std::pair{"easeIn", &key.easeIn}, {"easeOut", &key.easeOut}}) {
        if (!entry.contains(name)) continue;
        const double percent = readNumber(entry[name], where + "." + name);
        checkRange(percent, 0.1, 100, where + "." + name, entry[name]);
        *influence = percent / 100;
    }
    // A frame in the scene's own numbering (from "start"), at the scene's
    // frame rate: frame start + f is at f / fps seconds.
    key.seconds = entry.contains("seconds")
                      ? readNumber(entry["seconds"], where + ".seconds")
                      : double(readIntegerIn(entry["frame"], where + ".frame", scene.start, scene.start + maxFrame) -
                               scene.start) /
                            scene.fps;
}

bool hasOneTime(const json &entry) { return entry.contains("seconds") != entry.contains("frame"); }

template <class Key>
void sortKeys(std::vector<Key> &keys, const std::string &field) {
    std::stable_sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) { return a.seconds < b.seconds; });
    for (size_t k = 1; k < keys.size(); ++k)
        if (keys[k].seconds == keys[k - 1].seconds) fail(field, "two keyframes at " + number(keys[k].seconds) + " s");
}

minihost::Interpolation readInterpolation(const json &value, const std::string &field) {
    if (value == "linear") return minihost::Interpolation::Linear;
    if (value == "hold") return minihost::Interpolation::Hold;
    if (value == "ease") return minihost::Interpolation::Ease;
    fail(field, shown(value) + " is not \"linear\", \"hold\" or \"ease\"");
}

minihost::ParamTrack readTrack(const json &value, const std::string &field, const ValueContext &context) {
    minihost::ParamTrack track;
    if (!value.is_object()) {
        track.value = readValue(value, field, context);
        return track;
    }
    allowOnly(value, field, {"keyframes", "interpolation"});
    if (!value.contains("keyframes")) fail(field + ".keyframes", "missing");
    const json &keys = value["keyframes"];
    const char *keyForm = "[seconds, value], {\"seconds\": S, \"value\": V} or {\"frame\": F, \"value\": V}";
    if (!keys.is_array() || keys.empty())
        wrongType(field + ".keyframes", std::string("a non-empty list of ") + keyForm, keys);
    for (size_t k = 0; k < keys.size(); ++k) {
        const std::string where = field + ".keyframes[" + std::to_string(k) + "]";
        const json &entry = keys[k];
        minihost::Keyframe key;
        if (entry.is_array() && entry.size() == 2) {
            key.seconds = readNumber(entry[0], where + "[0]");
            key.value = readValue(entry[1], where + "[1]", context);
        } else if (entry.is_object() && entry.contains("value") && hasOneTime(entry)) {
            allowOnly(entry, where, {"seconds", "frame", "value", "easeIn", "easeOut"});
            readKeyTiming(entry, where, *context.scene, key);
            key.value = readValue(entry["value"], where + ".value", context);
        } else {
            wrongType(where, keyForm, entry);
        }
        track.keyframes.push_back(key);
    }
    sortKeys(track.keyframes, field + ".keyframes");
    track.value = track.keyframes.front().value;
    if (value.contains("interpolation"))
        track.interpolation = readInterpolation(value["interpolation"], field + ".interpolation");
    return track;
}

std::pair<double, double> readPoint(const json &value, const std::string &field) {
    if (!value.is_array() || value.size() != 2) wrongType(field, "[x, y]", value);
    return {readNumber(value[0], field + "[0]"), readNumber(value[1], field + "[1]")};
}

// {"svg": file, "path": "#id", "subpath": k}: one outline of an element of
// an SVG file beside the scene.
minihost::Mask readSvgMaskObject(const json &value, const std::string &field, const std::string &folder) {
    for (const char *key : {"closed", "points", "in", "out", "keys", "interpolation"})
        if (value.contains(key)) fail(field, std::string("gives both \"svg\" and \"") + key + "\"");
    allowOnly(value, field, {"svg", "path", "subpath"});
    const json &file = value["svg"];
    if (!file.is_string()) wrongType(field + ".svg", "an SVG file name", file);
    const std::string &name = file.get_ref<const std::string &>();
    if (name.find('\0') != std::string::npos) fail(field + ".svg", "contains a NUL character");
    if (!value.contains("path")) fail(field + ".path", "missing (\"#id\" of the element)");
    const json &path = value["path"];
    if (!path.is_string() || path.get_ref<const std::string &>().size() < 2 ||
        path.get_ref<const std::string &>()[0] != '#')
        wrongType(field + ".path", "\"#id\" of the element", path);
    const long long subpath =
        value.contains("subpath") ? readIntegerIn(value["subpath"], field + ".subpath", 0, 2147483647) : 0;
#ifdef PATHBLOOM_NO_SVG_MASKS
    (void)folder;
    (void)subpath;
    fail(field + ".svg", "SVG masks are not read in this build");
#else
    minihost::Mask mask;
    SvgFault fault;
    if (!readSvgMask(joinPath(folder, name), path.get_ref<const std::string &>().substr(1), subpath, mask, fault)) {
        if (fault.part == SvgPart::document) fail(field + ".svg", fault.what);
        if (fault.part == SvgPart::subpath) fail(field + ".subpath", fault.what);
        fail(field + ".path", shown(path) + ": " + fault.what);
    }
    return mask;
#endif
}

// "points" with optional "in" and "out" tangents of one mask shape.
std::vector<minihost::MaskVertex> readShape(const json &value, const std::string &field) {
    if (!value.contains("points")) fail(field + ".points", "missing");
    const json &points = value["points"];
    if (!points.is_array() || points.empty()) wrongType(field + ".points", "a non-empty list of [x, y]", points);
    std::vector<minihost::MaskVertex> vertices;
    for (size_t v = 0; v < points.size(); ++v) {
        minihost::MaskVertex vertex;
        std::tie(vertex.x, vertex.y) = readPoint(points[v], field + ".points[" + std::to_string(v) + "]");
        vertices.push_back(vertex);
    }
    for (const char *side : {"in", "out"}) {
        if (!value.contains(side)) continue;
        const json &tangents = value[side];
        const std::string where = field + "." + side;
        if (!tangents.is_array()) wrongType(where, "a list of [dx, dy]", tangents);
        if (tangents.size() != points.size())
            fail(where, "has " + std::to_string(tangents.size()) + " tangents for " + std::to_string(points.size()) +
                            " points");
        for (size_t v = 0; v < tangents.size(); ++v) {
            const auto offset = readPoint(tangents[v], where + "[" + std::to_string(v) + "]");
            minihost::MaskVertex &vertex = vertices[v];
            if (side[0] == 'i') {
                vertex.inX = offset.first;
                vertex.inY = offset.second;
            } else {
                vertex.outX = offset.first;
                vertex.outY = offset.second;
            }
        }
    }
    return vertices;
}

// A mask of fixed shape, or one keyframed: "keys" of shapes with times,
// every key with as many points as the first.
minihost::Mask readMask(const json &value, const std::string &field, const Scene &scene, const std::string &folder) {
    if (!value.is_object()) wrongType(field, "a mask object", value);
    if (value.contains("svg")) return readSvgMaskObject(value, field, folder);
    allowOnly(value, field, {"closed", "points", "in", "out", "keys", "interpolation"});
    minihost::Mask mask;
    if (value.contains("closed")) {
        if (!value["closed"].is_boolean()) wrongType(field + ".closed", "true or false", value["closed"]);
        mask.closed = value["closed"].get<bool>();
    }
    if (!value.contains("keys")) {
        if (value.contains("interpolation")) fail(field + ".interpolation", "is for masks with \"keys\"");
        mask.vertices = readShape(value, field);
        return mask;
    }
    for (const char *shapeField : {"points", "in", "out"})
        if (value.contains(shapeField))
            fail(field + "." + shapeField, "goes into each of \"keys\" when the mask has keys");
    const json &keys = value["keys"];
    const char *keyForm = "{\"frame\": F or \"seconds\": S, \"points\": [...], \"in\": [...], \"out\": [...]}";
    if (!keys.is_array() || keys.empty())
        wrongType(field + ".keys", std::string("a non-empty list of ") + keyForm, keys);
    for (size_t k = 0; k < keys.size(); ++k) {
        const std::string where = field + ".keys[" + std::to_string(k) + "]";
        const json &entry = keys[k];
        if (!entry.is_object() || !hasOneTime(entry)) wrongType(where, keyForm, entry);
        allowOnly(entry, where, {"seconds", "frame", "points", "in", "out", "easeIn", "easeOut"});
        minihost::MaskKey key;
        readKeyTiming(entry, where, scene, key);
        key.vertices = readShape(entry, where);
        if (k > 0 && key.vertices.size() != mask.keys.front().vertices.size())
            fail(where + ".points", "has " + std::to_string(key.vertices.size()) + " points, keys[0] has " +
                                        std::to_string(mask.keys.front().vertices.size()));
        mask.keys.push_back(std::move(key));
    }
    sortKeys(mask.keys, field + ".keys");
    mask.vertices = mask.keys.front().vertices;
    if (value.contains("interpolation"))
        mask.interpolation = readInterpolation(value["interpolation"], field + ".interpolation");
    return mask;
}

// How a background image of another size is made the scene's size.
enum class Fit { stretch, contain, cover };

// One axis of a fit: the source span under destination pixel `k` of `size`
// when the image's `length` pixels are scaled by num / den (destination
// pixels per source pixel) and centred. Source position u of destination x
// is (x - o) den / num with o = (size - length num / den) / 2; in units of
// 1 / (2 num) source pixel every bound is an integer.
minihost::AxisSpan fitSpan(int64_t k, int64_t size, int64_t length, int64_t num, int64_t den) {
    const int64_t lo = 2 * k * den - (size * den - length * num);
    return minihost::axisSpan(lo, lo + 2 * den, 2 * num, A_long(length));
}

// The image made width x height: each scene pixel the area average of the
// image under it (premultiplied; outside the image transparent), so a
// smaller picture is averaged down and a larger one blown up in blocks with
// mixed pixels only where blocks meet. "contain" and "cover" keep the aspect
// ratio and centre the image, "contain" leaving transparent bars.
minihost::Image fitImage(const minihost::Image &image, int width, int height, Fit fit) {
    const int64_t w = image.width, h = image.height, W = width, H = height;
    int64_t numX = W, denX = w, numY = H, denY = h;  // stretch
    if (fit != Fit::stretch) {
        const bool widthTighter = W * h <= H * w;
        const bool byWidth = fit == Fit::contain ? widthTighter : !widthTighter;
        numX = numY = byWidth ? W : H;
        denX = denY = byWidth ? w : h;
    }
    PF_EffectWorld world{};
    world.data = reinterpret_cast<PF_PixelPtr>(const_cast<uint8_t *>(image.data.data()));
    world.width = A_long(w);
    world.height = A_long(h);
    world.rowbytes = A_long(w * minihost::bytesPerPixel(image.depth));
    minihost::Image fitted = minihost::makeImage(width, height, image.depth);
    std::vector<minihost::AxisSpan> columns;
    for (int64_t x = 0; x < W; ++x) columns.push_back(fitSpan(x, W, w, numX, denX));
    for (int64_t y = 0; y < H; ++y) {
        const minihost::AxisSpan row = fitSpan(y, H, h, numY, denY);
        for (int64_t x = 0; x < W; ++x) {
            uint8_t *to = fitted.data.data() + size_t(y * W + x) * size_t(minihost::bytesPerPixel(image.depth));
            if (image.depth == minihost::Depth::Float) {
                const PF_PixelFloat p = minihost::areaAverage<PF_PixelFloat>(world, columns[size_t(x)], row);
                std::memcpy(to, &p, sizeof p);
            } else if (image.depth == minihost::Depth::Bits16) {
                const PF_Pixel16 p = minihost::areaAverage<PF_Pixel16>(world, columns[size_t(x)], row);
                std::memcpy(to, &p, sizeof p);
            } else {
                const PF_Pixel p = minihost::areaAverage<PF_Pixel>(world, columns[size_t(x)], row);
                std::memcpy(to, &p, sizeof p);
            }
        }
    }
    return fitted;
}

SceneLayer readLayer(const std::string &name, const json &value, const std::string &field, const std::string &folder) {
    if (!value.is_object()) wrongType(field, "a layer object", value);
    allowOnly(value, field, {"image", "width", "height", "color"});
    SceneLayer layer;
    layer.name = name;
    if (value.contains("image")) {
        if (value.contains("width") || value.contains("height") || value.contains("color"))
            fail(field, "gives both \"image\" and a size or colour");
        layer.image = readImageFile(value["image"], field + ".image", folder);
        return layer;
    }
    if (!value.contains("width") || !value.contains("height"))
        fail(field, "needs \"image\", or \"width\" and \"height\"");
    const int width = int(readIntegerIn(value["width"], field + ".width", 1, 30000));
    const int height = int(readIntegerIn(value["height"], field + ".height", 1, 30000));
    const PF_Pixel color =
        value.contains("color") ? readColor(value["color"], field + ".color") : PF_Pixel{255, 255, 255, 255};
    layer.image = minihost::solidImage(width, height, color, minihost::Depth::Bits8);
    return layer;
}

SceneEffect readEffect(const json &params, const std::string &where, const std::vector<PF_ParamDef> &defs,
                       const Scene &scene) {
    if (!params.is_object()) wrongType(where, "an object of values by parameter name", params);
    SceneEffect effect;
    for (auto item = params.begin(); item != params.end(); ++item) {
        if (item.key() == "comment") continue;
        const std::string field = where + "." + shortened(quoted(item.key()));
        int index = -1;
        for (size_t i = 1; i < defs.size(); ++i)
            if (!item.key().empty() && item.key() == paramName(defs[i])) index = int(i);
        if (index < 0) fail(field, "no parameter of that name");
        const PF_ParamDef &def = defs[size_t(index)];
        if (def.param_type == PF_Param_GROUP_START || def.param_type == PF_Param_GROUP_END)
            fail(field, "is a parameter group and takes no value");
        SceneParam param;
        param.index = index;
        param.track = readTrack(item.value(), field, ValueContext{&def, &scene});
        effect.params.push_back(param);
    }
    return effect;
}

void readScene(const json &root, const std::string &folder, const std::vector<PF_ParamDef> &defs, Scene &scene) {
    if (!root.is_object()) wrongType("(top level)", "an object", root);
    allowOnly(root, "",
              {"width", "height", "background", "depth", "fps", "frames", "start", "downsample", "masks", "layers",
               "params", "effects"});
    for (const char *key : {"width", "height"})
        if (!root.contains(key)) fail(key, "missing");
    scene.width = int(readIntegerIn(root["width"], "width", 1, 30000));
    scene.height = int(readIntegerIn(root["height"], "height", 1, 30000));

    scene.background = minihost::makeImage(scene.width, scene.height, minihost::Depth::Bits8);
    if (root.contains("background")) {
        const json &background = root["background"];
        if (background.is_object()) {
            allowOnly(background, "background", {"image", "fit"});
            if (!background.contains("image")) fail("background.image", "missing");
            scene.background = readImageFile(background["image"], "background.image", folder);
            const bool sameSize = scene.background.width == scene.width && scene.background.height == scene.height;
            if (background.contains("fit")) {
                const json &fit = background["fit"];
                const Fit fits[] = {Fit::stretch, Fit::contain, Fit::cover};
                const char *names[] = {"stretch", "contain", "cover"};
                int chosen = -1;
                for (int i = 0; i < 3; ++i)
                    if (fit == names[i]) chosen = i;
                if (chosen < 0) fail("background.fit", shown(fit) + " is not \"stretch\", \"contain\" or \"cover\"");
                if (!sameSize) scene.background = fitImage(scene.background, scene.width, scene.height, fits[chosen]);
            } else if (!sameSize) {
                fail("background.image", "is " + std::to_string(scene.background.width) + "x" +
                                             std::to_string(scene.background.height) + ", the scene is " +
                                             std::to_string(scene.width) + "x" + std::to_string(scene.height) +
                                             " (\"fit\": \"stretch\", \"contain\" or \"cover\" scales it)");
            }
        } else {
            scene.background = minihost::solidImage(scene.width, scene.height, readColor(background, "background"),
                                                    minihost::Depth::Bits8);
        }
    }
    if (root.contains("depth")) {
        const long long depth = readInteger(root["depth"], "depth");
        if (depth != 8 && depth != 16 && depth != 32) fail("depth", shown(root["depth"]) + " is not 8, 16 or 32");
        scene.depth = static_cast<minihost::Depth>(depth);
    }
    if (root.contains("fps")) {
        scene.fps = readNumber(root["fps"], "fps");
        checkRange(scene.fps, minFps, maxFps, "fps", root["fps"]);
    }
    if (root.contains("frames")) {
        const json &frames = root["frames"];
        if (!frames.is_array() || frames.size() != 2) wrongType("frames", "[first, last]", frames);
        scene.firstFrame = int(readIntegerIn(frames[0], "frames[0]", 0, maxFrame));
        scene.lastFrame = int(readIntegerIn(frames[1], "frames[1]", 0, maxFrame));
        if (scene.lastFrame < scene.firstFrame)
            fail("frames", "last frame " + std::to_string(scene.lastFrame) + " is before first " +
                               std::to_string(scene.firstFrame));
    }
    if (root.contains("start")) scene.start = int(readIntegerIn(root["start"], "start", 0, maxFrame));
    if (root.contains("downsample")) {
        const json &downsample = root["downsample"];
        if (!downsample.is_array() || downsample.size() != 2) wrongType("downsample", "[x, y]", downsample);
        scene.downsampleX = int(readIntegerIn(downsample[0], "downsample[0]", 1, 64));
        scene.downsampleY = int(readIntegerIn(downsample[1], "downsample[1]", 1, 64));
    }
    if (root.contains("masks")) {
        const json &masks = root["masks"];
        if (!masks.is_array()) wrongType("masks", "a list of masks", masks);
        for (size_t m = 0; m < masks.size(); ++m)
            scene.masks.push_back(readMask(masks[m], "masks[" + std::to_string(m) + "]", scene, folder));
    }
    if (root.contains("layers")) {
        const json &layers = root["layers"];
        if (!layers.is_object()) wrongType("layers", "an object of layers by name", layers);
        for (auto item = layers.begin(); item != layers.end(); ++item)
            scene.layers.push_back(
                readLayer(item.key(), item.value(), "layers." + shortened(quoted(item.key())), folder));
    }
    if (root.contains("params") && root.contains("effects"))
        fail("effects", "cannot be given together with \"params\"");
    if (root.contains("effects")) {
        const json &effects = root["effects"];
        if (!effects.is_array() || effects.empty())
            wrongType("effects", "a non-empty list of parameter objects", effects);
        for (size_t e = 0; e < effects.size(); ++e)
            scene.effects.push_back(readEffect(effects[e], "effects[" + std::to_string(e) + "]", defs, scene));
    } else {
        scene.effects.push_back(root.contains("params") ? readEffect(root["params"], "params", defs, scene)
                                                        : SceneEffect{});
    }
}

// Deeper than any scene needs; refused while parsing, before the reader or a
// message walks the value.
constexpr int maxJsonDepth = 64;

// Parses the text, refusing nesting past maxJsonDepth and a key given twice
// in one object (the parser would keep the last silently).
json parseJson(const std::string &text) {
    std::vector<std::set<std::string>> keysOfObjects;
    const json::parser_callback_t check = [&](int depth, json::parse_event_t event, json &parsed) {
        if (depth > maxJsonDepth) fail("", "bad JSON: nested deeper than " + std::to_string(maxJsonDepth) + " levels");
        if (event == json::parse_event_t::object_start) {
            keysOfObjects.emplace_back();
        } else if (event == json::parse_event_t::object_end) {
            keysOfObjects.pop_back();
        } else if (event == json::parse_event_t::key) {
            const std::string &key = parsed.get_ref<const std::string &>();
            if (!keysOfObjects.back().insert(key).second) fail("", "bad JSON: duplicate key " + shortened(quoted(key)));
        }
        return true;
    };
    return json::parse(text, check);
}

std::string cleanJsonMessage(const std::string &what) {
    // nlohmann's messages start with "[json.exception.parse_error.101] ".
    const auto bracket = what.find("] ");
    return bracket == std::string::npos ? what : what.substr(bracket + 2);
}

}  // namespace

std::vector<std::string> popupChoices(const PF_ParamDef &def) {
    std::vector<std::string> choices;
    if (def.param_type != PF_Param_POPUP || !def.u.pd.u.namesptr) return choices;
    std::stringstream list(def.u.pd.u.namesptr);
    std::string choice;
    while (std::getline(list, choice, '|')) choices.push_back(choice);
    return choices;
}

std::string paramName(const PF_ParamDef &def) { return std::string(def.name, strnlen(def.name, sizeof def.name)); }

bool parseHexColor(const std::string &text, PF_Pixel &color) {
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#') return false;
    int channels[4] = {0, 0, 0, 255};
    for (size_t c = 0; c * 2 + 1 < text.size(); ++c) {
        const int high = hexDigit(text[1 + c * 2]);
        const int low = hexDigit(text[2 + c * 2]);
        if (high < 0 || low < 0) return false;
        channels[c] = high * 16 + low;
    }
    color.red = A_u_char(channels[0]);
    color.green = A_u_char(channels[1]);
    color.blue = A_u_char(channels[2]);
    color.alpha = A_u_char(channels[3]);
    return true;
}

bool parseScene(const std::string &text, const std::string &name, const std::string &folder,
                const std::vector<PF_ParamDef> &defs, Scene &scene, std::string &error) {
    json root;
    try {
        root = parseJson(text);
    } catch (const json::exception &e) {
        error = name + ": bad JSON: " + cleanJsonMessage(e.what());
        return false;
    } catch (const SceneError &e) {
        error = name + ": " + e.what;
        return false;
    }
    Scene result;
    result.name = name;
    try {
        readScene(root, folder, defs, result);
    } catch (const SceneError &e) {
        error = name + ": " + (e.field.empty() ? "" : e.field + ": ") + e.what;
        return false;
    }
    scene = std::move(result);
    return true;
}

bool loadScene(const std::string &path, const std::vector<PF_ParamDef> &defs, Scene &scene, std::string &error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot open the scene file";
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    return parseScene(text.str(), path, folder, defs, scene, error);
}

void applyScene(minihost::Host &host, const Scene &scene, size_t effect) {
    host.depth = scene.depth;
    host.fps = scene.fps;
    host.downsampleX = scene.downsampleX;
    host.downsampleY = scene.downsampleY;
    host.input = minihost::convertImage(scene.background, scene.depth);
    host.layers.clear();
    for (const SceneLayer &layer : scene.layers)
        host.layers.push_back(minihost::convertImage(layer.image, scene.depth));
    host.masks = scene.masks;
    for (const SceneParam &param : scene.effects.at(effect).params) {
        if (param.track.keyframes.empty())
            minihost::setParam(host, param.index, param.track.value);
        else
            minihost::setParamKeyframes(host, param.index, param.track.keyframes, param.track.interpolation);
    }
}

}  // namespace pathbloom
