// Starting an effect instance in minihost and updating its parameter UI.
#include "cli/effect_session.h"

#include <chrono>
#include <cstring>

#include "cli/plugin_location.h"

namespace pathbloom {

namespace {

std::string counted(long count, const char *noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

EffectSession::~EffectSession() {
    if (setUp) minihost::teardownEffect(host);
    minihost::closePlugin(host);
}

bool startEffect(EffectSession &session, const std::string &pluginPath, std::ostream &err) {
    std::string path, error;
    if (!findPlugin(pluginPath, path, error)) {
        err << "pathbloom: " << error << "\n";
        return false;
    }
    if (!minihost::openPlugin(session.host, path, error)) {
        err << "pathbloom: " << (error.find(path) == std::string::npos ? path + ": " : "") << error << "\n";
        return false;
    }
    const PF_Err setupError = minihost::setupEffect(session.host);
    if (setupError != PF_Err_NONE) {
        err << "pathbloom: setting up the effect failed with error " << setupError << "\n";
        return false;
    }
    session.setUp = true;
    return true;
}

bool updateUI(minihost::Host &host, std::string &failure) {
    if (!(host.pipl.outFlags & PF_OutFlag_SEND_UPDATE_PARAMS_UI)) return true;
    const PF_Err err = minihost::updateParamsUI(host);
    if (err == PF_Err_NONE) return true;
    const std::string message = minihost::shownMessage(host);
    failure =
        "the parameter UI update failed with error " + std::to_string(err) + (message.empty() ? "" : ": " + message);
    return false;
}

bool addEffect(SceneEffects &effects, const std::string &pluginPath, std::ostream &err) {
    auto effect = std::make_unique<EffectSession>();
    if (!startEffect(*effect, pluginPath, err)) return false;
    effects.push_back(std::move(effect));
    return true;
}

bool startSceneEffects(SceneEffects &effects, const Scene &scene, const std::string &pluginPath,
                       void (*beforeUIUpdate)(minihost::Host &), void (*prepareHost)(minihost::Host &),
                       std::ostream &err) {
    while (effects.size() < scene.effects.size())
        if (!addEffect(effects, pluginPath, err)) return false;
    for (size_t e = 0; e < effects.size(); ++e) {
        minihost::Host &host = effects[e]->host;
        applyScene(host, scene, e);
        host.frame = scene.firstFrame;
        if (beforeUIUpdate) beforeUIUpdate(host);
        std::string failure;
        if (!updateUI(host, failure))
            err << "pathbloom: warning: " << (effects.size() > 1 ? "effect " + std::to_string(e + 1) + ": " : "")
                << failure << "\n";
        if (prepareHost) prepareHost(host);
    }
    return true;
}

bool renderSceneFrame(SceneEffects &effects, const Scene &scene, int frame, bool stats, SceneFrame &result) {
    for (size_t e = 0; e < effects.size(); ++e) {
        minihost::Host &host = effects[e]->host;
        // The next effect's input is the last one's output, brought back to
        // full size so that the host's own downsampling returns it as is.
        if (e > 0)
            host.input =
                upsampleNearest(*result.output, scene.width, scene.height, scene.downsampleX, scene.downsampleY);
        host.frame = frame;
        host.progressCalls = 0;
        host.progressCurrent = 0;
        host.progressTotal = 0;

        const auto started = std::chrono::steady_clock::now();
        minihost::RenderResult &rendered = effects[e]->rendered;
        minihost::renderFrame(host, rendered);
        const auto finished = std::chrono::steady_clock::now();
        const std::string where = "frame " + std::to_string(scene.start + frame) +
                                  (effects.size() > 1 ? ", effect " + std::to_string(e + 1) : "");
        const std::string held = minihost::outstanding(host.ledger);
        if (!held.empty()) result.warnings += "pathbloom: warning: " + where + " left " + held + "\n";
        const PF_Err renderError =
            rendered.preRenderError != PF_Err_NONE ? rendered.preRenderError : rendered.renderError;
        if (renderError != PF_Err_NONE) {
            result.failure = where + ": " + (rendered.preRenderError != PF_Err_NONE ? "pre-render" : "render") +
                             " failed with error " + std::to_string(renderError) +
                             (rendered.message.empty() ? "" : ": " + rendered.message);
            return false;
        }
        if (stats) {
            result.streamLines += streamReadLines(host, rendered.streamReads, effects.size() > 1 ? e + 1 : 0);
            for (const minihost::StreamRead &read : rendered.streamReads)
                result.streams.push_back(
                    {e + 1, paramName(host.paramDefs.at(size_t(read.paramIndex))), read.keyframes, read.valuesRead});
        }
        result.milliseconds += std::chrono::duration<double, std::milli>(finished - started).count();
        result.placed += host.progressTotal > 0 ? host.progressTotal - 1 : 0;
        result.drawn += host.progressCalls > 0 ? host.progressCalls - 1 : 0;
        result.output = &rendered.output;
    }
    return true;
}

minihost::Image upsampleNearest(const minihost::Image &image, int width, int height, int x, int y) {
    minihost::Image result = minihost::makeImage(width, height, image.depth);
    const size_t pixelBytes = size_t(minihost::bytesPerPixel(image.depth));
    for (int row = 0; row < height; ++row) {
        const int fromRow = std::min(row / std::max(y, 1), image.height - 1);
        for (int column = 0; column < width; ++column) {
            const int fromColumn = std::min(column / std::max(x, 1), image.width - 1);
            std::memcpy(result.data.data() + (size_t(row) * size_t(width) + size_t(column)) * pixelBytes,
                        image.data.data() + (size_t(fromRow) * size_t(image.width) + size_t(fromColumn)) * pixelBytes,
                        pixelBytes);
        }
    }
    return result;
}

std::string streamReadLines(const minihost::Host &host, const std::vector<minihost::StreamRead> &reads,
                            size_t effectNumber) {
    std::string lines;
    for (const minihost::StreamRead &read : reads) {
        const PF_ParamDef &def = host.paramDefs.at(size_t(read.paramIndex));
        lines += "  ";
        if (effectNumber > 0) lines += "effect " + std::to_string(effectNumber) + ", ";
        lines += "\"" + std::string(def.name, strnlen(def.name, sizeof def.name)) +
                 "\": " + counted(read.keyframes, "keyframe") + ", ";
        lines += read.valuesRead > 0 ? counted(read.valuesRead, "value") + " read\n"
                                     : std::string("the parameter's own value is used\n");
    }
    return lines;
}

}  // namespace pathbloom
