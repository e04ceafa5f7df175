// Scene files of the pathbloom command: a JSON description of the layer the
// effect is applied to, its masks, other layers and the effect's parameter
// values over time, checked against the parameters the plug-in registers.
#pragma once

#include <string>
#include <vector>

#include "minihost/minihost.h"

namespace pathbloom {

// Frame numbers a scene, or render's --frames, may ask for: 0..1000000. At
// 1000 host ticks a frame the last is at tick 10^9, within the host's 32-bit
// time fields.
constexpr int maxFrame = 1000000;
// Frame rates a scene may give, frames per second: the host's time scale
// (fps * 1000 ticks per second) stays a whole number of ticks above 0.
constexpr double minFps = 0.01, maxFps = 10000;

// One parameter the scene sets, by registered index (1..63).
struct SceneParam {
    int index = 0;
    minihost::ParamTrack track;  // value, or keyframes in seconds
};

// Another layer, for the "Layer" parameter; layer number = position + 1.
struct SceneLayer {
    std::string name;
    minihost::Image image;  // 8 or 16 bits as read; converted when applied
};

// One effect instance: the parameters the scene sets on it.
struct SceneEffect {
    std::vector<SceneParam> params;
};

struct Scene {
    std::string name;  // the scene file's name, for messages
    int width = 0, height = 0;
    minihost::Image background;  // width x height, 8 or 16 bits
    minihost::Depth depth = minihost::Depth::Bits8;
    double fps = 30;
    int firstFrame = 0, lastFrame = 0;  // inclusive; frame f at f / fps seconds
    // What frame 0 is called in file names, --frames and messages: frame f is
    // numbered start + f. Times (and keyframes, in seconds) do not move.
    int start = 0;
    int downsampleX = 1, downsampleY = 1;
    std::vector<minihost::Mask> masks;
    std::vector<SceneLayer> layers;
    // "params" gives one effect; "effects" several, applied in turn, each
    // one's output the next one's input. Never empty.
    std::vector<SceneEffect> effects;
};

// Reads a scene from JSON text. `name` prefixes every message ("scene.json");
// relative image paths are taken from `folder`. `defs` are the registered
// definitions (index 0 the input layer) that give the parameters' names,
// types, choices and valid ranges. False with one message naming the field.
bool parseScene(const std::string &text, const std::string &name, const std::string &folder,
                const std::vector<PF_ParamDef> &defs, Scene &scene, std::string &error);

// Reads the scene file at `path` (its folder is the base of relative paths).
bool loadScene(const std::string &path, const std::vector<PF_ParamDef> &defs, Scene &scene, std::string &error);

// A popup's choices in order (choice 1 first); empty for any other type.
std::vector<std::string> popupChoices(const PF_ParamDef &def);

// A definition's name; a name that fills its field has no terminating NUL.
std::string paramName(const PF_ParamDef &def);

// Parses the numbers and colours of scene files, for the reader and its tests.
// "#rrggbb", "#rrggbbaa" (alpha 255 when absent). False when malformed.
bool parseHexColor(const std::string &text, PF_Pixel &color);

// Puts the scene into a host that has run setupEffect: input layer, layers
// and masks at the host's depth, frame rate, downsampling and the parameter
// values of effect `effect` (0-based).
void applyScene(minihost::Host &host, const Scene &scene, size_t effect = 0);

}  // namespace pathbloom
