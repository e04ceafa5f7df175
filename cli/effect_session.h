// The effect instances of the pathbloom command, driven through minihost as a
// host drives them: the plug-in opened and set up, a scene's parameters set,
// the plug-in's parameter UI brought up to date, and a scene's frames
// rendered through each effect in turn.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/scene.h"
#include "minihost/minihost.h"

namespace pathbloom {

// Tears the effect down and closes the library in one place whatever the
// way out.
struct EffectSession {
    minihost::Host host;
    bool setUp = false;
    // The last frame rendered; its output buffer is reused by the next.
    minihost::RenderResult rendered;
    EffectSession() = default;
    EffectSession(const EffectSession &) = delete;
    EffectSession &operator=(const EffectSession &) = delete;
    ~EffectSession();
};

// Opens the plug-in at `pluginPath` (empty: the one findPlugin finds) and
// sets the effect up. False after saying why on `err`.
bool startEffect(EffectSession &session, const std::string &pluginPath, std::ostream &err);

// Sends PF_Cmd_UPDATE_PARAMS_UI, as a host does once parameters are set, to a
// plug-in whose property list asks for it (PF_OutFlag_SEND_UPDATE_PARAMS_UI);
// the plug-in then greys out what the values make it ignore. False on an
// error, with `failure` saying so in one line: "the parameter UI update
// failed with error 512: ERROR" (the plug-in's message when it shows one).
bool updateUI(minihost::Host &host, std::string &failure);

// A scene's effect instances in the order they apply, each one's output the
// next one's input.
using SceneEffects = std::vector<std::unique_ptr<EffectSession>>;

// Opens one more effect instance (startEffect) at the end of `effects`.
bool addEffect(SceneEffects &effects, const std::string &pluginPath, std::ostream &err);

// Opens the instances `scene` needs beyond those in `effects`, puts the scene
// into each at its first frame and updates each one's parameter UI: a failed
// update is the plug-in's message to the user, written to `err` as a warning,
// and the frames still render. The hooks (may be null) run for every instance
// before and after the UI update. False when an instance does not start.
bool startSceneEffects(SceneEffects &effects, const Scene &scene, const std::string &pluginPath,
                       void (*beforeUIUpdate)(minihost::Host &), void (*prepareHost)(minihost::Host &),
                       std::ostream &err);

// What the plug-in read through one AEGP stream in a frame, for --stats.
struct StreamStat {
    size_t effect = 1;  // 1-based
    std::string name;   // the parameter's
    long keyframes = 0, valuesRead = 0;
};

// One frame of a scene through all of its effects.
struct SceneFrame {
    // The last effect's output, at the scene's depth and downsampled size;
    // its session keeps it until the next frame.
    const minihost::Image *output = nullptr;
    double milliseconds = 0;          // inside renderFrame, all effects
    long placed = 0, drawn = 0;       // points, from the plug-in's progress calls
    std::string streamLines;          // with `stats`: the AEGP streams read (streamReadLines)
    std::vector<StreamStat> streams;  // with `stats`: the same, as records
    std::string warnings;             // lines about anything a render left held in the host
    std::string failure;              // when false: "frame 3, effect 2: render failed with error 516: ..."
};

// Renders frame `frame` (0-based, at frame / fps seconds; messages number it
// from the scene's start) through every effect in turn. False on the first
// command that fails, with `result.failure` saying which.
bool renderSceneFrame(SceneEffects &effects, const Scene &scene, int frame, bool stats, SceneFrame &result);

// Pixel-replicated copy of a downsampled image at the full `width` x `height`;
// downsampling it by `x`, `y` again gives back `image`.
minihost::Image upsampleNearest(const minihost::Image &image, int width, int height, int x, int y);

// The --stats lines of the AEGP streams an effect read in one frame, one a
// stream: `  "First Radius": 3 keyframes, 3 values read`, or with no value
// read `  "Opacity": 0 keyframes, the parameter's own value is used`.
// `effectNumber` (1-based) prefixes "effect N, " when the scene has several
// effects; 0 leaves it out.
std::string streamReadLines(const minihost::Host &host, const std::vector<minihost::StreamRead> &reads,
                            size_t effectNumber);

}  // namespace pathbloom
