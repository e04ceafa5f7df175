// libFuzzer harness: bytes read as a scene file by the pathbloom command's
// reader, then rendered through minihost with the plug-in, as `pathbloom
// render` does, without writing any file. Scenes larger than the caps below
// are read but not rendered; image files are never read from the paths the
// scene gives, only from small images the harness writes itself.
//
// With PATHBLOOM_FUZZ_WRITE_DICT=FILE in the environment it writes a
// libFuzzer dictionary of the scene keys, parameter names and choice texts
// the plug-in registers to FILE, and exits.
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/effect_session.h"
#include "cli/image_io.h"
#include "cli/scene.h"
#include "fuzz/fuzz_host.h"

namespace {

using nlohmann::json;
namespace fuzz = pathbloom::fuzz;

// Caps on what is rendered, so that one input takes milliseconds.
constexpr long long kMaxPixels = 256 * 256;  // per frame, per layer
constexpr int kMaxFrames = 2;
constexpr size_t kMaxEffects = 3;
constexpr size_t kMaxMasks = 4;
constexpr size_t kMaxVertices = 16;         // per mask
constexpr double kMaxCoordinate = 512;      // pixels, vertices and tangents alike
constexpr double kMaxNumber = 64;           // "Number": points per mask segment or in all
constexpr double kMaxStrokeOrRadius = 256;  // pixels

// Small images and an SVG file the harness writes at start-up; a scene's
// image and SVG names are replaced by one of these. The background gets one
// of the scene's own size.
constexpr const char *svgFile = "shapes.svg";

struct FuzzImages {
    std::string folder;
    std::vector<std::string> layerFiles;
};

FuzzImages &images() {
    // Never destroyed, so that the exit handler below still finds the folder.
    static FuzzImages *const built = new FuzzImages([] {
        FuzzImages made;
        char folder[] = "/tmp/pathbloom-fuzz-XXXXXX";
        if (!mkdtemp(folder)) {
            std::perror("fuzz: mkdtemp");
            std::exit(1);
        }
        made.folder = folder;
        // Gone when the run ends normally; a crashed run leaves it behind.
        std::atexit([] { std::filesystem::remove_all(images().folder); });
        const struct {
            const char *name;
            int width, height;
            minihost::Depth depth;
        } files[] = {{"layer8.png", 16, 12, minihost::Depth::Bits8}, {"layer16.png", 9, 20, minihost::Depth::Bits16}};
        for (const auto &file : files) {
            minihost::Image image = minihost::makeImage(file.width, file.height, minihost::Depth::Bits8);
            for (size_t i = 0; i < image.data.size(); ++i) image.data[i] = uint8_t(i * 37 + 11);
            image = minihost::convertImage(image, file.depth);
            std::string error;
            if (!pathbloom::writePng(made.folder + "/" + file.name, image, error)) {
                std::fprintf(stderr, "fuzz: %s\n", error.c_str());
                std::exit(1);
            }
            made.layerFiles.push_back(file.name);
        }
        // Every kind of element a mask may name, under transforms and a viewBox.
        std::ofstream svg(made.folder + "/" + svgFile);
        svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" viewBox=\"0 0 64 64\">\n"
               "<g transform=\"translate(4 4) rotate(15, 20, 20)\">\n"
               "<path id=\"a\" d=\"M2 2C10 0 20 10 30 4S40 30 20 30Q10 40 4 20T2 2ZM40 40a8 6 30 1 0 10 10z\"/>\n"
               "<polygon id=\"b\" points=\"0,0 20,0 10,16\"/>\n"
               "<polyline id=\"c\" points=\"0 0 10 10 20 0 30 10\"/>\n"
               "<rect id=\"d\" x=\"4\" y=\"4\" width=\"30\" height=\"20\" rx=\"5\"/>\n"
               "<circle id=\"e\" cx=\"30\" cy=\"30\" r=\"12\"/>\n"
               "<ellipse id=\"f\" cx=\"30\" cy=\"30\" rx=\"20\" ry=\"8\" transform=\"skewX(20)\"/>\n"
               "<line id=\"g\" x1=\"2\" y1=\"60\" x2=\"60\" y2=\"2\"/>\n"
               "</g>\n</svg>\n";
        svg.close();
        if (!svg) {
            std::fprintf(stderr, "fuzz: cannot write %s\n", svgFile);
            std::exit(1);
        }
        return made;
    }());
    return *built;
}

// The file name that stands for a background image of the scene's size, the
// file written on first use.
std::string backgroundFile(long long width, long long height) {
    const std::string name = "background_" + std::to_string(width) + "x" + std::to_string(height) + ".png";
    const std::string path = images().folder + "/" + name;
    if (std::ifstream(path).good()) return name;
    minihost::Image image = minihost::makeImage(int(width), int(height), minihost::Depth::Bits8);
    for (size_t i = 0; i < image.data.size(); ++i) image.data[i] = uint8_t(i * 13 + 5);
    std::string error;
    if (!pathbloom::writePng(path, image, error)) {
        std::fprintf(stderr, "fuzz: %s\n", error.c_str());
        std::exit(1);
    }
    return name;
}

bool sizeWithinCaps(const json &object) {
    if (!object.is_object()) return true;
    const auto width = object.find("width"), height = object.find("height");
    if (width == object.end() || height == object.end()) return true;
    if (!width->is_number() || !height->is_number()) return true;  // the reader refuses these
    const double pixels = width->get<double>() * height->get<double>();
    return !(pixels > double(kMaxPixels));
}

// Makes the parsed JSON safe to hand to the reader: false when its sizes
// exceed the caps (the reader would allocate them), image and SVG names
// replaced by the harness's own files.
bool prepareScene(json &root) {
    if (!root.is_object()) return true;
    if (!sizeWithinCaps(root)) return false;
    const auto background = root.find("background");
    if (background != root.end() && background->is_object()) {
        const auto image = background->find("image");
        if (image != background->end() && image->is_string()) {
            const auto width = root.find("width"), height = root.find("height");
            const bool sized = width != root.end() && height != root.end() && width->is_number_integer() &&
                               height->is_number_integer() && width->get<long long>() >= 1 &&
                               height->get<long long>() >= 1;
            *image =
                sized ? backgroundFile(width->get<long long>(), height->get<long long>()) : images().layerFiles.front();
        }
    }
    const auto layers = root.find("layers");
    if (layers != root.end() && layers->is_object()) {
        for (auto &layer : *layers) {
            if (!sizeWithinCaps(layer)) return false;
            if (!layer.is_object()) continue;
            const auto image = layer.find("image");
            if (image != layer.end() && image->is_string()) {
                const std::string named = image->get<std::string>();
                *image = images().layerFiles[named.size() % images().layerFiles.size()];
            }
        }
    }
    const auto masks = root.find("masks");
    if (masks != root.end() && masks->is_array()) {
        for (auto &mask : *masks) {
            if (!mask.is_object()) continue;
            const auto svg = mask.find("svg");
            if (svg != mask.end() && svg->is_string()) *svg = svgFile;
        }
    }
    return true;
}

bool valueWithinCaps(const minihost::ParamValue &value, double cap) { return std::fabs(value.number) <= cap; }

bool trackWithinCaps(const minihost::ParamTrack &track, double cap) {
    if (!valueWithinCaps(track.value, cap)) return false;
    for (const minihost::Keyframe &key : track.keyframes)
        if (!valueWithinCaps(key.value, cap)) return false;
    return true;
}

// Whether a scene the reader accepted is small enough to render.
bool renderWithinCaps(const pathbloom::Scene &scene, const std::vector<PF_ParamDef> &defs) {
    if (double(scene.lastFrame) - scene.firstFrame + 1 > kMaxFrames) return false;
    if (scene.effects.size() > kMaxEffects || scene.masks.size() > kMaxMasks) return false;
    for (const minihost::Mask &mask : scene.masks) {
        if (mask.vertices.size() > kMaxVertices) return false;
        for (const minihost::MaskVertex &v : mask.vertices)
            for (double c : {v.x, v.y, v.inX, v.inY, v.outX, v.outY})
                if (!(std::fabs(c) <= kMaxCoordinate)) return false;
    }
    for (const pathbloom::SceneEffect &effect : scene.effects) {
        for (const pathbloom::SceneParam &param : effect.params) {
            const std::string name = pathbloom::paramName(defs.at(size_t(param.index)));
            const double cap = name == "Number" ? kMaxNumber
                               : name == "First Radius" || name == "Delta Radius" || name == "Stroke Thickness"
                                   ? kMaxStrokeOrRadius
                                   : HUGE_VAL;
            if (!trackWithinCaps(param.track, cap)) return false;
        }
    }
    return true;
}

// Renders the scene as `pathbloom render` does: one effect instance per
// entry of "effects", each frame through all of them in turn.
void renderScene(const pathbloom::Scene &scene) {
    pathbloom::SceneEffects effects;
    std::ostringstream err;
    const auto setUp = [](minihost::Host &host) { fuzz::requireClearLedger(host, "the effect's set-up"); };
    const auto uiUpdated = [](minihost::Host &host) { fuzz::requireClearLedger(host, "the parameter UI update"); };
    if (!pathbloom::startSceneEffects(effects, scene, fuzz::pluginPath(), setUp, uiUpdated, err)) {
        std::fprintf(stderr, "fuzz: %s", err.str().c_str());
        std::exit(1);
    }
    for (int frame = scene.firstFrame; frame <= scene.lastFrame; ++frame) {
        pathbloom::SceneFrame rendered;
        pathbloom::renderSceneFrame(effects, scene, frame, false, rendered);
        if (!rendered.warnings.empty()) {
            std::fprintf(stderr, "fuzz: %s", rendered.warnings.c_str());
            __builtin_trap();
        }
    }
    for (auto &effect : effects) {
        effect->setUp = false;
        fuzz::stopEffect(effect->host);
    }
}

// The registered parameter definitions, read once from a set-up effect.
const std::vector<PF_ParamDef> &registeredDefs() {
    static minihost::Host host;
    static const bool started = (fuzz::startEffect(host), true);
    (void)started;
    return host.paramDefs;
}

void writeDictionary(const char *path) {
    std::set<std::string> words = {"width",         "height",     "background", "image",  "depth",   "fps",
                                   "frames",        "downsample", "masks",      "closed", "points",  "in",
                                   "out",           "layers",     "color",      "params", "effects", "keyframes",
                                   "interpolation", "linear",     "hold",       "ease",   "comment"};
    // Keyframe objects and keyed masks.
    for (const char *word :
         {"keys", "frame", "seconds", "value", "easeIn", "easeOut", "start", "fit", "stretch", "contain", "cover"})
        words.insert(word);
    // SVG masks: the keys and the ids of the harness's SVG file.
    for (const char *word : {"svg", "path", "subpath", "#a", "#b", "#c", "#d", "#e", "#f", "#g"}) words.insert(word);
    for (const PF_ParamDef &def : registeredDefs()) {
        const std::string name = pathbloom::paramName(def);
        if (!name.empty()) words.insert(name);
        for (const std::string &choice : pathbloom::popupChoices(def)) words.insert(choice);
    }
    std::ofstream file(path);
    file << "# Scene keys, the plug-in's parameter names and popup choices, each as a JSON string.\n";
    for (const std::string &word : words) {
        std::string escaped;
        for (char c : json(word).dump()) escaped += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
        file << "\"" << escaped << "\"\n";
    }
    file.close();  // exit() below runs no destructors
    if (!file) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", path);
        std::exit(1);
    }
    std::exit(0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    if (const char *dictionary = std::getenv("PATHBLOOM_FUZZ_WRITE_DICT")) writeDictionary(dictionary);
    registeredDefs();
    images();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    json root = json::parse(text, nullptr, false);
    std::string readerText = text;
    if (!root.is_discarded()) {
        if (!prepareScene(root)) return 0;
        readerText = root.dump();
    }
    pathbloom::Scene scene;
    std::string error;
    if (!pathbloom::parseScene(readerText, "fuzz.json", images().folder, registeredDefs(), scene, error)) return 0;
    if (!renderWithinCaps(scene, registeredDefs())) return 0;
    renderScene(scene);
    return 0;
}
